// TCustomWSocket: property setters and their rules, resolving of protocol,
// port and host, and the peer / local names of a handle.
#include "net/WSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <cerrno>
#include <netdb.h>
#include <sys/socket.h>

namespace {

// Decimal number after leading blanks, digits up to the first non-digit.
int leadingNumber(const QString& s)
{
    int i = 0;
    while (i < s.size() && s[i] == u' ')
        ++i;
    int v = 0;
    while (i < s.size() && s[i].isDigit() && v < 1000000)
        v = v * 10 + (s[i++].unicode() - u'0');
    return v;
}

bool startsWithDigit(const QString& s)
{
    const QString t = s.trimmed();
    return !t.isEmpty() && t[0].isDigit();
}

} // namespace

bool WSocketIsIPv6(const QString& s)
{
    in6_addr a;
    return inet_pton(AF_INET6, WSocketStripBrackets(s.trimmed()).toLatin1().constData(), &a) == 1;
}

QString WSocketStripBrackets(const QString& s)
{
    if (s.size() >= 2 && s.startsWith(u'[') && s.endsWith(u']'))
        return s.mid(1, s.size() - 2);
    return s;
}

QString WSocketAddrText(const sockaddr_storage& a)
{
    char buf[INET6_ADDRSTRLEN] = {};
    if (a.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&a)->sin6_addr, buf, sizeof buf);
    else
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&a)->sin_addr, buf, sizeof buf);
    return QString::fromLatin1(buf);
}

// --- property setters --------------------------------------------------------

void TCustomWSocket::SetAddr(const QString& v)
{
    const QString t = WSocketStripBrackets(v.trimmed());
    if (m_state != wsClosed) {
        RaiseException(QStringLiteral("Cannot change Addr if not closed"));
        return;
    }
    if (m_addrAssigned && t == m_addrStr && m_addrList.isEmpty())
        return;
    m_addrList.clear();
    m_addrStr = t;
    m_addrAssigned = !t.isEmpty();
    m_addrResolved = false;
}

void TCustomWSocket::SetAddrList(const QStringList& addrs)
{
    SetAddr(addrs.value(0));
    if (m_state == wsClosed && addrs.size() > 1)
        m_addrList = addrs;
}

void TCustomWSocket::SetPort(const QString& v)
{
    const QString t = v.trimmed();
    if (m_state != wsClosed) {
        RaiseException(QStringLiteral("Cannot change Port if not closed"));
        return;
    }
    if (m_portAssigned && t == m_portStr)
        return;
    m_portStr = t;
    m_portAssigned = !t.isEmpty();
    m_portResolved = false;
}

void TCustomWSocket::SetProto(const QString& v)
{
    const QString t = v.trimmed();
    if (m_state != wsClosed) {
        RaiseException(QStringLiteral("Cannot change Proto if not closed"));
        return;
    }
    if (m_protoAssigned && t == m_protoStr)
        return;
    m_protoStr = t;
    m_protoAssigned = !t.isEmpty();
    m_protoResolved = false;
}

void TCustomWSocket::SetLocalPort(const QString& v)
{
    if (m_state != wsClosed) {
        RaiseException(QStringLiteral("Cannot change LocalPort if not closed"));
        return;
    }
    m_localPortStr = v.trimmed();
    m_localPortResolved = false;
}

void TCustomWSocket::SetLocalAddr(const QString& v)
{
    if (m_state != wsClosed) {
        RaiseException(QStringLiteral("Cannot change LocalAddr if not closed"));
        return;
    }
    QString t = v.trimmed();
    if (t.isEmpty())
        t = QStringLiteral("0.0.0.0");
    t = WSocketStripBrackets(t);
    in_addr a;
    if (!WSocketIsIPv6(t) && (inet_aton(t.toLatin1().constData(), &a) == 0 || a.s_addr == INADDR_NONE)) {
        RaiseException(QStringLiteral("SetLocalAddr(): Invalid IP address"));
        return;
    }
    m_localAddr = t;
}

void TCustomWSocket::SetBufSize(int v) { m_bufSize = v <= 0 ? 1514 : v; }

TSocketSendFlags TCustomWSocket::SendFlags() const
{
    if (m_sendFlags != wsSendNormal && m_sendFlags != wsSendUrgent)
        throw ESocketException(QStringLiteral("Invalid internal SendFlags"));
    return TSocketSendFlags(m_sendFlags);
}

