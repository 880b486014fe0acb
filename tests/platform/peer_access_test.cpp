#include "platform/peer_access.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(PeerAccess, OwnUserRootAndMembersOfTheServiceGroupOnly) {
    constexpr std::uint32_t service = 1000, group = 990;
    struct Case {
        const char* what;
        PeerIdentity peer;
        std::optional<std::uint32_t> serviceGroup;
        std::vector<std::uint32_t> peerGroups;
        bool allowed;
    };
    for (const Case& c : {
             Case{"own user", {service, 1000, 7}, group, {1000}, true},
             Case{"root", {0, 0, 7}, group, {0}, true},
             Case{"process in the group", {1001, group, 7}, group, {1001}, true},
             Case{"user in the group", {1001, 1001, 7}, group, {1001, 27, group}, true},
             Case{"stranger", {1001, 1001, 7}, group, {1001, 27}, false},
             Case{"own user, no group", {service, 1000, 7}, std::nullopt, {}, true},
             Case{"root, no group", {0, 0, 7}, std::nullopt, {}, true},
             Case{"no group, member of 990", {1001, group, 7}, std::nullopt, {1001, group}, false},
             Case{"no group, member of group 0", {1001, 0, 7}, std::nullopt, {1001, 0}, false},
         }) {
        EXPECT_EQ(peerAllowed(service, c.peer, c.serviceGroup, c.peerGroups), c.allowed) << c.what;
    }
}

}  // namespace
}  // namespace zel
