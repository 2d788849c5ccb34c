// Make Directory, Rename, Delete and Change Case of the right pane against
// the scripted server: each case states the dialogue the engine must
// produce, including the failures and Stops that must end a recursive delete
// without touching anything outside what the user chose.
#include "SessionHarness.h"

#include <QDir>
#include <QFile>

namespace {

using Transfer = FakeFtpServer::Transfer;

// /x/ holds the directory a (with f and the directory b, which holds g), the
// file top.txt and a link to a directory.
const QByteArray kTop = "drwxr-xr-x 2 o g 4096 Jan 10 10:00 a\r\n"
                        "-rw-r--r-- 1 o g 12 Jan 10 10:00 top.txt\r\n"
                        "lrwxrwxrwx 1 o g 4 Jan 10 10:00 home -> /home\r\n";
const QByteArray kA = "-rw-r--r-- 1 o g 5 Jan 10 10:00 f\r\n"
                      "drwxr-xr-x 2 o g 4096 Jan 10 10:00 b\r\n";
const QByteArray kB = "-rw-r--r-- 1 o g 5 Jan 10 10:00 g\r\n";

QList<Transfer> listings(const QList<QByteArray>& contents)
{
    QList<Transfer> ts;
    for (const QByteArray& c : contents)
        ts << Transfer{c};
    return ts;
}

struct Connected {
    FakeFtpServer srv;
    SessionHarness h;
    int before = 0;

    // Logged in with /x/ listed first; then the listings given, in order.
    explicit Connected(const QList<QByteArray>& later)
    {
        srv.setTransfers("LIST", listings(QList<QByteArray>{kTop} + later));
    }
    bool start()
    {
        h.session.ConnectTo(SessionHarness::site(srv.port(), "/x"));
        if (!h.idle())
            return false;
        before = int(srv.commands().size());
        return true;
    }
    QStringList sent() const { return withoutData(srv.commands().mid(before)); }
    bool finished() { return h.idle() && !h.session.DeleteRunning() && !h.session.Busy(); }
};

} // namespace

TEST(SessionFileOps, RecursiveDeleteWalksTheTreeAndReturnsToTheStart)
{
    Connected c({kA, kB, kTop});
    ASSERT_TRUE(c.start());
    c.h.ui.boxAnswer = mb::IdYes;
    c.h.session.DeleteItems({c.h.rowOf("a")});
    ASSERT_TRUE(testenv::waitFor([&] { return c.finished() && c.sent().endsWith("LIST"); }));
    EXPECT_EQ(c.sent(), QStringList({"CWD /x/a", "TYPE A", "LIST", "DELE f", "CWD /x/a/b", "TYPE A", "LIST", "DELE g",
                                     "TYPE A", "CDUP", "TYPE A", "RMD /x/a/b", "TYPE A", "CDUP", "TYPE A", "RMD /x/a",
                                     "TYPE A", "CWD /x/", "TYPE A", "LIST"}));
    EXPECT_EQ(c.h.ui.boxes, QStringList({"Do you wish to remove"}));
    EXPECT_EQ(c.h.session.SessionFlags(), 0);
    EXPECT_FALSE(QFile::exists(c.h.session.ListingFile()));
}

TEST(SessionFileOps, FilesAndLinksAreDeletedWithDeleNeverEntered)
{
    Connected c({kTop});
    ASSERT_TRUE(c.start());
    c.h.ui.boxAnswer = mb::IdYes;
    c.h.session.DeleteItems({c.h.rowOf("top.txt"), c.h.rowOf("home")});
    ASSERT_TRUE(testenv::waitFor([&] { return c.finished() && c.sent().endsWith("LIST"); }));
    EXPECT_EQ(c.sent(), QStringList({"DELE top.txt", "DELE home", "CWD /x/", "TYPE A", "LIST"}));
}

