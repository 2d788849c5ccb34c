#include "SocksServers.h"

#include "TestEnv.h"

#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

namespace testsocks {

SocksServer::SocksServer() = default;

SocksServer::~SocksServer() { stop(); }

bool SocksServer::ensureDanteUser(QString* error)
{
    if (!getpwnam(danteUser().toLatin1().constData())) {
        if (geteuid() != 0) {
            *error = QStringLiteral("user %1 missing and not root to create it").arg(danteUser());
            return false;
        }
        const QString useradd = testenv::findProgram("useradd");
        if (useradd.isEmpty()
            || QProcess::execute(useradd, {"-M", "-N", "-s", "/usr/sbin/nologin", danteUser()}) != 0) {
            if (!getpwnam(danteUser().toLatin1().constData())) {
                *error = QStringLiteral("cannot create user %1").arg(danteUser());
                return false;
            }
        }
    }
    if (geteuid() == 0) {
        // Setting the same password again keeps this idempotent.
        QProcess p;
        p.start(testenv::findProgram("chpasswd"), {});
        if (!p.waitForStarted(5000)) {
            *error = QStringLiteral("chpasswd not available");
            return false;
        }
        p.write((danteUser() + ":" + dantePassword() + "\n").toLatin1());
        p.closeWriteChannel();
        if (!p.waitForFinished(10000) || p.exitCode() != 0) {
            *error = QStringLiteral("chpasswd failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
            return false;
        }
    }
    return true;
}

bool SocksServer::startDante(bool withUserAuth, QString* error)
{
    stop();
    const QString danted = testenv::findProgram("danted");
    if (danted.isEmpty()) {
        *error = QStringLiteral("danted not installed");
        return false;
    }
    m_dir = std::make_unique<QTemporaryDir>();
    m_port = testenv::freePort();
    m_log = m_dir->filePath("danted.log");
    const bool root = geteuid() == 0;
    QString conf;
    conf += QStringLiteral("logoutput: %1\n").arg(m_log);
    conf += QStringLiteral("internal: 127.0.0.1 port = %1\n").arg(m_port);
    conf += QStringLiteral("external: 127.0.0.1\n");
    conf += QStringLiteral("clientmethod: none\n");
    conf += withUserAuth ? QStringLiteral("socksmethod: username none\n") : QStringLiteral("socksmethod: none\n");
    if (root) {
        // Checking passwords needs the shadow file: keep root for that.
        conf += QStringLiteral("user.privileged: root\nuser.unprivileged: nobody\n");
    }
    conf += QStringLiteral("client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n");
    conf += QStringLiteral("socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  command: connect\n  protocol: tcp\n}\n");
    QFile f(m_dir->filePath("danted.conf"));
    if (!f.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write dante configuration");
        return false;
    }
    f.write(conf.toLatin1());
    f.close();
    m_proc = std::make_unique<QProcess>();
    m_proc->setProcessChannelMode(QProcess::MergedChannels);
    m_proc->start(danted, {"-f", f.fileName(), "-p", m_dir->filePath("danted.pid"), "-N", "1"});
    return waitUp(error);
}

bool SocksServer::startMicrosocks(const QString& user, const QString& password, QString* error)
{
    stop();
    const QString ms = testenv::findProgram("microsocks");
    if (ms.isEmpty()) {
        *error = QStringLiteral("microsocks not installed");
        return false;
    }
    m_dir = std::make_unique<QTemporaryDir>();
    m_port = testenv::freePort();
    QStringList args {"-i", "127.0.0.1", "-p", QString::number(m_port)};
    if (!user.isEmpty())
        args << "-u" << user << "-P" << password;
    m_proc = std::make_unique<QProcess>();
    m_proc->setProcessChannelMode(QProcess::MergedChannels);
    m_proc->start(ms, args);
    return waitUp(error);
}

bool SocksServer::waitUp(QString* error)
{
    if (!m_proc->waitForStarted(5000)) {
        *error = QStringLiteral("server did not start: ") + m_proc->errorString();
        return false;
    }
    if (!testenv::waitForPort(m_port, 10000)) {
        QFile log(m_log);
        QString text = QString::fromLocal8Bit(m_proc->readAll());
        if (log.open(QIODevice::ReadOnly))
            text += QString::fromLocal8Bit(log.readAll());
        *error = QStringLiteral("server not listening on port %1: %2").arg(m_port).arg(text);
        stop();
        return false;
    }
    return true;
}

void SocksServer::stop()
{
    if (m_proc) {
        if (m_proc->state() != QProcess::NotRunning) {
            // dante's main process takes its children down on SIGTERM.
            m_proc->terminate();
            if (!m_proc->waitForFinished(5000)) {
                m_proc->kill();
                m_proc->waitForFinished(2000);
            }
        }
        m_proc.reset();
    }
    m_dir.reset();
    m_port = 0;
}

} // namespace testsocks
