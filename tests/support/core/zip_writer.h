#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace zel::test {

// A small zip writer for archives the tests build and then damage on purpose.
struct ZipEntry {
    std::string name;  // a name ending in "/" is a folder
    std::string data;
    bool deflate = true;
};
std::string zipArchive(const std::vector<ZipEntry>& entries);

// Every regular file under folder, named as zip names them: prefix "/" path ("brevund/a/b.txt").
std::vector<ZipEntry> entriesOf(const std::filesystem::path& folder, const std::string& prefix);

// An archive held in memory.
class StringReader final : public FileReader {
public:
    explicit StringReader(std::string bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::optional<std::size_t> readAt(std::uint64_t offset, char* buffer, std::size_t n) override {
        if (offset >= bytes_.size()) return 0;
        return bytes_.copy(buffer, n, static_cast<std::size_t>(offset));
    }

private:
    std::string bytes_;
};

}  // namespace zel::test
