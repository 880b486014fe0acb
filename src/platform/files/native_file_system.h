#pragma once

#include "platform/files/file_system.h"
#include "platform/files/path_map.h"

namespace zel {

class NativeFileSystem : public FileSystem {
public:
    // `privateFiles`: what this program writes is for it and the administrators alone (the
    // service); on Linux the umask says so, on Windows the access lists it gives.
    explicit NativeFileSystem(PathMap paths, bool privateFiles = false)
        : paths_(std::move(paths)), privateFiles_(privateFiles) {}

    bool createFolder(const std::string& path) override;
    bool folderExists(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    bool attributesReadable(const std::string& path) override;
    std::string foreignness(const std::string& path) override;
    std::optional<FolderIdentity> folderIdentity(const std::string& path) override;
    std::optional<std::string> privateWorkFolder(const std::string& folder, std::string& failure) override;
    void removeEmptyFolder(const std::string& path) override;
    std::optional<std::uint64_t> fileSize(const std::string& path) override;
    bool appendRotating(const std::string& path, const std::string& bytes, std::uint64_t limit) override;
    std::optional<std::string> readCreatingIfMissing(const std::string& path) override;
    WriteResult replaceContent(const std::string& path, const std::string& bytes, bool ownerOnly = false) override;
    WriteResult publishFile(const std::string& path, const std::string& bytes) override;
    void removeReplaceLeftovers(const std::string& path) override;
    std::optional<VolumeSpace> volumeSpace(const std::string& folder) override;
    WriteResult removeFile(const std::string& path) override;
    WriteResult renameFile(const std::string& from, const std::string& to) override;
    std::optional<std::vector<FolderItem>> listFolder(const std::string& path) override;
    std::unique_ptr<FileReader> openForReading(const std::string& path) override;
    std::unique_ptr<FileWriter> createNewFile(const std::string& path, std::string& failure) override;
    std::optional<FileStamp> fileStamp(const std::string& path) override;
#ifndef _WIN32
    std::vector<std::optional<FileStamp>> fileStamps(const std::vector<std::string>& paths) override;
#endif

private:
#ifndef _WIN32
    // From this many files on, fileStamps looks at them on two threads.
    static constexpr std::size_t kStampsSplitAt = 1000;
    void stampRange(const std::vector<std::string>& paths, std::size_t from, std::size_t to,
                    std::vector<std::optional<FileStamp>>& stamps) const;
#endif
    PathMap paths_;
    bool privateFiles_;
};

}  // namespace zel
