#include "support/core/zip_writer.h"

#include <zlib.h>

#include "support/core/temp_dir.h"

namespace zel::test {
namespace {

void put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::string rawDeflate(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
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

}  // namespace

std::string zipArchive(const std::vector<ZipEntry>& entries) {
    std::string body, directory;
    for (const ZipEntry& e : entries) {
        const bool deflated = e.deflate && !e.data.empty();
        const std::string packed = deflated ? rawDeflate(e.data) : e.data;
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
        const auto offset = static_cast<std::uint32_t>(body.size());
        auto common = [&](std::string& out) {
            put16(out, 20);  // version needed
            put16(out, 0);   // flags
            put16(out, deflated ? 8 : 0);
            put16(out, 0);     // time
            put16(out, 0x21);  // date: 1 January 1980
            put32(out, crc);
            put32(out, static_cast<std::uint32_t>(packed.size()));
            put32(out, static_cast<std::uint32_t>(e.data.size()));
            put16(out, static_cast<unsigned>(e.name.size()));
            put16(out, 0);  // extra length
        };
        put32(body, 0x04034b50);
        common(body);
        body += e.name + packed;
        put32(directory, 0x02014b50);
        put16(directory, 0x031E);  // made by Unix, 3.0
        common(directory);
        put16(directory, 0);  // comment
        put16(directory, 0);  // disk
        put16(directory, 0);  // internal attributes
        put32(directory, 0);  // external attributes
        put32(directory, offset);
        directory += e.name;
    }
    std::string out = body + directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<unsigned>(entries.size()));
    put16(out, static_cast<unsigned>(entries.size()));
    put32(out, static_cast<std::uint32_t>(directory.size()));
    put32(out, static_cast<std::uint32_t>(body.size()));
    put16(out, 0);
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
