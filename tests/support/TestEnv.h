#pragma once
// Small helpers shared by every test: temporary directories, free loopback
// ports, locating external programs and the rule for missing servers.
#include <QString>
#include <QStringList>
#include <functional>

namespace testenv {

// Absolute path of the source tree and of the build tree.
QString sourceDir();
QString buildDir();

// A loopback TCP port that nothing listens on right now.
quint16 freePort();

// Full path of an executable (searched in PATH, /usr/sbin, /sbin), or empty.
QString findProgram(const QString& name);

// Debian's own python3 (the one the python3-* packages install into).
QString systemPython();

// True when running under CI (CI=true): a missing server is then a failure.
bool underCi();

// Waits, pumping the Qt event loop, until pred() holds or timeoutMs passes.
bool waitFor(const std::function<bool()>& pred, int timeoutMs = 5000);

// Waits until something accepts TCP connections on 127.0.0.1:port.
bool waitForPort(quint16 port, int timeoutMs = 10000);

// Delivers at once every event already posted in this thread (queued calls
// included, and those they post in turn) and runs the pending deleteLater()s.
// After a concrete event a test has waited for, this shows that nothing
// posted before it is still on its way, with no sleep.
void deliverPostedEvents();

} // namespace testenv

// Runs call, a server start that takes &why (a QString it declares): when
// the start fails, the test is skipped with the reason, or fails under CI.
#define START_OR_SKIP(call)                                  \
    do {                                                     \
        QString why;                                         \
        if (!(call)) {                                       \
            if (testenv::underCi())                          \
                FAIL() << why.toStdString();                 \
            GTEST_SKIP() << why.toStdString();               \
        }                                                    \
    } while (0)

// Skips the test when a required program is absent, or fails it under CI.
#define REQUIRE_PROGRAM(var, name)                                                   \
    const QString var = testenv::findProgram(name);                                  \
    if (var.isEmpty()) {                                                             \
        if (testenv::underCi()) FAIL() << "required program missing: " << (name);    \
        else GTEST_SKIP() << "program not installed: " << (name);                    \
    }
