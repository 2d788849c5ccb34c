#pragma once
// Whether to go on with a TLS server whose certificate the client has seen.
//
//   1. trusted by the system's store (or the extra CA file) and issued for
//      the host name: go on;
//   2. exactly the certificate the caller accepts up front (varnoth-cli
//      --fingerprint): go on;
//   3. remembered for this host and port with the same fingerprint: go on;
//      remembered with a DIFFERENT one: refused with a warning, never asked;
//   4. otherwise the user is asked: "always" remembers it, "once" does not,
//      "reject" closes the connection.
//
// The remembered certificates live in "certificates.txt" in the program
// directory, one "HOST PORT SHA256" line each (lines starting with '#' are
// comments). A damaged line is skipped with a log line, never fatal.
#include "net/TlsCertificate.h"

#include <QMap>
#include <QString>
#include <QStringList>

class IUserInterface;

class TCertificateStore {
public:
    explicit TCertificateStore(const QString& path) : m_path(path) {}
    // Reads the file (a missing file is an empty store); returns one text
    // per damaged line.
    QStringList Load();
    // The remembered fingerprint for host and port, empty when none.
    QString Fingerprint(const QString& host, const QString& port) const;
    // Remembers (or replaces) the fingerprint and writes the file through a
    // new file renamed over the old one.
    bool Remember(const QString& host, const QString& port, const QString& sha256, QString* error);

private:
    static QString Key(const QString& host, const QString& port) { return host.toLower() + ' ' + port; }
    QString m_path;
    QMap<QString, QString> m_entries;   // "host port" -> fingerprint
    QStringList m_lines;                // the file as read, comments kept
};

// The store of the program directory.
QString CertificateStorePath();

// "ab:cd..." or "ABCD..." as "AB:CD:..."; empty when it is no SHA-256
// fingerprint (32 bytes in hexadecimal).
QString NormalisedFingerprint(const QString& text);

struct TTrustDecision {
    bool Go = false;
    QStringList Log;   // what to show in the session log, in words
};

TTrustDecision DecideCertificateTrust(const TTlsCertificateInfo& cert, const QString& storePath, IUserInterface* ui,
                                      const QString& acceptedFingerprint = QString());
