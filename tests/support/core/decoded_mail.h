#pragma once

#include <string>

#include "text/base64.h"

namespace zel::test {

// The text of a header's encoded words, as a mail program shows it: words joined, folding dropped.
inline std::string decodedWords(const std::string& header) {
    std::string out;
    std::size_t at = 0;
    while ((at = header.find("=?UTF-8?B?", at)) != std::string::npos) {
        const std::size_t end = header.find("?=", at + 10);
        out += fromBase64(header.substr(at + 10, end - at - 10)).value_or("<bad>");
        at = end + 2;
    }
    return out;
}

// A whole mail's subject and body, decoded.
inline std::string decodedSubject(const std::string& mail) {
    const std::size_t start = mail.find("\r\nSubject: ") + 11;
    const std::string subject = mail.substr(start, mail.find("\r\nMessage-ID:", start) - start);
    return subject.find("=?") == std::string::npos ? subject : decodedWords(subject);
}
inline std::string decodedBody(const std::string& mail) {
    return fromBase64(mail.substr(mail.find("\r\n\r\n") + 4)).value_or("<bad>");
}

}  // namespace zel::test
