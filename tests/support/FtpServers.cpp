#include "FtpServers.h"
#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QThread>
#include <pwd.h>
#include <unistd.h>

namespace testftp {

void FtpServer::applyLogin(TFTPServerObj& site) const
{
    if (m_user == QLatin1String("anonymous")) {
        site.Anonymous = 1;
        site.EMail = QStringLiteral("guest@example.org");
    } else {
        site.User = m_user;
        site.Password = m_password;
        site.SavePassword = 1;
    }
}

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

// The server is up once its port takes a connection on its own address.
static bool waitForListener(const QString& address, quint16 port)
{
    if (address == QLatin1String("127.0.0.1"))
        return testenv::waitForPort(port, 10000);
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress(address), port);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    return false;
}

bool FtpServer::launch(const QString& program, const QStringList& args, QString* error)
{
    m_proc = std::make_unique<QProcess>();
    m_proc->setProcessChannelMode(QProcess::MergedChannels);
    // The test's own working directory may be gone (a window test moves it
    // with the local pane into a temporary directory); the server starts in
    // its own.
    if (m_dir)
        m_proc->setWorkingDirectory(m_dir->path());
    m_proc->start(program, args);
    if (!m_proc->waitForStarted(5000)) {
        *error = program + ": cannot start";
        return false;
    }
    if (!waitForListener(m_address, m_port)) {
        *error = program + " did not come up: " + QString::fromLocal8Bit(m_proc->readAll());
        stop();
        return false;
    }
    return true;
}

bool makeSelfSignedCertificate(const QString& dir, QString* certFile, QString* keyFile, QString* error)
{
    const QString openssl = testenv::findProgram("openssl");
    if (openssl.isEmpty()) {
        *error = "openssl not installed";
        return false;
    }
    *certFile = dir + "/cert.pem";
    *keyFile = dir + "/key.pem";
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-addext",
                      "subjectAltName=IP:127.0.0.1,IP:::1", "-days", "30", "-keyout", *keyFile, "-out", *certFile});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        *error = "openssl req failed: " + QString::fromLocal8Bit(p.readAll());
        return false;
    }
    return true;
}

bool FtpServer::prepareTls(const TlsSetup& tls, QString* error)
{
    if (!tls.certFile.isEmpty()) {
        m_certFile = tls.certFile;
        m_keyFile = tls.keyFile;
        return true;
    }
    return makeSelfSignedCertificate(m_dir->path(), &m_certFile, &m_keyFile, error);
}

bool FtpServer::startPyftpdlibTls(const TlsSetup& tls, QString* error)
{
    m_dir = std::make_unique<QTemporaryDir>();
    if (tls.implicit) {
        *error = "pyftpdlib serves explicit TLS only";
        return false;
    }
    return prepareTls(tls, error) && launchPyftpdlib(true, error);
}

bool FtpServer::startPyftpdlib(QString* error)
{
    m_dir = std::make_unique<QTemporaryDir>();
    return launchPyftpdlib(false, error);
}

// pyftpdlib with the user alice (and, without TLS, anonymous logins) on a
// fresh root; with TLS, login and data must be encrypted.
bool FtpServer::launchPyftpdlib(bool tls, QString* error)
{
    m_dataDir = m_dir->filePath("root");
    QDir().mkpath(m_dataDir);
    m_prefix.clear();
    m_user = "alice";
    m_password = "wonder";
    m_port = testenv::freePort();
    const QString script = m_dir->filePath("server.py");
    writeText(script, R"(import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.servers import FTPServer
port, root, user, password, address, cert, key = sys.argv[1:8]
auth = DummyAuthorizer()
auth.add_user(user, password, root, perm="elradfmwMT")
if cert:
    from pyftpdlib.handlers import TLS_FTPHandler as Handler
    Handler.certfile = cert
    Handler.keyfile = key
    Handler.tls_control_required = True
    Handler.tls_data_required = True
else:
    from pyftpdlib.handlers import FTPHandler as Handler
    auth.add_anonymous(root, perm="elradfmwMT")
Handler.authorizer = auth
Handler.permit_foreign_addresses = True
server = FTPServer((address, int(port)), Handler)
server.serve_forever()
)");
    return launch(testenv::systemPython(),
                  {script, QString::number(m_port), m_dataDir, m_user, m_password, m_address,
                   tls ? m_certFile : QString(), tls ? m_keyFile : QString()},
                  error);
}

