// TCustomSocksWSocket: SOCKS 4, 4A and 5 (RFC 1928, user/password RFC 1929)
// negotiation in front of an ordinary outgoing TCP connection, and TWSocket.
//
// The SOCKS server, port and level survive a close of the socket: the FTP
// client assigns them once, and a reconnect must never silently go direct.
#include "net/SocksReply.h"
#include "net/WSocket.h"

#include <arpa/inet.h>
#include <cstring>

namespace {
constexpr int kReplyMax = 127; // bytes of the 128-byte reply buffer in use
} // namespace

TCustomSocksWSocket::TCustomSocksWSocket(QObject* parent)
    : TCustomWSocket(parent)
{
}

void TCustomSocksWSocket::AssignDefaultValue()
{
    TCustomWSocket::AssignDefaultValue();
    m_socksState = socksData;
    m_rcvCnt = 0;
    m_rcvdCnt = 0;
    m_rcvdPtr = 0;
    m_methodsSent = false;
    m_negotiationSendPending = false;
}

void TCustomSocksWSocket::Close()
{
    // Closed by the owner: no negotiation result is due any more.
    m_socksState = socksData;
    TCustomWSocket::Close();
}

void TCustomSocksWSocket::Abort()
{
    m_socksState = socksData;
    TCustomWSocket::Abort();
}

void TCustomSocksWSocket::TriggerDataSent(quint16 error)
{
    // The negotiation's own bytes are no concern of the owner.
    if (m_negotiationSendPending) {
        m_negotiationSendPending = false;
        return;
    }
    TCustomWSocket::TriggerDataSent(error);
}

// --- properties ------------------------------------------------------------------

void TCustomSocksWSocket::SetSocksServer(const QString& v)
{
    if (m_state != wsClosed) {
        RaiseException(QStringLiteral("Can't change socks server if not closed"));
        return;
    }
    m_socksServer = v.trimmed();
    m_socksServerAssigned = !m_socksServer.isEmpty();
}

void TCustomSocksWSocket::SetSocksPort(const QString& v)
{
    if (m_state != wsClosed) {
        RaiseException(QStringLiteral("Can't change socks port if not closed"));
        return;
    }
    m_socksPort = v.trimmed();
    m_socksPortAssigned = !m_socksPort.isEmpty();
}

void TCustomSocksWSocket::SetSocksLevel(const QString& v)
{
    if (m_state != wsClosed) {
        RaiseException(QStringLiteral("Can't change socks level if not closed"));
        return;
    }
    const QString t = v.toUpper();
    if (t != QLatin1String("4") && t != QLatin1String("4A") && t != QLatin1String("5")) {
        RaiseException(QStringLiteral("Invalid socks level. Must be 4, 4A or 5."));
        return;
    }
    m_socksLevel = t;
}

// --- connect / listen --------------------------------------------------------------

