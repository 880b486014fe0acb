#include "engine/archive_check.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

#include "support/core/deflate_writer.h"
#include "support/core/zip_writer.h"

namespace zel {
namespace {

using test::mixedBytes;
using test::rawDeflate;
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

const Inflation kInflations[] = {Inflation::Fast, Inflation::Zlib};

// "abab..." as "ab" and 20 copies of 258 bytes from 2 back, in one dynamic block whose codes
// need not be complete; distance 2 is the distance code's symbol 1.
const std::string kAbab = [] {
    std::string out;
    for (int i = 0; i < 2581; ++i) out += "ab";
    return out;
}();
std::string ababBlock(const std::vector<std::pair<int, int>>& litLen, const std::vector<std::pair<int, int>>& dist) {
    std::vector<test::Token> tokens = test::literals("ab");
    tokens.insert(tokens.end(), 20, test::copy(258, 2));
    return test::DeflateWriter().dynamic({test::codeLengths(286, litLen), test::codeLengths(2, dist)}, tokens).bytes();
}

TEST(ArchiveCheck, WholeArchiveGivesItsFiles) {
    for (const Inflation inflation : kInflations) {
        SCOPED_TRACE(inflation == Inflation::Fast ? "ISA-L" : "zlib");
        StringReader reader(goodArchive());
        const ArchiveCheck check = checkArchive(reader, inflation);
        EXPECT_TRUE(check.whole) << check.problem;
        EXPECT_EQ(check.files, (std::vector<std::string>{"brevund/a.txt", "brevund/veri/x.db"}));

        StringReader empty(zipArchive({}));
        EXPECT_TRUE(checkArchive(empty, inflation).whole);

        // zlib takes a distance code of one code of length 1.
        StringReader oneDistance(
            zipArchive({{"x.db", kAbab, true, {}, ababBlock({{'a', 2}, {'b', 2}, {256, 2}, {285, 2}}, {{1, 1}})}}));
        EXPECT_TRUE(checkArchive(oneDistance, inflation).whole);
    }
}

// Entries larger than the read-ahead window and the inflaters' buffers go through in pieces,
// and a byte damaged far inside each is found.
TEST(ArchiveCheck, LargeEntriesAreReadInPieces) {
    const std::string big = mixedBytes(3'500'000);
    const std::string zip = zipArchive({{"b/packed.db", big, true}, {"b/stored.db", big, false}});
    for (const Inflation inflation : kInflations) {
        SCOPED_TRACE(inflation == Inflation::Fast ? "ISA-L" : "zlib");
        StringReader reader(zip);
        EXPECT_TRUE(checkArchive(reader, inflation).whole);
        for (const std::string name : {"b/packed.db", "b/stored.db"}) {
            StringReader damaged(zip);
            damaged.bytes[nameAt(zip, name, 0) + 2'500'000] ^= 0x10;
            EXPECT_EQ(checkArchive(damaged, inflation).problem.rfind(name + " ", 0), 0u);
        }
    }
}

// On every single flipped bit of a deflated entry, with dynamic and with fixed codes, the fast
// inflater's verdict is zlib's, reason and all: an entry ISA-L refuses is judged again by zlib,
// which tells why.
TEST(ArchiveCheck, EveryFlippedBitIsJudgedAsZlibJudgesIt) {
    const std::string data = mixedBytes(400);
    for (const int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
        const std::string zip = zipArchive({{"x.db", data, true, {}, rawDeflate(data, 6, strategy)}});
        const std::size_t from = nameAt(zip, "x.db", 0) + 4, to = nameAt(zip, "x.db", 1) - 46;
        int broken = 0;
        for (std::size_t bit = from * 8; bit < to * 8; ++bit) {
            StringReader reader(zip);
            reader.bytes[bit / 8] ^= static_cast<char>(1 << (bit % 8));
            const ArchiveCheck fast = checkArchive(reader, Inflation::Fast);
            const ArchiveCheck zlib = checkArchive(reader, Inflation::Zlib);
            ASSERT_EQ(fast.whole, zlib.whole) << "strategy " << strategy << ", bit " << bit << ": " << zlib.problem;
            ASSERT_EQ(fast.problem, zlib.problem) << "strategy " << strategy << ", bit " << bit;
            broken += !zlib.whole;
        }
        // Only the padding bits after the stream's last code may change and leave the entry whole.
        EXPECT_GE(broken, static_cast<int>((to - from) * 8) - 7);
    }
}

TEST(ArchiveCheck, EachDamageFailsWithItsReason) {
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        std::string problem;  // the reason, or its beginning when it ends in a space
    };
    const std::string a = "brevund/a.txt", x = "brevund/veri/x.db", stream = rawDeflate(kLong);
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
        {"a deflated stream cut short",
         [&](std::string& z) { z = zipArchive({{x, kLong, true, {}, stream.substr(0, stream.size() - 2)}}); },
         x + " verisi bozuk"},
        {"bytes after the end of the deflated stream",
         [&](std::string& z) { z = zipArchive({{x, kLong, true, {}, stream + "QQ"}}); },
         x + " verisi bozuk"},
        // zlib refuses codes that leave space unused even when the symbols used are right.
        {"a literal/length code with unused space, inflating to the right CRC",
         [&](std::string& z) {
             z = zipArchive({{x, kAbab, true, {}, ababBlock({{'a', 2}, {'b', 2}, {256, 2}, {285, 3}}, {{0, 1}, {1, 1}})}});
         },
         x + " verisi bozuk"},
        {"a distance code of two codes with unused space, inflating to the right CRC",
         [&](std::string& z) {
             z = zipArchive({{x, kAbab, true, {}, ababBlock({{'a', 2}, {'b', 2}, {256, 2}, {285, 2}}, {{0, 2}, {1, 2}})}});
         },
         x + " verisi bozuk"},
        {"a deflated entry that holds no stream",
         [&](std::string& z) { z = zipArchive({{x, kLong, true, {}, ""}}); }, x + " verisi bozuk"},
        {"a Zip64 offset that wraps past the end of memory",
         [](std::string& z) {
             z = zipArchive({{"brevund/a.txt", "alfa", false}, {"brevund/b.txt", "beta", false, ~0ull - 15}});
         },
         "brevund/b.txt yerel başlığı merkez dizinle uyuşmuyor"},
    };
    for (const Inflation inflation : kInflations) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(inflation == Inflation::Fast ? "ISA-L: " : "zlib: ") + c.name);
            std::string zip = goodArchive();
            c.damage(zip);
            StringReader reader(zip);
            const ArchiveCheck check = checkArchive(reader, inflation);
            EXPECT_FALSE(check.whole);
            EXPECT_TRUE(check.files.empty());
            if (c.problem.back() == ' ') {
                EXPECT_EQ(check.problem.rfind(c.problem, 0), 0u) << check.problem;
            } else {
                EXPECT_EQ(check.problem, c.problem);
            }
        }
    }
}

}  // namespace
}  // namespace zel
