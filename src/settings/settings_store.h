#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/file_system.h"
#include "platform/system/locale_formats.h"
#include "settings/code_page.h"
#include "settings/extra_settings.h"
#include "settings/settings_format.h"

namespace zel {

// The window's controls as loading fills them. Each setter may refuse a value; the control then
// keeps what it had.
class SettingsControls {
public:
    virtual ~SettingsControls() = default;
    virtual void setSource(int pair, const std::string& text) = 0;
    virtual void setTarget(int pair, const std::string& text) = 0;
    virtual bool setSwitch(int slot, int value) = 0;  // slot 0..2
    virtual void setTime(int slot, const TimeOfDay& time) = 0;
    virtual Settings current() const = 0;
};

// The file's text in its single-byte code page; nothing when a character cannot be written there.
using CodePageEncoder = std::function<std::optional<std::string>(std::string_view utf8)>;

// A save's outcome: written, not due (loading has not finished), or failed and why.
struct SaveResult {
    bool written = false;
    std::string failure;  // empty unless the save was due and failed
    explicit operator bool() const { return written; }
};

// The run-log line and tray warning of a failed save.
std::string saveFailureText(std::string_view path, std::string_view why);

// Tells each cause of failed saves once: the same cause again stays quiet until a save succeeds.
class SaveFailureNotices {
public:
    // True when this failure is to be told.
    bool tell(const std::string& why);
    void succeeded() { told_.clear(); }

private:
    std::string told_;
};

// Loads and saves the settings file at one path.
class SettingsStore {
public:
    SettingsStore(FileSystem& files, std::string path, LocaleFormats locale,
                  CodePageEncoder encode = toCodePage)
        : files_(files), path_(std::move(path)), locale_(std::move(locale)), encode_(std::move(encode)) {}

    // Fills the controls from the file: folders first, then the default times and switches,
    // then the schedule lines. A line that is missing or does not convert leaves its control
    // as it was. A missing file is created empty; loading never writes into it.
    void load(SettingsControls& controls);

    // Rewrites the whole file from the controls, unless loading has not finished yet.
    // The old file stays whole when the new one cannot be written or the text not converted.
    SaveResult save(const SettingsControls& controls);

    bool loaded() const { return loaded_; }
    const std::string& path() const { return path_; }

private:
    FileSystem& files_;
    std::string path_;
    LocaleFormats locale_;
    CodePageEncoder encode_;
    bool loaded_ = false;
};

// The window's row for the extra settings file: udSakla and chkKacan.
class ExtraSettingsControls {
public:
    virtual ~ExtraSettingsControls() = default;
    virtual void setExtraSettings(const ExtraSettings& values) = 0;
    virtual ExtraSettings currentExtraSettings() const = 0;
};

// Loads and saves the extra settings file at one path, with the first file's code page and line
// ends. The lines it does not own go back into the file as they were read.
class ExtraSettingsStore {
public:
    ExtraSettingsStore(FileSystem& files, std::string path, CodePageEncoder encode = toCodePage)
        : files_(files), path_(std::move(path)), encode_(std::move(encode)) {}

    // Sets the controls from the file; a missing file or key, or a bad value, gives the default.
    // Loading never creates or writes the file.
    void load(ExtraSettingsControls& controls);

    // Rewrites the whole file from the controls, unless loading has not finished yet. The old
    // file stays whole when the new one cannot be written.
    SaveResult save(const ExtraSettingsControls& controls);

    const std::string& path() const { return path_; }

private:
    FileSystem& files_;
    std::string path_;
    CodePageEncoder encode_;
    std::vector<std::string> lines_;  // as read at loading
    bool loaded_ = false;
    bool unreadable_ = false;  // there, but not read: a save would lose its other lines
};

}  // namespace zel
