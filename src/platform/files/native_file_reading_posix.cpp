// Listing folders and reading files for the archive check.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files/native_file_system.h"

namespace zel {
namespace {

class PosixReader final : public FileReader {
public:
    PosixReader(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~PosixReader() override { ::close(fd_); }
    PosixReader(const PosixReader&) = delete;
    PosixReader& operator=(const PosixReader&) = delete;

    std::uint64_t size() const override { return size_; }
    std::uint64_t sizeNow() override {
        struct stat st {};
        return ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : size_;
    }
    std::optional<std::size_t> readAt(std::uint64_t offset, char* buffer, std::size_t n) override {
        std::size_t done = 0;
        while (done < n) {
            ssize_t got = ::pread(fd_, buffer + done, n - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return std::nullopt;
            if (got == 0) break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

private:
    int fd_;
    std::uint64_t size_;
};

}  // namespace

std::optional<std::vector<FolderItem>> NativeFileSystem::listFolder(const std::string& path) {
    if (path.empty()) return std::nullopt;
    const std::string folder = paths_.native(path);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return std::nullopt;
    std::vector<FolderItem> items;
    errno = 0;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        FolderItem item{name, FolderItem::Kind::Other, false};
        // The entry's own type spares a stat for each of thousands of files; a link is followed
        // like zip follows it (a link to a folder is a folder, a dangling one is nothing), and a
        // file system that does not tell the type is asked.
        struct stat st {};
        if (e->d_type == DT_REG)
            item.kind = FolderItem::Kind::File;
        else if (e->d_type == DT_DIR)
            item.kind = FolderItem::Kind::Folder;
        else if ((e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) &&
                 ::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0)
            item.kind = S_ISREG(st.st_mode)   ? FolderItem::Kind::File
                        : S_ISDIR(st.st_mode) ? FolderItem::Kind::Folder
                                              : FolderItem::Kind::Other;
        items.push_back(std::move(item));
        errno = 0;
    }
    const bool failed = errno != 0;
    ::closedir(dir);
    if (failed) return std::nullopt;
    return items;
}

std::unique_ptr<FileReader> NativeFileSystem::openForReading(const std::string& path) {
    if (path.empty()) return nullptr;
    // O_NONBLOCK: a FIFO put where the archive was expected must not hold the run for ever; such a
    // name is refused below, and a regular file's reads never see the flag.
    int fd = ::open(paths_.native(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixReader>(fd, static_cast<std::uint64_t>(st.st_size));
}

}  // namespace zel
