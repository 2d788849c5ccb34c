// FTP over TLS (RFC 4217) in the login and on the data connections.
//
// Explicit: after the welcome, AUTH TLS (234), the handshake, the certificate
// decision, PBSZ 0 and PROT P; then USER and PASS run as usual, encrypted.
// Implicit: the handshake and the decision come first, then the welcome,
// PBSZ 0 and PROT P. A site that requires TLS never sends USER in the clear:
// any refusal ends the login before it. With PROT P accepted, every data
// connection (passive or active) runs a TLS client handshake resuming the
// control connection's session before any byte of the transfer flows.
#include "ftp/FtpClient.h"
#include "net/TlsInfo.h"

#include <QMetaObject>
#include <QTimer>

namespace {
bool positive(int code) { return code >= 200 && code < 300; }

// A server may take the client's hello and never answer: no reply line, no
// error, no close, nothing a request could end on. Each socket's handshake
// is therefore bounded by the client's timeout (none when it is 0); one
// single-shot timer per socket, restarted by every handshake, so a timer of
// an earlier connection never ends a later one.
QTimer* handshakeLimit(TWSocket* socket)
{
    static const QString name = QStringLiteral("TlsHandshakeLimit");
    auto* timer = socket->findChild<QTimer*>(name, Qt::FindDirectChildrenOnly);
    if (!timer) {
        timer = new QTimer(socket);
        timer->setObjectName(name);
        timer->setSingleShot(true);
    }
    return timer;
}

void limitHandshake(TWSocket* socket, int seconds, QObject* owner, const std::function<void()>& stalled)
{
    QTimer* timer = handshakeLimit(socket);
    timer->stop();
    QObject::disconnect(timer, &QTimer::timeout, nullptr, nullptr);
    if (seconds <= 0)
        return;
    QObject::connect(timer, &QTimer::timeout, owner, [socket, stalled] {
        if (socket->TlsActive() && !socket->TlsEstablished())
            stalled();
    });
    timer->start(seconds * 1000);
}

void handshakeEnded(TWSocket* socket) { handshakeLimit(socket)->stop(); }

QString stalledText(int seconds)
{
    return QStringLiteral("TLS handshake failed: the server did not answer it within %1 second%2")
        .arg(seconds)
        .arg(seconds == 1 ? "" : "s");
}

// The limit of a handshake: the request timeout the program gives the client
// (its synchronous form holds it); 0 means no limit.
int handshakeSeconds(const TCustomFtpCli* client)
{
    const auto* sync = qobject_cast<const TFtpClient*>(client);
    return sync ? sync->Timeout() : 0;
}
} // namespace

// The welcome was 220: the Open step ends here, or the TLS steps follow.
void TCustomFtpCli::AfterWelcome()
{
    m_protP = false;
    switch (m_security) {
    case ftpSecPlain:
        RequestDone(0);
        return;
    case ftpSecImplicit:
        SendLoginCommand(QStringLiteral("PBSZ 0"), &TCustomFtpCli::PbszReply);
        return;
    case ftpSecExplicitIfOffered:
    case ftpSecExplicitRequired:
        SendLoginCommand(QStringLiteral("AUTH TLS"), &TCustomFtpCli::AuthTlsReply);
        return;
    }
}

void TCustomFtpCli::SendLoginCommand(const QString& cmd, Handler next)
{
    SetState(ftpStWaitingResponse);
    m_next = next;
    SendCommand(cmd);
}

void TCustomFtpCli::AuthTlsReply()
{
    Display("< " + m_lastResponse);
    if (m_statusCode == 234) {
        StartControlTls();
        return;
    }
    if (m_security == ftpSecExplicitRequired) {
        TlsLoginFailed(m_statusCode, "TLS is required, but the server refused AUTH TLS: " + m_lastResponse
                                         + " (the login stops before the user name and password are sent)");
        return;
    }
    Display("! The server does not offer TLS (" + m_lastResponse + "): the session goes on unencrypted");
    RequestDone(0);
}

