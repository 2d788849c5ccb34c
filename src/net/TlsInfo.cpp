#include "net/TlsInfo.h"

#include "net/WSocket.h"

#include <openssl/ssl.h>

namespace {

// OpenSSL's version numbers in the form people know ("TLS 1.3").
QString versionName(int version)
{
    switch (version) {
    case TLS1_3_VERSION: return QStringLiteral("TLS 1.3");
    case TLS1_2_VERSION: return QStringLiteral("TLS 1.2");
    case TLS1_1_VERSION: return QStringLiteral("TLS 1.1");
    case TLS1_VERSION: return QStringLiteral("TLS 1.0");
    default: return QStringLiteral("TLS (version 0x%1)").arg(version, 4, 16, QLatin1Char('0'));
    }
}

} // namespace

QString TlsDescription(const TCustomWSocket& socket)
{
    if (!socket.TlsEstablished())
        return {};
    // The session carries what the handshake agreed on.
    const TTlsResumable session = socket.TlsSession();
    if (!session)
        return QStringLiteral("TLS");
    const QString version = versionName(SSL_SESSION_get_protocol_version(session.get()));
    const SSL_CIPHER* cipher = SSL_SESSION_get0_cipher(session.get());
    return cipher ? version + QStringLiteral(", ") + QString::fromLatin1(SSL_CIPHER_get_name(cipher)) : version;
}
