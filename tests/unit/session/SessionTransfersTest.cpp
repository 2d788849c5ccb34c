// Downloads and uploads against the scripted server: the exact dialogues of
// tree walks, directory making and the time command, the overwrite decision
// under every option, and the failures no real server gives on demand
// (hostile listings, 426/451 mid-batch, refused MKD).
#include "SessionHarness.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>

namespace {

using Transfer = FakeFtpServer::Transfer;
using Reply = FakeFtpServer::Reply;

// Listing lines with a full date, so the copies' times are known exactly.
QByteArray fileLine(const QByteArray& name, int size = 5)
{
    return "-rw-r--r-- 1 o g " + QByteArray::number(size) + " Jan 10  2020 " + name + "\r\n";
}
QByteArray dirLine(const QByteArray& name) { return "drwxr-xr-x 2 o g 4096 Jan 10  2020 " + name + "\r\n"; }
QByteArray linkLine(const QByteArray& name, const QByteArray& to)
{
    return "lrwxrwxrwx 1 o g 4 Jan 10  2020 " + name + " -> " + to + "\r\n";
}

// 2020-01-10 00:00 in the site's zone (UTC): what a listed file is stamped.
QDateTime listedTime() { return QDateTime(QDate(2020, 1, 10), QTime(0, 0), QTimeZone::utc()); }

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data, const QDateTime& modified = QDateTime())
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    if (modified.isValid()) {
        ASSERT_TRUE(f.open(QIODevice::ReadWrite | QIODevice::Append));
        ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
    }
}

// Every path below root, relative, folders ending in "/".
QStringList allBelow(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        out << QDir(root).relativeFilePath(it.filePath()) + (it.fileInfo().isDir() ? "/" : "");
    }
    out.sort();
    return out;
}

// Logged in at /x/ (its listing the first of `listings`), the local pane in
// area/local; area/sibling must stay empty whatever a server lists.
struct Connected {
    FakeFtpServer srv;
    SessionHarness h;
    QTemporaryDir area;
    QString local;
    int before = 0;
    int batchesEnded = 0;
    int filesStarted = 0;
    TFTPServerObj siteRecord;

    explicit Connected(const QList<QByteArray>& listings)
    {
        QList<Transfer> ts;
        for (const QByteArray& c : listings)
            ts << Transfer{c};
        srv.setTransfers("LIST", ts);
        srv.setTransfer("RETR", Transfer{"data!"});
        local = area.filePath("local");
        QDir().mkpath(local);
        QDir().mkpath(area.filePath("sibling"));
        h.session.SetLocalDir(local);
        QObject::connect(&h.session, &TSession::TransferBatchEnded, [this] { ++batchesEnded; });
        QObject::connect(&h.session, &TSession::TransferFileStarted, [this] { ++filesStarted; });
        siteRecord = SessionHarness::site(srv.port(), "/x");
        siteRecord.TimeZone = 0;
    }
    void setOptions(const std::function<void(TFTPOptions&)>& change)
    {
        TFTPOptions o = h.session.Options();
        change(o);
        h.session.SetOptions(o);
    }
    bool start()
    {
        h.session.ConnectTo(siteRecord);
        if (!h.idle())
            return false;
        before = int(srv.commands().size());
        return true;
    }
    QStringList sent() const { return withoutData(srv.commands().mid(before)); }
    QStringList sentStarting(const QString& verb) const { return sent().filter(QRegularExpression("^(" + verb + ")")); }
    // The batch has ended and whatever follows it (the listing) is done.
    bool done(int endedBatches = 1)
    {
        return testenv::waitFor([&] {
            return batchesEnded >= endedBatches && h.session.RunningTransfer() == TSession::TransferKind::None
                   && !h.session.Busy() && h.idle(50);
        });
    }
    void expectCleared()
    {
        EXPECT_EQ(h.session.RunningTransfer(), TSession::TransferKind::None);
        EXPECT_FALSE(h.session.Busy());
        EXPECT_EQ(h.session.SessionFlags(), 0);
    }
    std::string log() const { return h.pane.Lines().join('\n').toStdString(); }
    int logLinesWith(const QString& part) const { return int(h.pane.Lines().filter(part).size()); }
};

} // namespace

// --- names that would leave the chosen folder --------------------------------

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

