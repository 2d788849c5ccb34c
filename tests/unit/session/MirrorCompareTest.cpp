// One level of a mirror run compared: a real temporary folder read by
// ScanMirrorFolder against real "ls -l" lines read by the listing parser.
// Above all, nothing doubtful (a failed read, an unsafe or ambiguous name, a
// link, a hidden or excluded name, a listing that cuts names) may turn into
// a transfer or a deletion.
#include "session/MirrorCompare.h"

#include "listing/ListingParser.h"
#include "session/TransferRules.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDate kToday(2026, 12, 9);

QDateTime Utc(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

class MirrorCompareTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString root = tmp.path();
    TMirrorJob job;  // Mirror Local, Overwrite, links ignored
    QStringList listing;
    int type = 7;  // UNIX
    double zone = 0;
    bool listsHidden = true;
    int depth = 0;

    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }

    void file(const QString& name, const QDateTime& modified = Utc(2026, 12, 1, 10, 0), const QByteArray& data = "x")
    {
        QFile f(root + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
        f.write(data);
        f.close();
        ASSERT_TRUE(SetLocalModificationTime(f.fileName(), modified));
    }
    void folder(const QString& name) { ASSERT_TRUE(QDir(root).mkpath(name)); }
    void link(const QString& name, const QString& target)
    {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(),
                            QFile::encodeName(root + QLatin1Char('/') + name).constData()),
                  0);
    }
    void remoteFile(const QString& name, const QString& date = QStringLiteral("Dec  1 10:00"), int size = 1)
    {
        listing << QStringLiteral("-rw-r--r--   1 u g %1 %2 %3").arg(size).arg(date, name);
    }
    void remoteDir(const QString& name)
    {
        listing << QStringLiteral("drwxr-xr-x   2 u g 4096 Dec  1 10:00 %1").arg(name);
    }
    void remoteLink(const QString& name, const QString& target)
    {
        listing << QStringLiteral("lrwxrwxrwx   1 u g 9 Dec  1 10:00 %1 -> %2").arg(name, target);
    }

    MirrorLevelInput input()
    {
        MirrorLevelInput in;
        in.job = job;
        in.localDir = root;
        in.localRead = ScanMirrorFolder(root, in.local, in.localError);
        in.remoteListed = true;
        in.remote = parseListingEntries(listing, ListingFormat::ofType(type)).entries;
        in.listingType = type;
        in.siteTimeZone = zone;
        in.listsHidden = listsHidden;
        in.remoteDir = QStringLiteral("/pub/www/");
        in.depth = depth;
        in.today = kToday;
        return in;
    }
    MirrorLevel level = {};
    // The level's operations as "op name" ("op local|remote" when the two
    // names differ).
    QStringList ops(const MirrorLevelInput& in)
    {
        level = CompareMirrorLevel(in);
        QStringList out;
        for (const TMirrorRec& r : level.ops) {
            EXPECT_EQ(r.State, smNone);
            QString names = r.LocalName.isEmpty() ? r.RemoteName : r.LocalName;
            if (!r.LocalName.isEmpty() && !r.RemoteName.isEmpty() && r.LocalName != r.RemoteName)
                names += QLatin1Char('|') + r.RemoteName;
            out << MirrorOpName(r.Op) + QLatin1Char(' ') + names;
        }
        return out;
    }
    QStringList ops() { return ops(input()); }
    QStringList opsIn(int direction, int fileExists, int params)
    {
        job.Direction = direction;
        job.FileExists = fileExists;
        job.Params = params;
        return ops();
    }
    bool logged(const QString& text) const
    {
        for (const QString& line : level.log)
            if (line.contains(text))
                return true;
        return false;
    }
    std::string log() const { return level.log.join(QLatin1Char('\n')).toStdString(); }
};

using namespace mirror;
constexpr int kLinks = IgnoreLinks;
constexpr int kSub = IncludeSubfolders | IgnoreLinks;
constexpr int kSubDel = IncludeSubfolders | IgnoreLinks | DeleteMissing;

