#include "engine/inflater.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <optional>

#include "support/core/deflate_writer.h"
#include "support/core/zip_writer.h"

namespace zel {
namespace {

std::uint32_t zlibCrc(const std::string& data) {
    return static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

// Feeds the stream in pieces of `piece` bytes; false as soon as the inflater refuses one.
bool feedAll(Inflater& inflater, const std::string& stream, std::size_t piece) {
    inflater.begin();
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        if (!inflater.feed(stream.data() + at, std::min(piece, stream.size() - at))) return false;
    }
    return true;
}

// Stored, fixed, dynamic, literal-only and run-length blocks, fed a byte at a time up to all at
// once, through one inflater as the check uses it; cut short they never end, and a byte after
// their end is refused.
TEST(Inflater, EveryKindOfStreamInAnyPiecesGivesItsSizeAndCrc) {
    const std::pair<int, int> kinds[] = {{0, Z_DEFAULT_STRATEGY}, {1, Z_DEFAULT_STRATEGY}, {6, Z_DEFAULT_STRATEGY},
                                         {9, Z_FIXED},            {6, Z_HUFFMAN_ONLY},     {6, Z_RLE}};
    for (const Inflation inflation : {Inflation::Fast, Inflation::Zlib}) {
        std::unique_ptr<Inflater> inflater = makeInflater(inflation);
        ASSERT_TRUE(inflater);
        for (const std::size_t size : {0, 1, 9000, 1'300'000}) {
            const std::string data = test::mixedBytes(size);
            std::uint32_t storedCrc = 0;  // the same bytes stored, summed in two pieces
            storedCrc = crc32Of(storedCrc, data.data(), size / 3, inflation);
            EXPECT_EQ(crc32Of(storedCrc, data.data() + size / 3, size - size / 3, inflation), zlibCrc(data));
            for (const auto& [level, strategy] : kinds) {
                const std::string stream = test::rawDeflate(data, level, strategy);
                for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{65536}, stream.size()}) {
                    if (piece < 100 && size > 10000) continue;  // a byte at a time only where it is quick
                    SCOPED_TRACE(testing::Message() << (inflation == Inflation::Fast ? "ISA-L" : "zlib") << ", "
                                                    << size << " bytes, level " << level << " strategy "
                                                    << strategy << ", pieces of " << piece);
                    ASSERT_TRUE(feedAll(*inflater, stream, piece));
                    EXPECT_TRUE(inflater->ended());
                    EXPECT_EQ(inflater->produced(), data.size());
                    EXPECT_EQ(inflater->crc(), zlibCrc(data));
                    EXPECT_FALSE(feedAll(*inflater, stream.substr(0, stream.size() - 1), piece) && inflater->ended());
                    EXPECT_FALSE(feedAll(*inflater, stream + "Q", piece));
                }
            }
        }
    }
}

TEST(Inflater, BrokenStreamsAreRefused) {
    std::string typed = test::rawDeflate(test::mixedBytes(20000));
    typed[0] = '\x07';  // the last block, of type 3, which does not exist
    for (const Inflation inflation : {Inflation::Fast, Inflation::Zlib}) {
        SCOPED_TRACE(inflation == Inflation::Fast ? "ISA-L" : "zlib");
        std::unique_ptr<Inflater> inflater = makeInflater(inflation);
        ASSERT_TRUE(inflater);
        EXPECT_FALSE(feedAll(*inflater, typed, typed.size()));
        // A fixed block whose first code copies from before the start of the output.
        EXPECT_FALSE(feedAll(*inflater, std::string("\x03\x02\x00", 3), 3));
    }
}

