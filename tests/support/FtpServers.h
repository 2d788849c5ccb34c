#pragma once
// Real FTP servers for tests, each on a free loopback port with its own
// temporary root and configuration, stopped when the object goes:
//   pyftpdlib  user "alice"/"wonder" and anonymous, both with write access
//   vsftpd     anonymous, writable directory "pub" (runs as root, as in CI;
//              anonymous sessions run as a system account of the fixture's
//              own, created when missing, whatever the system's "ftp" is)
//   ftp-proxy  standalone, accepting the login USER user@host:port
#include "sites/SiteRecord.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

class QProcess;

namespace testftp {

// FTP over TLS: explicit (AUTH TLS) or implicit, with the certificate and
// key given, or a self-signed one for 127.0.0.1 made with openssl. vsftpd
// insists on TLS for logins and data (force_anon_*_ssl) and on the data
// connection resuming the control connection's session (require_ssl_reuse).
struct TlsSetup {
    bool implicit = false;
    QString certFile, keyFile;
};

// Makes a self-signed certificate and key for CN and subjectAltName
// 127.0.0.1 with openssl in dir (cert.pem, key.pem).
bool makeSelfSignedCertificate(const QString& dir, QString* certFile, QString* keyFile, QString* error);

class FtpServer {
public:
    FtpServer();
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    // The loopback address the next server listens on: "127.0.0.1" (the
    // default) or "::1" (that one only, so a client must reach it over IPv6).
    void setAddress(const QString& address) { m_address = address; }
    QString address() const { return m_address; }
    // The address as a URL or site host: "[::1]" for IPv6.
    QString urlHost() const { return m_address.contains(u':') ? "[" + m_address + "]" : m_address; }
    bool startPyftpdlib(QString* error);
    bool startVsftpd(QString* error);
    bool startVsftpdTls(const TlsSetup& tls, QString* error);
    bool startPyftpdlibTls(const TlsSetup& tls, QString* error);
    // The certificate the TLS server presents (PEM).
    QString certificateFile() const { return m_certFile; }
    // The account vsftpd runs anonymous sessions as (its ftp_username), and
    // that account's home. vsftpd changes into the home before anon_root, so
    // a home that does not exist fails every login with "500 OOPS: cannot
    // change directory". ensureVsftpdUser creates the account when missing
    // (root only; no shell) and the home when missing, or says why not.
    static QString vsftpdUser() { return QStringLiteral("varnothftp"); }
    static QString vsftpdHome() { return QStringLiteral("/var/lib/varnoth-test-ftp"); }
    static bool ensureVsftpdUser(QString* error);
    // A proxy that forwards to whatever the USER command names.
    bool startFtpProxy(QString* error);
    void stop();

    quint16 port() const { return m_port; }
    // Login for this server ("anonymous" for vsftpd).
    QString user() const { return m_user; }
    QString password() const { return m_password; }
    // Local directory that holds the files of `remotePrefix()`, writable by the server.
    QString dataDir() const { return m_dataDir; }
    // Remote path of that directory relative to the login directory: "" or "pub/".
    QString remotePrefix() const { return m_prefix; }
    // A site's login for this server: anonymous (with an e-mail address as
    // password) or its user with the password saved.
    void applyLogin(TFTPServerObj& site) const;

private:
    bool launch(const QString& program, const QStringList& args, QString* error);
    bool startVsftpdWith(const QString& extraConfig, QString* error);
    bool prepareTls(const TlsSetup& tls, QString* error);
    bool launchPyftpdlib(bool tls, QString* error);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_proc;
    quint16 m_port = 0;
    QString m_address = QStringLiteral("127.0.0.1");
    QString m_user, m_password, m_dataDir, m_prefix;
    QString m_certFile, m_keyFile;
};

} // namespace testftp