TEST_F(MirrorCompareTest, IdenticalFoldersGiveOnlyTheDescentsInEveryDirection)
{
    file(QStringLiteral("a.txt"));
    file(QStringLiteral("b.txt"), Utc(2026, 12, 1, 10, 0, 59));  // listed to the minute only
    folder(QStringLiteral("sub"));
    remoteFile(QStringLiteral("a.txt"));
    remoteFile(QStringLiteral("b.txt"));
    remoteDir(QStringLiteral("sub"));
    for (int direction : {MirrorLocal, MirrorRemote, MirrorBoth}) {
        EXPECT_EQ(opsIn(direction, OverwriteNewest, kLinks | DeleteMissing), QStringList()) << direction;
        EXPECT_TRUE(level.ok);
        EXPECT_EQ(opsIn(direction, OverwriteNewest, kSubDel), QStringList({"omDir sub", "omDirUp sub"}))
            << direction;
        EXPECT_EQ(opsIn(direction, Skip, kSubDel), QStringList({"omDir sub", "omDirUp sub"})) << direction;
    }
    // Overwrite and Ask copy a twin whatever its time (Ask asks first).
    EXPECT_EQ(opsIn(MirrorLocal, Overwrite, kLinks), QStringList({"omPut a.txt", "omPut b.txt"}));
    EXPECT_EQ(opsIn(MirrorRemote, Ask, kLinks), QStringList({"omGet a.txt", "omGet b.txt"}));
}

TEST_F(MirrorCompareTest, NamesPairExactlyFirstThenInAnotherCase)
{
    file(QStringLiteral("Readme.TXT"));
    remoteFile(QStringLiteral("README.txt"));
    for (int direction : {MirrorLocal, MirrorRemote, MirrorBoth})
        EXPECT_EQ(opsIn(direction, Skip, kSubDel), QStringList()) << "twins, so nothing to copy or delete";
    // A copy over a twin in another case writes to the twin's own name.
    EXPECT_EQ(opsIn(MirrorLocal, Overwrite, kSubDel), QStringList({"omPut Readme.TXT|README.txt"}));
    EXPECT_EQ(opsIn(MirrorRemote, Overwrite, kSubDel), QStringList({"omGet Readme.TXT|README.txt"}));

    // Both cases present here: the exact twin takes the server's file, the
    // other name has no twin.
    file(QStringLiteral("README.txt"));
    EXPECT_EQ(opsIn(MirrorRemote, Overwrite, kSubDel), QStringList({"omGet README.txt", "omDelLoc Readme.TXT"}));
    EXPECT_EQ(opsIn(MirrorLocal, Skip, kSubDel), QStringList({"omPut Readme.TXT"}));
}

TEST_F(MirrorCompareTest, OnlyNewestComparesAtTheListingsPrecision)
{
    file(QStringLiteral("same.txt"), Utc(2026, 12, 1, 10, 0, 30));
    remoteFile(QStringLiteral("same.txt"), QStringLiteral("Dec  1 10:00"));
    file(QStringLiteral("local-later.txt"), Utc(2026, 12, 1, 10, 1, 0));
    remoteFile(QStringLiteral("local-later.txt"), QStringLiteral("Dec  1 10:00"));  // up to 10:00:59
    file(QStringLiteral("remote-later.txt"), Utc(2026, 12, 1, 10, 0, 59));
    remoteFile(QStringLiteral("remote-later.txt"), QStringLiteral("Dec  1 10:01"));
    EXPECT_EQ(opsIn(MirrorBoth, OverwriteNewest, kLinks),
              QStringList({"omPut local-later.txt", "omGet remote-later.txt"}));
    EXPECT_EQ(opsIn(MirrorLocal, OverwriteNewest, kLinks), QStringList({"omPut local-later.txt"}));
    EXPECT_EQ(opsIn(MirrorRemote, OverwriteNewest, kLinks), QStringList({"omGet remote-later.txt"}));
}

