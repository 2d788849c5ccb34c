// The mirror run's operation list: how the run picks its next operation,
// where a subfolder's operations go, the folder paths it keeps, and the
// report it leaves behind, checked byte for byte in a real file.
#include "session/MirrorRun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TMirrorRec Rec(TMirrorOp op, const char* name, TMirrorState state = smNone)
{
    return {QString::fromUtf8(name), QString::fromUtf8(name), 0, 0, op, state};
}

QStringList States(const TMirrorRun& run)
{
    QStringList out;
    for (const TMirrorRec& r : run.Ops())
        out << r.RemoteName + QLatin1Char(':') + MirrorStateName(r.State);
    return out;
}

// Picks the next operation and finishes it the way the run does: issued
// (smProgress), then left for the next pick to complete.
int Issue(TMirrorRun& run)
{
    int index = -1;
    if (!run.NextPending(index))
        return -1;
    TMirrorRec rec = run.GetOp(index);
    rec.State = smProgress;
    run.PutOp(index, rec);
    run.Current = index;
    return index;
}

TEST(MirrorRunList, NextPendingCompletesIssuedOperationsAndSkipsFinishedOnes)
{
    TMirrorRun run;
    int index = 7;
    EXPECT_FALSE(run.NextPending(index)) << "an empty list has nothing pending";
    EXPECT_EQ(index, -1);

    run.AddOp(Rec(omPut, "a", smProgress));
    run.AddOp(Rec(omPut, "b", smError));
    run.AddOp(Rec(omPut, "c", smDone));
    run.AddOp(Rec(omGet, "d"));
    run.AddOp(Rec(omGet, "e", smProgress));
    ASSERT_TRUE(run.NextPending(index));
    EXPECT_EQ(index, 3);
    EXPECT_EQ(States(run), QStringList({"a:smDone", "b:smError", "c:smDone", "d:smNone", "e:smProgress"}))
        << "only the issued operation before the pending one is complete";

    // Picking again without issuing returns the same one.
    ASSERT_TRUE(run.NextPending(index));
    EXPECT_EQ(index, 3);

    TMirrorRec d = run.GetOp(3);
    d.State = smDone;
    run.PutOp(3, d);
    EXPECT_FALSE(run.NextPending(index));
    EXPECT_EQ(index, -1);
    EXPECT_EQ(run.GetOp(4).State, smDone) << "the walk to the end completes the last issued one";
}

TEST(MirrorRunList, StoppedRunPicksNothingUntilResumed)
{
    TMirrorRun run;
    run.AddOp(Rec(omPut, "a", smProgress));
    run.AddOp(Rec(omPut, "b"));
    run.Stop();
    int index = 0;
    EXPECT_FALSE(run.NextPending(index));
    EXPECT_EQ(index, -1);
    EXPECT_EQ(run.GetOp(0).State, smProgress) << "a stopped run leaves the list as it is";
    run.Resume();
    EXPECT_TRUE(run.NextPending(index));
    EXPECT_EQ(index, 1);
}

TEST(MirrorRunList, SubfolderOperationsInsertedAtTheCurrentDescentRunNext)
{
    // A level: a file, then two subfolders (each a descent and a way back).
    TMirrorRun run;
    run.AddOp(Rec(omPut, "top.txt"));
    run.AddOp(Rec(omDir, "a"));
    run.AddOp(Rec(omDirUp, "a"));
    run.AddOp(Rec(omDir, "b"));
    run.AddOp(Rec(omDirUp, "b"));

    EXPECT_EQ(Issue(run), 0);
    EXPECT_EQ(Issue(run), 1) << "the descent into a";
    // Entering a: its operations go in at Current, one after the other.
    run.InsertOp(run.Current, Rec(omPut, "a1"));
    run.InsertOp(run.Current + 1, Rec(omMkdFtp, "a2"));
    EXPECT_EQ(run.GetOp(3).Op, omDir) << "the descent moved behind the inserted operations";

    EXPECT_EQ(Issue(run), 1) << "a's first operation runs next, before its way back up";
    EXPECT_EQ(Issue(run), 2);
    EXPECT_EQ(Issue(run), 4) << "then the way back up out of a";
    EXPECT_EQ(run.GetOp(4).Op, omDirUp);
    EXPECT_EQ(Issue(run), 5) << "then the descent into b";
    // b's operations in one batch: the same place and order.
    run.InsertOps(run.Current, {Rec(omGet, "b1"), Rec(omGet, "b2")});
    EXPECT_EQ(Issue(run), 5);
    EXPECT_EQ(Issue(run), 6);
    EXPECT_EQ(Issue(run), 8);
    EXPECT_EQ(Issue(run), -1);
    EXPECT_EQ(States(run), QStringList({"top.txt:smDone", "a1:smDone", "a2:smDone", "a:smDone", "a:smDone",
                                        "b1:smDone", "b2:smDone", "b:smDone", "b:smDone"}));
    QStringList order;
    for (const TMirrorRec& r : run.Ops())
        order << MirrorOpName(r.Op);
    EXPECT_EQ(order, QStringList({"omPut", "omPut", "omMkdFtp", "omDir", "omDirUp", "omGet", "omGet", "omDir",
                                  "omDirUp"}));
}

