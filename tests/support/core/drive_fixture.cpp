#include "support/core/drive_fixture.h"

#include <cstdio>
#include <memory>

namespace zel::test {

void TempDrives::installZip(char letter) const {
    auto bat = drive(letter) / "brevund" / "tarvel" / "bat";
    std::filesystem::create_directories(bat);
    std::filesystem::copy_file("/usr/bin/zip", bat / "zip.ex_", std::filesystem::copy_options::overwrite_existing);
}

std::string unzipList(const std::filesystem::path& archive) {
    std::string cmd = "unzip -Z1 '" + archive.string() + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
    if (!pipe) return {};
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe.get())) > 0) out.append(buf, n);
    return out;
}

}  // namespace zel::test