TEST_F(MirrorCompareTest, OnlyNewestReadsListedDatesInTheSitesZone)
{
    // A date without a year is this year's; the server lists in UTC+2.
    zone = 2.0;
    file(QStringLiteral("jan.txt"), Utc(2026, 1, 12, 7, 59));
    remoteFile(QStringLiteral("jan.txt"), QStringLiteral("Jan 12 10:00"));  // 08:00 UTC
    file(QStringLiteral("shifted.txt"), Utc(2026, 12, 1, 10, 0, 30));
    remoteFile(QStringLiteral("shifted.txt"), QStringLiteral("Dec  1 12:00"));  // 10:00 UTC: the same
    EXPECT_EQ(opsIn(MirrorRemote, OverwriteNewest, kLinks), QStringList({"omGet jan.txt"}));
    EXPECT_EQ(opsIn(MirrorLocal, OverwriteNewest, kLinks), QStringList());

    // An old file listed with its year only: compared by the day.
    listing.clear();
    file(QStringLiteral("jan.txt"), QDateTime(QDate(2020, 1, 12), QTime(23, 0)));
    remoteFile(QStringLiteral("jan.txt"), QStringLiteral("Jan 12  2020"));
    EXPECT_EQ(opsIn(MirrorBoth, OverwriteNewest, kLinks), QStringList({"omPut shifted.txt"}));
    file(QStringLiteral("jan.txt"), QDateTime(QDate(2020, 1, 13), QTime(0, 30)));
    EXPECT_EQ(opsIn(MirrorBoth, OverwriteNewest, kLinks), QStringList({"omPut jan.txt", "omPut shifted.txt"}));
}

TEST_F(MirrorCompareTest, OnlyNewestLeavesAFileWhoseListedDateCannotBeRead)
{
    file(QStringLiteral("bad.txt"), Utc(2020, 1, 1, 0, 0));
    remoteFile(QStringLiteral("bad.txt"), QStringLiteral("Foo 99 xx:yy"));  // would read as today
    for (int direction : {MirrorLocal, MirrorRemote, MirrorBoth}) {
        EXPECT_EQ(opsIn(direction, OverwriteNewest, kSubDel), QStringList()) << direction;
        EXPECT_TRUE(logged(QStringLiteral("\"bad.txt\": its date on the server cannot be read"))) << log();
    }
}

TEST_F(MirrorCompareTest, TransfersCarryTheTimeOfTheirSource)
{
    zone = 2.0;
    file(QStringLiteral("up.txt"), Utc(2025, 3, 4, 5, 6, 7));
    remoteFile(QStringLiteral("down.txt"), QStringLiteral("Jan 12 10:00"));
    remoteFile(QStringLiteral("bad.txt"), QStringLiteral("Foo 99 xx:yy"));
    ASSERT_EQ(opsIn(MirrorBoth, Overwrite, kLinks), QStringList({"omPut up.txt", "omGet down.txt", "omGet bad.txt"}));
    EXPECT_EQ(level.ops[0].Time, Utc(2025, 3, 4, 5, 6, 7).toSecsSinceEpoch()) << "the local file's own time";
    EXPECT_EQ(level.ops[1].Time, Utc(2026, 1, 12, 8, 0).toSecsSinceEpoch()) << "the listed time, in the site's zone";
    EXPECT_EQ(level.ops[2].Time, 0) << "a date that cannot be read gives no time to copy";
}

TEST_F(MirrorCompareTest, MirrorBothCopiesEachWayAndDeletesNothing)
{
    file(QStringLiteral("here.txt"));
    file(QStringLiteral("both.txt"));
    folder(QStringLiteral("localdir"));
    folder(QStringLiteral("shared"));
    remoteFile(QStringLiteral("there.txt"));
    remoteFile(QStringLiteral("both.txt"));
    remoteDir(QStringLiteral("remotedir"));
    remoteDir(QStringLiteral("shared"));
    EXPECT_EQ(opsIn(MirrorBoth, Overwrite, kSubDel | PromptDelete),
              QStringList({"omPut both.txt", "omPut here.txt", "omGet there.txt", "omMkdFtp localdir",
                           "omDir localdir", "omDirUp localdir", "omDir shared", "omDirUp shared",
                           "omMkdLoc remotedir", "omDir remotedir", "omDirUp remotedir"}))
        << "a twin is copied one way only, and shared folders are entered once";
}

