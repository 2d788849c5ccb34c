// TLS session resumption in the socket core against a real TLS 1.3 server
// (openssl s_server): a session kept from one connection is resumed by
// several later ones, as FTP data connections resume the control
// connection's session one after another.
#include "TestEnv.h"
#include "TlsFixtures.h"
#include "net/WSocket.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// One client connection: connected, secured (resuming `resume` when given),
// then an HTTP request read to its end, so the server's session tickets are
// taken in.
struct TlsClient {
    TWSocket s;
    int handshake = -1;
    bool reused = false;
    bool closed = false;
    QByteArray received;
    TTlsResumable session;  // the newest the server handed out, while connected

    bool run(quint16 port, const QString& caFile, const TTlsResumable& resume)
    {
        s.OnSessionConnected = [&](TCustomWSocket*, quint16 e) {
            if (e == 0)
                s.StartTls(QStringLiteral("127.0.0.1"), resume, caFile);
        };
        s.OnTlsHandshakeDone = [&](TCustomWSocket*, quint16 e) {
            handshake = e;
            reused = s.TlsSessionReused();
            if (e == 0)
                s.SendStr("GET / HTTP/1.0\r\n\r\n");
        };
        s.OnDataAvailable = [&](TCustomWSocket*, quint16) {
            char buf[4096];
            for (int n; (n = s.Receive(buf, sizeof buf)) > 0;)
                received.append(buf, n);
            if (TTlsResumable now = s.TlsSession())
                session = now;
        };
        s.OnSessionClosed = [&](TCustomWSocket*, quint16) { closed = true; };
        s.SetAddr(QStringLiteral("127.0.0.1"));
        s.SetPort(QString::number(port));
        s.Connect();
        return testenv::waitFor([&] { return closed; }, 10000) && handshake == 0;
    }
};

} // namespace

TEST(WSocketTlsResume, OneKeptSessionIsResumedByEveryLaterConnection)
{
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(testtls::makeCertificate(dir.path(), {"server"}, &error)) << error.toStdString();
    const quint16 port = freePort();
    ASSERT_NE(port, 0);
    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(QStringLiteral("openssl"),
                 {"s_server", "-accept", "127.0.0.1:" + QString::number(port), "-cert", dir.filePath("server.pem"),
                  "-key", dir.filePath("server.key"), "-tls1_3", "-www"});
    if (!server.waitForStarted()) {
        if (testenv::underCi())
            FAIL() << "openssl cannot be started";
        GTEST_SKIP() << "openssl cannot be started";
    }
    ASSERT_TRUE(testenv::waitForPort(port)) << server.readAll().constData();

    TTlsResumable kept;
    {
        TlsClient first;
        ASSERT_TRUE(first.run(port, dir.filePath("server.pem"), {})) << first.s.TlsErrorText().toStdString();
        EXPECT_TRUE(first.received.startsWith("HTTP/1.0 200")) << first.received.constData();
        EXPECT_FALSE(first.reused);
        kept = first.session;
    }
    ASSERT_TRUE(kept);
    // The same kept session, offered again and again: each connection
    // resumes it (a session spent by its first use would cost every later
    // connection a full handshake, which FTP servers may refuse).
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        TlsClient again;
        ASSERT_TRUE(again.run(port, dir.filePath("server.pem"), kept)) << again.s.TlsErrorText().toStdString();
        EXPECT_TRUE(again.reused);
    }
    server.kill();
    server.waitForFinished(5000);
}
