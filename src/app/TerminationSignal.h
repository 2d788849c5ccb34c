#pragma once
// SIGTERM, SIGINT and SIGHUP (the desktop session ending, Ctrl+C in a
// terminal) end Varnoth the way closing its window does, settings saved,
// instead of killing it mid-write. The signal handler only writes a byte into
// a pipe; the event loop reads it and calls OnSignal.
#include <QObject>
#include <functional>

class QSocketNotifier;

class TerminationSignal : public QObject {
public:
    // Installs the handlers. Call first thing in main: a signal arriving
    // before the event loop runs waits in the pipe.
    static void Install();

    // Watches the pipe from the event loop (a QCoreApplication must exist).
    TerminationSignal();

    // Called from the event loop once per signal.
    std::function<void()> OnSignal;

private:
    void readPipe();
    QSocketNotifier* notifier_ = nullptr;
};
