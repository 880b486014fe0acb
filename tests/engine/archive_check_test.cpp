#include "engine/archive_check.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
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

// An archive as zip writes it, one state of the file per look at its size; zip ends some looks
// after the last state.
struct Growing final : FileReader {
    explicit Growing(std::vector<std::string> states) : steps(std::move(states)) {}
    std::vector<std::string> steps;
    std::size_t step = 0;
    int looksAtTheEnd = 0;
    std::atomic<bool> ended{false};
    std::uint64_t size() const override { return steps.front().size(); }
    std::uint64_t sizeNow() override {
        step = std::min(step + 1, steps.size() - 1);
        if (step + 1 == steps.size() && ++looksAtTheEnd > 20) ended = true;
        return steps[step].size();
    }
    std::optional<std::size_t> readAt(std::uint64_t offset, char* out, std::size_t n) override {
        const std::string& now = steps[step];
        return offset >= now.size() ? 0 : now.copy(out, n, static_cast<std::size_t>(offset));
    }
    std::vector<EarlyCheck> follow() { return followArchive(*this, ended); }
};

std::uint32_t le32(const std::string& z, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(z[at + i]);
    return v;
}

// The states of `zip` as it is written: each entry's header without its sizes and CRC, its data
// arriving in three parts, then the header made final before the next record begins. `rewrite`
// may change an unfinished entry (its header, then its data from `data` on) once all its data is
// there, as zip does when it goes back over it; the last state is the archive as it ends.
std::vector<std::string> growth(const std::string& zip,
                                const std::function<void(std::string& entry, std::size_t data)>& rewrite = {}) {
    std::vector<std::string> steps;
    std::string file;
    std::size_t at = 0;
    while (at + 30 <= zip.size() && le32(zip, at) == 0x04034b50) {
        const std::size_t data = 30 + (le32(zip, at + 26) & 0xFFFF) + (le32(zip, at + 28) & 0xFFFF);
        const std::size_t length = data + le32(zip, at + 18);
        if (at + length > zip.size()) break;
        std::string entry = zip.substr(at, length);
        entry[6] |= 0x08;  // a data descriptor said to follow, as zip says first
        for (std::size_t field = 14; field < 26; ++field) entry[field] = 0;
        for (std::size_t part = 1; part <= 3; ++part)
            steps.push_back(file + entry.substr(0, data + (length - data) * part / 3));
        if (rewrite) {
            rewrite(entry, data);
            steps.push_back(file + entry);
        }
        entry.replace(0, data, zip, at, data);
        file += entry;
        steps.push_back(file);
        at += length;
    }
    steps.push_back(file + zip.substr(at));
    return steps;
}

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

