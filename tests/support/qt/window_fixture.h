#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/native_file_system.h"
#include "platform/process.h"
#include "support/core/drive_fixture.h"
#include "support/core/fake_clock.h"
#include "support/core/temp_dir.h"
#include "support/qt/fake_tray.h"
#include "qt/frmMain.h"

namespace zel::test {

// A data source that is not there: every opening fails at once.
struct NoDatabase final : DatabaseConnection {
    void open(const std::string&) override { throw DatabaseError("data source not found", "IM002"); }
    int state() const override { return 0; }
    QueryResult execute(const std::string&) override { throw DatabaseError("closed", "08003"); }
};

// The only copy, unless a test says another one runs; counts the requests to show it.
struct FakeInstance final : SingleInstance {
    bool anotherRuns = false;
    int asked = 0;
    std::function<void()> onShow;
    bool claim(std::function<void()> onShowRequest) override {
        if (anotherRuns) return false;
        onShow = std::move(onShowRequest);
        return true;
    }
    void askRunningCopyToShow() override { ++asked; }
};

// A window on temporary drives (drives/c is a folder of the test), a set clock and real processes.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() : paths((tmp / "drives").string()), files(paths), processes(makeNativeProcessOps(paths)) {
        std::filesystem::create_directories(tmp / "drives" / "c");
    }

    frmMain& window() {
        if (!window_) {
            window_ = std::make_unique<frmMain>(FrmMainServices{
                files, clock, *processes, LocaleFormats::turkish(), programFolder(), tray,
                [this] { ++programEnds; }, connections, [] { return std::string("TESTPC"); }, instance});
        }
        return *window_;
    }
    // The program's folder: drive c's root, so the settings file is drives/c/TarvelYedek.ini.
    static std::string programFolder() { return "c:"; }
    std::filesystem::path settingsFile() const { return drive('c') / "TarvelYedek.ini"; }
    void installZip() { putZip(drive('c')); }
    // A zip stand-in on drive c running the given shell lines.
    void installZipStandIn(const std::string& shellBody) { putZipStandIn(drive('c'), shellBody); }
    std::filesystem::path drive(char letter) const { return tmp / "drives" / std::string(1, letter); }

    TempDir tmp;
    PathMap paths;
    NativeFileSystem files;
    FakeClock clock;
    std::unique_ptr<ProcessOps> processes;
    FakeTray tray;
    FakeInstance instance;
    int programEnds = 0;
    // The database the window reaches; set before the first call of window().
    ConnectionFactory connections = [] { return std::make_unique<NoDatabase>(); };

private:
    std::unique_ptr<frmMain> window_;
};

}  // namespace zel::test