void TCustomSocksWSocket::Connect()
{
    if (!m_socksServerAssigned) {
        TCustomWSocket::Connect();
        return;
    }
    if (m_protoStr.toLower() != QLatin1String("tcp")) {
        RaiseException(QStringLiteral("tcp is the only protocol supported thru socks server"));
        return;
    }
    if (!CheckConnectTarget())
        return;
    if (m_socksLevel != QLatin1String("5") && WSocketIsIPv6(m_addrStr)) {
        // Levels 4 and 4A carry a 4-byte address or a name: no IPv6.
        m_lastError = 20011;
        RaiseException(QStringLiteral("connect: SOCKS %1 cannot carry the IPv6 address %2; use SOCKS 5")
                           .arg(m_socksLevel, m_addrStr));
        return;
    }
    std::vector<sockaddr_storage> serverAddrs;
    quint16 serverPort;
    try {
        m_targetPort = ResolvePort(m_portStr, m_protoStr);
        serverPort = ResolvePort(m_socksPort, m_protoStr);
        serverAddrs = ResolveHostAll(m_socksServer);
        m_targetAddr6.clear();
        if (WSocketIsIPv6(m_addrStr)) {
            in6_addr a6;
            inet_pton(AF_INET6, m_addrStr.toLatin1().constData(), &a6);
            m_targetAddr6 = QByteArray(reinterpret_cast<const char*>(&a6), 16);
        } else if (m_socksLevel == QLatin1String("4"))
            m_targetAddr4 = ResolveHost(m_addrStr);
        else if (m_addrStr.toUtf8().size() > 255)
            throw ESocketException(QStringLiteral("WSocketResolveHost: '%1' Invalid Hostname.").arg(m_addrStr));
    } catch (const ESocketException& e) {
        RaiseException(QStringLiteral("connect: ") + e.Message());
        return;
    }
    // The TCP connection goes to the SOCKS server; Addr and Port keep the target.
    m_protoNum = 6;
    m_sockType = 1;
    m_protoResolved = true;
    m_targets = serverAddrs;
    m_addrResolved = true;
    m_sinPort = htons(serverPort);
    m_portResolved = true;
    m_socksState = socksNegociateMethods;
    m_methodsSent = false;
    m_negotiationSendPending = false;
    m_rcvCnt = 0;
    m_rcvdCnt = 0;
    m_rcvdPtr = 0;
    m_boundAddr.clear();
    m_boundPort.clear();
    TCustomWSocket::Connect();
}

void TCustomSocksWSocket::Listen()
{
    if (m_socksServerAssigned) {
        RaiseException(QStringLiteral("Listening is not supported thru socks server"));
        return;
    }
    TCustomWSocket::Listen();
}

// --- negotiation ---------------------------------------------------------------

void TCustomSocksWSocket::SendNegotiation(const QByteArray& bytes)
{
    // Negotiation bytes are tiny: they go straight into the send queue.
    m_negotiationSendPending = true;
    Send(bytes.constData(), int(bytes.size()));
}

void TCustomSocksWSocket::TriggerSessionConnected(quint16 error)
{
    if (m_socksState != socksNegociateMethods || m_methodsSent) {
        TCustomWSocket::TriggerSessionConnected(error);
        return;
    }
    // Reached the SOCKS server (or failed to).
    if (OnSocksConnected)
        OnSocksConnected(this, error);
    if (error != 0) {
        m_socksState = socksData;
        TCustomWSocket::TriggerSessionConnected(error);
        return;
    }
    m_methodsSent = true;
    if (m_socksLevel == QLatin1String("5")) {
        m_socksAuthNumber = m_socksAuth == socksAuthenticateUsercode ? 2 : 0;
        QByteArray req;
        req.append(char(5)).append(char(1)).append(char(m_socksAuthNumber));
        SendNegotiation(req);
    } else {
        SocksDoConnect();
    }
}

void TCustomSocksWSocket::SocksDoConnect()
{
    m_socksState = socksConnecting;
    QByteArray req;
    if (m_socksLevel == QLatin1String("5") && m_targetAddr6.size() == 16) {
        req.append(char(5)).append(char(1)).append(char(0)).append(char(4)).append(m_targetAddr6);
    } else if (m_socksLevel == QLatin1String("5")) {
        const QByteArray host = m_addrStr.toUtf8();
        req.append(char(5)).append(char(1)).append(char(0)).append(char(3));
        req.append(char(host.size())).append(host);
    } else {
        req.append(char(4)).append(char(1));
    }
    req.append(char(m_targetPort >> 8)).append(char(m_targetPort & 0xff));
    if (m_socksLevel != QLatin1String("5")) {
        if (m_socksLevel == QLatin1String("4A")) {
            req.append(char(0)).append(char(0)).append(char(0)).append(char(1));
        } else {
            req.append(reinterpret_cast<const char*>(&m_targetAddr4), 4); // network order
        }
        req.append(m_socksUsercode.toUtf8()).append(char(0));
        // Level 4 ends with the user id's terminator: a second zero byte
        // would reach the target as application data.
        if (m_socksLevel == QLatin1String("4A"))
            req.append(m_addrStr.toUtf8()).append(char(0));
    }
    SendNegotiation(req);
}