// A directory of several pieces reads whole, entries across the pieces' seams too; one that an
// end record claims on a sparse file is read only as far as it shows itself to be entries.
TEST(ArchiveCheck, TheDirectoryIsReadPieceByPieceAndOnlyAsFarAsItHoldsEntries) {
    std::vector<test::ZipEntry> many;
    for (int i = 0; i < 9000; ++i)
        many.push_back({"brevund/" + std::string(150, 'k') + "/" + std::to_string(i) + ".txt", "x", false});
    const std::string zip = zipArchive(many);
    StringReader whole(zip);
    const ArchiveCheck check = checkArchive(whole);
    EXPECT_TRUE(check.whole) << check.problem;
    EXPECT_EQ(check.files.size(), many.size());

    // 600 MB of nothing, said by its end record to be the directory of 1,000 entries.
    static constexpr std::uint64_t kSparse = 600'000'000;
    std::string end(22, '\0');
    put32(end, 0, 0x06054b50);
    put32(end, 8, 1000 | 1000u << 16);  // entries on this disk and in all
    put32(end, 12, static_cast<std::uint32_t>(kSparse - 22));
    struct Sparse final : FileReader {
        explicit Sparse(std::string end) : end(std::move(end)) {}
        std::uint64_t size() const override { return kSparse; }
        std::optional<std::size_t> readAt(std::uint64_t at, char* out, std::size_t n) override {
            n = static_cast<std::size_t>(std::min<std::uint64_t>(n, kSparse - std::min(at, kSparse)));
            for (std::size_t i = 0; i < n; ++i) out[i] = at + i >= kSparse - 22 ? end[at + i - (kSparse - 22)] : '\0';
            read += n;
            return n;
        }
        std::string end;
        std::uint64_t read = 0;
    } sparse(end);
    EXPECT_EQ(checkArchive(sparse).problem, "merkez dizin bozuk");
    EXPECT_FALSE(archiveEntryNames(sparse));
    EXPECT_LT(sparse.read, 4'000'000u);
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
    // Entries read back while the good archive was written (whole, or as their data arrived)
    // count only while their bytes stay; so do those read back from the damaged one as it grew.
    StringReader good(goodArchive());
    const std::vector<EarlyCheck> early = followArchive(good, std::atomic<bool>(false));
    ASSERT_EQ(early.size(), 3u);
    const std::vector<EarlyCheck> grown = Growing(growth(goodArchive())).follow();
    ASSERT_EQ(grown.size(), 3u);
    const std::vector<EarlyCheck> damagedAsItGrew{{~0ull, 0, 0}};  // stands for the damaged one's own
    for (const auto& [inflation, earlier] :
         {std::pair(Inflation::Fast, std::vector<EarlyCheck>()), std::pair(Inflation::Zlib, std::vector<EarlyCheck>()),
          std::pair(Inflation::Fast, early), std::pair(Inflation::Fast, grown),
          std::pair(Inflation::Fast, damagedAsItGrew)}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(inflation == Inflation::Fast ? "ISA-L: " : "zlib: ") +
                         (earlier.empty() ? "" : "read back early: ") + c.name);
            std::string zip = goodArchive();
            c.damage(zip);
            StringReader reader(zip);
            const ArchiveCheck check = checkArchive(
                reader, inflation, &earlier == &damagedAsItGrew ? Growing(growth(zip)).follow() : earlier);
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

// An archive read while it grows as zip writes it: each header first without its sizes and CRC,
// rewritten once its data is there. Each entry is taken once its header is final, never from a
// header that is not, and a byte changed after it was taken is still found after zip.
TEST(ArchiveCheck, AGrowingArchiveIsFollowedEntryByEntry) {
    const std::string data = mixedBytes(300'000);
    std::string zip = zipArchive(
        {{"a/", "", false}, {"a/x.db", data, true}, {"a/y.db", data, false}, {"a/z.db", data, true}});
    // z.db inflates whole, but not to the CRC-32 that both its headers give.
    put32(zip, nameAt(zip, "a/z.db", 0) - 30 + 14, 0x12345678);
    put32(zip, nameAt(zip, "a/z.db", 1) - 46 + 16, 0x12345678);
    std::size_t directory = 0;  // where the end record says the central directory starts
    for (int i = 3; i >= 0; --i)
        directory = directory << 8 | static_cast<unsigned char>(zip[zip.size() - 6 + i]);
    const std::vector<std::size_t> at{0, nameAt(zip, "a/x.db", 0) - 30, nameAt(zip, "a/y.db", 0) - 30,
                                      nameAt(zip, "a/z.db", 0) - 30, directory};
    // What the file holds, step by step: a header without its sizes and CRC and half the data,
    // then all the data and the next record already begun, then the header made final.
    std::vector<std::string> steps;
    for (std::size_t i = 0; i + 1 < at.size(); ++i) {
        std::string unfinished = zip.substr(0, at[i + 1]);
        unfinished[at[i] + 6] |= 0x08;  // a data descriptor said to follow, as zip says first
        for (std::size_t field = 14; field < 26; ++field) unfinished[at[i] + field] = 0;
        steps.push_back(unfinished.substr(0, (at[i] + at[i + 1]) / 2));
        steps.push_back(unfinished + zip.substr(at[i + 1], 4));
        steps.push_back(zip.substr(0, at[i + 1]));
    }
    steps.push_back(zip);
    // The entry that failed keeps the follower where it is until zip ends.
    const std::vector<EarlyCheck> early = Growing(steps).follow();
    ASSERT_EQ(early.size(), 3u);  // no early verdict for z.db: it is judged after zip, and fails
    for (std::size_t i = 0; i < early.size(); ++i) {
        EXPECT_EQ(early[i].offset, at[i]) << i;
        EXPECT_EQ(early[i].length, at[i + 1] - at[i]) << i;
    }
    StringReader final(zip);
    EXPECT_EQ(checkArchive(final, Inflation::Fast, early).problem, "a/z.db CRC hatası");
    StringReader changed(zip);
    changed.bytes[nameAt(zip, "a/x.db", 0) + 100] ^= 0x01;
    EXPECT_EQ(checkArchive(changed, Inflation::Fast, early).problem.rfind("a/x.db ", 0), 0u);
}

// A large entry is inflated as its data arrives. Zip going back over data the follower has read
// (as it does to store an entry that did not shrink) leaves an early verdict about bytes that are
// gone: the check after zip finds the change and judges the entry by its bytes now.
TEST(ArchiveCheck, DataRewrittenAfterItWasFollowedIsJudgedAfterZip) {
    const std::string data = mixedBytes(3'000'000);
    const std::string zip = zipArchive({{"a/x.db", data, true}, {"a/y.db", data, false}});
    const std::vector<EarlyCheck> asWritten = Growing(growth(zip)).follow();
    ASSERT_EQ(asWritten.size(), 2u);  // both taken as they grew, then confirmed by their final headers
    StringReader same(zip);
    EXPECT_TRUE(checkArchive(same, Inflation::Fast, asWritten).whole);
    // Confirmed by their CRC-64, the followed entries are read once after zip, not inflated as well:
    // about what a check without them reads (the window's read-ahead at each header costs a little).
    StringReader unfollowed(zip);
    EXPECT_TRUE(checkArchive(unfollowed, Inflation::Fast).whole);
    EXPECT_LT(same.read, unfollowed.read * 8 / 5) << same.read << " against " << unfollowed.read;

    const std::vector<std::string> steps =
        growth(zip, [](std::string& entry, std::size_t data) { entry[data + 10] ^= 0x5A; });
    const std::vector<EarlyCheck> early = Growing(steps).follow();
    ASSERT_EQ(early.size(), 2u);  // read before zip went back over it
    for (std::size_t i = 0; i < early.size(); ++i) EXPECT_EQ(early[i].crc64, asWritten[i].crc64) << i;
    StringReader changed(steps.back());
    const std::string problem = checkArchive(changed, Inflation::Fast, early).problem;
    EXPECT_EQ(problem.rfind("a/x.db ", 0), 0u) << problem;
}

}  // namespace
}  // namespace zel
