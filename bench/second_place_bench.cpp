// Prints, from one run: the time a folder second place takes to copy a 500 MB archive (written,
// flushed, renamed and read back whole against the local archive's entries) beside a plain copy
// that is flushed and then read once from the disk, and their ratio (target: at most 1.3).
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/files/native_file_system.h"
#include "remote/folder_place.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A plain copy as cp makes it, flushed, then read once with the pages just written dropped.
double plainCopyAndRead(const fs::path& from, const fs::path& to) {
    const auto start = Clock::now();
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    const int fd = ::open(to.c_str(), O_RDONLY);
    ::fsync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    std::vector<char> buffer(1 << 20);
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
    return secondsSince(start);
}

}  // namespace

int main() {
    const fs::path work = fs::temp_directory_path() / ("zel-second-place-bench-" + std::to_string(::getpid()));
    fs::create_directories(work / "kaynak");
    fs::create_directories(work / "uzak");
    {
        // Half random, half repeated bytes: deflate has work to do, as with a database's files.
        std::ofstream data(work / "kaynak" / "veri.db", std::ios::binary);
        std::mt19937_64 random(7);
        std::vector<std::uint64_t> block(1 << 17);
        for (int i = 0; i < 640; ++i) {
            for (std::size_t k = 0; k < block.size(); ++k) block[k] = k % 2 ? random() : 0x2020202020202020ull;
            data.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
        }
    }
    const std::string zip = "cd '" + work.string() + "' && zip -q -r arsiv.zip kaynak";
    if (std::system(zip.c_str()) != 0) {
        std::fprintf(stderr, "zip failed\n");
        return 1;
    }
    const fs::path archive = work / "arsiv.zip";
    std::printf("archive: %.0f MB\n", static_cast<double>(fs::file_size(archive)) / 1e6);

    const double plain = plainCopyAndRead(archive, work / "uzak" / "duz.zip");
    zel::NativeFileSystem files{zel::PathMap{(work / "drives").string()}};
    zel::FolderPlace place(files, (work / "uzak").string(), 0);
    std::unique_ptr<zel::FileReader> local = files.openForReading(archive.string());
    std::atomic<bool> stop{false};
    std::string failure;
    const auto start = Clock::now();
    const bool copied = place.put("hedef", "arsiv.zip", *local, stop, failure).has_value();
    const double second = secondsSince(start);
    std::printf("plain copy, flushed, read once: %.2f s\n", plain);
    std::printf("second place copy, proven:      %.2f s%s\n", second, copied ? "" : (" FAILED: " + failure).c_str());
    std::printf("ratio: %.2f (target at most 1.30)\n", second / plain);
    fs::remove_all(work);
    return copied ? 0 : 1;
}