std::vector<test::Token> join(std::initializer_list<std::vector<test::Token>> parts) {
    std::vector<test::Token> out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Blocks that zlib's deflate never makes, each with zlib's verdict: the bytes it inflates to, or
// nothing where zlib refuses it. A stream zlib cannot restore must fail the fast inflater too,
// however the stream is cut; a code that leaves space unused must fail even when the symbols
// used decode to the right bytes.
TEST(Inflater, HandBuiltBlocksAreJudgedAsZlibJudgesThem) {
    using test::bits;
    using test::codeLengths;
    using test::copy;
    using test::DeflateWriter;
    using test::distCode;
    using test::literals;
    using test::litLenCode;
    using test::Token;
    // Complete codes: a, b, the end of the block and copies of 3; distances 1 and 2.
    const std::vector<int> abLL = codeLengths(258, {{'a', 2}, {'b', 2}, {256, 2}, {257, 2}});
    const std::vector<int> twoDist = codeLengths(2, {{0, 1}, {1, 1}});
    const std::vector<int> noDist = {0};
    const std::vector<Token> ab = literals("ab"), abCopies = join({ab, {copy(3, 2), copy(3, 1)}});
    auto dynamic = [](const std::vector<int>& litLen, const std::vector<int>& dist, const std::vector<Token>& tokens) {
        return DeflateWriter().dynamic({litLen, dist}, tokens).bytes();
    };
    auto withHeader = [&](std::vector<int> codeLengthCode, std::vector<std::pair<int, unsigned>> lengthSymbols) {
        return DeflateWriter().dynamic({abLL, twoDist, std::move(codeLengthCode), std::move(lengthSymbols)}, ab).bytes();
    };
    auto fixed = [](const std::vector<Token>& tokens) { return DeflateWriter().fixed(tokens).bytes(); };
    // The header's lengths one symbol each after `instead`, which stands for the first `skip`;
    // the last `drop` left out.
    auto lengthsAfter = [&](std::size_t skip, std::vector<std::pair<int, unsigned>> instead, std::size_t drop = 0) {
        std::vector<int> all = abLL;
        all.insert(all.end(), twoDist.begin(), twoDist.end());
        for (std::size_t i = skip; i + drop < all.size(); ++i) instead.emplace_back(all[i], 0);
        return instead;
    };
    const std::vector<int> clcDefault = {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 2, 3, 3};
    std::vector<int> clcUnused = clcDefault, clcOver = clcDefault;
    clcUnused[18] = 4;  // 15/16 of the code space
    clcOver[18] = 2;    // 9/8 of it
    std::vector<std::pair<int, unsigned>> pastTheLast = lengthsAfter(0, {}, 1);
    pastTheLast.emplace_back(17, 1);  // 4 zero lengths where 1 is left

    struct Case {
        std::string name;
        std::string stream;
        std::optional<std::string> inflated;  // nothing: zlib refuses it
    };
    const Case cases[] = {
        {"complete codes", dynamic(abLL, twoDist, abCopies), "ababaaaa"},
        {"a literal/length code with unused space",
         dynamic(codeLengths(258, {{'a', 2}, {'b', 2}, {256, 2}}), twoDist, literals("abba")), {}},
        {"a distance code of two codes with unused space", dynamic(abLL, codeLengths(2, {{0, 2}, {1, 2}}), abCopies),
         {}},
        {"a distance code of one code of length 1", dynamic(abLL, codeLengths(2, {{1, 1}}), join({ab, {copy(3, 2)}})),
         "ababa"},
        {"the unused code of a distance code of one code",
         dynamic(abLL, codeLengths(2, {{1, 1}}), join({ab, {litLenCode(257), bits(1, 1)}})), {}},
        {"a distance code of one code of length 2", dynamic(abLL, codeLengths(2, {{1, 2}}), join({ab, {copy(3, 2)}})),
         {}},
        {"no distance code and only literals",
         dynamic(codeLengths(257, {{'a', 2}, {'b', 2}, {'c', 2}, {256, 2}}), noDist, literals("abcab")), "abcab"},
        {"a copy without a distance code", dynamic(abLL, noDist, join({ab, {litLenCode(257), bits(0, 8)}})), {}},
        {"a literal/length code of the end of the block alone",
         DeflateWriter().dynamic({codeLengths(257, {{256, 1}}), noDist}, {}, false).fixed(literals("ok")).bytes(),
         "ok"},
        {"the unused code beside a lone end of the block",
         DeflateWriter().dynamic({codeLengths(257, {{256, 1}}), noDist}, {bits(1, 1)}, false).fixed(literals("ok")).bytes(),
         {}},
        {"a literal/length code of lengths 1 and 2", dynamic(codeLengths(257, {{256, 1}, {'a', 2}}), noDist, literals("a")),
         {}},
        {"a code-length code with unused space", withHeader(clcUnused, {}), {}},
        {"an over-subscribed code-length code", withHeader(clcOver, {}), {}},
        {"an over-subscribed literal/length code",
         dynamic(codeLengths(258, {{'a', 1}, {'b', 1}, {256, 1}}), twoDist, literals("ab")), {}},
        {"an over-subscribed distance code", dynamic(abLL, codeLengths(3, {{0, 1}, {1, 1}, {2, 1}}), abCopies), {}},
        {"no end-of-block code", dynamic(codeLengths(257, {{'a', 1}, {'b', 1}}), noDist, literals("ab")), {}},
        {"287 literal/length lengths", dynamic(codeLengths(287, {{'a', 2}, {'b', 2}, {256, 2}, {286, 2}}), twoDist, ab),
         {}},
        {"31 distance lengths", dynamic(abLL, codeLengths(31, {{0, 1}, {30, 1}}), ab), {}},
        {"lengths repeated with none before them", withHeader({}, lengthsAfter(3, {{16, 0}})), {}},
        {"zero lengths repeated past the last", withHeader({}, pastTheLast), {}},
        {"literal/length symbol 286 in a fixed block", fixed(join({ab, {litLenCode(286), distCode(0)}})), {}},
        {"literal/length symbol 287 in a fixed block", fixed(join({ab, {litLenCode(287), distCode(0)}})), {}},
        {"distance symbol 30 in a fixed block", fixed(join({ab, {litLenCode(257), distCode(30), bits(0, 14)}})), {}},
        {"distance symbol 31 in a fixed block", fixed(join({ab, {litLenCode(257), distCode(31), bits(0, 14)}})), {}},
        {"a copy from before the start", fixed(join({literals("abc"), {copy(3, 4)}})), {}},
        {"a copy from the very start", fixed(join({literals("abc"), {copy(3, 3)}})), "abcabc"},
    };
    for (const Inflation inflation : {Inflation::Fast, Inflation::Zlib}) {
        std::unique_ptr<Inflater> inflater = makeInflater(inflation);
        ASSERT_TRUE(inflater);
        for (const Case& c : cases) {
            for (const std::size_t piece : {std::size_t{1}, c.stream.size()}) {
                SCOPED_TRACE(testing::Message() << (inflation == Inflation::Fast ? "ISA-L: " : "zlib: ") << c.name
                                                << ", pieces of " << piece);
                const bool took = feedAll(*inflater, c.stream, piece) && inflater->ended();
                EXPECT_EQ(took, c.inflated.has_value());
                if (took && c.inflated) {
                    EXPECT_EQ(inflater->produced(), c.inflated->size());
                    EXPECT_EQ(inflater->crc(), zlibCrc(*c.inflated));
                }
            }
        }
    }
}

}  // namespace
}  // namespace zel
