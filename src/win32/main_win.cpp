// The Windows program: the core's frmMain over the Win32 front end, in one executable.
#include <windows.h>

#include <commctrl.h>

#include "db/odbc_connection.h"
#include "platform/clock.h"
#include "platform/computer_name.h"
#include "platform/native_file_system.h"
#include "platform/process.h"
#include "platform/program_folder.h"
#include "platform/single_instance_win.h"
#include "platform/wide_text_win.h"
#include "win32/message_wait_ops.h"
#include "win32/win32_front_end.h"
#include "window/frmMain.h"

namespace {

std::string localeText(LCTYPE what, const char* fallback) {
    wchar_t buf[80] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, what, buf, 80) <= 0) return fallback;
    return zel::narrow(buf);
}

// The user's regional settings, read once.
zel::LocaleFormats windowsLocaleFormats() {
    zel::LocaleFormats f;
    f.dateSeparator = localeText(LOCALE_SDATE, "/");
    f.timeSeparator = localeText(LOCALE_STIME, ":");
    f.shortDatePattern = localeText(LOCALE_SSHORTDATE, "dd.MM.yyyy");
    return f;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES | ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);

    const std::string programFolder = zel::executableFolder();
    zel::PathMap paths;
    zel::NativeFileSystem files(paths);
    zel::SystemClock clock;
    auto processes = zel::makeNativeProcessOps(paths);
    // The window's waits keep its messages flowing.
    zel::MessageWaitProcessOps windowProcesses(*processes);
    // The program folder, the settings file's: one copy runs per folder on the whole machine.
    zel::Win32SingleInstance single(zel::instanceKeyOfFolder(programFolder));

    zel::Win32FrontEnd view(instance);
    zel::frmMain form({files, clock, windowProcesses, *processes, windowsLocaleFormats(), programFolder,
                       [] { return std::make_unique<zel::OdbcConnection>(); },
                       [] { return zel::GetComputerName(); }, single},
                      view);
    view.attach(form);
    form.Form_Load();
    view.showWindow();
    return view.run();
}
