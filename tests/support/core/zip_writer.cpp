#include "support/core/zip_writer.h"

#include <zlib.h>

#include "support/core/temp_dir.h"

namespace zel::test {
namespace {

using Fields = std::vector<std::pair<std::uint32_t, int>>;  // value, width in bytes

void put(std::string& out, const Fields& fields) {
    for (auto [value, width] : fields) {
        for (int i = 0; i < width; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace

std::string rawDeflate(const std::string& data, int level, int strategy) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, strategy);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string mixedBytes(std::size_t bytes) {
    std::string out;
    std::uint32_t seed = 99;
    while (out.size() < bytes) {
        seed = seed * 1664525u + 1013904223u;
        if (seed % 5 == 0) {
            for (int i = 0; i < 300; ++i) out += static_cast<char>((seed = seed * 69069u + 1) >> 24);
        } else {
            out += "satır " + std::to_string(seed % 1000) + " tutar " + std::to_string(seed % 77) + "\n";
        }
    }
    out.resize(bytes);
    return out;
}

std::string zipArchive(const std::vector<ZipEntry>& entries) {
    auto n32 = [](std::size_t n) { return static_cast<std::uint32_t>(n); };
    std::string body, directory;
    for (const ZipEntry& e : entries) {
        const bool deflated = e.stream || (e.deflate && !e.data.empty());
        const std::string packed = e.stream ? *e.stream : deflated ? rawDeflate(e.data) : e.data;
        const auto crc = n32(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), n32(e.data.size())));
        // Version 2.0, no flags, the method, 1 January 1980, CRC, sizes, name length, no extra.
        std::string common;
        put(common, {{20, 2}, {0, 2}, {deflated ? 8u : 0u, 2}, {0, 2}, {0x21, 2}, {crc, 4}});
        put(common, {{n32(packed.size()), 4}, {n32(e.data.size()), 4}, {n32(e.name.size()), 2}, {0, 2}});
        put(directory, {{0x02014b50, 4}, {0x031E, 2}});  // made on Unix by 3.0
        directory += common;
        if (e.zip64Offset) directory[directory.size() - 2] = 12;  // the extra field's length
        put(directory, {{0, 2}, {0, 2}, {0, 2}, {0, 4}});
        put(directory, {{e.zip64Offset ? 0xFFFFFFFFu : n32(body.size()), 4}});
        directory += e.name;
        if (e.zip64Offset) {
            put(directory, {{0x0001, 2}, {8, 2}});
            put(directory, {{n32(*e.zip64Offset & 0xFFFFFFFFu), 4}, {n32(*e.zip64Offset >> 32), 4}});
        }
        put(body, {{0x04034b50, 4}});
        body += common + e.name + packed;
    }
    const std::uint32_t count = n32(entries.size());
    std::string out = body + directory;
    put(out, {{0x06054b50, 4}, {0, 2}, {0, 2}, {count, 2}, {count, 2}});
    put(out, {{n32(directory.size()), 4}, {n32(body.size()), 4}, {0, 2}});
    return out;
}

std::vector<ZipEntry> entriesOf(const std::filesystem::path& folder, const std::string& prefix) {
    std::vector<ZipEntry> entries;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
        if (!item.is_regular_file()) continue;
        const std::string rel = std::filesystem::relative(item.path(), folder).generic_string();
        entries.push_back({prefix.empty() ? rel : prefix + "/" + rel, readFile(item.path()), true});
    }
    return entries;
}

}  // namespace zel::test
