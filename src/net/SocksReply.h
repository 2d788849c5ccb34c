#pragma once
// Reading a SOCKS server's replies (RFC 1928 and 1929, SOCKS 4) from the
// bytes received so far, without the socket: the negotiation in
// SocksWSocket.cpp acts on the result, the fuzz harness checks it.
#include <QString>

namespace socks {

struct Reply {
    enum Status { Incomplete, Done, Failed };
    Status status = Incomplete;  // Incomplete: wait for more bytes
    int length = 0;              // bytes the whole reply takes (Done)
    int error = 0;               // error number (Failed), 20001 and up
    QString message;             // what failed, in words
    int method = -1;             // the authentication method chosen (method reply)
    QString boundAddr, boundPort;  // connect reply of level 5

    static Reply fail(int error, const QString& message)
    {
        Reply r;
        r.status = Failed;
        r.error = error;
        r.message = message;
        return r;
    }
};

// Level 5: version 5 and the method the server chose, 0 (none) or 2
// (user and password).
Reply ReadMethodReply(const unsigned char* b, int count);
// The user/password sub-negotiation: version 1, status 0 for success; any
// byte after the two is an error.
Reply ReadAuthReply(const unsigned char* b, int count);
// Levels 4 and 4A: eight bytes, version 0 and status 90 for granted.
Reply ReadConnectReply4(const unsigned char* b, int count);
// Level 5: version, status, reserved, the bound address (IPv4, a name or
// IPv6) and port. A reply longer than bufferSize can never be whole: an error.
Reply ReadConnectReply5(const unsigned char* b, int count, int bufferSize);

} // namespace socks
