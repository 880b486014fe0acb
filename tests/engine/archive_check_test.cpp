#include "engine/archive_check.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/core/zip_writer.h"

namespace zel {
namespace {

using test::StringReader;
using test::zipArchive;

const std::string kLong(5000, 'z');

std::string goodArchive() {
    return zipArchive({{"brevund/", "", false},
                       {"brevund/a.txt", "alfa-1" + kLong, false},  // big enough to be checked apart
                       {"brevund/veri/x.db", kLong + "son", true}});
}

// Where a name's n-th copy starts: the local header's name first, then the central one.
std::size_t nameAt(const std::string& zip, const std::string& name, int n) {
    std::size_t at = zip.find(name);
    while (n-- > 0) at = zip.find(name, at + 1);
    return at;
}

void put32(std::string& zip, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) zip[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

TEST(ArchiveCheck, WholeArchiveGivesItsFiles) {
    StringReader reader(goodArchive());
    const ArchiveCheck check = checkArchive(reader);
    EXPECT_TRUE(check.whole) << check.problem;
    EXPECT_EQ(check.files, (std::vector<std::string>{"brevund/a.txt", "brevund/veri/x.db"}));

    StringReader empty(zipArchive({}));
    EXPECT_TRUE(checkArchive(empty).whole);
}

TEST(ArchiveCheck, EachDamageFailsWithItsReason) {
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        std::string problem;  // the reason, or its beginning when it ends in a space
    };
    const std::string a = "brevund/a.txt", x = "brevund/veri/x.db";
    const Case cases[] = {
        {"a flipped stored byte", [&](std::string& z) { z[nameAt(z, a, 0) + a.size() + 2] ^= 0x01; },
         a + " CRC hatası"},
        {"a flipped packed byte", [&](std::string& z) { z[nameAt(z, x, 0) + x.size() + 7] ^= 0x40; },
         x + " "},
        {"two damaged entries, checked side by side: the first is told",
         [&](std::string& z) {
             z[nameAt(z, x, 0) + x.size() + 7] ^= 0x40;
             z[nameAt(z, a, 0) + a.size() + 2] ^= 0x01;
         },
         a + " CRC hatası"},
        {"a file cut short", [](std::string& z) { z.resize(z.size() - 9); }, "merkez dizin sonu bulunamadı"},
        {"bytes after its end", [](std::string& z) { z += "XXXX"; }, "merkez dizin sonu bulunamadı"},
        {"a central CRC that disagrees with the local one",
         [&](std::string& z) { put32(z, nameAt(z, a, 1) - 46 + 16, 0x12345678); },
         a + " yerel başlığı merkez dizinle uyuşmuyor"},
        {"a local name that differs", [&](std::string& z) { z[nameAt(z, a, 0)] = 'B'; },
         a + " yerel başlığı merkez dizinle uyuşmuyor"},
        {"a size that both headers give wrongly",
         [&](std::string& z) {
             put32(z, nameAt(z, a, 0) - 30 + 22, 7);
             put32(z, nameAt(z, a, 1) - 46 + 24, 7);
         },
         a + " boyut hatası"},
        {"a method nothing here reads",
         [&](std::string& z) {
             z[nameAt(z, a, 0) - 30 + 8] = 12;
             z[nameAt(z, a, 1) - 46 + 10] = 12;
         },
         a + " desteklenmeyen sıkıştırma yöntemi (12)"},
        {"a directory said to start elsewhere", [](std::string& z) { put32(z, z.size() - 6, 3); },
         "merkez dizinin yeri tutmuyor"},
        {"one entry fewer than counted", [](std::string& z) { z[z.size() - 12] = 4; }, "merkez dizin bozuk"},
        {"a Zip64 offset that wraps past the end of memory",
         [](std::string& z) {
             z = zipArchive({{"brevund/a.txt", "alfa", false}, {"brevund/b.txt", "beta", false, ~0ull - 15}});
         },
         "brevund/b.txt yerel başlığı merkez dizinle uyuşmuyor"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string zip = goodArchive();
        c.damage(zip);
        StringReader reader(zip);
        const ArchiveCheck check = checkArchive(reader);
        EXPECT_FALSE(check.whole);
        EXPECT_TRUE(check.files.empty());
        if (c.problem.back() == ' ') {
            EXPECT_EQ(check.problem.rfind(c.problem, 0), 0u) << check.problem;
        } else {
            EXPECT_EQ(check.problem, c.problem);
        }
    }
}

}  // namespace
}  // namespace zel
