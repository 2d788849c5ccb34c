// The options record and a site turned into a configured client, the path
// the window, varnoth-cli and the session engine share.
#include "session/ApplyOptions.h"
#include "session/ClientConfig.h"

#include "ftp/FtpClient.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TFTPOptions optionsOfType(quint8 type)
{
    TFTPOptions o;
    o.ConnectionType = type;
    o.ProxyServer = " proxy.example ";
    o.ProxyPort = "";
    o.ProxyPsw = "proxypw";
    o.SocksServer = "socks.example";
    o.SocksPort = "1080";
    o.SocksUC = "sockuser";
    o.SocksPsw = "sockspw";
    o.PassiveTransfer = false;
    o.TimeOut = 77;
    o.MaxListingMB = 3;
    return o;
}

TFTPServerObj siteAt(const QString& server, const QString& port)
{
    TFTPServerObj s;
    s.Name = "a site";
    s.Server = server;
    s.Port = port;
    s.User = "alice";
    s.Password = "secret";
    s.SavePassword = 1;
    s.InitialDir = "/pub/start";
    s.Pasv = 0;
    s.ShowHidden = 1;
    return s;
}

} // namespace

TEST(ClientConfig, EveryConnectionTypeFromARecordAndASite)
{
    struct Row {
        quint8 stored;
        TFtpConnectionType type;
        QString proxyServer, proxyPort, socksServer, socksPort, socksUser, socksPassword;
        bool passive;
    };
    const Row rows[] = {
        {0, ftpDirect, "", "", "", "", "", "", false},
        // No proxy port in the record: the FTP port, the same default everywhere.
        {1, ftpProxy, "proxy.example", DefaultProxyPort, "", "", "", "", true},
        {2, ftpSocks4, "", "", "socks.example", "1080", "sockuser", "sockspw", true},
        {3, ftpSocks4A, "", "", "socks.example", "1080", "sockuser", "sockspw", true},
        {4, ftpSocks5, "", "", "socks.example", "1080", "sockuser", "sockspw", true},
        // A damaged file's type is a direct connection.
        {44, ftpDirect, "", "", "", "", "", "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        TFtpClient client;
        ASSERT_TRUE(ConfigureClient(client, optionsOfType(row.stored), siteAt("ftp.example", "2121")));
        EXPECT_EQ(client.ConnectionType(), row.type);
        EXPECT_EQ(client.ProxyServer(), row.proxyServer);
        EXPECT_EQ(client.ProxyPort(), row.proxyPort);
        EXPECT_EQ(client.SocksServer(), row.socksServer);
        EXPECT_EQ(client.SocksPort(), row.socksPort);
        EXPECT_EQ(client.SocksUserCode(), row.socksUser);
        EXPECT_EQ(client.SocksPassword(), row.socksPassword);
        // The site's own login, never the proxy password.
        EXPECT_EQ(client.HostName(), "ftp.example");
        EXPECT_EQ(std::as_const(client).Port(), "2121");
        EXPECT_EQ(client.UserName(), "alice");
        EXPECT_EQ(client.PassWord(), "secret");
        EXPECT_EQ(client.HostDirName(), "/pub/start");
        EXPECT_TRUE(client.ListAll());
        EXPECT_EQ(client.Passive(), row.passive); // the site asks for active; only direct grants it
        EXPECT_EQ(client.Timeout(), 77);
        EXPECT_EQ(client.ListingLimit(), 3 * 1024 * 1024);
    }
}

TEST(ClientConfig, SiteLoginRules)
{
    TFTPServerObj anonymous = siteAt("ftp.example", "");
    anonymous.Anonymous = 1;
    anonymous.EMail = "me@example.org";
    TConnectionFields t = ConnectionFieldsFromSite(anonymous);
    EXPECT_EQ(t.User, "anonymous");
    EXPECT_EQ(t.Password, "me@example.org");
    EXPECT_TRUE(t.PasswordKnown);
    EXPECT_EQ(t.Port, DefaultFtpPort);

    TFTPServerObj unsaved = siteAt("ftp.example", "21");
    unsaved.SavePassword = 0;
    t = ConnectionFieldsFromSite(unsaved);
    EXPECT_EQ(t.User, "alice");
    EXPECT_EQ(t.Password, "");
    EXPECT_FALSE(t.PasswordKnown); // to be asked for

    // A server field written as a URL gives host, port, login and directory.
    t = ConnectionFieldsFromSite(siteAt("ftp://bob:pw@files.example:2200/incoming", ""));
    EXPECT_EQ(t.Host, "files.example");
    EXPECT_EQ(t.Port, "2200");
    EXPECT_EQ(t.User, "bob");
    EXPECT_EQ(t.Password, "pw");
    EXPECT_EQ(t.InitialDir, "/incoming");
}

// The window connects to one site after another with the same client: no
// field of the first may leak into the second.
TEST(ClientConfig, ASecondSiteInheritsNothingFromTheFirst)
{
    TFtpClient client;
    const TFTPOptions o = optionsOfType(ftpDirect);
    ASSERT_TRUE(ConfigureClient(client, o, siteAt("first.example", "2121")));
    TFTPServerObj second = siteAt("second.example", "");
    second.InitialDir.clear();
    second.SavePassword = 0;
    second.ShowHidden = 0;
    second.Pasv = 1;
    ASSERT_TRUE(ConfigureClient(client, o, second));
    EXPECT_EQ(client.HostName(), "second.example");
    EXPECT_EQ(std::as_const(client).Port(), "21");
    EXPECT_EQ(client.PassWord(), "");
    EXPECT_EQ(client.HostDirName(), "");
    EXPECT_FALSE(client.ListAll());
    EXPECT_TRUE(client.Passive());

    // Switching the record from SOCKS back to direct clears the SOCKS fields.
    ASSERT_TRUE(ConfigureClient(client, optionsOfType(ftpSocks5), second));
    EXPECT_EQ(client.SocksServer(), "socks.example");
    ASSERT_TRUE(ConfigureClient(client, o, second));
    EXPECT_EQ(client.SocksServer(), "");
    EXPECT_EQ(client.SocksPassword(), "");
}

// A caller's own settings (the command line) change the configuration
// between building it and applying it, and win.
TEST(ClientConfig, OverridesBetweenBuildingAndApplyingWin)
{
    TClientConfig cfg = ClientConfigFor(optionsOfType(ftpSocks5), ConnectionFieldsFromSite(siteAt("h", "21")));
    cfg.ConnectionType = ftpProxy;
    cfg.ProxyServer = "cli-proxy";
    cfg.ProxyPort = "8021";
    cfg.SocksServer.clear();
    cfg.TimeoutSeconds = 0;
    cfg.ListingLimit = 0;
    TFtpClient client;
    ASSERT_TRUE(ConfigureClient(client, cfg));
    EXPECT_EQ(client.ConnectionType(), ftpProxy);
    EXPECT_EQ(client.ProxyServer(), "cli-proxy");
    EXPECT_EQ(client.ProxyPort(), "8021");
    EXPECT_EQ(client.SocksServer(), "");
    EXPECT_EQ(client.Timeout(), 0);
    EXPECT_EQ(client.ListingLimit(), 0);
}

// The window's options-only path and the site path agree on the proxy's
// default port.
TEST(ClientConfig, ApplyOptionsUsesTheSameProxyDefault)
{
    TFtpClient client;
    ASSERT_TRUE(ApplyClientOptions(client, optionsOfType(ftpProxy)));
    EXPECT_EQ(client.ProxyPort(), DefaultProxyPort);
    EXPECT_EQ(client.PassWord(), "proxypw"); // stands in until a site is chosen
    EXPECT_EQ(client.ListingLimit(), 3 * 1024 * 1024);
}
