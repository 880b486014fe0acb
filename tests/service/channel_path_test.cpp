#include "service/channel_path.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(ChannelPath, TheServiceListensWhereItsClientsLookFirst) {
    const std::string key = "zelyedek-0123456789abcdef";
    const std::string name = "zelyedek-0123456789abcdef-hizmet.sock";
    EXPECT_EQ(serviceChannelPath("/run/zelyedek", "/run/user/0", "/opt/zelyedek", key), "/run/zelyedek/" + name);
    EXPECT_EQ(serviceChannelPath("", "/run/user/0/", "/opt/zelyedek", key), "/run/user/0/" + name);
    EXPECT_EQ(serviceChannelPath("", "", "/opt/zelyedek", key), "/opt/zelyedek/" + name);
    EXPECT_EQ(clientChannelPaths("/run/user/1000", "/opt/zelyedek", key),
              (std::vector<std::string>{"/run/zelyedek/" + name, "/run/user/1000/" + name, "/opt/zelyedek/" + name}));
    EXPECT_EQ(clientChannelPaths("", "/opt/zelyedek", key).size(), 2u);
    EXPECT_EQ(pipeChannelPath(key), "\\\\.\\pipe\\ZELYedek-0123456789abcdef");
}

}  // namespace
}  // namespace zel
