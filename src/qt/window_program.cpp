#include <QApplication>

#include "channel/protocol.h"
#include "db/odbc_connection.h"
#include "mail/curl_ping.h"
#include "mail/curl_transport.h"
#include "platform/security/program_trust.h"
#include "platform/system/clock.h"
#include "platform/system/computer_name.h"
#include "qt/app_icon.h"
#include "qt/event_wait_ops.h"
#include "qt/local_single_instance.h"
#include "qt/program_parts.h"
#include "qt/programs.h"
#include "qt/qt_front_end.h"
#include "qt/system_locale.h"
#include "qt/termination_signals.h"
#include "qt/toolkit.h"
#include "qt/tray.h"
#include "service/channel_connector.h"
#include "service/window_client.h"
#include "window/frmMain.h"

namespace zel {

int runWindowProgram(int argc, char* argv[], StartMode mode) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZEL Yedek"));
    // Hidden in the tray is the program's normal life: closing the window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    ProgramParts parts;
    const ChannelConnector connector = channelConnector(parts.clientChannels());
    // A service of this folder that answers makes this window its client; so does --pencere,
    // which waits for the service instead of running alone.
    bool client = mode == StartMode::Window;
    if (!client) {
        std::string error;
        // A service that is there but refuses this user is still the service: its window says so.
        client = connector({[](std::string) {}, [](const std::string&) {}}, error) != nullptr ||
                 error == kChannelRefused;
    }

    NativeFileSystem files(parts.paths);
    SystemClock clock;
    auto processes = makeNativeProcessOps(parts.paths);
    // The window's waits keep its events flowing.
    EventWaitProcessOps windowProcesses(*processes);
    const std::unique_ptr<SystemLog> systemLog = openSystemLog(SystemLogUse::Session);
    const std::unique_ptr<MailTransport> mail = programMailTransport();

    SystemTray tray(appIcon());
    const QString key = QString::fromStdString(parts.key);
    // Alone: one copy per program folder on the whole machine, whoever starts it. A client: one
    // window per user session, beside the service that holds the machine's lock.
    LocalSingleInstance instance(client ? LocalSingleInstance::userRuntimeFolder() : QStringLiteral("/tmp"),
                                 LocalSingleInstance::userRuntimeFolder(),
                                 client ? key + QStringLiteral("-pencere") : key);

    QtFrontEnd view(tray, [] { endProgramNow(); });
    std::unique_ptr<WindowClient> service;
    std::unique_ptr<frmMain> form;
    if (client) {
        service = std::make_unique<WindowClient>(std::string(kProgramVersion), connector, view);
        form = std::make_unique<frmMain>(instance, view, *service);
        service->setRunCalls([&form] { form->restoreWindow(); }, [&form] { form->setWindowState(1); });
    } else {
        form = std::make_unique<frmMain>(
            FrmMainServices{{files, clock, windowProcesses, *processes, systemLocaleFormats(), parts.folder,
                             [] { return std::make_unique<OdbcConnection>(); },
                             [] { return GetComputerName(); }, {}, {}, systemLog.get(), mail.get(), PasswordScope::User, curlPingSend(),
                             false, {},
                             [&parts](const std::string& program) { return untrustedWriters(parts.paths.native(program)); }},
                            instance},
            view);
    }
    view.attach(*form);
    // A shutdown or kill: the same end as the session manager's.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::caught, &view, [&view] { view.endSession(); });
    form->Form_Load();
    view.showWindow();
    const int rc = app.exec();
    view.detach();
    return rc;
}

}  // namespace zel
