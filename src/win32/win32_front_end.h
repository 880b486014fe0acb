#pragma once

#include <windows.h>

#include <array>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "window/front_end.h"

namespace zel {

class frmMain;

// The window on Win32: the controls of the window under their well-known names, what frmMain
// asks of them, and the window's messages passed on to frmMain's handlers. No rule lives here.
class Win32FrontEnd final : public FrontEnd {
public:
    explicit Win32FrontEnd(HINSTANCE instance);
    ~Win32FrontEnd() override;
    Win32FrontEnd(const Win32FrontEnd&) = delete;
    Win32FrontEnd& operator=(const Win32FrontEnd&) = delete;

    // From now on the window's messages go to `form`.
    void attach(frmMain& form) { form_ = &form; }
    // What "Ayarları değiştir..." does, which a watcher's tray menu offers (an administrator's window).
    void setSettingsRequest(std::function<void()> request) { settingsRequest_ = std::move(request); }
    HWND handle() const { return window_; }
    // The message loop, until the program ends.
    int run();

    std::string sourceText(int pair) const override;
    void setSourceText(int pair, const std::string& text) override;
    std::string targetText(int pair) const override;
    void setTargetText(int pair, const std::string& text) override;
    int switchValue(int slot) const override;
    bool setSwitchValue(int slot, int value) override;
    TimeOfDay pickerTime(int slot) const override;
    void setPickerTime(int slot, const TimeOfDay& time) override;
    int keepArchivesValue() const override;
    void setKeepArchivesValue(int value) override;
    int missedRunValue() const override;
    void setMissedRunValue(int value) override;
    std::optional<FolderBox> focusedFolderBox() const override;
    bool copyEnabled() const override;
    void setCopyEnabled(bool enabled) override;
    void setControlAccess(ControlAccess access) override;
    std::string caption(Caption which) const override;
    void setCaption(Caption which, const std::string& text) override;
    void setTimerInterval(int timer, int ms) override;
    void applyWindowState(int state) override;
    void showWindow() override;
    void hideWindow() override;
    void bringToFront() override;
    void requestClose() override;
    void addTrayIcon() override;
    void deleteTrayIcon() override;
    void popUpTrayMenu() override;
    void showTrayWarning(const std::string& title, const std::string& text) override;
    void showExclamation(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    void processPendingEvents() override;
    void endProgram() override;
    void postToWindow(std::function<void()> call) override;
    void showMailDialog(const MailForm& form, MailDialogCalls calls) override;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    enum Font { kBox, kCaption, kPicker, kCopy, kExit, kStatus, kLastBackup, kFontCount };
    // Where a control lies at 96 DPI, in client pixels.
    struct Placement {
        int x, y, w, h;
    };
    struct Placed {
        HWND control;
        Placement at96;
        Font font;
        int slot;  // a schedule slot's switch or picker (0..2): placed by the pickers' width; else -1
    };

    void buildControls();
    HWND control(const wchar_t* cls, const wchar_t* text, DWORD style, int id, Placement at96, Font font,
                 int slot = -1);
    void layOut(UINT dpi, bool resizeWindow);
    void onCommand(int id, int code, HWND from);
    void onTimer(int id);
    void armClockTimer();
    void setEditText(HWND box, const std::string& text);
    void onKeepArchivesTyped(int code);
    void showKeepArchives();
    HWND captionWindow(Caption which) const;
    void runPostedCalls();
    void onActivate(bool active);
    void addPickerTips();

    HINSTANCE instance_;
    HWND window_ = nullptr;
    frmMain* form_ = nullptr;
    std::array<HWND, 4> txtKaynak_{};
    std::array<HWND, 4> txtHedef_{};
    std::array<HWND, 3> chkYedek_{};
    std::array<HWND, 3> dtYedek_{};
    HWND cmdCopy_ = nullptr;
    HWND cmdExit_ = nullptr;
    HWND lblInfo_ = nullptr;
    HWND lblTime_ = nullptr;
    HWND lblSon_ = nullptr;
    HWND udSakla_ = nullptr;        // the EDIT: udSakla's text and focus
    HWND udSaklaArrows_ = nullptr;  // its up-down buddy
    HWND chkKacan_ = nullptr;
    HWND cmdEposta_ = nullptr;
    int keepArchives_ = 0;  // udSakla's value, kept while its text is half typed
    HWND tips_ = nullptr;
    HWND lastFocus_ = nullptr;  // the control that gets the focus back when the window is activated
    std::array<int, 6> intervals_{};
    std::vector<Placed> placed_;
    std::array<HFONT, kFontCount> fonts_{};
    HBRUSH background_ = nullptr;
    HICON icon_ = nullptr;  // shared resource icons: never destroyed
    HICON smallIcon_ = nullptr;
    HMENU menu_ = nullptr;
    std::function<void()> settingsRequest_;
    bool offeringSettings_ = false;  // the menu holds "Ayarları değiştir..."
    UINT taskbarCreated_ = 0;
    bool settingText_ = false;  // a change the program makes, not the user
    bool activated_ = false;
    // Calls from other threads wait here; a private message only says that some are waiting.
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace zel
