#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/archive_check.h"
#include "platform/files/file_system.h"

namespace zel {

// The files zip writes its archive into before it gives it the archive's name: files in the
// folder that were not there before, "zi" and six more letters as Info-ZIP makes them.
std::vector<std::string> zipWorkFiles(const std::set<std::string>& before, const std::vector<FolderItem>& now);

// While zip runs, a spare core finds zip's work file in the target folder and reads back every
// entry zip has finished, so that the check after zip only confirms that those bytes are still
// the same. On a single core it does nothing: it would only slow zip down; nor on a network
// share, where every byte read again crosses the network.
class ArchiveFollower {
public:
    // `before`: the folder's file names before zip starts.
    ArchiveFollower(FileSystem& files, std::string folder, const std::vector<std::string>& before,
                    bool networkShare);
    ~ArchiveFollower();
    ArchiveFollower(const ArchiveFollower&) = delete;
    ArchiveFollower& operator=(const ArchiveFollower&) = delete;

    // Stops following, once zip has ended (`zipSucceeded`: on its own, with exit code 0, so the
    // entry it wrote last is final): the entries read back whole, by offset.
    std::vector<EarlyCheck> finish(bool zipSucceeded = false);

private:
    void follow();

    FileSystem& files_;
    const std::string folder_;
    std::set<std::string> before_;
    std::atomic<bool> stop_ = false;
    std::atomic<bool> zipEnded_ = false;
    std::mutex mutex_;
    std::condition_variable stopped_;
    std::vector<EarlyCheck> checked_;
    std::thread thread_;  // last: started once everything above exists
};

}  // namespace zel
