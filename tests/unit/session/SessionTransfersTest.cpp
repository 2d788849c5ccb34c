// Downloads against the scripted server: the exact dialogues of tree walks
// and the failures no real server gives on demand (hostile listings, links
// that loop, 426 mid-file, directories that cannot be entered or made, a
// refused TYPE, a connection lost mid-batch).
#include "TransferHarness.h"

using namespace transfertest;

TEST(SessionTransfers, HostileNamesInATreeNeverLeaveTheChosenFolder)
{
    const QByteArray hostile = fileLine("../../.bashrc") + fileLine("a/../../x") + fileLine("/etc/x")
                               + fileLine(QByteArray("nul\0name", 8)) + fileLine("") + fileLine("../sibling/evil")
                               + dirLine("../sibling") + dirLine(".") + dirLine("..") + fileLine("good")
                               + dirLine("sub");
    Connected c({dirLine("tree"), hostile, fileLine("inner")});
    ASSERT_TRUE(c.start());
    c.h.session.StartDownload({c.h.rowOf("tree")});
    ASSERT_TRUE(c.done()) << c.log();

    EXPECT_EQ(allBelow(c.area.path()), QStringList({"local/", "local/tree/", "local/tree/good", "local/tree/sub/",
                                                    "local/tree/sub/inner", "sibling/"}))
        << c.log();
    EXPECT_EQ(readFile(c.local + "/tree/good"), "data!");
    EXPECT_EQ(c.sentStarting("RETR"), QStringList({"RETR good", "RETR inner"}));
    EXPECT_EQ(c.sentStarting("CWD"), QStringList({"CWD /x/tree", "CWD /x/tree/sub", "CWD /x/"}));
    // One line names every refused entry, each once.
    const QString all = c.h.pane.Lines().join('\n');
    EXPECT_EQ(c.logLinesWith("names that would leave"), 1) << c.log();
    for (const char* name : {"\"../../.bashrc\"", "\"a/../../x\"", "\"/etc/x\"", "\"nul\\0name\"", "\"../sibling/evil\"",
                             "\"../sibling\"", "\"\""})
        EXPECT_EQ(all.count(QLatin1String(name)), 1) << name << "\n" << c.log();
    c.expectCleared();
}

TEST(SessionTransfers, HostileNamesChosenAtTheTopAreRefusedAndTheRestCopied)
{
    struct Case {
        const char* name;
        QByteArray answer;  // the site's listing format
        QByteArray listing;
        QStringList hostile;  // rows whose names must not be written
        QByteArray okRow, okRetr;
    };
    const QList<Case> cases = {
        // Names holding "/" never reach the pane; a backslash one does.
        {"a full listing", "", fileLine("../../.bashrc") + fileLine("/etc/x") + fileLine("..\\evil") + fileLine("ok"),
         {"..\\evil"}, "ok", "RETR /x/ok"},
        // A plain listing's line ends in the name the client asks for (lines
        // shorter than three letters are no entries).
        {"a plain listing", "1", "notes ..\r\nsome ..\\up\r\nlines of ok\r\n", {"notes ..", "some ..\\up"}, "lines of ok",
         "RETR /x/ok"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({k.listing, k.listing});
        if (!k.answer.isEmpty())
            c.siteRecord.Answer = QString::fromLatin1(k.answer);
        ASSERT_TRUE(c.start());
        EXPECT_EQ(c.h.rowOf("../../.bashrc"), -1);
        EXPECT_EQ(c.h.rowOf("/etc/x"), -1);
        QList<int> bad;
        for (const QString& name : k.hostile) {
            bad << c.h.rowOf(name);
            ASSERT_GE(bad.last(), 0) << name.toStdString() << "\n" << c.log();
        }

        // Nothing but refused names: no batch starts at all.
        c.h.session.StartDownload(bad);
        EXPECT_EQ(c.h.session.RunningTransfer(), TSession::TransferKind::None);
        EXPECT_TRUE(c.sent().isEmpty());
        EXPECT_EQ(c.logLinesWith("is not downloaded: the name would leave"), bad.size()) << c.log();

        c.h.session.StartDownload(bad + QList<int>{c.h.rowOf(k.okRow)});
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sentStarting("RETR"), QStringList({k.okRetr}));
        EXPECT_EQ(allBelow(c.area.path()), QStringList({"local/", "local/ok", "sibling/"}));
        EXPECT_EQ(c.logLinesWith("is not downloaded: the name would leave"), 2 * bad.size()) << c.log();
    }
}

TEST(SessionTransfers, ALinkToADirectoryIsFollowedOnlyWhenChosen)
{
    // pub -> . lists itself: entered once as chosen, never again from inside.
    const QByteArray pub = fileLine("f") + linkLine("pub", ".") + linkLine("up", "..");
    Connected c({linkLine("pub", "/srv/pub"), pub});
    ASSERT_TRUE(c.start());
    ASSERT_GE(c.h.rowOf("pub"), 0);
    c.h.session.StartDownload({c.h.rowOf("pub")});
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_EQ(c.sentStarting("CWD"), QStringList({"CWD /x/pub", "CWD /x/"}));
    EXPECT_EQ(c.sentStarting("RETR"), QStringList({"RETR f"}));
    EXPECT_EQ(c.logLinesWith("links to directories are not followed: pub, up"), 1) << c.log();
    EXPECT_EQ(allBelow(c.local), QStringList({"pub/", "pub/f"}));
}