void TCustomWSocket::SetSendFlags(int v)
{
    if (v != wsSendNormal && v != wsSendUrgent) {
        RaiseException(QStringLiteral("Invalid SendFlags"));
        return;
    }
    m_sendFlags = v;
}

// --- resolving ---------------------------------------------------------------

int TCustomWSocket::ResolveProto(const QString& proto, int* sockType)
{
    const QString t = proto.trimmed();
    if (t.isEmpty() || t.size() >= 32)
        throw ESocketException(QStringLiteral("WSocketResolveProto: Invalid Protocol."));
    int num;
    if (startsWithDigit(t)) {
        num = leadingNumber(t);
    } else {
        const protoent* pe = getprotobyname(t.toLatin1().constData());
        if (!pe) {
            // /etc/protocols may be missing on minimal systems: know the two we use.
            if (t.compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0)
                num = 6;
            else if (t.compare(QLatin1String("udp"), Qt::CaseInsensitive) == 0)
                num = 17;
            else
                throw ESocketException(QStringLiteral("WSocketResolveProto: Cannot convert protocol '%1', Error #%2")
                                           .arg(t).arg(wsock::WSANO_DATA));
        } else {
            num = pe->p_proto;
        }
    }
    if (sockType)
        *sockType = num == 17 ? 2 : 1;
    return num;
}

quint16 TCustomWSocket::ResolvePort(const QString& port, const QString& proto)
{
    const QString t = port.trimmed();
    if (t.isEmpty() || t.size() >= 32)
        throw ESocketException(QStringLiteral("WSocketResolvePort: Invalid Port."));
    if (startsWithDigit(t)) {
        const int n = leadingNumber(t);
        if (n > 65535)
            throw ESocketException(QStringLiteral("WSocketResolvePort: Cannot convert port '%1', Error #%2")
                                       .arg(t).arg(wsock::WSAEINVAL));
        return quint16(n);
    }
    const servent* se = getservbyname(t.toLatin1().constData(), proto.trimmed().toLower().toLatin1().constData());
    if (!se)
        throw ESocketException(QStringLiteral("WSocketResolvePort: Cannot convert port '%1', Error #%2")
                                   .arg(t).arg(wsock::WSANO_DATA));
    return ntohs(quint16(se->s_port));
}

quint32 TCustomWSocket::ResolveHost(const QString& host)
{
    if (host.isEmpty() || host.size() > 256)
        throw ESocketException(QStringLiteral("WSocketResolveHost: '%1' Invalid Hostname.").arg(host));
    if (WSocketIsDottedIP(host)) {
        const QByteArray t = host.trimmed().toLatin1();
        if (t == "255.255.255.255")
            return INADDR_BROADCAST;
        in_addr a;
        if (inet_aton(t.constData(), &a) == 0)
            throw ESocketException(QStringLiteral("WSocketResolveHost: '%1' Invalid IP address.").arg(host));
        return a.s_addr;
    }
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const int rc = getaddrinfo(host.trimmed().toUtf8().constData(), nullptr, &hints, &res);
    if (rc != 0 || !res) {
        if (res)
            freeaddrinfo(res);
        throw ESocketException(QStringLiteral("WSocketResolveHost: Cannot convert host address '%1', Error #%2")
                                   .arg(host).arg(WSocketGaiToWinsock(rc ? rc : EAI_NONAME)));
    }
    const quint32 addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(res);
    return addr;
}

