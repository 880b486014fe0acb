#include "win32/service_win.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "channel/protocol.h"
#include "db/odbc_connection.h"
#include "engine/schedule.h"
#include "mail/curl_ping.h"
#include "mail/curl_transport.h"
#include "platform/files/native_file_system.h"
#include "platform/files/program_folder.h"
#include "platform/files/shadow_copy_ops.h"
#include "platform/files/share_session.h"
#include "platform/processes/process.h"
#include "platform/security/program_trust.h"
#include "platform/system/clock.h"
#include "platform/system/computer_name.h"
#include "platform/system/single_instance_win.h"
#include "platform/system/system_log.h"
#include "service/channel_path.h"
#include "service/service_channel.h"
#include "service/service_host.h"
#include "transport/local_channel.h"
#include "win32/message_wait_ops.h"
#include "win32/windows_locale.h"

namespace zel {
namespace {

constexpr UINT kPostedCall = WM_APP + 2;
constexpr UINT_PTR kClockTimer = 2;
constexpr UINT_PTR kPollTimer = 5;
// How long the manager is told to wait for a start (settings, the pipe) or a stop (a record's 3 s).
constexpr DWORD kPendingHintMs = 15000;

// What the manager knows of the service; ServiceMain has no context of its own to carry it.
SERVICE_STATUS_HANDLE statusHandle = nullptr;

void report(DWORD state, DWORD exitCode = NO_ERROR, DWORD specificCode = 0) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN
                                 : 0;
    status.dwWin32ExitCode = specificCode ? ERROR_SERVICE_SPECIFIC_ERROR : exitCode;
    status.dwServiceSpecificExitCode = specificCode;
    static DWORD checkPoint = 0;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwCheckPoint = pending ? ++checkPoint : 0;
    status.dwWaitHint = pending ? kPendingHintMs : 0;
    if (statusHandle) SetServiceStatus(statusHandle, &status);
}

// The service thread's own message-only window: calls posted from other threads, and the clock
// and poll timers that the window program's Timer2 and Timer5 are.
class ServiceLoop {
public:
    ServiceLoop() {
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = &ServiceLoop::proc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"ZelYedekService";
        RegisterClassExW(&cls);
        window_ = CreateWindowExW(0, cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  cls.hInstance, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ServiceLoop() { DestroyWindow(window_); }

    void post(std::function<void()> call) {
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(std::move(call));
        }
        PostMessageW(window_, kPostedCall, 0, 0);
    }

    void startTimers(std::function<void()> onClock, std::function<void()> onPoll) {
        onClock_ = std::move(onClock);
        onPoll_ = std::move(onPoll);
        armClock();
        SetTimer(window_, kPollTimer, 10000, nullptr);
    }
    void stopTimers() {
        KillTimer(window_, kClockTimer);
        KillTimer(window_, kPollTimer);
    }

private:
    // Just past each start of a second, so that drift never skips the second a slot is due in.
    void armClock() {
        static const std::int64_t clockStep = measuredClockStepMicros();
        SetTimer(window_, kClockTimer, static_cast<UINT>(msToNextSecondTick(realTimeMicros(), clockStep)),
                 nullptr);
    }

    void runPosted() {
        std::deque<std::function<void()>> calls;
        {
            std::lock_guard lock(mutex_);
            calls.swap(calls_);
        }
        for (auto& call : calls) call();
    }

    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ServiceLoop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == kPostedCall) {
            self->runPosted();
            return 0;
        }
        if (self && message == WM_TIMER && wParam == kClockTimer) {
            self->armClock();
            if (self->onClock_) self->onClock_();
            return 0;
        }
        if (self && message == WM_TIMER && wParam == kPollTimer) {
            if (self->onPoll_) self->onPoll_();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    std::mutex mutex_;
    std::deque<std::function<void()>> calls_;
    std::function<void()> onClock_;
    std::function<void()> onPoll_;
};

// The one loop of the running service, for the manager's stop requests.
ServiceLoop* runningLoop = nullptr;
std::function<void()> stopService;

DWORD WINAPI control(DWORD code, DWORD, void*, void*) {
    switch (code) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
        case SERVICE_CONTROL_PRESHUTDOWN:
            report(SERVICE_STOP_PENDING);
            // On the service's thread, also in the middle of a run: the run's waits let it through.
            if (runningLoop) runningLoop->post([] { stopService(); });
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// Service-specific exit codes, for `sc query` and the event log.
enum : DWORD { kLockHeld = 1 };

void WINAPI serviceMain(DWORD, LPWSTR*) {
    statusHandle = RegisterServiceCtrlHandlerExW(kServiceName, &control, nullptr);
    if (!statusHandle) return;
    report(SERVICE_START_PENDING);

    const std::string folder = executableFolder();
    const std::string key = instanceKeyOfFolder(folder);
    // The folder's machine-wide lock: a copy that runs alone from it keeps the service out.
    std::optional<Win32SingleInstance> lock(std::in_place, key);
    if (!lock->claim([] {})) {
        report(SERVICE_STOPPED, NO_ERROR, kLockHeld);
        return;
    }

    PathMap paths;
    NativeFileSystem files(paths, true);
    SystemClock clock;
    auto processes = makeNativeProcessOps(paths);
    // The waits for zip let the pipe's messages and the stop request through.
    MessageWaitProcessOps runProcesses(*processes);
    const std::unique_ptr<SystemLog> systemLog = openSystemLog(SystemLogUse::Service);
    const std::unique_ptr<MailTransport> mail = programMailTransport();
    ServiceLoop loop;
    const std::unique_ptr<ShadowCopyOps> shadowCopies = makeNativeShadowCopyOps();
    // LocalSystem runs only what administrators alone can change: the zip.exe installed beside
    // the service, and a shutdown utility whose folders nobody else may write.
    ServiceHost host(
        {MachineServices{files, clock, runProcesses, *processes, windowsLocaleFormats(), folder,
                         [] { return std::make_unique<OdbcConnection>(); }, [] { return GetComputerName(); },
                         folder + "\\zip.exe", [](const std::string& program) { return untrustedWriters(program); },
                         systemLog.get(), mail.get(), PasswordScope::Machine, curlPingSend(), true, connectShare,
                         [](const std::string& program) { return untrustedWriters(program); }, shadowCopies.get(),
                         true},
         std::string(kProgramVersion), [&loop](std::function<void()> call) { loop.post(std::move(call)); },
         [] { pumpWaitingMessages(); }, peerAccess});
    // Without its pipe the service still backs up; every poll tries the pipe again.
    ServiceChannel channel(
        host,
        [&key](ChannelServer::Events events, std::string& error) {
            return listenOnChannel(pipeChannelPath(key), std::move(events), error);
        },
        [&host](const std::string& line) { host.log(line); });
    host.start();
    channel.keepOpen();

    stopService = [&] {
        loop.stopTimers();
        host.stop();
        channel.close();
        // Let go before the manager hears of the stop: a restart that follows at once (an upgrade
        // does one) must not find the folder still held by this process on its way out.
        lock.reset();
        report(SERVICE_STOPPED);
        // A zip still running was ended by the stop, as at the end of a session.
        ExitProcess(0);
    };
    runningLoop = &loop;
    loop.startTimers([&host] { host.clockTick(); },
                     [&host, &channel] {
                         channel.keepOpen();
                         host.pollTick();
                     });
    report(SERVICE_RUNNING);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

int runWindowsService() {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(kServiceName), &serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}

bool machineServiceRunning() {
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return false;
    bool running = false;
    if (const SC_HANDLE service = OpenServiceW(manager, kServiceName, SERVICE_QUERY_STATUS)) {
        SERVICE_STATUS status{};
        running = QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return running;
}

}  // namespace zel
