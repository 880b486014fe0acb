#include "text/utf8.h"

namespace zel {
namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

std::string utf8Prefix(std::string_view text, std::size_t count) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isContinuation(static_cast<unsigned char>(text[i]))) {
            if (chars == count) return std::string(text.substr(0, i));
            ++chars;
        }
    }
    return std::string(text);
}

std::size_t utf8Length(std::string_view text) {
    std::size_t chars = 0;
    for (char c : text) {
        if (!isContinuation(static_cast<unsigned char>(c))) ++chars;
    }
    return chars;
}

}  // namespace zel