void TCustomFtpCli::StartControlTls()
{
    m_tlsGate = true;
    // Bytes that came in the clear behind the 234 are no reply of this
    // server's TLS side (an injection): they are dropped.
    m_reply.ClearBuffer();
    m_control->OnTlsHandshakeDone = [this](TCustomWSocket*, quint16 e) {
        handshakeEnded(m_control);
        Guarded([&] { ControlTlsDone(e); });
    };
    const int seconds = handshakeSeconds(this);
    limitHandshake(m_control, seconds, this, [this, seconds] {
        Guarded([&] {
            TlsLoginFailed(wsock::TLS_HANDSHAKE_FAILED,
                           stalledText(seconds) + " (#" + QString::number(wsock::TLS_HANDSHAKE_FAILED) + ")");
        });
    });
    m_control->StartTls(m_hostName, {}, m_tlsCaFile);
}

void TCustomFtpCli::ControlTlsDone(quint16 error)
{
    if (error != 0) {
        TlsLoginFailed(error, m_control->TlsErrorText() + " (#" + QString::number(error) + ")");
        return;
    }
    // Asking the user may open a dialog: not from inside the socket's event.
    QMetaObject::invokeMethod(this, [this] { Guarded([&] { DecideCertificate(); }); }, Qt::QueuedConnection);
}

void TCustomFtpCli::DecideCertificate()
{
    if (!m_tlsGate || !m_control->TlsEstablished())
        return;  // closed or aborted meanwhile
    TTlsCertificateInfo cert = m_control->TlsCertificate();
    cert.Host = m_hostName;
    cert.Port = m_port.compare(QLatin1String("ftp"), Qt::CaseInsensitive) == 0 ? QStringLiteral("21") : m_port;
    QString why;
    bool trusted;
    if (OnCertificate) {
        trusted = OnCertificate(this, cert, why);
    } else {
        trusted = cert.Problems.isEmpty();
        if (!trusted)
            why = "The certificate is not trusted: " + cert.Problems.join(QStringLiteral("; "));
    }
    if (!why.isEmpty())
        Display("! " + why);
    if (!trusted) {
        TlsLoginFailed(wsock::TLS_UNTRUSTED, QStringLiteral("The certificate of %1:%2 is not trusted (%3); "
                                                            "connection closed (#%4)")
                                                 .arg(cert.Host, cert.Port,
                                                      cert.Problems.isEmpty() ? QStringLiteral("rejected")
                                                                              : cert.Problems.join(QStringLiteral("; ")))
                                                 .arg(wsock::TLS_UNTRUSTED));
        return;
    }
    m_tlsGate = false;
    Display("! Encrypted connection: " + TlsDescription(*m_control));
    if (m_security != ftpSecImplicit)
        SendLoginCommand(QStringLiteral("PBSZ 0"), &TCustomFtpCli::PbszReply);
    // Whatever came while the decision was pending (the welcome of an
    // implicit server) is read now.
    ControlDataAvailable(0);
}

void TCustomFtpCli::PbszReply()
{
    Display("< " + m_lastResponse);
    if (positive(m_statusCode)) {
        SendLoginCommand(QStringLiteral("PROT P"), &TCustomFtpCli::ProtReply);
        return;
    }
    if (m_security == ftpSecExplicitRequired) {
        TlsLoginFailed(m_statusCode, "TLS is required, but the server refused PBSZ 0: " + m_lastResponse);
        return;
    }
    Display("! The server refused PBSZ 0 (" + m_lastResponse + "): data connections stay unencrypted");
    RequestDone(0);
}

void TCustomFtpCli::ProtReply()
{
    Display("< " + m_lastResponse);
    if (positive(m_statusCode)) {
        m_protP = true;
        RequestDone(0);
        return;
    }
    if (m_security == ftpSecExplicitRequired) {
        TlsLoginFailed(m_statusCode, "TLS is required, but the server refused PROT P: " + m_lastResponse);
        return;
    }
    Display("! The server refused PROT P (" + m_lastResponse + "): data connections stay unencrypted");
    RequestDone(0);
}

