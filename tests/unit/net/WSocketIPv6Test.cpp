// IPv6 in the socket core: literal addresses with and without brackets, the
// addresses of a name tried in turn, listening in IPv6, address texts, and
// SOCKS 5 carrying IPv6 (requests and replies of address type 4).
#include "FakeSocksServer.h"
#include "TestEnv.h"
#include "net/WSocket.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace {

QByteArray bytes(std::initializer_list<int> v)
{
    QByteArray b;
    for (int x : v)
        b.append(char(x));
    return b;
}

QByteArray loopback6() { return QByteArray(15, '\0') + char(1); }

// Records the connect results of a socket.
struct Connector {
    TWSocket s;
    QList<int> connected;
    QList<int> closed;
    Connector()
    {
        s.OnSessionConnected = [this](TCustomWSocket*, quint16 e) { connected << e; };
        s.OnSessionClosed = [this](TCustomWSocket*, quint16 e) { closed << e; };
    }
};

// A port on which nothing listens on 127.0.0.1 (the one a ::1 server holds).
bool freeOnIPv4(quint16 port)
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, port);
}

// Listens on ::1 at a port that is free on 127.0.0.1 as well. Tests running
// at the same time take ports too, so the system's first choice may be in
// use on IPv4: another port is taken then.
bool listenOnIPv6Only(QTcpServer& srv)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!srv.listen(QHostAddress::LocalHostIPv6, 0))
            return false;
        if (freeOnIPv4(srv.serverPort()))
            return true;
        srv.close();
    }
    return false;
}

} // namespace

TEST(WSocketIPv6, LiteralAddressesWithAndWithoutBrackets)
{
    QTcpServer srv;
    ASSERT_TRUE(srv.listen(QHostAddress::LocalHostIPv6, 0));
    for (const QString addr : {"::1", "[::1]", " [::1] ", "0:0:0:0:0:0:0:1"}) {
        SCOPED_TRACE(addr.toStdString());
        Connector c;
        c.s.SetAddr(addr);
        c.s.SetPort(QString::number(srv.serverPort()));
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return !c.connected.isEmpty(); }));
        EXPECT_EQ(c.connected, QList<int>({0}));
        EXPECT_EQ(c.s.AddressFamily(), AF_INET6);
        // Address texts carry no brackets.
        EXPECT_EQ(c.s.PeerAddr(), "::1");
        EXPECT_EQ(c.s.GetXAddr(), "::1");
        EXPECT_EQ(c.s.PeerPort(), QString::number(srv.serverPort()));
        c.s.Close();
        ASSERT_TRUE(testenv::waitFor([&] { return srv.hasPendingConnections(); }));
        delete srv.nextPendingConnection();
    }
}

TEST(WSocketIPv6, TheAddressesOfANameAreTriedInTurn)
{
    QTcpServer srv;
    ASSERT_TRUE(listenOnIPv6Only(srv));
    const QString port = QString::number(srv.serverPort());
    {
        // 127.0.0.1 refuses, ::1 answers: one success, no failure reported.
        Connector c;
        c.s.SetAddrList({"127.0.0.1", "::1"});
        EXPECT_EQ(c.s.Addr(), "127.0.0.1");
        c.s.SetPort(port);
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return !c.connected.isEmpty(); }));
        EXPECT_EQ(c.connected, QList<int>({0}));
        EXPECT_EQ(c.s.PeerAddr(), "::1");
        c.s.Close();
    }
    {
        // Every address refuses: the owner hears of the failure once.
        QTcpServer gone;
        ASSERT_TRUE(listenOnIPv6Only(gone));
        const quint16 deadPort = gone.serverPort();
        gone.close();
        Connector c;
        c.s.SetAddrList({"127.0.0.1", "::1"});
        c.s.SetPort(QString::number(deadPort));
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return !c.connected.isEmpty() && c.s.State() == wsClosed; }));
        EXPECT_EQ(c.connected, QList<int>({wsock::WSAECONNREFUSED}));
    }
    {
        // A single address assigned afterwards replaces the list.
        Connector c;
        c.s.SetAddrList({"127.0.0.1", "::1"});
        c.s.SetAddr("127.0.0.1");
        c.s.SetPort(port);
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return !c.connected.isEmpty(); }));
        EXPECT_EQ(c.connected, QList<int>({wsock::WSAECONNREFUSED}));
    }
}

TEST(WSocketIPv6, ListeningSocketAcceptsAnIPv6Client)
{
    TWSocket listener;
    listener.SetAddr("::");
    listener.SetPort("0");
    int accepted = -1;
    listener.OnSessionAvailable = [&](TCustomWSocket* s, quint16) { accepted = s->Accept(); };
    listener.Listen();
    ASSERT_EQ(listener.State(), wsListening);
    EXPECT_EQ(listener.AddressFamily(), AF_INET6);
    EXPECT_EQ(listener.GetXAddr(), "::");
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHostIPv6, listener.GetXPort().toUShort());
    ASSERT_TRUE(testenv::waitFor([&] { return accepted >= 0; }));
    TWSocket served;
    served.Dup(accepted);
    EXPECT_EQ(served.PeerAddr(), "::1");
    EXPECT_EQ(served.PeerPort(), QString::number(client.localPort()));
}

