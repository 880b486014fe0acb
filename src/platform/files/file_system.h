#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zel {

// One name in a folder, as a listing gives it (symbolic links followed).
struct FolderItem {
    enum class Kind { File, Folder, Other };  // Other: a device, a pipe, a link to nowhere
    std::string name;                         // UTF-8, without the folder
    Kind kind = Kind::Other;
    bool hiddenOrSystem = false;  // Windows' hidden or system attribute; never set elsewhere
};

// Which folder a path reaches, whatever links lead there: the same device and inode is the same folder.
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FolderIdentity&) const = default;
};

// A file opened for reading at any offset.
class FileReader {
public:
    virtual ~FileReader() = default;
    virtual std::uint64_t size() const = 0;
    // The size now, of a file another program is still writing; size() stays the size at opening.
    virtual std::uint64_t sizeNow() { return size(); }
    // Reads up to n bytes at offset; the count read, short only at the end; nothing on an error.
    virtual std::optional<std::size_t> readAt(std::uint64_t offset, char* buffer, std::size_t n) = 0;
};

// A write's outcome: done, or why not (the system's own words where it gave any).
struct WriteResult {
    std::string failure;  // empty when the write was done
    explicit operator bool() const { return failure.empty(); }
};

// A new file being written from its first byte on.
class FileWriter {
public:
    virtual ~FileWriter() = default;
    // Appends; false when the system refused (the reason comes with finish).
    virtual bool write(const char* data, std::size_t n) = 0;
    // Flushes the file to the disk and closes it; what it read back next comes from the disk, not
    // from the system's cache, where the system lets it say so.
    virtual WriteResult finish() = 0;
};

// When a file was last written, and how big it was then.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds since 1970 (Windows: its 100 ns steps since 1601)
    std::int64_t changed = 0;   // Linux: the inode's change time, as modified; Windows: 0
    bool operator==(const FileStamp&) const = default;
};

// The space of the volume a folder is on: what this user may still write there, and its size.
struct VolumeSpace {
    std::uint64_t free = 0;
    std::uint64_t total = 0;
    bool remote = false;  // a network share: every read crosses the network
};

// The file operations the program needs. Paths are the program's own folder texts; an
// implementation maps them to native paths. Every operation reports failure instead of throwing.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Creates only the last component; fails when it exists, its parent is missing or the text is empty.
    virtual bool createFolder(const std::string& path) = 0;
    // False for an empty or malformed path.
    virtual bool folderExists(const std::string& path) = 0;
    // Replaces an existing target and keeps the source's permission bits.
    virtual bool copyFile(const std::string& from, const std::string& to) = 0;
    // True when the attributes of a file or folder can be read.
    virtual bool attributesReadable(const std::string& path) = 0;
    // Size in bytes of a file; nothing when it cannot be read.
    virtual std::optional<std::uint64_t> fileSize(const std::string& path) = 0;
    // Appends to a file, creating it. When the file has reached `limit` bytes, it first becomes
    // path + ".1" (replacing an older one) and a new file begins.
    virtual bool appendRotating(const std::string& path, const std::string& bytes, std::uint64_t limit) = 0;
    // Whole content of a file; a missing file is created empty. Nothing when it cannot be opened or created.
    virtual std::optional<std::string> readCreatingIfMissing(const std::string& path) = 0;
    // Writes to a temporary file beside the target and renames it over the target, durably. A
    // target that is a symbolic link stays one: its target is replaced. A read-only target is
    // not replaced. `ownerOnly`: nobody but the file's owner may read the new file (Windows: nobody
    // but SYSTEM, the Administrators and the user this process runs as).
    virtual WriteResult replaceContent(const std::string& path, const std::string& bytes, bool ownerOnly = false) = 0;
    // Writes a file that other users' programs read (a monitoring collector) the same way: the
    // temporary file gets a random name in the folder, and the new file may be read by everyone.
    // Whatever stands at `path` is replaced; a link there is never followed.
    virtual WriteResult publishFile(const std::string& path, const std::string& bytes) {
        return replaceContent(path, bytes);
    }
    // The items of a folder; nothing when it cannot be listed.
    virtual std::optional<std::vector<FolderItem>> listFolder(const std::string& path) = 0;
    // Opens a file for reading; nullptr when it cannot be opened.
    virtual std::unique_ptr<FileReader> openForReading(const std::string& path) = 0;
    // A file made new for writing: never one that was there, nor through a link planted at the
    // name; nullptr, with why, when it cannot be made.
    virtual std::unique_ptr<FileWriter> createNewFile(const std::string& /*path*/, std::string& failure) {
        failure = "desteklenmiyor";
        return nullptr;
    }
    // The size and modification time of a file; nothing when they cannot be read.
    virtual std::optional<FileStamp> fileStamp(const std::string& /*path*/) { return std::nullopt; }
    // The same for many files, in their order; quicker where files of one folder come together.
    virtual std::vector<std::optional<FileStamp>> fileStamps(const std::vector<std::string>& paths) {
        std::vector<std::optional<FileStamp>> stamps;
        stamps.reserve(paths.size());
        for (const std::string& path : paths) stamps.push_back(fileStamp(path));
        return stamps;
    }
    // Free and total space of the volume that holds the folder; nothing when it cannot be read.
    virtual std::optional<VolumeSpace> volumeSpace(const std::string& folder) = 0;
    // Deletes one file (never a folder).
    virtual WriteResult removeFile(const std::string& path) = 0;
    // Gives a file a new name in its folder; fails when that name is taken, which is never replaced.
    virtual WriteResult renameFile(const std::string& from, const std::string& to) = 0;
    // Removes the temporary files that a replaceContent of this path, interrupted by a crash or
    // a power cut, left beside it.
    virtual void removeReplaceLeftovers(const std::string& path) = 0;
    // Why what stands at `path` (a link is not followed) is not a file this program could have
    // written: not a regular file, another user's, or readable by more users than the program lets
    // read its own files. Empty for such a file, and for nothing at all. In a folder that others
    // may write, only such files are this program's to update, count or delete.
    virtual std::string foreignness(const std::string& /*path*/) { return {}; }
    // A new folder inside `folder`, this program's alone, for zip's work file: what zip makes there
    // and renames into `folder` is readable by nobody else from its first byte, whatever `folder`
    // passes down. Nothing where that needs no folder (the umask sees to it, or this program's
    // files are not private); nothing with `failure` set where one was needed and not made.
    virtual std::optional<std::string> privateWorkFolder(const std::string& /*folder*/, std::string& /*failure*/) {
        return std::nullopt;
    }
    // Removes a folder that is empty; a folder with anything in it stays.
    virtual void removeEmptyFolder(const std::string& /*path*/) {}
    // The folder a path reaches, links followed; nothing where the system does not tell.
    virtual std::optional<FolderIdentity> folderIdentity(const std::string& /*path*/) { return std::nullopt; }
};

}  // namespace zel
