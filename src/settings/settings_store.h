#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/locale_formats.h"
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

// Loads and saves the settings file at one path.
class SettingsStore {
public:
    SettingsStore(FileSystem& files, std::string path, LocaleFormats locale)
        : files_(files), path_(std::move(path)), locale_(std::move(locale)) {}

    // Fills the controls from the file: folders first, then the default times and switches,
    // then the schedule lines. A line that is missing or does not convert leaves its control
    // as it was. A missing file is created empty; loading never writes into it.
    void load(SettingsControls& controls);

    // Rewrites the whole file from the controls, unless loading has not finished yet.
    // The old file stays whole when the new one cannot be written.
    bool save(const SettingsControls& controls);

    bool loaded() const { return loaded_; }
    const std::string& path() const { return path_; }

private:
    FileSystem& files_;
    std::string path_;
    LocaleFormats locale_;
    bool loaded_ = false;
};

}  // namespace zel
