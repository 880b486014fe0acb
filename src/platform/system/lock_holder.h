#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zel {

// Who holds a lock on a file, as far as the system tells (Linux: /proc/locks and /proc/<pid>).
struct LockHolder {
    std::int64_t pid = 0;
    std::optional<std::uint32_t> uid;  // unknown once the process is gone
    std::string program;               // its executable; empty when it cannot be read
};

// The process holding a lock on the file with this device and inode, from the text of
// /proc/locks; nothing when no line names the file.
std::optional<std::int64_t> lockHolderPid(std::string_view procLocks, std::uint32_t major, std::uint32_t minor,
                                          std::uint64_t inode);

// Who holds a lock on `path` now; nothing when that cannot be known.
std::optional<LockHolder> lockHolder(const std::string& path);

// The executable of this process, as lockHolder names a holder's.
std::string ownProgram();

// "pid 1234, kullanıcı 1000, /usr/bin/flock" for the run log.
std::string lockHolderText(const LockHolder& holder);

}  // namespace zel
