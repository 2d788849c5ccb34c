// Error numbers and texts of the socket layer, the errno mapping, the dotted
// address rule, the exception type and the send-queue block.
#include "net/WSocket.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>

namespace {

struct ErrorText {
    int code;
    const char* text;
};

// WinSock-numbered descriptions, as users know them.
constexpr ErrorText kErrorTexts[] = {
    {0, "No Error"},
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Address not available"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Connection aborted"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references: can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network sub-system is unusable"},
    {10092, "WinSock DLL cannot support this application"},
    {10093, "WinSock not initialized"},
    {11001, "Host not found"},
    {11002, "Non-authoritative host not found"},
    {11003, "Non-recoverable error"},
    {11004, "No Data"},
    // Failures of a SOCKS negotiation, in words a user can act on.
    {20001, "SOCKS server sent an unexpected reply"},
    {20002, "SOCKS version error in the server's reply"},
    {20003, "SOCKS server accepts none of the offered authentication methods"},
    {20004, "SOCKS server failure"},
    {20005, "SOCKS server's rules do not allow the connection"},
    {20006, "Network unreachable from the SOCKS server"},
    {20007, "Host unreachable from the SOCKS server"},
    {20008, "Connection refused (reported by the SOCKS server)"},
    {20009, "SOCKS server reports: time to live expired"},
    {20010, "Command not supported by the SOCKS server"},
    {20011, "Address type not supported by the SOCKS server"},
    {20012, "SOCKS server sent an unassigned error code"},
    {20013, "SOCKS negotiation internal error"},
    {20015, "SOCKS authentication failed"},
    {20016, "SOCKS request rejected or failed"},
    // Failures of TLS; the socket's TlsErrorText() adds OpenSSL's reason.
    {20101, "TLS handshake failed"},
    {20102, "TLS connection closed without close_notify (the data may be incomplete)"},
    {20103, "TLS error on an established connection"},
    {20104, "TLS certificate not trusted"},
    {20105, "TLS cannot be set up (OpenSSL context or trust file)"},
};

struct ErrnoMap {
    int err;
    int wsa;
};

constexpr ErrnoMap kErrnoMap[] = {
    {EINTR, 10004},        {EBADF, 10009},          {EACCES, 10013},       {EPERM, 10013},
    {EFAULT, 10014},       {EINVAL, 10022},         {EMFILE, 10024},       {ENFILE, 10024},
    {EWOULDBLOCK, 10035},  {EINPROGRESS, 10036},    {EALREADY, 10037},     {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},       {EPROTOTYPE, 10041},   {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045}, {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},     {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},      {ECONNABORTED, 10053}, {EPIPE, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},        {ENOMEM, 10055},       {EISCONN, 10056},
    {ENOTCONN, 10057},     {ESHUTDOWN, 10058},      {ETOOMANYREFS, 10059}, {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062},          {ENAMETOOLONG, 10063}, {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},      {EUSERS, 10068},       {EDQUOT, 10069},
    {ESTALE, 10070},       {EREMOTE, 10071},
};

} // namespace

QString WSocketErrorDesc(int code)
{
    for (const auto& e : kErrorTexts)
        if (e.code == code)
            return QString::fromLatin1(e.text);
    return QStringLiteral("Not a WinSock error");
}

int WSocketErrnoToWinsock(int err)
{
    if (err == 0)
        return 0;
    if (err == EAGAIN)
        return wsock::WSAEWOULDBLOCK;
    for (const auto& m : kErrnoMap)
        if (m.err == err)
            return m.wsa;
    return wsock::WSAEINVAL;
}

int WSocketGaiToWinsock(int gaiErr)
{
    switch (gaiErr) {
    case 0:
        return 0;
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
        return wsock::WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
        return wsock::WSATRY_AGAIN;
    case EAI_SERVICE:
        return wsock::WSANO_DATA;
    case EAI_MEMORY:
        return wsock::WSAENOBUFS;
    case EAI_SYSTEM:
        return WSocketErrnoToWinsock(errno);
    default:
        return wsock::WSANO_RECOVERY;
    }
}

bool WSocketIsDottedIP(const QString& s)
{
    int i = 0;
    const int n = s.size();
    while (i < n && s[i] == u' ')
        ++i;
    int dots = 0;
    int part = -1; // -1: no digit yet in the current part
    for (; i < n; ++i) {
        const QChar c = s[i];
        if (c == u'.') {
            if (part < 0 || ++dots > 3)
                return false;
            part = -1;
        } else if (c >= u'0' && c <= u'9') {
            part = (part < 0 ? 0 : part) * 10 + (c.unicode() - u'0');
            if (part > 255)
                return false;
        } else {
            break;
        }
    }
    if (dots != 3 || part < 0)
        return false;
    for (; i < n; ++i)
        if (s[i] != u' ')
            return false;
    return true;
}

const char* SocketStateName(TSocketState s)
{
    switch (s) {
    case wsInvalidState: return "wsInvalidState";
    case wsOpened: return "wsOpened";
    case wsBound: return "wsBound";
    case wsConnecting: return "wsConnecting";
    case wsConnected: return "wsConnected";
    case wsAccepting: return "wsAccepting";
    case wsListening: return "wsListening";
    case wsClosed: return "wsClosed";
    }
    return "unknown";
}

ESocketException::ESocketException(const QString& msg)
    : std::runtime_error(msg.toStdString()), m_msg(msg)
{
}

TBuffer::TBuffer(int size)
    : m_size(size <= 0 ? 1514 : size)
{
    m_data = new char[m_size];
}

TBuffer::~TBuffer() { delete[] m_data; }

int TBuffer::Write(const void* data, int len)
{
    const int room = m_size - m_wr;
    const int n = len < room ? len : room;
    if (n > 0) {
        std::memcpy(m_data + m_wr, data, n);
        m_wr += n;
    }
    return n > 0 ? n : 0;
}

void TBuffer::Remove(int len)
{
    m_rd += len;
    if (m_rd >= m_wr)
        m_rd = m_wr = 0;
}
