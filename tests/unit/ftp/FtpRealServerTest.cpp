// Transfers against real servers (pyftpdlib, vsftpd) in passive and active
// mode, the proxy login through ftp-proxy and SOCKS logins through dante.
#include "FtpHarness.h"
#include "FtpServers.h"
#include "SocksServers.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

namespace {

enum class Kind { Pyftpdlib, Vsftpd };

bool startServer(testftp::FtpServer& srv, Kind kind, QString* error)
{
    return kind == Kind::Pyftpdlib ? srv.startPyftpdlib(error) : srv.startVsftpd(error);
}

QByteArray randomBytes(int n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char(QRandomGenerator::global()->bounded(256));
    return b;
}

void login(FtpHarness& h, const testftp::FtpServer& srv, bool passive)
{
    h.ftp.SetHostName("127.0.0.1");
    h.ftp.SetPort(QString::number(srv.port()));
    h.ftp.SetUserName(srv.user());
    h.ftp.SetPassWord(srv.password());
    h.ftp.SetPassive(passive);
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    ASSERT_TRUE(h.run([&] { h.ftp.TypeBinary(); }));
}

void roundTrips(Kind kind, bool passive)
{
    testftp::FtpServer srv;
    QString error;
    if (!startServer(srv, kind, &error)) {
        if (testenv::underCi())
            FAIL() << error.toStdString();
        GTEST_SKIP() << error.toStdString();
    }
    FtpHarness h;
    login(h, srv, passive);
    const QString name = QString::fromUtf8("Grüße aus Köln.bin");
    const QByteArray content = randomBytes(3 * 1024 * 1024 + 17);
    writeFile(h.path("src"), content);

    // Upload, then the server's copy is the same bytes.
    h.ftp.SetLocalFileName(h.path("src"));
    h.ftp.SetHostFileName(srv.remotePrefix() + name);
    ASSERT_TRUE(h.run([&] { h.ftp.Put(); })) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_EQ(h.lastRq(), ftpRqPut);
    EXPECT_EQ(readAll(QDir(srv.dataDir()).filePath(name)), content);

    // Download it back.
    h.ftp.SetLocalFileName(h.path("back"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); })) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_EQ(readAll(h.path("back")), content);

    // Resume from a partial local copy.
    writeFile(h.path("partial"), content.left(1000000));
    h.ftp.SetLocalFileName(h.path("partial"));
    ASSERT_TRUE(h.run([&] { h.ftp.RestartGet(); })) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_TRUE(h.display.contains("> REST 1000000"));
    EXPECT_EQ(readAll(h.path("partial")), content);

    // An empty file both ways.
    writeFile(h.path("empty"), "");
    h.ftp.SetLocalFileName(h.path("empty"));
    h.ftp.SetHostFileName(srv.remotePrefix() + "empty file");
    ASSERT_TRUE(h.run([&] { h.ftp.Put(); })) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_TRUE(QFileInfo(QDir(srv.dataDir()).filePath("empty file")).exists());
    h.ftp.SetLocalFileName(h.path("empty back"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); })) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0);
    EXPECT_EQ(readAll(h.path("empty back")), QByteArray());

    // The listing names both files, the non-ASCII one byte for byte.
    h.ftp.SetHostFileName(srv.remotePrefix());
    h.ftp.SetLocalFileName(h.path("listing"));
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
    ASSERT_EQ(h.lastError(), 0);
    const QByteArray listing = readAll(h.path("listing"));
    EXPECT_TRUE(listing.contains(name.toUtf8())) << listing.constData();
    EXPECT_TRUE(listing.contains("empty file"));

    // A missing file fails with the server's code and keeps the session.
    h.ftp.SetHostFileName(srv.remotePrefix() + "no such file");
    h.ftp.SetLocalFileName(h.path("never"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); })) << h.display.join('\n').toStdString();
    EXPECT_EQ(h.lastError(), 550);
    EXPECT_TRUE(h.ftp.ErrorMessage().startsWith("550"));
    ASSERT_TRUE(h.run([&] { h.ftp.Quit(); }));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_FALSE(h.ftp.Connected());
}

} // namespace

