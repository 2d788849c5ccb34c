// TCustomWSocket: construction, connect / listen / accept / dup, closing
// and the error routines. Property setters and resolving live in
// WSocketSetup.cpp; readiness dispatch, the send queue, receiving and name
// lookup in WSocketIo.cpp.
#include "net/TlsSession.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
socklen_t addrLen(const sockaddr_storage& a)
{
    return a.ss_family == AF_INET6 ? socklen_t(sizeof(sockaddr_in6)) : socklen_t(sizeof(sockaddr_in));
}

void setPort(sockaddr_storage& a, quint16 netOrder)
{
    // sin_port and sin6_port share their place
    reinterpret_cast<sockaddr_in*>(&a)->sin_port = netOrder;
}

bool isBroadcast(const sockaddr_storage& a)
{
    return a.ss_family == AF_INET && reinterpret_cast<const sockaddr_in*>(&a)->sin_addr.s_addr == INADDR_BROADCAST;
}
} // namespace

TCustomWSocket::TCustomWSocket(QObject* parent)
    : QObject(parent), m_alive(std::make_shared<bool>(true))
{
    // The base reset only: a derived reset cannot run from the base constructor.
    TCustomWSocket::AssignDefaultValue();
}

TCustomWSocket::~TCustomWSocket()
{
    m_destroying = true;
    *m_alive = false;
    if (m_qtDnsId >= 0)
        QHostInfo::abortHostLookup(m_qtDnsId);
    DestroyNotifiers();
    if (m_fd != -1) {
        ::close(m_fd);
        m_fd = -1;
    }
}

// --- defaults and state ------------------------------------------------------

void TCustomWSocket::AssignDefaultValue()
{
    m_addrAssigned = false;
    m_addrResolved = false;
    m_portAssigned = false;
    m_portResolved = false;
    m_protoStr = QStringLiteral("tcp");
    m_protoAssigned = true;
    m_protoResolved = false;
    m_protoNum = 6;
    m_sockType = 1;
    m_targets.clear();
    m_targetAt = 0;
    m_sinPort = 0;
    m_localPortStr = QStringLiteral("0");
    m_localPortResolved = false;
    m_localPortNum = 0;
    m_localAddr = QStringLiteral("0.0.0.0");
    m_lingerOnOff = wsLingerOn;
    m_lingerTimeout = 0;
    m_fd = -1;
    m_state = wsClosed;
    m_allSent = true;
    m_readCount = 0;
    m_closeInvoked = false;
    m_readSuspended = false;
    m_sawEof = false;
    m_eofError = 0;
    m_writePosted = false;
}

void TCustomWSocket::ChangeState(TSocketState newState)
{
    const TSocketState old = m_state;
    m_state = newState;
    TriggerChangeState(old, newState);
}

// --- connect / listen / accept / dup ----------------------------------------

// Resolves the protocol and the port once per assignment (Connect, Listen).
void TCustomWSocket::ResolveProtoAndPort()
{
    if (!m_protoResolved) {
        m_protoNum = ResolveProto(m_protoStr, &m_sockType);
        m_protoResolved = true;
    }
    if (!m_portResolved) {
        m_sinPort = htons(ResolvePort(m_portStr, m_protoStr));
        m_portResolved = true;
    }
}

// The checks every Connect makes first: a free socket, a port and an
// address. Raises the matching error and returns false when one fails.
bool TCustomWSocket::CheckConnectTarget()
{
    if (m_fd != -1 && m_state != wsClosed) {
        RaiseException(QStringLiteral("Connect: Socket already in use"));
        return false;
    }
    if (!m_portAssigned) {
        RaiseException(QStringLiteral("Connect: No Port Specified"));
        return false;
    }
    if (!m_addrAssigned) {
        RaiseException(QStringLiteral("Connect: No IP Address Specified"));
        return false;
    }
    return true;
}