// --- links -----------------------------------------------------------------

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

// --- a file that fails -------------------------------------------------------

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

TEST(SessionTransfers, AFailedUploadIsLoggedAsPossiblyIncompleteAndGetsNoTime)
{
    struct Case {
        const char* name;
        QList<Reply> stor;  // the replies to the STORs, in order
        Transfer data;      // how a STOR with a 150 ends
    };
    Transfer aborted;
    aborted.final = "426 Connection closed; transfer aborted";
    const QList<Case> cases = {
        {"451 at once", {{"451 Local error in processing"}, {"150 Ok"}}, Transfer{}},
        {"426 after the data", {{"150 Ok"}}, aborted},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({fileLine("other")});
        writeFile(c.local + "/a.bin", "aaaa", listedTime());
        writeFile(c.local + "/b.bin", "bbbb", listedTime());
        ASSERT_TRUE(c.start());
        c.srv.on("STOR", k.stor);
        if (k.data.final.startsWith("426"))
            c.srv.setTransfers("STOR", {k.data, Transfer{}});
        c.srv.on("MFMT", "213 Modify=20200110000000; b.bin");
        c.h.session.StartUpload({"a.bin", "b.bin"});
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sent(), QStringList({"TYPE I", "STOR a.bin", "STOR b.bin", "MFMT 20200110000000 b.bin", "CWD /x/",
                                         "TYPE A", "LIST"}))
            << c.log();
        EXPECT_EQ(c.logLinesWith("a.bin on the server may be incomplete"), 1) << c.log();
        EXPECT_EQ(c.batchesEnded, 1);
        c.expectCleared();
    }
}

// --- directories an upload makes ------------------------------------------

TEST(SessionTransfers, ARefusedMkdEndsTheUploadOnceAndListsTheStartAgain)
{
    struct Case {
        const char* name;
        QList<Reply> cwd;
        QList<Reply> mkd;
    };
    const QList<Case> cases = {
        {"MKD 450", {{"550 No such directory"}, {"250 Ok"}}, {{"450 Try again later"}}},
        {"MKD 550", {{"550 No such directory"}, {"250 Ok"}}, {{"550 Permission denied"}}},
        // Made, yet still not enterable: never a second MKD.
        {"CWD after MKD fails", {{"550 No such directory"}, {"550 No such directory"}, {"250 Ok"}},
         {{"257 \"/x/up\" created"}}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({fileLine("other")});
        writeFile(c.local + "/up/f", "ffff");
        ASSERT_TRUE(c.start());
        c.srv.on("CWD", k.cwd);
        c.srv.on("MKD", k.mkd);
        c.h.session.StartUpload({"up"});
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sentStarting("MKD").size(), 1) << c.sent().join(", ").toStdString();
        EXPECT_TRUE(c.sentStarting("STOR").isEmpty());
        EXPECT_EQ(c.sent().mid(c.sent().size() - 3), QStringList({"CWD /x/", "TYPE A", "LIST"}))
            << c.sent().join(", ").toStdString();
        EXPECT_EQ(c.batchesEnded, 1);
        c.expectCleared();
    }
}

