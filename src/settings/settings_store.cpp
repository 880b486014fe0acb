#include "settings/settings_store.h"

namespace zel {

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
    const std::optional<std::string> bytes = encode_(settingsText(controls.current()));
    if (!bytes) return {false, "metin kod sayfasına çevrilemiyor"};
    WriteResult written = files_.replaceContent(path_, *bytes);
    if (!written) return {false, std::move(written.failure)};
    return {true, {}};
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
