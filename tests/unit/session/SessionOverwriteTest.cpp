// The overwrite decision of a transfer batch and the ways a batch ends
// early: the default answer without the prompt, Skip All, Cancel and a closed
// prompt, a Stop or a lost connection while the question is open, and a Stop
// in the middle of a tree.
#include "TransferHarness.h"

using namespace transfertest;

TEST(SessionOverwrite, WithoutThePromptTheDefaultAnswerDecides)
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

TEST(SessionOverwrite, WithoutTheUploadPromptAListedTargetIsSkipped)
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

TEST(SessionOverwrite, SkipAllAnswersTheRestOfItsBatchOnly)
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

TEST(SessionOverwrite, ClosingThePromptCancelsTheWholeBatch)
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

TEST(SessionOverwrite, CancelInsideATreeDropsTheDirectoriesStillQueued)
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

TEST(SessionOverwrite, AStopOrALostConnectionWhileAskingEndsTheBatchUnsent)
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

TEST(SessionOverwrite, AStopDuringATreeEndsItAfterTheRequestUnderWayAndReturnsToTheStart)
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
