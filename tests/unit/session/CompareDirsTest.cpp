// Compare Directories over the two lists' real models: a temporary local
// directory against remote listings, as the panes show them.
#include "listing/ListSortProxy.h"
#include "listing/LocalListModel.h"
#include "listing/RemoteListModel.h"
#include "session/CompareDirs.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/time.h>

namespace {

const QDate kToday(2024, 6, 1);

DirEntry file(const char* name, const char* size, const char* date, const char* time)
{
    return DirEntry(false, QString::fromUtf8(name), QString::fromUtf8(size), QString::fromUtf8(date),
                    QString::fromUtf8(time), QStringLiteral("-rw-r--r--"));
}

RemoteViewOptions remoteOptions(int dateType = 0, double siteZone = 0.0, const char* answer = "")
{
    RemoteViewOptions o;
    o.answer = QString::fromUtf8(answer);
    o.mask = QStringLiteral("*.*");
    o.dateType = dateType;
    o.siteTimeZone = siteZone;
    o.today = kToday;
    return o;
}

// The names of the rows marked in differs, in model order.
QStringList marked(const QAbstractItemModel& m, const std::vector<bool>& differs)
{
    QStringList names;
    for (int r = 0; r < m.rowCount(); ++r)
        if (differs.at(size_t(r)))
            names << m.index(r, 0).data().toString();
    return names;
}

class CompareDirsTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    TLocalListModel local;
    TRemoteListModel remote;

    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }

    // A local file of size bytes last modified at the local time given.
    void makeFile(const char* name, int size, const QDateTime& modified)
    {
        QFile f(tmp.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'a'));
        f.flush();
        ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    void makeDir(const char* name, const QDateTime& modified)
    {
        const QString path = tmp.filePath(QString::fromUtf8(name));
        ASSERT_TRUE(QDir().mkdir(path));
        const timeval times[2] = {{time_t(modified.toSecsSinceEpoch()), 0}, {time_t(modified.toSecsSinceEpoch()), 0}};
        ASSERT_EQ(::utimes(QFile::encodeName(path).constData(), times), 0);
    }
    void fillLocal(int dateType = 0) { ASSERT_TRUE(local.Fill(tmp.path(), QStringLiteral("*.*"), dateType)); }
};

QDateTime at(int y, int mo, int d, int h, int mi) { return QDateTime(QDate(y, mo, d), QTime(h, mi)); }

} // namespace

TEST_F(CompareDirsTest, SelectsOneSidedAndChangedEntriesOnBothSidesTheSameEveryRun)
{
    makeFile("same.txt", 1500, at(2024, 3, 7, 9, 5));
    makeFile("bigger.txt", 10, at(2024, 3, 7, 9, 5));
    makeFile("later.txt", 10, at(2024, 3, 7, 9, 6));
    makeFile("local only.txt", 10, at(2024, 3, 7, 9, 5));
    makeFile("Readme", 10, at(2024, 3, 7, 9, 5));
    fillLocal();
    remote.Fill({file("same.txt", "1500", "Mar 7", "09:05"), file("bigger.txt", "11", "Mar 7", "09:05"),
                 file("later.txt", "10", "Mar 7", "09:05"), file("remote only.txt", "10", "Mar 7", "09:05"),
                 // Letter case makes another name.
                 file("README", "10", "Mar 7", "09:05")},
                remoteOptions());
    // The size texts are compared as shown: "1 500" on both sides.
    ASSERT_EQ(local.data(local.index(local.RowOfName("same.txt"), 1)).toString(), QStringLiteral("1 500"));

    const DirDifferences first = CompareDirectories(local, remote, 0);
    const QStringList localExpected{"Readme", "bigger.txt", "later.txt", "local only.txt"};
    QStringList localGot = marked(local, first.local);
    localGot.sort();
    EXPECT_EQ(localGot, localExpected);
    EXPECT_EQ(marked(remote, first.remote), (QStringList{"bigger.txt", "later.txt", "remote only.txt", "README"}));
    EXPECT_EQ(first.localCount, 4);
    EXPECT_EQ(first.remoteCount, 4);

    const DirDifferences again = CompareDirectories(local, remote, 0);
    EXPECT_EQ(again.local, first.local);
    EXPECT_EQ(again.remote, first.remote);
}

TEST_F(CompareDirsTest, DirectoriesArePairedAndComparedByTheirShownTextsLikeFiles)
{
    makeDir("docs", at(2024, 3, 7, 9, 5));
    makeDir("pub", at(2024, 3, 7, 9, 5));
    fillLocal();
    remote.Fill({DirEntry(true, u"docs", u"4096", u"Mar 7", u"09:05"), DirEntry(true, u"pub", u"4096", u"Mar 8", u"09:05")},
                remoteOptions());
    const DirDifferences d = CompareDirectories(local, remote, 0);
    EXPECT_EQ(marked(local, d.local), QStringList{"pub"});
    EXPECT_EQ(marked(remote, d.remote), QStringList{"pub"});
}

TEST_F(CompareDirsTest, EntriesWithoutAReadableDateDifferEvenWithEqualNamesAndSizes)
{
    // A names-only site shows no size, date or time: nothing can prove two
    // entries identical.
    TRemoteListModel namesOnly, otherNamesOnly;
    namesOnly.Fill({file("a.txt", "10", "Mar 7", "09:05")}, remoteOptions(0, 0.0, "1"));
    otherNamesOnly.Fill({file("a.txt", "10", "Mar 7", "09:05")}, remoteOptions(0, 0.0, "1"));
    ASSERT_EQ(namesOnly.data(namesOnly.index(0, 2)).toString(), QString());
    const DirDifferences d = CompareDirectories(namesOnly, otherNamesOnly, 0);
    EXPECT_EQ(d.local, std::vector<bool>{true});
    EXPECT_EQ(d.remote, std::vector<bool>{true});
}

