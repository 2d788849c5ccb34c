// A site whose server is an IPv6 address, written with or without brackets,
// against pyftpdlib and vsftpd listening on ::1 only: the session logs in,
// uploads a tree and downloads it back, passive (EPSV) and active (EPRT).
#include "RealServerSession.h"

#include <QProcess>

namespace {

using namespace realserver;

struct V6Setup {
    Kind kind;
    bool passive;
    const char* server;  // as the user typed it in the site
};

void PrintTo(const V6Setup& s, std::ostream* os)
{
    *os << (s.kind == Kind::Pyftpdlib ? "pyftpdlib " : "vsftpd ") << (s.passive ? "passive " : "active ") << s.server;
}

class SessionIPv6Servers : public ::testing::TestWithParam<V6Setup> {};

// Uploads local/up, then (renamed away locally) downloads it back; both
// trees must equal the local original, and the data connections must have
// used the extended command named.
void treeUpAndBack(SessionHarness& h, const QTemporaryDir& local, const testftp::FtpServer& server,
                   const QString& extendedCommand)
{
    const auto log = [&] { return h.pane.Lines().join('\n').toStdString(); };
    auto batchDone = [&] {
        return testenv::waitFor([&] {
            return h.session.RunningTransfer() == TSession::TransferKind::None && !h.session.Busy() && h.idle(50);
        }, 30000);
    };
    h.session.StartUpload({"up"});
    ASSERT_TRUE(batchDone()) << log();
    const QMap<QString, QByteArray> tree = treeContents(local.filePath("up"));
    EXPECT_EQ(treeContents(server.dataDir() + "/up"), tree) << log();
    QDir(local.path()).rename("up", "sent");
    h.session.StartDownload({h.rowOf("up")});
    ASSERT_TRUE(batchDone()) << log();
    EXPECT_EQ(treeContents(local.filePath("up")), tree) << log();
    EXPECT_FALSE(h.pane.Lines().filter(extendedCommand).isEmpty()) << log();
}

} // namespace

TEST_P(SessionIPv6Servers, SiteOnIPv6UploadsAndDownloadsATree)
{
    const V6Setup p = GetParam();
    testftp::FtpServer server;
    server.setAddress("::1");
    START_OR_SKIP(p.kind == Kind::Pyftpdlib ? server.startPyftpdlib(&why) : server.startVsftpd(&why));
    SessionHarness h;
    QTemporaryDir local;
    writeFile(local.filePath("up/a.txt"), "over IPv6\n", minutesAgo(1));
    writeFile(local.filePath("up/sub/b.bin"), QByteArray(200000, 'b'), minutesAgo(2));
    QProcess::execute("chmod", {"-R", "a+rwX", server.dataDir()});

    TFTPServerObj site = SessionHarness::site(server.port(), "/" + server.remotePrefix());
    site.Server = QString::fromLatin1(p.server);
    server.applyLogin(site);
    site.Pasv = p.passive ? 1 : 0;
    h.session.SetLocalDir(local.path());
    h.session.ConnectTo(site);
    ASSERT_TRUE(h.idle(15000)) << h.pane.Lines().join('\n').toStdString();
    const auto log = [&] { return h.pane.Lines().join('\n').toStdString(); };
    EXPECT_EQ(h.pane.Lines().filter("Connecting to [::1]").size(), 1) << log();

    treeUpAndBack(h, local, server, p.passive ? "EPSV" : "EPRT |2|::1|");
    EXPECT_TRUE(h.pane.Lines().filter("PASV").isEmpty()) << log();
}

INSTANTIATE_TEST_SUITE_P(RealServers, SessionIPv6Servers,
                         ::testing::Values(V6Setup{Kind::Pyftpdlib, true, "::1"},
                                           V6Setup{Kind::Vsftpd, false, "ftp://[::1]"}));

namespace {

// Accepts a certificate "always" and counts the questions.
class AcceptingUi : public ScriptedUi {
public:
    int asked = 0;
    QStringList hosts;
    int AskCertificate(const TTlsCertificateInfo& cert) override
    {
        ++asked;
        hosts << cert.Host;
        return certanswer::AcceptAlways;
    }
};

} // namespace

// TLS on ::1: explicit TLS against pyftpdlib and implicit TLS against vsftpd,
// the self-signed certificate (issued for 127.0.0.1 and ::1) accepted
// "always" once and not asked about again when the site names the server
// the other way ([::1] or ::1); a tree goes up and comes back over EPSV or
// EPRT data connections that run TLS.
TEST(SessionIPv6TlsServers, SiteOnIPv6WithTlsUploadsAndDownloadsATree)
{
    struct Case {
        Kind kind;
        bool passive;
        int security;  // the site's setting: 2 explicit required, 3 implicit
        const char* first;
        const char* second;
    } cases[] = {{Kind::Pyftpdlib, true, 2, "::1", "ftp://[::1]"}, {Kind::Vsftpd, false, 3, "[::1]", "::1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind == Kind::Pyftpdlib ? "pyftpdlib" : "vsftpd");
        testftp::FtpServer server;
        server.setAddress("::1");
        START_OR_SKIP(c.kind == Kind::Pyftpdlib ? server.startPyftpdlibTls({}, &why)
                                                : server.startVsftpdTls({true, {}, {}}, &why));
        SessionHarness h;
        AcceptingUi ui;
        setUserInterface(&ui);
        QTemporaryDir local;
        writeFile(local.filePath("up/a.txt"), "TLS over IPv6\n", minutesAgo(1));
        writeFile(local.filePath("up/sub/b.bin"), QByteArray(300000, 'c'), minutesAgo(2));
        QProcess::execute("chmod", {"-R", "a+rwX", server.dataDir()});
        const auto log = [&] { return h.pane.Lines().join('\n').toStdString(); };

        TFTPServerObj site = SessionHarness::site(server.port(), "/" + server.remotePrefix());
        site.Server = QString::fromLatin1(c.first);
        site.Security = c.security;
        server.applyLogin(site);
        site.Pasv = c.passive ? 1 : 0;
        h.session.SetLocalDir(local.path());
        h.session.ConnectTo(site);
        ASSERT_TRUE(h.idle(15000)) << log();
        EXPECT_EQ(ui.asked, 1) << log();
        EXPECT_FALSE(h.pane.Lines().filter("Encrypted connection").isEmpty()) << log();

        treeUpAndBack(h, local, server, c.passive ? "EPSV" : "EPRT |2|::1|");
        // Every data connection resumed a session: the ticket a server sends
        // on an upload's connection after a few bytes is kept, too.
        EXPECT_TRUE(h.pane.Lines().filter("did not resume").isEmpty()) << log();

        // The same server written the other way: remembered, not asked.
        h.session.Disconnect();
        ASSERT_TRUE(h.backAtSiteList(15000)) << log();
        // However the server ends the connection after QUIT, nothing alarming.
        const QStringList afterQuit = h.pane.Lines().mid(h.pane.Lines().lastIndexOf("> QUIT"));
        EXPECT_TRUE(afterQuit.filter("close_notify").isEmpty() && afterQuit.filter("20102").isEmpty()) << log();
        site.Server = QString::fromLatin1(c.second);
        h.session.ConnectTo(site);
        ASSERT_TRUE(h.idle(15000)) << log();
        EXPECT_EQ(ui.asked, 1) << ui.hosts.join(", ").toStdString() << "\n" << log();
        setUserInterface(&h.ui);
    }
}
