#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/files/native_file_system.h"
#include "platform/processes/process.h"
#include "platform/security/program_trust.h"
#include "qt/event_wait_ops.h"
#include "qt/qt_front_end.h"
#include "support/core/drive_fixture.h"
#include "support/core/fake_clock.h"
#include "support/core/temp_dir.h"
#include "support/core/window_fixture.h"
#include "support/qt/fake_tray.h"
#include "window/frmMain.h"

namespace zel::test {

// The Qt window over frmMain on temporary drives (drives/c is a folder of the test), a set clock
// and real processes.
class QtWindowTest : public ::testing::Test {
protected:
    QtWindowTest()
        : paths((tmp / "drives").string()),
          files(paths),
          processes(makeNativeProcessOps(paths)),
          windowProcesses(*processes) {
        std::filesystem::create_directories(tmp / "drives" / "c");
    }
    ~QtWindowTest() override {
        if (view_) view_->detach();
    }

    // The Qt front end, with its frmMain attached.
    QtFrontEnd& window() {
        if (!view_) {
            view_ = std::make_unique<QtFrontEnd>(tray, [this] { ++programEnds; });
            form_ = std::make_unique<frmMain>(
                FrmMainServices{{files, clock, windowProcesses, *processes, LocaleFormats::turkish(), "c:",
                                 connections, [] { return std::string("TESTPC"); }, {}, {}, nullptr, mail,
                                 PasswordScope::User, {}, false, {},
                                 [](const std::string& program) { return untrustedWriters(program); }},
                                instance},
                *view_);
            view_->attach(*form_);
        }
        return *view_;
    }
    frmMain& form() {
        window();
        return *form_;
    }
    std::filesystem::path settingsFile() const { return drive('c') / "TarvelYedek.ini"; }
    std::filesystem::path extraFile() const { return drive('c') / "TarvelYedekEk.ini"; }
    void installZip() { putZip(drive('c')); }
    // A zip stand-in on drive c running the given shell lines.
    void installZipStandIn(const std::string& shellBody) { putZipStandIn(drive('c'), shellBody); }
    std::filesystem::path drive(char letter) const { return tmp / "drives" / std::string(1, letter); }

    TempDir tmp;
    PathMap paths;
    NativeFileSystem files;
    FakeClock clock;
    std::unique_ptr<ProcessOps> processes;
    EventWaitProcessOps windowProcesses;
    FakeTray tray;
    FakeInstance instance;
    int programEnds = 0;
    // What sends the window's mail; set before the first call of window().
    MailTransport* mail = nullptr;
    // The database the window reaches; set before the first call of window().
    ConnectionFactory connections = [] { return std::make_unique<NoDatabase>(); };

private:
    // The front end outlives frmMain: the form goes first, as in the program.
    std::unique_ptr<QtFrontEnd> view_;
    std::unique_ptr<frmMain> form_;
};

}  // namespace zel::test
