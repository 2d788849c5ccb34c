// pyftpdlib and vsftpd listening on ::1 only: login, listing, a small tree,
// upload and download over EPSV (passive) and EPRT (active), with the
// transcript of the first data command.
#include "FtpHarness.h"
#include "FtpServers.h"
#include "SocksServers.h"

#include <QDir>
#include <QHostInfo>

namespace {

enum class Kind { Pyftpdlib, Vsftpd };

void treeOverIPv6(Kind kind, bool passive, const QString& host)
{
    testftp::FtpServer srv;
    srv.setAddress("::1");
    QString error;
    if (!(kind == Kind::Pyftpdlib ? srv.startPyftpdlib(&error) : srv.startVsftpd(&error))) {
        if (testenv::underCi())
            FAIL() << error.toStdString();
        GTEST_SKIP() << error.toStdString();
    }
    FtpHarness h;
    h.ftp.SetHostName(host);
    h.ftp.SetPort(QString::number(srv.port()));
    h.ftp.SetUserName(srv.user());
    h.ftp.SetPassWord(srv.password());
    h.ftp.SetPassive(passive);
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    ASSERT_EQ(h.lastError(), 0) << h.display.join('\n').toStdString();
    EXPECT_EQ(h.ftp.ControlSocket()->PeerAddr(), "::1");
    ASSERT_TRUE(h.run([&] { h.ftp.TypeBinary(); }));

    // A folder with a file in it.
    h.ftp.SetHostFileName(srv.remotePrefix() + "tree");
    ASSERT_TRUE(h.run([&] { h.ftp.Mkd(); }));
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    QByteArray content(700 * 1024 + 3, '\0');
    for (int i = 0; i < content.size(); ++i)
        content[i] = char((i * 131) ^ (i >> 9));
    writeFile(h.path("src"), content);
    const int before = int(h.sentCommands().size());
    h.ftp.SetLocalFileName(h.path("src"));
    h.ftp.SetHostFileName(srv.remotePrefix() + "tree/leaf.bin");
    ASSERT_TRUE(h.run([&] { h.ftp.Put(); })) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.display.join('\n').toStdString();
    EXPECT_EQ(readAll(QDir(srv.dataDir()).filePath("tree/leaf.bin")), content);

    // The first data command: the extended form, then the transfer.
    const QStringList first = h.sentCommands().mid(before, 2);
    ASSERT_EQ(first.size(), 2);
    if (passive)
        EXPECT_EQ(first[0], "> EPSV");
    else
        EXPECT_TRUE(first[0].startsWith("> EPRT |2|::1|")) << first[0].toStdString();
    EXPECT_EQ(first[1], "> STOR " + srv.remotePrefix() + "tree/leaf.bin");
    EXPECT_FALSE(h.sentCommands().contains("> PASV"));

    h.ftp.SetLocalFileName(h.path("back"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); })) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_EQ(readAll(h.path("back")), content);

    h.ftp.SetHostFileName(srv.remotePrefix() + "tree");
    h.ftp.SetLocalFileName(h.path("listing"));
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_TRUE(readAll(h.path("listing")).contains("leaf.bin"));
}

} // namespace

TEST(FtpIPv6Pyftpdlib, PassiveWithEpsv) { treeOverIPv6(Kind::Pyftpdlib, true, "::1"); }
TEST(FtpIPv6Pyftpdlib, ActiveWithEprt) { treeOverIPv6(Kind::Pyftpdlib, false, "[::1]"); }
TEST(FtpIPv6Vsftpd, PassiveWithEpsv) { treeOverIPv6(Kind::Vsftpd, true, "[::1]"); }
TEST(FtpIPv6Vsftpd, ActiveWithEprt) { treeOverIPv6(Kind::Vsftpd, false, "::1"); }

// A name with an IPv4 and an IPv6 address reaches a server on ::1 only:
// 127.0.0.1 refuses, ::1 is tried next. Needs "localhost" to have both here.
TEST(FtpIPv6Pyftpdlib, LocalhostNameReachesAServerOnIPv6Only)
{
    const QList<QHostAddress> addrs = QHostInfo::fromName("localhost").addresses();
    if (!addrs.contains(QHostAddress::LocalHostIPv6) || !addrs.contains(QHostAddress::LocalHost))
        GTEST_SKIP() << "this system's \"localhost\" does not name both 127.0.0.1 and ::1 (see /etc/hosts)";
    treeOverIPv6(Kind::Pyftpdlib, true, "localhost");
}

// Through SOCKS 5 the IPv6 target goes as an address of type 4, for the
// control connection and for the EPSV data connection alike; the client
// itself never reaches ::1 but through microsocks on 127.0.0.1.
TEST(FtpIPv6Socks, Socks5CarriesControlAndDataToAnIPv6Server)
{
    testftp::FtpServer srv;
    srv.setAddress("::1");
    testsocks::SocksServer socks;
    QString error;
    if (!srv.startPyftpdlib(&error) || !socks.startMicrosocks({}, {}, &error)) {
        if (testenv::underCi())
            FAIL() << error.toStdString();
        GTEST_SKIP() << error.toStdString();
    }
    writeFile(QDir(srv.dataDir()).filePath("far.txt"), "through socks over IPv6");
    FtpHarness h;
    h.ftp.SetConnectionType(ftpSocks5);
    h.ftp.SetSocksServer("127.0.0.1");
    h.ftp.SetSocksPort(QString::number(socks.port()));
    h.ftp.SetHostName("[::1]");
    h.ftp.SetPort(QString::number(srv.port()));
    h.ftp.SetUserName(srv.user());
    h.ftp.SetPassWord(srv.password());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    ASSERT_EQ(h.lastError(), 0) << h.display.join('\n').toStdString();
    EXPECT_EQ(h.ftp.ControlSocket()->PeerAddr(), "127.0.0.1");
    h.ftp.SetHostFileName("far.txt");
    h.ftp.SetLocalFileName(h.path("got"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
    ASSERT_EQ(h.lastError(), 0) << h.display.join('\n').toStdString();
    EXPECT_EQ(readAll(h.path("got")), "through socks over IPv6");
    EXPECT_TRUE(h.sentCommands().contains("> EPSV"));
    EXPECT_FALSE(h.sentCommands().contains("> PASV"));
    // SOCKS 4 cannot carry the address: a clear failure, no connection.
    FtpHarness h4;
    h4.ftp.SetConnectionType(ftpSocks4);
    h4.ftp.SetSocksServer("127.0.0.1");
    h4.ftp.SetSocksPort(QString::number(socks.port()));
    h4.ftp.SetHostName("::1");
    h4.ftp.SetPort(QString::number(srv.port()));
    ASSERT_TRUE(h4.run([&] { h4.ftp.Connect(); }));
    EXPECT_EQ(h4.lastError(), 20011);
    EXPECT_TRUE(h4.ftp.ErrorMessage().contains("Address type not supported")) << h4.ftp.ErrorMessage().toStdString();
    EXPECT_TRUE(h4.display.contains("! connect: SOCKS 4 cannot carry the IPv6 address ::1; use SOCKS 5"))
        << h4.display.join('\n').toStdString();
}
