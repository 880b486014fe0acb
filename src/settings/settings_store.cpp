#include "settings/settings_store.h"

namespace zel {
namespace {

// A whole file's text in the code page, put in place of the old file.
SaveResult replaceWith(FileSystem& files, const std::string& path, const CodePageEncoder& encode,
                       std::string_view text, bool ownerOnly = false) {
    const std::optional<std::string> bytes = encode(text);
    if (!bytes) return {false, "metin kod sayfasına çevrilemiyor"};
    WriteResult written = files.replaceContent(path, *bytes, ownerOnly);
    if (!written) return {false, std::move(written.failure)};
    return {true, {}};
}

// The whole content of a file that is there; nothing when it is missing or cannot be read.
std::optional<std::string> readExisting(FileSystem& files, const std::string& path) {
    const std::unique_ptr<FileReader> reader = files.openForReading(path);
    if (!reader) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(reader->size()), '\0');
    const std::optional<std::size_t> read = reader->readAt(0, bytes.data(), bytes.size());
    if (!read || *read != bytes.size()) return std::nullopt;
    return bytes;
}

}  // namespace

void SettingsStore::load(SettingsControls& controls) {
    loaded_ = false;
    files_.removeReplaceLeftovers(path_);
    std::vector<std::string> lines;
    if (auto bytes = files_.readCreatingIfMissing(path_)) lines = settingsLines(fromCodePage(*bytes));
    std::size_t next = 0;
    auto readLine = [&]() -> const std::string* { return next < lines.size() ? &lines[next++] : nullptr; };

    for (int pair = 0; pair < 4; ++pair) {
        if (auto* l = readLine()) controls.setSource(pair, *l);
        if (auto* l = readLine()) controls.setTarget(pair, *l);
    }
    for (int slot = 0; slot < 3; ++slot) controls.setTime(slot, kDefaultSlotTimes[slot]);
    for (int slot = 0; slot < 3; ++slot) controls.setSwitch(slot, kDefaultSwitch);
    for (int slot = 0; slot < 3; ++slot) {
        if (auto* l = readLine()) {
            if (auto v = parseSwitchLine(*l)) controls.setSwitch(slot, *v);
        }
        if (auto* l = readLine()) {
            if (auto t = parseTimeLine(*l, locale_)) controls.setTime(slot, *t);
        }
    }
    loaded_ = true;
}

SaveResult SettingsStore::save(const SettingsControls& controls) {
    if (!loaded_) return {};
    return replaceWith(files_, path_, encode_, settingsText(controls.current()));
}

void ExtraSettingsStore::load(ExtraSettingsControls& controls) {
    loaded_ = false;
    files_.removeReplaceLeftovers(path_);
    const std::optional<std::string> bytes = readExisting(files_, path_);
    unreadable_ = !bytes && files_.attributesReadable(path_);
    ExtraSettingsFile file = bytes ? parseExtraSettings(fromCodePage(*bytes)) : ExtraSettingsFile{};
    lines_ = std::move(file.lines);
    controls.setExtraSettings(file.values);
    loaded_ = true;
}

SaveResult ExtraSettingsStore::save(const ExtraSettingsControls& controls) {
    if (!loaded_) return {};
    if (unreadable_) return {false, "dosya okunamadı"};
    const ExtraSettings values = controls.currentExtraSettings();
    // A file that holds the mail password is for its owner's eyes only.
    return replaceWith(files_, path_, encode_, extraSettingsText({values, lines_}), !values.mail.password.empty());
}

std::string saveFailureText(std::string_view path, std::string_view why) {
    return "Ayarlar kaydedilemedi: " + std::string(path) + " (" + std::string(why) + ")";
}

bool SaveFailureNotices::tell(const std::string& why) {
    if (why == told_) return false;
    told_ = why;
    return true;
}

}  // namespace zel
