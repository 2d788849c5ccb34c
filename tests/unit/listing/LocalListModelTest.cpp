// The local file list's model over real temporary directories, ordered by the
// sort proxy as the window shows it.
#include "listing/ListSortProxy.h"
#include "listing/LocalListModel.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

void makeFile(const QString& path, int size, const QDateTime& modified)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'a'));
    f.flush();  // a later flush would set the time again
    ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
}

QStringList shownNames(const QAbstractItemModel& m)
{
    QStringList names;
    for (int r = 0; r < m.rowCount(); ++r)
        names << m.index(r, 0).data().toString();
    return names;
}

class LocalListModelTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    TLocalListModel model;
    TListSortProxy proxy;

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        proxy.setSourceModel(&model);
    }
    QString path(const QString& name) const { return tmp.filePath(name); }
};

} // namespace

TEST_F(LocalListModelTest, RowsCarryNameKindSizeDateAndTimeAsTheViewAndOtherCodeReadThem)
{
    makeFile(path("a.txt"), 1500, QDateTime(QDate(2024, 3, 7), QTime(9, 5)));
    ASSERT_TRUE(QDir(tmp.path()).mkdir("docs"));
    ASSERT_TRUE(model.Fill(tmp.path(), "*.*", 0));
    ASSERT_EQ(proxy.rowCount(), 2);
    // Directories first, then files.
    EXPECT_EQ(shownNames(proxy), (QStringList{"docs", "a.txt"}));
    const int file = model.RowOfName("a.txt");
    ASSERT_GE(file, 0);
    EXPECT_EQ(model.index(file, 0).data(Qt::UserRole).toBool(), false);
    EXPECT_EQ(model.index(file, 0).data(listrole::ImageKind).toInt(), 2);
    EXPECT_EQ(model.index(file, 1).data().toString(), "1 500");
    EXPECT_EQ(model.index(file, 1).data(listrole::SortValue).toLongLong(), 1500);
    EXPECT_EQ(model.index(file, 2).data().toString(), "07.03.2024");
    EXPECT_EQ(model.index(file, 2).data(listrole::SortValue).toDate(), QDate(2024, 3, 7));
    EXPECT_EQ(model.index(file, 3).data().toString(), "09:05");
    EXPECT_EQ(model.Path(file), path("a.txt"));
    const int dir = model.RowOfName("docs");
    EXPECT_TRUE(model.index(dir, 0).data(Qt::UserRole).toBool());
    EXPECT_EQ(model.index(dir, 0).data(listrole::ImageKind).toInt(), 1);
    EXPECT_TRUE(model.index(dir, 1).data().toString().isEmpty());

    // Month first with DateType 1.
    ASSERT_TRUE(model.Fill(tmp.path(), "*.*", 1));
    EXPECT_EQ(model.index(model.RowOfName("a.txt"), 2).data().toString(), "03.07.2024");
}

TEST_F(LocalListModelTest, FilterOfTxtHidesOtherFilesButNeverDirectories)
{
    const QDateTime when(QDate(2024, 1, 1), QTime(12, 0));
    makeFile(path("a.txt"), 1, when);
    makeFile(path("b.bin"), 1, when);
    makeFile(path(".hidden.txt"), 1, when);
    ASSERT_TRUE(QDir(tmp.path()).mkdir("pics.d"));
    ASSERT_TRUE(model.Fill(tmp.path(), "*.txt", 0));
    EXPECT_EQ(shownNames(proxy), (QStringList{"pics.d", ".hidden.txt", "a.txt"}));
}

TEST_F(LocalListModelTest, LinksShowAsWhatTheyPointToAndDanglingOnesAsFiles)
{
    ASSERT_TRUE(QDir(tmp.path()).mkdir("real"));
    ASSERT_EQ(symlink(path("real").toUtf8().constData(), path("to-dir").toUtf8().constData()), 0);
    ASSERT_EQ(symlink(path("nowhere").toUtf8().constData(), path("dangling").toUtf8().constData()), 0);
    ASSERT_TRUE(model.Fill(tmp.path(), "*.*", 0));
    EXPECT_EQ(shownNames(proxy), (QStringList{"real", "to-dir", "dangling"}));
}

TEST_F(LocalListModelTest, SizeHeaderTwiceReversesThenDateStartsInTheFirstDirectionAgain)
{
    makeFile(path("small"), 10, QDateTime(QDate(2020, 1, 1), QTime(1, 0)));
    makeFile(path("big"), 3000, QDateTime(QDate(2022, 1, 1), QTime(1, 0)));
    makeFile(path("mid"), 200, QDateTime(QDate(2021, 1, 1), QTime(1, 0)));
    ASSERT_TRUE(model.Fill(tmp.path(), "*.*", 0));
    // The first click sorts smaller first, the second flips it.
    proxy.ColumnClick(1);
    EXPECT_EQ(shownNames(proxy), (QStringList{"small", "mid", "big"}));
    proxy.ColumnClick(1);
    EXPECT_EQ(shownNames(proxy), (QStringList{"big", "mid", "small"}));
    // A new column starts in its first direction again: latest first.
    proxy.ColumnClick(2);
    EXPECT_EQ(shownNames(proxy), (QStringList{"big", "mid", "small"}));
    proxy.ColumnClick(2);
    EXPECT_EQ(shownNames(proxy), (QStringList{"small", "mid", "big"}));
    EXPECT_EQ(proxy.SortKey(), 3);
}

TEST_F(LocalListModelTest, RenamedCaptionKeepsItsRowAndSortsByItsNewName)
{
    const QDateTime when(QDate(2024, 1, 1), QTime(12, 0));
    makeFile(path("b"), 1, when);
    makeFile(path("c"), 1, when);
    ASSERT_TRUE(model.Fill(tmp.path(), "*.*", 0));
    EXPECT_EQ(shownNames(proxy), (QStringList{"b", "c"}));
    model.SetNames({{model.RowOfName("c"), "a"}});
    proxy.SetSortKey(proxy.SortKey());
    EXPECT_EQ(shownNames(proxy), (QStringList{"a", "b"}));
    EXPECT_EQ(model.Names().size(), 2);
}

TEST_F(LocalListModelTest, UnreadableDirectoryLeavesNoRowsAndSaysWhy)
{
    makeFile(path("x"), 1, QDateTime::currentDateTime());
    ASSERT_TRUE(model.Fill(tmp.path(), "*.*", 0));
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_FALSE(model.Fill(path("missing"), "*.*", 0));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.LastError().isEmpty());
}