TEST_F(MirrorCompareTest, MirrorLocalWithDeleteRemovesWhatIsOnlyOnTheServerInOrder)
{
    file(QStringLiteral("new.txt"));
    folder(QStringLiteral("L"));
    folder(QStringLiteral("s"));
    remoteFile(QStringLiteral("old.txt"));
    remoteDir(QStringLiteral("s"));
    remoteDir(QStringLiteral("R"));
    EXPECT_EQ(opsIn(MirrorLocal, Overwrite, kSubDel),
              QStringList({"omPut new.txt", "omDelFtp old.txt", "omMkdFtp L", "omDir L", "omDirUp L", "omDir s",
                           "omDirUp s", "omRmdFtp R"}));
    // Without subfolders no folder is made, entered or removed.
    EXPECT_EQ(opsIn(MirrorLocal, Overwrite, kLinks | DeleteMissing), QStringList({"omPut new.txt", "omDelFtp old.txt"}));
    // Without Delete nothing is removed.
    EXPECT_EQ(opsIn(MirrorLocal, Overwrite, kSub),
              QStringList({"omPut new.txt", "omMkdFtp L", "omDir L", "omDirUp L", "omDir s", "omDirUp s"}));
}

TEST_F(MirrorCompareTest, MirrorRemoteWithDeleteRemovesWhatIsOnlyHereInOrder)
{
    file(QStringLiteral("only-here.txt"));
    folder(QStringLiteral("L"));
    remoteFile(QStringLiteral("new.txt"));
    remoteDir(QStringLiteral("R"));
    EXPECT_EQ(opsIn(MirrorRemote, Overwrite, kSubDel),
              QStringList({"omGet new.txt", "omDelLoc only-here.txt", "omMkdLoc R", "omDir R", "omDirUp R",
                           "omRmdLoc L"}));
}

TEST_F(MirrorCompareTest, FailedListingOrUnreadableFolderGivesNoOperations)
{
    file(QStringLiteral("a.txt"));
    remoteFile(QStringLiteral("b.txt"));
    job.Direction = MirrorRemote;
    job.Params = kSubDel;
    MirrorLevelInput in = input();
    ASSERT_FALSE(ops(in).isEmpty()) << "a sound level has work";

    in.remoteListed = false;
    in.remoteError = QStringLiteral("450 No files found");
    EXPECT_EQ(ops(in), QStringList());
    EXPECT_FALSE(level.ok);
    EXPECT_TRUE(logged(QStringLiteral("The listing of /pub/www/ failed (450 No files found)"))) << log();

    in = input();
    in.localRead = ScanMirrorFolder(root + QStringLiteral("/gone"), in.local, in.localError);
    EXPECT_FALSE(in.localRead);
    EXPECT_TRUE(in.local.empty());
    EXPECT_TRUE(in.localError.contains(QStringLiteral("No such file or directory"))) << in.localError.toStdString();
    job.Direction = MirrorLocal;
    in.job = job;
    EXPECT_EQ(ops(in), QStringList()) << "an unreadable folder is not an empty one";
    EXPECT_FALSE(level.ok);
    EXPECT_TRUE(logged(QStringLiteral("could not be read"))) << log();
}

TEST_F(MirrorCompareTest, UnsafeNamesAreSkippedAndLoggedOnBothSides)
{
    file(QStringLiteral("back\\slash"));
    file(QStringLiteral("line\nbreak"));
    file(QStringLiteral("carriage\rreturn"));
    file(QStringLiteral("ok.txt"));
    remoteFile(QStringLiteral("../x"));
    remoteFile(QStringLiteral("a\\b"));
    remoteFile(QStringLiteral("cr\rin.txt"));
    remoteFile(QStringLiteral("nul") + QChar(0) + QStringLiteral("x"));
    remoteFile(QStringLiteral("ok.txt"));
    const QStringList skipped = {"\"back\\slash\"", "\"line\\nbreak\"", "\"carriage\\rreturn\"", "\"../x\"",
                                 "\"a\\b\"", "\"cr\\rin.txt\"", "\"nul\\x00x\""};
    for (int direction : {MirrorLocal, MirrorRemote, MirrorBoth}) {
        EXPECT_EQ(opsIn(direction, Skip, kSubDel), QStringList()) << direction;
        for (const QString& name : skipped)
            EXPECT_TRUE(logged(QStringLiteral("Skipped local ") + name) || logged(QStringLiteral("Skipped remote ") + name))
                << name.toStdString() << "\n" << log();
    }
}

