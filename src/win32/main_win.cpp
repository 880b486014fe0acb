// The Windows program: the core's frmMain over the Win32 front end, in one executable; also the
// service ZELYedek, its window client and the command line's state and run.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

#include "channel/protocol.h"
#include "db/odbc_connection.h"
#include "mail/curl_ping.h"
#include "mail/curl_transport.h"
#include "platform/files/native_file_system.h"
#include "platform/files/program_folder.h"
#include "platform/files/share_session.h"
#include "platform/files/shadow_copy_ops.h"
#include "platform/security/elevation.h"
#include "platform/security/program_trust.h"
#include "platform/processes/process.h"
#include "platform/system/clock.h"
#include "platform/system/computer_name.h"
#include "platform/system/single_instance_win.h"
#include "platform/system/system_log.h"
#include "platform/system/wide_text_win.h"
#include "service/channel_connector.h"
#include "service/channel_path.h"
#include "service/shell_command.h"
#include "service/start_mode.h"
#include "service/window_client.h"
#include "win32/elevated_successor.h"
#include "win32/message_wait_ops.h"
#include "win32/parent_console.h"
#include "win32/service_win.h"
#include "win32/win32_front_end.h"
#include "win32/windows_locale.h"
#include "window/frmMain.h"

namespace {

std::vector<std::string> commandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    if (LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) arguments.push_back(zel::narrow(words[i]));
        LocalFree(words);
    }
    return arguments;
}

bool hasArgument(const std::vector<std::string>& arguments, std::string_view name) {
    for (const std::string& a : arguments)
        if (a == "/" + std::string(name) || a == "--" + std::string(name)) return true;
    return false;
}

constexpr const wchar_t* kServiceRunsHere = L"Bu makinede ZEL Yedek hizmeti çalışıyor; bu kopya kapanıyor.";

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const std::vector<std::string> arguments = commandLineArguments();
    const zel::StartMode mode = zel::startModeFrom({arguments.begin(), arguments.end()});
    if (mode == zel::StartMode::Service) return zel::runWindowsService();

    const std::string programFolder = zel::executableFolder();
    const std::string key = zel::instanceKeyOfFolder(programFolder);
    const zel::ChannelConnector connector = zel::channelConnector({zel::pipeChannelPath(key)});
    if (mode == zel::StartMode::Status || mode == zel::StartMode::Run) {
        const zel::ParentConsole console;
        return zel::runShellCommand(
            mode == zel::StartMode::Run ? zel::ClientRole::Run : zel::ClientRole::Status,
            std::string(zel::kProgramVersion), connector,
            [&console](std::string_view text) { console.out(text); },
            [&console](std::string_view text) { console.err(text); });
    }

    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_DATE_CLASSES | ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);

    // The service of this folder answering makes this window its client; /pencere always is one.
    bool client = mode == zel::StartMode::Window;
    if (!client) {
        std::string error;
        client = connector({[](std::string) {}, [](const std::string&) {}}, error) != nullptr ||
                 error == zel::kChannelRefused;
    }
    // The machine's service backs up other folders: a copy of its own beside it would make two
    // programs back up what is likely the same data.
    if (!client && zel::machineServiceRunning()) {
        MessageBoxW(nullptr, kServiceRunsHere, L"", MB_ICONEXCLAMATION | MB_OK);
        return 0;
    }

    zel::PathMap paths;
    zel::NativeFileSystem files(paths);
    zel::SystemClock clock;
    auto processes = zel::makeNativeProcessOps(paths);
    // The window's waits keep its messages flowing.
    zel::MessageWaitProcessOps windowProcesses(*processes);
    const std::unique_ptr<zel::SystemLog> systemLog = zel::openSystemLog(zel::SystemLogUse::Session);
    const std::unique_ptr<zel::MailTransport> mail = zel::programMailTransport();
    // Alone: one copy per program folder on the whole machine. A client: one window per session,
    // beside the service that holds the machine's lock.
    zel::Win32SingleInstance single(
        client ? key + "-pencere" : key,
        client ? zel::Win32SingleInstance::Scope::Session : zel::Win32SingleInstance::Scope::Machine);
    // A watcher's window started this one elevated: once it reaches the service it asks the watcher
    // to make way, where another window would give way itself. The argument grants nothing more.
    std::unique_ptr<zel::TakingOverInstance> takingOver;
    if (client && hasArgument(arguments, zel::kTakeOverArgument)) {
        std::string error;
        if (connector({[](std::string) {}, [](const std::string&) {}}, error))
            takingOver = std::make_unique<zel::TakingOverInstance>(single);
    }
    zel::SingleInstance& claim = takingOver ? static_cast<zel::SingleInstance&>(*takingOver) : single;

    zel::Win32FrontEnd view(instance);
    zel::ElevatedSuccessor successor;
    std::unique_ptr<zel::WindowClient> service;
    const std::unique_ptr<zel::ShadowCopyOps> shadowCopies = zel::makeNativeShadowCopyOps();
    std::unique_ptr<zel::frmMain> form;
    if (client) {
        service = std::make_unique<zel::WindowClient>(std::string(zel::kProgramVersion), connector, view);
        form = std::make_unique<zel::frmMain>(claim, view, *service);
        service->setRunCalls([&form] { form->restoreWindow(); }, [&form] { form->setWindowState(1); });
        // A watcher starts an administrator's window, and ends only for that very process.
        view.setSettingsRequest([&successor, &view] { successor.start(view.handle()); });
        single.setHandOverRequest([&successor, &form](unsigned long pid) {
            if (successor.is(pid)) form->mnuExit_Click();
        });
    } else {
        form = std::make_unique<zel::frmMain>(
            zel::FrmMainServices{{files, clock, windowProcesses, *processes, zel::windowsLocaleFormats(),
                                  programFolder, [] { return std::make_unique<zel::OdbcConnection>(); },
                                  [] { return zel::GetComputerName(); }, {}, {}, systemLog.get(), mail.get(), zel::PasswordScope::User, zel::curlPingSend(), false,
                                  zel::connectShare,
                                  [](const std::string& program) { return zel::untrustedWriters(program); },
                                  shadowCopies.get(), zel::runsElevated()},
                                 single},
            view);
    }
    view.attach(*form);
    form->Form_Load();
    view.showWindow();
    return view.run();
}
