#include "channel/messages.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

std::vector<Message> readAll(MessageReader& reader) {
    std::vector<Message> all;
    while (std::optional<Message> m = reader.next()) all.push_back(*m);
    return all;
}

TEST(ChannelMessages, FieldsWithEveryEscapedCharacterComeBackWhole) {
    const Message sent{"source", "0", "c:\\yedek\\a\tb\nc\rd", "", "İş ğüşçö"};
    const std::string line = encodeMessage(sent);
    EXPECT_EQ(line.find('\n'), line.size() - 1);  // one line, whatever the texts hold
    MessageReader reader;
    // Byte by byte: a message split anywhere by the socket is still one message.
    for (const char c : line + line) reader.feed(std::string_view(&c, 1));
    EXPECT_EQ(readAll(reader), (std::vector<Message>{sent, sent}));
    EXPECT_EQ(reader.fault(), "");
}

struct Broken {
    const char* name;
    std::string bytes;
    std::string fault;
};

class BrokenStreams : public ::testing::TestWithParam<Broken> {};

// Whatever a peer sends, the reader ends in a fault instead of a message it cannot stand behind;
// a message before the fault still counts.
TEST_P(BrokenStreams, EndInAFaultAndYieldNothingMore) {
    MessageReader reader;
    reader.feed("welcome\n" + GetParam().bytes + "\nwelcome\n");
    EXPECT_EQ(readAll(reader), std::vector<Message>{{"welcome"}});
    EXPECT_EQ(reader.fault(), GetParam().fault);
    reader.feed("welcome\n");
    EXPECT_FALSE(reader.next());
}

INSTANTIATE_TEST_SUITE_P(
    Channel, BrokenStreams,
    ::testing::Values(Broken{"TooLong", std::string(kMaxMessageBytes, 'x'), "ileti çok uzun"},
                      Broken{"BadEscape", "source\t0\tc:\\x", "iletide bozuk kaçış dizisi"},
                      Broken{"EscapeAtTheEnd", "source\t0\tc\\", "iletide bozuk kaçış dizisi"},
                      Broken{"Latin5Byte", "source\t0\t\xFD", "ileti UTF-8 değil"},
                      Broken{"OverlongSlash", "source\t0\t\xC0\xAF", "ileti UTF-8 değil"},
                      Broken{"Surrogate", "source\t0\t\xED\xA0\x80", "ileti UTF-8 değil"},
                      Broken{"CutCharacter", "source\t0\t\xC4", "ileti UTF-8 değil"},
                      Broken{"EmptyLine", "", "boş ileti"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChannelMessages, ALongMessageWithoutItsEndIsRefusedBeforeItGrowsFurther) {
    MessageReader reader;
    const std::string piece(16 * 1024, 'x');
    for (int i = 0; i < 3; ++i) reader.feed(piece);
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.fault(), "");  // 48 KB of one message may still end in time
    reader.feed(piece);
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.fault(), "ileti çok uzun");
}

}  // namespace
}  // namespace zel
