#pragma once
// Runs the built varnoth-cli once, as a script would, and keeps what it
// printed and how it ended.
#include "TestEnv.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>

struct CliResult {
    int exitCode = -1;  // -2 when it crashed
    QByteArray out, err;
};

inline CliResult runCli(const QStringList& args, int timeoutMs = 60000)
{
    QProcess p;
    p.start(testenv::buildDir() + "/src/cli/varnoth-cli", args);
    p.closeWriteChannel();
    CliResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = "timed out";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// The same while the test's event loop keeps running, for a server that
// lives on it (the scripted fake server).
inline CliResult runCliServing(const QStringList& args, int timeoutMs = 60000)
{
    QProcess p;
    p.start(testenv::buildDir() + "/src/cli/varnoth-cli", args);
    p.closeWriteChannel();
    CliResult r;
    if (!testenv::waitFor([&] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = "timed out";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}
