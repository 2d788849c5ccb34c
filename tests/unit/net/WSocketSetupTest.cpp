// Property rules, resolving, error texts, name lookup and UDP of TWSocket.
#include "NetTestUtil.h"
#include "TestEnv.h"
#include "net/WSocket.h"

#include <QUdpSocket>
#include <gtest/gtest.h>

using nettest::RawListener;

namespace {

QString thrownBy(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ESocketException& e) {
        return e.Message();
    }
    return QStringLiteral("<nothing thrown>");
}

} // namespace

TEST(WSocketErrors, WinsockNumbersAndTexts)
{
    EXPECT_EQ(WSocketErrnoToWinsock(EWOULDBLOCK), 10035);
    EXPECT_EQ(WSocketErrnoToWinsock(ECONNRESET), 10054);
    EXPECT_EQ(WSocketErrnoToWinsock(ECONNREFUSED), 10061);
    EXPECT_EQ(WSocketErrnoToWinsock(EPIPE), 10053);
    EXPECT_EQ(WSocketErrorDesc(10061), "Connection refused");
    EXPECT_EQ(WSocketErrorDesc(11001), "Host not found");
    EXPECT_EQ(WSocketErrorDesc(0), "No Error");
    EXPECT_EQ(WSocketErrorDesc(12345), "Not a WinSock error");
}

TEST(WSocketErrors, DottedAddressRule)
{
    for (const char* ok : {"127.0.0.1", "  10.1.2.3", "10.1.2.3  ", "255.255.255.255", "0.0.0.0"})
        EXPECT_TRUE(WSocketIsDottedIP(ok)) << ok;
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.", "a.b.c.d", "1.2.3.4x",
                            "ftp.example.com", "1.2.3.4 5"})
        EXPECT_FALSE(WSocketIsDottedIP(bad)) << bad;
}

TEST(WSocketSetters, RefusedWhileNotClosedAndOldValueKept)
{
    RawListener srv;
    TWSocket s;
    s.SetAddr("127.0.0.1");
    s.SetPort(srv.portText());
    s.Connect();
    ASSERT_NE(s.State(), wsClosed);
    EXPECT_EQ(thrownBy([&] { s.SetPort("21"); }), "Cannot change Port if not closed");
    EXPECT_EQ(s.Port(), srv.portText());
    EXPECT_EQ(thrownBy([&] { s.SetAddr("10.0.0.1"); }), "Cannot change Addr if not closed");
    EXPECT_EQ(thrownBy([&] { s.SetProto("udp"); }), "Cannot change Proto if not closed");
    EXPECT_EQ(thrownBy([&] { s.SetLocalPort("1"); }), "Cannot change LocalPort if not closed");
    EXPECT_EQ(thrownBy([&] { s.SetLocalAddr("1.2.3.4"); }), "Cannot change LocalAddr if not closed");
    EXPECT_EQ(thrownBy([&] { s.SetSocksLevel("4"); }), "Can't change socks level if not closed");
    EXPECT_EQ(thrownBy([&] { s.SetSocksServer("x"); }), "Can't change socks server if not closed");
    EXPECT_EQ(thrownBy([&] { s.SetSocksPort("1"); }), "Can't change socks port if not closed");
    EXPECT_EQ(thrownBy([&] { s.Connect(); }), "Connect: Socket already in use");

    // With an error handler assigned nothing is thrown: OnError fires instead.
    int errors = 0;
    s.OnError = [&](TCustomWSocket*) { ++errors; };
    s.SetPort("21");
    EXPECT_EQ(errors, 1);
    s.Abort();
}

TEST(WSocketSetters, ValueRules)
{
    TWSocket s;
    s.SetAddr("  host.example  ");
    EXPECT_EQ(s.Addr(), "host.example");
    EXPECT_EQ(thrownBy([&] { s.SetLocalAddr("255.255.255.255"); }), "SetLocalAddr(): Invalid IP address");
    EXPECT_EQ(thrownBy([&] { s.SetLocalAddr("nonsense"); }), "SetLocalAddr(): Invalid IP address");
    s.SetLocalAddr("");
    EXPECT_EQ(s.LocalAddr(), "0.0.0.0");
    EXPECT_EQ(thrownBy([&] { s.SetSendFlags(7); }), "Invalid SendFlags");
    s.SetSendFlags(wsSendUrgent);
    EXPECT_EQ(s.SendFlags(), wsSendUrgent);
    EXPECT_EQ(thrownBy([&] { s.SetSocksLevel("6"); }), "Invalid socks level. Must be 4, 4A or 5.");
    s.SetSocksLevel("4a");
    EXPECT_EQ(s.SocksLevel(), "4A");
    EXPECT_EQ(s.BufSize(), 1514);
}

