// Mirror runs against the scripted server: the exact dialogues of a run and
// the failures no real server gives on demand (a listing cut short or
// refused inside a subfolder, a folder that cannot be made, a data
// connection cut mid-file, a failing CDUP, a Stop mid-run), the questions
// the run asks, and its report.
#include "TransferHarness.h"

#include "session/MirrorJob.h"
#include "session/MirrorRun.h"

using namespace transfertest;

namespace {

// Lines compared as one text, so a failure shows them readably.
std::string lines(const QStringList& l) { return l.join("\n").toStdString(); }

// Logged in at /x/; the job's folders are area/local/m and /x/m. The first
// listing is the login's, the second the job's remote folder's.
struct Mirror : Connected {
    int ended = 0;
    TMirrorJob job;

    explicit Mirror(const QList<QByteArray>& listings) : Connected(listings)
    {
        QObject::connect(&h.session, &TSession::MirrorEnded, [this] { ++ended; });
        job.Local = local + "/m";
        job.Remote = "/x/m";
        job.Direction = mirror::MirrorRemote;
        job.FileExists = mirror::Overwrite;
        job.Params = mirror::IncludeSubfolders | mirror::AllBinary;
        QDir().mkpath(job.Local);
    }
    // Starts the job and waits for its end and the listing after it.
    bool run()
    {
        if (!h.session.StartMirror(job))
            return false;
        return done() && ended == 1;
    }
    QStringList report() const
    {
        QStringList lines = QString::fromUtf8(readFile(h.dir.filePath("mirrorstate.txt"))).split("\r\n");
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    // The report's operation lines without the sizes: "local remote op state".
    QStringList ops() const
    {
        QStringList out;
        for (const QString& line : report().mid(6)) {
            const QStringList f = line.split('\t');
            out << (f.size() == 6 ? QStringList({f[0], f[1], f[4], f[5]}).join(' ') : "<bad line> " + line);
        }
        return out;
    }
    QString m(const QString& rel = {}) const { return job.Local + (rel.isEmpty() ? "" : "/" + rel); }
};

Transfer failingList(const QByteArray& final)
{
    Transfer t{fileLine("half")};
    t.final = final;
    return t;
}

} // namespace

TEST(SessionMirror, ASubfolderWhoseListingFailsGetsNoOperationAndTheRunGoesOn)
{
    struct Case {
        const char* name;
        Transfer badList;
    };
    Transfer cut{fileLine("half") + fileLine("more")};
    cut.cutAfter = 10;
    cut.final = "426 Connection closed; transfer aborted";
    for (const Case& k : {Case{"426", failingList("426 Connection closed; transfer aborted")}, Case{"426 cut", cut},
                          Case{"450", failingList("450 No files found")}}) {
        SCOPED_TRACE(k.name);
        Mirror c({{}, dirLine("bad") + dirLine("good") + fileLine("top"), {}, fileLine("g"), {}});
        c.srv.setTransfers("LIST", {Transfer{{}}, Transfer{dirLine("bad") + dirLine("good") + fileLine("top")},
                                    k.badList, Transfer{fileLine("g")}, Transfer{{}}});
        c.job.Params |= mirror::DeleteMissing;
        writeFile(c.m("bad/keep.txt"), "mine");
        writeFile(c.m("good/stale.txt"), "old");
        ASSERT_TRUE(c.start());
        ASSERT_TRUE(c.run()) << c.log();

        EXPECT_EQ(lines(c.sent()), lines(QStringList({"CWD /x/m", "LIST", "TYPE I", "RETR top", "CWD /x/m/bad", "TYPE A",
                                         "LIST", "CDUP", "CWD /x/m/good", "LIST", "TYPE I", "RETR g", "CDUP",
                                         "CWD /x/m/", "TYPE A", "LIST"})))
            << c.log();
        // What bad holds is neither deleted nor joined by the half listing.
        EXPECT_EQ(allBelow(c.m()), QStringList({"bad/", "bad/keep.txt", "good/", "good/g", "top"})) << c.log();
        EXPECT_EQ(c.logLinesWith("! Mirror: nothing is done in"), 1) << c.log();
        EXPECT_EQ(c.h.session.LastMirrorFailures(), 0);
        EXPECT_FALSE(c.h.session.LastMirrorStopped());
        c.expectCleared();
    }
}

TEST(SessionMirror, ARefusedTopListingDoesNothingAndStillWritesTheReport)
{
    Mirror c(QList<QByteArray>{QByteArray()});
    c.srv.setTransfers("LIST", {Transfer{{}}, failingList("550 Permission denied"), Transfer{{}}});
    c.job.Params |= mirror::DeleteMissing;
    writeFile(c.m("mine.txt"), "mine");
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(c.run()) << c.log();
    EXPECT_EQ(lines(c.sent()), lines(QStringList({"CWD /x/m", "LIST", "CWD /x/m/", "TYPE A", "LIST"}))) << c.log();
    EXPECT_EQ(allBelow(c.m()), QStringList({"mine.txt"}));
    EXPECT_EQ(lines(c.report()), lines(QStringList({"127.0.0.1", c.job.Local, "/x/m", "", "", "Ok"}))) << c.log();
    EXPECT_EQ(c.logLinesWith("Mirror finished: 0 done, 0 not done, 0 failed"), 1) << c.log();
    c.expectCleared();
}

TEST(SessionMirror, AFolderThatCannotBeMadeTakesOnlyItsOwnDescent)
{
    Mirror c({{}, {}, {}, {}});
    c.job.Direction = mirror::MirrorLocal;
    writeFile(c.m("new1/f1"), "one");
    writeFile(c.m("new2/f2"), "two");
    c.srv.on("MKD", {{"550 Permission denied"}, {"257 \"new2\" created"}});
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(c.run()) << c.log();

    EXPECT_EQ(c.sentStarting("MKD|CWD|CDUP|STOR"),
              QStringList({"CWD /x/m", "MKD /x/m/new1", "MKD /x/m/new2", "CWD /x/m/new2", "STOR f2", "CDUP",
                           "CWD /x/m/"}))
        << c.log();
    EXPECT_EQ(c.srv.received("STOR"), "two");
    EXPECT_EQ(lines(c.ops()), lines(QStringList({" new1 omMkdFtp smError", "new1 new1 omDir smError", "new1 new1 omDirUp smError",
                                    " new2 omMkdFtp smDone", "f2 f2 omPut smDone", "new2 new2 omDir smDone",
                                    "new2 new2 omDirUp smDone"})))
        << c.report().join('\n').toStdString();
    EXPECT_EQ(c.h.session.LastMirrorFailures(), 1);
    c.expectCleared();
}

TEST(SessionMirror, AFolderThatCannotBeEnteredTakesOnlyItsOwnDescent)
{
    Mirror c({{}, dirLine("a") + dirLine("b"), fileLine("g"), {}});
    c.srv.on("CWD", {{"250 Ok"}, {"250 Ok"}, {"550 Permission denied"}, {"250 Ok"}});
    c.job.Params |= mirror::DeleteMissing;
    writeFile(c.m("a/mine"), "mine");
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(c.run()) << c.log();

    EXPECT_EQ(lines(c.sent()), lines(QStringList({"CWD /x/m", "LIST", "CWD /x/m/a", "CWD /x/m/b", "LIST", "TYPE I",
                                                  "RETR g", "CDUP", "CWD /x/m/", "TYPE A", "LIST"})))
        << c.log();
    // What a holds is not judged by a listing never made.
    EXPECT_EQ(allBelow(c.m()), QStringList({"a/", "a/mine", "b/", "b/g"})) << c.log();
    EXPECT_EQ(lines(c.ops()), lines(QStringList({"a a omDir smError", "a a omDirUp smError", "b  omMkdLoc smDone",
                                                 "g g omGet smDone", "b b omDir smDone", "b b omDirUp smDone"})));
    EXPECT_EQ(c.logLinesWith("Error 550 Permission denied"), 1) << c.log();
    EXPECT_FALSE(c.h.session.LastMirrorStopped());
    c.expectCleared();
}

TEST(SessionMirror, ADownloadCutShortIsMarkedFailedNeverStampedAndTheRunGoesOn)
{
    Mirror c({{}, fileLine("one") + fileLine("two"), {}});
    Transfer cut{"partial-data"};
    cut.cutAfter = 4;
    cut.final = "426 Connection closed; transfer aborted";
    c.srv.setTransfers("RETR", {cut, Transfer{"whole"}});
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(c.run()) << c.log();

    EXPECT_EQ(lines(c.sentStarting("RETR")), lines(QStringList({"RETR one", "RETR two"})));
    EXPECT_EQ(readFile(c.m("two")), "whole");
    EXPECT_EQ(QFileInfo(c.m("two")).lastModified(), listedTime());
    if (QFile::exists(c.m("one"))) {
        EXPECT_NE(QFileInfo(c.m("one")).lastModified(), listedTime());
    }
    EXPECT_EQ(lines(c.ops()), lines(QStringList({"one one omGet smError", "two two omGet smDone"})));
    EXPECT_EQ(c.h.session.LastMirrorFailures(), 1);
    EXPECT_EQ(c.logLinesWith("Mirror finished: 1 done, 0 not done, 1 failed"), 1) << c.log();
    c.expectCleared();
}

TEST(SessionMirror, AFailingCdupStopsTheRun)
{
    Mirror c({{}, dirLine("a") + dirLine("b"), fileLine("f"), {}});
    c.srv.on("CDUP", "550 Cannot go up");
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(c.run()) << c.log();

    EXPECT_EQ(lines(c.sent()), lines(QStringList({"CWD /x/m", "LIST", "CWD /x/m/a", "LIST", "TYPE I", "RETR f", "CDUP",
                                     "CWD /x/m/", "TYPE A", "LIST"})))
        << c.log();
    ASSERT_GE(c.report().size(), 6);
    EXPECT_EQ(c.report()[5], "Stopped");
    EXPECT_TRUE(c.h.session.LastMirrorStopped());
    EXPECT_FALSE(QFileInfo::exists(c.m("b")));
    EXPECT_EQ(c.logLinesWith("Mirror stopped:"), 1) << c.log();
    c.expectCleared();
}

TEST(SessionMirror, StopEndsTheRunAfterTheCommandUnderWay)
{
    struct Case {
        const char* name;
        QList<QByteArray> listings;
        QStringList sent;
        QStringList ops;  // the report's operations after the stop
    };
    const QList<Case> cases = {
        {"at the top", {{}, fileLine("one") + fileLine("two") + fileLine("three"), {}},
         {"CWD /x/m", "LIST", "TYPE I", "RETR one", "CWD /x/m/", "TYPE A", "LIST"},
         {"one one omGet smDone", "two two omGet smNone", "three three omGet smNone"}},
        // Inside a folder: no CDUP, the way back is the CWD to the start.
        {"inside a folder", {{}, dirLine("a"), fileLine("one") + fileLine("two"), {}},
         {"CWD /x/m", "LIST", "CWD /x/m/a", "LIST", "TYPE I", "RETR one", "CWD /x/m/", "TYPE A", "LIST"},
         {"a  omMkdLoc smDone", "one one omGet smDone", "two two omGet smNone", "a a omDir smProgress",
          "a a omDirUp smNone"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Mirror c(k.listings);
        Transfer held{"data!"};
        held.holdLaterEnd = true;
        c.srv.setTransfers("RETR", {held, Transfer{"data!"}});
        ASSERT_TRUE(c.start());
        ASSERT_TRUE(c.h.session.StartMirror(c.job));
        ASSERT_TRUE(testenv::waitFor([&] { return c.srv.heldCount() == 1; })) << c.log();
        c.h.session.StopTransfer();
        c.srv.release();
        ASSERT_TRUE(c.done()) << c.log();
        testenv::deliverPostedEvents();

        EXPECT_EQ(c.ended, 1);
        EXPECT_EQ(lines(c.sent()), lines(k.sent)) << c.log();
        ASSERT_GE(c.report().size(), 6);
        EXPECT_EQ(c.report()[5], "Stopped");
        EXPECT_EQ(lines(c.ops()), lines(k.ops));
        EXPECT_TRUE(c.h.session.LastMirrorStopped());
        EXPECT_EQ(c.logLinesWith("Mirror stopped:"), 1) << c.log();
        c.expectCleared();
    }
}

TEST(SessionMirror, DeletionsAnsweredNoDeleteNothing)
{
    struct Case {
        const char* name;
        int direction;
    };
    for (const Case& k : {Case{"local side", mirror::MirrorRemote}, Case{"remote side", mirror::MirrorLocal}}) {
        SCOPED_TRACE(k.name);
        const bool remoteExtra = k.direction == mirror::MirrorLocal;
        const QByteArray listing = remoteExtra ? fileLine("gone") + dirLine("old") : QByteArray();
        Mirror c({{}, listing, {}});
        c.job.Direction = k.direction;
        c.job.Params |= mirror::DeleteMissing | mirror::PromptDelete;
        if (!remoteExtra) {
            writeFile(c.m("gone"), "mine");
            writeFile(c.m("old/inner"), "mine");
        }
        c.h.ui.boxAnswer = mb::IdNo;
        ASSERT_TRUE(c.start());
        ASSERT_TRUE(c.run()) << c.log();

        EXPECT_EQ(c.h.ui.boxes.size(), 2) << c.h.ui.boxes.join('\n').toStdString();
        EXPECT_TRUE(c.sentStarting("DELE|RMD").isEmpty()) << c.log();
        if (!remoteExtra) {
            EXPECT_EQ(allBelow(c.m()), QStringList({"gone", "old/", "old/inner"}));
        }
        for (const QString& op : c.ops())
            EXPECT_TRUE(op.endsWith(" smDone")) << op.toStdString();
        EXPECT_EQ(c.ops().size(), 2);
        c.expectCleared();
    }
}

TEST(SessionMirror, TheAskRuleAsksBeforeEachFileThatExists)
{
    struct Case {
        const char* name;
        int answer;
        QStringList retr;
        QByteArray content;
        bool stopped;
    };
    const QList<Case> cases = {
        {"Skip", overwrite::Skip, {"RETR new"}, "mine", false},
        {"Overwrite", overwrite::Overwrite, {"RETR f", "RETR new"}, "data!", false},
        {"Cancel", overwrite::Cancel, {}, "mine", true},
        // Stop pressed while the question is open: whatever is answered, the
        // run ends there.
        {"Stop while asking", overwrite::Overwrite, {}, "mine", true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Mirror c({{}, fileLine("f") + fileLine("new"), {}});
        c.job.FileExists = mirror::Ask;
        writeFile(c.m("f"), "mine");
        c.h.ui.rewrite = {k.answer};
        if (QByteArray(k.name) == "Stop while asking")
            c.h.ui.whileAsking = [&c] { c.h.session.StopTransfer(); };
        ASSERT_TRUE(c.start());
        ASSERT_TRUE(c.run()) << c.log();

        EXPECT_EQ(lines(c.h.ui.rewriteAsked), lines(QStringList({"f"})));
        EXPECT_EQ(lines(c.sentStarting("RETR")), lines(k.retr)) << c.log();
        EXPECT_EQ(readFile(c.m("f")), k.content);
        EXPECT_EQ(c.h.session.LastMirrorStopped(), k.stopped);
        EXPECT_EQ(QFile::exists(c.m("new")), !k.stopped);
        c.expectCleared();
    }
}

TEST(SessionMirror, NoKeepAliveCommandWhileARunLasts)
{
    Mirror c({{}, fileLine("one") + fileLine("two"), {}});
    c.setOptions([](TFTPOptions& o) {
        o.Keep = true;
        o.CmdKeep = QStringLiteral("NOOP");
        o.StartKeep = 30;
        o.DurationKeep = 10;
    });
    c.h.session.KeepAlive().SetManualTicks(true);
    Transfer held{"data!"};
    held.holdLaterEnd = true;
    c.srv.setTransfers("RETR", {held, Transfer{"data!"}});
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(testenv::waitFor([&] { return c.h.session.KeepAlive().Active(); }));
    ASSERT_TRUE(c.h.session.StartMirror(c.job));
    ASSERT_TRUE(testenv::waitFor([&] { return c.srv.heldCount() == 1; })) << c.log();
    // The run owns the connection: the timer is off, a tick sends nothing.
    EXPECT_FALSE(c.h.session.KeepAlive().Active());
    EXPECT_FALSE(c.h.session.KeepAlive().Tick());
    c.srv.release();
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_TRUE(c.sentStarting("NOOP").isEmpty()) << c.log();
    EXPECT_EQ(lines(c.sentStarting("RETR")), lines(QStringList({"RETR one", "RETR two"})));
    c.expectCleared();
}

TEST(SessionMirror, AMissingLocalFolderIsRefusedBeforeAnythingIsSent)
{
    Mirror c(QList<QByteArray>{QByteArray()});
    ASSERT_TRUE(c.start());
    c.job.Local = c.area.filePath("nowhere");
    EXPECT_FALSE(c.h.session.StartMirror(c.job));
    testenv::deliverPostedEvents();
    EXPECT_TRUE(c.sent().isEmpty());
    EXPECT_EQ(c.ended, 0);
    EXPECT_EQ(c.logLinesWith("The mirror does not run: the local folder \"" + c.job.Local + "\" does not exist"), 1)
        << c.log();
    EXPECT_FALSE(QFile::exists(c.h.dir.filePath("mirrorstate.txt")));
    c.expectCleared();
}

// A server may close an empty data connection before its 150 is read: the
// empty file and the empty folder's listing are still what the server sent.
TEST(SessionMirror, AnEmptyFileAndAnEmptyFolderArriveEmpty)
{
    Mirror c({{}, fileLine("e", 0) + dirLine("d"), {}, {}});
    c.srv.setTransfer("RETR", Transfer{{}});
    c.job.Params |= mirror::DeleteMissing;
    writeFile(c.m("e"), "old content");
    writeFile(c.m("d/gone"), "not on the server");
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(c.run()) << c.log();
    EXPECT_EQ(allBelow(c.m()), QStringList({"d/", "e"})) << c.log();
    EXPECT_EQ(readFile(c.m("e")), "");
    EXPECT_EQ(QFileInfo(c.m("e")).lastModified(), listedTime());
    EXPECT_EQ(c.logLinesWith("nothing is done"), 0) << c.log();
    EXPECT_EQ(c.h.session.LastMirrorFailures(), 0);
}

// A descent's own operations stand before its omDir record: they are put
// where the run stood when it entered the folder.
TEST(SessionMirror, TheReportNamesTheRunAndEveryOperationWithItsSizes)
{
    Mirror c({{}, fileLine("f", 5) + dirLine("d"), fileLine("g", 7), {}});
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(c.run()) << c.log();
    EXPECT_EQ(lines(c.report()), lines(QStringList({"127.0.0.1", c.job.Local, "/x/m", "", "", "Ok",
                                       "f\tf\t0\t5\tomGet\tsmDone",
                                       "d\t\t0\t0\tomMkdLoc\tsmDone",
                                       "g\tg\t0\t7\tomGet\tsmDone",
                                       "d\td\t0\t0\tomDir\tsmDone",
                                       "d\td\t0\t0\tomDirUp\tsmDone"})))
        << c.log();
}

// A remote folder the local side lacks, under Mirror Local with deletion:
// a refused RMD (the folder holds files) leads to the folder's own listing,
// its contents go first, then the folder; one question covers all of it. A
// listing of it that fails removes nothing.
TEST(SessionMirror, ANonEmptyRemoteFolderIsEmptiedThroughItsOwnListingAndOnlyThen)
{
    struct Case {
        const char* name;
        Transfer folderListing;
        QStringList expected;
        int failures;
    };
    const QList<Case> cases = {
        {"listed",
         Transfer{fileLine("f") + dirLine("inner")},
         {"CWD /x/m", "LIST", "RMD /x/m/gone", "LIST /x/m/gone", "DELE /x/m/gone/f", "RMD /x/m/gone/inner",
          "RMD /x/m/gone", "CWD /x/m/", "TYPE A", "LIST"},
         0},
        {"listing fails", failingList("450 No files found"),
         {"CWD /x/m", "LIST", "RMD /x/m/gone", "LIST /x/m/gone", "CWD /x/m/", "TYPE A", "LIST"}, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Mirror c(QList<QByteArray>{QByteArray()});
        c.srv.setTransfers("LIST", {Transfer{{}}, Transfer{dirLine("gone")}, k.folderListing, Transfer{{}}});
        c.srv.on("RMD", {{"550 Directory not empty"}, {"250 Removed"}, {"250 Removed"}});
        c.srv.on("DELE", "250 Deleted");
        c.job.Direction = mirror::MirrorLocal;
        c.job.Params = mirror::IncludeSubfolders | mirror::DeleteMissing | mirror::PromptDelete | mirror::AllBinary;
        c.h.ui.boxAnswer = mb::IdYes;
        ASSERT_TRUE(c.start());
        ASSERT_TRUE(c.run()) << c.log();
        EXPECT_EQ(lines(withoutData(c.sent())), lines(k.expected)) << c.log();
        EXPECT_EQ(c.h.ui.boxes.size(), 1) << c.log();  // one question for the folder and all it holds
        EXPECT_EQ(c.h.session.LastMirrorFailures(), k.failures) << c.log();
        c.expectCleared();
    }
}
