#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// One message of the channel between the service and its clients: a verb and its fields.
using Message = std::vector<std::string>;

// Largest message, newline included; a peer that sends more is dropped.
inline constexpr std::size_t kMaxMessageBytes = 64 * 1024;

// A message as one line of UTF-8: fields joined by tabs, with backslash, tab, line feed and
// carriage return escaped as \\, \t, \n and \r, then a line feed.
std::string encodeMessage(const Message& message);

// Splits the byte stream of one connection into messages. After the first fault (a line over
// kMaxMessageBytes, a bad escape, a text that is not UTF-8, an empty line) it yields nothing more:
// the connection is to be dropped.
class MessageReader {
public:
    void feed(std::string_view bytes);
    // The next whole message, if one has come.
    std::optional<Message> next();
    // Why the stream is broken; empty while it is sound.
    const std::string& fault() const { return fault_; }

private:
    std::string buffer_;
    std::size_t scanned_ = 0;  // bytes of buffer_ already known to hold no line feed
    std::string fault_;
};

// True when `text` is well-formed UTF-8.
bool isUtf8(std::string_view text);

}  // namespace zel
