#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "platform/security/program_trust.h"

namespace zel {
namespace {

// The path with every link resolved, cut back to the part that exists.
std::string realExisting(std::string path) {
    for (;;) {
        const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
        if (real) return real.get();
        const auto slash = path.find_last_of('/');
        if (slash == std::string::npos) return {};
        path.resize(slash == 0 ? 1 : slash);
    }
}

}  // namespace

std::string untrustedWriters(const std::string& nativePath) {
    const std::string real = realExisting(nativePath);
    if (real.empty()) return nativePath + ": bulunamadı";
    std::vector<std::string> chain{"/"};
    for (std::size_t slash = real.find('/', 1);; slash = real.find('/', slash + 1)) {
        if (slash == std::string::npos) {
            if (real.size() > 1) chain.push_back(real);
            break;
        }
        chain.push_back(real.substr(0, slash));
    }
    std::vector<PlaceMode> places;
    for (const std::string& place : chain) {
        struct stat st {};
        if (::lstat(place.c_str(), &st) != 0) return place + ": okunamadı";
        places.push_back({place, st.st_uid, st.st_gid, static_cast<std::uint32_t>(st.st_mode & 07777)});
    }
    return untrustedWritersOf(places, {0, static_cast<std::uint32_t>(::geteuid())});
}

}  // namespace zel
