#pragma once

#include "platform/files/file_system.h"

namespace zel::test {

// A file system on which nothing exists and nothing can be done; fakes override what they show.
struct NoFiles : FileSystem {
    bool createFolder(const std::string&) override { return false; }
    bool folderExists(const std::string&) override { return false; }
    bool copyFile(const std::string&, const std::string&) override { return false; }
    bool attributesReadable(const std::string&) override { return false; }
    std::optional<std::uint64_t> fileSize(const std::string&) override { return std::nullopt; }
    bool appendRotating(const std::string&, const std::string&, std::uint64_t) override { return false; }
    std::optional<std::string> readCreatingIfMissing(const std::string&) override { return std::nullopt; }
    WriteResult replaceContent(const std::string&, const std::string&, bool) override { return {"no writes"}; }
    void removeReplaceLeftovers(const std::string&) override {}
    std::optional<std::vector<FolderItem>> listFolder(const std::string&) override { return std::nullopt; }
    std::unique_ptr<FileReader> openForReading(const std::string&) override { return nullptr; }
    std::optional<VolumeSpace> volumeSpace(const std::string&) override { return std::nullopt; }
    WriteResult removeFile(const std::string&) override { return {"no files"}; }
    WriteResult renameFile(const std::string&, const std::string&) override { return {"no files"}; }
};

}  // namespace zel::test
