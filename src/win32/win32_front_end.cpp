#include "win32/win32_front_end.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "engine/schedule.h"
#include "platform/system/clock.h"
#include "platform/system/wide_text_win.h"
#include "settings/extra_settings.h"
#include "settings/settings_format.h"
#include "win32/dpi_layout.h"
#include "win32/mail_dialog.h"
#include "win32/message_wait_ops.h"
#include "window/frmMain.h"
#include "window/tray_messages.h"

namespace zel {
namespace {

constexpr UINT kTrayCallback = WM_APP + 1;
constexpr UINT kPostedCall = WM_APP + 2;
constexpr UINT kTrayId = 1;
constexpr int kIdKaynak = 101, kIdHedef = 111, kIdYedek = 121, kIdPicker = 131;
constexpr int kIdCopy = 141, kIdExit = 142;
constexpr int kIdSakla = 151, kIdKacan = 152, kIdEposta = 153;
constexpr int kIdRestore = 201, kIdKapat = 202, kIdSettings = 203;
constexpr COLORREF kBackground = RGB(192, 192, 255);
constexpr COLORREF kLastBackupText = RGB(0, 0, 128);
constexpr wchar_t kClassName[] = L"ZelYedekMain";

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// 11295 x 4335 twips, and one row below them for the extra settings.
constexpr int kExtraRowY = 293;
constexpr SIZE kClientAt96{753, 289 + 34};

// The window's fonts, by Win32FrontEnd::Font.
struct WindowFont {
    const wchar_t* family;
    double points;
    bool bold;
    bool italic;
};
constexpr WindowFont kFonts[] = {
    {L"MS Sans Serif", 9.75, true, false},  // folder boxes
    {L"Arial", 12, false, false},           // captions and switches
    {L"Verdana", 24, false, false},         // pickers
    {L"Arial", 24, false, false},           // "Yedekle"
    {L"Arial", 24, false, true},            // "Gizle"
    {L"Arial", 14.25, false, false},        // status and clock
    {L"Tahoma", 9.75, true, false},         // last backup
};

std::wstring windowText(HWND w) {
    const int n = GetWindowTextLengthW(w);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    GetWindowTextW(w, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

NOTIFYICONDATAW trayData(HWND window, HICON icon) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = kTrayId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallback;
    data.hIcon = icon;
    wcscpy_s(data.szTip, L"ZEL YEDEK");
    return data;
}

}  // namespace

Win32FrontEnd::Win32FrontEnd(HINSTANCE instance) : instance_(instance) {
    background_ = CreateSolidBrush(kBackground);
    // The program's icon from its resources, in the sizes the window and the tray want.
    icon_ = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    smallIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                               LR_SHARED));
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");

    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = &Win32FrontEnd::windowProc;
    cls.hInstance = instance_;
    cls.hIcon = icon_;
    cls.hIconSm = smallIcon_;
    cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    cls.hbrBackground = background_;
    cls.lpszClassName = kClassName;
    RegisterClassExW(&cls);

    // A fixed border around the client area; its size, like everything inside, follows the DPI.
    const SIZE frame = frameAround(kClientAt96, kWindowStyle, 96);
    window_ = CreateWindowExW(0, kClassName, L"ZEL Yedek", kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.cx, frame.cy, nullptr, nullptr, instance_, this);
    buildControls();
    layOut(windowDpi(window_), true);
    addPickerTips();
    lastFocus_ = txtKaynak_[0];
    // Run elevated, the window would not hear the shell's restart and lose its icon for good.
    if (taskbarCreated_ != 0) ChangeWindowMessageFilterEx(window_, taskbarCreated_, MSGFLT_ALLOW, nullptr);

    menu_ = CreatePopupMenu();
    AppendMenuW(menu_, MF_STRING, kIdRestore, L"&ZEL Yedek");
    AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu_, MF_STRING, kIdKapat, L"&Kapat");
}

