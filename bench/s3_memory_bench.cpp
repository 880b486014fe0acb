// Prints the service's resident memory while it sends an archive of several 64 MB parts to an
// S3-compatible store (moto_server on loopback, as the tests start it), with the time the copy
// took. Target: the service stays under 32 MB throughout.
// Usage: s3_memory_bench [archive MB=300]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "engine/backup_rules.h"
#include "platform/system/clock.h"
#include "service_process.h"

namespace {

namespace fs = std::filesystem;

std::string said(const fs::path& file) {
    std::string s = bench::readAll(file);
    while (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 300;
    bench::ServiceProcess service(
        "zel-s3-bench",
        "c:\\a\r\nc:\\b\r\n\r\n\r\n\r\n\r\n\r\n\r\n0\r\n05:00:00\r\n0\r\n17:00:00\r\n0\r\n12:"
        "00:00\r\n");
    const fs::path moto = service.folder() / "moto";
    // Stopped however the benchmark ends.
    const std::unique_ptr<const fs::path, void (*)(const fs::path*)> motoStopped(
        &moto, [](const fs::path* dir) {
            std::system(("bash '" ZEL_MOTO_SCRIPT "' stop '" + dir->string() + "'").c_str());
        });
    if (std::system(("bash '" ZEL_MOTO_SCRIPT "' start '" + moto.string() + "'").c_str()) != 0) {
        std::fprintf(stderr, "moto_server did not start\n");
        return 1;
    }

    // An archive of the program's name in the target, random bytes stored by zip as they are.
    const fs::path source = service.folder() / "drives" / "c" / "a";
    const fs::path target = service.folder() / "drives" / "c" / "b";
    fs::create_directories(source);
    fs::create_directories(target);
    {
        std::mt19937_64 random(7);
        std::string block(1 << 20, '\0');
        std::ofstream out(source / "veri.db", std::ios::binary);
        for (int i = 0; i < megabytes; ++i) {
            for (std::size_t k = 0; k + 8 <= block.size(); k += 8) {
                const std::uint64_t v = random();
                std::memcpy(&block[k], &v, 8);
            }
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }
    const std::time_t t = std::time(nullptr) - 120;
    std::tm local{};
    localtime_r(&t, &local);
    const std::string name = zel::archiveName("c:\\b", {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                                        local.tm_hour, local.tm_min, local.tm_sec});
    const std::string zip =
        "cd '" + service.folder().string() + "/drives/c' && zip -q -0 -r 'b/" + name + "' a";
    if (std::system(zip.c_str()) != 0) {
        std::fprintf(stderr, "zip failed\n");
        return 1;
    }
    // As the service's own archives are: the service takes a file others may read for someone else's.
    fs::permissions(target / name, fs::perms::owner_read | fs::perms::owner_write);
    fs::remove_all(source);
    fs::create_directories(source);
    bench::writeText(service.folder() / "TarvelYedekEk.ini",
                     "UzakTur=s3\r\nUzakAdres=http://127.0.0.1:" + said(moto / "port") +
                         "\r\nUzakBolge=us-east-1\r\nUzakKova=yedek\r\nUzakKullanici=" + said(moto / "key") +
                         "\r\nUzakParola=" + said(moto / "secret") + "\r\n");

    const auto started = std::chrono::steady_clock::now();
    if (!service.start()) {
        std::fprintf(stderr, "the service did not start\n");
        return 1;
    }
    const fs::path log = service.folder() / "TarvelYedek.log";
    long peak = 0;
    bool copied = false;
    while (std::chrono::steady_clock::now() - started < std::chrono::minutes(10)) {
        peak = std::max(peak, service.statusKb("VmRSS"));
        const std::string text = bench::readAll(log);
        if (text.find("Uzak kopya alınamadı") != std::string::npos) break;
        if ((copied = text.find("Uzak kopya: ") != std::string::npos)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    peak = std::max(peak, service.statusKb("VmHWM"));
    service.stop();
    if (!copied) {
        std::fprintf(stderr, "the copy did not arrive:\n%s\n", bench::readAll(log).c_str());
        return 1;
    }
    std::printf("S3 copy of a %d MB archive in 64 MB parts: %.1f s\n", megabytes, seconds);
    std::printf("service's resident memory at its peak during the copy: %.1f MB (target < 32 MB)\n",
                static_cast<double>(peak) / 1024.0);
    return 0;
}
