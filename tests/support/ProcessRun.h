#pragma once
// Runs a program to its end, as a script would, and keeps what it printed
// and how it ended: varnoth-cli, and the outside tools tests look through.
#include "TestEnv.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

struct ProcessRun {
    int exitCode = -1;  // -2 when it crashed
    QByteArray out, err;
};

struct ProcessOptions {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QByteArray input;      // its standard input, closed after these bytes
    bool serving = false;  // the test's event loop keeps running meanwhile (a server that lives on it)
    int timeoutMs = 60000;
};

inline ProcessRun runProcess(const QString& program, const QStringList& args, const ProcessOptions& o = {})
{
    QProcess p;
    p.setProcessEnvironment(o.env);
    p.start(program, args);
    p.write(o.input);
    p.closeWriteChannel();
    ProcessRun r;
    const bool ended = o.serving
        ? testenv::waitFor([&] { return p.state() == QProcess::NotRunning; }, o.timeoutMs)
        : p.waitForFinished(o.timeoutMs);
    if (!ended) {
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

// base with the given NAME=value entries added or replaced.
inline QProcessEnvironment environmentWith(const QStringList& extra,
                                           QProcessEnvironment base = QProcessEnvironment::systemEnvironment())
{
    for (const QString& kv : extra)
        base.insert(kv.section('=', 0, 0), kv.section('=', 1));
    return base;
}
