#pragma once
// Runs the built varnoth-cli once, as a script would, and keeps what it
// printed and how it ended; the files it read and wrote.
#include "ProcessRun.h"
#include "TestEnv.h"
#include "TestFiles.h"

#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

using CliResult = ProcessRun;

inline QByteArray fileBytes(const QString& path) { return testfiles::bytes(path); }
inline void putFile(const QString& path, const QByteArray& bytes) { testfiles::write(path, bytes); }

inline QString cliPath() { return testenv::buildDir() + "/src/cli/varnoth-cli"; }

inline CliResult runCli(const QStringList& args, int timeoutMs = 60000)
{
    ProcessOptions o;
    o.timeoutMs = timeoutMs;
    return runProcess(cliPath(), args, o);
}

// The same while the test's event loop keeps running, for a server that
// lives on it (the scripted fake server).
inline CliResult runCliServing(const QStringList& args, int timeoutMs = 60000)
{
    ProcessOptions o;
    o.serving = true;
    o.timeoutMs = timeoutMs;
    return runProcess(cliPath(), args, o);
}
inline CliResult runCliServing(const QStringList& args, const QProcessEnvironment& env)
{
    ProcessOptions o;
    o.env = env;
    o.serving = true;
    return runProcess(cliPath(), args, o);
}

// The environment of a run that must not see the caller's: no password or
// program directory inherited, and a home directory of the test's own (no
// ~/.netrc).
class CliEnv {
public:
    CliEnv()
    {
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.remove("VARNOTH_PASSWORD");
        m_env.remove("VARNOTH_PROGRAM_DIR");
        m_env.insert("HOME", m_home.path());
    }
    QString home() const { return m_home.path(); }
    QProcessEnvironment env(const QStringList& extra = {}) const { return environmentWith(extra, m_env); }

private:
    QTemporaryDir m_home;
    QProcessEnvironment m_env;
};
