#include "platform/system/lock_holder.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace zel {
namespace {

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string linkTarget(const std::string& path) {
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) return {};
    target.resize(static_cast<std::size_t>(n));
    return target;
}

}  // namespace

std::optional<std::int64_t> lockHolderPid(std::string_view procLocks, std::uint32_t major, std::uint32_t minor,
                                          std::uint64_t inode) {
    std::istringstream lines{std::string(procLocks)};
    std::string line;
    while (std::getline(lines, line)) {
        // "1: FLOCK  ADVISORY  WRITE 4242 fd:01:1048602 0 EOF"; a blocked waiter's line has "->"
        // before its fields and holds nothing.
        if (line.find("->") != std::string::npos) continue;
        std::istringstream fields(line);
        std::string id, type, mode, access, file;
        long long pid = 0;
        if (!(fields >> id >> type >> mode >> access >> pid >> file)) continue;
        unsigned fileMajor = 0, fileMinor = 0;
        unsigned long long fileInode = 0;
        char end = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu%c", &fileMajor, &fileMinor, &fileInode, &end) != 3) continue;
        if (fileMajor == major && fileMinor == minor && fileInode == inode && pid > 0) return pid;
    }
    return std::nullopt;
}

std::optional<LockHolder> lockHolder(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    const std::optional<std::int64_t> pid =
        lockHolderPid(readWhole("/proc/locks"), major(st.st_dev), minor(st.st_dev), st.st_ino);
    if (!pid) return std::nullopt;
    LockHolder holder{*pid, std::nullopt, linkTarget("/proc/" + std::to_string(*pid) + "/exe")};
    struct stat process {};
    if (::stat(("/proc/" + std::to_string(*pid)).c_str(), &process) == 0) holder.uid = process.st_uid;
    return holder;
}

std::string ownProgram() {
    return linkTarget("/proc/self/exe");
}

std::string lockHolderText(const LockHolder& holder) {
    std::string text = "pid " + std::to_string(holder.pid);
    if (holder.uid) text += ", kullanıcı " + std::to_string(*holder.uid);
    if (!holder.program.empty()) text += ", " + holder.program;
    return text;
}

}  // namespace zel
