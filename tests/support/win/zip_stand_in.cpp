// The Windows tests' zip program: "zip.exe <archive> -r <folder>" writes the folder and all its
// subfolders into a new archive, stored without compression, each entry named from the folder's
// drive root as Info-ZIP names them ("brevund/belgeler/veri.txt"). Exit code 0 when written,
// 15 when the archive cannot be made, 16 for another command line.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::uint32_t crc32(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

struct Entry {
    std::string name;  // UTF-8, "/" between parts; folders end in "/"
    std::string data;
    std::uint32_t offset = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4 || std::wstring(argv[2]) != L"-r") return 16;
    const fs::path archive = argv[1];
    const fs::path source = argv[3];
    const fs::path root = source.root_path();

    std::vector<Entry> entries;
    auto add = [&](const fs::path& p, bool folder) {
        Entry e;
        const std::u8string name = fs::relative(p, root).generic_u8string();
        e.name.assign(reinterpret_cast<const char*>(name.data()), name.size());
        if (folder) e.name += "/";
        if (!folder) {
            std::ifstream in(p, std::ios::binary);
            e.data.assign(std::istreambuf_iterator<char>(in), {});
        }
        entries.push_back(std::move(e));
    };
    std::error_code ec;
    add(source, true);
    for (auto it = fs::recursive_directory_iterator(source, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        add(it->path(), it->is_directory());

    std::string out, central;
    for (Entry& e : entries) {
        e.offset = static_cast<std::uint32_t>(out.size());
        const std::uint32_t crc = crc32(e.data);
        const auto size = static_cast<std::uint32_t>(e.data.size());
        put32(out, 0x04034b50);
        put16(out, 20), put16(out, 0x0800), put16(out, 0), put16(out, 0), put16(out, 0x21);
        put32(out, crc), put32(out, size), put32(out, size);
        put16(out, static_cast<unsigned>(e.name.size())), put16(out, 0);
        out += e.name + e.data;

        put32(central, 0x02014b50);
        put16(central, 20), put16(central, 20), put16(central, 0x0800), put16(central, 0);
        put16(central, 0), put16(central, 0x21);
        put32(central, crc), put32(central, size), put32(central, size);
        put16(central, static_cast<unsigned>(e.name.size())), put16(central, 0), put16(central, 0);
        put16(central, 0), put16(central, 0);
        put32(central, e.name.back() == '/' ? 0x10 : 0x20);
        put32(central, e.offset);
        central += e.name;
    }
    const auto centralAt = static_cast<std::uint32_t>(out.size());
    out += central;
    put32(out, 0x06054b50);
    put16(out, 0), put16(out, 0);
    put16(out, static_cast<unsigned>(entries.size())), put16(out, static_cast<unsigned>(entries.size()));
    put32(out, static_cast<std::uint32_t>(central.size())), put32(out, centralAt);
    put16(out, 0);

    std::ofstream file(archive, std::ios::binary);
    if (!file) return 15;
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    return file ? 0 : 14;
}
