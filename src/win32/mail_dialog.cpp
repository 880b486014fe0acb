#include "win32/mail_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "platform/system/system_function_win.h"
#include "platform/system/wide_text_win.h"
#include "settings/extra_settings.h"
#include "win32/dpi_layout.h"

namespace zel {
namespace {

constexpr int kIdSunucu = 101, kIdPort = 102, kIdPortArrows = 103, kIdGuvenlik = 104, kIdKullanici = 105,
              kIdParola = 106, kIdKimden = 107, kIdKime = 108, kIdNe = 109, kIdCevap = 110, kIdDeneme = 111,
              kIdSayfa = 112, kIdMetrik = 113, kIdIzleme = 114, kIdUzakTur = 115, kIdUzakAdres = 116,
              kIdUzakKullanici = 117, kIdUzakParola = 118, kIdUzakBolge = 119, kIdUzakKova = 120, kIdUzakOnek = 121,
              kIdUzakSakla = 122, kIdUzakHiz = 123, kIdUzakKilit = 124, kIdUzakKilitTuru = 125, kIdUzakDeneme = 126,
              kIdOncekiKomut = 127, kIdSonrakiKomut = 128, kIdGolgeKopya = 129;
// The pages in the tab strip's order.
constexpr int kMailPageIndex = 0, kWatchPageIndex = 1, kRemotePageIndex = 2, kCommandsPageIndex = 3;
constexpr int kPortLow = 1, kPortHigh = 65535;
// The main window's font for its captions and switches.
constexpr wchar_t kFontFamily[] = L"Arial";
constexpr double kFontPoints = 12;
// The second place's "Deneme" answers with a line per step, and a failure's line may wrap.
constexpr int kAnswerLines = 4;

std::string boxText(HWND box) {
    const int n = GetWindowTextLengthW(box);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(box, text.data(), n + 1)));
    return narrow(text);
}