bool FtpServer::ensureVsftpdUser(QString* error)
{
    const QByteArray name = vsftpdUser().toLatin1();
    const QString why = QStringLiteral(" (vsftpd changes into the home of its anonymous account '%1' before anon_root)")
                            .arg(vsftpdUser());
    if (geteuid() != 0) {
        *error = QStringLiteral("the vsftpd fixture needs root: vsftpd starts as root, and the account '%1' with "
                                "home %2 must exist")
                     .arg(vsftpdUser(), vsftpdHome()) + why;
        return false;
    }
    if (!getpwnam(name.constData())) {
        const QString useradd = testenv::findProgram("useradd");
        if (useradd.isEmpty()) {
            *error = QStringLiteral("cannot create the account '%1': useradd not found").arg(vsftpdUser()) + why;
            return false;
        }
        // Tests running side by side may create it at the same moment: the
        // loser finds the password file locked (useradd waits for the lock a
        // while itself), or the account there.
        QString output;
        for (int attempt = 0; attempt < 5 && !getpwnam(name.constData()); ++attempt) {
            QProcess add;
            add.setProcessChannelMode(QProcess::MergedChannels);
            add.start(useradd, {"--system", "--no-create-home", "--user-group", "--home-dir", vsftpdHome(),
                                "--shell", "/usr/sbin/nologin", vsftpdUser()});
            add.waitForFinished(20000);
            output = QString::fromLocal8Bit(add.readAll()).trimmed();
            if (add.exitStatus() == QProcess::NormalExit && add.exitCode() == 0)
                break;
        }
        if (!getpwnam(name.constData())) {
            *error = QStringLiteral("cannot create the account '%1': %2").arg(vsftpdUser(), output) + why;
            return false;
        }
    }
    const passwd* account = getpwnam(name.constData());
    const QString home = QString::fromLocal8Bit(account->pw_dir);
    const bool existed = !home.isEmpty() && QFileInfo(home).isDir();
    if (!existed && (home.isEmpty() || !QDir().mkpath(home))) {
        *error = QStringLiteral("the home directory '%1' of the account '%2' does not exist and cannot be created")
                     .arg(home, vsftpdUser()) + why;
        return false;
    }
    // vsftpd enters it as that account: it must be searchable by others.
    if (!existed)
        QFile::setPermissions(home, QFileDevice::Permissions(0x7755));
    return true;
}

bool FtpServer::startVsftpd(QString* error) { return startVsftpdWith(QString(), error); }

bool FtpServer::startVsftpdTls(const TlsSetup& tls, QString* error)
{
    m_dir = std::make_unique<QTemporaryDir>();
    if (!prepareTls(tls, error))
        return false;
    // vsftpd's own cipher default is a 3DES suite OpenSSL 3 no longer offers.
    QString conf = QStringLiteral("ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
                                  "force_anon_data_ssl=YES\nrequire_ssl_reuse=YES\nssl_ciphers=HIGH\n"
                                  "ssl_tlsv1=YES\nssl_sslv2=NO\nssl_sslv3=NO\nrsa_cert_file=%1\n"
                                  "rsa_private_key_file=%2\n")
                       .arg(m_certFile, m_keyFile);
    if (tls.implicit)
        conf += "implicit_ssl=YES\n";
    return startVsftpdWith(conf, error);
}

bool FtpServer::startVsftpdWith(const QString& extraConfig, QString* error)
{
    const QString vsftpd = testenv::findProgram("vsftpd");
    if (vsftpd.isEmpty()) {
        *error = "vsftpd not installed";
        return false;
    }
    if (!ensureVsftpdUser(error))
        return false;
    const passwd* ftpUser = getpwnam(vsftpdUser().toLatin1().constData());
    const uid_t uid = ftpUser->pw_uid;
    const gid_t gid = ftpUser->pw_gid;
    if (!m_dir)
        m_dir = std::make_unique<QTemporaryDir>();
    // The anonymous root must not be writable by the anonymous user; its
    // "pub" directory is.
    const QString root = m_dir->filePath("root");
    m_dataDir = root + "/pub";
    QDir().mkpath(m_dataDir);
    QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7755));
    QFile::setPermissions(root, QFileDevice::Permissions(0x7755));
    if (chown(m_dataDir.toLocal8Bit().constData(), uid, gid) != 0) {
        *error = QStringLiteral("cannot hand the upload directory to '%1'").arg(vsftpdUser());
        return false;
    }
    QDir().mkpath("/var/run/vsftpd/empty");
    m_prefix = "pub/";
    m_user = "anonymous";
    m_password = "test@";
    m_port = testenv::freePort();
    const QString conf = m_dir->filePath("vsftpd.conf");
    // vsftpd listens on IPv4 or on IPv6, one of them per process.
    const QString listen = m_address.contains(u':')
                               ? QStringLiteral("listen=NO\nlisten_ipv6=YES\nlisten_address6=%1\n").arg(m_address)
                               : QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=%1\n").arg(m_address);
    writeText(conf, (listen + QStringLiteral("listen_port=%1\n"
                                   "background=NO\nanonymous_enable=YES\nanon_root=%2\nno_anon_password=YES\n"
                                   "write_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                                   "anon_other_write_enable=YES\nanon_umask=022\nlocal_enable=NO\n"
                                   "pasv_enable=YES\nport_enable=YES\npasv_address=127.0.0.1\n"
                                   "connect_from_port_20=NO\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                                   "secure_chroot_dir=/var/run/vsftpd/empty\nxferlog_enable=NO\nutf8_filesystem=YES\n"
                                   "ftp_username=%3\n")
                        .arg(m_port).arg(root, vsftpdUser())).toUtf8() + extraConfig.toUtf8());
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