void TCustomSocksWSocket::SocksDoAuthenticate()
{
    m_socksState = socksAuthenticate;
    if (OnSocksAuthState)
        OnSocksAuthState(this, socksAuthStart);
    // Each field carries a one-byte length: longer values cannot be sent.
    const QByteArray user = m_socksUsercode.toUtf8().left(255);
    const QByteArray pass = m_socksPassword.toUtf8().left(255);
    QByteArray req;
    req.append(char(1)).append(char(user.size())).append(user).append(char(pass.size())).append(pass);
    SendNegotiation(req);
}

void TCustomSocksWSocket::SocksFail(int code, const QString& msg)
{
    if (OnSocksError)
        OnSocksError(this, code, msg);
    m_socksState = socksData;
    m_rcvCnt = 0;
    const auto alive = m_alive;
    const quint64 gen = m_gen;
    TCustomWSocket::TriggerSessionConnected(quint16(code));
    if (*alive && m_gen == gen && m_fd != -1)
        InternalClose(false, quint16(code));
}

bool TCustomSocksWSocket::TriggerDataAvailable(quint16 error)
{
    if (m_socksState == socksData)
        return TCustomWSocket::TriggerDataAvailable(error);
    if (error != 0) {
        SocksFail(error, QStringLiteral("data receive error"));
        return true;
    }
    if (m_rcvCnt >= kReplyMax) {
        SocksFail(20001, QStringLiteral("too much data availaible"));
        return true;
    }
    const int n = DoRecv(m_rcvBuf + m_rcvCnt, kReplyMax - m_rcvCnt, 0);
    if (n < 0) {
        if (m_lastError == wsock::WSAEWOULDBLOCK) {
            m_lastError = 0;
            return true;
        }
        SocksFail(m_lastError, QStringLiteral("data receive error"));
        return true;
    }
    if (n == 0) // end of stream: the close handling reports it
        return true;
    m_rcvCnt += n;
    ProcessReply();
    return true;
}

void TCustomSocksWSocket::ConsumeReply(int len)
{
    // Bytes behind the final reply belong to the application.
    m_rcvdPtr = len;
    m_rcvdCnt = m_rcvCnt - len;
    if (m_rcvdCnt <= 0) {
        m_rcvdCnt = 0;
        m_rcvdPtr = 0;
    }
    m_rcvCnt = 0;
}

void TCustomSocksWSocket::SocksConnected()
{
    m_socksState = socksData;
    const auto alive = m_alive;
    const quint64 gen = m_gen;
    TCustomWSocket::TriggerSessionConnected(0);
    if (*alive && m_gen == gen && m_fd != -1 && m_socksState == socksData)
        TCustomWSocket::TriggerDataAvailable(0);
}

// One reply step per negotiation state; each waits until its reply is whole.
void TCustomSocksWSocket::ProcessReply()
{
    switch (m_socksState) {
    case socksNegociateMethods:
        ProcessMethodReply();
        return;
    case socksAuthenticate:
        ProcessAuthReply();
        return;
    case socksConnecting:
        if (m_socksLevel == QLatin1String("5"))
            ProcessConnectReply5();
        else
            ProcessConnectReply4();
        return;
    default:
        SocksFail(20013, QStringLiteral("internal error"));
        return;
    }
}