// Ends the login: the message, then the control connection closes (its
// close handler ends the request with this error).
void TCustomFtpCli::TlsLoginFailed(int code, const QString& msg)
{
    m_tlsGate = false;
    m_lastResponse = msg;
    m_statusCode = code >= 100 && code < 600 ? code : 500;
    m_error = code;
    SetErrorMessage(msg);
    Display("! " + msg);
    m_nextStepSet = false;
    m_next = nullptr;
    if (m_control->State() != wsClosed) {
        m_control->Close();
        return;
    }
    RequestDone(m_error);
}

// --- data connections ----------------------------------------------------------------

void TCustomFtpCli::StartDataTls(Handler secured)
{
    m_data->OnTlsHandshakeDone = [this, secured](TCustomWSocket*, quint16 e) {
        handshakeEnded(m_data);
        Guarded([&] {
            if (e != 0) {
                DataTlsFailed(e, m_data->TlsErrorText());
                return;
            }
            // The data must come from the server the user trusted: a data
            // connection whose certificate is not the control connection's
            // may be someone else's, however valid it is on its own.
            const QString control = m_control->TlsCertificate().Sha256;
            const QString data = m_data->TlsCertificate().Sha256;
            if (data != control) {
                DataTlsFailed(wsock::TLS_UNTRUSTED,
                              QStringLiteral("the server's certificate is not the control connection's (SHA-256 %1 "
                                             "instead of %2); the transfer is refused")
                                  .arg(data.isEmpty() ? QStringLiteral("none") : data, control));
                return;
            }
            if (!m_data->TlsSessionReused())
                Display(QStringLiteral("! The data connection did not resume the control connection's TLS session"));
            (this->*secured)();
        });
    };
    const int seconds = handshakeSeconds(this);
    limitHandshake(m_data, seconds, this, [this, seconds] {
        Guarded([&] { DataTlsFailed(wsock::TLS_HANDSHAKE_FAILED, stalledText(seconds)); });
    });
    m_data->StartTls(m_hostName, NextDataSession(), m_tlsCaFile);
}

// A session not resumed before when there is one (a TLS 1.3 server may take
// each only once, and hands out new ones on every connection), else the one
// used last (TLS 1.2 resumes one session many times).
TTlsResumable TCustomFtpCli::NextDataSession()
{
    for (TWSocket* s : {m_control, m_data})
        for (TTlsResumable& fresh : s->TakeTlsSessions())
            m_tlsPool.push_back(std::move(fresh));
    while (m_tlsPool.size() > 16)
        m_tlsPool.erase(m_tlsPool.begin());
    if (!m_tlsPool.empty()) {
        m_tlsLastUsed = m_tlsPool.back();
        m_tlsPool.pop_back();
    } else if (!m_tlsLastUsed) {
        m_tlsLastUsed = m_control->TlsSession();
    }
    return m_tlsLastUsed;
}

// The data connection could not be secured, or not with the control
// connection's certificate: nothing of the transfer has moved. The
// connection goes, and the request ends with the server's final reply to
// the transfer command, as failed.
void TCustomFtpCli::DataTlsFailed(quint16 error, const QString& why)
{
    const bool upload = m_currentStep == stepStor || m_currentStep == stepAppe;
    SetErrorMessage("426 Data connection: " + why + " (#" + QString::number(error) + ")");
    Display("! Data connection: " + why);
    m_dataError = error;
    m_data->OnSessionClosed = nullptr;
    m_data->OnDataAvailable = nullptr;
    m_data->OnDataSent = nullptr;
    CloseData();
    FreeStream();
    if (upload) {
        m_uploadClosed = true;
        m_localIoError = false;
        CheckUploadEnd();
    } else {
        m_downloadRefused = true;
        m_downloadClosed = true;
        CheckDownloadEnd();
    }
}

void TCustomFtpCli::DownloadSecured()
{
    InstallDownloadHandlers();
    m_startTime = m_clock.elapsed();
}

void TCustomFtpCli::UploadSecured()
{
    m_uploadConnOpen = true;
    if (!m_uploadReplySeen)
        return;  // the 1xx reply starts the sending
    if (m_passive) {
        m_data->OnDataSent = [this](TCustomWSocket*, quint16 e) { Guarded([&] { SendNextBlock(e); }); };
        SendNextBlock(0);
    } else if (!m_uploadStarted) {
        PostStartUpload();
    }
}