TEST(SessionTransfers, MissingDirectoriesAreMadeByLeafOrByFullPath)
{
    struct Case {
        const char* name;
        bool relative;  // the site's "Relative pathname"
        QStringList expected;
    };
    const QList<Case> cases = {
        {"relative: MKD of the leaf from its parent",
         true,
         {"CWD /x/up/", "MKD up", "CWD /x/up/", "LIST", "CWD /x/up/a/", "MKD a", "CWD /x/up/a/", "LIST", "TYPE I",
          "STOR f1", "MFMT 20200110000000 f1", "CWD /x/up/b/", "CWD /x/up", "MKD b", "CWD /x/up/b/", "TYPE A", "LIST",
          "TYPE I", "STOR f2", "MFMT 20200110000000 f2", "CWD /x/", "TYPE A", "LIST"}},
        {"absolute: MKD of the full path",
         false,
         {"CWD /x/up/", "MKD /x/up/", "CWD /x/up/", "LIST", "CWD /x/up/a/", "MKD /x/up/a/", "CWD /x/up/a/", "LIST",
          "TYPE I", "STOR f1", "MFMT 20200110000000 f1", "CWD /x/up/b/", "MKD /x/up/b/", "CWD /x/up/b/", "TYPE A",
          "LIST", "TYPE I", "STOR f2", "MFMT 20200110000000 f2", "CWD /x/", "TYPE A", "LIST"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({fileLine("other"), ""});
        c.siteRecord.MkDir = k.relative ? 1 : 0;
        writeFile(c.local + "/up/a/f1", "one", listedTime());
        writeFile(c.local + "/up/b/f2", "two", listedTime());
        ASSERT_TRUE(c.start());
        // Each directory is missing at the first CWD into it.
        c.srv.on("CWD", {{"550 No such directory"}, {"250 Ok"}, {"550 No such directory"}, {"250 Ok"},
                         {"550 No such directory"}, {"250 Ok"}, {"250 Ok"}, {"250 Ok"}});
        c.srv.on("MFMT", "213 Modified");
        c.h.session.StartUpload({"up"});
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sent().join(", ").toStdString(), k.expected.join(", ").toStdString());
        c.expectCleared();
    }
}

// --- the time command ------------------------------------------------------

TEST(SessionTransfers, TheFirstUploadLearnsTheTimeCommandForTheConnection)
{
    struct Case {
        const char* name;
        QByteArray mfmt, mdtm;
        QStringList timeCommands;  // over two uploads
        int mode;
    };
    const QList<Case> cases = {
        {"MFMT taken", "213 Modify=20200110000000; a", "213 20200110000000",
         {"MFMT 20200110000000 a", "MFMT 20200110000000 b"}, 0},
        {"MFMT refused, MDTM taken", "500 Unknown command", "213 20200110000000",
         {"MFMT 20200110000000 a", "MDTM 20200110000000 a", "MDTM 20200110000000 b"}, 1},
        {"neither", "500 Unknown command", "550 Not a plain file",
         {"MFMT 20200110000000 a", "MDTM 20200110000000 a"}, 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({fileLine("other")});
        writeFile(c.local + "/a", "1", listedTime());
        writeFile(c.local + "/b", "2", listedTime());
        ASSERT_TRUE(c.start());
        EXPECT_EQ(c.h.session.TimeCommandMode(), 3);
        c.srv.on("MFMT", k.mfmt);
        c.srv.on("MDTM", k.mdtm);
        c.h.session.StartUpload({"a"});
        ASSERT_TRUE(c.done()) << c.log();
        c.h.session.StartUpload({"b"});
        ASSERT_TRUE(c.done(2)) << c.log();
        EXPECT_EQ(c.sentStarting("MFMT|MDTM"), k.timeCommands);
        EXPECT_EQ(c.h.session.TimeCommandMode(), k.mode);

        // A new connection knows nothing yet.
        c.h.session.Disconnect();
        ASSERT_TRUE(c.h.backAtSiteList());
        ASSERT_TRUE(c.start());
        EXPECT_EQ(c.h.session.TimeCommandMode(), 3);
        c.h.session.StartUpload({"a"});
        ASSERT_TRUE(c.done(3)) << c.log();
        EXPECT_EQ(c.sentStarting("MFMT|MDTM").value(0), "MFMT 20200110000000 a");
    }
}

TEST(SessionTransfers, TheTimeArgumentIsTheLocalTimeInTheSitesZone)
{
    struct Case {
        double zone;
        const char* argument;
    };
    const QDateTime modified(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc());
    for (const Case& k : {Case{0, "20210304050607"}, Case{5.30, "20210304103607"}, Case{-3.30, "20210304013607"}}) {
        SCOPED_TRACE(k.zone);
        Connected c({fileLine("other")});
        c.siteRecord.TimeZone = k.zone;
        writeFile(c.local + "/a", "1", modified);
        ASSERT_TRUE(c.start());
        c.srv.on("MFMT", "213 Modified");
        c.h.session.StartUpload({"a"});
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sentStarting("MFMT"), QStringList({QStringLiteral("MFMT %1 a").arg(k.argument)}));
    }
}

// --- the overwrite decision ------------------------------------------------

TEST(SessionTransfers, WithoutThePromptTheDefaultAnswerDecides)
{
    struct Case {
        int defPrompt;
        QStringList transfer;  // the RETR/REST commands
        QByteArray existing;   // what the existing local file holds afterwards
    };
    const QList<Case> cases = {
        {0, {"RETR /x/new"}, "old"},
        {1, {"RETR /x/old", "RETR /x/new"}, "data!"},
        {2, {"REST 3", "RETR /x/old", "RETR /x/new"}, "olddata!"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.defPrompt);
        Connected c({fileLine("old") + fileLine("new")});
        c.setOptions([&](TFTPOptions& o) {
            o.PromptDownLoad = false;
            o.DefPrompt = k.defPrompt;
        });
        writeFile(c.local + "/old", "old");
        ASSERT_TRUE(c.start());
        c.h.session.StartDownload({c.h.rowOf("old"), c.h.rowOf("new")});
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sentStarting("RETR|REST"), k.transfer);
        EXPECT_EQ(readFile(c.local + "/old"), k.existing);
        EXPECT_EQ(readFile(c.local + "/new"), "data!");
        EXPECT_TRUE(c.h.ui.rewriteAsked.isEmpty());
    }
}

