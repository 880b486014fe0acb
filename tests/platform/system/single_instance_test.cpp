#include "platform/system/single_instance.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(InstanceKey, OneKeyPerProgramFolderTheSameOnEveryRun) {
    const std::string key = instanceKey("/opt/zel");
    EXPECT_EQ(key, instanceKey("/opt/zel"));
    EXPECT_EQ(key.rfind("zelyedek-", 0), 0u);
    EXPECT_EQ(key.size(), 9u + 16u);
    EXPECT_EQ(key.find_first_not_of("0123456789abcdef", 9), std::string::npos);
    EXPECT_NE(key, instanceKey("/opt/zel2"));
    // Fixed across builds, platforms and users: copies built or started apart must find each other.
    EXPECT_EQ(instanceKey(""), "zelyedek-14650fb0739d0383");
}

}  // namespace
}  // namespace zel
