// Connections through real SOCKS servers (dante: SOCKS 4 and 5 with and
// without user/password; microsocks: SOCKS 5; OpenSSH's dynamic forwarding:
// SOCKS 4A with a host name the proxy resolves) carrying data both ways to an
// echo peer on 127.0.0.1.
#include "SocksServers.h"
#include "TestEnv.h"
#include "net/WSocket.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace {

// Echoes every byte back on every accepted connection.
class EchoServer : public QTcpServer {
public:
    explicit EchoServer(const QHostAddress& at = QHostAddress::LocalHost)
    {
        listen(at, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [s] { s->write(s->readAll()); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
};

struct Outcome {
    quint16 echoPort = 0;
    int connected = -1;
    int socksError = 0;
    QList<int> auth;
    QByteArray echoed;
};

// Connects through the SOCKS server, sends a 200 KiB pattern and waits for
// all of it to come back.
Outcome roundTrip(quint16 socksPort, const QString& level, const QString& user = {}, const QString& pass = {},
                  const QString& target = "127.0.0.1")
{
    EchoServer echo(WSocketIsIPv6(target) ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost);
    TWSocket s;
    Outcome o;
    o.echoPort = echo.serverPort();
    QByteArray payload(200 * 1024, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char((i * 31) ^ (i >> 8));
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(QString::number(socksPort));
    s.SetSocksLevel(level);
    if (!user.isEmpty()) {
        s.SetSocksAuthentication(socksAuthenticateUsercode);
        s.SetSocksUsercode(user);
        s.SetSocksPassword(pass);
    }
    s.SetAddr(target);
    s.SetPort(QString::number(echo.serverPort()));
    s.OnSocksError = [&](TCustomWSocket*, int e, const QString&) { o.socksError = e; };
    s.OnSocksAuthState = [&](TCustomWSocket*, TSocksAuthState a) { o.auth << a; };
    s.OnSessionConnected = [&](TCustomWSocket* so, quint16 e) {
        o.connected = e;
        if (e == 0)
            so->Send(payload.constData(), payload.size());
    };
    s.OnDataAvailable = [&](TCustomWSocket* so, quint16) {
        char buf[8192];
        const int n = so->Receive(buf, sizeof buf);
        if (n > 0)
            o.echoed.append(buf, n);
    };
    testenv::waitFor([&] {
        if (o.connected == -1 && s.State() == wsClosed)
            s.Connect();
        return (o.connected > 0) || o.echoed.size() >= payload.size() || (o.connected == 0 && s.State() == wsClosed);
    }, 20000);
    if (o.connected == 0) {
        EXPECT_EQ(o.echoed, payload);
    }
    s.Close();
    return o;
}

} // namespace

TEST(SocksDante, Levels4And5CarryDataBothWays)
{
    REQUIRE_PROGRAM(danted, "danted");
    testsocks::SocksServer dante;
    START_OR_SKIP(dante.startDante(false, &why));
    Outcome v5 = roundTrip(dante.port(), "5");
    EXPECT_EQ(v5.connected, 0);
    Outcome v4 = roundTrip(dante.port(), "4");
    EXPECT_EQ(v4.connected, 0);
    // SOCKS 4 carries a user id, not a password: dante lets it pass.
    Outcome v4user = roundTrip(dante.port(), "4", "anyone");
    EXPECT_EQ(v4user.connected, 0);
    // dante does not implement the 4A extension: it rejects the request.
    Outcome v4a = roundTrip(dante.port(), "4A", {}, {}, "localhost");
    EXPECT_EQ(v4a.connected, 20016);
}

TEST(SocksDante, UserPasswordLoginAndRefusal)
{
    REQUIRE_PROGRAM(danted, "danted");
    START_OR_SKIP(testsocks::SocksServer::ensureDanteUser(&why));
    testsocks::SocksServer dante;
    START_OR_SKIP(dante.startDante(true, &why));
    Outcome ok = roundTrip(dante.port(), "5", testsocks::SocksServer::danteUser(),
                           testsocks::SocksServer::dantePassword());
    EXPECT_EQ(ok.connected, 0);
    EXPECT_EQ(ok.auth, QList<int>({socksAuthStart, socksAuthSuccess}));
    Outcome bad = roundTrip(dante.port(), "5", testsocks::SocksServer::danteUser(), "not-the-password");
    EXPECT_NE(bad.connected, 0);
    EXPECT_TRUE(bad.auth.contains(socksAuthStart));
    EXPECT_FALSE(bad.auth.contains(socksAuthSuccess));
    // Without credentials the same server still serves method 0.
    Outcome anon = roundTrip(dante.port(), "5");
    EXPECT_EQ(anon.connected, 0);
}

TEST(SocksMicrosocks, Level5WithAndWithoutAuthentication)
{
    REQUIRE_PROGRAM(ms, "microsocks");
    {
        testsocks::SocksServer m;
        START_OR_SKIP(m.startMicrosocks({}, {}, &why));
        EXPECT_EQ(roundTrip(m.port(), "5").connected, 0);
        EXPECT_EQ(roundTrip(m.port(), "5", {}, {}, "localhost").connected, 0);
        // An IPv6 target goes as an address of type 4; the echo listens on ::1 only.
        EXPECT_EQ(roundTrip(m.port(), "5", {}, {}, "::1").connected, 0);
        EXPECT_EQ(roundTrip(m.port(), "5", {}, {}, "[::1]").connected, 0);
    }
    {
        testsocks::SocksServer m;
        START_OR_SKIP(m.startMicrosocks("alice", "pw-alice", &why));
        Outcome ok = roundTrip(m.port(), "5", "alice", "pw-alice");
        EXPECT_EQ(ok.connected, 0);
        EXPECT_EQ(ok.auth, QList<int>({socksAuthStart, socksAuthSuccess}));
        Outcome bad = roundTrip(m.port(), "5", "alice", "wrong");
        EXPECT_NE(bad.connected, 0);
        Outcome none = roundTrip(m.port(), "5");
        EXPECT_EQ(none.connected, 20003); // server demands a login we did not offer
    }
}

// SOCKS 4A: the client hands the proxy a host name, and the proxy resolves it.
// OpenSSH's dynamic forwarding implements it (dante does not, above). Its log
// shows the request as ssh decoded it and the name sshd looked up.
TEST(SocksOpenSsh, Level4AHandsTheHostNameToTheProxy)
{
    REQUIRE_PROGRAM(sshd, "sshd");
    testsocks::SocksServer ssh;
    START_OR_SKIP(ssh.startOpenSsh(&why));
    const Outcome byName = roundTrip(ssh.port(), "4A", {}, {}, "localhost");
    EXPECT_EQ(byName.connected, 0);
    EXPECT_EQ(byName.echoed.size(), 200 * 1024);
    for (const QString& line : {QStringLiteral("decode socks4a: host localhost"),
                                QStringLiteral("target localhost port %1").arg(byName.echoPort),
                                QStringLiteral("start for host localhost ([127.0.0.1]:%1)").arg(byName.echoPort)})
        EXPECT_TRUE(ssh.log().contains(line)) << line.toStdString() << " not in:\n" << ssh.log().toStdString();

    // An address given to level 4A travels as text in the same way.
    const Outcome byAddress = roundTrip(ssh.port(), "4A");
    EXPECT_EQ(byAddress.connected, 0);
    EXPECT_TRUE(ssh.log().contains(QStringLiteral("target 127.0.0.1 port %1").arg(byAddress.echoPort)));
    // The same server speaks levels 4 and 5.
    EXPECT_EQ(roundTrip(ssh.port(), "4").connected, 0);
    EXPECT_EQ(roundTrip(ssh.port(), "5", {}, {}, "localhost").connected, 0);
}
