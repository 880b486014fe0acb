#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "engine/source_listing.h"
#include "platform/files/native_file_system.h"
#include "platform/processes/command_words.h"
#include "platform/processes/process.h"
#include "support/core/drive_fixture.h"
#include "support/core/fake_clock.h"
#include "support/core/fake_front_end.h"
#include "support/core/fake_mail.h"
#include "support/core/recording_system_log.h"
#include "support/core/zip_writer.h"
#include "window/frmMain.h"

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

// A zip program that takes `slices` wait slices (each one lets `onSlice` happen, as events do
// during a real wait), writes the archive its command line names, holding the source folder's
// files, when that folder exists, and ends with `code`. Keeps every command line.
class ScriptedZip final : public ProcessOps {
public:
    explicit ScriptedZip(PathMap paths) : paths_(std::move(paths)) {}
    int slices = 0;
    int code = 0;
    std::function<void()> onSlice;
    std::vector<std::string> lines;

    std::uint32_t start(const std::string& line, int) override {
        lines.push_back(line);
        const std::vector<std::string> words = splitCommandWords(line);
        if (words.size() == 4) {
            const std::filesystem::path archive = paths_.native(words[1]);
            if (std::filesystem::is_directory(archive.parent_path()))
                writeFile(archive, zipArchive(entriesOf(paths_.native(words[3]),
                                                        zipEntryPrefix(words[3], nativeZipNaming()))));
        }
        left_ = slices;
        return 42;
    }
    std::optional<ProcessHandle> open(std::uint32_t) override { return 7; }
    int wait(ProcessHandle, int) override {
        if (left_ == 0) return kWaitEnded;
        --left_;
        if (onSlice) onSlice();
        return kWaitTimeout;
    }
    std::optional<int> exitCode(ProcessHandle) override { return code; }
    void close(ProcessHandle) override {}
    // Ended: its next wait is its last.
    bool kill(ProcessHandle) override {
        left_ = 0;
        code = 137;
        return true;
    }

private:
    PathMap paths_;
    int left_ = 0;
};

// frmMain on temporary drives, with a fake screen, a set clock, a scripted zip and no database.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() {
        std::filesystem::create_directories(drives.drive('c'));
        for (int i = 0; i < 4; ++i) {
            view.setSourceText(i, drives.text('c', "brevund"));
            view.setTargetText(i, drives.text('c', "tarvel-yedek"));
        }
    }

    frmMain& form() {
        if (!form_) {
            form_ = std::make_unique<frmMain>(
                FrmMainServices{{files, clock, zip, zip, LocaleFormats::turkish(), programFolder(), connections,
                                 [] { return std::string("TESTPC"); }, {}, {}, &systemLog, &mail},
                                instance},
                view);
            view.attach(*form_);
        }
        return *form_;
    }
    // Drive c's root, so the settings file is drives/c/TarvelYedek.ini.
    std::string programFolder() const {
        std::string folder = drives.text('c');
        if (!folder.empty() && folder.back() == '\\') folder.pop_back();
        return folder;
    }
    std::filesystem::path settingsFile() const { return drives.drive('c') / "TarvelYedek.ini"; }
    std::filesystem::path extraFile() const { return drives.drive('c') / "TarvelYedekEk.ini"; }
    std::filesystem::path logFile() const { return drives.drive('c') / "TarvelYedek.log"; }
    // A source folder with a file in it, on drive c.
    std::string sourceWithAFile() const {
        writeFile(drives.drive('c') / "brevund" / "belgeler" / "veri.txt", "veri");
        return drives.text('c', "brevund\\belgeler");
    }

    TempDrives drives;
    PathMap paths{drives.root().string()};
    NativeFileSystem files{paths};
    FakeClock clock;
    ScriptedZip zip{paths};
    FakeFrontEnd view;
    FakeInstance instance;
    RecordingSystemLog systemLog;
    FakeMail mail;  // mails nothing until the settings turn mail on
    // The database the window reaches; set before the first call of form().
    ConnectionFactory connections = [] { return std::make_unique<NoDatabase>(); };

private:
    std::unique_ptr<frmMain> form_;
};

}  // namespace zel::test
