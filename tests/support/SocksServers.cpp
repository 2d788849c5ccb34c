#include "SocksServers.h"

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>

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

namespace {

// Runs a short tool to its end; false (with its output) when it fails.
bool runTool(const QString& program, const QStringList& args, QString* output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    *output = QString::fromLocal8Bit(p.readAll()).trimmed();
    return ok;
}

} // namespace

bool SocksServer::startOpenSsh(QString* error)
{
    stop();
    const QString sshd = testenv::findProgram("sshd");
    const QString ssh = testenv::findProgram("ssh");
    const QString keygen = testenv::findProgram("ssh-keygen");
    if (sshd.isEmpty() || ssh.isEmpty() || keygen.isEmpty()) {
        *error = QStringLiteral("OpenSSH not installed (sshd from openssh-server; ssh and ssh-keygen from openssh-client)");
        return false;
    }
    const passwd* me = getpwuid(geteuid());
    if (!me) {
        *error = QStringLiteral("the current user has no account entry for sshd to log in to");
        return false;
    }
    const QString user = QString::fromLocal8Bit(me->pw_name);
    m_dir = std::make_unique<QTemporaryDir>();
    const QString hostKey = m_dir->filePath("host_key");
    const QString clientKey = m_dir->filePath("client_key");
    QString out;
    for (const QString& key : {hostKey, clientKey}) {
        if (!runTool(keygen, {"-q", "-t", "ed25519", "-N", "", "-C", "varnoth-test", "-f", key}, &out)) {
            *error = QStringLiteral("ssh-keygen failed: ") + out;
            return false;
        }
    }
    const QString authorized = m_dir->filePath("authorized_keys");
    {
        QFile pub(clientKey + ".pub");
        QFile keys(authorized);
        if (!pub.open(QIODevice::ReadOnly) || !keys.open(QIODevice::WriteOnly) || keys.write(pub.readAll()) <= 0) {
            *error = QStringLiteral("cannot write the authorized key");
            return false;
        }
    }
    // sshd insists on its privilege separation directory, even for one test.
    if (geteuid() == 0 && !QDir().mkpath(QStringLiteral("/run/sshd"))) {
        *error = QStringLiteral("cannot create /run/sshd");
        return false;
    }
    const quint16 sshdPort = testenv::freePort();
    const QString config = m_dir->filePath("sshd_config");
    {
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly)) {
            *error = QStringLiteral("cannot write the sshd configuration");
            return false;
        }
        // AddressFamily also applies to the forwarded connections: a name
        // resolves to its IPv4 address, where the test servers listen.
        f.write(QStringLiteral("Port %1\nListenAddress 127.0.0.1\nAddressFamily inet\nHostKey %2\nPidFile %3\n"
                               "AuthorizedKeysFile %4\nStrictModes no\nUsePAM no\nPubkeyAuthentication yes\n"
                               "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                               "PermitRootLogin prohibit-password\nAllowTcpForwarding yes\nPermitOpen any\n"
                               "X11Forwarding no\nPrintMotd no\nLogLevel DEBUG1\n")
                    .arg(sshdPort)
                    .arg(hostKey, m_dir->filePath("sshd.pid"), authorized)
                    .toLocal8Bit());
    }
    if (!runTool(sshd, {"-t", "-f", config}, &out)) {
        *error = QStringLiteral("sshd refuses its test configuration: ") + out;
        return false;
    }
    // Logs go to files: a pipe that nobody reads while a test waits for a
    // child program would fill and stall the proxy.
    m_sshd = std::make_unique<QProcess>();
    m_sshd->setProcessChannelMode(QProcess::MergedChannels);
    m_sshd->setStandardOutputFile(m_dir->filePath("sshd.log"));
    m_sshd->start(sshd, {"-D", "-e", "-f", config});
    if (!m_sshd->waitForStarted(5000) || !testenv::waitForPort(sshdPort, 10000)) {
        *error = QStringLiteral("sshd not listening on port %1: %2").arg(sshdPort).arg(log());
        stop();
        return false;
    }

    m_port = testenv::freePort();
    m_proc = std::make_unique<QProcess>();
    m_proc->setProcessChannelMode(QProcess::MergedChannels);
    m_proc->setStandardOutputFile(m_dir->filePath("ssh.log"));
    m_proc->start(ssh, {"-N", "-vv", "-F", "/dev/null", "-i", clientKey, "-p", QString::number(sshdPort),
                        "-D", QStringLiteral("127.0.0.1:%1").arg(m_port),
                        "-o", "StrictHostKeyChecking=no", "-o", "UserKnownHostsFile=/dev/null",
                        "-o", "BatchMode=yes", "-o", "IdentitiesOnly=yes", "-o", "ExitOnForwardFailure=yes",
                        user + "@127.0.0.1"});
    if (!m_proc->waitForStarted(5000)) {
        *error = QStringLiteral("ssh did not start: ") + m_proc->errorString();
        stop();
        return false;
    }
    // Up once the SOCKS port accepts; a client that gave up (login refused,
    // port taken) has exited by then and says why.
    const bool up = testenv::waitFor([&] {
        if (m_proc->state() == QProcess::NotRunning)
            return true;
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        return probe.waitForConnected(200);
    }, 20000);
    if (!up || m_proc->state() == QProcess::NotRunning) {
        *error = QStringLiteral("ssh -D did not open SOCKS port %1: %2").arg(m_port).arg(log());
        stop();
        return false;
    }
    return true;
}

QString SocksServer::log()
{
    QString text;
    if (m_proc && m_proc->isReadable())
        m_output += QString::fromLocal8Bit(m_proc->readAll());
    text = m_output;
    if (m_dir)
        for (const char* name : {"ssh.log", "sshd.log", "danted.log"}) {
            QFile f(m_dir->filePath(QString::fromLatin1(name)));
            if (f.open(QIODevice::ReadOnly))
                text += QString::fromLocal8Bit(f.readAll());
        }
    return text;
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
    // The SOCKS process first: for OpenSSH, sshd's session for the client
    // then ends by itself when the client's connection closes.
    for (std::unique_ptr<QProcess>* proc : {&m_proc, &m_sshd}) {
        QProcess* p = proc->get();
        if (!p)
            continue;
        if (p->state() != QProcess::NotRunning) {
            // dante's main process takes its children down on SIGTERM.
            p->terminate();
            if (!p->waitForFinished(5000)) {
                p->kill();
                p->waitForFinished(2000);
            }
        }
        proc->reset();
    }
    m_dir.reset();
    m_port = 0;
    m_output.clear();
}

} // namespace testsocks
