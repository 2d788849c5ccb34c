#pragma once
// The TLS state of one TWSocket: the OpenSSL connection object, the
// handshake's progress and what it found out about the peer. Internal to the
// socket core (WSocketTls.cpp); the rest of the program sees TWSocket's TLS
// methods and TTlsCertificateInfo only.
#include "net/TlsCertificate.h"
#include "net/WSocket.h"

#include <QString>
#include <memory>
#include <vector>

#include <openssl/ssl.h>

// The client context for one set of trust anchors: the system's store plus,
// when given, the certificates of caFile. Made once per caFile and kept for
// the life of the process, so a tree of thousands of data connections does
// not read the system store thousands of times. Null when caFile cannot be
// read (error says why).
SSL_CTX* TlsClientContext(const QString& caFile, QString* error);

class TTlsLayer {
public:
    enum class Phase { Handshaking, Established, Failed };

    TTlsLayer(SSL* ssl) : ssl(ssl) {}
    ~TTlsLayer() { SSL_free(ssl); }
    TTlsLayer(const TTlsLayer&) = delete;
    TTlsLayer& operator=(const TTlsLayer&) = delete;

    SSL* ssl;
    Phase phase = Phase::Handshaking;
    QString host;                 // the name the certificate must carry
    QString port;
    TTlsResumable newest;         // the last session the server handed out
    std::vector<TTlsResumable>* fresh = nullptr;  // the socket's supply of new sessions
    std::vector<int> verifyErrors; // every problem the chain check met
    bool peerClosed = false;      // close_notify received
    int endError = 0;             // how the stream ended without close_notify
    TTlsCertificateInfo certificate;
    QString errorText;            // the last failure in words
};

// The certificate facts of an established connection: subject, issuer,
// validity, fingerprint, PEM and the problems in words (the chain check's
// errors and a name that does not match host).
TTlsCertificateInfo TlsDescribePeer(SSL* ssl, const std::vector<int>& verifyErrors, const QString& host,
                                    const QString& port);

// OpenSSL's reasons for the last failure, in words ("wrong version number"),
// and the error queue cleared.
QString TlsErrorReason();
