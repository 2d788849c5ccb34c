#include "net/SocksReply.h"

#include <arpa/inet.h>

namespace socks {
namespace {

QString socks5ReplyText(int code, int* err)
{
    static const char* const texts[] = {
        "general SOCKS server failure", "connection not allowed by ruleset", "network unreachable",
        "host unreachable", "connection refused", "time to live expired", "command not supported",
        "address type not supported",
    };
    if (code >= 1 && code <= 8) {
        *err = 20003 + code;
        return QString::fromLatin1(texts[code - 1]);
    }
    *err = 20012;
    return QStringLiteral("unassigned error #%1").arg(code);
}

Reply done(int length)
{
    Reply r;
    r.status = Reply::Done;
    r.length = length;
    return r;
}

} // namespace

Reply ReadMethodReply(const unsigned char* b, int count)
{
    if (count < 2)
        return {};
    if (b[0] != 5)
        return Reply::fail(20002, QStringLiteral("socks version error"));
    if (b[1] != 0 && b[1] != 2)
        return Reply::fail(20003, QStringLiteral("authentification method not acceptable"));
    Reply r = done(2);
    r.method = b[1];
    return r;
}

Reply ReadAuthReply(const unsigned char* b, int count)
{
    if (count >= 1 && b[0] != 1)
        return Reply::fail(20002, QStringLiteral("socks version error"));
    if (count < 2)
        return {};
    // The server's refusal is the cause, whatever follows it.
    if (b[1] != 0)
        return Reply::fail(20015, QStringLiteral("socks authentication failed"));
    if (count > 2)
        return Reply::fail(20001, QStringLiteral("too much data availaible"));
    return done(2);
}

Reply ReadConnectReply4(const unsigned char* b, int count)
{
    if (count < 8)
        return {};
    const int ver = b[0], code = b[1];
    Reply r = ver != 0    ? Reply::fail(20002, QStringLiteral("socks version error"))
              : code == 90 ? done(8)
              : code == 91 ? Reply::fail(20016, QStringLiteral("request rejected or failed"))
              : code == 92 ? Reply::fail(20008, QStringLiteral("connection refused"))
              : code == 93 ? Reply::fail(20015, QStringLiteral("authentification failed"))
                           : Reply::fail(20012, QStringLiteral("unassigned error #%1").arg(code));
    r.length = 8;  // consumed whatever it says
    return r;
}

Reply ReadConnectReply5(const unsigned char* b, int count, int bufferSize)
{
    if (count >= 1 && b[0] != 5)
        return Reply::fail(20002, QStringLiteral("socks version error"));
    if (count < 2)
        return {};
    if (b[1] != 0) {
        int err;
        const QString msg = socks5ReplyText(b[1], &err);
        return Reply::fail(err, msg);
    }
    if (count < 5)
        return {};
    const int atyp = b[3];
    int portOffset;
    if (atyp == 1)
        portOffset = 8;
    else if (atyp == 4)
        portOffset = 20;
    else if (atyp == 3)
        portOffset = 5 + b[4];
    else
        return Reply::fail(20011, QStringLiteral("address type not supported"));
    if (portOffset + 2 > bufferSize) {
        // A bound name this long cannot fit the reply buffer.
        return Reply::fail(20001, QStringLiteral("too much data availaible"));
    }
    if (count < portOffset + 2)
        return {};
    Reply r = done(portOffset + 2);
    if (atyp == 1) {
        r.boundAddr = QStringLiteral("%1.%2.%3.%4").arg(b[4]).arg(b[5]).arg(b[6]).arg(b[7]);
    } else if (atyp == 4) {
        char buf[INET6_ADDRSTRLEN] = {};
        inet_ntop(AF_INET6, b + 4, buf, sizeof buf);
        r.boundAddr = QString::fromLatin1(buf);
    } else {
        r.boundAddr = QString::fromLatin1(reinterpret_cast<const char*>(b + 5), b[4]);
    }
    r.boundPort = QString::number((b[portOffset] << 8) | b[portOffset + 1]);
    return r;
}

} // namespace socks
