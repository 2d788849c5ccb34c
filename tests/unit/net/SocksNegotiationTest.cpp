// SOCKS 4, 4A and 5 negotiation against a scripted server: the exact request
// bytes of each level, every failure path, and hostile replies.
#include "FakeSocksServer.h"
#include "TestEnv.h"
#include "net/WSocket.h"

#include <gtest/gtest.h>

namespace {

QByteArray bytes(std::initializer_list<int> v)
{
    QByteArray b;
    for (int x : v)
        b.append(char(x));
    return b;
}

// A SOCKS client socket with every outcome recorded.
struct Client {
    TWSocket s;
    QStringList log;
    QByteArray data;
    int socksError = -1;
    QString socksMsg;
    QList<int> authStates;

    Client(quint16 socksPort, const QString& level, const QString& addr = "10.1.2.3", const QString& port = "21")
    {
        s.SetSocksServer("127.0.0.1");
        s.SetSocksPort(QString::number(socksPort));
        s.SetSocksLevel(level);
        s.SetAddr(addr);
        s.SetPort(port);
        s.OnSessionConnected = [this](TCustomWSocket*, quint16 e) { log << QStringLiteral("connected %1").arg(e); };
        s.OnSessionClosed = [this](TCustomWSocket*, quint16 e) { log << QStringLiteral("closed %1").arg(e); };
        s.OnSocksConnected = [this](TCustomWSocket*, quint16 e) { log << QStringLiteral("socks-connected %1").arg(e); };
        s.OnSocksError = [this](TCustomWSocket*, int e, const QString& m) {
            socksError = e;
            socksMsg = m;
        };
        s.OnSocksAuthState = [this](TCustomWSocket*, TSocksAuthState a) { authStates << a; };
        s.OnDataAvailable = [this](TCustomWSocket* so, quint16) {
            char buf[4096];
            const int n = so->Receive(buf, sizeof buf);
            if (n > 0)
                data.append(buf, n);
        };
    }
    bool finished() const { return s.State() == wsClosed || log.contains("connected 0"); }
};

} // namespace

TEST(SocksRequest, Level5WithoutAuthSendsMethodsThenDomainRequest)
{
    FakeSocksServer srv;
    srv.addStep(3, bytes({5, 0}));
    srv.addStep(3 + 15, bytes({5, 0, 0, 1, 127, 0, 0, 1, 0x12, 0x34}) + "220 ready\r\n");
    Client c(srv.port(), "5");
    c.s.Connect();
    ASSERT_TRUE(testenv::waitFor([&] { return c.data.size() >= 11; }));
    EXPECT_EQ(srv.received(), bytes({5, 1, 0}) + bytes({5, 1, 0, 3, 8}) + "10.1.2.3" + bytes({0, 21}));
    EXPECT_EQ(c.log, QStringList({"socks-connected 0", "connected 0"}));
    // The application data behind the reply reaches the first read.
    EXPECT_EQ(c.data, "220 ready\r\n");
    EXPECT_EQ(c.s.BoundAddr(), "127.0.0.1");
    EXPECT_EQ(c.s.BoundPort(), QString::number(0x1234));
    EXPECT_TRUE(c.authStates.isEmpty());
}

TEST(SocksRequest, Level5UserPasswordSubnegotiation)
{
    FakeSocksServer srv;
    srv.addStep(3, bytes({5, 2}));
    srv.addStep(3 + 3 + 4 + 6, bytes({1, 0}));
    srv.addStep(3 + 13 + 7 + 15, bytes({5, 0, 0, 3, 4}) + "host" + bytes({0, 80}));
    Client c(srv.port(), "5", "ftp.example.org");
    c.s.SetSocksAuthentication(socksAuthenticateUsercode);
    c.s.SetSocksUsercode("user");
    c.s.SetSocksPassword("secret");
    c.s.Connect();
    ASSERT_TRUE(testenv::waitFor([&] { return c.finished(); }));
    EXPECT_EQ(srv.received(), bytes({5, 1, 2}) + bytes({1, 4}) + "user" + bytes({6}) + "secret"
                                  + bytes({5, 1, 0, 3, 15}) + "ftp.example.org" + bytes({0, 21}));
    EXPECT_EQ(c.log.last(), "connected 0");
    EXPECT_EQ(c.authStates, QList<int>({socksAuthStart, socksAuthSuccess}));
    EXPECT_EQ(c.s.BoundAddr(), "host");
    EXPECT_EQ(c.s.BoundPort(), "80");
}