TEST(FtpRealServer, PyftpdlibPassive) { roundTrips(Kind::Pyftpdlib, true); }
TEST(FtpRealServer, PyftpdlibActive) { roundTrips(Kind::Pyftpdlib, false); }
TEST(FtpRealServer, VsftpdPassive) { roundTrips(Kind::Vsftpd, true); }
TEST(FtpRealServer, VsftpdActive) { roundTrips(Kind::Vsftpd, false); }

TEST(FtpRealServer, LoginThroughFtpProxy)
{
    REQUIRE_PROGRAM(proxyProgram, "ftp-proxy");
    testftp::FtpServer server, proxy;
    QString error;
    ASSERT_TRUE(server.startPyftpdlib(&error)) << error.toStdString();
    ASSERT_TRUE(proxy.startFtpProxy(&error)) << error.toStdString();
    writeFile(QDir(server.dataDir()).filePath("via-proxy.txt"), "through the proxy");
    FtpHarness h;
    h.ftp.SetConnectionType(ftpProxy);
    h.ftp.SetProxyServer("127.0.0.1");
    h.ftp.SetProxyPort(QString::number(proxy.port()));
    h.ftp.SetHostName("127.0.0.1");
    h.ftp.SetPort(QString::number(server.port()));
    h.ftp.SetUserName(server.user());
    h.ftp.SetPassWord(server.password());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    ASSERT_EQ(h.lastError(), 0) << h.display.join('\n').toStdString();
    EXPECT_TRUE(h.display.contains(QStringLiteral("> USER alice@127.0.0.1:%1").arg(server.port())));
    h.ftp.SetHostFileName("via-proxy.txt");
    h.ftp.SetLocalFileName(h.path("got"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); })) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.display.join('\n').toStdString();
    EXPECT_EQ(readAll(h.path("got")), "through the proxy");
}

TEST(FtpRealServer, LoginThroughDante)
{
    REQUIRE_PROGRAM(dante, "danted");
    QString error;
    if (!testsocks::SocksServer::ensureDanteUser(&error))
        GTEST_SKIP() << error.toStdString();
    testsocks::SocksServer socks;
    ASSERT_TRUE(socks.startDante(true, &error)) << error.toStdString();
    testftp::FtpServer server;
    ASSERT_TRUE(server.startPyftpdlib(&error)) << error.toStdString();
    writeFile(QDir(server.dataDir()).filePath("socks.txt"), "through socks");
    for (TFtpConnectionType type : {ftpSocks5, ftpSocks4}) {
        SCOPED_TRACE(int(type));
        FtpHarness h;
        h.ftp.SetConnectionType(type);
        h.ftp.SetSocksServer("127.0.0.1");
        h.ftp.SetSocksPort(QString::number(socks.port()));
        h.ftp.SetSocksUserCode(testsocks::SocksServer::danteUser());
        h.ftp.SetSocksPassword(testsocks::SocksServer::dantePassword());
        h.ftp.SetHostName("127.0.0.1");
        h.ftp.SetPort(QString::number(server.port()));
        h.ftp.SetUserName(server.user());
        h.ftp.SetPassWord(server.password());
        ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
        ASSERT_EQ(h.lastError(), 0) << h.display.join('\n').toStdString();
        h.ftp.SetHostFileName("socks.txt");
        h.ftp.SetLocalFileName(h.path("got"));
        ASSERT_TRUE(h.run([&] { h.ftp.Get(); })) << h.display.join('\n').toStdString();
        ASSERT_EQ(h.lastError(), 0) << h.display.join('\n').toStdString();
        EXPECT_EQ(readAll(h.path("got")), "through socks");
    }
}