Win32FrontEnd::~Win32FrontEnd() {
    form_ = nullptr;
    if (window_) DestroyWindow(window_);
    if (menu_) DestroyMenu(menu_);
    for (HFONT f : fonts_)
        if (f) DeleteObject(f);
    if (background_) DeleteObject(background_);
}

HWND Win32FrontEnd::control(const wchar_t* cls, const wchar_t* text, DWORD style, int id, Placement at96,
                            Font font, int slot) {
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    placed_.push_back({c, at96, font, slot});
    return c;
}

// Places every control and sizes the window for a DPI: the layout at 96 DPI times
// DPI / 96, fonts made anew for it, and the pickers as wide as their text needs.
void Win32FrontEnd::layOut(UINT dpi, bool resizeWindow) {
    std::array<HFONT, kFontCount> fonts{};
    for (std::size_t i = 0; i < fonts.size(); ++i)
        fonts[i] = makeFont(kFonts[i].family, kFonts[i].points, kFonts[i].bold, kFonts[i].italic, dpi);
    const int pickerWidth = std::max(scaled(156, dpi), timePickerWidth(window_, fonts[kPicker], dpi));
    const int slotStep = std::max(scaled(162, dpi), pickerWidth + scaled(6, dpi));
    for (const Placed& p : placed_) {
        int x = scaled(p.at96.x, dpi);
        int w = scaled(p.at96.w, dpi);
        if (p.slot >= 0) {
            x = scaled(8, dpi) + p.slot * slotStep;
            w = pickerWidth;
        }
        SetWindowPos(p.control, nullptr, x, scaled(p.at96.y, dpi), w, scaled(p.at96.h, dpi),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(p.control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[static_cast<std::size_t>(p.font)]),
                     TRUE);
    }
    for (HFONT old : fonts_)
        if (old) DeleteObject(old);
    fonts_ = fonts;
    if (resizeWindow) {
        const SIZE frame =
            frameAround({scaled(kClientAt96.cx, dpi), scaled(kClientAt96.cy, dpi)}, kWindowStyle, dpi);
        SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Win32FrontEnd::buildControls() {
    // Row captions first: they take no focus, and the focus order follows the order of creation.
    const wchar_t* sourceCaptions[4] = {L"Kaynak I:", L"Kaynak II", L"Kaynak III:", L"Kaynak IV"};
    const wchar_t* targetCaptions[4] = {L"Hedef I:", L"Hedef II:", L"Hedef III:", L"Hedef IV:"};
    for (int i = 0; i < 4; ++i) {
        const int y = 8 + i * 34;
        control(L"STATIC", sourceCaptions[i], SS_LEFT, 0, {8, y + 3, 92, 26}, kCaption);
        control(L"STATIC", targetCaptions[i], SS_LEFT, 0, {414, y + 3, 82, 26}, kCaption);
    }
    lblInfo_ = control(L"STATIC", L"", SS_LEFT, 0, {8, 254, 300, 30}, kStatus);
    lblTime_ = control(L"STATIC", L"", SS_LEFT, 0, {320, 254, 170, 30}, kStatus);
    // Below the client area (6360 twips down), so its text is not visible at the window's size.
    lblSon_ = control(L"STATIC", L"", SS_LEFT, 0, {8, 424, 400, 40}, kLastBackup);

    auto box = [&](int pair, bool source) {
        const int y = 8 + pair * 34;
        HWND b = control(L"EDIT", source ? L"c:\\brevund" : L"c:\\tarvel-yedek",
                         WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, (source ? kIdKaynak : kIdHedef) + pair,
                         {source ? 100 : 498, y, source ? 305 : 225, 26}, kBox);
        SendMessageW(b, EM_SETLIMITTEXT, 0, 0);  // as long as the file holds
        (source ? txtKaynak_ : txtHedef_)[static_cast<std::size_t>(pair)] = b;
    };
    // The first pair and the schedule come before the other three pairs.
    box(0, true);
    box(0, false);
    for (int k = 0; k < 3; ++k) {
        const int x = 8 + k * 162;
        const std::wstring caption = L"Yedek - " + std::to_wstring(k + 1);
        chkYedek_[static_cast<std::size_t>(k)] = control(L"BUTTON", caption.c_str(), BS_3STATE | WS_TABSTOP,
                                                         kIdYedek + k, {x, 146, 156, 26}, kCaption, k);
        HWND picker = control(DATETIMEPICK_CLASSW, L"", DTS_TIMEFORMAT | WS_TABSTOP, kIdPicker + k,
                              {x, 174, 156, 48}, kPicker, k);
        SendMessageW(picker, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"HH:mm:ss"));
        dtYedek_[static_cast<std::size_t>(k)] = picker;
        setPickerTime(k, {0, 0, 0});
    }
    cmdCopy_ =
        control(L"BUTTON", L"Yedekle", BS_PUSHBUTTON | WS_TABSTOP, kIdCopy, {498, 146, 225, 50}, kCopy);
    cmdExit_ = control(L"BUTTON", L"Gizle", BS_PUSHBUTTON | WS_TABSTOP, kIdExit, {498, 200, 225, 50}, kExit);
    for (int i = 1; i < 4; ++i) {
        box(i, true);
        box(i, false);
    }

    // The extra settings' row, below everything the window had before and last in the focus order.
    control(L"STATIC", L"Saklanacak yedek say\u0131s\u0131 (0: hepsi):", SS_LEFT, 0,
            {8, kExtraRowY + 3, 284, 26}, kCaption);
    udSakla_ =
        control(L"EDIT", L"0", WS_BORDER | WS_TABSTOP | ES_NUMBER, kIdSakla, {292, kExtraRowY, 53, 26}, kBox);
    SendMessageW(udSakla_, EM_SETLIMITTEXT, 3, 0);
    // Placed beside the box by the layout, not by the control, so that a new DPI moves both alike.
    udSaklaArrows_ = control(UPDOWN_CLASSW, L"", UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0,
                             {345, kExtraRowY, 17, 26}, kBox);
    SendMessageW(udSaklaArrows_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(udSakla_), 0);
    SendMessageW(udSaklaArrows_, UDM_SETRANGE32, 0, kKeepArchivesMax);
    showKeepArchives();
    chkKacan_ = control(L"BUTTON", L"Ka\u00e7an yede\u011fi a\u00e7\u0131l\u0131\u015fta al",
                        BS_CHECKBOX | WS_TABSTOP, kIdKacan, {414, kExtraRowY, 210, 26}, kCaption);
    // Its right edge under the target boxes' (498 + 225).
    cmdEposta_ = control(L"BUTTON", widen(kSettingsButton).c_str(), BS_PUSHBUTTON | WS_TABSTOP, kIdEposta,
                         {628, kExtraRowY, 95, 26}, kCaption);
}

int Win32FrontEnd::run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window_, &msg)) continue;  // Tab and Shift+Tab between the controls
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK Win32FrontEnd::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32FrontEnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    }
    auto* self = reinterpret_cast<Win32FrontEnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32FrontEnd::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        addTrayIcon();  // the shell came back: the icon must be added anew
        return 0;
    }
    switch (message) {
        case WM_COMMAND:
            onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_NOTIFY: {
            const auto* n = reinterpret_cast<const NMHDR*>(lParam);
            if (n->code == DTN_DATETIMECHANGE && form_) {
                const auto id = static_cast<int>(n->idFrom);
                if (id == kIdPicker) form_->dtYedek1_Change();
                if (id == kIdPicker + 1) form_->dtyedek2_Change();
                if (id == kIdPicker + 2) form_->dtYedek3_Change();
            }
            return 0;
        }
        case WM_TIMER:
            onTimer(static_cast<int>(wParam));
            return 0;
        case kTrayCallback:
            // The icon's mouse message, carried as the X of a mouse move in twips.
            if (form_) form_->Form_MouseMove(0, 0, LOWORD(lParam) * kTwipsPerPixel, 0);
            return 0;
        case kPostedCall:
            runPostedCalls();  // the message carries nothing: one from elsewhere finds nothing new to run
            return 0;
        case WM_SYSCOMMAND:
            // A minimise takes the program's own path: minimised is hidden.
            if ((wParam & 0xFFF0) == SC_MINIMIZE && form_) {
                form_->setWindowState(1);
                return 0;
            }
            break;
        case WM_SIZE:
            // Minimised some other way (Win+M, another program): hidden all the same.
            if (wParam == SIZE_MINIMIZED && form_ && form_->windowState() != 1) form_->setWindowState(1);
            return 0;
        case WM_ACTIVATE:
            onActivate(LOWORD(wParam) != WA_INACTIVE);
            return 0;
        case WM_DPICHANGED: {
            // Moved to a monitor of another DPI: the place Windows suggests, laid out again.
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            layOut(HIWORD(wParam), false);
            SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_QUERYENDSESSION:
            return TRUE;  // the program never holds up a logoff or a shutdown
        case WM_ENDSESSION:
            if (wParam && form_) form_->sessionEnding();
            return 0;
        case WM_CLOSE: {
            int cancel = 0;
            if (form_) form_->Form_Unload(cancel);
            if (cancel == 0) DestroyWindow(window_);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, kBackground);
            if (reinterpret_cast<HWND>(lParam) == lblSon_) SetTextColor(dc, kLastBackupText);
            return reinterpret_cast<LRESULT>(background_);
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

// The focus goes back to the control that had it, the first folder box at first; the window
// itself never keeps it.
void Win32FrontEnd::onActivate(bool active) {
    if (!active) {
        HWND focused = GetFocus();
        if (focused && IsChild(window_, focused)) lastFocus_ = focused;
        return;
    }
    if (lastFocus_ && IsWindowEnabled(lastFocus_)) SetFocus(lastFocus_);
}

// The pickers' tip, as the Qt window shows it.
void Win32FrontEnd::addPickerTips() {
    tips_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);
    if (!tips_) return;
    std::wstring text = L"Otomatik Yedekleme Zaman\u0131";
    for (HWND picker : dtYedek_) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(picker);
        tool.lpszText = text.data();
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void Win32FrontEnd::onCommand(int id, int code, HWND from) {
    if (!form_) return;
    if ((id >= kIdKaynak && id < kIdKaynak + 4) || (id >= kIdHedef && id < kIdHedef + 4)) {
        const bool source = id < kIdHedef;
        const int index = id - (source ? kIdKaynak : kIdHedef);
        if (code == EN_KILLFOCUS) {
            // Only a move to another control of the window saves; hiding, another program or a
            // menu leave the focus elsewhere or nowhere.
            HWND to = GetFocus();
            if (to && to != from && GetAncestor(to, GA_ROOT) == window_) {
                source ? form_->txtKaynak_LostFocus(index) : form_->txtHedef_LostFocus(index);
            }
        } else if (code == EN_CHANGE && !settingText_) {
            const std::string typed = narrow(windowText(from));
            const std::string kept = folderBoxText(typed);
            if (kept != typed) setEditText(from, kept);
        }
        return;
    }
    if (id == kIdSakla) {
        onKeepArchivesTyped(code);
        return;
    }
    if (code != BN_CLICKED) return;
    if (id == kIdKacan) {
        setMissedRunValue(missedRunValue() == 0 ? 1 : 0);
    } else if (id >= kIdYedek && id < kIdYedek + 3) {
        const int slot = id - kIdYedek;
        // A click turns a switch off or on; grey comes only from the file or the program.
        setSwitchValue(slot, switchValueAfterClick(switchValue(slot)));
    } else if (id == kIdCopy) {
        form_->cmdCopy_Click();
    } else if (id == kIdExit) {
        form_->cmdExit_Click();
    } else if (id == kIdEposta) {
        form_->cmdEposta_Click();
    }
}

void Win32FrontEnd::onTimer(int id) {
    if (!form_) return;
    switch (id) {
        case 2:
            armClockTimer();  // the next tick, aligned again before this one's work
            form_->Timer2_Timer();
            break;
        case 3:
            form_->Timer3_Timer();
            break;
        case 4:
            form_->Timer4_Timer();
            break;
        case 5:
            form_->Timer5_Timer();
            break;
        default:
            break;  // Timer1 never ticks
    }
}

// Timer2 ticks just past each second boundary of the clock the label reads.
void Win32FrontEnd::armClockTimer() {
    static const std::int64_t clockStep = measuredClockStepMicros();
    SetTimer(window_, 2, static_cast<UINT>(msToNextSecondTick(realTimeMicros(), clockStep)), nullptr);
}

// udSakla's text changes as it is typed or as its arrows step it; a text that is no value yet (an
// empty box) changes nothing, and leaving the box shows the value again.
void Win32FrontEnd::onKeepArchivesTyped(int code) {
    if (code == EN_KILLFOCUS) {
        showKeepArchives();
        return;
    }
    if (code != EN_CHANGE || settingText_) return;
    const std::optional<int> typed = wholeNumberIn(narrow(windowText(udSakla_)), 0, kKeepArchivesMax);
    if (!typed || *typed == keepArchives_) return;
    keepArchives_ = *typed;
    form_->udSakla_Change();
}

void Win32FrontEnd::showKeepArchives() {
    if (windowText(udSakla_) == std::to_wstring(keepArchives_)) return;
    settingText_ = true;
    SendMessageW(udSaklaArrows_, UDM_SETPOS32, 0, keepArchives_);  // its buddy shows the number
    settingText_ = false;
}

void Win32FrontEnd::setEditText(HWND box, const std::string& text) {
    settingText_ = true;
    SetWindowTextW(box, widen(text).c_str());
    SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    settingText_ = false;
}

// ---- what frmMain asks of the screen ----

std::string Win32FrontEnd::sourceText(int pair) const {
    return narrow(windowText(txtKaynak_[static_cast<std::size_t>(pair)]));
}
void Win32FrontEnd::setSourceText(int pair, const std::string& text) {
    setEditText(txtKaynak_[static_cast<std::size_t>(pair)], text);
}
std::string Win32FrontEnd::targetText(int pair) const {
    return narrow(windowText(txtHedef_[static_cast<std::size_t>(pair)]));
}
void Win32FrontEnd::setTargetText(int pair, const std::string& text) {
    setEditText(txtHedef_[static_cast<std::size_t>(pair)], text);
}

int Win32FrontEnd::switchValue(int slot) const {
    return static_cast<int>(SendMessageW(chkYedek_[static_cast<std::size_t>(slot)], BM_GETCHECK, 0, 0));
}
bool Win32FrontEnd::setSwitchValue(int slot, int value) {
    if (value < 0 || value > 2) return false;
    if (switchValue(slot) == value) return true;
    SendMessageW(chkYedek_[static_cast<std::size_t>(slot)], BM_SETCHECK, static_cast<WPARAM>(value), 0);
    // The click event comes also when the program sets the value.
    if (form_)
        (slot == 0   ? form_->chkYedek1_Click()
         : slot == 1 ? form_->chkYedek2_Click()
                     : form_->chkYedek3_Click());
    return true;
}

TimeOfDay Win32FrontEnd::pickerTime(int slot) const {
    SYSTEMTIME t{};
    SendMessageW(dtYedek_[static_cast<std::size_t>(slot)], DTM_GETSYSTEMTIME, 0,
                 reinterpret_cast<LPARAM>(&t));
    return {t.wHour, t.wMinute, t.wSecond};
}
void Win32FrontEnd::setPickerTime(int slot, const TimeOfDay& time) {
    if (form_ && pickerTime(slot) == time) return;
    SYSTEMTIME t{};
    GetLocalTime(&t);
    t.wHour = static_cast<WORD>(time.hour);
    t.wMinute = static_cast<WORD>(time.minute);
    t.wSecond = static_cast<WORD>(time.second);
    t.wMilliseconds = 0;
    SendMessageW(dtYedek_[static_cast<std::size_t>(slot)], DTM_SETSYSTEMTIME, GDT_VALID,
                 reinterpret_cast<LPARAM>(&t));
    // A picker set by the program reports its change too.
    if (form_)
        (slot == 0   ? form_->dtYedek1_Change()
         : slot == 1 ? form_->dtyedek2_Change()
                     : form_->dtYedek3_Change());
}

int Win32FrontEnd::keepArchivesValue() const {
    return keepArchives_;
}
void Win32FrontEnd::setKeepArchivesValue(int value) {
    value = std::clamp(value, 0, kKeepArchivesMax);
    if (value == keepArchives_) return;
    keepArchives_ = value;
    showKeepArchives();
    // The change event comes also when the program sets the value.
    if (form_) form_->udSakla_Change();
}

int Win32FrontEnd::missedRunValue() const {
    return SendMessageW(chkKacan_, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}
void Win32FrontEnd::setMissedRunValue(int value) {
    value = value != 0 ? 1 : 0;
    if (missedRunValue() == value) return;
    SendMessageW(chkKacan_, BM_SETCHECK, value == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
    if (form_) form_->chkKacan_Click();
}

std::optional<FolderBox> Win32FrontEnd::focusedFolderBox() const {
    HWND focused = GetFocus();
    if (!focused || !IsChild(window_, focused)) focused = lastFocus_;  // hidden or inactive
    for (std::size_t i = 0; i < 4; ++i) {
        if (focused == txtKaynak_[i]) return FolderBox{true, static_cast<int>(i)};
        if (focused == txtHedef_[i]) return FolderBox{false, static_cast<int>(i)};
    }
    return std::nullopt;
}

bool Win32FrontEnd::copyEnabled() const {
    return IsWindowEnabled(cmdCopy_) != FALSE;
}
void Win32FrontEnd::setControlAccess(ControlAccess access) {
    std::vector<HWND> settings{udSakla_, udSaklaArrows_, chkKacan_, cmdEposta_};
    settings.insert(settings.end(), txtKaynak_.begin(), txtKaynak_.end());
    settings.insert(settings.end(), txtHedef_.begin(), txtHedef_.end());
    settings.insert(settings.end(), chkYedek_.begin(), chkYedek_.end());
    settings.insert(settings.end(), dtYedek_.begin(), dtYedek_.end());
    for (HWND control : settings) EnableWindow(control, access == ControlAccess::All ? TRUE : FALSE);
    EnableWindow(cmdCopy_, access != ControlAccess::None ? TRUE : FALSE);
    // A watcher may ask for an administrator's window, just above "&Kapat".
    const bool offer = access == ControlAccess::RunOnly && settingsRequest_;
    if (offer == offeringSettings_) return;
    offeringSettings_ = offer;
    if (offer) {
        InsertMenuW(menu_, kIdKapat, MF_BYCOMMAND | MF_STRING, kIdSettings,
                    L"Ayarlar\u0131 de\u011fi\u015ftir...");
    } else {
        DeleteMenu(menu_, kIdSettings, MF_BYCOMMAND);
    }
}

void Win32FrontEnd::setCopyEnabled(bool enabled) {
    EnableWindow(cmdCopy_, enabled ? TRUE : FALSE);
}

HWND Win32FrontEnd::captionWindow(Caption which) const {
    switch (which) {
        case Caption::cmdExit:
            return cmdExit_;
        case Caption::lblInfo:
            return lblInfo_;
        case Caption::lblTime:
            return lblTime_;
        case Caption::lblSon:
            return lblSon_;
        case Caption::frmMain:
            return window_;
    }
    return window_;
}
std::string Win32FrontEnd::caption(Caption which) const {
    return narrow(windowText(captionWindow(which)));
}
void Win32FrontEnd::setCaption(Caption which, const std::string& text) {
    SetWindowTextW(captionWindow(which), widen(text).c_str());
}

void Win32FrontEnd::setTimerInterval(int timer, int ms) {
    if (timer < 1 || timer > 5) return;
    intervals_[static_cast<std::size_t>(timer)] = ms;
    if (ms == 0) {
        KillTimer(window_, static_cast<UINT_PTR>(timer));
    } else if (timer == 2 && ms == 1000) {
        armClockTimer();
    } else {
        SetTimer(window_, static_cast<UINT_PTR>(timer), static_cast<UINT>(ms), nullptr);
    }
}

void Win32FrontEnd::applyWindowState(int state) {
    if (state == 0 && IsIconic(window_)) ShowWindow(window_, SW_RESTORE);
}
void Win32FrontEnd::showWindow() {
    ShowWindow(window_, SW_SHOW);
    // Activation: the first time the program shows its window.
    if (!activated_ && form_) {
        activated_ = true;
        SetFocus(txtKaynak_[0]);
        form_->Form_Activate();
    }
}
void Win32FrontEnd::hideWindow() {
    ShowWindow(window_, SW_HIDE);
}
void Win32FrontEnd::bringToFront() {
    SetForegroundWindow(window_);
}
void Win32FrontEnd::requestClose() {
    SendMessageW(window_, WM_CLOSE, 0, 0);
}

void Win32FrontEnd::addTrayIcon() {
    NOTIFYICONDATAW data = trayData(window_, smallIcon_);
    Shell_NotifyIconW(NIM_ADD, &data);
}
void Win32FrontEnd::deleteTrayIcon() {
    NOTIFYICONDATAW data = trayData(window_, smallIcon_);
    Shell_NotifyIconW(NIM_DELETE, &data);
}
void Win32FrontEnd::popUpTrayMenu() {
    POINT at{};
    GetCursorPos(&at);
    const int chosen = static_cast<int>(TrackPopupMenu(menu_, TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                                                       at.x, at.y, 0, window_, nullptr));
    PostMessageW(window_, WM_NULL, 0, 0);  // lets the menu close when the user clicks elsewhere
    if (!form_) return;
    if (chosen == kIdRestore) form_->mnuRestore_Click();
    if (chosen == kIdKapat) form_->mnuExit_Click();
    if (chosen == kIdSettings && offeringSettings_ && settingsRequest_) settingsRequest_();
}
void Win32FrontEnd::showTrayWarning(const std::string& title, const std::string& text) {
    NOTIFYICONDATAW data = trayData(window_, smallIcon_);
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_WARNING;
    wcsncpy_s(data.szInfoTitle, widen(title).c_str(), _TRUNCATE);
    wcsncpy_s(data.szInfo, widen(text).c_str(), _TRUNCATE);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void Win32FrontEnd::showExclamation(const std::string& text) {
    MessageBoxW(window_, widen(text).c_str(), L"", MB_OK | MB_ICONEXCLAMATION);
}
bool Win32FrontEnd::askYesNo(const std::string& text) {
    return MessageBoxW(window_, widen(text).c_str(), L"ZEL Yedek", MB_YESNO | MB_DEFBUTTON1) == IDYES;
}
void Win32FrontEnd::processPendingEvents() {
    pumpWaitingMessages();
}
void Win32FrontEnd::endProgram() {
    // At once, as the program has always ended: no library's clean-up runs, so a database
    // thread still inside ODBC or a waiting worker cannot hold the end up.
    TerminateProcess(GetCurrentProcess(), 0);
}
void Win32FrontEnd::postToWindow(std::function<void()> call) {
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(call));
    }
    PostMessageW(window_, kPostedCall, 0, 0);
}

void Win32FrontEnd::showMailDialog(const MailForm& form, MailDialogCalls calls) {
    runMailDialog(instance_, window_, form, std::move(calls));
}

void Win32FrontEnd::runPostedCalls() {
    std::deque<std::function<void()>> calls;
    {
        std::lock_guard lock(postedMutex_);
        calls.swap(posted_);
    }
    for (auto& call : calls)
        if (form_) call();
}

}  // namespace zel