TEST(SessionTransfers, ATreeDownloadsBreadthFirstAndReturnsToTheStart)
{
    Connected c({dirLine("a"), fileLine("f1") + dirLine("b") + fileLine("f2"), fileLine("g")});
    ASSERT_TRUE(c.start());
    c.h.session.StartDownload({c.h.rowOf("a")});
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_EQ(c.sent(), QStringList({"CWD /x/a", "LIST", "TYPE I", "RETR f1", "RETR f2", "CWD /x/a/b", "TYPE A", "LIST",
                                     "TYPE I", "RETR g", "CWD /x/", "TYPE A", "LIST"}));
    EXPECT_EQ(allBelow(c.local), QStringList({"a/", "a/b/", "a/b/g", "a/f1", "a/f2"}));
    EXPECT_EQ(QFileInfo(c.local + "/a/b/g").lastModified(), listedTime());
    EXPECT_EQ(c.h.session.Ftp1().HostDirName(), "/x/");
    EXPECT_EQ(c.localRefreshes, 1);
    c.expectCleared();
}

TEST(SessionTransfers, AFailedDownloadIsLoggedNeverStampedAndTheBatchGoesOn)
{
    struct Case {
        const char* name;
        Transfer first;  // how the first RETR ends
    };
    Transfer refused{"partial-data"};
    refused.final = "426 Connection closed; transfer aborted";
    Transfer cut{"partial-data"};
    cut.cutAfter = 4;
    cut.final = "426 Connection closed; transfer aborted";
    for (const Case& k : {Case{"426 after the data", refused}, Case{"the data connection cut mid-file", cut}}) {
        SCOPED_TRACE(k.name);
        Connected c({fileLine("one") + fileLine("two")});
        ASSERT_TRUE(c.start());
        c.srv.setTransfers("RETR", {k.first, Transfer{"whole"}});
        c.h.session.StartDownload({c.h.rowOf("one"), c.h.rowOf("two")});
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sentStarting("RETR"), QStringList({"RETR /x/one", "RETR /x/two"}));
        EXPECT_EQ(c.logLinesWith("/one may be incomplete"), 1) << c.log();
        EXPECT_EQ(readFile(c.local + "/two"), "whole");
        EXPECT_EQ(QFileInfo(c.local + "/two").lastModified(), listedTime());
        if (QFile::exists(c.local + "/one")) {
            EXPECT_NE(QFileInfo(c.local + "/one").lastModified(), listedTime());
        }
        EXPECT_EQ(c.batchesEnded, 1);
        c.expectCleared();
    }
}

