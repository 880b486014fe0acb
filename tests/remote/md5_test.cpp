#include "text/md5.h"

#include <gtest/gtest.h>

namespace zel::test {
namespace {

// RFC 1321's own test suite, each fed whole and in uneven pieces that cross the 64-byte blocks.
TEST(Md5, GivesRfc1321sDigestsWhateverThePieces) {
    const struct {
        std::string text;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toHex(md5Bytes(c.text)), c.digest) << '"' << c.text << '"';
        for (const std::size_t piece : {1u, 7u, 63u, 65u}) {
            Md5 md5;
            for (std::size_t at = 0; at < c.text.size(); at += piece) md5.update(c.text.substr(at, piece));
            const auto digest = md5.final();
            EXPECT_EQ(toHex(std::string(digest.begin(), digest.end())), c.digest)
                << c.text << " in " << piece;
        }
    }
}

}  // namespace
}  // namespace zel::test
