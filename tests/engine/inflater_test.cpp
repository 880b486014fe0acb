#include "engine/inflater.h"

#include <gtest/gtest.h>
#include <zlib.h>

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

}  // namespace
}  // namespace zel