TEST_F(MirrorCompareTest, IgnoredLinksAreNeitherCopiedNorAReasonToDelete)
{
    file(QStringLiteral("index.html"));
    file(QStringLiteral("page.html"));  // a file here, a link on the server
    link(QStringLiteral("local-link.txt"), QStringLiteral("index.html"));
    link(QStringLiteral("local-dir-link"), QStringLiteral("/tmp"));
    remoteFile(QStringLiteral("index.html"));
    remoteLink(QStringLiteral("page.html"), QStringLiteral("index.html"));
    remoteLink(QStringLiteral("remote-link"), QStringLiteral("/etc"));
    for (int direction : {MirrorLocal, MirrorRemote, MirrorBoth})
        EXPECT_EQ(opsIn(direction, Skip, kSubDel), QStringList()) << direction << "\n" << log();
    // Nor is a file written over a link, or a link over a file.
    EXPECT_EQ(opsIn(MirrorLocal, Overwrite, kSubDel), QStringList({"omPut index.html"}));
    EXPECT_EQ(opsIn(MirrorRemote, Overwrite, kSubDel), QStringList({"omGet index.html"}));
    EXPECT_EQ(opsIn(MirrorBoth, Overwrite, kSubDel), QStringList({"omPut index.html"}));
    EXPECT_TRUE(logged(QStringLiteral("Skipped remote \"page.html\": a link (links are ignored)"))) << log();
    EXPECT_TRUE(logged(QStringLiteral("Skipped local \"local-link.txt\": a link"))) << log();
}

TEST_F(MirrorCompareTest, FollowedLinksAreCopiedButNeverLoopedOrRemovedAsFolders)
{
    file(QStringLiteral("a.txt"));
    link(QStringLiteral("to-a.txt"), QStringLiteral("a.txt"));
    link(QStringLiteral("up"), QStringLiteral(".."));
    link(QStringLiteral("self"), QStringLiteral("."));
    link(QStringLiteral("dangling"), QStringLiteral("nowhere"));
    remoteLink(QStringLiteral("parent"), QStringLiteral("/pub"));
    remoteLink(QStringLiteral("here"), QStringLiteral("."));
    remoteLink(QStringLiteral("elsewhere"), QStringLiteral("/srv/data"));
    EXPECT_EQ(opsIn(MirrorLocal, Overwrite, IncludeSubfolders | DeleteMissing),
              QStringList({"omPut a.txt", "omPut to-a.txt", "omDelFtp elsewhere"}))
        << "a link without a twin is removed as a link, never as the folder it leads to\n" << log();
    for (const char* name : {"local \"up\"", "local \"self\"", "remote \"parent\"", "remote \"here\""})
        EXPECT_TRUE(logged(QStringLiteral("Skipped %1: a link to a folder that holds it").arg(QLatin1String(name))))
            << name << "\n" << log();
    EXPECT_TRUE(logged(QStringLiteral("Skipped local \"dangling\": a link to nothing"))) << log();

    EXPECT_EQ(opsIn(MirrorRemote, Overwrite, IncludeSubfolders),
              QStringList({"omMkdLoc elsewhere", "omDir elsewhere", "omDirUp elsewhere"}));
}

TEST_F(MirrorCompareTest, HiddenNamesStayOutWhenTheSiteDoesNotListThem)
{
    file(QStringLiteral(".profile"));
    folder(QStringLiteral(".git"));
    file(QStringLiteral("Makefile"));
    remoteFile(QStringLiteral("Makefile"));
    listsHidden = false;
    EXPECT_EQ(opsIn(MirrorLocal, Overwrite, kSubDel), QStringList({"omPut Makefile"}));
    EXPECT_EQ(opsIn(MirrorRemote, Skip, kSubDel), QStringList()) << "not deleted for being unseen on the server";
    EXPECT_TRUE(logged(QStringLiteral("Left out 2 hidden name(s)"))) << log();
    listsHidden = true;
    EXPECT_EQ(opsIn(MirrorLocal, Skip, kSubDel),
              QStringList({"omPut .profile", "omMkdFtp .git", "omDir .git", "omDirUp .git"}));
}

