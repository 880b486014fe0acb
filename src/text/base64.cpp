#include "text/base64.h"

#include <algorithm>
#include <cstdint>

namespace zel {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string base64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? kAlphabet[(v >> (18 - 6 * k)) & 0x3f] : '=';
    }
    return out;
}

std::optional<std::string> fromBase64(std::string_view text) {
    std::string out;
    std::uint32_t v = 0;
    int bits = 0;
    std::size_t padding = 0;
    for (char c : text) {
        if (c == '\r' || c == '\n') continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const std::size_t index = kAlphabet.find(c);
        if (index == std::string_view::npos || padding > 0) return std::nullopt;
        v = (v << 6) | static_cast<std::uint32_t>(index);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((v >> bits) & 0xff);
        }
    }
    if (padding > 2 || bits >= 6) return std::nullopt;
    return out;
}

}  // namespace zel
