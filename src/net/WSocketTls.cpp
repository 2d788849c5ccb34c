// TCustomWSocket: TLS below the socket's event model.
//
// OpenSSL works on the socket's own non-blocking descriptor. The handshake is
// driven by the read and write notifiers (WANT_READ / WANT_WRITE); once it is
// done, receiving and sending go through SSL_read / SSL_write and the rest of
// the socket (events, queue, drain limits) works as for plain TCP. Decrypted
// bytes OpenSSL holds do not wake a notifier: readiness also asks
// SSL_has_pending, and a dispatch that leaves such bytes behind posts another.
#include "net/TlsSession.h"

#include <QFile>
#include <QMetaObject>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <poll.h>
#include <sys/socket.h>

#include <openssl/err.h>
#include <openssl/x509v3.h>

namespace {

int layerIndex()
{
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

TTlsLayer* layerOf(SSL* ssl) { return static_cast<TTlsLayer*>(SSL_get_ex_data(ssl, layerIndex())); }

// Every problem of the chain is collected and the handshake goes on: whether
// to trust the server is decided afterwards, with the user when needed.
int collectVerifyErrors(int ok, X509_STORE_CTX* store)
{
    if (!ok) {
        auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
        if (TTlsLayer* layer = ssl ? layerOf(ssl) : nullptr)
            layer->verifyErrors.push_back(X509_STORE_CTX_get_error(store));
    }
    return 1;
}

// A copy of a session that no connection holds. OpenSSL marks the session a
// connection holds as spent when it resumes it under TLS 1.3 (tickets are
// meant for one use) or when the connection ends without TLS's closing
// exchange; a kept session offered later would then start a full handshake,
// which servers that insist on resumption (vsftpd) refuse. Servers take a
// TLS 1.3 ticket more than once, so an unspent copy can always be offered.
SSL_SESSION* detachedSession(SSL_SESSION* session)
{
    SSL_SESSION* copy = SSL_SESSION_dup(session);
    return copy ? copy : (SSL_SESSION_up_ref(session), session);
}

// With TLS 1.3 the server hands out sessions after the handshake; the newest
// is kept for the data connections to resume.
int keepNewSession(SSL* ssl, SSL_SESSION* session)
{
    TTlsLayer* layer = layerOf(ssl);
    if (!layer)
        return 0;
    layer->newest = TTlsResumable(detachedSession(session), SSL_SESSION_free);
    SSL_SESSION_free(session);  // the callback was given a reference of its own
    if (layer->fresh) {
        layer->fresh->push_back(layer->newest);
        if (layer->fresh->size() > 8)
            layer->fresh->erase(layer->fresh->begin());
    }
    return 1;
}

bool isAddress(const QString& host)
{
    const QByteArray h = host.toLatin1();
    unsigned char buf[16];
    return inet_pton(AF_INET, h.constData(), buf) == 1 || inet_pton(AF_INET6, h.constData(), buf) == 1;
}

} // namespace

SSL_CTX* TlsClientContext(const QString& caFile, QString* error)
{
    struct FreeContext {
        void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
    };
    // OpenSSL is set up before the table exists, so at exit the table and
    // its contexts are freed before OpenSSL's own clean-up runs.
    [[maybe_unused]] static const bool openSslReady = OPENSSL_init_ssl(0, nullptr) == 1;
    static std::map<QString, std::unique_ptr<SSL_CTX, FreeContext>> contexts;
    if (auto it = contexts.find(caFile); it != contexts.end())
        return it->second.get();
    // OpenSSL writes to the socket with write(2), not send(MSG_NOSIGNAL): a
    // peer that has closed would otherwise kill the whole process with
    // SIGPIPE instead of failing this one connection with EPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) {
        *error = "cannot create a TLS context: " + TlsErrorReason();
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(ctx);
    if (!caFile.isEmpty() && SSL_CTX_load_verify_locations(ctx, QFile::encodeName(caFile).constData(), nullptr) != 1) {
        *error = "cannot read the trusted certificates of " + caFile + ": " + TlsErrorReason();
        SSL_CTX_free(ctx);
        return nullptr;
    }
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, collectVerifyErrors);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(ctx, keepNewSession);
    // Whole socket reads instead of one per record header and body.
    SSL_CTX_set_read_ahead(ctx, 1);
    contexts[caFile].reset(ctx);
    return ctx;
}