std::vector<sockaddr_storage> TCustomWSocket::ResolveHostAll(const QString& host)
{
    const QString h = WSocketStripBrackets(host.trimmed());
    std::vector<sockaddr_storage> out;
    sockaddr_storage ss {};
    if (WSocketIsDottedIP(host) || h.isEmpty() || h.size() > 256) {
        auto* sin = reinterpret_cast<sockaddr_in*>(&ss);
        sin->sin_family = AF_INET;
        sin->sin_addr.s_addr = ResolveHost(host);
        out.push_back(ss);
        return out;
    }
    if (h.contains(u':')) {
        auto* sin6 = reinterpret_cast<sockaddr_in6*>(&ss);
        sin6->sin6_family = AF_INET6;
        if (inet_pton(AF_INET6, h.toLatin1().constData(), &sin6->sin6_addr) != 1)
            throw ESocketException(QStringLiteral("WSocketResolveHost: '%1' Invalid IP address.").arg(host));
        out.push_back(ss);
        return out;
    }
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const int rc = getaddrinfo(h.toUtf8().constData(), nullptr, &hints, &res);
    if (rc != 0 || !res) {
        if (res)
            freeaddrinfo(res);
        throw ESocketException(QStringLiteral("WSocketResolveHost: Cannot convert host address '%1', Error #%2")
                                   .arg(host).arg(WSocketGaiToWinsock(rc ? rc : EAI_NONAME)));
    }
    // IPv4 addresses first: a name reached over IPv4 so far keeps being so;
    // the IPv6 ones are tried when those fail.
    for (int family : {AF_INET, AF_INET6}) {
        for (const addrinfo* ai = res; ai; ai = ai->ai_next) {
            if (ai->ai_family != family || ai->ai_addrlen > sizeof ss)
                continue;
            sockaddr_storage one {};
            std::memcpy(&one, ai->ai_addr, ai->ai_addrlen);
            const bool seen = std::any_of(out.begin(), out.end(), [&](const sockaddr_storage& o) {
                return std::memcmp(&o, &one, sizeof one) == 0;
            });
            if (!seen)
                out.push_back(one);
        }
    }
    freeaddrinfo(res);
    if (out.empty())
        throw ESocketException(QStringLiteral("WSocketResolveHost: Cannot convert host address '%1', Error #%2")
                                   .arg(host).arg(wsock::WSANO_DATA));
    return out;
}

// --- peer and local names ------------------------------------------------------

int TCustomWSocket::GetPeerName(sockaddr_in& name)
{
    socklen_t len = sizeof name;
    if (m_fd == -1 || ::getpeername(m_fd, reinterpret_cast<sockaddr*>(&name), &len) < 0) {
        m_lastError = m_fd == -1 ? wsock::WSAENOTSOCK : WSocketErrnoToWinsock(errno);
        return -1;
    }
    return 0;
}

int TCustomWSocket::GetSockName(sockaddr_in& name)
{
    socklen_t len = sizeof name;
    if (m_fd == -1 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&name), &len) < 0) {
        m_lastError = m_fd == -1 ? wsock::WSAENOTSOCK : WSocketErrnoToWinsock(errno);
        return -1;
    }
    return 0;
}

int TCustomWSocket::GetPeerName(sockaddr_storage& name)
{
    socklen_t len = sizeof name;
    if (m_fd == -1 || ::getpeername(m_fd, reinterpret_cast<sockaddr*>(&name), &len) < 0) {
        m_lastError = m_fd == -1 ? wsock::WSAENOTSOCK : WSocketErrnoToWinsock(errno);
        return -1;
    }
    return 0;
}

int TCustomWSocket::GetSockName(sockaddr_storage& name)
{
    socklen_t len = sizeof name;
    if (m_fd == -1 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&name), &len) < 0) {
        m_lastError = m_fd == -1 ? wsock::WSAENOTSOCK : WSocketErrnoToWinsock(errno);
        return -1;
    }
    return 0;
}

int TCustomWSocket::AddressFamily()
{
    sockaddr_storage ss {};
    return GetSockName(ss) == 0 ? ss.ss_family : 0;
}

QString TCustomWSocket::PeerAddr()
{
    if (m_state != wsConnected)
        return QStringLiteral("error");
    sockaddr_storage ss {};
    if (GetPeerName(ss) != 0) {
        SocketError(QStringLiteral("GetPeerName"), m_lastError);
        return QStringLiteral("error");
    }
    return WSocketAddrText(ss);
}

QString TCustomWSocket::PeerPort()
{
    if (m_state != wsConnected)
        return QStringLiteral("error");
    sockaddr_in sin {};
    if (GetPeerName(sin) != 0) {
        SocketError(QStringLiteral("GetPeerPort"), m_lastError);
        return QStringLiteral("error");
    }
    return QString::number(ntohs(sin.sin_port)); // at the same offset for IPv6
}

QString TCustomWSocket::GetXAddr()
{
    sockaddr_storage ss {};
    if (GetSockName(ss) != 0)
        return QStringLiteral("error");
    return WSocketAddrText(ss);
}

QString TCustomWSocket::GetXPort()
{
    sockaddr_in sin {};
    if (GetSockName(sin) != 0)
        return QStringLiteral("error");
    return QString::number(ntohs(sin.sin_port));
}