TEST_F(MirrorCompareTest, ExcludedNamesAreLeftAloneOnBothSides)
{
    file(QStringLiteral("a.bak"));
    file(QStringLiteral("keep.txt"));
    folder(QStringLiteral("tmp"));
    remoteFile(QStringLiteral("b.BAK"));
    remoteDir(QStringLiteral("TMP"));
    job.Exclusions = QStringLiteral("*.bak| tmp |");
    EXPECT_EQ(opsIn(MirrorLocal, Overwrite, kSubDel), QStringList({"omPut keep.txt"}));
    EXPECT_TRUE(logged(QStringLiteral("Skipped \"b.BAK\": excluded by \"*.bak\""))) << log();
    EXPECT_EQ(opsIn(MirrorRemote, Overwrite, kSubDel), QStringList({"omDelLoc keep.txt"}));

    // "*.*" is every name, also one without a dot.
    file(QStringLiteral("Makefile"));
    job.Exclusions = QStringLiteral("*.*");
    for (int direction : {MirrorLocal, MirrorRemote, MirrorBoth})
        EXPECT_EQ(opsIn(direction, Overwrite, kSubDel), QStringList()) << direction;
    EXPECT_TRUE(logged(QStringLiteral("Skipped \"Makefile\": excluded"))) << log();
}

TEST_F(MirrorCompareTest, ListingTypesThatCutNamesNeverDelete)
{
    file(QStringLiteral("new.txt"));
    file(QStringLiteral("a b.txt"));
    type = 2;  // date, time, size, name
    listing << QStringLiteral("12-01-26  10:00AM                   1 a b.txt")
            << QStringLiteral("12-01-26  10:00AM                   1 old.txt")
            << QStringLiteral("12-01-26  10:00AM       <DIR>          olddir");
    EXPECT_EQ(opsIn(MirrorLocal, Skip, kSubDel), QStringList({"omPut new.txt"}));
    EXPECT_TRUE(logged(QStringLiteral("Nothing is deleted in /pub/www/"))) << log();
    EXPECT_EQ(opsIn(MirrorRemote, Skip, kSubDel),
              QStringList({"omGet old.txt", "omMkdLoc olddir", "omDir olddir", "omDirUp olddir"}));

    type = 1;  // a name per line
    listing = QStringList({"a b.txt", "other.txt"});
    EXPECT_EQ(opsIn(MirrorRemote, Skip, kLinks | DeleteMissing), QStringList({"omGet other.txt"}));
    EXPECT_TRUE(logged(QStringLiteral("Nothing is deleted"))) << log();
}

TEST_F(MirrorCompareTest, AmbiguousNamesAreLeftAlone)
{
    file(QStringLiteral("x"));  // a file here, a folder there
    folder(QStringLiteral("y"));
    remoteDir(QStringLiteral("x"));
    remoteFile(QStringLiteral("y"));
    remoteFile(QStringLiteral("twice.txt"));
    remoteFile(QStringLiteral("twice.txt"));
    for (int direction : {MirrorLocal, MirrorRemote, MirrorBoth})
        EXPECT_EQ(opsIn(direction, Overwrite, kSubDel), QStringList()) << direction;
    EXPECT_TRUE(logged(QStringLiteral("Skipped \"x\": a file here and a folder on the server"))) << log();
    EXPECT_TRUE(logged(QStringLiteral("Skipped \"y\": a folder here and a file on the server"))) << log();
    EXPECT_TRUE(logged(QStringLiteral("Skipped remote \"twice.txt\": listed more than once"))) << log();
}

TEST_F(MirrorCompareTest, DescentsStopAtTheDepthLimit)
{
    folder(QStringLiteral("deeper"));
    remoteDir(QStringLiteral("deeper2"));
    depth = kMirrorMaxDepth;
    EXPECT_EQ(opsIn(MirrorBoth, Overwrite, kSub), QStringList());
    EXPECT_TRUE(logged(QStringLiteral("Skipped folder \"deeper\": more than 64 levels deep"))) << log();
    depth = kMirrorMaxDepth - 1;
    EXPECT_EQ(opsIn(MirrorLocal, Overwrite, kSub), QStringList({"omMkdFtp deeper", "omDir deeper", "omDirUp deeper"}));
}

