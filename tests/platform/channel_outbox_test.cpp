#include "platform/channel_outbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/local_channel.h"

namespace zel {
namespace {

OutboundQueue queueOf(const std::vector<std::string>& pieces) {
    OutboundQueue q;
    for (const std::string& p : pieces) q.append(p);
    return q;
}

// Written in parts of any size, or taken in pieces for a pipe's write, the bytes come out once
// each and in order, and the count stays true.
TEST(OutboundQueue, BytesLeaveInOrderWhateverTheWritesTake) {
    const std::vector<std::string> pieces{"abc", "", "defgh", "i"};
    for (std::size_t step : {1u, 2u, 4u, 100u}) {
        OutboundQueue written = queueOf(pieces);
        std::string out;
        while (!written.empty()) {
            const std::string_view front = written.front();
            const std::size_t n = std::min(step, front.size());
            out.append(front.substr(0, n));
            written.consume(n);
            EXPECT_EQ(written.size(), 9 - out.size()) << step;
        }
        EXPECT_EQ(out, "abcdefghi") << step;

        OutboundQueue taken = queueOf(pieces);
        std::vector<std::string> parts;
        while (!taken.empty()) parts.push_back(taken.take(step));
        std::string joined;
        for (const std::string& p : parts) {
            EXPECT_LE(p.size(), step);
            joined += p;
        }
        EXPECT_EQ(joined, "abcdefghi") << step;
        EXPECT_EQ(parts.size(), step == 100 ? 1u : (9 + step - 1) / step) << step;
    }
}

TEST(Outbox, PassingTheLimitDropsTheQueueAndEverythingAfter) {
    Outbox box;
    box.add(std::string(kChannelQueueLimit - 10, 'x'));
    box.writing = 5;  // a write under way counts against the limit too
    box.add(std::string(5, 'y'));
    EXPECT_FALSE(box.overflowed);
    box.add("z");
    EXPECT_TRUE(box.overflowed);
    EXPECT_TRUE(box.queue.empty());
    box.add("sonra");
    EXPECT_TRUE(box.queue.empty());
}

}  // namespace
}  // namespace zel
