#pragma once
// What the program knows about a server's TLS certificate when it must decide
// whether to trust it, and the answers a user can give. Filled by the socket
// core from the peer's certificate; shown by the window's certificate dialog
// and by varnoth-cli; remembered by the certificate store.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

struct TTlsCertificateInfo {
    QString Host;           // the name the user connected to (as typed)
    QString Port;
    QString Subject;        // one line, e.g. "CN=ftp.example.org, O=Example"
    QString Issuer;
    QDateTime NotBefore;    // UTC
    QDateTime NotAfter;     // UTC
    QString Sha256;         // fingerprint of the DER form, "AB:CD:..." upper-case pairs
    QStringList Problems;   // why it is not trusted, in words ("self-signed", "expired on ...")
    QByteArray Pem;         // the certificate itself, PEM encoded
};

namespace certanswer {
// Reject: the connection is closed. AcceptOnce: trusted for this connection
// only. AcceptAlways: trusted and remembered for this host and port.
enum Answer : int { Reject = 0, AcceptOnce = 1, AcceptAlways = 2 };
} // namespace certanswer