TEST_F(MirrorCompareTest, LocalScanReadsKindsSizesAndTimesInNameOrder)
{
    file(QStringLiteral("b.txt"), Utc(2024, 5, 6, 7, 8, 9), "12345");
    folder(QStringLiteral("a"));
    link(QStringLiteral("c"), QStringLiteral("b.txt"));
    link(QStringLiteral("d"), QStringLiteral("a"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(root + QStringLiteral("/e")).constData(), 0600), 0);
    std::vector<MirrorLocalEntry> entries;
    QString error;
    ASSERT_TRUE(ScanMirrorFolder(root, entries, error)) << error.toStdString();
    ASSERT_EQ(entries.size(), 5u);
    QStringList seen;
    for (const MirrorLocalEntry& e : entries)
        seen << QStringLiteral("%1 %2 %3 %4 %5").arg(e.name).arg(int(e.kind)).arg(e.link).arg(e.loops).arg(e.size);
    EXPECT_EQ(seen, QStringList({"a 1 0 0 0", "b.txt 0 0 0 5", "c 0 1 0 5", "d 1 1 0 0", "e 2 0 0 0"}));
    EXPECT_EQ(entries[1].modified.toSecsSinceEpoch(), Utc(2024, 5, 6, 7, 8, 9).toSecsSinceEpoch());
    EXPECT_EQ(entries[4].what, QStringLiteral("a FIFO"));

    remoteFile(QStringLiteral("e"));
    EXPECT_EQ(opsIn(MirrorRemote, Overwrite, kLinks | DeleteMissing), QStringList({"omDelLoc b.txt"}))
        << "a FIFO is neither written to nor deleted";
    EXPECT_TRUE(logged(QStringLiteral("Skipped local \"e\": a FIFO"))) << log();

    // A name that is not valid UTF-8 could not be opened again by its
    // decoded form: it is left alone.
    const QByteArray raw = QFile::encodeName(root) + "/f\xff.txt";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(opsIn(MirrorLocal, Overwrite, kLinks), QStringList({"omPut b.txt"}));
    EXPECT_TRUE(logged(QStringLiteral("not valid in this system's encoding"))) << log();
}

TEST_F(MirrorCompareTest, RemovalListingDeletesFilesAndLinksBeforeSubfolders)
{
    remoteDir(QStringLiteral("inner"));
    remoteFile(QStringLiteral("a.txt"));
    remoteLink(QStringLiteral("to-etc"), QStringLiteral("/etc"));
    remoteFile(QStringLiteral("../escape"));
    const auto entries = parseListingEntries(listing, ListingFormat::ofType(7)).entries;
    MirrorLevel removal = MirrorRemovalOps(entries, true, QString(), 7, QStringLiteral("/pub/www/old/"));
    ASSERT_TRUE(removal.ok);
    QStringList seen;
    for (const TMirrorRec& r : removal.ops)
        seen << MirrorOpName(r.Op) + QLatin1Char(' ') + r.RemoteName;
    EXPECT_EQ(seen, QStringList({"omDelFtp a.txt", "omDelFtp to-etc", "omRmdFtp inner"}));
    EXPECT_TRUE(removal.log.join('\n').contains(QStringLiteral("Skipped remote \"../escape\"")));

    removal = MirrorRemovalOps(entries, false, QStringLiteral("426 Connection closed"), 7, QStringLiteral("/pub/old/"));
    EXPECT_FALSE(removal.ok);
    EXPECT_TRUE(removal.ops.empty());
    EXPECT_TRUE(removal.log.join('\n').contains(QStringLiteral("426 Connection closed")));

    removal = MirrorRemovalOps(entries, true, QString(), 1, QStringLiteral("/pub/old/"));
    EXPECT_FALSE(removal.ok);
    EXPECT_TRUE(removal.ops.empty());
}

} // namespace