TEST(SessionTransfers, WithoutTheUploadPromptAListedTargetIsSkipped)
{
    Connected c({fileLine("taken") + fileLine("other")});
    c.setOptions([](TFTPOptions& o) {
        o.PromptUpLoad = false;
        o.DefPrompt = 0;
    });
    writeFile(c.local + "/taken", "x");
    writeFile(c.local + "/fresh", "y");
    ASSERT_TRUE(c.start());
    c.h.session.StartUpload({"taken", "fresh"});
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_EQ(c.sentStarting("STOR"), QStringList({"STOR fresh"}));
    EXPECT_TRUE(c.h.ui.rewriteAsked.isEmpty());
}

TEST(SessionTransfers, SkipAllAnswersTheRestOfItsBatchOnly)
{
    Connected c({fileLine("a") + fileLine("b") + fileLine("c")});
    for (const char* name : {"a", "b", "c"})
        writeFile(c.local + "/" + name, "old");
    ASSERT_TRUE(c.start());
    c.h.ui.rewrite = {overwrite::Overwrite, overwrite::SkipAll};
    const QList<int> rows = {c.h.rowOf("a"), c.h.rowOf("b"), c.h.rowOf("c")};
    c.h.session.StartDownload(rows);
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_EQ(c.sentStarting("RETR"), QStringList({"RETR /x/a"}));
    EXPECT_EQ(c.h.ui.rewriteAsked.size(), 2);
    EXPECT_EQ(readFile(c.local + "/c"), "old");

    // A new batch asks again; All answers the rest of it.
    c.h.ui.rewrite = {overwrite::Skip, overwrite::All};
    c.h.session.StartDownload(rows);
    ASSERT_TRUE(c.done(2)) << c.log();
    EXPECT_EQ(c.h.ui.rewriteAsked.size(), 4);
    EXPECT_EQ(c.sentStarting("RETR"), QStringList({"RETR /x/a", "RETR /x/b", "RETR /x/c"}));
    EXPECT_EQ(readFile(c.local + "/c"), "data!");

    // And the next batch asks again after an All.
    c.h.ui.rewrite = {overwrite::Skip, overwrite::Skip, overwrite::Skip};
    c.h.session.StartDownload(rows);
    ASSERT_TRUE(c.done(3)) << c.log();
    EXPECT_EQ(c.h.ui.rewriteAsked.size(), 7);
    EXPECT_EQ(c.sentStarting("RETR").size(), 3);
}

TEST(SessionTransfers, ClosingThePromptCancelsTheWholeBatch)
{
    struct Case {
        const char* name;
        int answer;
        QStringList saveAs;
    };
    const QList<Case> cases = {
        {"Cancel", overwrite::Cancel, {}},
        {"the prompt closed", -1, {}},
        {"an unknown answer", 99, {}},
        {"an empty Save as name", overwrite::SaveAs, {""}},
        {"a blank Save as name", overwrite::SaveAs, {"   "}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({fileLine("a") + fileLine("b") + fileLine("c")});
        writeFile(c.local + "/a", "old");
        writeFile(c.local + "/b", "old");
        ASSERT_TRUE(c.start());
        c.h.ui.rewrite = {k.answer};
        c.h.ui.saveAs = k.saveAs;
        c.h.session.StartDownload({c.h.rowOf("c"), c.h.rowOf("a"), c.h.rowOf("b")});
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sentStarting("RETR|REST"), QStringList({"RETR /x/c"}));
        EXPECT_EQ(c.h.ui.rewriteAsked.size(), 1);
        EXPECT_EQ(readFile(c.local + "/a"), "old");
        EXPECT_EQ(c.batchesEnded, 1);
        c.expectCleared();
    }
}

