#include "transport/channel_outbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transport/local_channel.h"

namespace zel {
namespace {

OutboundQueue queueOf(const std::vector<std::string>& pieces) {
    OutboundQueue q;
    for (const std::string& p : pieces) q.append(p);
    return q;
}

// Written in parts of any size (a socket), or taken in pieces for a pipe's write, the bytes come
// out once each and in order, and the count stays true.
TEST(OutboundQueue, BytesLeaveInOrderWhateverTheWritesTake) {
    for (std::size_t step : {1u, 2u, 4u, 100u}) {
        OutboundQueue written = queueOf({"abc", "", "defgh", "i"}),
                      taken = queueOf({"abc", "", "defgh", "i"});
        std::string out, joined;
        while (!written.empty()) {
            const std::size_t n = std::min(step, written.front().size());
            out.append(written.front().substr(0, n));
            written.consume(n);
            EXPECT_EQ(written.size(), 9 - out.size()) << step;
        }
        while (!taken.empty()) {
            const std::string part = taken.take(step);
            EXPECT_LE(part.size(), step);
            joined += part;
        }
        EXPECT_EQ(out, "abcdefghi") << step;
        EXPECT_EQ(joined, "abcdefghi") << step;
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
