#include "platform/files/share_session.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

// A share that cannot be reached (Wine has no network provider at all) is no session, and the
// reason comes in the system's words with its code, for the run log.
TEST(ShareSession, AShareOutOfReachGivesTheSystemsReason) {
    std::string failure;
    EXPECT_EQ(connectShare("\\\\yok-boyle-sunucu\\yedek\\alt", "yedekci", "parola", failure), nullptr);
    EXPECT_NE(failure.find(" ("), std::string::npos) << failure;
    EXPECT_EQ(failure.find("parola"), std::string::npos) << failure;
}

}  // namespace
}  // namespace zel
