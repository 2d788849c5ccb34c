// The local pane's file operations on real temporary trees: the counted
// recursive delete that never follows a link, the rename that never loses a
// target, Change Case on a case-sensitive file system, MakeDir.
#include "session/LocalFileOps.h"
#include "session/NameCase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class LocalFileOpsTest : public ::testing::Test {
protected:
    QTemporaryDir tmp, outside;

    void SetUp() override { ASSERT_TRUE(tmp.isValid() && outside.isValid()); }

    QString path(const QString& rel) const { return tmp.filePath(rel); }
    static void write(const QString& p, const QByteArray& content)
    {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    static QByteArray read(const QString& p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void link(const QString& target, const QString& at)
    {
        ASSERT_EQ(symlink(QFile::encodeName(target).constData(), QFile::encodeName(at).constData()), 0);
    }
    static bool present(const QString& p)
    {
        struct stat st {};
        return lstat(QFile::encodeName(p).constData(), &st) == 0;
    }
};

} // namespace

TEST_F(LocalFileOpsTest, DeleteCountsEverythingBelowBreadthFirstAndRemovesChildrenBeforeParents)
{
    // top/{f1, a/{f2, b/{f3}}, c/}
    QDir(tmp.path()).mkpath("top/a/b");
    QDir(tmp.path()).mkpath("top/c");
    write(path("top/f1"), "1");
    write(path("top/a/f2"), "2");
    write(path("top/a/b/f3"), "3");
    write(path("single"), "s");

    const LocalDeletePlan plan = CollectLocalDelete({path("single")}, {path("top")});
    EXPECT_EQ(plan.files.size(), 4);
    ASSERT_EQ(plan.dirs.size(), 4);
    // Breadth first: a directory before everything below it.
    EXPECT_EQ(plan.dirs[0], path("top"));
    EXPECT_LT(plan.dirs.indexOf(path("top/a")), plan.dirs.indexOf(path("top/a/b")));
    EXPECT_EQ(plan.dirs.last(), path("top/a/b"));
    EXPECT_EQ(LocalDeleteQuestion("Do you wish to remove", "file(s)", "and", "folder(es)", plan.files.size(),
                                  plan.dirs.size()),
              "Do you wish to remove 4 file(s) and 4 folder(es)");
    EXPECT_EQ(LocalDeleteQuestion("Do you wish to remove", "file(s)", "and", "folder(es)", 2, 0),
              "Do you wish to remove 2 file(s)");

    EXPECT_TRUE(ExecuteLocalDelete(plan).isEmpty());
    EXPECT_FALSE(present(path("top")));
    EXPECT_FALSE(present(path("single")));
}

TEST_F(LocalFileOpsTest, LinksAreUnlinkedNeverEnteredAndWhatTheyPointToSurvives)
{
    // Inside the tree: a link to a file of the tree's neighbour, a link to a
    // directory outside the tree, a loop back to the tree's top, a dangling
    // link. Outside: the things pointed to.
    QDir(tmp.path()).mkpath("tree/sub");
    QDir(outside.path()).mkpath("home/docs");
    write(outside.filePath("home/docs/precious.txt"), "keep me");
    write(path("neighbour.txt"), "keep me too");
    link(outside.filePath("home"), path("tree/to-home"));
    link(path("neighbour.txt"), path("tree/sub/to-file"));
    link(path("tree"), path("tree/sub/loop"));
    link(path("gone"), path("tree/dangling"));
    // A chosen link to a directory is itself only unlinked.
    link(outside.filePath("home"), path("chosen-link"));

    const LocalDeletePlan plan = CollectLocalDelete({}, {path("tree"), path("chosen-link")});
    EXPECT_EQ(plan.dirs, (QStringList{path("tree"), path("tree/sub")}));
    EXPECT_EQ(plan.files.size(), 5);
    EXPECT_TRUE(plan.files.contains(path("chosen-link")));

    EXPECT_TRUE(ExecuteLocalDelete(plan).isEmpty());
    EXPECT_FALSE(present(path("tree")));
    EXPECT_FALSE(present(path("chosen-link")));
    EXPECT_EQ(read(outside.filePath("home/docs/precious.txt")), "keep me");
    EXPECT_EQ(read(path("neighbour.txt")), "keep me too");
}

