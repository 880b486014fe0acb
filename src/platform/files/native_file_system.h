#pragma once

#include "platform/files/file_system.h"
#include "platform/files/path_map.h"

namespace zel {

class NativeFileSystem : public FileSystem {
public:
    explicit NativeFileSystem(PathMap paths) : paths_(std::move(paths)) {}

    bool createFolder(const std::string& path) override;
    bool folderExists(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    bool attributesReadable(const std::string& path) override;
    std::string foreignness(const std::string& path) override;
    std::optional<FolderIdentity> folderIdentity(const std::string& path) override;
    std::optional<std::uint64_t> fileSize(const std::string& path) override;
    bool appendRotating(const std::string& path, const std::string& bytes, std::uint64_t limit) override;
    std::optional<std::string> readCreatingIfMissing(const std::string& path) override;
    WriteResult replaceContent(const std::string& path, const std::string& bytes, bool ownerOnly = false) override;
    void removeReplaceLeftovers(const std::string& path) override;
    std::optional<VolumeSpace> volumeSpace(const std::string& folder) override;
    WriteResult removeFile(const std::string& path) override;
    WriteResult renameFile(const std::string& from, const std::string& to) override;
    std::optional<std::vector<FolderItem>> listFolder(const std::string& path) override;
    std::unique_ptr<FileReader> openForReading(const std::string& path) override;

private:
    PathMap paths_;
};

}  // namespace zel
