#include "service/service_panel.h"

#include <algorithm>
#include <utility>

#include "engine/backup_run.h"
#include "settings/extra_settings.h"

namespace zel {

void ServicePanel::tell(PanelChange::Field field, int index) {
    if (changed_) changed_(readPanel(*this, field, index));
}

void ServicePanel::setSourceText(int pair, const std::string& text) {
    if (std::exchange(sources_[at(pair)], text) != text) tell(PanelChange::Field::Source, pair);
}

void ServicePanel::setTargetText(int pair, const std::string& text) {
    if (std::exchange(targets_[at(pair)], text) != text) tell(PanelChange::Field::Target, pair);
}

bool ServicePanel::setSwitchValue(int slot, int value) {
    if (value < 0 || value > 2) return false;
    if (std::exchange(switches_[at(slot)], value) != value) tell(PanelChange::Field::Switch, slot);
    return true;
}

void ServicePanel::setPickerTime(int slot, const TimeOfDay& time) {
    if (std::exchange(times_[at(slot)], time) != time) tell(PanelChange::Field::Time, slot);
}

void ServicePanel::setKeepArchivesValue(int value) {
    value = std::clamp(value, 0, kKeepArchivesMax);
    if (std::exchange(keep_, value) != value) tell(PanelChange::Field::Keep, 0);
}

void ServicePanel::setMissedRunValue(int value) {
    value = value != 0 ? 1 : 0;
    if (std::exchange(missed_, value) != value) tell(PanelChange::Field::Missed, 0);
}

void ServicePanel::setCopyEnabled(bool enabled) {
    if (std::exchange(copy_, enabled) != enabled) tell(PanelChange::Field::CopyEnabled, 0);
}

std::string ServicePanel::caption(Caption which) const {
    if (const auto it = captions_.find(which); it != captions_.end()) return it->second;
    // The button's caption before any run, as the window's own starts.
    return which == Caption::cmdExit ? std::string(kCaptionHide) : std::string();
}

void ServicePanel::setCaption(Caption which, const std::string& text) {
    const std::string before = caption(which);
    captions_[which] = text;
    if (before != text) tell(PanelChange::Field::Caption, static_cast<int>(which));
}

}  // namespace zel