QString TlsErrorReason()
{
    QStringList reasons;
    while (const unsigned long e = ERR_get_error()) {
        const char* r = ERR_reason_error_string(e);
        QString text = r ? QString::fromLatin1(r) : QStringLiteral("error %1").arg(e, 0, 16);
        if (!reasons.contains(text))
            reasons << text;
    }
    return reasons.join(QStringLiteral("; "));
}

// --- starting and the handshake ----------------------------------------------------

void TCustomWSocket::StartTls(const QString& hostName, const TTlsResumable& resume, const QString& caFile)
{
    if (m_state != wsConnected || m_fd == -1) {
        RaiseException(QStringLiteral("StartTls: the socket is not connected"));
        return;
    }
    if (m_tls) {
        RaiseException(QStringLiteral("StartTls: TLS is already on"));
        return;
    }
    m_tlsError.clear();
    QString why;
    ERR_clear_error();
    SSL_CTX* ctx = TlsClientContext(caFile, &why);
    SSL* ssl = ctx ? SSL_new(ctx) : nullptr;
    if (!ssl || SSL_set_fd(ssl, m_fd) != 1) {
        if (ssl)
            SSL_free(ssl);
        m_tlsError = why.isEmpty() ? "cannot start TLS: " + TlsErrorReason() : why;
        // Reported from the loop, as every handshake end is.
        const quint64 gen = m_gen;
        QMetaObject::invokeMethod(this, [this, gen] {
            if (m_gen == gen && OnTlsHandshakeDone)
                OnTlsHandshakeDone(this, wsock::TLS_SETUP_FAILED);
        }, Qt::QueuedConnection);
        return;
    }
    m_tls = std::make_unique<TTlsLayer>(ssl);
    SSL_set_ex_data(ssl, layerIndex(), m_tls.get());
    m_tls->fresh = &m_tlsFresh;
    m_tls->host = hostName.trimmed();
    if (m_tls->host.startsWith(QLatin1Char('[')) && m_tls->host.endsWith(QLatin1Char(']')))
        m_tls->host = m_tls->host.mid(1, m_tls->host.size() - 2);  // "[::1]" as written in URLs
    if (!m_tls->host.isEmpty() && !isAddress(m_tls->host))
        SSL_set_tlsext_host_name(ssl, m_tls->host.toUtf8().constData());
    if (resume) {
        SSL_SESSION* offered = detachedSession(resume.get());
        SSL_set_session(ssl, offered);  // takes a reference of its own
        SSL_SESSION_free(offered);
    }
    SSL_set_connect_state(ssl);
    // The first step (the client hello) runs when the socket reports
    // writable, from the loop: no handler runs inside the caller.
    SetReadEnabled(true);
    SetWriteEnabled(true);
}

bool TCustomWSocket::TlsActive() const { return bool(m_tls); }
bool TCustomWSocket::TlsEstablished() const { return m_tls && m_tls->phase == TTlsLayer::Phase::Established; }
bool TCustomWSocket::TlsHandshaking() const { return m_tls && m_tls->phase == TTlsLayer::Phase::Handshaking; }
bool TCustomWSocket::TlsSessionReused() const { return TlsEstablished() && SSL_session_reused(m_tls->ssl) == 1; }

TTlsResumable TCustomWSocket::TlsSession() const
{
    if (!TlsEstablished())
        return {};
    if (m_tls->newest)
        return m_tls->newest;
    // A server that hands out no new session (a resumed TLS 1.2 one).
    SSL_SESSION* s = SSL_get_session(m_tls->ssl);
    return s ? TTlsResumable(detachedSession(s), SSL_SESSION_free) : TTlsResumable();
}

std::vector<TTlsResumable> TCustomWSocket::TakeTlsSessions()
{
    std::vector<TTlsResumable> taken;
    taken.swap(m_tlsFresh);
    return taken;
}

