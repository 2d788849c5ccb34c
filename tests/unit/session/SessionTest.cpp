// The session engine against the scriptable server: each case states the
// whole dialogue the engine must produce for a connect, a directory change,
// a failure or a Stop, and what the user then sees.
#include "SessionHarness.h"

#include <QFile>

namespace {

using Reply = FakeFtpServer::Reply;

const QByteArray kListing =
    "drwxr-xr-x 2 o g 4096 Jan 10 10:00 sub\r\n"
    "-rw-r--r-- 1 o g 1048576 Jan 10 10:00 big.bin\r\n"
    "-rw-r--r-- 1 o g 999 Jan 10 10:00 small.txt\r\n";

QStringList afterLogin(const FakeFtpServer& srv) { return srv.commands().mid(2); }

} // namespace

TEST(Session, LoginWithoutAndWithAnInitialDirectory)
{
    struct Case {
        const char* name;
        QString initialDir;
        QStringList commands;
        QStringList path;
    };
    const QList<Case> cases = {
        // FEAT goes out after every login; this server refuses it, and the
        // rest of the dialogue is what it always was.
        {"no initial directory", QString(), {"FEAT", "SYST", "PWD", "TYPE A", "PASV", "LIST"},
         {"SERVER LIST ...", "127.0.0.1"}},
        {"initial directory", "/pub", {"FEAT", "SYST", "CWD /pub/", "TYPE A", "PASV", "LIST"},
         {"SERVER LIST ...", "127.0.0.1", "pub"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFtpServer srv;
        srv.setTransfer("LIST", {kListing});
        SessionHarness h;
        int shown = 0;
        QObject::connect(&h.session, &TSession::ListingShown, [&] { ++shown; });
        h.session.ConnectTo(SessionHarness::site(srv.port(), c.initialDir));
        ASSERT_TRUE(h.idle()) << h.pane.Lines().join('\n').toStdString();
        ASSERT_TRUE(testenv::waitFor([&] { return shown > 0; }));
        EXPECT_EQ(afterLogin(srv), c.commands);
        EXPECT_EQ(h.session.RemoteModel()->rowCount(), 3);
        EXPECT_EQ(h.session.RemotePathModel()->stringList(), c.path);
        EXPECT_EQ(h.session.RemotePathIndex(), c.path.size() - 1);
        EXPECT_FALSE(h.session.SiteListShown());
        // The password never reaches the log.
        EXPECT_FALSE(h.pane.Lines().join('\n').contains("secret"));
        EXPECT_EQ(h.logCount("> PASS (hidden)"), 1);
        EXPECT_FALSE(QFile::exists(h.session.ListingFile()));
    }
}

TEST(Session, RefusedBannerRetriesAsOftenAsSetThenReturnsToTheSiteList)
{
    for (int retry : {0, 2}) {
        SCOPED_TRACE(retry);
        FakeFtpServer srv;
        srv.on("BANNER", QList<Reply>{{"421 Too many users", 0, true}});
        SessionHarness h(retry);
        h.session.ConnectTo(SessionHarness::site(srv.port()));
        ASSERT_TRUE(h.backAtSiteList());
        testenv::deliverPostedEvents();
        EXPECT_EQ(srv.connections(), retry + 1);
        EXPECT_TRUE(srv.commands().isEmpty()) << srv.commands().join(',').toStdString();  // no SYST
        EXPECT_EQ(h.logCount("Connection closed"), 1);
        for (int attempt = 2; attempt <= retry + 1; ++attempt)
            EXPECT_EQ(h.logCount(QStringLiteral("Connecting to 127.0.0.1 [Attempt %1]").arg(attempt)), 1);
        EXPECT_EQ(h.logCount("Connecting to 127.0.0.1 [Attempt"), retry);
        EXPECT_EQ(h.session.CurrentPhase(), TSession::Phase::SiteList);
    }
}

TEST(Session, StopAndDisconnectWhileConnectingDoNotReconnect)
{
    for (bool useStop : {true, false}) {
        SCOPED_TRACE(useStop ? "Stop" : "Disconnect");
        FakeFtpServer srv;
        srv.on("BANNER", QList<Reply>{{"220 late", 600000}});  // the banner never comes during the test
        SessionHarness h(3);
        h.session.ConnectTo(SessionHarness::site(srv.port()));
        ASSERT_TRUE(testenv::waitFor([&] { return srv.connections() == 1; }));
        useStop ? h.session.StopTransfer() : h.session.Disconnect();
        EXPECT_EQ(h.session.CurrentPhase(), TSession::Phase::SiteList);
        testenv::deliverPostedEvents();
        EXPECT_EQ(srv.connections(), 1);
        EXPECT_EQ(h.logCount("Connecting to 127.0.0.1 [Attempt"), 0);
        EXPECT_EQ(h.logCount("Connection closed"), 1);
    }
}

TEST(Session, LoginRefusedWithASessionUpIsNotRetried)
{
    FakeFtpServer srv;
    srv.on("PASS", "530 Login incorrect.");
    SessionHarness h(2);
    h.session.ConnectTo(SessionHarness::site(srv.port()));
    ASSERT_TRUE(h.backAtSiteList());
    testenv::deliverPostedEvents();
    EXPECT_EQ(srv.connections(), 1);
    EXPECT_EQ(h.logCount("530 Login incorrect."), 1);
    EXPECT_EQ(h.logCount("Connection closed"), 1);
}

TEST(Session, ListingAnswered550ShowsAnEmptyListWithoutAnError)
{
    FakeFtpServer srv;
    srv.on("LIST", "550 No files found");
    SessionHarness h;
    h.session.ConnectTo(SessionHarness::site(srv.port()));
    ASSERT_TRUE(h.idle());
    EXPECT_EQ(h.session.RemoteModel()->rowCount(), 0);
    EXPECT_EQ(h.logCount("Error"), 0);
    EXPECT_EQ(h.session.CurrentPhase(), TSession::Phase::Online);
}

TEST(Session, NavigationTranscripts)
{
    struct Case {
        const char* name;
        QString initialDir;
        std::function<void(SessionHarness&)> act;
        QStringList commands;  // after the first listing
    };
    const QList<Case> cases = {
        {"double click below /pub", "/pub", [](SessionHarness& h) { h.session.RemoteDoubleClick(h.rowOf("sub")); },
         {"CWD /pub/sub", "TYPE A", "PASV", "LIST"}},
        {"double click in /", QString(), [](SessionHarness& h) { h.session.RemoteDoubleClick(h.rowOf("sub")); },
         {"CWD /sub", "TYPE A", "PASV", "LIST"}},
        {"double click on a file does nothing", QString(),
         [](SessionHarness& h) { h.session.RemoteDoubleClick(h.rowOf("small.txt")); }, {}},
        {"refresh lists without CWD or TYPE", "/pub", [](SessionHarness& h) { h.session.Refresh(); }, {"PASV", "LIST"}},
        {"up in the login directory does nothing", QString(), [](SessionHarness& h) { h.session.OneLevelUp(); }, {}},
        {"path box: the host item", "/pub", [](SessionHarness& h) { h.session.ChoosePathItem(1); },
         {"CWD /", "TYPE A", "PASV", "LIST"}},
        {"path box: item 0 disconnects", "/pub", [](SessionHarness& h) { h.session.ChoosePathItem(0); }, {"QUIT"}},
        {"change directory prompt", QString(),
         [](SessionHarness& h) {
             h.ui.answers = {"/var/tmp"};
             h.session.ChangeDirectory();
         },
         {"CWD /var/tmp", "TYPE A", "PASV", "LIST"}},
        {"change directory cancelled", QString(), [](SessionHarness& h) { h.session.ChangeDirectory(); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFtpServer srv;
        srv.setTransfer("LIST", {kListing});
        SessionHarness h;
        h.session.ConnectTo(SessionHarness::site(srv.port(), c.initialDir));
        ASSERT_TRUE(h.idle());
        const int before = srv.commands().size();
        c.act(h);
        if (!c.commands.isEmpty() && c.commands.last() == "QUIT")
            ASSERT_TRUE(h.backAtSiteList());
        else
            ASSERT_TRUE(h.idle());
        // A marker proves that the server has seen all that was sent.
        testenv::deliverPostedEvents();
        EXPECT_EQ(srv.commands().mid(before), c.commands);
    }
}

TEST(Session, UpOneLevelBelowTheHomeDirectorySendsCdup)
{
    FakeFtpServer srv;
    srv.setTransfer("LIST", {kListing});
    SessionHarness h;
    h.session.ConnectTo(SessionHarness::site(srv.port()));
    ASSERT_TRUE(h.idle());
    h.session.RemoteDoubleClick(h.rowOf("sub"));
    ASSERT_TRUE(h.idle());
    const int before = srv.commands().size();
    h.session.OneLevelUp();
    ASSERT_TRUE(h.idle());
    EXPECT_EQ(srv.commands().mid(before), QStringList({"CDUP", "TYPE A", "PASV", "LIST"}));
    EXPECT_EQ(h.session.Ftp1().HostDirName(), "/");
}

TEST(Session, RefusedDirectoryChangeReturnsToTheServersDirectory)
{
    FakeFtpServer srv;
    srv.setTransfer("LIST", {kListing});
    srv.on("CWD", "550 sub: Permission denied");
    SessionHarness h;
    h.session.ConnectTo(SessionHarness::site(srv.port()));
    ASSERT_TRUE(h.idle());
    const int before = srv.commands().size();
    h.session.RemoteDoubleClick(h.rowOf("sub"));
    ASSERT_TRUE(testenv::waitFor([&] { return srv.commands().size() >= before + 5; }));
    ASSERT_TRUE(h.idle());
    EXPECT_EQ(srv.commands().mid(before), QStringList({"CWD /sub", "TYPE A", "PWD", "TYPE A", "PASV", "LIST"}));
    EXPECT_EQ(h.logCount("Error 550 sub: Permission denied"), 1);
}

TEST(Session, CommandsDuringARequestAreIgnored)
{
    FakeFtpServer srv;
    srv.setTransfer("LIST", {kListing});
    SessionHarness h;
    h.session.ConnectTo(SessionHarness::site(srv.port()));
    ASSERT_TRUE(h.idle());
    const int before = srv.commands().size();
    h.session.Refresh();
    ASSERT_TRUE(h.session.RequestInFlight());
    // A double click, the path box and another refresh while LIST runs.
    h.session.RemoteDoubleClick(h.rowOf("sub"));
    h.session.ChoosePathItem(1);
    h.session.Refresh();
    ASSERT_TRUE(h.idle());
    testenv::deliverPostedEvents();
    EXPECT_EQ(srv.commands().mid(before), QStringList({"PASV", "LIST"}));
}

TEST(Session, StopWhileIdleDoesNotCutTheNextListing)
{
    FakeFtpServer srv;
    FakeFtpServer::Transfer big;
    for (int i = 0; i < 3000; ++i)
        big.content += "-rw-r--r-- 1 o g 10 Jan 10 10:00 file" + QByteArray::number(i) + "\r\n";
    srv.setTransfer("LIST", big);
    SessionHarness h;
    h.session.Ftp1().SetStepProgress(1);
    h.session.ConnectTo(SessionHarness::site(srv.port()));
    ASSERT_TRUE(h.idle());
    h.session.StopTransfer();
    EXPECT_FALSE(h.session.StopRequested());
    h.session.Refresh();
    ASSERT_TRUE(h.idle());
    EXPECT_EQ(h.session.RemoteModel()->rowCount(), 3000);
}

TEST(Session, HostileNamesAreShownNowhereAndLoggedOnce)
{
    FakeFtpServer srv;
    srv.setTransfer("LIST", {"-rw-r--r-- 1 o g 10 Jan 10 10:00 ok.txt\r\n"
                             "-rw-r--r-- 1 o g 10 Jan 10 10:00 ../../etc/passwd\r\n"});
    SessionHarness h;
    h.session.ConnectTo(SessionHarness::site(srv.port()));
    ASSERT_TRUE(h.idle());
    EXPECT_EQ(h.session.RemoteModel()->rowCount(), 1);
    EXPECT_EQ(h.logCount("! 1 listing entries"), 1);
}

TEST(Session, SelectionSummaryCountsFilesOnly)
{
    FakeFtpServer srv;
    srv.setTransfer("LIST", {kListing});
    SessionHarness h;
    h.session.ConnectTo(SessionHarness::site(srv.port()));
    ASSERT_TRUE(h.idle());
    h.session.RemoteSelectionChanged({h.rowOf("sub"), h.rowOf("big.bin"), h.rowOf("small.txt")});
    EXPECT_EQ(h.session.InfoLine(), "1 049 575 byte (1024 Kb) in 2 file(s)");
    h.session.RemoteSelectionChanged({});
    EXPECT_EQ(h.session.InfoLine(), "");
}

TEST(Session, ASilentServerIsGivenUpByTheWatchdog)
{
    struct Case {
        const char* name;
        bool silentBanner;
    };
    for (const Case& c : {Case{"banner never comes", true}, Case{"CWD never answered", false}}) {
        SCOPED_TRACE(c.name);
        FakeFtpServer srv;
        srv.setTransfer("LIST", {kListing});
        if (c.silentBanner)
            srv.on("BANNER", QList<Reply>{{"220 late", 600000}});
        else
            srv.on("CWD", QList<Reply>{{"250 late", 600000}});
        SessionHarness h(2);
        h.session.ConnectTo(SessionHarness::site(srv.port()));
        if (!c.silentBanner) {
            ASSERT_TRUE(h.idle());
            // Idle: the watchdog is off and its expiry would change nothing.
            EXPECT_FALSE(h.session.WatchdogArmed());
            h.session.ServerSilent();
            EXPECT_EQ(h.session.CurrentPhase(), TSession::Phase::Online);
            h.session.RemoteDoubleClick(h.rowOf("sub"));
            ASSERT_TRUE(testenv::waitFor([&] { return srv.commands().contains("CWD /sub"); }));
        } else {
            ASSERT_TRUE(testenv::waitFor([&] { return srv.connections() == 1; }));
        }
        EXPECT_TRUE(h.session.WatchdogArmed());
        h.session.ServerSilent();
        EXPECT_EQ(h.session.CurrentPhase(), TSession::Phase::SiteList);
        testenv::deliverPostedEvents();
        EXPECT_EQ(srv.connections(), 1);  // given up, not retried
        EXPECT_EQ(h.logCount("! No answer from the server for 15 seconds"), 1);
    }
}

TEST(Session, PathBoxChoicesThatCannotBeCarriedOutAreUndone)
{
    FakeFtpServer srv;
    srv.setTransfer("LIST", {kListing});
    srv.on("PWD", "257 \"alice\" is your home");
    SessionHarness h;
    TFTPServerObj site = SessionHarness::site(srv.port());
    site.CheckVHost = 1;  // a shared virtual host: nothing above the home directory
    h.session.ConnectTo(site);
    ASSERT_TRUE(h.idle());
    EXPECT_EQ(h.session.RemotePathModel()->stringList(), QStringList({"SERVER LIST ...", "127.0.0.1", "alice"}));
    int restored = 0;
    QObject::connect(&h.session, &TSession::RemotePathChanged, [&] { ++restored; });
    const int before = srv.commands().size();
    h.session.ChoosePathItem(1);  // the host: outside the home directory
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(h.session.RemotePathIndex(), 2);
    // While a request runs, a choice is undone as well.
    h.session.Refresh();
    h.session.ChoosePathItem(1);
    EXPECT_EQ(restored, 2);
    ASSERT_TRUE(h.idle());
    EXPECT_EQ(srv.commands().mid(before), QStringList({"PASV", "LIST"}));
}

TEST(Session, KeepAliveCommandsDoNotRefreshTheListing)
{
    FakeFtpServer srv;
    srv.setTransfer("LIST", {kListing});
    SessionHarness h;
    TFTPOptions o;
    o.Keep = true;
    o.CmdKeep = QStringLiteral("NOOP,PWD");
    o.StartKeep = 30;
    o.DurationKeep = 10;
    h.session.SetOptions(o);
    h.session.KeepAlive().SetManualTicks(true);
    h.session.ConnectTo(SessionHarness::site(srv.port()));
    ASSERT_TRUE(h.idle());
    EXPECT_TRUE(h.session.KeepAlive().Active());
    const int before = srv.commands().size();
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(h.session.KeepAlive().Tick());
        ASSERT_TRUE(testenv::waitFor([&] { return srv.commands().size() == before + i + 1; }));
        ASSERT_TRUE(testenv::waitFor([&] { return h.session.KeepAlive().Active(); }));
    }
    ASSERT_TRUE(h.idle());
    testenv::deliverPostedEvents();
    EXPECT_EQ(srv.commands().mid(before), QStringList({"NOOP", "PWD"}));
    EXPECT_EQ(h.session.SessionFlags(), 0);
}

TEST(Session, TheRemoteFilterShowsTheListingAgainWithoutACommand)
{
    FakeFtpServer srv;
    srv.setTransfer("LIST", {kListing});
    SessionHarness h;
    h.session.ConnectTo(SessionHarness::site(srv.port()));
    ASSERT_TRUE(h.idle());
    const int before = int(srv.commands().size());
    h.session.SetRemoteMask("*.txt");
    // Directories always show; of the files only the matching one.
    EXPECT_GE(h.rowOf("sub"), 0);
    EXPECT_GE(h.rowOf("small.txt"), 0);
    EXPECT_LT(h.rowOf("big.bin"), 0);
    h.session.SetRemoteMask("*.*");
    EXPECT_GE(h.rowOf("big.bin"), 0);
    testenv::deliverPostedEvents();
    EXPECT_EQ(srv.commands().size(), before);
}