TEST(WSocketConnect, MissingPartsAndResolveErrors)
{
    TWSocket s;
    EXPECT_EQ(thrownBy([&] { s.Connect(); }), "Connect: No Port Specified");
    s.SetPort("21");
    EXPECT_EQ(thrownBy([&] { s.Connect(); }), "Connect: No IP Address Specified");
    s.SetAddr("300.1.1.1x");
    EXPECT_TRUE(thrownBy([&] { s.Connect(); }).startsWith("connect: WSocketResolveHost: Cannot convert host address '300.1.1.1x', Error #"));
    s.SetAddr("127.0.0.1");
    s.SetPort("no-such-service-here");
    EXPECT_TRUE(thrownBy([&] { s.Connect(); }).startsWith("connect: WSocketResolvePort: Cannot convert port 'no-such-service-here', Error #"));
    s.SetPort(QString(40, '1').prepend('x'));
    EXPECT_EQ(thrownBy([&] { s.Connect(); }), "connect: WSocketResolvePort: Invalid Port.");
    s.SetPort("21");
    s.SetProto("nosuchproto");
    EXPECT_TRUE(thrownBy([&] { s.Connect(); }).startsWith("connect: WSocketResolveProto: Cannot convert protocol 'nosuchproto', Error #"));
    EXPECT_EQ(s.State(), wsClosed);

    TWSocket l;
    EXPECT_EQ(thrownBy([&] { l.Listen(); }), "Error 10022 in function listen: port not assigned\r\nInvalid argument");
    EXPECT_EQ(l.LastError(), 10022);
    EXPECT_EQ(thrownBy([&] { l.Accept(); }), "Error 10022 in function not a listening socket\r\nInvalid argument");
}

TEST(WSocketConnect, AfterCloseAddrMustBeAssignedAgain)
{
    RawListener srv;
    TWSocket s;
    QStringList log;
    nettest::recordEvents(&s, &log);
    s.SetAddr("127.0.0.1");
    s.SetPort(srv.portText());
    s.Connect();
    ASSERT_TRUE(testenv::waitFor([&] { return s.State() == wsConnected; }));
    s.Close();
    EXPECT_EQ(s.State(), wsClosed);
    EXPECT_EQ(s.Addr(), "127.0.0.1"); // the text survives, its assignment does not
    EXPECT_EQ(thrownBy([&] { s.Connect(); }), "Connect: No Port Specified");
    s.SetPort(srv.portText());
    EXPECT_EQ(thrownBy([&] { s.Connect(); }), "Connect: No IP Address Specified");
    s.SetAddr("127.0.0.1"); // the same text again counts
    s.Connect();
    EXPECT_TRUE(testenv::waitFor([&] { return s.State() == wsConnected; }));
    s.Close();
}

TEST(WSocketConnect, RefusedReportsErrorThenClosed)
{
    const quint16 port = testenv::freePort();
    TWSocket s;
    QStringList log;
    QList<int> states;
    nettest::recordEvents(&s, &log);
    s.OnChangeState = [&](TCustomWSocket*, TSocketState, TSocketState n) { states << n; };
    s.SetAddr("127.0.0.1");
    s.SetPort(QString::number(port));
    s.Connect();
    ASSERT_TRUE(testenv::waitFor([&] { return s.State() == wsClosed; }));
    EXPECT_EQ(log, QStringList({"connected 10061", "closed 10061"}));
    EXPECT_EQ(states, QList<int>({wsOpened, wsConnecting, wsConnected, wsClosed}));
}