TTlsCertificateInfo TCustomWSocket::TlsCertificate() const
{
    return m_tls ? m_tls->certificate : TTlsCertificateInfo();
}

void TCustomWSocket::TlsHandshakeStep()
{
    ERR_clear_error();
    errno = 0;
    const int rc = SSL_do_handshake(m_tls->ssl);
    if (rc == 1) {
        m_tls->phase = TTlsLayer::Phase::Established;
        m_tls->certificate = TlsDescribePeer(m_tls->ssl, m_tls->verifyErrors, m_tls->host, QString());
        SetWriteEnabled(!m_allSent);
        SetReadEnabled(true);
        const auto alive = m_alive;
        const quint64 gen = m_gen;
        if (OnTlsHandshakeDone)
            OnTlsHandshakeDone(this, 0);
        // Data may have come with the end of the handshake.
        if (StillOn(this, alive, gen) && m_tls && (TlsPending() || RcvdCount() > 0))
            TlsPostRead();
        return;
    }
    const int e = SSL_get_error(m_tls->ssl, rc);
    if (e == SSL_ERROR_WANT_READ) {
        SetWriteEnabled(false);
        SetReadEnabled(true);
        return;
    }
    if (e == SSL_ERROR_WANT_WRITE) {
        SetWriteEnabled(true);
        return;
    }
    const int sysErr = errno;
    QString reason = TlsErrorReason();
    if (reason.isEmpty() || reason == QLatin1String("unexpected eof while reading"))
        reason = sysErr && e == SSL_ERROR_SYSCALL ? WSocketErrorDesc(WSocketErrnoToWinsock(sysErr))
                                                  : QStringLiteral("the server closed the connection");
    TlsFail(wsock::TLS_HANDSHAKE_FAILED, "TLS handshake failed: " + reason);
}

void TCustomWSocket::TlsFail(int code, const QString& text)
{
    m_tlsError = text;
    m_lastError = code;
    m_tls->phase = TTlsLayer::Phase::Failed;
    SetReadEnabled(false);
    SetWriteEnabled(false);
    if (OnTlsHandshakeDone)
        OnTlsHandshakeDone(this, quint16(code));
    else
        InternalClose(false, quint16(code));
}

// --- receiving and sending ---------------------------------------------------------

// Decrypted bytes waiting, or a close_notify read along with the last data
// whose end of stream the reader has yet to see.
bool TCustomWSocket::TlsPending() const
{
    return TlsEstablished() && (SSL_has_pending(m_tls->ssl) == 1 || (m_tls->peerClosed && !m_sawEof));
}

void TCustomWSocket::TlsPostRead()
{
    if (m_tlsReadPosted)
        return;
    m_tlsReadPosted = true;
    const quint64 gen = m_gen;
    QMetaObject::invokeMethod(this, [this, gen] {
        m_tlsReadPosted = false;
        if (m_gen == gen && m_fd != -1)
            Dispatch();
    }, Qt::QueuedConnection);
}

// Fills the buffer with as many records as are there. Returns the bytes,
// 0 once the peer's close_notify came, or -1 with m_lastError: would block,
// wsock::TLS_TRUNCATED (the peer closed without close_notify), a socket
// error, or wsock::TLS_IO_ERROR.
int TCustomWSocket::TlsRead(void* buffer, int len)
{
    if (m_tls->endError != 0) {
        m_lastError = m_tls->endError;
        return -1;
    }
    if (!TlsEstablished()) {
        m_lastError = m_tls->phase == TTlsLayer::Phase::Failed ? wsock::TLS_IO_ERROR : wsock::WSAEWOULDBLOCK;
        return -1;
    }
    if (m_tls->peerClosed)
        return 0;
    char* p = static_cast<char*>(buffer);
    int total = 0;
    int end = 0;  // 0: nothing ended; -1: close_notify; otherwise the error
    while (total < len) {
        ERR_clear_error();
        errno = 0;
        const int n = SSL_read(m_tls->ssl, p + total, len - total);
        if (n > 0) {
            total += n;
            continue;
        }
        const int e = SSL_get_error(m_tls->ssl, n);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE)
            break;
        if (e == SSL_ERROR_ZERO_RETURN) {
            end = -1;
        } else if (e == SSL_ERROR_SYSCALL && errno != 0) {
            end = WSocketErrnoToWinsock(errno);
        } else {
            const unsigned long top = ERR_peek_error();
            const bool eof = e == SSL_ERROR_SYSCALL || ERR_GET_REASON(top) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
            end = eof ? wsock::TLS_TRUNCATED : wsock::TLS_IO_ERROR;
            const QString reason = TlsErrorReason();
            m_tlsError = eof ? QStringLiteral("the peer closed the TLS connection without close_notify")
                             : "TLS error while receiving: " + reason;
        }
        break;
    }
    if (end == -1)
        m_tls->peerClosed = true;
    else if (end > 0)
        m_tls->endError = end;  // an end met after data is reported by the next call
    if (total > 0 || end == -1)
        return total;
    m_lastError = end > 0 ? end : wsock::WSAEWOULDBLOCK;
    return -1;
}

