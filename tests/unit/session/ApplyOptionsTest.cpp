// The options record pushed into a real FTP client and the session log.
#include "session/ApplyOptions.h"

#include "ftp/FtpClient.h"
#include "settings/Globals.h"
#include "TestEnv.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <utility>

namespace {

TFTPOptions socksOptions(quint8 type)
{
    TFTPOptions o;
    o.ConnectionType = type;
    o.ProxyServer = "proxy.example";
    o.ProxyPort = "8021";
    o.ProxyPsw = "proxypw";
    o.SocksServer = "127.0.0.1";
    o.SocksPort = "1080";
    o.SocksPsw = "sockspw";
    o.SocksUC = "sockuser";
    o.PassiveTransfer = false;
    o.TimeOut = 42;
    return o;
}

} // namespace

TEST(ApplyOptions, EachConnectionTypeSetsOnlyItsOwnFields)
{
    TFtpClient client;
    client.SetPort("2121");
    client.SetPassWord("left over");

    ASSERT_TRUE(ApplyClientOptions(client, socksOptions(ftpProxy)));
    EXPECT_EQ(client.ConnectionType(), ftpProxy);
    EXPECT_EQ(client.ProxyServer(), "proxy.example");
    EXPECT_EQ(client.ProxyPort(), "8021");
    EXPECT_EQ(client.PassWord(), "proxypw");
    EXPECT_EQ(std::as_const(client).Port(), ""); // the site's port goes here at connect time
    EXPECT_EQ(client.SocksServer(), "");
    EXPECT_EQ(client.SocksUserCode(), "");
    EXPECT_TRUE(client.Passive());
    EXPECT_EQ(client.Timeout(), 42);

    ASSERT_TRUE(ApplyClientOptions(client, socksOptions(ftpSocks5)));
    EXPECT_EQ(client.ConnectionType(), ftpSocks5);
    EXPECT_EQ(client.ProxyServer(), "");
    EXPECT_EQ(client.PassWord(), "");
    EXPECT_EQ(client.SocksServer(), "127.0.0.1");
    EXPECT_EQ(client.SocksPort(), "1080");
    EXPECT_EQ(client.SocksPassword(), "sockspw");
    EXPECT_EQ(client.SocksUserCode(), "sockuser");
    EXPECT_TRUE(client.Passive()); // forced whatever PassiveTransfer says

    TFTPOptions direct = socksOptions(ftpDirect);
    direct.PassiveTransfer = true;
    ASSERT_TRUE(ApplyClientOptions(client, direct));
    EXPECT_EQ(client.ConnectionType(), ftpDirect);
    EXPECT_EQ(client.SocksServer(), "");
    EXPECT_EQ(client.SocksPassword(), "");
    EXPECT_EQ(client.ProxyServer(), "");
    EXPECT_TRUE(client.Passive());
    direct.PassiveTransfer = false;
    ApplyClientOptions(client, direct);
    EXPECT_FALSE(client.Passive());

    // A damaged file's out-of-range type must not reach the client as such.
    ASSERT_TRUE(ApplyClientOptions(client, socksOptions(44)));
    EXPECT_EQ(client.ConnectionType(), ftpDirect);
}

TEST(ApplyOptions, OpenConnectionKeepsItsTypeButTakesTimeout)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TFtpClient client;
    client.SetHostName("127.0.0.1");
    client.SetPort(QString::number(server.serverPort()));
    client.Open();
    ASSERT_TRUE(testenv::waitFor([&] { return server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();
    ASSERT_TRUE(client.Connected());

    TFTPOptions o = socksOptions(ftpSocks4);
    o.TimeOut = 7;
    EXPECT_NO_THROW(EXPECT_FALSE(ApplyClientOptions(client, o)));
    EXPECT_EQ(client.ConnectionType(), ftpDirect);
    EXPECT_EQ(client.SocksServer(), "");
    EXPECT_EQ(client.Timeout(), 7);
    peer->write("220 ready\r\n");
    peer->close();
}

TEST(ApplyOptions, LogFileBindsBareNamesToTheProgramDirectory)
{
    QTemporaryDir dir;
    const QString saved = ProgramDir;
    ProgramDir = WithTrailingSlash(dir.path());
    EXPECT_EQ(LogFilePath("session.log"), ProgramDir + "session.log");
    EXPECT_EQ(LogFilePath("/var/log/x.log"), "/var/log/x.log");
    EXPECT_EQ(LogFilePath("sub/x.log"), "sub/x.log");
    EXPECT_EQ(LogFilePath(""), ProgramDir + "brenlowi.log");

    TFtpClient client;
    TStringListLogPane pane;
    TSessionLog log(&pane);
    TFTPOptions o;
    o.Log = true;
    o.LogFile = "mine.log";
    o.LogLines = 2;
    ApplyOptions(client, log, o);
    EXPECT_EQ(log.FilePath(), ProgramDir + "mine.log");
    log.Display("one");
    EXPECT_TRUE(QFile::exists(ProgramDir + "mine.log"));
    o.Log = false;
    ApplyOptions(client, log, o);
    EXPECT_EQ(log.FilePath(), "");
    ProgramDir = saved;
}
