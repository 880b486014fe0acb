#include "transport/peer_access.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(PeerAccess, OwnUserAndRootManageTheGroupsDecideTheRest) {
    constexpr std::uint32_t service = 1000, watchers = 990, managers = 991;
    using enum PeerAccess;
    struct Case {
        const char* what;
        PeerIdentity peer;
        std::optional<std::uint32_t> watchGroup, manageGroup;
        std::vector<std::uint32_t> peerGroups;
        PeerAccess access;
    };
    for (const Case& c : {
             Case{"own user", {service, 1000, 7}, watchers, managers, {1000}, Manager},
             Case{"root", {0, 0, 7}, watchers, managers, {0}, Manager},
             Case{"process in the watchers", {1001, watchers, 7}, watchers, managers, {1001}, Watcher},
             Case{"user in the watchers", {1001, 1001, 7}, watchers, managers, {1001, 27, watchers}, Watcher},
             Case{"user in both", {1001, 1001, 7}, watchers, managers, {watchers, managers}, Manager},
             Case{"manager only", {1001, 1001, 7}, watchers, managers, {1001, managers}, Manager},
             Case{"process in the managers", {1001, managers, 7}, watchers, managers, {1001}, Manager},
             Case{"stranger", {1001, 1001, 7}, watchers, managers, {1001, 27}, Refused},
             Case{"own user, no groups", {service, 1000, 7}, std::nullopt, std::nullopt, {}, Manager},
             Case{"no groups, member of 990", {1001, watchers, 7}, std::nullopt, std::nullopt, {watchers}, Refused},
             Case{"no manager group, member of 991", {1001, 1001, 7}, watchers, std::nullopt, {managers}, Refused},
             Case{"no groups, member of group 0", {1001, 0, 7}, std::nullopt, std::nullopt, {1001, 0}, Refused},
         }) {
        EXPECT_EQ(peerAccessFrom(service, c.peer, c.watchGroup, c.manageGroup, c.peerGroups), c.access) << c.what;
    }
}

}  // namespace
}  // namespace zel