TEST(SessionFileOps, LinksInsideADeletedTreeAreNotFollowed)
{
    const QByteArray withLinks = "lrwxrwxrwx 1 o g 4 Jan 10 10:00 up -> ..\r\n"
                                 "lrwxrwxrwx 1 o g 4 Jan 10 10:00 etc -> /etc\r\n";
    Connected c({withLinks, kTop});
    ASSERT_TRUE(c.start());
    c.h.ui.boxAnswer = mb::IdYes;
    c.h.session.DeleteItems({c.h.rowOf("a")});
    ASSERT_TRUE(testenv::waitFor([&] { return c.finished() && c.sent().endsWith("LIST"); }));
    EXPECT_EQ(c.sent(), QStringList({"CWD /x/a", "TYPE A", "LIST", "DELE up", "DELE etc", "TYPE A", "CDUP", "TYPE A",
                                     "RMD /x/a", "TYPE A", "CWD /x/", "TYPE A", "LIST"}));
}

TEST(SessionFileOps, ADirectoryThatCannotBeEnteredOrListedIsLeftAlone)
{
    struct Case {
        const char* name;
        QList<FakeFtpServer::Reply> cwd;  // replies to the CWDs in order
        QList<FakeFtpServer::Reply> list; // replies to the LISTs in order (preliminary)
        QStringList expected;
    };
    const QList<Case> cases = {
        // A refused CWD (450 is a temporary refusal, not a success) must not
        // lead to listing the parent and deleting its files.
        {"CWD refused with 450", {{"250 ok"}, {"450 busy"}, {"250 ok"}}, {},
         {"CWD /x/a", "TYPE A", "LIST", "DELE f", "CWD /x/a/b", "TYPE A", "CDUP", "TYPE A", "RMD /x/a", "TYPE A",
          "CWD /x/", "TYPE A", "LIST"}},
        {"LIST refused with 550", {}, {{"150 here"}, {"550 no access"}, {"150 here"}},
         {"CWD /x/a", "TYPE A", "LIST", "DELE f", "CWD /x/a/b", "TYPE A", "LIST", "TYPE A", "RMD /x/a", "TYPE A",
          "CWD /x/", "TYPE A", "LIST"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({kA, kB, kTop});
        ASSERT_TRUE(c.start());
        if (!k.cwd.isEmpty())
            c.srv.on("CWD", k.cwd);
        if (!k.list.isEmpty())
            c.srv.on("LIST", k.list);
        c.h.ui.boxAnswer = mb::IdYes;
        c.h.session.DeleteItems({c.h.rowOf("a")});
        ASSERT_TRUE(testenv::waitFor([&] { return c.finished() && c.sent().endsWith("LIST") && c.sent().size() > 8; }));
        EXPECT_EQ(c.sent().join(','), k.expected.join(','));
        EXPECT_EQ(c.h.logCount("! /x/a/b is not deleted"), 1);
        EXPECT_EQ(c.h.session.SessionFlags(), 0);
    }
}

TEST(SessionFileOps, AFailureInsideTheBatchEndsItAndReturnsToTheStart)
{
    Connected c({kA, kB, kTop});
    ASSERT_TRUE(c.start());
    c.srv.on("DELE", "550 f: Permission denied");
    c.h.ui.boxAnswer = mb::IdYes;
    c.h.session.DeleteItems({c.h.rowOf("a")});
    ASSERT_TRUE(testenv::waitFor([&] { return c.finished() && c.sent().endsWith("LIST") && c.sent().size() > 3; }));
    EXPECT_EQ(c.sent(), QStringList({"CWD /x/a", "TYPE A", "LIST", "DELE f", "CWD /x/", "TYPE A", "LIST"}));
    EXPECT_EQ(c.h.logCount("Error 550 f: Permission denied"), 1);
    EXPECT_EQ(c.h.session.SessionFlags(), 0);
    // Nothing is left for a later command to resume: a refresh only lists.
    const int mark = int(c.srv.commands().size());
    c.h.session.Refresh();
    ASSERT_TRUE(c.finished());
    testenv::deliverPostedEvents();
    EXPECT_EQ(withoutData(c.srv.commands().mid(mark)), QStringList({"LIST"}));
}

TEST(SessionFileOps, StopEndsTheDeleteAndReturnsToTheStart)
{
    Connected c({kA, kB, kTop});
    ASSERT_TRUE(c.start());
    // The first DELE is held: Stop comes while it runs.
    c.srv.on("DELE", QList<FakeFtpServer::Reply>{{"250 Deleted", 0, false, true}, {"250 Deleted"}});
    c.h.ui.boxAnswer = mb::IdYes;
    c.h.session.DeleteItems({c.h.rowOf("a")});
    ASSERT_TRUE(testenv::waitFor([&] { return c.srv.heldCount() > 0; }));
    c.h.session.StopTransfer();
    c.srv.release();
    ASSERT_TRUE(testenv::waitFor([&] { return c.finished() && c.sent().endsWith("LIST") && c.sent().size() > 4; }));
    EXPECT_EQ(c.sent(), QStringList({"CWD /x/a", "TYPE A", "LIST", "DELE f", "CWD /x/", "TYPE A", "LIST"}));
    EXPECT_EQ(c.h.session.SessionFlags(), 0);
    EXPECT_FALSE(c.h.session.StopRequested());
}

TEST(SessionFileOps, NothingStartsWhenTheQuestionIsDeclinedOrTheClientIsBusy)
{
    Connected c({kTop});
    ASSERT_TRUE(c.start());
    c.h.ui.boxAnswer = mb::IdNo;
    c.h.session.DeleteItems({c.h.rowOf("top.txt")});
    testenv::deliverPostedEvents();
    EXPECT_EQ(c.sent(), QStringList());
    EXPECT_FALSE(c.h.session.DeleteRunning());

    // A request under way when the question is answered: no flag or queue
    // changes, nothing is sent for the delete.
    c.h.ui.boxAnswer = mb::IdYes;
    c.h.session.Refresh();
    c.h.session.DeleteItems({c.h.rowOf("top.txt")});
    ASSERT_TRUE(c.finished());
    testenv::deliverPostedEvents();
    EXPECT_FALSE(c.sent().contains("DELE top.txt"));
    EXPECT_EQ(c.h.session.SessionFlags(), 0);
}

TEST(SessionFileOps, HostileNamesInADeletedTreeAreNeverSent)
{
    const QByteArray hostile = "-rw-r--r-- 1 o g 5 Jan 10 10:00 ../../etc/passwd\r\n"
                               "drwxr-xr-x 2 o g 4096 Jan 10 10:00 ..\r\n"
                               "-rw-r--r-- 1 o g 5 Jan 10 10:00 ok\r\n";
    Connected c({hostile, kTop});
    ASSERT_TRUE(c.start());
    c.h.ui.boxAnswer = mb::IdYes;
    c.h.session.DeleteItems({c.h.rowOf("a")});
    ASSERT_TRUE(testenv::waitFor([&] { return c.finished() && c.sent().endsWith("LIST") && c.sent().size() > 4; }));
    EXPECT_EQ(c.sent(), QStringList({"CWD /x/a", "TYPE A", "LIST", "DELE ok", "TYPE A", "CDUP", "TYPE A", "RMD /x/a",
                                     "TYPE A", "CWD /x/", "TYPE A", "LIST"}));
    EXPECT_EQ(c.h.logCount("! /x/a: the listing names \"../../etc/passwd\""), 1);
}

TEST(SessionFileOps, MakeDirectoryAndRename)
{
    struct Case {
        const char* name;
        QStringList answers;
        int box;
        std::function<void(SessionHarness&)> act;
        QStringList expected;
    };
    const QList<Case> cases = {
        {"make directory", {"new dir"}, mb::IdOk, [](SessionHarness& h) { h.session.MakeDirectory(); },
         {"MKD new dir", "TYPE A", "LIST"}},
        {"make directory cancelled", {}, mb::IdOk, [](SessionHarness& h) { h.session.MakeDirectory(); }, {}},
        {"rename a file", {"renamed.txt"}, mb::IdOk,
         [](SessionHarness& h) { h.session.RenameItem(h.rowOf("top.txt")); },
         {"RNFR top.txt", "RNTO renamed.txt", "TYPE A", "LIST"}},
        {"rename to the same name", {"top.txt"}, mb::IdOk,
         [](SessionHarness& h) { h.session.RenameItem(h.rowOf("top.txt")); }, {}},
        {"rename onto a listed name, declined", {"a"}, mb::IdNo,
         [](SessionHarness& h) { h.session.RenameItem(h.rowOf("top.txt")); }, {}},
        {"rename onto a listed name, confirmed", {"a"}, mb::IdYes,
         [](SessionHarness& h) { h.session.RenameItem(h.rowOf("top.txt")); },
         {"RNFR top.txt", "RNTO a", "TYPE A", "LIST"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({kTop});
        ASSERT_TRUE(c.start());
        c.h.ui.answers = k.answers;
        c.h.ui.boxAnswer = k.box;
        k.act(c.h);
        ASSERT_TRUE(testenv::waitFor([&] { return c.finished() && c.sent().size() >= k.expected.size(); }));
        testenv::deliverPostedEvents();
        EXPECT_EQ(c.sent(), k.expected);
    }
    // The rename prompt names the kind of item.
    Connected c({kTop});
    ASSERT_TRUE(c.start());
    c.h.session.RenameItem(c.h.rowOf("a"));
    EXPECT_EQ(c.h.ui.prompts, QStringList({"Rename Directory"}));
}

TEST(SessionFileOps, ChangeCaseRenamesPairByPairAndSkipsTakenNames)
{
    const QByteArray names = "-rw-r--r-- 1 o g 5 Jan 10 10:00 MY FILE.TXT\r\n"
                             "-rw-r--r-- 1 o g 5 Jan 10 10:00 Readme\r\n"
                             "-rw-r--r-- 1 o g 5 Jan 10 10:00 readme\r\n"
                             "-rw-r--r-- 1 o g 5 Jan 10 10:00 lower\r\n";
    FakeFtpServer srv;
    srv.setTransfer("LIST", {names});
    SessionHarness h;
    h.session.ConnectTo(SessionHarness::site(srv.port()));
    ASSERT_TRUE(h.idle());
    const int before = int(srv.commands().size());
    h.session.ChangeCase(2, {h.rowOf("MY FILE.TXT"), h.rowOf("Readme"), h.rowOf("lower")});
    ASSERT_TRUE(testenv::waitFor([&] { return h.idle() && !h.session.Busy() && srv.commands().last() == "LIST"; }));
    EXPECT_EQ(withoutData(srv.commands().mid(before)),
              QStringList({"RNFR MY FILE.TXT", "RNTO My file.txt", "RNFR lower", "RNTO Lower", "TYPE A", "LIST"}));
    // "Readme" as a sentence is itself: nothing to do. Lower case would land
    // on "readme", which is listed: skipped with a line.
    const int mark = int(srv.commands().size());
    h.session.ChangeCase(1, {h.rowOf("Readme")});
    testenv::deliverPostedEvents();
    EXPECT_EQ(srv.commands().size(), mark);
    EXPECT_EQ(h.logCount("! Readme is not renamed: readme already exists"), 1);
}

TEST(SessionFileOps, AFailedRenameInsideChangeCaseEndsTheBatch)
{
    const QByteArray names = "-rw-r--r-- 1 o g 5 Jan 10 10:00 A\r\n"
                             "-rw-r--r-- 1 o g 5 Jan 10 10:00 B\r\n"
                             "-rw-r--r-- 1 o g 5 Jan 10 10:00 C\r\n";
    FakeFtpServer srv;
    srv.setTransfer("LIST", {names});
    srv.on("RNTO", QList<FakeFtpServer::Reply>{{"250 ok"}, {"553 not allowed"}, {"250 ok"}});
    SessionHarness h;
    h.session.ConnectTo(SessionHarness::site(srv.port()));
    ASSERT_TRUE(h.idle());
    const int before = int(srv.commands().size());
    h.session.ChangeCase(1, {h.rowOf("A"), h.rowOf("B"), h.rowOf("C")});
    ASSERT_TRUE(testenv::waitFor([&] { return h.idle() && !h.session.Busy() && srv.commands().last() == "LIST"; }));
    EXPECT_EQ(withoutData(srv.commands().mid(before)),
              QStringList({"RNFR A", "RNTO a", "RNFR B", "RNTO b", "TYPE A", "LIST"}));
    EXPECT_EQ(h.logCount("Error 553 not allowed"), 1);
    // A later single rename does not resume the batch.
    const int mark = int(srv.commands().size());
    h.ui.answers = {"D"};
    h.session.RenameItem(h.rowOf("C"));
    ASSERT_TRUE(testenv::waitFor([&] { return h.idle() && srv.commands().last() == "LIST"; }));
    EXPECT_EQ(withoutData(srv.commands().mid(mark)), QStringList({"RNFR C", "RNTO D", "TYPE A", "LIST"}));
}

TEST(SessionFileOps, SiteFoldersAreMadeRenamedAndRemovedSafely)
{
    SessionHarness h;
    ASSERT_TRUE(h.sites.ShowSiteList(QString()));
    h.ui.answers = {"work"};
    h.session.MakeDirectory();
    ASSERT_TRUE(QDir(h.dir.filePath("work")).exists());
    ASSERT_GE(h.sites.FindCaption("work"), 0);

    // A folder name that would leave the program directory is refused.
    h.ui.answers = {"../evil"};
    h.session.MakeDirectory();
    EXPECT_FALSE(QDir(h.dir.filePath("../evil")).exists());
    EXPECT_LT(h.sites.FindCaption("../evil"), 0);

    // Renamed on disk and in the list; its sites go with it.
    ASSERT_TRUE(h.sites.ShowSiteList("work/"));
    h.sites.AddSite(SessionHarness::site(21));
    ASSERT_TRUE(h.sites.SaveSiteList());
    ASSERT_TRUE(h.sites.ShowSiteList(QString()));
    h.sites.SelectRow(h.sites.FindCaption("work"));
    h.ui.answers = {"clients"};
    h.session.RenameItem(-1);
    EXPECT_TRUE(QFile::exists(h.dir.filePath("clients/ftplist.TXT")));
    EXPECT_FALSE(QDir(h.dir.filePath("work")).exists());
    ASSERT_GE(h.sites.FindCaption("clients"), 0);

    // Removing a folder that still holds a site keeps its directory (the
    // site is not lost); an empty one goes from disk as well.
    h.ui.answers = {"empty"};
    h.session.MakeDirectory();
    h.ui.boxAnswer = mb::IdYes;
    h.sites.SelectRow(h.sites.FindCaption("clients"));
    h.session.DeleteItems({});
    h.sites.SelectRow(h.sites.FindCaption("empty"));
    h.session.DeleteItems({});
    ASSERT_TRUE(h.sites.ShowSiteList(QString()));
    EXPECT_LT(h.sites.FindCaption("clients"), 0);
    EXPECT_LT(h.sites.FindCaption("empty"), 0);
    EXPECT_TRUE(QFile::exists(h.dir.filePath("clients/ftplist.TXT")));
    EXPECT_FALSE(QDir(h.dir.filePath("empty")).exists());
}

TEST(SessionFileOps, AServerThatRemovesOnlyByRelativeNameIsLeftFirst)
{
    // Windows 2000 servers remove a directory only by its name in the
    // current directory: the delete steps out of it and removes it by leaf.
    FakeFtpServer srv;
    srv.setTransfers("LIST", listings({"12-24-03  02:15PM       <DIR>          a\r\n",
                                       "01-02-04  11:00AM                   77 f\r\n", ""}));
    SessionHarness h;
    TFTPServerObj site = SessionHarness::site(srv.port(), "/x");
    site.Answer = QStringLiteral("8");
    h.session.ConnectTo(site);
    ASSERT_TRUE(h.idle());
    const int before = int(srv.commands().size());
    h.ui.boxAnswer = mb::IdYes;
    h.session.DeleteItems({h.rowOf("a")});
    ASSERT_TRUE(testenv::waitFor([&] {
        return h.idle() && !h.session.DeleteRunning() && !h.session.Busy() && srv.commands().last() == "LIST"
               && srv.commands().size() > before + 4;
    }));
    EXPECT_EQ(withoutData(srv.commands().mid(before)).join(','),
              QStringList({"CWD /x/a", "TYPE A", "LIST", "DELE f", "TYPE A", "CWD /x", "TYPE A", "RMD a", "TYPE A",
                           "CWD /x/", "TYPE A", "LIST"})
                  .join(','));
}
