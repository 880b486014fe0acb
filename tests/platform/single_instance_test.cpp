#include "platform/single_instance.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(InstanceKey, OneKeyPerExecutableFileAndUserTheSameOnEveryRun) {
    const std::string key = instanceKey("/opt/zel/zelyedek", "1000");
    EXPECT_EQ(key, instanceKey("/opt/zel/zelyedek", "1000"));
    EXPECT_EQ(key.rfind("zelyedek-", 0), 0u);
    EXPECT_EQ(key.size(), 9u + 16u);
    EXPECT_EQ(key.find_first_not_of("0123456789abcdef", 9), std::string::npos);
    EXPECT_NE(key, instanceKey("/opt/zel2/zelyedek", "1000"));
    EXPECT_NE(key, instanceKey("/opt/zel/zelyedek", "1001"));
    EXPECT_NE(instanceKey("/a", "bc"), instanceKey("/ab", "c"));
    // Fixed across builds and platforms: copies built apart must still find each other.
    EXPECT_EQ(instanceKey("", ""), "zelyedek-44bd2bd473ccf799");
}

}  // namespace
}  // namespace zel
