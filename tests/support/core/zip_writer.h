#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/file_system.h"

namespace zel::test {

// A small zip writer, for archives the tests build and then damage on purpose.
struct ZipEntry {
    std::string name;  // a name ending in "/" is a folder
    std::string data;
    bool deflate = true;
    // Given, the central entry names this offset through a Zip64 field instead of its real one.
    std::optional<std::uint64_t> zip64Offset = {};
    // Given, the deflated entry holds these bytes instead of data's deflate stream (CRC and size
    // still data's).
    std::optional<std::string> stream = {};
};
std::string zipArchive(const std::vector<ZipEntry>& entries);

// data as one raw deflate stream, by zlib with these settings.
std::string rawDeflate(const std::string& data, int level = 6, int strategy = 0);

// `bytes` of text rows with runs of random bytes between them: matches, literals and runs that
// only store well.
std::string mixedBytes(std::size_t bytes);

// Every regular file under folder, named as zip names them: prefix "/" path ("brevund/a/b.txt").
std::vector<ZipEntry> entriesOf(const std::filesystem::path& folder, const std::string& prefix);

// An archive held in memory.
struct StringReader final : FileReader {
    explicit StringReader(std::string b) : bytes(std::move(b)) {}
    std::uint64_t size() const override { return bytes.size(); }
    std::optional<std::size_t> readAt(std::uint64_t at, char* out, std::size_t n) override {
        const std::size_t got = at >= bytes.size() ? 0 : bytes.copy(out, n, static_cast<std::size_t>(at));
        read += got;
        return got;
    }
    std::string bytes;
    std::uint64_t read = 0;  // bytes handed out, all reads together
};

}  // namespace zel::test
