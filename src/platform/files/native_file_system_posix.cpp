#include "platform/files/native_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace zel {
namespace {

// The process's umask, read without setting it: umask(2) would change it for every thread for a
// moment. Linux shows it in /proc since 4.7; elsewhere the usual 022 is assumed.
mode_t currentUmask() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 022;
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
        std::fclose(status);
        return static_cast<mode_t>(mask & 0777);
    }
    return 022;
}

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

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path finally names, following symbolic links (the last one may dangle).
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return path;
        std::string link(buf.data(), static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : folderOf(path) + "/" + link;
    }
    return path;
}

// mkstemp's names: the target's name, ".", six letters or digits.
constexpr const char* kTemporarySuffix = ".XXXXXX";

// Writes `bytes` to a new file of a random name beside `target` (never one that was there), gives
// it `mode`, and renames it over `target`, durably.
WriteResult writeAndRename(const std::string& target, const std::string& bytes, mode_t mode) {
    std::string tmpl = target + kTemporarySuffix;
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return {std::strerror(errno)};
    int error = 0;
    auto step = [&error](bool ok) {
        if (!ok && error == 0) error = errno ? errno : EIO;
    };
    step(writeAll(fd, bytes.data(), bytes.size()));
    if (error == 0) step(::fchmod(fd, mode) == 0);
    if (error == 0) step(::fsync(fd) == 0);
    step(::close(fd) == 0);
    if (error == 0) step(::rename(tmpl.c_str(), target.c_str()) == 0);
    if (error != 0) {
        ::unlink(tmpl.c_str());
        return {std::strerror(error)};
    }
    // The rename itself must reach the disk, or a power cut can bring the old file back.
    int dir = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

bool isTemporaryOf(const std::string& name, const std::string& base) {
    if (name.size() != base.size() + 7 || name.compare(0, base.size(), base) != 0 || name[base.size()] != '.')
        return false;
    for (std::size_t i = base.size() + 1; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (!std::isalnum(c)) return false;
    }
    return true;
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

std::optional<std::uint64_t> NativeFileSystem::fileSize(const std::string& path) {
    if (path.empty()) return std::nullopt;
    struct stat st {};
    if (::stat(paths_.native(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool NativeFileSystem::appendRotating(const std::string& path, const std::string& bytes,
                                      std::uint64_t limit) {
    if (path.empty()) return false;
    const std::string file = paths_.native(path);
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_size) >= limit)
        ::rename(file.c_str(), (file + ".1").c_str());
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes.data(), bytes.size());
    return (::close(fd) == 0) && ok;
}

std::optional<std::string> NativeFileSystem::readCreatingIfMissing(const std::string& path) {
    if (path.empty()) return std::nullopt;
    int fd = ::open(paths_.native(path).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return std::nullopt;
    auto content = readAll(fd);
    ::close(fd);
    return content;
}

WriteResult NativeFileSystem::replaceContent(const std::string& path, const std::string& bytes, bool ownerOnly) {
    if (path.empty()) return {"boş yol"};
    const std::string target = followLinks(paths_.native(path));
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    // Read-only is read-only, for root too: the file would refuse an open for writing on Windows.
    if (exists && (st.st_mode & 0222) == 0) return {"dosya salt okunur"};
    if (exists && ::access(target.c_str(), W_OK) != 0) return {std::strerror(errno)};
    // A new file, or one of our own, gets no more than the umask allows (a service's 077 makes it
    // 0600); a file that somebody else put there keeps the mode they gave it.
    mode_t mode = exists ? (st.st_mode & 07777) : 0666;
    if (!exists || st.st_uid == ::geteuid()) mode &= ~currentUmask();
    if (ownerOnly) mode &= 0700;
    return writeAndRename(target, bytes, mode);
}

WriteResult NativeFileSystem::publishFile(const std::string& path, const std::string& bytes) {
    if (path.empty()) return {"boş yol"};
    return writeAndRename(paths_.native(path), bytes, 0644);
}

std::optional<FolderIdentity> NativeFileSystem::folderIdentity(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(paths_.native(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return FolderIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::string NativeFileSystem::foreignness(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::lstat(paths_.native(path).c_str(), &st) != 0) return {};
    if (S_ISLNK(st.st_mode)) return "bağlantı";
    if (!S_ISREG(st.st_mode)) return "dosya değil";
    if (st.st_uid != ::geteuid()) return "sahibi başka bir kullanıcı (uid " + std::to_string(st.st_uid) + ")";
    if ((st.st_mode & 0777 & currentUmask()) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return std::string("izinleri fazla geniş (") + mode + ")";
    }
    return {};
}

// The umask the service runs with keeps zip's work file and the archive private already.
std::optional<std::string> NativeFileSystem::privateWorkFolder(const std::string&, std::string&) {
    return std::nullopt;
}

void NativeFileSystem::removeEmptyFolder(const std::string& path) {
    if (!path.empty()) ::rmdir(paths_.native(path).c_str());
}

void NativeFileSystem::removeReplaceLeftovers(const std::string& path) {
    if (path.empty()) return;
    const std::string target = followLinks(paths_.native(path));
    const std::string folder = folderOf(target);
    const std::string base = target.substr(target.rfind('/') + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> leftovers;
    while (dirent* e = ::readdir(dir)) {
        if (isTemporaryOf(e->d_name, base)) leftovers.push_back(folder + "/" + e->d_name);
    }
    ::closedir(dir);
    for (const auto& f : leftovers) {
        struct stat st {};
        if (::lstat(f.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(f.c_str());
    }
}

std::optional<VolumeSpace> NativeFileSystem::volumeSpace(const std::string& folder) {
    struct statvfs v {};
    const std::string native = paths_.native(folder);
    if (folder.empty() || ::statvfs(native.c_str(), &v) != 0) return std::nullopt;
    // NFS, and SMB in its three kinds of mount.
    static constexpr long kNetworkKinds[] = {0x6969, 0x517B, static_cast<long>(0xFF534D42),
                                             static_cast<long>(0xFE534D42)};
    struct statfs kind {};
    const bool remote = ::statfs(native.c_str(), &kind) == 0 &&
                        std::find(std::begin(kNetworkKinds), std::end(kNetworkKinds),
                                  static_cast<long>(kind.f_type)) != std::end(kNetworkKinds);
    // f_bavail: what a user without root's reserve may still write.
    return VolumeSpace{static_cast<std::uint64_t>(v.f_bavail) * v.f_frsize,
                       static_cast<std::uint64_t>(v.f_blocks) * v.f_frsize, remote};
}

WriteResult NativeFileSystem::removeFile(const std::string& path) {
    const std::string native = paths_.native(path);
    struct stat st {};
    if (path.empty() || ::lstat(native.c_str(), &st) != 0) return {std::strerror(errno ? errno : ENOENT)};
    if (S_ISDIR(st.st_mode)) return {"bir klasör"};
    if (::unlink(native.c_str()) != 0) return {std::strerror(errno)};
    return {};
}

WriteResult NativeFileSystem::renameFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) return {"boş yol"};
    const std::string a = paths_.native(from), b = paths_.native(to);
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS) return {std::strerror(errno)};
    // A file system without RENAME_NOREPLACE: a hard link is made only where no name is.
    if (::link(a.c_str(), b.c_str()) != 0) return {std::strerror(errno)};
    ::unlink(a.c_str());
    return {};
}

}  // namespace zel
