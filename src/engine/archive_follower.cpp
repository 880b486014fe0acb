#include "engine/archive_follower.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "engine/backup_rules.h"

namespace zel {

std::vector<std::string> zipWorkFiles(const std::set<std::string>& before, const std::vector<FolderItem>& now) {
    std::vector<std::string> found;
    for (const FolderItem& item : now) {
        const std::string& n = item.name;
        if (item.kind == FolderItem::Kind::File && n.size() == 8 && (n[0] == 'z' || n[0] == 'Z') &&
            (n[1] == 'i' || n[1] == 'I') && !before.count(n))
            found.push_back(n);
    }
    return found;
}

namespace {

std::optional<std::string> zipWorkFile(const std::set<std::string>& before, const std::vector<FolderItem>& now) {
    const std::vector<std::string> found = zipWorkFiles(before, now);
    if (found.empty()) return std::nullopt;
    return found.front();
}

}  // namespace

ArchiveFollower::ArchiveFollower(FileSystem& files, std::string folder,
                                 const std::vector<std::string>& before, bool networkShare)
    : files_(files), folder_(std::move(folder)), before_(before.begin(), before.end()) {
    // On a network share, reading what zip writes would cross the network once more.
    if (std::thread::hardware_concurrency() < 2 || networkShare) return;
    try {
        thread_ = std::thread([this] { follow(); });
    } catch (const std::system_error&) {
        // no thread: the check after zip reads everything
    }
}

ArchiveFollower::~ArchiveFollower() {
    finish();
}

std::vector<EarlyCheck> ArchiveFollower::finish(bool zipSucceeded) {
    {
        std::lock_guard lock(mutex_);
        if (zipSucceeded) zipEnded_ = true;  // before stop_: the follower reads them in that order
        stop_ = true;
    }
    stopped_.notify_all();
    if (thread_.joinable()) thread_.join();
    return std::move(checked_);
}

void ArchiveFollower::follow() {
    try {
        // Zip lists the whole source before it writes: looked for often at first, then less.
        std::chrono::milliseconds pause{5};
        for (;;) {
            if (const std::optional<std::vector<FolderItem>> items = files_.listFolder(folder_)) {
                if (const std::optional<std::string> name = zipWorkFile(before_, *items)) {
                    if (std::unique_ptr<FileReader> file = files_.openForReading(archivePath(folder_, *name)))
                        checked_ = followArchive(*file, stop_, &zipEnded_);
                    return;
                }
            }
            std::unique_lock lock(mutex_);
            if (stopped_.wait_for(lock, pause, [this] { return stop_.load(); })) return;
            pause = std::min(pause * 2, std::chrono::milliseconds(100));
        }
    } catch (...) {
        // what was read back stands; the check after zip reads the rest
    }
}

}  // namespace zel