TEST(SocksRequest, Level4AndLevel4ABytes)
{
    {
        FakeSocksServer srv;
        srv.addStep(9 + 8, bytes({0, 90, 0, 0, 0, 0, 0, 0}) + "hello");
        Client c(srv.port(), "4A", "ftp.example.org");
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return c.data == "hello"; }));
        EXPECT_EQ(srv.received(), bytes({4, 1, 0, 21, 0, 0, 0, 1, 0}) + "ftp.example.org" + bytes({0}));
    }
    {
        FakeSocksServer srv;
        srv.addStep(8 + 3 + 1, bytes({0, 90, 0, 0, 0, 0, 0, 0}) + "banner");
        Client c(srv.port(), "4", "10.1.2.3", "2121");
        c.s.SetSocksUsercode("bob");
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return c.data == "banner"; }));
        // One terminator only: nothing of the request may reach the target.
        EXPECT_EQ(srv.received(), bytes({4, 1, 0x08, 0x49, 10, 1, 2, 3}) + "bob" + bytes({0}));
        EXPECT_EQ(c.log.last(), "connected 0");
    }
}

TEST(SocksFailure, EveryReplyCodeGivesItsErrorAndAClose)
{
    struct Row {
        const char* name;
        QString level;
        QList<QByteArray> replies; // one per client message
        int code;
        QString msg;
    };
    const QList<Row> rows = {
        {"method refused", "5", {bytes({5, 255})}, 20003, "authentification method not acceptable"},
        {"method reply version", "5", {bytes({4, 0})}, 20002, "socks version error"},
        {"v5 general failure", "5", {bytes({5, 0}), bytes({5, 1, 0, 1})}, 20004, "general SOCKS server failure"},
        {"v5 ruleset", "5", {bytes({5, 0}), bytes({5, 2, 0, 1})}, 20005, "connection not allowed by ruleset"},
        {"v5 refused", "5", {bytes({5, 0}), bytes({5, 5, 0, 1})}, 20008, "connection refused"},
        {"v5 address type reply", "5", {bytes({5, 0}), bytes({5, 8, 0, 1})}, 20011, "address type not supported"},
        {"v5 unassigned", "5", {bytes({5, 0}), bytes({5, 42, 0, 1})}, 20012, "unassigned error #42"},
        {"v5 reply version", "5", {bytes({5, 0}), bytes({9, 0, 0, 1})}, 20002, "socks version error"},
        {"v5 bound type", "5", {bytes({5, 0}), bytes({5, 0, 0, 9, 0, 0})}, 20011, "address type not supported"},
        {"v4 rejected", "4", {bytes({0, 91, 0, 0, 0, 0, 0, 0})}, 20016, "request rejected or failed"},
        {"v4 refused", "4", {bytes({0, 92, 0, 0, 0, 0, 0, 0})}, 20008, "connection refused"},
        {"v4 ident", "4A", {bytes({0, 93, 0, 0, 0, 0, 0, 0})}, 20015, "authentification failed"},
        {"v4 other", "4", {bytes({0, 77, 0, 0, 0, 0, 0, 0})}, 20012, "unassigned error #77"},
        {"v4 version", "4", {bytes({4, 90, 0, 0, 0, 0, 0, 0})}, 20002, "socks version error"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        FakeSocksServer srv;
        const bool v5 = r.level == "5";
        // Reply to the method message (3 bytes), then to the request.
        srv.addStep(v5 ? 3 : 1, r.replies[0]);
        if (r.replies.size() > 1)
            srv.addStep(3 + 15, r.replies[1]);
        Client c(srv.port(), r.level);
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return c.s.State() == wsClosed; }));
        EXPECT_EQ(c.socksError, r.code);
        EXPECT_EQ(c.socksMsg, r.msg);
        EXPECT_EQ(c.log, QStringList({"socks-connected 0", QStringLiteral("connected %1").arg(r.code),
                                      QStringLiteral("closed %1").arg(r.code)}));
    }
}

TEST(SocksFailure, AuthenticationRefusedAndOverlongAuthReply)
{
    {
        FakeSocksServer srv;
        srv.addStep(3, bytes({5, 2}));
        srv.addStep(3 + 1, bytes({1, 1}));
        Client c(srv.port(), "5");
        c.s.SetSocksAuthentication(socksAuthenticateUsercode);
        c.s.SetSocksUsercode("u");
        c.s.SetSocksPassword("wrong");
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return c.s.State() == wsClosed; }));
        EXPECT_EQ(c.socksError, 20015);
        EXPECT_EQ(c.socksMsg, "socks authentication failed");
        EXPECT_EQ(c.authStates.first(), socksAuthStart);
    }
    {
        FakeSocksServer srv;
        srv.addStep(3, bytes({5, 2}));
        srv.addStep(3 + 1, bytes({1, 0, 0, 0}));
        Client c(srv.port(), "5");
        c.s.SetSocksAuthentication(socksAuthenticateUsercode);
        c.s.SetSocksUsercode("u");
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return c.s.State() == wsClosed; }));
        EXPECT_EQ(c.socksError, 20001);
        EXPECT_EQ(c.socksMsg, "too much data availaible");
    }
}

