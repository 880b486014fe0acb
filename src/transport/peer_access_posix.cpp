#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "transport/local_channel.h"
#include "transport/peer_access.h"

namespace zel {
namespace {

// The *_r lookups say ERANGE while their buffer is too small for the entry.
template <typename Entry, typename Lookup>
bool lookUp(Entry& entry, std::vector<char>& buffer, Lookup lookup) {
    buffer.resize(1024);
    for (;;) {
        Entry* found = nullptr;
        const int rc = lookup(&entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return rc == 0 && found != nullptr;
    }
}

std::optional<std::uint32_t> groupId(const char* name) {
    group entry{};
    std::vector<char> buffer;
    if (!lookUp(entry, buffer, [name](group* g, char* b, std::size_t n, group** out) {
            return ::getgrnam_r(name, g, b, n, out);
        })) {
        return std::nullopt;
    }
    return entry.gr_gid;
}

// Every group of the user, from its entry and the group database (members listed there included).
std::vector<std::uint32_t> groupsOfUser(std::uint32_t uid) {
    passwd entry{};
    std::vector<char> buffer;
    if (!lookUp(entry, buffer, [uid](passwd* p, char* b, std::size_t n, passwd** out) {
            return ::getpwuid_r(uid, p, b, n, out);
        })) {
        return {};
    }
    std::vector<gid_t> groups(32);
    for (;;) {
        int count = static_cast<int>(groups.size());
        if (::getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) >= 0) {
            groups.resize(static_cast<std::size_t>(count));
            return {groups.begin(), groups.end()};
        }
        // Too few places: count now says how many are needed.
        if (count <= static_cast<int>(groups.size())) return {entry.pw_gid};
        groups.resize(static_cast<std::size_t>(count));
    }
}

}  // namespace

PeerAccess peerAccess(const PeerIdentity& peer) {
    return peerAccessFrom(static_cast<std::uint32_t>(::geteuid()), peer, groupId(kServiceGroup),
                          groupId(kManagerGroup), groupsOfUser(peer.uid));
}

}  // namespace zel