// The dates are read in the pattern the lists write them in. A day past the
// twelfth cannot be read in the other order (nor in a locale's short date
// format such as "M/d/yy"), and an unreadable date would mark the pair different.
TEST_F(CompareDirsTest, DatesAreReadInTheListsOwnPatternForBothDateTypes)
{
    makeFile("a.txt", 10, at(2024, 3, 17, 9, 5));
    for (int dateType : {0, 1}) {
        SCOPED_TRACE(dateType);
        fillLocal(dateType);
        remote.Fill({file("a.txt", "10", "Mar 17", "09:05")}, remoteOptions(dateType));
        ASSERT_EQ(local.data(local.index(0, 2)).toString(), dateType == 1 ? "03.17.2024" : "17.03.2024");
        const DirDifferences d = CompareDirectories(local, remote, dateType);
        EXPECT_EQ(d.localCount, 0);
        EXPECT_EQ(d.remoteCount, 0);
    }
}

// The remote list already shows the site's times moved to local time; moving
// them again would set a site at +5.30 five and a half hours apart.
TEST_F(CompareDirsTest, ASiteInAnotherZoneComparesEqualForTheSameMoment)
{
    // 14:35 at +5.30 is 09:05 at zone 0; 03:00 on the 18th is 21:30 on the 17th.
    makeFile("morning.txt", 10, at(2024, 3, 17, 9, 5));
    makeFile("evening.txt", 10, at(2024, 3, 17, 21, 30));
    makeFile("off by the zone.txt", 10, at(2024, 3, 17, 14, 35));
    fillLocal();
    remote.Fill({file("morning.txt", "10", "Mar 17", "14:35"), file("evening.txt", "10", "Mar 18", "03:00"),
                 file("off by the zone.txt", "10", "Mar 17", "14:35")},
                remoteOptions(0, 5.30));
    const DirDifferences d = CompareDirectories(local, remote, 0);
    EXPECT_EQ(marked(local, d.local), QStringList{"off by the zone.txt"});
    EXPECT_EQ(marked(remote, d.remote), QStringList{"off by the zone.txt"});
}

// A listing may name an entry twice: each entry is paired with the first of
// its name on the other side, not with any that happens to match.
TEST_F(CompareDirsTest, ARepeatedNameIsPairedWithItsFirstEntry)
{
    makeFile("dup.txt", 10, at(2024, 3, 7, 9, 5));
    makeFile("other.txt", 10, at(2024, 3, 7, 9, 5));
    fillLocal();
    remote.Fill({file("dup.txt", "10", "Mar 7", "09:05"), file("dup.txt", "99", "Mar 7", "09:05"),
                 file("other.txt", "99", "Mar 7", "09:05"), file("other.txt", "10", "Mar 7", "09:05")},
                remoteOptions());
    const DirDifferences d = CompareDirectories(local, remote, 0);
    EXPECT_EQ(marked(local, d.local), QStringList{"other.txt"});
    // The second "dup.txt" and the first "other.txt" differ from the local
    // files; the second "other.txt" equals its local twin.
    EXPECT_EQ(d.remote, (std::vector<bool>{false, true, true, false}));
}

// The window hands the differing rows to the view's selection model as one
// selection: runs of neighbouring rows in the view's order, whole rows. It
// replaces the old selection silently and keeps the current row.
TEST_F(CompareDirsTest, DifferingRowsReplaceTheSelectionAsRunsInTheViewsOrder)
{
    for (const char* name : {"a", "b", "c", "d", "e", "f"})
        makeFile(name, 10, at(2024, 3, 7, 9, 5));
    fillLocal();
    // b, c and e differ (other sizes); a, d and f are equal.
    remote.Fill({file("a", "10", "Mar 7", "09:05"), file("b", "11", "Mar 7", "09:05"), file("c", "11", "Mar 7", "09:05"),
                 file("d", "10", "Mar 7", "09:05"), file("e", "11", "Mar 7", "09:05"), file("f", "10", "Mar 7", "09:05")},
                remoteOptions());
    const DirDifferences d = CompareDirectories(local, remote, 0);
    EXPECT_EQ(MarkedRows(d.remote), (QList<int>{1, 2, 4}));

    TListSortProxy proxy;
    proxy.setSourceModel(&remote);
    proxy.SetSortKey(-1);  // by name, descending: f e d c b a
    QItemSelectionModel sel(&proxy);
    // "f" (equal) selected and current beforehand.
    sel.setCurrentIndex(proxy.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    int emitted = 0;
    QObject::connect(&sel, &QItemSelectionModel::selectionChanged, [&emitted] { ++emitted; });
    QObject::connect(&sel, &QItemSelectionModel::currentChanged, [&emitted] { ++emitted; });

    const QItemSelection rows = DifferingRows(proxy, &proxy, d.remote);
    ASSERT_EQ(rows.size(), 2);  // "e", then "c" and "b"
    ReplaceSelection(sel, rows);
    EXPECT_EQ(emitted, 0);
    QStringList selected;
    for (const QModelIndex& i : sel.selectedRows())
        selected << i.data().toString();
    selected.sort();
    EXPECT_EQ(selected, (QStringList{"b", "c", "e"}));
    EXPECT_TRUE(sel.isSelected(proxy.index(1, proxy.columnCount() - 1)));  // whole rows
    EXPECT_EQ(sel.currentIndex(), proxy.index(0, 0));
}
