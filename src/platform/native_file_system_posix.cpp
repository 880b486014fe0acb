#include "platform/native_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace zel {
namespace {

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::string> readAll(int fd) {
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) return out;
        out.append(buf, static_cast<size_t>(n));
    }
}

}  // namespace

bool NativeFileSystem::createFolder(const std::string& path) {
    if (path.empty()) return false;
    return ::mkdir(paths_.native(path).c_str(), 0777) == 0;
}

bool NativeFileSystem::folderExists(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    return ::stat(paths_.native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool NativeFileSystem::copyFile(const std::string& from, const std::string& to) {
    const std::string src = paths_.native(from);
    const std::string dst = paths_.native(to);
    int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    auto content = readAll(in);
    ::close(in);
    if (!content) return false;

    int out = ::open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) return false;
    bool ok = writeAll(out, content->data(), content->size());
    // The copy must keep the source's bits even when the target existed with others (zip must stay
    // executable).
    ok = (::fchmod(out, st.st_mode & 07777) == 0) && ok;
    ok = (::close(out) == 0) && ok;
    return ok;
}

bool NativeFileSystem::attributesReadable(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    return ::stat(paths_.native(path).c_str(), &st) == 0;
}

std::optional<std::string> NativeFileSystem::readCreatingIfMissing(const std::string& path) {
    if (path.empty()) return std::nullopt;
    int fd = ::open(paths_.native(path).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return std::nullopt;
    auto content = readAll(fd);
    ::close(fd);
    return content;
}

bool NativeFileSystem::replaceContent(const std::string& path, const std::string& bytes) {
    if (path.empty()) return false;
    const std::string target = paths_.native(path);
    std::string tmpl = target + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return false;
    struct stat st {};
    mode_t mode = (::stat(target.c_str(), &st) == 0) ? (st.st_mode & 07777) : 0644;
    bool ok = writeAll(fd, bytes.data(), bytes.size());
    ok = ok && ::fchmod(fd, mode) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmpl.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(tmpl.c_str());
    return ok;
}

}  // namespace zel
