#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/security/program_trust.h"

namespace zel {
namespace {

// More links on one way than this is a loop, or nothing an administrator set up.
constexpr int kMostLinks = 40;

std::vector<std::string> components(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

// Every place on the way as written is judged, each link where it stands (its owner; a link's own
// mode means nothing) and then the way it leads, from its own folder or from "/": a link in a folder
// that a user may write is his to point elsewhere, whatever it points to now.
std::string untrustedWriters(const std::string& nativePath) {
    std::vector<PlaceMode> places;
    std::string missing;
    std::vector<std::string> todo = components(nativePath);
    std::string folder = "/";
    struct stat root {};
    if (nativePath.empty() || nativePath.front() != '/' || ::lstat("/", &root) != 0) return nativePath + ": okunamadı";
    places.push_back({"/", root.st_uid, root.st_gid, static_cast<std::uint32_t>(root.st_mode & 07777)});
    int links = 0;
    std::size_t next = 0;
    while (next < todo.size() && missing.empty()) {
        const std::string name = todo[next++];
        if (name == ".") continue;
        if (name == "..") {
            folder = folder.substr(0, std::max<std::size_t>(folder.rfind('/'), 1));
            continue;
        }
        const std::string place = joined(folder, name);
        struct stat st {};
        if (::lstat(place.c_str(), &st) != 0) {
            missing = place + (errno == ENOENT ? ": bulunamadı" : ": okunamadı");
            break;
        }
        if (!S_ISLNK(st.st_mode)) {
            places.push_back({place, st.st_uid, st.st_gid, static_cast<std::uint32_t>(st.st_mode & 07777)});
            folder = place;
            continue;
        }
        places.push_back({place, st.st_uid, st.st_gid, 0});
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(place.c_str(), target.data(), target.size());
        if (n <= 0 || ++links > kMostLinks) return place + ": okunamadı";
        target.resize(static_cast<std::size_t>(n));
        std::vector<std::string> rest = components(target);
        rest.insert(rest.end(), todo.begin() + static_cast<std::ptrdiff_t>(next), todo.end());
        todo = std::move(rest);
        next = 0;
        if (target.front() == '/') folder = "/";
    }
    const std::string who = untrustedWritersOf(places, {0, static_cast<std::uint32_t>(::geteuid())});
    return who.empty() ? missing : who;
}

}  // namespace zel