TEST(SessionTransfers, ADirectoryThatCannotBeEnteredOrListedIsLeftOutAndTheRestCopied)
{
    struct Case {
        const char* name;
        QList<Reply> cwd;   // replies to the CWDs after the login
        QList<Reply> list;  // replies to the LISTs after the login
        int skippedLines;   // "is not downloaded" lines
        const char* error = "";  // the line a listing cut short leaves
    };
    const QList<Case> cases = {
        {"CWD 550", {{"250 Ok"}, {"550 Permission denied"}, {"250 Ok"}}, {{"150 Here"}}, 1},
        {"LIST 550", {{"250 Ok"}}, {{"150 Here"}, {"550 Permission denied"}, {"150 Here"}}, 0},
        {"LIST 450", {{"250 Ok"}}, {{"150 Here"}, {"450 No files found"}, {"150 Here"}}, 0},
        {"LIST 451", {{"250 Ok"}}, {{"150 Here"}, {"451 Local error"}, {"150 Here"}}, 0,
         "Error 451 Local error"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({dirLine("a"), fileLine("f1") + dirLine("b") + dirLine("c"), fileLine("g"), dirLine("a")});
        ASSERT_TRUE(c.start());
        c.srv.on("CWD", k.cwd);
        c.srv.on("LIST", k.list);
        c.h.session.StartDownload({c.h.rowOf("a")});
        ASSERT_TRUE(c.done()) << c.log();
        // b is made when a is listed; what b holds never lands anywhere.
        EXPECT_EQ(allBelow(c.local), QStringList({"a/", "a/b/", "a/c/", "a/c/g", "a/f1"})) << c.log();
        EXPECT_EQ(c.logLinesWith("! /x/a/b is not downloaded"), k.skippedLines) << c.log();
        EXPECT_EQ(c.logLinesWith("Error"), *k.error ? 1 : 0) << c.log();
        if (*k.error) {
            EXPECT_EQ(c.logLinesWith(k.error), 1) << c.log();
        }
        EXPECT_EQ(c.sent().mid(c.sent().size() - 3), QStringList({"CWD /x/", "TYPE A", "LIST"}));
        c.expectCleared();
    }
}

TEST(SessionTransfers, AFolderThatCannotBeMadeLocallyIsLeftOutAndTheRestCopied)
{
    Connected c({dirLine("a") + fileLine("z"), fileLine("f")});
    writeFile(c.local + "/a", "a plain file where the folder would go");
    ASSERT_TRUE(c.start());
    c.h.session.StartDownload({c.h.rowOf("a"), c.h.rowOf("z")});
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_EQ(c.sentStarting("RETR"), QStringList({"RETR /x/z"}));
    EXPECT_EQ(readFile(c.local + "/a"), "a plain file where the folder would go");
    EXPECT_EQ(c.logLinesWith("/x/a/ is not copied"), 1) << c.log();
    c.expectCleared();
}

TEST(SessionTransfers, ACopyGetsTheListedTimeConvertedFromTheSitesZoneOnce)
{
    // Without a year the date lies in this year: January is never later
    // than today's month.
    const int year = QDate::currentDate().year();
    const QByteArray line = "-rw-r--r-- 1 o g 5 Jan 10 10:00 ";
    Connected c({line + "top\r\n" + dirLine("d"), line + "inner\r\n"});
    c.siteRecord.TimeZone = 5.30;
    ASSERT_TRUE(c.start());
    c.h.session.StartDownload({c.h.rowOf("top"), c.h.rowOf("d")});
    ASSERT_TRUE(c.done()) << c.log();
    const QDateTime expected(QDate(year, 1, 10), QTime(10, 0), QTimeZone(5 * 3600 + 30 * 60));
    // A row of the pane and an entry met inside a tree get the same time.
    EXPECT_EQ(QFileInfo(c.local + "/top").lastModified().toUTC(), expected.toUTC());
    EXPECT_EQ(QFileInfo(c.local + "/d/inner").lastModified().toUTC(), expected.toUTC());
}

TEST(SessionTransfers, AutoTypeFollowsTheExtensionListAndIsSentOnlyWhenItChanges)
{
    Connected c({fileLine("x.TXT") + fileLine("x.htm") + fileLine("y.txt") + fileLine("x.m") + fileLine("noext")
                 + fileLine("z.txt")});
    c.setOptions([](TFTPOptions& o) { o.Ext = "txt,htm"; });
    ASSERT_TRUE(c.start());
    c.h.session.SetTransferType(0);
    QList<int> rows;
    for (const char* name : {"x.TXT", "x.htm", "y.txt", "x.m", "noext", "z.txt"})
        rows << c.h.rowOf(name);
    c.h.session.StartDownload(rows);
    ASSERT_TRUE(c.done()) << c.log();
    // The listing before left the type ASCII.
    EXPECT_EQ(c.sentStarting("TYPE|RETR"),
              QStringList({"TYPE I", "RETR /x/x.TXT", "TYPE A", "RETR /x/x.htm", "RETR /x/y.txt", "TYPE I",
                           "RETR /x/x.m", "RETR /x/noext", "TYPE A", "RETR /x/z.txt"}));
}

TEST(SessionTransfers, ARefusedTypeEndsTheBatchAndListsTheStartAgain)
{
    Connected c({dirLine("a"), fileLine("f1") + fileLine("f2"), dirLine("a")});
    ASSERT_TRUE(c.start());
    c.srv.on("TYPE", {{"504 Type not implemented"}, {"200 Type set"}});
    c.h.session.StartDownload({c.h.rowOf("a")});
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_TRUE(c.sentStarting("RETR").isEmpty());
    EXPECT_EQ(c.sent().mid(0, 3), QStringList({"CWD /x/a", "LIST", "TYPE I"}));
    EXPECT_EQ(c.sent().mid(3).filter("CWD"), QStringList({"CWD /x/"}));
    EXPECT_EQ(c.sent().last(), "LIST");
    EXPECT_EQ(c.logLinesWith("Error 504 Type not implemented"), 1) << c.log();
    EXPECT_EQ(c.batchesEnded, 1);
    c.expectCleared();
}

TEST(SessionTransfers, AConnectionLostMidBatchEndsItOnce)
{
    Connected c({fileLine("a") + fileLine("b")});
    ASSERT_TRUE(c.start());
    c.srv.on("RETR", {{"421 Service not available, closing control connection", 0, true}});
    c.h.session.StartDownload({c.h.rowOf("a"), c.h.rowOf("b")});
    ASSERT_TRUE(c.h.backAtSiteList()) << c.log();
    ASSERT_TRUE(testenv::waitFor([&] { return c.batchesEnded == 1 && !c.h.session.Busy(); })) << c.log();
    EXPECT_EQ(c.sentStarting("RETR"), QStringList({"RETR /x/a"}));
    EXPECT_EQ(c.localRefreshes, 1);  // what arrived before the end is shown
    EXPECT_EQ(c.h.session.RunningTransfer(), TSession::TransferKind::None);
    EXPECT_EQ(c.h.session.SessionFlags(), 0);
}
