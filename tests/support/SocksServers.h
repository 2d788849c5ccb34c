#pragma once
// Real SOCKS servers for tests: dante (SOCKS 4 and 5, user/password),
// microsocks (SOCKS 5) and OpenSSH's dynamic forwarding (SOCKS 4, 4A and 5),
// each on a free loopback port with its own temporary configuration, stopped
// (with every child process) when the object goes.
#include <QString>
#include <QTemporaryDir>
#include <memory>

class QProcess;

namespace testsocks {

class SocksServer {
public:
    SocksServer();
    ~SocksServer();
    SocksServer(const SocksServer&) = delete;
    SocksServer& operator=(const SocksServer&) = delete;

    // dante accepting SOCKS 4 and 5; with user/password (method 2) offered
    // next to "no authentication" when withUserAuth is set.
    bool startDante(bool withUserAuth, QString* error);
    // microsocks; with user and password it demands them from every client.
    bool startMicrosocks(const QString& user, const QString& password, QString* error);
    // OpenSSH: a throwaway sshd on a free loopback port (its own host key,
    // configuration and authorized key, no PAM), and `ssh -N -D` logged in to
    // it as the current user with a throwaway client key. The SOCKS server
    // (4, 4A and 5, no authentication) is ssh's dynamic forwarding; sshd makes
    // the onward connections and resolves 4A host names. Both log at debug
    // level: log() shows each request as ssh decoded it and the target sshd
    // was asked for and connected to.
    bool startOpenSsh(QString* error);
    void stop();
    quint16 port() const { return m_port; }
    // What the server's processes have written so far.
    QString log();

    // The account dante checks user/password logins against. dante asks the
    // system's password database, so the account must exist there: when it is
    // missing and we run as root it is created (idempotently, no home, no
    // shell) with the fixed test password. Returns false when impossible.
    static bool ensureDanteUser(QString* error);
    static QString danteUser() { return QStringLiteral("varnothsocks"); }
    static QString dantePassword() { return QStringLiteral("Socks-Test-9"); }

private:
    bool waitUp(QString* error);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_sshd;  // behind the SOCKS process, for OpenSSH
    std::unique_ptr<QProcess> m_proc;
    QString m_output;
    quint16 m_port = 0;
    QString m_log;
};

} // namespace testsocks