TEST(WSocketDns, NumericAddressNeedsNoLookup)
{
    TWSocket s;
    int done = -1;
    s.OnDnsLookupDone = [&](TCustomWSocket*, quint16 e) { done = e; };
    s.DnsLookup("127.0.0.1");
    EXPECT_EQ(done, 0); // at once, not from the loop
    EXPECT_EQ(s.DnsResult(), "127.0.0.1");
    EXPECT_TRUE(s.DnsResultList().isEmpty());

    done = -1;
    EXPECT_EQ(thrownBy([&] { s.DnsLookup(""); }), "DNS lookup: invalid host name.");
    EXPECT_EQ(done, 10022);
}

TEST(WSocketDns, HostNameLookupAndCancel)
{
    TWSocket s;
    int done = -1;
    s.OnDnsLookupDone = [&](TCustomWSocket*, quint16 e) { done = e; };
    s.DnsLookup("localhost");
    ASSERT_TRUE(testenv::waitFor([&] { return done != -1; }));
    EXPECT_EQ(done, 0);
    EXPECT_TRUE(s.DnsResult().startsWith("127."));
    EXPECT_EQ(s.DnsResultList().value(0), s.DnsResult());

    done = -1;
    s.DnsLookup("localhost");
    s.CancelDnsLookup();
    EXPECT_EQ(done, 10004);

    // The abandoned answer is never delivered. The next lookup of the same
    // name is answered behind it (both from the resolver's cache, in order),
    // so once that answer is in, the abandoned one would have been too.
    QList<int> answers;
    s.OnDnsLookupDone = [&](TCustomWSocket*, quint16 e) { answers << e; };
    s.DnsLookup("localhost");
    ASSERT_TRUE(testenv::waitFor([&] { return !answers.isEmpty(); }));
    testenv::deliverPostedEvents();
    EXPECT_EQ(answers, QList<int>({0}));

    s.DnsLookup("no-such-host.invalid");
    ASSERT_TRUE(testenv::waitFor([&] { return answers.size() >= 2; }, 15000));
    EXPECT_EQ(answers, QList<int>({0, 11001}));
}

TEST(WSocketUdp, DatagramSocketIsConnectedAtOnceAndCarriesData)
{
    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress::LocalHost, 0));
    TWSocket s;
    QStringList log;
    nettest::recordEvents(&s, &log);
    QByteArray got;
    s.OnDataAvailable = [&](TCustomWSocket* so, quint16) {
        char buf[2048];
        const int n = so->Receive(buf, sizeof buf);
        if (n > 0)
            got.append(buf, n);
    };
    s.SetProto("udp");
    s.SetAddr("127.0.0.1");
    s.SetPort(QString::number(peer.localPort()));
    s.SetLocalAddr("127.0.0.1");
    s.Connect();
    EXPECT_EQ(s.State(), wsConnected);
    EXPECT_EQ(log, QStringList({"connected 0"}));
    EXPECT_NE(s.LocalPort(), "0"); // the bound port is read back

    EXPECT_EQ(s.SendStr("ping"), 4);
    ASSERT_TRUE(testenv::waitFor([&] { return peer.hasPendingDatagrams(); }));
    QHostAddress from;
    quint16 fromPort = 0;
    QByteArray dgram(64, '\0');
    dgram.truncate(peer.readDatagram(dgram.data(), dgram.size(), &from, &fromPort));
    EXPECT_EQ(dgram, "ping");
    peer.writeDatagram("pong", from, fromPort);
    ASSERT_TRUE(testenv::waitFor([&] { return !got.isEmpty(); }));
    EXPECT_EQ(got, "pong");
    s.Close();
}

TEST(WSocketConnect, ImmediateFailureLeavesTheSocketReusable)
{
    TWSocket s;
    int errors = 0;
    s.OnError = [&](TCustomWSocket*) { ++errors; };
    s.SetAddr("255.255.255.255"); // a stream connect to broadcast fails at once
    s.SetPort("21");
    s.Connect();
    ASSERT_EQ(errors, 1);
    EXPECT_NE(s.LastError(), 0);
    EXPECT_EQ(s.State(), wsClosed);
    RawListener srv;
    s.SetAddr("127.0.0.1");
    s.SetPort(srv.portText());
    s.Connect();
    EXPECT_TRUE(testenv::waitFor([&] { return s.State() == wsConnected; }));
    EXPECT_EQ(errors, 1);
    s.Close();
}
