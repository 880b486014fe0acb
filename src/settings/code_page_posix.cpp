#include <iconv.h>

#include <cerrno>

#include "settings/code_page.h"

namespace zel {
namespace {

constexpr const char* kCodePage = "WINDOWS-1254";

// Length of the UTF-8 sequence that starts with this byte (1 for a stray byte).
std::size_t sequenceLength(unsigned char c) {
    if (c >= 0xF0) return 4;
    if (c >= 0xE0) return 3;
    if (c >= 0xC0) return 2;
    return 1;
}

// Converts with iconv; on a character it cannot convert, writes "?" and skips that character.
std::string convert(std::string_view in, const char* to, const char* from, bool inputIsUtf8) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    std::string out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (rc != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: one character that cannot be carried over.
        out += '?';
        std::size_t skip = inputIsUtf8 ? sequenceLength(static_cast<unsigned char>(*src)) : 1;
        if (skip > srcLeft) skip = srcLeft;
        if (inputIsUtf8) {
            // Never skip past the start of the next character of a broken sequence.
            std::size_t k = 1;
            while (k < skip && (static_cast<unsigned char>(src[k]) & 0xC0) == 0x80) ++k;
            skip = k;
        }
        src += skip;
        srcLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string toCodePage(std::string_view utf8) {
    return convert(utf8, kCodePage, "UTF-8", true);
}

std::string fromCodePage(std::string_view bytes) {
    return convert(bytes, "UTF-8", kCodePage, false);
}

}  // namespace zel
