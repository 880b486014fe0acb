#include "channel/messages.h"

namespace zel {

std::string encodeMessage(const Message& message) {
    std::string line;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (i > 0) line += '\t';
        for (const char c : message[i]) {
            switch (c) {
                case '\\':
                    line += "\\\\";
                    break;
                case '\t':
                    line += "\\t";
                    break;
                case '\n':
                    line += "\\n";
                    break;
                case '\r':
                    line += "\\r";
                    break;
                default:
                    line += c;
            }
        }
    }
    line += '\n';
    return line;
}

bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) return false;  // cut short
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        // Overlong forms, surrogates and code points past Unicode's end are not UTF-8.
        static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[extra] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
        i += extra + 1;
    }
    return true;
}

void MessageReader::feed(std::string_view bytes) {
    if (!fault_.empty()) return;
    buffer_.append(bytes);
}

std::optional<Message> MessageReader::next() {
    if (!fault_.empty()) return std::nullopt;
    const std::size_t end = buffer_.find('\n', scanned_);
    if (end == std::string::npos) {
        scanned_ = buffer_.size();
        if (buffer_.size() >= kMaxMessageBytes) fault_ = "ileti çok uzun";
        return std::nullopt;
    }
    if (end + 1 > kMaxMessageBytes) {
        fault_ = "ileti çok uzun";
        return std::nullopt;
    }
    const std::string line = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);
    scanned_ = 0;
    if (line.empty()) {
        fault_ = "boş ileti";
        return std::nullopt;
    }
    if (!isUtf8(line)) {
        fault_ = "ileti UTF-8 değil";
        return std::nullopt;
    }
    Message message(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            message.emplace_back();
        } else if (c != '\\') {
            message.back() += c;
        } else {
            const char e = i + 1 < line.size() ? line[++i] : '\0';
            switch (e) {
                case '\\':
                    message.back() += '\\';
                    break;
                case 't':
                    message.back() += '\t';
                    break;
                case 'n':
                    message.back() += '\n';
                    break;
                case 'r':
                    message.back() += '\r';
                    break;
                default:
                    fault_ = "iletide bozuk kaçış dizisi";
                    return std::nullopt;
            }
        }
    }
    return message;
}

}  // namespace zel
