#pragma once
// What the engine benchmarks share: a user that is never there (existing
// targets are overwritten, questions answered at once) and a wait on the
// real event loop.
#include "session/UserInterface.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace benchsupport {

class Unattended final : public IUserInterface {
public:
    // boxAnswer: what every message box returns.
    explicit Unattended(int boxAnswer) : boxAnswer_(boxAnswer) {}
    int ShowMessageBox(const QString& text, const QString&, int) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return boxAnswer_;
    }
    bool InputLine(const QString&, const QString&, QString&, bool, int) override { return false; }
    int AskReWrite(QString&) override { return overwrite::Overwrite; }
    // The TLS benchmark's server has a certificate of its own making.
    int AskCertificate(const TTlsCertificateInfo&) override
    {
        return qEnvironmentVariableIsSet("VARNOTH_BENCH_ACCEPT_CERT") ? certanswer::AcceptOnce : certanswer::Reject;
    }

private:
    int boxAnswer_;
};

// Runs the event loop until done() holds (looked at every few milliseconds)
// or timeoutMs have passed; true when done() held. A real event loop sleeps
// between events, where processEvents with a time limit would spin.
inline bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(5);
    QTimer::singleShot(timeoutMs, &loop, [&] { loop.exit(1); });
    return loop.exec() == 0;
}

} // namespace benchsupport
