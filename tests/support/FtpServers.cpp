#include "FtpServers.h"
#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <pwd.h>
#include <unistd.h>

namespace testftp {

FtpServer::FtpServer() = default;
FtpServer::~FtpServer() { stop(); }

void FtpServer::stop()
{
    if (m_proc) {
        m_proc->kill();
        m_proc->waitForFinished(3000);
        m_proc.reset();
    }
}

static bool writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

bool FtpServer::launch(const QString& program, const QStringList& args, QString* error)
{
    m_proc = std::make_unique<QProcess>();
    m_proc->setProcessChannelMode(QProcess::MergedChannels);
    m_proc->start(program, args);
    if (!m_proc->waitForStarted(5000)) {
        *error = program + ": cannot start";
        return false;
    }
    if (!testenv::waitForPort(m_port, 10000)) {
        *error = program + " did not come up: " + QString::fromLocal8Bit(m_proc->readAll());
        stop();
        return false;
    }
    return true;
}

bool FtpServer::startPyftpdlib(QString* error)
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_dataDir = m_dir->filePath("root");
    QDir().mkpath(m_dataDir);
    m_prefix.clear();
    m_user = "alice";
    m_password = "wonder";
    m_port = testenv::freePort();
    const QString script = m_dir->filePath("server.py");
    writeText(script, R"(import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
port, root, user, password = sys.argv[1:5]
auth = DummyAuthorizer()
auth.add_user(user, password, root, perm="elradfmwMT")
auth.add_anonymous(root, perm="elradfmwMT")
FTPHandler.authorizer = auth
FTPHandler.permit_foreign_addresses = True
server = FTPServer(("127.0.0.1", int(port)), FTPHandler)
server.serve_forever()
)");
    return launch(testenv::systemPython(), {script, QString::number(m_port), m_dataDir, m_user, m_password}, error);
}

bool FtpServer::startVsftpd(QString* error)
{
    const QString vsftpd = testenv::findProgram("vsftpd");
    if (vsftpd.isEmpty()) {
        *error = "vsftpd not installed";
        return false;
    }
    const passwd* ftpUser = getpwnam("ftp");
    if (!ftpUser || geteuid() != 0) {
        *error = "vsftpd needs root and the system account 'ftp'";
        return false;
    }
    m_dir = std::make_unique<QTemporaryDir>();
    // The anonymous root must not be writable by the anonymous user; its
    // "pub" directory is.
    const QString root = m_dir->filePath("root");
    m_dataDir = root + "/pub";
    QDir().mkpath(m_dataDir);
    QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7755));
    QFile::setPermissions(root, QFileDevice::Permissions(0x7755));
    if (chown(m_dataDir.toLocal8Bit().constData(), ftpUser->pw_uid, ftpUser->pw_gid) != 0) {
        *error = "cannot hand the upload directory to 'ftp'";
        return false;
    }
    QDir().mkpath("/var/run/vsftpd/empty");
    m_prefix = "pub/";
    m_user = "anonymous";
    m_password = "test@";
    m_port = testenv::freePort();
    const QString conf = m_dir->filePath("vsftpd.conf");
    writeText(conf, QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                                   "background=NO\nanonymous_enable=YES\nanon_root=%2\nno_anon_password=YES\n"
                                   "write_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                                   "anon_other_write_enable=YES\nanon_umask=022\nlocal_enable=NO\n"
                                   "pasv_enable=YES\nport_enable=YES\npasv_address=127.0.0.1\n"
                                   "connect_from_port_20=NO\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                                   "secure_chroot_dir=/var/run/vsftpd/empty\nxferlog_enable=NO\nutf8_filesystem=YES\n")
                        .arg(m_port).arg(root).toUtf8());
    return launch(vsftpd, {conf}, error);
}

bool FtpServer::startFtpProxy(QString* error)
{
    const QString proxy = testenv::findProgram("ftp-proxy");
    if (proxy.isEmpty()) {
        *error = "ftp-proxy not installed";
        return false;
    }
    m_dir = std::make_unique<QTemporaryDir>();
    m_port = testenv::freePort();
    const QString conf = m_dir->filePath("ftp-proxy.conf");
    writeText(conf, QStringLiteral("[-Global-]\nServerType standalone\nListen 127.0.0.1\nPort %1\n"
                                   "AllowMagicUser yes\nDestinationAddress 127.0.0.1\nPidFile %2\nLogDestination %3\n")
                        .arg(m_port).arg(m_dir->filePath("pid"), m_dir->filePath("log")).toUtf8());
    return launch(proxy, {"-d", "-n", "-f", conf}, error);
}

} // namespace testftp

