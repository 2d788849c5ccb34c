// Readiness dispatch, the send queue, receiving and closing of TWSocket.
#include "NetTestUtil.h"
#include "TestEnv.h"
#include "net/WSocket.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <QPointer>

using nettest::RawListener;

namespace {

void connectTo(TWSocket& s, quint16 port)
{
    s.SetAddr("127.0.0.1");
    s.SetPort(QString::number(port));
    s.Connect();
}

// A reader that appends everything to *into.
void readInto(TWSocket& s, QByteArray* into, int chunk = 4096)
{
    s.OnDataAvailable = [into, chunk](TCustomWSocket* so, quint16) {
        QByteArray buf(chunk, '\0');
        const int n = so->Receive(buf.data(), chunk);
        if (n > 0)
            into->append(buf.constData(), n);
    };
}

} // namespace

TEST(WSocketEvents, ConnectReadCloseInOneNotificationKeepTheirOrder)
{
    RawListener srv;
    TWSocket s;
    QStringList log;
    nettest::recordEvents(&s, &log);
    QByteArray got;
    s.OnDataAvailable = [&](TCustomWSocket* so, quint16) {
        char buf[16]; // small reads: the drain loop must come back for the rest
        const int n = so->Receive(buf, sizeof buf);
        if (n > 0) {
            got.append(buf, n);
            if (log.isEmpty() || log.last() != "data")
                log.append("data");
        }
    };
    connectTo(s, srv.port());
    // Everything happens before the socket sees its first notification.
    ASSERT_GE(srv.accept(), 0);
    srv.send("220 hello, this banner is longer than one read\r\n");
    srv.closePeer();
    ASSERT_TRUE(testenv::waitFor([&] { return s.State() == wsClosed; }));
    EXPECT_EQ(log, QStringList({"connected 0", "data", "closed 0"}));
    EXPECT_EQ(got, "220 hello, this banner is longer than one read\r\n");
    EXPECT_EQ(s.ReadCount(), 0); // reset by the close
}

TEST(WSocketEvents, UnreadDataOfferedBeforeClosedAndClosedFiresOnce)
{
    RawListener srv;
    TWSocket s;
    QStringList log;
    nettest::recordEvents(&s, &log);
    QByteArray got;
    readInto(s, &got, 100);
    connectTo(s, srv.port());
    ASSERT_GE(srv.accept(), 0);
    ASSERT_TRUE(testenv::waitFor([&] { return s.State() == wsConnected; }));
    const QByteArray payload(70000, 'd');
    srv.send(payload);
    srv.closePeer();
    ASSERT_TRUE(testenv::waitFor([&] { return log.contains("closed 0"); }));
    EXPECT_EQ(got.size(), payload.size()); // all of it, before the close event
    s.Close(); // a later Close does not report the close again
    testenv::deliverPostedEvents(); // nor does anything it posted
    EXPECT_EQ(log.count("closed 0"), 1);
}

