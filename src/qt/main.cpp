#include <QApplication>

#include "db/odbc_connection.h"
#include "platform/clock.h"
#include "platform/computer_name.h"
#include "platform/native_file_system.h"
#include "platform/process.h"
#include "platform/program_folder.h"
#include "qt/app_icon.h"
#include "qt/event_wait_ops.h"
#include "qt/local_single_instance.h"
#include "qt/qt_front_end.h"
#include "qt/system_locale.h"
#include "qt/termination_signals.h"
#include "qt/toolkit.h"
#include "qt/tray.h"
#include "window/frmMain.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZEL Yedek"));
    // Hidden in the tray is the program's normal life: closing the window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // Drive letters map to folders under "drives" beside the executable.
    const std::string programFolder = zel::executableFolder();
    zel::PathMap paths(programFolder + "/drives");
    zel::NativeFileSystem files(paths);
    zel::SystemClock clock;
    auto processes = zel::makeNativeProcessOps(paths);
    // The window's waits keep its events flowing.
    zel::EventWaitProcessOps windowProcesses(*processes);

    zel::SystemTray tray(zel::appIcon());
    // One copy per program folder on the whole machine, whoever starts it.
    zel::LocalSingleInstance instance(QStringLiteral("/tmp"), zel::LocalSingleInstance::userRuntimeFolder(),
                                      QString::fromStdString(zel::instanceKey(programFolder)));

    zel::QtFrontEnd view(tray, [] { zel::endProgramNow(); });
    zel::frmMain form({files, clock, windowProcesses, *processes, zel::systemLocaleFormats(), programFolder,
                       [] { return std::make_unique<zel::OdbcConnection>(); },
                       [] { return zel::GetComputerName(); }, instance},
                      view);
    view.attach(form);
    // A shutdown or kill: the same end as the session manager's.
    zel::TerminationSignals termination;
    QObject::connect(&termination, &zel::TerminationSignals::caught, &view, [&view] { view.endSession(); });
    form.Form_Load();
    view.showWindow();
    const int rc = app.exec();
    view.detach();
    return rc;
}