void TCustomWSocket::Connect()
{
    if (!CheckConnectTarget())
        return;
    if (!m_protoAssigned) {
        RaiseException(QStringLiteral("Connect: No Protocol Specified"));
        return;
    }
    try {
        ResolveProtoAndPort();
        if (!m_localPortResolved) {
            m_localPortNum = ResolvePort(m_localPortStr, m_protoStr);
            m_localPortResolved = true;
        }
        if (!m_addrResolved) {
            m_targets.clear();
            for (const QString& a : m_addrList.isEmpty() ? QStringList {m_addrStr} : m_addrList)
                for (const sockaddr_storage& t : ResolveHostAll(a))
                    m_targets.push_back(t);
            m_addrResolved = true;
        }
    } catch (const ESocketException& e) {
        RaiseException(QStringLiteral("connect: ") + e.Message());
        return;
    }
    DeleteBufferedData();
    m_targetAt = 0;
    for (;;) {
        const int err = StartConnectAttempt();
        if (err <= 0)
            return;
        if (m_targetAt + 1 < m_targets.size()) {
            ++m_targetAt;  // refused at once: the next address of the name
            continue;
        }
        ChangeState(wsClosed);
        SocketError(QStringLiteral("Connect"), err);
        return;
    }
}

int TCustomWSocket::StartConnectAttempt()
{
    sockaddr_storage to = m_targets[m_targetAt];
    setPort(to, m_sinPort);
    const int type = m_sockType == 2 ? SOCK_DGRAM : SOCK_STREAM;
    m_fd = ::socket(to.ss_family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, m_sockType == 2 ? IPPROTO_UDP : IPPROTO_TCP);
    if (m_fd < 0) {
        m_fd = -1;
        SocketError(QStringLiteral("Connect (socket)"));
        return -1;
    }
    ++m_gen;
    m_closeInvoked = false;
    m_sawEof = false;
    if (m_state != wsOpened && m_state != wsConnecting)
        ChangeState(wsOpened);

    if (m_sockType == 2) {
        BindSocket();
        if (m_fd == -1)
            return -1;
        if (isBroadcast(to)) {
            int on = 1;
            if (setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) < 0) {
                SocketError(QStringLiteral("setsockopt(SO_BROADCAST)"));
                return -1;
            }
        }
    } else {
        int on = 1;
        if (setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0) {
            SocketError(QStringLiteral("setsockopt(SO_REUSEADDR)"));
            return -1;
        }
        ApplyLinger();
        if (setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) < 0) {
            SocketError(QStringLiteral("setsockopt(SO_KEEPALIVE)"));
            return -1;
        }
        if (m_localPortNum != 0 || m_localAddr != QLatin1String("0.0.0.0")) {
            BindSocket();
            if (m_fd == -1)
                return -1;
        }
    }
    CreateNotifiers();

    if (m_sockType == 2) {
        ChangeState(wsConnected);
        SetReadEnabled(true);
        TriggerSessionConnected(0);
        return 0;
    }
    const int rc = ::connect(m_fd, reinterpret_cast<sockaddr*>(&to), addrLen(to));
    if (rc == 0 || errno == EINPROGRESS || errno == EWOULDBLOCK) {
        if (m_state != wsConnecting)
            ChangeState(wsConnecting);
        // Completion (success or failure) shows as writability.
        SetWriteEnabled(true);
        SetReadEnabled(true);
        return 0;
    }
    // Refused at once: release the handle so the socket can be used again.
    const int err = WSocketErrnoToWinsock(errno);
    DestroyNotifiers();
    ::close(m_fd);
    m_fd = -1;
    return err;
}

void TCustomWSocket::BindSocket()
{
    // The local address in the family of the handle: "0.0.0.0" (any) serves both.
    sockaddr_storage ss {};
    const bool v6 = !m_targets.empty() && m_targets[m_targetAt].ss_family == AF_INET6;
    try {
        if (v6) {
            auto* sin6 = reinterpret_cast<sockaddr_in6*>(&ss);
            sin6->sin6_family = AF_INET6;
            sin6->sin6_addr = in6addr_any;
            if (m_localAddr != QLatin1String("0.0.0.0")) {
                if (!WSocketIsIPv6(m_localAddr))
                    throw ESocketException(QStringLiteral("winsock.bind failed: local address %1 is no IPv6 address")
                                               .arg(m_localAddr));
                inet_pton(AF_INET6, m_localAddr.toLatin1().constData(), &sin6->sin6_addr);
            }
        } else {
            auto* sin = reinterpret_cast<sockaddr_in*>(&ss);
            sin->sin_family = AF_INET;
            sin->sin_addr.s_addr = ResolveHost(m_localAddr);
        }
        setPort(ss, htons(ResolvePort(m_localPortStr, m_protoStr)));
    } catch (const ESocketException& e) {
        RaiseException(e.Message());
        return;
    }
    sockaddr_in& sin = *reinterpret_cast<sockaddr_in*>(&ss);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&ss), addrLen(ss)) < 0) {
        m_lastError = WSocketErrnoToWinsock(errno);
        RaiseException(QStringLiteral("winsock.bind failed, error #%1").arg(m_lastError));
        return;
    }
    socklen_t len = sizeof ss;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&ss), &len) < 0) {
        m_lastError = WSocketErrnoToWinsock(errno);
        RaiseException(QStringLiteral("winsock.getsockname failed, error #%1").arg(m_lastError));
        return;
    }
    m_localPortNum = ntohs(sin.sin_port);
    m_localPortStr = QString::number(m_localPortNum);
    m_localPortResolved = true;
}