TEST(SocksFailure, HostileServersEndInAnErrorNeverAHang)
{
    {   // A bound name longer than the reply buffer can hold.
        FakeSocksServer srv;
        srv.addStep(3, bytes({5, 0}));
        srv.addStep(3 + 15, bytes({5, 0, 0, 3, 250}) + QByteArray(250, 'n') + bytes({0, 21}));
        Client c(srv.port(), "5");
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return c.s.State() == wsClosed; }));
        EXPECT_EQ(c.socksError, 20001);
        EXPECT_FALSE(c.log.contains("connected 0"));
    }
    {   // Closes in the middle of the negotiation.
        FakeSocksServer srv;
        srv.addStep(3, bytes({5}), true);
        Client c(srv.port(), "5");
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return c.s.State() == wsClosed; }));
        EXPECT_EQ(c.log, QStringList({"socks-connected 0", "connected 10054", "closed 0"}));
        EXPECT_EQ(c.socksMsg, "data receive error");
    }
    {   // Authentication dropped: the owner hears of the failure.
        FakeSocksServer srv;
        srv.addStep(3, bytes({5, 2}));
        srv.addStep(4, QByteArray(), true);
        Client c(srv.port(), "5");
        c.s.SetSocksAuthentication(socksAuthenticateUsercode);
        c.s.SetSocksUsercode("u");
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return c.s.State() == wsClosed; }));
        EXPECT_TRUE(c.authStates.contains(socksAuthFailure));
        EXPECT_TRUE(c.log.contains("connected 10054"));
    }
    {   // Answers the request with an endless stream of junk.
        FakeSocksServer srv;
        srv.addStep(3, bytes({5, 0}));
        srv.addStep(3 + 15, QByteArray());
        srv.floodAfterScript(64 * 1024 * 1024);
        Client c(srv.port(), "5");
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return c.s.State() == wsClosed; }, 10000));
        EXPECT_EQ(c.socksError, 20002);
    }
    {   // SOCKS server not running at all.
        Client c(testenv::freePort(), "5");
        c.s.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return c.s.State() == wsClosed; }));
        EXPECT_EQ(c.log, QStringList({"socks-connected 10061", "connected 10061", "closed 10061"}));
    }
}

TEST(SocksSettings, SurviveACloseAndForbidListenAndUdp)
{
    FakeSocksServer srv;
    srv.addStep(3, bytes({5, 0}));
    srv.addStep(18, bytes({5, 0, 0, 1, 1, 2, 3, 4, 0, 1}));
    Client c(srv.port(), "5");
    c.s.Connect();
    ASSERT_TRUE(testenv::waitFor([&] { return c.finished(); }));
    c.s.Close();
    EXPECT_EQ(c.s.SocksServer(), "127.0.0.1");
    EXPECT_EQ(c.s.SocksPort(), QString::number(srv.port()));
    EXPECT_EQ(c.s.SocksLevel(), "5");

    // A second connection goes through the SOCKS server again, never direct.
    FakeSocksServer srv2;
    srv2.addStep(3, bytes({5, 0}));
    srv2.addStep(18, bytes({5, 0, 0, 1, 1, 2, 3, 4, 0, 1}));
    c.s.SetSocksPort(QString::number(srv2.port()));
    c.s.SetAddr("10.1.2.3");
    c.s.SetPort("21");
    c.log.clear();
    c.s.Connect();
    ASSERT_TRUE(testenv::waitFor([&] { return c.finished(); }));
    EXPECT_EQ(c.log.last(), "connected 0");
    EXPECT_EQ(srv2.received().left(3), bytes({5, 1, 0}));
    c.s.Close();

    TWSocket s;
    s.SetSocksServer("127.0.0.1");
    s.SetAddr("127.0.0.1");
    s.SetPort("0");
    try {
        s.Listen();
        ADD_FAILURE() << "Listen through SOCKS accepted";
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message(), "Listening is not supported thru socks server");
    }
    s.SetProto("udp");
    try {
        s.Connect();
        ADD_FAILURE() << "UDP through SOCKS accepted";
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message(), "tcp is the only protocol supported thru socks server");
    }
}
