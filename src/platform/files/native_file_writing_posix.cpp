// Writing a new file from the start, for copies that must reach the disk whole.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>
#include <cstring>

#include "platform/files/native_file_system.h"

namespace zel {
namespace {

class PosixWriter final : public FileWriter {
public:
    explicit PosixWriter(int fd) : fd_(fd) {}
    ~PosixWriter() override {
        if (fd_ >= 0) ::close(fd_);
    }
    PosixWriter(const PosixWriter&) = delete;
    PosixWriter& operator=(const PosixWriter&) = delete;

    bool write(const char* data, std::size_t n) override {
        while (n > 0 && error_ == 0) {
            const ssize_t done = ::write(fd_, data, n);
            if (done < 0) {
                if (errno != EINTR) error_ = errno;
                continue;
            }
            data += done;
            n -= static_cast<std::size_t>(done);
        }
        return error_ == 0;
    }

    WriteResult finish() override {
        if (error_ == 0 && ::fsync(fd_) != 0) error_ = errno;
        // Written and flushed: a read-back must come from the disk, not from the pages just written.
        if (error_ == 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_DONTNEED);
        if (::close(fd_) != 0 && error_ == 0) error_ = errno;
        fd_ = -1;
        return error_ == 0 ? WriteResult{} : WriteResult{std::strerror(error_)};
    }

private:
    int fd_;
    int error_ = 0;
};

}  // namespace

std::unique_ptr<FileWriter> NativeFileSystem::createNewFile(const std::string& path, std::string& failure) {
    if (path.empty()) {
        failure = "boş yol";
        return nullptr;
    }
    const int fd = ::open(paths_.native(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        failure = std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<PosixWriter>(fd);
}

namespace {

std::optional<FileStamp> stampOf(const struct stat& st) {
    if (!S_ISREG(st.st_mode)) return std::nullopt;
    return FileStamp{static_cast<std::uint64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                     static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

}  // namespace

std::optional<FileStamp> NativeFileSystem::fileStamp(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(paths_.native(path).c_str(), &st) != 0) return std::nullopt;
    return stampOf(st);
}

// Each folder is opened once, and its files are looked up by name in it: the way down to it is not
// walked again for every file. Many files are looked at in two halves, one on a thread of its own.
std::vector<std::optional<FileStamp>> NativeFileSystem::fileStamps(const std::vector<std::string>& paths) {
    std::vector<std::optional<FileStamp>> stamps(paths.size());
    const std::size_t half = paths.size() >= kStampsSplitAt && std::thread::hardware_concurrency() > 1 ? paths.size() / 2 : 0;
    std::thread second;
    if (half > 0) {
        try {
            second = std::thread([&] { stampRange(paths, half, paths.size(), stamps); });
        } catch (const std::system_error&) {
            stampRange(paths, half, paths.size(), stamps);
        }
    }
    stampRange(paths, 0, half > 0 ? half : paths.size(), stamps);
    if (second.joinable()) second.join();
    return stamps;
}

void NativeFileSystem::stampRange(const std::vector<std::string>& paths, std::size_t from, std::size_t to,
                                  std::vector<std::optional<FileStamp>>& stamps) const {
    std::string folder;
    int folderFd = -1;
    for (std::size_t i = from; i < to; ++i) {
        const std::string native = paths_.native(paths[i]);
        const std::size_t slash = native.rfind('/');
        struct stat st {};
        if (slash == std::string::npos || slash + 1 == native.size()) {
            stamps[i] = !native.empty() && ::stat(native.c_str(), &st) == 0 ? stampOf(st) : std::nullopt;
            continue;
        }
        if (folderFd < 0 || native.compare(0, slash, folder) != 0 || folder.size() != slash) {
            if (folderFd >= 0) ::close(folderFd);
            folder = native.substr(0, slash);
            folderFd = ::open(folder.empty() ? "/" : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        const bool found = folderFd >= 0 && ::fstatat(folderFd, native.c_str() + slash + 1, &st, 0) == 0;
        stamps[i] = found ? stampOf(st) : std::nullopt;
    }
    if (folderFd >= 0) ::close(folderFd);
}

}  // namespace zel
