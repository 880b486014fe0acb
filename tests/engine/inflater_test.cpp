#include "engine/inflater.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/core/zip_writer.h"

namespace zel {
namespace {

const Inflation kInflations[] = {Inflation::Fast, Inflation::Zlib};

std::uint32_t zlibCrc(const std::string& data) {
    return static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

// Rows of text with random runs between them: matches, literals and, at level 0, stored blocks.
std::string sample(std::size_t bytes) {
    std::string out;
    std::uint32_t seed = 7;
    while (out.size() < bytes) {
        seed = seed * 1664525u + 1013904223u;
        out += "kayıt " + std::to_string(seed % 5000) + ";";
        if (seed % 3 == 0) out.append(seed % 200, static_cast<char>(seed >> 24));
    }
    out.resize(bytes);
    return out;
}

// Feeds the stream in pieces of `piece` bytes; false as soon as the inflater refuses one.
bool feedAll(Inflater& inflater, const std::string& stream, std::size_t piece) {
    inflater.begin();
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        if (!inflater.feed(stream.data() + at, std::min(piece, stream.size() - at))) return false;
    }
    return true;
}

TEST(Inflater, EveryKindOfStreamInAnyPiecesGivesItsSizeAndCrc) {
    struct Kind {
        int level, strategy;
    };
    const Kind kinds[] = {{0, Z_DEFAULT_STRATEGY}, {1, Z_DEFAULT_STRATEGY}, {6, Z_DEFAULT_STRATEGY},
                          {9, Z_FIXED},            {6, Z_HUFFMAN_ONLY},     {6, Z_RLE}};
    for (const Inflation inflation : kInflations) {
        // One inflater for every stream, as the check uses it.
        std::unique_ptr<Inflater> inflater = makeInflater(inflation);
        ASSERT_TRUE(inflater);
        for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{9000}, std::size_t{1'300'000}}) {
            const std::string data = sample(size);
            for (const Kind& kind : kinds) {
                const std::string stream = test::rawDeflate(data, kind.level, kind.strategy);
                for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{65536}, stream.size()}) {
                    if (piece < 100 && size > 10000) continue;  // a byte at a time only where it is quick
                    SCOPED_TRACE(testing::Message() << (inflation == Inflation::Fast ? "ISA-L" : "zlib") << ", "
                                                    << size << " bytes, level " << kind.level << " strategy "
                                                    << kind.strategy << ", pieces of " << piece);
                    ASSERT_TRUE(feedAll(*inflater, stream, piece));
                    EXPECT_TRUE(inflater->ended());
                    EXPECT_EQ(inflater->produced(), data.size());
                    EXPECT_EQ(inflater->crc(), zlibCrc(data));

                    // The same stream cut short never ends; with a byte after its end it is refused.
                    {
                        EXPECT_FALSE(feedAll(*inflater, stream.substr(0, stream.size() - 1), piece) &&
                                     inflater->ended());
                    }
                    EXPECT_FALSE(feedAll(*inflater, stream + "Q", piece));
                }
            }
        }
    }
}

TEST(Inflater, BrokenStreamsAreRefused) {
    const std::string data = sample(20000);
    const std::string stream = test::rawDeflate(data);
    for (const Inflation inflation : kInflations) {
        SCOPED_TRACE(inflation == Inflation::Fast ? "ISA-L" : "zlib");
        std::unique_ptr<Inflater> inflater = makeInflater(inflation);
        ASSERT_TRUE(inflater);
        std::string typed = stream;
        typed[0] = '\x07';  // the last block, of type 3, which does not exist
        EXPECT_FALSE(feedAll(*inflater, typed, stream.size()));
        // A fixed block whose first code copies from before the start of the output.
        EXPECT_FALSE(feedAll(*inflater, std::string("\x03\x02\x00", 3), 3));
        std::string flipped = stream;
        flipped[stream.size() / 2] ^= 0x5A;
        const bool fed = feedAll(*inflater, flipped, 4096);
        EXPECT_FALSE(fed && inflater->ended() && inflater->crc() == zlibCrc(data));
    }
}

TEST(Inflater, StoredBytesCrcInPiecesIsZipsCrc) {
    const std::string data = sample(300'000);
    for (const Inflation inflation : kInflations) {
        std::uint32_t crc = 0;
        for (std::size_t at = 0; at < data.size(); at += 70'001)
            crc = crc32Of(crc, data.data() + at, std::min<std::size_t>(70'001, data.size() - at), inflation);
        EXPECT_EQ(crc, zlibCrc(data));
        EXPECT_EQ(crc32Of(0, data.data(), 0, inflation), 0u);
    }
}

}  // namespace
}  // namespace zel
