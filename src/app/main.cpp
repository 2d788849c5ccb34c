// Varnoth: program entry. Shows the About window as a splash while the main
// window is created, then runs the event loop until the main window closes.
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "ui/GuiUserInterface.h"
#include "ui/T_About.h"
#include "ui/T_Main.h"

#include <QApplication>

int main(int argc, char** argv)
{
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
    T_Main main;
    delete splash;
    QObject::connect(&main, &T_Main::Closed, &app, &QCoreApplication::quit);

    const int rc = app.exec();
    setUserInterface(nullptr);
    return rc;
}
