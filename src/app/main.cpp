// Varnoth: program entry. Shows the About window as a splash while the main
// window is created, then runs the event loop until the main window closes.
#include "CommandLine.h"
#include "TerminationSignal.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "ui/FtpLinkStart.h"
#include "ui/GuiUserInterface.h"
#include "ui/T_About.h"
#include "ui/T_Main.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    if (const auto rc = RunInformationOption(argc, argv))
        return *rc;
    TerminationSignal::Install();
    QApplication app(argc, argv);
    // The application name also names the per-user data directory used when
    // the executable's own directory is not writable.
    QApplication::setApplicationName(QStringLiteral("varnoth"));
    QApplication::setApplicationVersion(QStringLiteral(VARNOTH_VERSION));
    InitProgramDir();

    GuiUserInterface dialogs;
    setUserInterface(&dialogs);

    auto* splash = new T_About;
    splash->ShowAsSplash();
    QApplication::setApplicationDisplayName(QStringLiteral("Varnoth"));

    // Quitting follows the main window only (the splash is gone by then).
    app.setQuitOnLastWindowClosed(false);
    // A termination signal during start-up closes the window once it exists.
    TerminationSignal termination;
    T_Main* mainWindow = nullptr;
    bool terminate = false;
    termination.OnSignal = [&] {
        terminate = true;
        if (mainWindow)
            mainWindow->CloseWithoutAsking();
    };
    T_Main main;
    delete splash;
    QObject::connect(&main, &T_Main::Closed, &app, &QCoreApplication::quit);
    mainWindow = &main;
    if (terminate)
        QMetaObject::invokeMethod(&main, &T_Main::CloseWithoutAsking, Qt::QueuedConnection);
    // An ftp:// link on the command line opens a session once the loop runs.
    const QStringList arguments = QApplication::arguments().mid(1);
    QTimer::singleShot(0, &main, [&main, arguments] { OpenLinkArguments(main, arguments); });

    const int rc = app.exec();
    setUserInterface(nullptr);
    return rc;
}
