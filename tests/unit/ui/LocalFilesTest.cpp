// The rows of the local file list: masks, sizes, date order.
#include "session/MainStateLocalFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void makeFile(const QString& path, int size, const QDateTime& modified)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'a'));
    f.flush(); // a later flush would set the time again
    ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
}

} // namespace

TEST(LocalFiles, ByteCountsAreGroupedByThreeWithSpaces)
{
    EXPECT_EQ(GroupedByteCount(0), "0");
    EXPECT_EQ(GroupedByteCount(999), "999");
    EXPECT_EQ(GroupedByteCount(1000), "1 000");
    EXPECT_EQ(GroupedByteCount(1234567), "1 234 567");
    EXPECT_EQ(GroupedByteCount(5000000000LL), "5 000 000 000");
}

TEST(LocalFiles, MasksMatchWithoutRegardToCase)
{
    EXPECT_TRUE(MatchesFilter("README", "*.*"));
    EXPECT_TRUE(MatchesFilter("notes.TXT", "*.txt"));
    EXPECT_FALSE(MatchesFilter("notes.txt.bak", "*.txt"));
    EXPECT_TRUE(MatchesFilter("a1.log", "a?.log"));
    EXPECT_FALSE(MatchesFilter("ab1.log", "a?.log"));
    // Regular-expression characters in a name or mask are literal.
    EXPECT_TRUE(MatchesFilter("x(1)+.txt", "x(1)+.*"));
    EXPECT_FALSE(MatchesFilter("xx1.txt", "x(1)+.*"));
}

TEST(LocalFiles, FilterHidesOtherFilesButNeverDirectories)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDateTime when(QDate(2024, 3, 7), QTime(9, 5));
    makeFile(dir.filePath("a.txt"), 1500, when);
    makeFile(dir.filePath("b.bin"), 10, when);
    makeFile(dir.filePath(".hidden.txt"), 1, when);
    ASSERT_TRUE(QDir(dir.path()).mkdir("docs.d"));

    const QList<LocalFileRow> rows = ListLocalDirectory(dir.path(), "*.txt", 0);
    QStringList names;
    for (const LocalFileRow& r : rows)
        names << r.Name;
    EXPECT_EQ(names, (QStringList{".hidden.txt", "a.txt", "docs.d"}));
    const LocalFileRow& a = rows[1];
    EXPECT_FALSE(a.IsDir);
    EXPECT_EQ(a.Size, 1500);
    EXPECT_EQ(a.SizeText, "1 500");
    EXPECT_EQ(a.Date, "07.03.2024");
    EXPECT_EQ(a.Time, "09:05");
    EXPECT_TRUE(rows[2].IsDir);
    EXPECT_TRUE(rows[2].SizeText.isEmpty());

    // DateType 1 puts the month first.
    EXPECT_EQ(ListLocalDirectory(dir.path(), "a.txt", 1).value(0).Date, "03.07.2024");
}

TEST(LocalFiles, MissingDirectoryGivesAnEmptyList)
{
    EXPECT_TRUE(ListLocalDirectory("/nonexistent/varnoth-test-dir", "*.*", 0).isEmpty());
}
