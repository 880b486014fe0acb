#include "support/core/drive_fixture.h"

#include <cstdio>
#include <memory>

namespace zel::test {

std::string TempDrives::text(char letter, const std::string& rel) const {
#ifdef _WIN32
    std::string base = drive(letter).string();
    std::filesystem::create_directories(drive(letter));
    for (char& c : base)
        if (c == '/') c = '\\';
    return rel.empty() ? base + "\\" : base + "\\" + rel;
#else
    return std::string(1, letter) + ":\\" + rel;
#endif
}

std::filesystem::path zipStoreOn(const std::filesystem::path& driveFolder) {
    return driveFolder / "brevund" / "tarvel" / "bat" / "zip.ex_";
}

void putZip(const std::filesystem::path& driveFolder) {
    std::filesystem::create_directories(zipStoreOn(driveFolder).parent_path());
    std::filesystem::copy_file("/usr/bin/zip", zipStoreOn(driveFolder),
                               std::filesystem::copy_options::overwrite_existing);
}

void putZipStandIn(const std::filesystem::path& driveFolder, const std::string& shellBody) {
    writeFile(zipStoreOn(driveFolder), "#!/bin/sh\n" + shellBody + "\n");
    std::filesystem::permissions(zipStoreOn(driveFolder), std::filesystem::perms::owner_all);
}

void TempDrives::installZip(char letter) const {
    putZip(drive(letter));
}

void TempDrives::installShutdownTool() const {
    auto dir = shutdownToolDir();
    std::filesystem::create_directories(dir);
    writeFile(dir / "proshut.bat",
              "#!/bin/sh\n"
              "here=$(dirname \"$0\")\n"
              "[ -f \"$here/slow\" ] && : >\"$here/started\" && sleep \"$(cat \"$here/slow\")\"\n"
              "echo \"$*\" >> \"$here/calls.log\"\n");
    std::filesystem::permissions(dir / "proshut.bat", std::filesystem::perms::owner_all);
}

std::string TempDrives::shutdownCalls() const {
    auto log = shutdownToolDir() / "calls.log";
    return std::filesystem::exists(log) ? readFile(log) : std::string();
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
