// The SOCKS 4 and 5 reply reading: the first byte picks the reply (method
// choice, user/password answer, level 4 or level 5 connect answer); the rest
// is what the server sent, at most the client's 127-byte reply buffer. Every
// prefix of the bytes is read as a receive could leave it: a reply judged
// whole or failed keeps that judgement however many more bytes arrive.
#include "FuzzSupport.h"

#include "net/SocksReply.h"

namespace {
constexpr int kReplyMax = 127;  // as in SocksWSocket.cpp

socks::Reply readAs(int kind, const unsigned char* b, int count)
{
    switch (kind) {
    case 0: return socks::ReadMethodReply(b, count);
    case 1: return socks::ReadAuthReply(b, count);
    case 2: return socks::ReadConnectReply4(b, count);
    default: return socks::ReadConnectReply5(b, count, kReplyMax);
    }
}

bool same(const socks::Reply& a, const socks::Reply& b)
{
    return a.status == b.status && a.length == b.length && a.error == b.error && a.message == b.message
           && a.method == b.method && a.boundAddr == b.boundAddr && a.boundPort == b.boundPort;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input in(data, size);
    const int kind = in.byte() % 4;
    const QByteArray bytes = in.bytes(kReplyMax);
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const int n = int(bytes.size());

    socks::Reply decided;
    int decidedAt = -1;
    for (int count = 1; count <= n; ++count) {
        const socks::Reply r = readAs(kind, b, count);
        if (r.status == socks::Reply::Done) {
            FUZZ_CHECK(r.length >= 1 && r.length <= count && r.length <= kReplyMax);
            if (kind == 0)
                FUZZ_CHECK(r.method == 0 || r.method == 2);
            if (kind == 3) {
                bool ok = false;
                const int port = r.boundPort.toInt(&ok);
                FUZZ_CHECK(ok && port >= 0 && port <= 65535);
            }
        }
        if (r.status == socks::Reply::Failed)
            FUZZ_CHECK(r.error >= 20001 && !r.message.isEmpty());
        if (decidedAt >= 0) {
            // The user/password answer is two bytes: a third one is an error.
            if (kind == 1 && decided.status == socks::Reply::Done)
                FUZZ_CHECK(r.status == socks::Reply::Failed && r.error == 20001);
            else
                FUZZ_CHECK(same(r, decided));
        } else if (r.status != socks::Reply::Incomplete) {
            decided = r;
            decidedAt = count;
        }
    }
    return 0;
}
