#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>

#include "channel/protocol.h"
#include "view/panel_view.h"

namespace zel {

// The service's panel: the values a window would show, kept in memory with the window's own
// rules (a switch only 0..2, udSakla within 0..999, chkKacan 0 or 1). Each value that changes
// is handed to `changed`, for the windows connected to the service.
class ServicePanel final : public PanelView {
public:
    explicit ServicePanel(std::function<void(const PanelChange&)> changed) : changed_(std::move(changed)) {}

    std::string sourceText(int pair) const override { return sources_[at(pair)]; }
    void setSourceText(int pair, const std::string& text) override;
    std::string targetText(int pair) const override { return targets_[at(pair)]; }
    void setTargetText(int pair, const std::string& text) override;
    int switchValue(int slot) const override { return switches_[at(slot)]; }
    bool setSwitchValue(int slot, int value) override;
    TimeOfDay pickerTime(int slot) const override { return times_[at(slot)]; }
    void setPickerTime(int slot, const TimeOfDay& time) override;
    int keepArchivesValue() const override { return keep_; }
    void setKeepArchivesValue(int value) override;
    int missedRunValue() const override { return missed_; }
    void setMissedRunValue(int value) override;
    bool copyEnabled() const override { return copy_; }
    void setCopyEnabled(bool enabled) override;
    std::string caption(Caption which) const override;
    void setCaption(Caption which, const std::string& text) override;

private:
    static std::size_t at(int i) { return static_cast<std::size_t>(i); }
    void tell(PanelChange::Field field, int index);

    std::function<void(const PanelChange&)> changed_;
    std::array<std::string, 4> sources_{};
    std::array<std::string, 4> targets_{};
    std::array<int, 3> switches_{};
    std::array<TimeOfDay, 3> times_{};
    int keep_ = 0;
    int missed_ = 0;
    bool copy_ = true;
    std::map<Caption, std::string> captions_;
};

}  // namespace zel