TEST(SessionTransfers, CancelInsideATreeDropsTheDirectoriesStillQueued)
{
    Connected c({dirLine("a"), fileLine("f") + dirLine("b"), fileLine("g"), dirLine("a")});
    writeFile(c.local + "/a/f", "old");
    ASSERT_TRUE(c.start());
    c.h.ui.rewrite = {overwrite::Cancel};
    c.h.session.StartDownload({c.h.rowOf("a")});
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_EQ(c.sent(), QStringList({"CWD /x/a", "LIST", "CWD /x/", "TYPE A", "LIST"}));
    EXPECT_EQ(readFile(c.local + "/a/f"), "old");
    c.expectCleared();
}

TEST(SessionTransfers, AStopOrALostConnectionWhileAskingEndsTheBatchUnsent)
{
    struct Case {
        const char* name;
        std::function<void(Connected&)> meanwhile;
        bool online;  // still logged in afterwards
    };
    const QList<Case> cases = {
        {"Stop", [](Connected& c) { c.h.session.StopTransfer(); }, true},
        {"Disconnect", [](Connected& c) { c.h.session.Disconnect(); }, false},
        {"the connection lost",
         [](Connected& c) { c.h.session.Ftp1().Abort(); },
         false},
    };
    for (const bool upload : {false, true}) {
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(upload ? "upload, " : "download, ") + k.name);
            // "a" exists on both sides; "b" on the sending side only.
            Connected c({fileLine("a") + (upload ? QByteArray() : fileLine("b"))});
            writeFile(c.local + "/a", "old");
            if (upload)
                writeFile(c.local + "/b", "new");
            ASSERT_TRUE(c.start());
            c.h.ui.rewrite = {overwrite::Overwrite};
            c.h.ui.whileAsking = [&] { k.meanwhile(c); };
            if (upload)
                c.h.session.StartUpload({"a", "b"});
            else
                c.h.session.StartDownload({c.h.rowOf("a"), c.h.rowOf("b")});
            ASSERT_TRUE(testenv::waitFor([&] {
                return c.batchesEnded == 1 && !c.h.session.Busy() && !c.h.session.RequestInFlight();
            })) << c.log();
            EXPECT_TRUE(c.sentStarting("RETR|STOR|APPE|REST|TYPE I").isEmpty()) << c.sent().join(", ").toStdString();
            EXPECT_EQ(c.filesStarted, 0);
            EXPECT_EQ(c.logLinesWith("Starting transfer"), 0) << c.log();
            EXPECT_EQ(c.logLinesWith("Error"), 0) << c.log();
            EXPECT_EQ(c.h.ui.rewriteAsked.size(), 1);
            EXPECT_EQ(readFile(c.local + "/a"), "old");
            if (!upload) {
                EXPECT_FALSE(QFile::exists(c.local + "/b"));
            }
            EXPECT_EQ(c.h.session.RunningTransfer(), TSession::TransferKind::None);
            if (k.online) {
                EXPECT_TRUE(c.h.idle());
            }
        }
    }
}

// --- the transfer type -----------------------------------------------------

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

// --- resuming an upload ----------------------------------------------------

TEST(SessionTransfers, AnUploadResumesAtTheListedSizeOnlyWhenTheTargetIsListed)
{
    Connected c({fileLine("big.bin", 1000) + fileLine("other")});
    c.setOptions([](TFTPOptions& o) {
        o.PromptUpLoad = false;
        o.DefPrompt = 2;
    });
    QByteArray big(3000, 'a');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char('a' + i % 26);
    writeFile(c.local + "/big.bin", big);
    writeFile(c.local + "/new.bin", "whole");
    ASSERT_TRUE(c.start());
    c.h.session.StartUpload({"big.bin"});
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_EQ(c.sentStarting("REST|STOR|APPE"), QStringList({"REST 1000", "STOR big.bin"}));
    EXPECT_EQ(c.srv.received("STOR"), big.mid(1000));

    c.h.session.StartUpload({"new.bin"});
    ASSERT_TRUE(c.done(2)) << c.log();
    EXPECT_EQ(c.sentStarting("REST|STOR|APPE"), QStringList({"REST 1000", "STOR big.bin", "STOR new.bin"}));
    EXPECT_EQ(c.srv.received("STOR"), "whole");
}