TEST(MirrorRunList, RecordPutBackAsPendingBeforeTheWalkIsPickedAgain)
{
    TMirrorRun run;
    for (const char* n : {"a", "b", "c"})
        run.AddOp(Rec(omGet, n));
    EXPECT_EQ(Issue(run), 0);
    EXPECT_EQ(Issue(run), 1);
    EXPECT_EQ(Issue(run), 2);
    // A record behind the walk set pending again (and one inserted there)
    // must be seen, as a walk from the start would see it.
    run.PutOp(0, Rec(omGet, "a"));
    EXPECT_EQ(Issue(run), 0);
    run.InsertOp(1, Rec(omPut, "x"));
    EXPECT_EQ(Issue(run), 1);
    EXPECT_EQ(run.GetOp(1).RemoteName, QStringLiteral("x"));
    EXPECT_EQ(Issue(run), -1);
    EXPECT_EQ(States(run), QStringList({"a:smDone", "x:smDone", "b:smDone", "c:smDone"}));
}

TEST(MirrorRunList, WalkOverAWholeTreeLooksAtEachRecordAFewTimesOnly)
{
    // 200 folders of 50 files: a walk from the start for every pick would
    // look at some 25 million records.
    TMirrorRun run;
    for (int d = 0; d < 200; ++d) {
        run.AddOp(Rec(omDir, "d"));
        run.AddOp(Rec(omDirUp, "d"));
    }
    int picks = 0;
    for (int index; (index = Issue(run)) >= 0; ++picks) {
        if (run.GetOp(index).Op != omDir || run.GetOp(index).RemoteName != QLatin1String("d"))
            continue;
        std::vector<TMirrorRec> files(50, Rec(omGet, "f"));
        if (picks % 2)
            run.InsertOps(run.Current, files);
        else
            for (int i = 0; i < 50; ++i)
                run.InsertOp(run.Current + i, files[size_t(i)]);
    }
    ASSERT_EQ(run.OpCount(), 200 * 52);
    EXPECT_EQ(picks, run.OpCount());
    for (const TMirrorRec& r : run.Ops())
        ASSERT_EQ(r.State, smDone);
    EXPECT_LE(run.WalkSteps(), 3u * size_t(run.OpCount()));
}

TEST(MirrorRunList, OutOfRangeAccessAppendsOrIsIgnored)
{
    TMirrorRun run;
    run.InsertOp(5, Rec(omGet, "a"));
    run.InsertOp(-1, Rec(omGet, "b"));
    EXPECT_EQ(run.OpCount(), 2);
    EXPECT_EQ(run.GetOp(1).RemoteName, QStringLiteral("b"));
    run.PutOp(2, Rec(omPut, "c"));
    run.PutOp(-1, Rec(omPut, "c"));
    EXPECT_EQ(run.OpCount(), 2);
    EXPECT_EQ(run.GetOp(9), TMirrorRec());
    run.InsertOps(99, {Rec(omDir, "d"), Rec(omDirUp, "d")});
    EXPECT_EQ(run.GetOp(3).Op, omDirUp);
}

TEST(MirrorRunPaths, CurrentFolderJoinsTheRootWithOneSeparator)
{
    TMirrorRun run;
    run.LocalRoot = QStringLiteral("/home/u/site");
    run.RemoteRoot = QStringLiteral("/pub/www/");
    EXPECT_EQ(run.LocalFull(), QStringLiteral("/home/u/site/"));
    EXPECT_EQ(run.RemoteFull(), QStringLiteral("/pub/www/"));

    run.SetLocalDir(QStringLiteral("docs/img"));
    run.SetRemoteDir(QStringLiteral("docs/img"));
    EXPECT_EQ(run.LocalDir, QStringLiteral("/docs/img/")) << "the root has no separator at its end";
    EXPECT_EQ(run.RemoteDir, QStringLiteral("docs/img/"));
    EXPECT_EQ(run.LocalFull(), QStringLiteral("/home/u/site/docs/img/"));
    EXPECT_EQ(run.RemoteFull(), QStringLiteral("/pub/www/docs/img/"));

    // A server that answers with backslashes, and a folder already slashed.
    run.SetRemoteDir(QStringLiteral("\\docs\\img"));
    EXPECT_EQ(run.RemoteDir, QStringLiteral("/docs/img/"));
    run.SetLocalDir(QStringLiteral("/docs/"));
    EXPECT_EQ(run.LocalFull(), QStringLiteral("/home/u/site/docs/"));

    run.SetLocalDir(QString());
    EXPECT_TRUE(run.LocalDir.isEmpty());
    EXPECT_EQ(run.LocalFull(), QStringLiteral("/home/u/site/"));

    TMirrorRun bare;  // no root: the current folder alone
    bare.SetRemoteDir(QStringLiteral("a"));
    EXPECT_EQ(bare.RemoteFull(), QStringLiteral("a/"));
    EXPECT_TRUE(TMirrorRun().RemoteFull().isEmpty());
}