void TCustomWSocket::ApplyLinger()
{
    if (m_lingerOnOff == wsLingerNoSet)
        return;
    if (m_fd == -1) {
        RaiseException(QStringLiteral("Cannot set linger option at this time"));
        return;
    }
    // Lingering "on" with a zero timeout makes a POSIX close reset the
    // connection and throw away data still queued in the kernel (a truncated
    // upload). Such a close stays graceful here; a positive timeout lingers.
    linger l {};
    l.l_onoff = (m_lingerOnOff == wsLingerOn && m_lingerTimeout > 0) ? 1 : 0;
    l.l_linger = m_lingerTimeout;
    if (setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &l, sizeof l) < 0)
        SocketError(QStringLiteral("setsockopt(SO_LINGER)"));
}

void TCustomWSocket::Listen()
{
    if (!m_portAssigned) {
        SocketError(QStringLiteral("listen: port not assigned"), wsock::WSAEINVAL);
        return;
    }
    if (!m_protoAssigned) {
        SocketError(QStringLiteral("listen: protocol not assigned"), wsock::WSAEINVAL);
        return;
    }
    if (!m_addrAssigned) {
        SocketError(QStringLiteral("listen: address not assigned"), wsock::WSAEINVAL);
        return;
    }
    if (m_fd != -1 && m_state != wsClosed) {
        RaiseException(QStringLiteral("listen: Socket already in use"));
        return;
    }
    try {
        ResolveProtoAndPort();
        if (!m_addrResolved) {
            m_targets = ResolveHostAll(m_addrStr);
            m_targets.resize(1);
            m_targetAt = 0;
            m_addrResolved = true;
        }
    } catch (const ESocketException& e) {
        RaiseException(QStringLiteral("listen: ") + e.Message());
        return;
    }
    DeleteBufferedData();
    const int type = m_sockType == 2 ? SOCK_DGRAM : SOCK_STREAM;
    sockaddr_storage at = m_targets[0];
    setPort(at, m_sinPort);
    m_fd = ::socket(at.ss_family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        m_fd = -1;
        SocketError(QStringLiteral("socket"));
        return;
    }
    ++m_gen;
    m_closeInvoked = false;
    ChangeState(wsOpened);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&at), addrLen(at)) < 0) {
        const int err = WSocketErrnoToWinsock(errno);
        InternalClose(false, quint16(err));
        SocketError(QStringLiteral("Bind"), err);
        return;
    }
    ChangeState(wsBound);
    CreateNotifiers();
    if (m_sockType == 2) {
        ChangeState(wsListening);
        ChangeState(wsConnected);
        SetReadEnabled(true);
        TriggerSessionConnected(0);
        return;
    }
    if (::listen(m_fd, 5) < 0) {
        SocketError(QStringLiteral("Listen"));
        return;
    }
    ChangeState(wsListening);
    SetReadEnabled(true);
}