TEST(WSocketEvents, SocketWithoutReaderNeverStallsThePeer)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TWSocket s; // no OnDataAvailable
    connectTo(s, server.serverPort());
    ASSERT_TRUE(testenv::waitFor([&] { return server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();
    ASSERT_TRUE(testenv::waitFor([&] { return s.State() == wsConnected; }));
    const QByteArray block(1 << 20, 'z');
    for (int i = 0; i < 8; ++i)
        peer->write(block); // 8 MiB: far beyond the socket buffers
    ASSERT_TRUE(testenv::waitFor([&] { return peer->bytesToWrite() == 0; }, 20000));
    s.Close();
}

TEST(WSocketSend, ThreeThousandBytesGoAsTwoBlocksWithOneDataSent)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TWSocket s;
    QStringList log;
    nettest::recordEvents(&s, &log);
    QList<int> pieces;
    s.OnSendData = [&](TCustomWSocket*, int n) { pieces << n; };
    connectTo(s, server.serverPort());
    ASSERT_TRUE(testenv::waitFor([&] { return s.State() == wsConnected; }));
    QByteArray data(3000, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    EXPECT_EQ(s.Send(data.constData(), data.size()), 3000);
    EXPECT_TRUE(s.AllSent());
    EXPECT_FALSE(log.contains("sent 0")); // never from inside Send
    EXPECT_EQ(pieces, QList<int>({1514, 1486}));
    ASSERT_TRUE(testenv::waitFor([&] { return server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();
    QByteArray got;
    ASSERT_TRUE(testenv::waitFor([&] {
        got += peer->readAll();
        return got.size() >= 3000 && log.contains("sent 0");
    }));
    EXPECT_EQ(got, data);
    // A round trip: the peer answers, and the socket's readiness handling that
    // reads the answer is the one that reports "sent"; a second report would
    // have come by the time the answer is in.
    QByteArray answer;
    readInto(s, &answer);
    peer->write("ok");
    ASSERT_TRUE(testenv::waitFor([&] { return answer == "ok"; }));
    testenv::deliverPostedEvents();
    EXPECT_EQ(log.count("sent 0"), 1);
    s.Close();
}

TEST(WSocketSend, LargeSendToSlowReaderArrivesWhole)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TWSocket s;
    int sent = 0;
    s.OnDataSent = [&](TCustomWSocket*, quint16) { ++sent; };
    connectTo(s, server.serverPort());
    ASSERT_TRUE(testenv::waitFor([&] { return s.State() == wsConnected; }));
    ASSERT_TRUE(testenv::waitFor([&] { return server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();
    QByteArray data(6 * 1024 * 1024, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i % 251);
    s.Send(data.constData(), data.size());
    EXPECT_FALSE(s.AllSent()); // the kernel cannot take 6 MiB at once
    QByteArray got;
    ASSERT_TRUE(testenv::waitFor([&] {
        got += peer->readAll();
        return got.size() >= data.size() && sent > 0;
    }, 20000));
    EXPECT_EQ(got, data);
    EXPECT_EQ(sent, 1);
    EXPECT_TRUE(s.AllSent());
    s.Close();
}

TEST(WSocketSend, NotConnectedAndFlushAndCloseDelayed)
{
    TWSocket s;
    int errors = 0;
    s.OnError = [&](TCustomWSocket*) { ++errors; };
    EXPECT_EQ(s.Send("x", 1), -1);
    EXPECT_EQ(s.LastError(), 10057);
    EXPECT_EQ(errors, 1);

    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TWSocket c;
    QStringList log;
    nettest::recordEvents(&c, &log);
    connectTo(c, server.serverPort());
    ASSERT_TRUE(testenv::waitFor([&] { return c.State() == wsConnected; }));
    ASSERT_TRUE(testenv::waitFor([&] { return server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();
    c.SendStr("QUIT\r\n");
    c.Flush();
    EXPECT_TRUE(c.AllSent());
    c.CloseDelayed();
    EXPECT_EQ(c.State(), wsConnected); // only when the loop gets to it
    ASSERT_TRUE(testenv::waitFor([&] { return c.State() == wsClosed; }));
    QByteArray got;
    ASSERT_TRUE(testenv::waitFor([&] {
        got += peer->readAll();
        return peer->state() != QAbstractSocket::ConnectedState || got.size() >= 6;
    }));
    EXPECT_EQ(got, "QUIT\r\n"); // the graceful close delivers queued data
    EXPECT_EQ(log.count("closed 0"), 1);
}

TEST(WSocketListen, ListenAcceptDupCarryDataBothWays)
{
    TWSocket listener;
    listener.SetAddr("127.0.0.1");
    listener.SetPort("0");
    TWSocket data;
    QByteArray gotByData;
    readInto(data, &gotByData);
    int available = 0;
    listener.OnSessionAvailable = [&](TCustomWSocket* l, quint16 e) {
        EXPECT_EQ(e, 0);
        ++available;
        data.Dup(l->Accept());
    };
    listener.Listen();
    ASSERT_EQ(listener.State(), wsListening);
    const quint16 port = listener.GetXPort().toUShort();
    ASSERT_NE(port, 0);
    EXPECT_EQ(listener.PeerAddr(), "error"); // not connected

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(testenv::waitFor([&] { return data.State() == wsConnected; }));
    EXPECT_EQ(available, 1);
    EXPECT_EQ(data.PeerAddr(), "127.0.0.1");
    EXPECT_EQ(data.PeerPort(), QString::number(client.localPort()));
    client.write("from client");
    data.SendStr("from server");
    QByteArray gotByClient;
    ASSERT_TRUE(testenv::waitFor([&] {
        gotByClient += client.readAll();
        return gotByData == "from client" && gotByClient == "from server";
    }));
    data.Close();
    listener.Close();
    EXPECT_EQ(listener.State(), wsClosed);

    TWSocket other;
    int errors = 0;
    other.OnError = [&](TCustomWSocket*) { ++errors; };
    other.Dup(-1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(other.LastError(), 10022);
}

TEST(WSocketClose, HandlerMayDeleteTheSocketAndExceptionsStayInside)
{
    RawListener srv;
    auto* s = new TWSocket;
    QPointer<TWSocket> guard(s);
    s->OnSessionConnected = [](TCustomWSocket* so, quint16) { delete so; };
    connectTo(*s, srv.port());
    ASSERT_GE(srv.accept(), 0);
    srv.send("data that nobody will read");
    ASSERT_TRUE(testenv::waitFor([&] { return guard.isNull(); }));

    // An exception thrown by a handler goes to OnBgException, then the socket aborts.
    RawListener srv2;
    TWSocket t;
    QString seen;
    t.OnDataAvailable = [](TCustomWSocket*, quint16) { throw ESocketException("handler failed"); };
    t.OnBgException = [&](TCustomWSocket*, const std::exception& e, bool& canClose) {
        seen = QString::fromUtf8(e.what());
        canClose = true;
    };
    connectTo(t, srv2.port());
    ASSERT_GE(srv2.accept(), 0);
    srv2.send("x");
    ASSERT_TRUE(testenv::waitFor([&] { return t.State() == wsClosed; }));
    EXPECT_EQ(seen, "handler failed");
}

TEST(WSocketClose, PeerResetIsReportedWithItsNumber)
{
    RawListener srv;
    TWSocket s;
    QStringList log;
    nettest::recordEvents(&s, &log);
    QByteArray got;
    readInto(s, &got);
    connectTo(s, srv.port());
    ASSERT_GE(srv.accept(), 0);
    ASSERT_TRUE(testenv::waitFor([&] { return s.State() == wsConnected; }));
    linger l { 1, 0 };
    ::setsockopt(srv.peer(), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    srv.closePeer(); // sends RST
    ASSERT_TRUE(testenv::waitFor([&] { return s.State() == wsClosed; }));
    EXPECT_EQ(log.last(), "closed 10054");
    EXPECT_EQ(log.count("closed 10054"), 1);
}

TEST(WSocketClose, ManyConnectionsLeakNoDescriptors)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    auto openFds = [] {
        int n = 0;
        for (int fd = 0; fd < 4096; ++fd)
            if (fcntl(fd, F_GETFD) != -1)
                ++n;
        return n;
    };
    testenv::deliverPostedEvents(); // what earlier tests left to delete later
    const int before = openFds();
    TWSocket s;
    int accepted = 0;
    for (int i = 0; i < 50; ++i) {
        connectTo(s, server.serverPort());
        ASSERT_TRUE(testenv::waitFor([&] { return s.State() == wsConnected; }));
        s.Close();
        // The server's end of this connection is accepted and closed too.
        ASSERT_TRUE(testenv::waitFor([&] {
            while (QTcpSocket* p = server.nextPendingConnection()) {
                delete p;
                ++accepted;
            }
            return accepted == i + 1;
        }));
    }
    testenv::deliverPostedEvents();
    EXPECT_LE(openFds(), before);
}

TEST(WSocketClose, WaitForCloseReturnsOnceThePeerHasGoneWithAllData)
{
    RawListener srv;
    TWSocket s;
    QByteArray got;
    readInto(s, &got);
    connectTo(s, srv.port());
    ASSERT_GE(srv.accept(), 0);
    ASSERT_TRUE(testenv::waitFor([&] { return s.State() == wsConnected; }));
    srv.send("221 Goodbye.\r\n");
    srv.closePeer();
    s.WaitForClose();
    EXPECT_EQ(s.State(), wsClosed);
    EXPECT_EQ(got, "221 Goodbye.\r\n");
}
