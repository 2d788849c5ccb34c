// FTP over TLS against a server that takes the client's hello and never
// answers it: on the control connection after AUTH TLS, and on a transfer's
// data connection. The client's timeout bounds each handshake, in the
// asynchronous requests (a clear TLS failure with its number) and in the
// synchronous forms (which may meet their own deadline first); never a hang,
// never a success, never a file reported as fetched.
#include "FtpHarness.h"
#include "TlsFixtures.h"

#include <QFileInfo>

namespace {

struct StallServer {
    testtls::FaultServer srv;
    void start(const QString& mode)
    {
        QString error;
        ASSERT_TRUE(srv.start(mode, &error)) << error.toStdString();
    }
    void aim(FtpHarness& h) const
    {
        h.target(srv.port());
        h.ftp.SetSecurity(ftpSecExplicitRequired);
        h.ftp.SetTimeout(1);
        h.ftp.OnCertificate = [](TCustomFtpCli*, const TTlsCertificateInfo&, QString&) { return true; };
    }
};

const QString stalled = QStringLiteral("TLS handshake failed: the server did not answer it within 1 second");

// What a synchronous request that met a stall may end with: its own
// deadline or the handshake's, whichever the loop saw first.
bool stallFailure(const QString& message)
{
    return message == QLatin1String("426 Timeout") || message.contains(stalled);
}

} // namespace

TEST(FtpTlsStall, ControlHandshakeNeverAnsweredEndsTheLoginAndClosesTheConnection)
{
    StallServer s;
    ASSERT_NO_FATAL_FAILURE(s.start("stall-control"));
    FtpHarness h;
    s.aim(h);
    int closed = 0;
    h.ftp.OnSessionClosed = [&](TCustomFtpCli*, quint16) { ++closed; };
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }, 30000)) << h.display.join('\n').toStdString();
    EXPECT_EQ(h.lastRq(), ftpRqConnect);
    EXPECT_EQ(h.lastError(), wsock::TLS_HANDSHAKE_FAILED);
    EXPECT_EQ(h.ftp.ErrorMessage(), stalled + " (#20101)");
    EXPECT_TRUE(h.display.contains("! " + stalled + " (#20101)")) << h.display.join('\n').toStdString();
    EXPECT_FALSE(h.display.join('\n').contains("> USER"));
    EXPECT_FALSE(h.ftp.Connected());
    EXPECT_EQ(h.done.size(), 1u);

    // The server serves one connection at a time: a second client is
    // welcomed only because the first one's connection really closed. It
    // waits synchronously, and ends however its deadline meets the stall.
    FtpHarness sync;
    s.aim(sync);
    EXPECT_FALSE(sync.ftp.Synchronize([&] { sync.ftp.Connect(); }));
    EXPECT_TRUE(stallFailure(sync.ftp.ErrorMessage())) << sync.ftp.ErrorMessage().toStdString();
    EXPECT_TRUE(sync.display.contains("< 234 go ahead")) << sync.display.join('\n').toStdString();
    EXPECT_FALSE(sync.display.join('\n').contains("> USER"));
    EXPECT_FALSE(sync.ftp.Connected());
}

// Implicit TLS: the hello goes out on connecting, before any welcome.
TEST(FtpTlsStall, ImplicitHandshakeNeverAnsweredEndsTheConnect)
{
    StallServer s;
    ASSERT_NO_FATAL_FAILURE(s.start("stall-implicit"));
    FtpHarness h;
    s.aim(h);
    h.ftp.SetSecurity(ftpSecImplicit);
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }, 30000)) << h.display.join('\n').toStdString();
    EXPECT_EQ(h.lastError(), wsock::TLS_HANDSHAKE_FAILED);
    EXPECT_EQ(h.ftp.ErrorMessage(), stalled + " (#20101)");
    EXPECT_FALSE(h.display.join('\n').contains("> USER"));
    EXPECT_FALSE(h.ftp.Connected());
    EXPECT_EQ(h.done.size(), 1u);
}

TEST(FtpTlsStall, DataHandshakeNeverAnsweredFailsEachTransferAndKeepsTheSession)
{
    StallServer s;
    ASSERT_NO_FATAL_FAILURE(s.start("stall-data"));
    FtpHarness h;
    s.aim(h);
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    ASSERT_EQ(h.lastError(), 0) << h.display.join('\n').toStdString();
    const QString why = "426 Data connection: " + stalled + " (#20101)";

    h.ftp.SetHostFileName("file.bin");
    h.ftp.SetLocalFileName(h.path("file.bin"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }, 30000)) << h.display.join('\n').toStdString();
    EXPECT_EQ(h.lastRq(), ftpRqGet);
    EXPECT_EQ(h.lastError(), wsock::TLS_HANDSHAKE_FAILED);
    EXPECT_EQ(h.ftp.ErrorMessage(), why);
    EXPECT_EQ(QFileInfo(h.path("file.bin")).size(), 0);

    h.ftp.SetLocalFileName(h.path("listing.txt"));
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }, 30000)) << h.display.join('\n').toStdString();
    EXPECT_EQ(h.lastError(), wsock::TLS_HANDSHAKE_FAILED);
    EXPECT_EQ(h.ftp.ErrorMessage(), why);

    writeFile(h.path("up.bin"), QByteArray(200000, 'u'));
    h.ftp.SetHostFileName("up.bin");
    h.ftp.SetLocalFileName(h.path("up.bin"));
    ASSERT_TRUE(h.run([&] { h.ftp.Put(); }, 30000)) << h.display.join('\n').toStdString();
    EXPECT_EQ(h.lastError(), wsock::TLS_HANDSHAKE_FAILED);
    EXPECT_EQ(h.ftp.ErrorMessage(), why);

    // Each failure took the server's 426: the control connection is in step
    // and still logged in.
    EXPECT_EQ(h.display.filter("< 426 data connection closed").size(), 3) << h.display.join('\n').toStdString();
    EXPECT_TRUE(h.ftp.Connected());
    ASSERT_TRUE(h.run([&] { h.ftp.Quit(); }));
    EXPECT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
}

TEST(FtpTlsStall, SynchronousDownloadFromAStalledDataConnectionFails)
{
    StallServer s;
    ASSERT_NO_FATAL_FAILURE(s.start("stall-data"));
    FtpHarness h;
    s.aim(h);
    ASSERT_TRUE(h.ftp.Synchronize([&] { h.ftp.Connect(); })) << h.display.join('\n').toStdString();
    h.ftp.SetHostFileName("file.bin");
    h.ftp.SetLocalFileName(h.path("file.bin"));
    EXPECT_FALSE(h.ftp.Synchronize([&] { h.ftp.Get(); }));
    EXPECT_TRUE(stallFailure(h.ftp.ErrorMessage())) << h.ftp.ErrorMessage().toStdString();
    EXPECT_FALSE(h.display.join('\n').contains("< 226"));
    EXPECT_EQ(QFileInfo(h.path("file.bin")).size(), 0);
}