int TCustomWSocket::Accept()
{
    if (m_state != wsListening) {
        SocketError(QStringLiteral("not a listening socket"), wsock::WSAEINVAL);
        return -1;
    }
    sockaddr_storage peer {};
    socklen_t len = sizeof peer;
    const int h = ::accept4(m_fd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    // The next pending connection is announced again.
    SetReadEnabled(true);
    if (h < 0) {
        SocketError(QStringLiteral("Accept"));
        return -1;
    }
    return h;
}

void TCustomWSocket::Dup(int newHandle)
{
    if (newHandle == 0 || newHandle == -1) {
        SocketError(QStringLiteral("Dup"), wsock::WSAEINVAL);
        return;
    }
    if (m_fd != -1 && m_state != wsClosed) {
        DestroyNotifiers();
        const int rc = ::close(m_fd);
        m_fd = -1;
        m_tls.reset();
        ChangeState(wsClosed);
        if (rc < 0) {
            SocketError(QStringLiteral("Dup (closesocket)"));
            return;
        }
    }
    m_fd = newHandle;
    ++m_gen;
    const int fl = fcntl(m_fd, F_GETFL);
    if (fl >= 0)
        fcntl(m_fd, F_SETFL, fl | O_NONBLOCK);
    m_closeInvoked = false;
    m_sawEof = false;
    m_readSuspended = false;
    int type = SOCK_STREAM;
    socklen_t tl = sizeof type;
    getsockopt(m_fd, SOL_SOCKET, SO_TYPE, &type, &tl);
    m_sockType = type == SOCK_DGRAM ? 2 : 1;
    ApplyLinger();
    if (m_fd == -1)
        return;
    CreateNotifiers();
    ChangeState(wsConnected);
    SetReadEnabled(true);
}

// --- closing ---------------------------------------------------------------------

void TCustomWSocket::InternalClose(bool shut, quint16 error)
{
    if (m_fd == -1) {
        m_tls.reset();
        if (m_state != wsClosed)
            ChangeState(wsClosed);
        try {
            AssignDefaultValue();
        } catch (...) {
        }
        return;
    }
    if (m_state == wsClosed)
        return;
    // The peer's close_notify is answered in any case.
    if (m_tls && (shut || m_tls->peerClosed))
        TlsCloseNotify();
    if (shut && m_sockType == 1)
        ::shutdown(m_fd, SHUT_WR);
    DestroyNotifiers();
    const int fd = m_fd;
    m_fd = -1;
    const int rc = ::close(fd);
    m_tls.reset();
    const int closeErr = rc < 0 ? WSocketErrnoToWinsock(errno) : 0;
    ChangeState(wsClosed);
    if (!m_destroying && !m_closeInvoked) {
        m_closeInvoked = true;
        TriggerSessionClosed(error);
    }
    // A closed-handler may already have started the next connection.
    if (m_fd == -1 && m_state == wsClosed) {
        try {
            AssignDefaultValue();
        } catch (...) {
        }
    }
    if (closeErr != 0 && closeErr != wsock::WSANOTINITIALISED && closeErr != wsock::WSAEINTR)
        SocketError(QStringLiteral("Disconnect (closesocket)"), closeErr);
}

void TCustomWSocket::Close() { InternalClose(true, 0); }

void TCustomWSocket::CloseDelayed()
{
    QMetaObject::invokeMethod(this, [this] {
        try {
            Close();
        } catch (const std::exception& e) {
            HandleBackGroundException(e);
        }
    }, Qt::QueuedConnection);
}

void TCustomWSocket::Release() { deleteLater(); }

void TCustomWSocket::Abort()
{
    CancelDnsLookup();
    DeleteBufferedData();
    if (m_fd != -1 && m_state == wsConnected && m_sockType == 1) {
        m_lingerOnOff = wsLingerOff;
        try {
            ApplyLinger();
        } catch (...) {
        }
    }
    InternalClose(false, 0);
}

void TCustomWSocket::ShutDown(int how)
{
    if (m_fd != -1)
        ::shutdown(m_fd, how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR);
}

// --- errors ------------------------------------------------------------------------

void TCustomWSocket::SocketError(const QString& context, int code)
{
    const int n = code >= 0 ? code : WSocketErrnoToWinsock(errno);
    const QString msg = QStringLiteral("Error %1 in function %2\r\n%3").arg(n).arg(context, WSocketErrorDesc(n));
    if ((n == wsock::WSAECONNRESET || n == wsock::WSAENOTCONN) && m_fd != -1) {
        // The handle is of no further use: release it rather than leak it.
        DestroyNotifiers();
        ::close(m_fd);
        m_fd = -1;
        m_tls.reset();
        ChangeState(wsClosed);
    }
    m_lastError = n;
    RaiseException(msg);
}

void TCustomWSocket::RaiseException(const QString& msg)
{
    if (OnError) {
        TriggerError();
        return;
    }
    throw ESocketException(msg);
}

void TCustomWSocket::TriggerError()
{
    if (OnError)
        OnError(this);
}

void TCustomWSocket::HandleBackGroundException(const std::exception& e)
{
    bool canClose = true;
    if (OnBgException) {
        try {
            OnBgException(this, e, canClose);
        } catch (...) {
        }
    }
    if (canClose) {
        try {
            Abort();
        } catch (...) {
        }
    }
}
