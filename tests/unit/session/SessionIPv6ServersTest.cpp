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

} // namespace

TEST_P(SessionIPv6Servers, SiteOnIPv6UploadsAndDownloadsATree)
{
    const V6Setup p = GetParam();
    testftp::FtpServer server;
    server.setAddress("::1");
    QString error;
    if (!(p.kind == Kind::Pyftpdlib ? server.startPyftpdlib(&error) : server.startVsftpd(&error))) {
        if (testenv::underCi())
            FAIL() << error.toStdString();
        GTEST_SKIP() << error.toStdString();
    }
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
    EXPECT_EQ(h.pane.Lines().filter(p.passive ? "EPSV" : "EPRT |2|::1|").isEmpty(), false) << log();
    EXPECT_TRUE(h.pane.Lines().filter("PASV").isEmpty()) << log();
}

INSTANTIATE_TEST_SUITE_P(RealServers, SessionIPv6Servers,
                         ::testing::Values(V6Setup{Kind::Pyftpdlib, true, "::1"},
                                           V6Setup{Kind::Vsftpd, false, "ftp://[::1]"}));