TEST(WSocketIPv6, LookupAndLocalAddressTakeIPv6Literals)
{
    TWSocket s;
    QList<int> done;
    s.OnDnsLookupDone = [&](TCustomWSocket*, quint16 e) { done << e; };
    s.DnsLookup("[::1]");
    EXPECT_EQ(done, QList<int>({0}));  // a literal needs no lookup: answered at once
    EXPECT_EQ(s.DnsResult(), "::1");
    s.SetLocalAddr("::1");
    EXPECT_EQ(s.LocalAddr(), "::1");
    EXPECT_THROW(s.SetLocalAddr("::1::2"), ESocketException);
    EXPECT_TRUE(WSocketIsIPv6("[fe80::1]"));
    EXPECT_FALSE(WSocketIsIPv6("127.0.0.1"));
    EXPECT_FALSE(WSocketIsIPv6("ftp.example.org"));
    // A malformed IPv6 literal is a clear error, not a lookup of a name.
    TWSocket bad;
    bad.SetAddr("[::1::2]");
    bad.SetPort("21");
    try {
        bad.Connect();
        ADD_FAILURE() << "no exception";
    } catch (const ESocketException& e) {
        EXPECT_TRUE(e.Message().contains("Invalid IP address")) << e.Message().toStdString();
    }
}

// --- SOCKS 5 and IPv6 ----------------------------------------------------

namespace {
struct SocksClient : Connector {
    QByteArray data;
    int socksError = 0;
    QString socksMsg;
    SocksClient(quint16 socksPort, const QString& level, const QString& target)
    {
        s.SetSocksServer("127.0.0.1");
        s.SetSocksPort(QString::number(socksPort));
        s.SetSocksLevel(level);
        s.SetAddr(target);
        s.SetPort("21");
        s.OnSocksError = [this](TCustomWSocket*, int e, const QString& m) {
            socksError = e;
            socksMsg = m;
        };
        s.OnDataAvailable = [this](TCustomWSocket* so, quint16) {
            char buf[512];
            const int n = so->Receive(buf, sizeof buf);
            if (n > 0)
                data.append(buf, n);
        };
    }
};
const QByteArray kRequest6 = bytes({5, 1, 0, 4}) + loopback6() + bytes({0, 21});
} // namespace

TEST(SocksIPv6, TargetGoesAsAddressTypeFourAndTheBoundAddressIsRead)
{
    QByteArray bound = bytes({0x20, 0x01, 0x0d, 0xb8}) + QByteArray(11, '\0') + char(7);
    FakeSocksServer srv;
    srv.addStep(3, bytes({5, 0}));
    srv.addStep(3 + 22, bytes({5, 0, 0, 4}) + bound + bytes({0x12, 0x34}) + "220 ready\r\n");
    SocksClient c(srv.port(), "5", "[::1]");
    c.s.Connect();
    ASSERT_TRUE(testenv::waitFor([&] { return c.data.size() >= 11 || c.s.State() == wsClosed; }));
    EXPECT_EQ(srv.received(), bytes({5, 1, 0}) + kRequest6);
    EXPECT_EQ(c.connected, QList<int>({0}));
    EXPECT_EQ(c.data, "220 ready\r\n");  // nothing of the reply leaks into the data
    EXPECT_EQ(c.s.BoundAddr(), "2001:db8::7");
    EXPECT_EQ(c.s.BoundPort(), QString::number(0x1234));
}

TEST(SocksIPv6, ShortOrMalformedRepliesAreSocksErrors)
{
    struct Case {
        const char* name;
        QByteArray reply;
        int error;
    };
    const QList<Case> cases = {
        // 10 of the 22 bytes, then the server hangs up: never read past what came.
        {"type 4 cut short", bytes({5, 0, 0, 4}) + QByteArray(6, '\0'), wsock::WSAECONNRESET},
        {"type 3 name cut short", bytes({5, 0, 0, 3, 40}) + "abc", wsock::WSAECONNRESET},
        {"unknown address type", bytes({5, 0, 0, 9}) + QByteArray(20, '\0'), 20011},
        {"name longer than a reply can hold", bytes({5, 0, 0, 3, 250}) + QByteArray(60, 'n'), 20001},
        {"refused with a type 4 address", bytes({5, 5, 0, 4}) + QByteArray(18, '\0'), 20008},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        FakeSocksServer srv;
        srv.addStep(3, bytes({5, 0}));
        srv.addStep(3 + 22, k.reply, true);
        SocksClient c(srv.port(), "5", "::1");
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return !c.connected.isEmpty() && c.s.State() == wsClosed; }));
        EXPECT_EQ(c.connected, QList<int>({k.error}));
        EXPECT_EQ(c.socksError, k.error);
        EXPECT_FALSE(c.socksMsg.isEmpty());
        EXPECT_TRUE(c.data.isEmpty());
    }
}

TEST(SocksIPv6, LevelsFourAndFourACannotCarryIPv6)
{
    for (const QString level : {"4", "4A"}) {
        SCOPED_TRACE(level.toStdString());
        FakeSocksServer srv;
        SocksClient c(srv.port(), level, "::1");
        try {
            c.s.Connect();
            ADD_FAILURE() << "no exception";
        } catch (const ESocketException& e) {
            EXPECT_TRUE(e.Message().contains("cannot carry the IPv6 address ::1")) << e.Message().toStdString();
        }
        EXPECT_EQ(c.s.LastError(), 20011);
        EXPECT_EQ(c.s.State(), wsClosed);
        EXPECT_TRUE(srv.received().isEmpty());
    }
}