// Level 5: the server's choice among the offered authentication methods.
void TCustomSocksWSocket::ProcessMethodReply()
{
    if (m_socksLevel != QLatin1String("5")) {
        SocksFail(20001, QStringLiteral("TWSocket logic error"));
        return;
    }
    const socks::Reply r = socks::ReadMethodReply(m_rcvBuf, m_rcvCnt);
    if (r.status == socks::Reply::Incomplete)
        return;
    m_rcvCnt = 0;
    if (r.status == socks::Reply::Failed) {
        SocksFail(r.error, r.message);
    } else if (r.method == 0) {
        if (m_socksAuthNumber == 2 && OnSocksAuthState)
            OnSocksAuthState(this, socksAuthNotRequired);
        if (m_fd != -1)
            SocksDoConnect();
    } else {
        SocksDoAuthenticate();
    }
}

void TCustomSocksWSocket::ProcessAuthReply()
{
    const socks::Reply r = socks::ReadAuthReply(m_rcvBuf, m_rcvCnt);
    if (r.status == socks::Reply::Incomplete)
        return;
    if (r.status == socks::Reply::Failed) {
        SocksFail(r.error, r.message);
        return;
    }
    m_rcvCnt = 0;
    if (OnSocksAuthState)
        OnSocksAuthState(this, socksAuthSuccess);
    if (m_fd != -1)
        SocksDoConnect();
}

void TCustomSocksWSocket::ProcessConnectReply4()
{
    const socks::Reply r = socks::ReadConnectReply4(m_rcvBuf, m_rcvCnt);
    if (r.status == socks::Reply::Incomplete)
        return;
    ConsumeReply(r.length);
    if (r.status == socks::Reply::Failed)
        SocksFail(r.error, r.message);
    else
        SocksConnected();
}

// Level 5: version, status, reserved, then the bound address (IPv4, a name
// or IPv6) and port, kept as BoundAddr and BoundPort. The reply is taken
// only once whole: its length follows from the address type.
void TCustomSocksWSocket::ProcessConnectReply5()
{
    const socks::Reply r = socks::ReadConnectReply5(m_rcvBuf, m_rcvCnt, kReplyMax);
    if (r.status == socks::Reply::Incomplete)
        return;
    if (r.status == socks::Reply::Failed) {
        SocksFail(r.error, r.message);
        return;
    }
    m_boundAddr = r.boundAddr;
    m_boundPort = r.boundPort;
    ConsumeReply(r.length);
    SocksConnected();
}

void TCustomSocksWSocket::TriggerSessionClosed(quint16 error)
{
    if (m_socksState == socksAuthenticate && OnSocksAuthState)
        OnSocksAuthState(this, socksAuthFailure);
    if (m_socksState != socksData) {
        // The server went away mid-negotiation: the owner still learns that
        // its connect failed before it hears of the close.
        const quint16 code = error != 0 ? error : quint16(wsock::WSAECONNRESET);
        m_socksState = socksData;
        if (OnSocksError)
            OnSocksError(this, code, QStringLiteral("data receive error"));
        const auto alive = m_alive;
        TCustomWSocket::TriggerSessionConnected(code);
        if (!*alive)
            return;
    }
    TCustomWSocket::TriggerSessionClosed(error);
}

// --- application data behind the final reply ---------------------------------

int TCustomSocksWSocket::Receive(void* buffer, int len)
{
    if (m_rcvdCnt > 0 && len > 0) {
        const int n = len < m_rcvdCnt ? len : m_rcvdCnt;
        std::memcpy(buffer, m_rcvBuf + m_rcvdPtr, size_t(n));
        m_rcvdPtr += n;
        m_rcvdCnt -= n;
        m_rxTotal += n;
        m_readCount += n;
        if (m_rcvdCnt == 0)
            m_rcvdPtr = 0;
        return n;
    }
    return TCustomWSocket::Receive(buffer, len);
}

int TCustomSocksWSocket::RcvdCount()
{
    if (m_rcvdCnt > 0)
        return m_rcvdCnt;
    return TCustomWSocket::RcvdCount();
}

TWSocket::TWSocket(QObject* parent)
    : TCustomSocksWSocket(parent)
{
}