// --- the order of a tree ---------------------------------------------------

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
    c.expectCleared();
}

// --- times and names across the session --------------------------------------

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

TEST(SessionTransfers, LocalNamesThatCannotBeSentAreLoggedAndNeverReachTheServer)
{
    Connected c({fileLine("other")});
    const QString injected = "evil\r\nDELE victim";
    writeFile(c.local + "/" + injected, "e");
    writeFile(c.local + "/back\\slash", "b");
    writeFile(c.local + "/ok", "o");
    ASSERT_TRUE(c.start());
    c.h.session.StartUpload({injected, "back\\slash", "ok"});
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_TRUE(c.sentStarting("DELE").isEmpty()) << c.sent().join(", ").toStdString();
    EXPECT_EQ(c.sentStarting("STOR"), QStringList({"STOR ok"}));
    EXPECT_EQ(c.srv.received("STOR"), "o");
    EXPECT_EQ(c.logLinesWith("! back\\slash is not uploaded: the name cannot be sent to a server"), 1) << c.log();
    EXPECT_EQ(c.logLinesWith("! evil\\r\\nDELE victim is not uploaded: the name cannot be sent to a server"), 1)
        << c.log();
    // Refused before the batch: never announced, no log line it could split.
    EXPECT_EQ(c.filesStarted, 1);
    EXPECT_EQ(c.logLinesWith("DELE victim"), 1) << c.log();
    EXPECT_EQ(c.logLinesWith("Error"), 0) << c.log();
    c.expectCleared();
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

// --- a batch ended from outside ----------------------------------------------

TEST(SessionTransfers, AStopDuringATreeEndsItAfterTheRequestUnderWayAndReturnsToTheStart)
{
    for (const bool upload : {false, true}) {
        SCOPED_TRACE(upload ? "upload" : "download");
        // The remote tree, or nothing yet where an upload goes.
        Connected c(upload ? QList<QByteArray>{dirLine("other"), ""}
                           : QList<QByteArray>{dirLine("other"), fileLine("f1") + fileLine("f2") + dirLine("b"),
                                               fileLine("g"), dirLine("other")});
        writeFile(c.local + "/up/f1", "one");
        writeFile(c.local + "/up/f2", "two");
        writeFile(c.local + "/up/b/g", "three");
        ASSERT_TRUE(c.start());
        Transfer held{"data!"};
        held.holdLaterEnd = true;
        if (upload)  // the Stop comes while the first file's time is being set
            c.srv.on("MFMT", {{"213 Modified", 0, false, true}, {"213 Modified"}});
        else
            c.srv.setTransfers("RETR", {held, Transfer{"data!"}});
        if (upload)
            c.h.session.StartUpload({"up"});
        else
            c.h.session.StartDownload({c.h.rowOf("other")});
        ASSERT_TRUE(testenv::waitFor([&] { return c.srv.heldCount() > 0; })) << c.log();
        c.h.session.StopTransfer();
        c.srv.release();
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sentStarting(upload ? "STOR|RETR" : "RETR|STOR").size(), 1) << c.sent().join(", ").toStdString();
        EXPECT_TRUE(c.sentStarting("CWD /x/other/b|CWD /x/up/b").isEmpty()) << c.sent().join(", ").toStdString();
        EXPECT_EQ(c.sent().mid(c.sent().size() - 3), QStringList({"CWD /x/", "TYPE A", "LIST"}))
            << c.sent().join(", ").toStdString();
        EXPECT_EQ(c.batchesEnded, 1);
        c.expectCleared();
        // Nothing is left to resume: the next batch starts afresh.
        EXPECT_FALSE(c.h.session.StopRequested());
    }
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
    EXPECT_EQ(c.h.session.RunningTransfer(), TSession::TransferKind::None);
    EXPECT_EQ(c.h.session.SessionFlags(), 0);
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
