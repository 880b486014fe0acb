#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/core/window_queue.h"
#include "window/frmMain.h"

namespace zel::test {

// A screen for frmMain that keeps what it is told and raises the events a toolkit raises: a
// switch or a picker set to another value calls its handler, a close request runs Form_Unload.
class FakeFrontEnd final : public FrontEnd {
public:
    void attach(frmMain& f) { form = &f; }

    std::string sourceText(int i) const override { return sources[static_cast<std::size_t>(i)]; }
    void setSourceText(int i, const std::string& t) override { sources[static_cast<std::size_t>(i)] = t; }
    std::string targetText(int i) const override { return targets[static_cast<std::size_t>(i)]; }
    void setTargetText(int i, const std::string& t) override { targets[static_cast<std::size_t>(i)] = t; }
    int switchValue(int k) const override { return switches[static_cast<std::size_t>(k)]; }
    bool setSwitchValue(int k, int v) override {
        if (v < 0 || v > 2) return false;
        int& now = switches[static_cast<std::size_t>(k)];
        if (now == v) return true;
        now = v;
        if (form)
            (k == 0 ? form->chkYedek1_Click() : k == 1 ? form->chkYedek2_Click() : form->chkYedek3_Click());
        return true;
    }
    TimeOfDay pickerTime(int k) const override { return times[static_cast<std::size_t>(k)]; }
    void setPickerTime(int k, const TimeOfDay& t) override {
        TimeOfDay& now = times[static_cast<std::size_t>(k)];
        if (now == t) return;
        now = t;
        if (form)
            (k == 0 ? form->dtYedek1_Change() : k == 1 ? form->dtyedek2_Change() : form->dtYedek3_Change());
    }
    int keepArchivesValue() const override { return keepArchives; }
    void setKeepArchivesValue(int v) override {
        v = std::clamp(v, 0, kKeepArchivesMax);
        if (keepArchives == v) return;
        keepArchives = v;
        if (form) form->udSakla_Change();
    }
    int missedRunValue() const override { return missedRun; }
    void setMissedRunValue(int v) override {
        v = v != 0 ? 1 : 0;
        if (missedRun == v) return;
        missedRun = v;
        if (form) form->chkKacan_Click();
    }
    std::optional<FolderBox> focusedFolderBox() const override { return focused; }
    bool copyEnabled() const override { return copy; }
    void setCopyEnabled(bool e) override { copy = e; }
    std::string caption(Caption c) const override {
        auto it = captions.find(c);
        return it == captions.end() ? std::string() : it->second;
    }
    void setCaption(Caption c, const std::string& t) override { captions[c] = t; }
    void setTimerInterval(int timer, int ms) override { intervals[static_cast<std::size_t>(timer)] = ms; }

    void applyWindowState(int s) override { said.push_back("state " + std::to_string(s)); }
    void showWindow() override {
        visible = true;
        said.push_back("show");
    }
    void hideWindow() override {
        visible = false;
        said.push_back("hide");
    }
    void bringToFront() override { said.push_back("front"); }
    void requestClose() override {
        said.push_back("close");
        int cancel = 0;
        if (form) form->Form_Unload(cancel);
        if (cancel == 0) visible = false;
    }
    void setControlAccess(ControlAccess a) override { controlAccess = a; }
    void addTrayIcon() override {
        ++trayAdds;
        trayPresent = true;
    }
    void deleteTrayIcon() override {
        said.push_back("tray delete");
        trayPresent = false;
    }
    void popUpTrayMenu() override { said.push_back("menu"); }
    void showTrayWarning(const std::string& title, const std::string& text) override {
        warnings.push_back(title + ": " + text);
    }
    void showExclamation(const std::string& text) override {
        said.push_back("message " + text);
        if (whileMessageOpen) whileMessageOpen();
    }
    bool askYesNo(const std::string&) override { return true; }
    void processPendingEvents() override {
        runPosted();
        if (onEvents) onEvents();
    }
    void endProgram() override {
        said.push_back("end");
        ++ends;
    }
    void postToWindow(std::function<void()> call) override { post_(std::move(call)); }
    void showMailDialog(const MailForm& form, MailDialogCalls calls) override {
        said.push_back("mail dialog");
        if (inMailDialog) inMailDialog(form, calls);
    }
    std::function<void(const MailForm&, MailDialogCalls&)> inMailDialog;

    // Runs what other threads posted, until `done` holds or the time is up.
    bool runPostedUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return posted_.runUntil(done, limit);
    }
    void runPosted() { posted_.runWaiting(); }

    frmMain* form = nullptr;
    std::array<std::string, 4> sources{"c:\\brevund", "c:\\brevund", "c:\\brevund", "c:\\brevund"};
    std::array<std::string, 4> targets{"c:\\tarvel-yedek", "c:\\tarvel-yedek", "c:\\tarvel-yedek",
                                       "c:\\tarvel-yedek"};
    std::array<int, 3> switches{0, 0, 0};
    std::array<TimeOfDay, 3> times{};
    int keepArchives = 0;
    int missedRun = 0;
    std::optional<FolderBox> focused;
    bool copy = true;
    std::map<Caption, std::string> captions{{Caption::cmdExit, "Gizle"}, {Caption::frmMain, "ZEL Yedek"}};
    std::array<int, 6> intervals{};
    ControlAccess controlAccess = ControlAccess::All;
    bool visible = false;
    bool trayPresent = false;
    int trayAdds = 0;
    int ends = 0;
    std::vector<std::string> said;  // window, tray and message calls in order
    std::vector<std::string> warnings;
    std::function<void()> whileMessageOpen;
    std::function<void()> onEvents;  // events that arrive while frmMain lets them through

private:
    WindowQueue posted_;  // calls from the database thread, for the window's thread
    std::function<void(std::function<void()>)> post_ = posted_.poster();
};

}  // namespace zel::test
