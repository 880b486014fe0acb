#include "service/service_channel.h"

#include <gtest/gtest.h>

#include "support/core/service_fixture.h"

namespace zel::test {
namespace {

class NullServer final : public ChannelServer {
public:
    void send(ClientId, std::string) override {}
    void close(ClientId, bool) override {}
};

// A name another program holds costs the windows only: the service tells it once, goes on, and
// opens its channel at a later tick.
class ServiceChannelTest : public ServiceFixture {
protected:
    ServiceChannelTest() : ServiceFixture([](const PeerIdentity&) { return PeerAccess::Manager; }) {}
};

TEST_F(ServiceChannelTest, AChannelThatCannotBeOpenedIsToldOnceAndTriedAgain) {
    int attempts = 0;
    bool busy = true;
    ServiceChannel channel(
        host_,
        [&](ChannelServer::Events, std::string& error) -> std::unique_ptr<ChannelServer> {
            ++attempts;
            if (!busy) return std::make_unique<NullServer>();
            error = "\\\\.\\pipe\\ZELYedek-x: Erişim engellendi";
            return nullptr;
        },
        [this](const std::string& line) { host_.log(line); });
    channel.keepOpen();
    channel.keepOpen();
    EXPECT_FALSE(channel.open());
    busy = false;
    channel.keepOpen();
    channel.keepOpen();
    EXPECT_TRUE(channel.open());
    EXPECT_EQ(attempts, 3);
    const std::string log = readFile(logFile());
    const std::string told = "Pencere kanalı açılamadı: \\\\.\\pipe\\ZELYedek-x: Erişim engellendi";
    EXPECT_NE(log.find(told), std::string::npos) << log;
    EXPECT_EQ(log.find(told), log.rfind(told));
    EXPECT_NE(log.find("Pencere kanalı açıldı"), std::string::npos);
}

}  // namespace
}  // namespace zel::test
