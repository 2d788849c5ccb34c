// The facts of a server's certificate a user needs to decide whether to trust
// it: names, validity, fingerprint and every problem in words.
#include "net/TlsSession.h"

#include <QTimeZone>

#include <arpa/inet.h>
#include <ctime>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace {

QString bioText(BIO* bio)
{
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio, &data);
    return QString::fromUtf8(data, int(n));
}

QString nameText(const X509_NAME* name)
{
    BIO* bio = BIO_new(BIO_s_mem());
    // "CN=host, O=Org": the most specific part first, UTF-8 kept as it is.
    const unsigned long flags = ((XN_FLAG_RFC2253 & ~XN_FLAG_SEP_MASK) | XN_FLAG_SEP_CPLUS_SPC) & ~ASN1_STRFLGS_ESC_MSB;
    X509_NAME_print_ex(bio, name, 0, flags);
    const QString text = bioText(bio);
    BIO_free(bio);
    return text;
}

QDateTime timeOf(const ASN1_TIME* t)
{
    tm parts{};
    if (!t || ASN1_TIME_to_tm(t, &parts) != 1)
        return {};
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

QString fingerprint(X509* cert)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (X509_digest(cert, EVP_sha256(), md, &len) != 1)
        return {};
    QStringList pairs;
    for (unsigned int i = 0; i < len; ++i)
        pairs << QStringLiteral("%1").arg(md[i], 2, 16, QLatin1Char('0')).toUpper();
    return pairs.join(QLatin1Char(':'));
}

// The names the certificate is issued for: its alternative names, else its
// common name.
QStringList namesOf(X509* cert)
{
    QStringList names;
    auto* alt = static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; alt && i < sk_GENERAL_NAME_num(alt); ++i) {
        const GENERAL_NAME* g = sk_GENERAL_NAME_value(alt, i);
        if (g->type == GEN_DNS) {
            names << QString::fromUtf8(reinterpret_cast<const char*>(ASN1_STRING_get0_data(g->d.dNSName)),
                                       ASN1_STRING_length(g->d.dNSName));
        } else if (g->type == GEN_IPADD) {
            const int n = ASN1_STRING_length(g->d.iPAddress);
            char buf[INET6_ADDRSTRLEN] = {};
            if (inet_ntop(n == 4 ? AF_INET : AF_INET6, ASN1_STRING_get0_data(g->d.iPAddress), buf, sizeof buf))
                names << QString::fromLatin1(buf);
        }
    }
    GENERAL_NAMES_free(alt);
    if (names.isEmpty()) {
        char cn[256] = {};
        if (X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, cn, sizeof cn) > 0)
            names << QString::fromUtf8(cn);
    }
    return names;
}

bool issuedFor(X509* cert, const QString& host)
{
    const QByteArray h = host.toUtf8();
    unsigned char buf[16];
    if (inet_pton(AF_INET, h.constData(), buf) == 1 || inet_pton(AF_INET6, h.constData(), buf) == 1)
        return X509_check_ip_asc(cert, h.constData(), 0) == 1;
    return X509_check_host(cert, h.constData(), size_t(h.size()), 0, nullptr) == 1;
}

QString problemText(int error, const TTlsCertificateInfo& info)
{
    switch (error) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return QStringLiteral("self-signed");
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return QStringLiteral("issued by an unknown authority");
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return "expired on " + info.NotAfter.toString(QStringLiteral("yyyy-MM-dd"));
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "not valid before " + info.NotBefore.toString(QStringLiteral("yyyy-MM-dd"));
    default:
        return QString::fromLatin1(X509_verify_cert_error_string(error));
    }
}

} // namespace

TTlsCertificateInfo TlsDescribePeer(SSL* ssl, const std::vector<int>& verifyErrors, const QString& host,
                                    const QString& port)
{
    TTlsCertificateInfo info;
    info.Host = host;
    info.Port = port;
    X509* cert = SSL_get0_peer_certificate(ssl);
    if (!cert) {
        info.Problems << QStringLiteral("the server sent no certificate");
        return info;
    }
    info.Subject = nameText(X509_get_subject_name(cert));
    info.Issuer = nameText(X509_get_issuer_name(cert));
    info.NotBefore = timeOf(X509_get0_notBefore(cert));
    info.NotAfter = timeOf(X509_get0_notAfter(cert));
    info.Sha256 = fingerprint(cert);
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    info.Pem = bioText(bio).toLatin1();
    BIO_free(bio);
    for (int error : verifyErrors) {
        const QString text = problemText(error, info);
        if (!info.Problems.contains(text))
            info.Problems << text;
    }
    if (!host.isEmpty() && !issuedFor(cert, host))
        info.Problems << "issued for " + namesOf(cert).join(QStringLiteral(", ")) + ", not for " + host;
    return info;
}
