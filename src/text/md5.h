#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zel {

// MD5 (RFC 1321), fed in pieces: S3 checks a put's bytes with it (Content-MD5, the ETag), and an
// archive is read once, piece by piece, never held whole.
class Md5 {
public:
    Md5();
    void update(std::string_view bytes);
    void update(const char* data, std::size_t n) { update(std::string_view(data, n)); }
    // The 16 bytes of the digest; the object is spent afterwards.
    std::array<unsigned char, 16> final();

private:
    void block(const unsigned char* p);

    std::uint32_t state_[4];
    std::uint64_t length_ = 0;  // bytes fed so far
    unsigned char buffer_[64];
};

// The digest's bytes as a string, and as lower-case hex (as S3 writes an ETag).
std::string md5Bytes(std::string_view bytes);
std::string toHex(std::string_view bytes);

}  // namespace zel