void place(HWND control, int x, int y, int w, int h) {
    SetWindowPos(control, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

// An answer's lines as a STATIC control breaks them: "\n" becomes CR LF.
std::wstring answerText(std::string_view text) {
    std::wstring lines;
    for (const wchar_t c : widen(text)) {
        if (c == L'\n' && (lines.empty() || lines.back() != L'\r')) lines += L'\r';
        lines += c;
    }
    return lines;
}

class MailDialog {
public:
    MailDialog(const MailForm& form, MailDialogCalls calls)
        : form_(form), calls_(std::move(calls)), port_(form.values.port), security_(form.values.security) {}
    ~MailDialog() {
        if (font_) DeleteObject(font_);
    }
    MailDialog(const MailDialog&) = delete;
    MailDialog& operator=(const MailDialog&) = delete;

    void run(HINSTANCE instance, HWND owner) {
        instance_ = instance;
        // An empty template: the controls are made and placed in pixels at the dialog's DPI, as the
        // main window's are.
        struct alignas(DWORD) Template {
            DLGTEMPLATE head;
            WORD menu, windowClass, title;
        } empty{};
        empty.head.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
        DialogBoxIndirectParamW(instance, &empty.head, owner, &MailDialog::proc, reinterpret_cast<LPARAM>(this));
    }

private:
    static INT_PTR CALLBACK proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            reinterpret_cast<MailDialog*>(lParam)->dialog_ = dialog;
        }
        auto* self = reinterpret_cast<MailDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
        return self ? self->handle(message, wParam, lParam) : FALSE;
    }

    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_INITDIALOG: {
                SetWindowTextW(dialog_, widen(kSettingsDialogTitle).c_str());
                // Windows 10 would also rescale the controls on a DPI change; layOut does that.
                using SetDpiBehavior = BOOL(WINAPI*)(HWND, int, int);
                constexpr int kDisableAll = 1;
                if (const auto set = systemFunction<SetDpiBehavior>(L"user32.dll", "SetDialogDpiChangeBehavior"))
                    set(dialog_, kDisableAll, kDisableAll);
                build();
                layOut(windowDpi(dialog_));
                placeOverOwner();
                SetFocus(txtSunucu_);
                return FALSE;  // the focus is set
            }
            case WM_COMMAND:
                onCommand(LOWORD(wParam), HIWORD(wParam));
                return TRUE;
            case WM_NOTIFY: {
                const auto* header = reinterpret_cast<const NMHDR*>(lParam);
                if (header->idFrom == kIdSayfa && header->code == TCN_SELCHANGE)
                    showPage(static_cast<int>(SendMessageW(tabSayfa_, TCM_GETCURSEL, 0, 0)));
                return FALSE;
            }
            case WM_DPICHANGED: {
                const auto* suggested = reinterpret_cast<const RECT*>(lParam);
                layOut(HIWORD(wParam));
                SetWindowPos(dialog_, nullptr, suggested->left, suggested->top, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                return TRUE;
            }
            case WM_CTLCOLORSTATIC: {
                // The fields' labels lie on the tab strip's page, whose colour they take.
                const HWND control = reinterpret_cast<HWND>(lParam);
                if (control == lblCevap_) return FALSE;
                SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
                return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
            }
            case WM_DESTROY:
                latestTest_.reset();  // a test's answer that comes later finds no dialog
                return FALSE;
            default:
                return FALSE;
        }
    }

    HWND add(const wchar_t* cls, std::string_view text, DWORD style, int id, DWORD exStyle = 0) {
        return CreateWindowExW(exStyle, cls, widen(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, dialog_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    }

    // Each label just before its box: the focus order follows the order of creation, the pages'
    // tabs first. The tab strip draws nothing over the boxes that lie on it.
    void build() {
        tabSayfa_ = add(WC_TABCONTROLW, {}, WS_TABSTOP | WS_CLIPSIBLINGS, kIdSayfa);
        for (const std::string_view page : {kMailPage, kWatchPage, kRemotePage, kCommandsPage}) {
            std::wstring text = widen(page);
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = text.data();
            SendMessageW(tabSayfa_, TCM_INSERTITEMW, SendMessageW(tabSayfa_, TCM_GETITEMCOUNT, 0, 0),
                         reinterpret_cast<LPARAM>(&item));
        }
        const auto label = [this](std::size_t row) {
            labels_[row] = add(L"STATIC", kMailFieldLabels[row], SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0);
        };
        const auto edit = [this](int id, const std::string& text, DWORD style = 0) {
            return add(L"EDIT", text, WS_TABSTOP | ES_AUTOHSCROLL | style, id, WS_EX_CLIENTEDGE);
        };
        const auto list = [this](int id, const auto& choices, int chosen) {
            HWND box = add(WC_COMBOBOXW, {}, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, id);
            for (const auto& choice : choices)
                SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(choice.second).c_str()));
            SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
            return box;
        };
        label(0);
        txtSunucu_ = edit(kIdSunucu, form_.values.server);
        label(1);
        txtPort_ = edit(kIdPort, {}, ES_NUMBER);
        SendMessageW(txtPort_, EM_SETLIMITTEXT, 5, 0);
        udPort_ = add(UPDOWN_CLASSW, {}, UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, kIdPortArrows);
        SendMessageW(udPort_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(txtPort_), 0);
        SendMessageW(udPort_, UDM_SETRANGE32, kPortLow, kPortHigh);
        showPort();
        label(2);
        cboGuvenlik_ = list(kIdGuvenlik, kMailSecurityChoices, mailSecurityIndex(form_.values.security));
        label(3);
        txtKullanici_ = edit(kIdKullanici, form_.values.user);
        label(4);
        // The stored password never comes back into the box; the box says whether there is one.
        txtParola_ = edit(kIdParola, {}, ES_PASSWORD);
        if (form_.passwordSet)
            SendMessageW(txtParola_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(widen(kPasswordKept).c_str()));
        label(5);
        txtKimden_ = edit(kIdKimden, form_.values.from);
        label(6);
        txtKime_ = edit(kIdKime, form_.values.to);
        label(7);
        cboNe_ = list(kIdNe, kMailWhatChoices, mailWhatIndex(form_.values.what));
        watchLabels_[0] = add(L"STATIC", kWatchFieldLabels[0], SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0);
        txtMetrik_ = edit(kIdMetrik, form_.watch.metricsFolder);
        watchLabels_[1] = add(L"STATIC", kWatchFieldLabels[1], SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0);
        txtIzleme_ = edit(kIdIzleme, form_.watch.pingAddress);
        const RemoteSettings& r = form_.remote;
        const auto remoteLabel = [this](std::size_t row) {
            remoteLabels_[row] = add(L"STATIC", kRemoteFieldLabels[row], SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0);
        };
        remoteLabel(0);
        cboUzakTur_ = list(kIdUzakTur, kRemoteKindChoices, remoteKindIndex(r.kind));
        remoteLabel(1);
        txtUzakAdres_ = edit(kIdUzakAdres, r.address);
        remoteLabel(2);
        txtUzakKullanici_ = edit(kIdUzakKullanici, r.user);
        remoteLabel(3);
        // The stored secret, as the stored password, never comes back into its box.
        txtUzakParola_ = edit(kIdUzakParola, {}, ES_PASSWORD);
        if (form_.secretSet)
            SendMessageW(txtUzakParola_, EM_SETCUEBANNER, TRUE,
                         reinterpret_cast<LPARAM>(widen(kPasswordKept).c_str()));
        remoteLabel(4);
        txtUzakBolge_ = edit(kIdUzakBolge, r.region);
        remoteLabel(5);
        txtUzakKova_ = edit(kIdUzakKova, r.bucket);
        remoteLabel(6);
        txtUzakOnek_ = edit(kIdUzakOnek, r.prefix);
        remoteLabel(7);
        // Empty keeps as many as the target folders do.
        txtUzakSakla_ = edit(kIdUzakSakla, r.keep ? std::to_string(*r.keep) : std::string(), ES_NUMBER);
        remoteLabel(8);
        txtUzakHiz_ = edit(kIdUzakHiz, std::to_string(r.speedLimitKb), ES_NUMBER);
        remoteLabel(9);
        txtUzakKilit_ = edit(kIdUzakKilit, std::to_string(r.lockDays), ES_NUMBER);
        remoteLabel(10);
        cboUzakKilitTuru_ = list(kIdUzakKilitTuru, kLockModeChoices, lockModeIndex(r.lockMode));
        const auto commandLabel = [this](std::size_t row) {
            commandLabels_[row] = add(L"STATIC", kCommandFieldLabels[row], SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0);
        };
        commandLabel(0);
        txtOncekiKomut_ = edit(kIdOncekiKomut, form_.commands.before);
        commandLabel(1);
        txtSonrakiKomut_ = edit(kIdSonrakiKomut, form_.commands.after);
        commandLabel(2);
        cboGolgeKopya_ = list(kIdGolgeKopya, kShadowCopyChoices, shadowCopyIndex(form_.commands.shadowCopy));
        lblCevap_ = add(L"STATIC", {}, SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, kIdCevap);
        cmdDeneme_ = add(L"BUTTON", kMailTestButton, BS_PUSHBUTTON | WS_TABSTOP, kIdDeneme);
        cmdUzakDeneme_ = add(L"BUTTON", kRemoteTestButton, BS_PUSHBUTTON | WS_TABSTOP, kIdUzakDeneme);
        cmdTamam_ = add(L"BUTTON", kMailOk, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK);
        cmdVazgec_ = add(L"BUTTON", kMailCancel, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL);
        showPage(kMailPageIndex);
    }

    // The boxes of the second place's page, in its rows' order.
    std::array<HWND, 11> remoteBoxes() const {
        return {cboUzakTur_,  txtUzakAdres_, txtUzakKullanici_, txtUzakParola_, txtUzakBolge_,    txtUzakKova_,
                txtUzakOnek_, txtUzakSakla_, txtUzakHiz_,       txtUzakKilit_,  cboUzakKilitTuru_};
    }

    // One page's controls; the mail's page and the second place's each with their own test button.
    void showPage(int page) {
        const int mail = page == kMailPageIndex ? SW_SHOW : SW_HIDE;
        const int watch = page == kWatchPageIndex ? SW_SHOW : SW_HIDE;
        const int remote = page == kRemotePageIndex ? SW_SHOW : SW_HIDE;
        for (HWND control : labels_) ShowWindow(control, mail);
        for (HWND control : {txtSunucu_, txtPort_, udPort_, cboGuvenlik_, txtKullanici_, txtParola_, txtKimden_,
                             txtKime_, cboNe_, cmdDeneme_})
            ShowWindow(control, mail);
        for (HWND control : {watchLabels_[0], txtMetrik_, watchLabels_[1], txtIzleme_}) ShowWindow(control, watch);
        for (HWND control : remoteLabels_) ShowWindow(control, remote);
        for (HWND control : remoteBoxes()) ShowWindow(control, remote);
        ShowWindow(cmdUzakDeneme_, remote);
        const int commands = page == kCommandsPageIndex ? SW_SHOW : SW_HIDE;
        for (HWND control : commandLabels_) ShowWindow(control, commands);
        for (HWND control : {txtOncekiKomut_, txtSonrakiKomut_, cboGolgeKopya_}) ShowWindow(control, commands);
    }

    // Places every control and sizes the dialog for a DPI: each width is measured in the font made
    // for it, so no text is cut off at any scale; margins scale by DPI / 96.
    void layOut(UINT dpi) {
        const auto s = [dpi](int pixelsAt96) { return scaled(pixelsAt96, dpi); };
        HFONT font = makeFont(kFontFamily, kFontPoints, false, false, dpi);
        HWND all[] = {tabSayfa_, txtSunucu_, txtPort_,  udPort_,    cboGuvenlik_,     txtKullanici_,   txtParola_,
                      txtKimden_, txtKime_,  cboNe_,    txtMetrik_, txtIzleme_,       lblCevap_,       cmdDeneme_,
                      cmdTamam_,  cmdVazgec_, watchLabels_[0], watchLabels_[1]};
        for (HWND control : all) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        for (HWND control : labels_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        for (HWND control : remoteLabels_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        for (HWND control : remoteBoxes()) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SendMessageW(cmdUzakDeneme_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        for (HWND control : commandLabels_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        for (HWND control : {txtOncekiKomut_, txtSonrakiKomut_, cboGolgeKopya_})
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (font_) DeleteObject(font_);
        font_ = font;

        HDC dc = GetDC(dialog_);
        HGDIOBJ old = SelectObject(dc, font);
        const auto width = [dc](std::string_view text) {
            const std::wstring wide = widen(text);
            SIZE size{};
            GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
            return static_cast<int>(size.cx);
        };
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        int labelWidth = 0;
        for (std::string_view label : kMailFieldLabels) labelWidth = std::max(labelWidth, width(label));
        for (std::string_view label : kWatchFieldLabels) labelWidth = std::max(labelWidth, width(label));
        int choiceWidth = 0;
        for (const auto& choice : kMailSecurityChoices) choiceWidth = std::max(choiceWidth, width(choice.second));
        for (const auto& choice : kMailWhatChoices) choiceWidth = std::max(choiceWidth, width(choice.second));
        // The second place's page has labels and lists of its own, so the other pages keep their columns.
        int remoteLabelWidth = 0;
        for (std::string_view label : kRemoteFieldLabels) remoteLabelWidth = std::max(remoteLabelWidth, width(label));
        // The commands' page shares the second place's columns.
        for (std::string_view label : kCommandFieldLabels) remoteLabelWidth = std::max(remoteLabelWidth, width(label));
        int remoteChoiceWidth = 0;
        for (const auto& choice : kRemoteKindChoices)
            remoteChoiceWidth = std::max(remoteChoiceWidth, width(choice.second));
        for (const auto& choice : kLockModeChoices)
            remoteChoiceWidth = std::max(remoteChoiceWidth, width(choice.second));
        for (const auto& choice : kShadowCopyChoices)
            remoteChoiceWidth = std::max(remoteChoiceWidth, width(choice.second));
        const int portWidth = width("655350") + s(8);
        const std::array<int, 3> buttonWidths = {
            std::max(s(90), width(kMailTestButton) + s(24)), std::max(s(90), width(kMailOk) + s(24)),
            std::max(s(90), width(kMailCancel) + s(24))};
        const int trialWidth = std::max(s(90), width(kRemoteTestButton) + s(24));
        SelectObject(dc, old);
        ReleaseDC(dialog_, dc);

        const int line = metrics.tmHeight;
        const int margin = s(12), gap = s(10), step = s(8), arrowsWidth = s(17);
        // The lists' text, their arrow and margins; the buttons' row under the fields. Each page's boxes
        // reach the right edge of the widest page.
        const int buttonsWidth =
            std::max(buttonWidths[0], trialWidth) + s(24) + buttonWidths[1] + s(8) + buttonWidths[2];
        const int rowsWidth = std::max({labelWidth + gap + std::max(s(300), choiceWidth + s(40)),
                                        remoteLabelWidth + gap + std::max(s(300), remoteChoiceWidth + s(40)),
                                        buttonsWidth});
        const int fieldWidth = rowsWidth - labelWidth - gap, remoteFieldWidth = rowsWidth - remoteLabelWidth - gap;
        // The pages' rows inside the tab strip's display area, `pad` from its edges.
        const int pad = s(10);
        RECT display{0, 0, s(400), s(400)};
        SendMessageW(tabSayfa_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
        const int rowsX = margin + display.left + pad;
        const int contentWidth = display.left + pad + rowsWidth + pad + (s(400) - display.right);
        const int fieldX = rowsX + labelWidth + gap, remoteFieldX = rowsX + remoteLabelWidth + gap;

        // A closed list is as high as its font makes it: the rows take the higher of it and a box.
        place(cboGuvenlik_, fieldX, 0, fieldWidth, line * 10);
        RECT closed{};
        GetWindowRect(cboGuvenlik_, &closed);
        const int listHeight = closed.bottom - closed.top;
        const int rowHeight = std::max(line + s(6), listHeight);

        const std::array<HWND, 8> boxes = {txtSunucu_, txtPort_,  cboGuvenlik_, txtKullanici_,
                                           txtParola_, txtKimden_, txtKime_,     cboNe_};
        const int rowsY = margin + display.top + pad;
        int y = rowsY;
        for (std::size_t row = 0; row < boxes.size(); ++row) {
            place(labels_[row], rowsX, y, labelWidth, rowHeight);
            HWND box = boxes[row];
            if (box == cboGuvenlik_ || box == cboNe_) {
                // The height given a list is its open height.
                place(box, fieldX, y + (rowHeight - listHeight) / 2, fieldWidth, listHeight + line * 8);
            } else if (box == txtPort_) {
                place(txtPort_, fieldX, y, portWidth, rowHeight);
                place(udPort_, fieldX + portWidth, y, arrowsWidth, rowHeight);
            } else {
                place(box, fieldX, y, fieldWidth, rowHeight);
            }
            y += rowHeight + step;
        }
        const HWND watchBoxes[] = {txtMetrik_, txtIzleme_};
        for (std::size_t row = 0; row < std::size(watchBoxes); ++row) {
            const int rowY = rowsY + static_cast<int>(row) * (rowHeight + step);
            place(watchLabels_[row], rowsX, rowY, labelWidth, rowHeight);
            place(watchBoxes[row], fieldX, rowY, fieldWidth, rowHeight);
        }
        // The second place's page, the longest: the tab strip ends under its last row.
        y = rowsY;
        const std::array<HWND, 11> remote = remoteBoxes();
        for (std::size_t row = 0; row < remote.size(); ++row) {
            place(remoteLabels_[row], rowsX, y, remoteLabelWidth, rowHeight);
            HWND box = remote[row];
            if (box == cboUzakTur_ || box == cboUzakKilitTuru_)
                place(box, remoteFieldX, y + (rowHeight - listHeight) / 2, remoteFieldWidth, listHeight + line * 8);
            else
                place(box, remoteFieldX, y, remoteFieldWidth, rowHeight);
            y += rowHeight + step;
        }
        const HWND commandBoxes[] = {txtOncekiKomut_, txtSonrakiKomut_, cboGolgeKopya_};
        for (std::size_t row = 0; row < std::size(commandBoxes); ++row) {
            const int rowY = rowsY + static_cast<int>(row) * (rowHeight + step);
            place(commandLabels_[row], rowsX, rowY, remoteLabelWidth, rowHeight);
            if (commandBoxes[row] == cboGolgeKopya_)
                place(cboGolgeKopya_, remoteFieldX, rowY + (rowHeight - listHeight) / 2, remoteFieldWidth,
                      listHeight + line * 8);
            else
                place(commandBoxes[row], remoteFieldX, rowY, remoteFieldWidth, rowHeight);
        }
        y += pad - step + (s(400) - display.bottom);
        place(tabSayfa_, margin, margin, contentWidth, y - margin);
        y += s(8);
        place(lblCevap_, margin, y, contentWidth, line * kAnswerLines);
        y += line * kAnswerLines + s(12);
        const int buttonHeight = line + s(14);
        const int right = margin + contentWidth;
        place(cmdDeneme_, margin, y, buttonWidths[0], buttonHeight);
        place(cmdUzakDeneme_, margin, y, trialWidth, buttonHeight);
        place(cmdVazgec_, right - buttonWidths[2], y, buttonWidths[2], buttonHeight);
        place(cmdTamam_, right - buttonWidths[2] - s(8) - buttonWidths[1], y, buttonWidths[1], buttonHeight);

        // The frame as it is at this DPI around the client area the controls need.
        RECT window{}, client{};
        GetWindowRect(dialog_, &window);
        GetClientRect(dialog_, &client);
        SetWindowPos(dialog_, nullptr, 0, 0, right + margin + (window.right - window.left) - client.right,
                     y + buttonHeight + margin + (window.bottom - window.top) - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(dialog_, nullptr, TRUE);
    }

    // Centred over the main window, and within its monitor's work area.
    void placeOverOwner() {
        HWND owner = GetWindow(dialog_, GW_OWNER);
        RECT over{}, self{};
        if (!owner || !GetWindowRect(owner, &over)) return;
        GetWindowRect(dialog_, &self);
        const int w = self.right - self.left, h = self.bottom - self.top;
        LONG x = over.left + (over.right - over.left - w) / 2;
        LONG y = over.top + (over.bottom - over.top - h) / 2;
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
            const RECT& work = monitor.rcWork;
            x = std::clamp(x, work.left, std::max(work.left, work.right - w));
            y = std::clamp(y, work.top, std::max(work.top, work.bottom - h));
        }
        SetWindowPos(dialog_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void onCommand(int id, int code) {
        switch (id) {
            case IDOK:  // "Tamam", or Enter
                save();
                break;
            case IDCANCEL:  // "Vazgeç", Esc or the close box
                EndDialog(dialog_, IDCANCEL);
                break;
            case kIdDeneme:
                if (code == BN_CLICKED) test(calls_.test, kMailSending);
                break;
            case kIdUzakDeneme:
                if (code == BN_CLICKED) test(calls_.trial, kRemoteTesting);
                break;
            case kIdGuvenlik:
                if (code == CBN_SELCHANGE) onSecurityChosen();
                break;
            case kIdPort:
                onPortTyped(code);
                break;
            default:
                break;
        }
    }

    // The port as typed or stepped; a text that is no port yet changes nothing, and leaving the box
    // shows the port again.
    void onPortTyped(int code) {
        if (code == EN_KILLFOCUS) return showPort();
        if (code != EN_CHANGE || settingPort_) return;
        if (const std::optional<int> typed = wholeNumberIn(boxText(txtPort_), kPortLow, kPortHigh)) port_ = *typed;
    }
    void showPort() {
        settingPort_ = true;
        SendMessageW(udPort_, UDM_SETPOS32, 0, port_);  // its buddy shows the number
        settingPort_ = false;
    }

    void onSecurityChosen() {
        const LRESULT index = SendMessageW(cboGuvenlik_, CB_GETCURSEL, 0, 0);
        if (index < 0 || static_cast<std::size_t>(index) >= kMailSecurityChoices.size()) return;
        const MailSecurity next = kMailSecurityChoices[static_cast<std::size_t>(index)].first;
        port_ = portAfterSecurityChange(port_, security_, next);
        security_ = next;
        showPort();
    }

    MailForm current() const {
        MailBoxes boxes;
        boxes.server = boxText(txtSunucu_);
        boxes.port = port_;
        boxes.securityIndex = static_cast<int>(SendMessageW(cboGuvenlik_, CB_GETCURSEL, 0, 0));
        boxes.user = boxText(txtKullanici_);
        boxes.password = boxText(txtParola_);
        boxes.from = boxText(txtKimden_);
        boxes.to = boxText(txtKime_);
        boxes.whatIndex = static_cast<int>(SendMessageW(cboNe_, CB_GETCURSEL, 0, 0));
        boxes.metricsFolder = boxText(txtMetrik_);
        boxes.pingAddress = boxText(txtIzleme_);
        boxes.remoteKindIndex = static_cast<int>(SendMessageW(cboUzakTur_, CB_GETCURSEL, 0, 0));
        boxes.remoteAddress = boxText(txtUzakAdres_);
        boxes.remoteUser = boxText(txtUzakKullanici_);
        boxes.remoteSecret = boxText(txtUzakParola_);
        boxes.remoteRegion = boxText(txtUzakBolge_);
        boxes.remoteBucket = boxText(txtUzakKova_);
        boxes.remotePrefix = boxText(txtUzakOnek_);
        boxes.remoteKeep = boxText(txtUzakSakla_);
        boxes.remoteSpeed = boxText(txtUzakHiz_);
        boxes.remoteLockDays = boxText(txtUzakKilit_);
        boxes.lockModeIndex = static_cast<int>(SendMessageW(cboUzakKilitTuru_, CB_GETCURSEL, 0, 0));
        boxes.commandBefore = boxText(txtOncekiKomut_);
        boxes.commandAfter = boxText(txtSonrakiKomut_);
        boxes.shadowCopyIndex = static_cast<int>(SendMessageW(cboGolgeKopya_, CB_GETCURSEL, 0, 0));
        return mailFormOf(boxes);
    }

    // The mail's test or the second place's trial: one answer line for both, showing the latest's.
    void test(const decltype(MailDialogCalls::test)& call, std::string_view waiting) {
        const int test = ++*latestTest_;
        setAnswer(waiting);
        // The answer comes later, on the window's thread: it counts while the dialog is open and
        // no later test has been started.
        call(current(), [latest = std::weak_ptr<int>(latestTest_), test,
                         answer = lblCevap_](const std::string& text) {
            const std::shared_ptr<int> open = latest.lock();
            if (open && *open == test) SetWindowTextW(answer, answerText(text).c_str());
        });
    }

    void save() {
        const std::string why = calls_.save(current());
        if (why.empty()) {
            EndDialog(dialog_, IDOK);
            return;
        }
        setAnswer(why);
    }

    void setAnswer(std::string_view text) { SetWindowTextW(lblCevap_, answerText(text).c_str()); }

    const MailForm form_;
    const MailDialogCalls calls_;
    HINSTANCE instance_ = nullptr;
    HWND dialog_ = nullptr;
    HWND tabSayfa_ = nullptr;
    std::array<HWND, 8> labels_{};
    std::array<HWND, 2> watchLabels_{};
    HWND txtMetrik_ = nullptr;
    HWND txtIzleme_ = nullptr;
    HWND txtSunucu_ = nullptr;
    HWND txtPort_ = nullptr;
    HWND udPort_ = nullptr;  // txtPort_'s up-down buddy
    HWND cboGuvenlik_ = nullptr;
    HWND txtKullanici_ = nullptr;
    HWND txtParola_ = nullptr;
    HWND txtKimden_ = nullptr;
    HWND txtKime_ = nullptr;
    HWND cboNe_ = nullptr;
    std::array<HWND, 11> remoteLabels_{};
    HWND cboUzakTur_ = nullptr;
    HWND txtUzakAdres_ = nullptr;
    HWND txtUzakKullanici_ = nullptr;
    HWND txtUzakParola_ = nullptr;
    HWND txtUzakBolge_ = nullptr;
    HWND txtUzakKova_ = nullptr;
    HWND txtUzakOnek_ = nullptr;
    HWND txtUzakSakla_ = nullptr;
    HWND txtUzakHiz_ = nullptr;
    HWND txtUzakKilit_ = nullptr;
    HWND cboUzakKilitTuru_ = nullptr;
    std::array<HWND, 3> commandLabels_{};
    HWND txtOncekiKomut_ = nullptr;
    HWND txtSonrakiKomut_ = nullptr;
    HWND cboGolgeKopya_ = nullptr;
    HWND lblCevap_ = nullptr;
    HWND cmdDeneme_ = nullptr;
    HWND cmdUzakDeneme_ = nullptr;  // the second place's "Deneme"
    HWND cmdTamam_ = nullptr;
    HWND cmdVazgec_ = nullptr;
    HFONT font_ = nullptr;
    int port_;  // kept while the box's text is half typed
    MailSecurity security_;
    bool settingPort_ = false;
    // The number of the latest test; gone once the dialog is.
    std::shared_ptr<int> latestTest_ = std::make_shared<int>(0);
};

}  // namespace

void runMailDialog(HINSTANCE instance, HWND owner, const MailForm& form, MailDialogCalls calls) {
    MailDialog dialog(form, std::move(calls));
    dialog.run(instance, owner);
}

}  // namespace zel
