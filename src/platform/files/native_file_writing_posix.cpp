// Writing a new file from the start, for copies that must reach the disk whole.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

std::optional<FileStamp> NativeFileSystem::fileStamp(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(paths_.native(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileStamp{static_cast<std::uint64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                     static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

}  // namespace zel
