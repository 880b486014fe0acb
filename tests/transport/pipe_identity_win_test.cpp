#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/system/wide_text_win.h"
#include "transport/pipe_client_token_win.h"
#include "transport/pipe_server_check_win.h"

namespace zel {
namespace {

// SIDs from their text, freed with the test.
class Sids {
public:
    ~Sids() {
        for (PSID sid : made_) LocalFree(sid);
    }
    PSID operator()(const char* text) {
        if (!text) return nullptr;
        PSID sid = nullptr;
        ConvertStringSidToSidW(widen(text).c_str(), &sid);
        made_.push_back(sid);
        return sid;
    }

private:
    std::vector<PSID> made_;
};

constexpr const char* kAdministrators = "S-1-5-32-544";

TEST(PipeClientToken, OnlyAnEnabledAdministratorsGroupMakesAManager) {
    constexpr DWORD kOn = SE_GROUP_ENABLED | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_MANDATORY;
    struct Group {
        const char* sid;
        DWORD attributes;
    };
    const struct {
        const char* what;
        std::vector<Group> groups;
        bool manager;
    } cases[] = {
        {"an elevated administrator", {{"S-1-1-0", kOn}, {kAdministrators, kOn | SE_GROUP_OWNER}}, true},
        {"an administrator not elevated",
         {{"S-1-1-0", kOn}, {kAdministrators, SE_GROUP_USE_FOR_DENY_ONLY}},
         false},
        {"deny-only even where marked enabled", {{kAdministrators, kOn | SE_GROUP_USE_FOR_DENY_ONLY}}, false},
        {"the group switched off", {{kAdministrators, SE_GROUP_MANDATORY}}, false},
        {"a user", {{"S-1-5-32-545", kOn}, {"S-1-5-11", kOn}}, false},
        {"a group that merely ends like it", {{"S-1-5-21-1-2-3-544", kOn}}, false},
        {"no groups", {}, false},
    };
    Sids sids;
    for (const auto& c : cases) {
        std::vector<BYTE> buffer(sizeof(TOKEN_GROUPS) + c.groups.size() * sizeof(SID_AND_ATTRIBUTES));
        auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buffer.data());
        groups->GroupCount = static_cast<DWORD>(c.groups.size());
        for (std::size_t i = 0; i < c.groups.size(); ++i)
            groups->Groups[i] = {sids(c.groups[i].sid), c.groups[i].attributes};
        EXPECT_EQ(holdsEnabledGroup(*groups, sids(kAdministrators)), c.manager) << c.what;
    }
}

TEST(PipeServerCheck, AWindowTalksOnlyToAPipeOfTheServiceOrOfTheSystem) {
    constexpr const char* kUser = "S-1-5-21-1-2-3-1001";
    constexpr const char* kServiceUser = "S-1-5-21-1-2-3-1500";
    const struct {
        const char* what;
        bool own, service;
        const char *processUser, *account, *owner;
        bool trusted;
    } cases[] = {
        {"the service's own process", false, true, nullptr, nullptr, nullptr, true},
        {"this very process", true, false, kUser, nullptr, kUser, true},
        {"a LocalSystem process", false, false, "S-1-5-18", "S-1-5-18", kAdministrators, true},
        {"the service's account", false, false, kServiceUser, kServiceUser, kServiceUser, true},
        {"a SYSTEM process whose token is closed, by its pipe's owner", false, false, nullptr, "S-1-5-18",
         "S-1-5-18", true},
        {"a pipe the Administrators own", false, false, nullptr, nullptr, kAdministrators, true},
        {"a user's program", false, false, kUser, "S-1-5-18", kUser, false},
        {"a user's program, its owner unread", false, false, kUser, "S-1-5-18", nullptr, false},
        {"another user's, nothing readable", false, false, nullptr, nullptr, nullptr, false},
        {"Users own it", false, false, nullptr, "S-1-5-18", "S-1-5-32-545", false},
    };
    Sids sids;
    for (const auto& c : cases) {
        const PipeServerFacts facts{c.own, c.service, sids(c.processUser), sids(c.account), sids(c.owner)};
        EXPECT_EQ(trustedPipeServer(facts), c.trusted) << c.what;
    }
}

}  // namespace
}  // namespace zel