TEST(MirrorRunPaths, DescentsFollowEachSidesOwnNameAndComeBackUp)
{
    TMirrorRun run;
    run.LocalRoot = QStringLiteral("/home/u/site");
    run.RemoteRoot = QStringLiteral("/pub/www/");
    run.EnterDir({QStringLiteral("docs"), QStringLiteral("DOCS"), 0, 0, omDir, smProgress});
    run.EnterDir({QStringLiteral("img"), QStringLiteral("img"), 0, 0, omDir, smProgress});
    EXPECT_EQ(run.LocalFull(), QStringLiteral("/home/u/site/docs/img/"));
    EXPECT_EQ(run.RemoteFull(), QStringLiteral("/pub/www/DOCS/img/"));
    run.LeaveDir();
    EXPECT_EQ(run.LocalFull(), QStringLiteral("/home/u/site/docs/"));
    EXPECT_EQ(run.RemoteFull(), QStringLiteral("/pub/www/DOCS/"));
    run.LeaveDir();
    EXPECT_TRUE(run.LocalDir.isEmpty());
    EXPECT_TRUE(run.RemoteDir.isEmpty());
    run.LeaveDir();
    EXPECT_EQ(run.LocalFull(), QStringLiteral("/home/u/site/")) << "never above the job's folders";
    EXPECT_EQ(run.RemoteFull(), QStringLiteral("/pub/www/"));
}

TEST(MirrorRunReport, StateFileHoldsTheHeaderAndOneTabbedLinePerOperation)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("mirrorstate.txt"));
    TMirrorRun run;
    run.Host = QStringLiteral("ftp.example.org");
    run.LocalRoot = QStringLiteral("/home/u/site");
    run.RemoteRoot = QStringLiteral("/pub/www");
    run.SetLocalDir(QStringLiteral("docs"));
    run.SetRemoteDir(QStringLiteral("docs"));
    run.AddOp({QStringLiteral("a.txt"), QStringLiteral("a.txt"), 12, 0, omPut, smDone});
    run.AddOp({QString(), QStringLiteral("old.txt"), 0, 3, omDelFtp, smError});
    run.AddOp({QStringLiteral("é ü"), QStringLiteral("é ü"), 0, 5000000000LL, omGet, smNone});
    run.AddOp({QStringLiteral("sub"), QStringLiteral("sub"), 0, 0, omDirUp, smProgress});
    ASSERT_TRUE(run.SaveState(file));

    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("ftp.example.org\r\n"
                                      "/home/u/site\r\n"
                                      "/pub/www\r\n"
                                      "/docs/\r\n"
                                      "/docs/\r\n"
                                      "Ok\r\n"
                                      "a.txt\ta.txt\t12\t0\tomPut\tsmDone\r\n"
                                      "\told.txt\t0\t3\tomDelFtp\tsmError\r\n"
                                      "\xc3\xa9 \xc3\xbc\t\xc3\xa9 \xc3\xbc\t0\t5000000000\tomGet\tsmNone\r\n"
                                      "sub\tsub\t0\t0\tomDirUp\tsmProgress\r\n"));
    f.close();

    // A stopped run with nothing in it: the header alone, replacing the old report.
    TMirrorRun stopped;
    stopped.Stop();
    ASSERT_TRUE(stopped.SaveState(file));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("\r\n\r\n\r\n\r\n\r\nStopped\r\n"));
}

TEST(MirrorRunReport, EveryOperationAndStateHasItsName)
{
    QStringList ops, states;
    for (int i = omNone; i <= omDirUp; ++i)
        ops << MirrorOpName(TMirrorOp(i));
    for (int i = smNone; i <= smError; ++i)
        states << MirrorStateName(TMirrorState(i));
    EXPECT_EQ(ops.join(' '), QStringLiteral("omNone omGet omPut omMkdLoc omMkdFtp omRmdLoc omRmdFtp omDelLoc "
                                            "omDelFtp omDir omDirUp"));
    EXPECT_EQ(states.join(' '), QStringLiteral("smNone smProgress smDirProgress smDone smStopped smError"));
    EXPECT_EQ(MirrorOpName(TMirrorOp(11)), QStringLiteral("?"));
}

TEST(MirrorRunReport, ReportThatCannotBeWrittenSaysWhy)
{
    QTemporaryDir dir;
    TMirrorRun run;
    QString error;
    EXPECT_FALSE(run.SaveState(dir.filePath(QStringLiteral("missing/mirrorstate.txt")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing/mirrorstate.txt"))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing"))));
}

} // namespace
