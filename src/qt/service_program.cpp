#include <QCoreApplication>
#include <sys/stat.h>

#include <QMetaObject>
#include <iostream>

#include "channel/protocol.h"
#include "db/odbc_connection.h"
#include "engine/backup_report.h"
#include "engine/run_log.h"
#include "mail/curl_ping.h"
#include "mail/curl_transport.h"
#include "platform/security/program_trust.h"
#include "platform/system/clock.h"
#include "platform/system/computer_name.h"
#include "platform/system/lock_holder.h"
#include "platform/system/machine_lock.h"
#include "platform/system/system_log.h"
#include "qt/event_wait_ops.h"
#include "qt/interval_timer.h"
#include "qt/program_parts.h"
#include "qt/programs.h"
#include "qt/system_locale.h"
#include "qt/termination_signals.h"
#include "service/service_channel.h"
#include "service/service_host.h"
#include "transport/local_channel.h"
#include "window/frmMain.h"

namespace zel {
namespace {
// Installed with the package, which depends on zip.
constexpr std::string_view kSystemZip = "/usr/bin/zip";

// Never two services on one folder, nor a service beside a copy running alone. The service's own
// lock is one nobody else can hold. The machine-wide lock in /tmp, which a copy running alone
// takes, is a file every user may open: a copy of this program holding it keeps the service from
// starting, and anyone else's hold on it is named in the run log and passed over.
bool takeServiceLocks(const ProgramParts& parts, MachineLock& own, MachineLock& shared, RunLog& log) {
    const auto refuse = [&](const std::string& why) {
        log.write(std::string(kAlreadyRunning) + " Hizmet başlamadı: " + why);
        std::cerr << kAlreadyRunning << " (" << parts.folder << ")\n";
        return false;
    };
    const std::string ownPath = parts.serviceLock();
    if (own.tryLock(ownPath, MachineLock::Access::OwnerOnly) == MachineLock::Outcome::HeldElsewhere)
        return refuse("bu klasörün hizmeti zaten çalışıyor (" + ownPath + ")");
    const std::string sharedPath = "/tmp/" + parts.key + ".lock";
    if (shared.tryLock(sharedPath) != MachineLock::Outcome::HeldElsewhere) return true;
    const std::optional<LockHolder> holder = lockHolder(sharedPath);
    if (!holder) return refuse("kilit tutuluyor, tutan bilinmiyor: " + sharedPath);
    if (holder->program == ownProgram())
        return refuse("bu klasörün programı zaten çalışıyor (" + lockHolderText(*holder) + ")");
    log.write("Kilit başka bir program tarafından tutuluyor: " + sharedPath + " (" + lockHolderText(*holder) +
              "); hizmet yine de başlıyor");
    return true;
}

}  // namespace

int runServiceProgram(int argc, char* argv[]) {
    // The archives hold files that only root may read: nobody else may read them, however the
    // service was started.
    ::umask(077);
    // No display: QCoreApplication, not QApplication.
    QCoreApplication app(argc, argv);
    ProgramParts parts;

    NativeFileSystem files(parts.paths);
    SystemClock clock;
    MachineLock ownLock, sharedLock;
    {
        RunLog startLog(files, clock, parts.folder + "\\" + std::string(kRunLogName));
        if (!takeServiceLocks(parts, ownLock, sharedLock, startLog)) return 1;
    }
    auto processes = makeNativeProcessOps(parts.paths);
    // Waits for zip let the channel's messages and the timers through.
    EventWaitProcessOps runProcesses(*processes);
    const std::unique_ptr<SystemLog> systemLog = openSystemLog(SystemLogUse::Service);
    const std::unique_ptr<MailTransport> mail = programMailTransport();

    // Root runs only what root alone can change: the system's zip, and a shutdown utility whose
    // folders nobody else may write.
    ServiceHost host(
        {MachineServices{files, clock, runProcesses, *processes, systemLocaleFormats(), parts.folder,
                         [] { return std::make_unique<OdbcConnection>(); }, [] { return GetComputerName(); },
                         std::string(kSystemZip),
                         [&parts](const std::string& program) { return untrustedWriters(parts.paths.native(program)); },
                         systemLog.get(), mail.get(), PasswordScope::Machine, curlPingSend(), true, {},
                         [&parts](const std::string& program) { return untrustedWriters(parts.paths.native(program)); }},
         std::string(kProgramVersion),
         [&app](std::function<void()> call) {
             QMetaObject::invokeMethod(&app, std::move(call), Qt::QueuedConnection);
         },
         [] { QCoreApplication::processEvents(); }, peerAccess});

    const std::string path = parts.serviceChannel();
    ServiceChannel channel(
        host,
        [&path](ChannelServer::Events events, std::string& error) {
            std::unique_ptr<ChannelServer> server = listenOnChannel(path, std::move(events), error);
            if (!server) error = path + ": " + error;
            return server;
        },
        [&host](const std::string& line) { host.log(line); });
    host.start();
    channel.keepOpen();

    IntervalTimer clockTimer(0);
    clockTimer.setSecondAligned(true);  // drift must never skip the second a slot is due in
    QObject::connect(&clockTimer, &IntervalTimer::tick, [&host] { host.clockTick(); });
    clockTimer.setInterval(1000);
    IntervalTimer pollTimer(0);
    QObject::connect(&pollTimer, &IntervalTimer::tick, [&host, &channel] {
        channel.keepOpen();
        host.pollTick();
    });
    pollTimer.setInterval(10000);

    TerminationSignals termination(true);
    QObject::connect(&termination, &TerminationSignals::caught, &app, [&] {
        clockTimer.setInterval(0);
        pollTimer.setInterval(0);
        host.stop();
        channel.close();
        // A zip still running was ended by the stop, as at the end of a session.
        std::_Exit(0);
    });
    return app.exec();
}

}  // namespace zel