int TCustomWSocket::TlsWrite(const char* data, int len, int& err)
{
    ERR_clear_error();
    errno = 0;
    const int n = SSL_write(m_tls->ssl, data, len);
    if (n > 0)
        return n;
    const int e = SSL_get_error(m_tls->ssl, n);
    if (e == SSL_ERROR_WANT_WRITE || e == SSL_ERROR_WANT_READ) {
        err = wsock::WSAEWOULDBLOCK;
    } else if (e == SSL_ERROR_SYSCALL && errno != 0) {
        err = WSocketErrnoToWinsock(errno);
    } else {
        err = wsock::TLS_IO_ERROR;
        m_tlsError = "TLS error while sending: " + TlsErrorReason();
    }
    return -1;
}

// A graceful close tells the peer the data is complete. The alert is a few
// bytes; a full send buffer gets a short wait for room rather than a close
// the peer would have to take for a cut transfer.
void TCustomWSocket::TlsCloseNotify()
{
    if (!TlsEstablished() || m_fd == -1)
        return;
    // Records that came and were never read (the session tickets a server
    // sends on an upload's connection) are taken first: a close with unread
    // bytes resets the connection, and the peer loses what it has not read.
    char scratch[16384];
    for (int i = 0; i < 64 && !m_tls->peerClosed; ++i) {
        ERR_clear_error();
        const int n = SSL_read(m_tls->ssl, scratch, sizeof scratch);
        if (n <= 0) {
            if (SSL_get_error(m_tls->ssl, n) == SSL_ERROR_ZERO_RETURN)
                m_tls->peerClosed = true;
            break;
        }
    }
    ERR_clear_error();
    const int rc = SSL_shutdown(m_tls->ssl);
    if (rc < 0 && SSL_get_error(m_tls->ssl, rc) == SSL_ERROR_WANT_WRITE) {
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, 1000) > 0)
            SSL_shutdown(m_tls->ssl);
    }
    ERR_clear_error();
    if (m_tls->peerClosed)
        return;
    // The peer answers with its own close_notify and its end of the stream.
    // Closing before they come would reset the connection, and a reset
    // makes the peer's system drop what the peer has not read yet: the end
    // of an upload. So the end is awaited (briefly: a peer that never
    // closes gets a plain close after two seconds).
    ::shutdown(m_fd, SHUT_WR);
    for (int waited = 0; waited < 2000;) {
        pollfd p{m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 50);
        if (ready == 0) {
            waited += 50;
            continue;
        }
        if (ready < 0 && errno != EINTR)
            break;
        // Read through TLS, not around it: the session ticket a server sends
        // after the handshake may come only now (an upload of a few bytes is
        // over before it arrives), and a server that takes each ticket once
        // refuses the next data connection unless it is kept.
        ERR_clear_error();
        const int n = SSL_read(m_tls->ssl, scratch, sizeof scratch);
        if (n <= 0 && SSL_get_error(m_tls->ssl, n) != SSL_ERROR_WANT_READ)
            break;  // close_notify, the end of the stream or an error
    }
    ERR_clear_error();
}