TEST_F(LocalFileOpsTest, FifoIsRemovedWithoutOpeningItAndFailuresNameTheirCause)
{
    QDir(tmp.path()).mkpath("d/locked");
    ASSERT_EQ(mkfifo(QFile::encodeName(path("d/pipe")).constData(), 0600), 0);
    write(path("d/locked/inner"), "x");
    write(path("d/readonly.txt"), "r");
    ASSERT_TRUE(QFile::setPermissions(path("d/readonly.txt"), QFileDevice::ReadOwner));
    // A folder whose entries cannot be removed: its file and itself stay.
    ASSERT_TRUE(QFile::setPermissions(path("d/locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));

    const LocalDeletePlan plan = CollectLocalDelete({}, {path("d")});
    EXPECT_EQ(plan.files.size(), 3);  // pipe, readonly.txt, locked/inner
    const QStringList failures = ExecuteLocalDelete(plan);
    QFile::setPermissions(path("d/locked"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(present(path("d/pipe")));
    // A read-only file goes (its folder is writable), like rm -f does.
    EXPECT_FALSE(present(path("d/readonly.txt")));
    if (geteuid() != 0) {
        ASSERT_EQ(failures.size(), 3);  // inner, locked, d
        EXPECT_TRUE(failures[0].contains(path("d/locked/inner"))) << failures[0].toStdString();
        EXPECT_TRUE(failures[0].contains("Permission denied")) << failures[0].toStdString();
        EXPECT_TRUE(present(path("d/locked/inner")));
    }
}

TEST_F(LocalFileOpsTest, RenameToSameNameInOtherCaseDoesNothing)
{
    write(path("Report.txt"), "r");
    QString error;
    int asked = 0;
    const auto ask = [&](const QString&) { ++asked; return true; };
    EXPECT_EQ(RenameLocal(tmp.path(), "Report.txt", "REPORT.TXT", ask, error), LocalRenameResult::Unchanged);
    EXPECT_EQ(RenameLocal(tmp.path(), "Report.txt", "Report.txt", ask, error), LocalRenameResult::Unchanged);
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(present(path("Report.txt")));
    EXPECT_FALSE(present(path("REPORT.TXT")));
}

TEST_F(LocalFileOpsTest, RenameOntoAnExistingFileAsksAndReplacesByOneRename)
{
    write(path("new.txt"), "new");
    write(path("old.txt"), "old");
    QString error, askedFor;
    // "No" keeps both.
    EXPECT_EQ(RenameLocal(tmp.path(), "new.txt", "old.txt", [&](const QString& n) { askedFor = n; return false; }, error),
              LocalRenameResult::Declined);
    EXPECT_EQ(askedFor, "old.txt");
    EXPECT_EQ(read(path("old.txt")), "old");
    // "Yes": the target is the renamed file, and the inode is the source's.
    struct stat before {};
    ASSERT_EQ(stat(QFile::encodeName(path("new.txt")).constData(), &before), 0);
    EXPECT_EQ(RenameLocal(tmp.path(), "new.txt", "old.txt", [](const QString&) { return true; }, error),
              LocalRenameResult::Renamed);
    struct stat after {};
    ASSERT_EQ(stat(QFile::encodeName(path("old.txt")).constData(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(read(path("old.txt")), "new");
    EXPECT_FALSE(present(path("new.txt")));
}

TEST_F(LocalFileOpsTest, RenameThatFailsLeavesTheTargetInPlace)
{
    // The source disappears while the question is open: the rename fails,
    // and the file it was to replace is still there (no delete came first).
    write(path("a"), "a");
    write(path("b"), "b");
    QString error;
    const LocalRenameResult r = RenameLocal(tmp.path(), "a", "b", [&](const QString&) {
        QFile::remove(path("a"));
        return true;
    }, error);
    EXPECT_EQ(r, LocalRenameResult::Failed);
    EXPECT_TRUE(error.contains("No such file or directory")) << error.toStdString();
    EXPECT_EQ(read(path("b")), "b");
}

TEST_F(LocalFileOpsTest, RenameRefusesToReplaceAFolderOrAnEntryOfAnotherKind)
{
    QDir(tmp.path()).mkpath("folder/inside");
    QDir(tmp.path()).mkpath("other");
    write(path("file"), "f");
    int asked = 0;
    const auto ask = [&](const QString&) { ++asked; return true; };
    QString error;
    EXPECT_EQ(RenameLocal(tmp.path(), "file", "folder", ask, error), LocalRenameResult::Refused);
    EXPECT_TRUE(error.contains("folder")) << error.toStdString();
    EXPECT_EQ(RenameLocal(tmp.path(), "other", "folder", ask, error), LocalRenameResult::Refused);
    EXPECT_EQ(RenameLocal(tmp.path(), "other", "file", ask, error), LocalRenameResult::Refused);
    EXPECT_EQ(RenameLocal(tmp.path(), "file", "..", ask, error), LocalRenameResult::Refused);
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(present(path("folder/inside")));
    EXPECT_EQ(read(path("file")), "f");
    // A plain rename of a folder, and the file-name part of a path.
    EXPECT_EQ(RenameLocal(tmp.path(), "other", "renamed", ask, error), LocalRenameResult::Renamed);
    EXPECT_EQ(RenameLocal(tmp.path(), "file", "/somewhere/else/moved", ask, error), LocalRenameResult::Renamed);
    EXPECT_TRUE(present(path("renamed")));
    EXPECT_TRUE(present(path("moved")));
}

TEST_F(LocalFileOpsTest, ChangeCaseNamesAndRefusesANameAnotherEntryHas)
{
    EXPECT_EQ(ChangedCase("MY FILE.TXT", namecase::Sentence), "My file.txt");
    EXPECT_EQ(ChangedCase("My File.txt", namecase::Upper), "MY FILE.TXT");
    EXPECT_EQ(ChangedCase("My File.TXT", namecase::Lower), "my file.txt");
    EXPECT_EQ(ChangedCase("ÄRGER.TXT", namecase::Sentence), "Ärger.txt");

    write(path("README"), "upper");
    write(path("readme"), "lower");
    write(path("Notes"), "n");
    const QSet<QString> siblings{"README", "readme", "Notes"};
    QString error;
    // Lower-casing README would replace readme on a case-sensitive disk.
    EXPECT_EQ(ChangeCaseLocal(tmp.path(), "README", "readme", siblings, error), LocalRenameResult::Refused);
    EXPECT_TRUE(error.contains("already has that name")) << error.toStdString();
    EXPECT_EQ(read(path("readme")), "lower");
    EXPECT_EQ(read(path("README")), "upper");
    // An entry that appeared after the listing is not replaced either.
    write(path("NOTES"), "late");
    EXPECT_EQ(ChangeCaseLocal(tmp.path(), "Notes", "NOTES", siblings, error), LocalRenameResult::Refused);
    EXPECT_EQ(read(path("NOTES")), "late");
    QFile::remove(path("NOTES"));
    EXPECT_EQ(ChangeCaseLocal(tmp.path(), "Notes", "NOTES", siblings, error), LocalRenameResult::Renamed);
    EXPECT_EQ(read(path("NOTES")), "n");
    EXPECT_EQ(ChangeCaseLocal(tmp.path(), "NOTES", "NOTES", siblings, error), LocalRenameResult::Unchanged);
}

TEST_F(LocalFileOpsTest, MakeDirCreatesOneFolderAndRefusesNamesThatLeaveTheDirectory)
{
    QString made, error;
    ASSERT_TRUE(MakeLocalDir(tmp.path(), "new folder", made, error)) << error.toStdString();
    EXPECT_EQ(made, path("new folder"));
    EXPECT_TRUE(QFileInfo(made).isDir());
    EXPECT_FALSE(MakeLocalDir(tmp.path(), "new folder", made, error));
    EXPECT_TRUE(error.contains("File exists")) << error.toStdString();
    EXPECT_FALSE(MakeLocalDir(tmp.path(), "../escape", made, error));
    EXPECT_FALSE(MakeLocalDir(tmp.path(), "", made, error));
    EXPECT_FALSE(present(QFileInfo(tmp.path()).dir().filePath("escape")));
}
