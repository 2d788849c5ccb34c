// The one ordering of both file lists: sort keys, column clicks, unreadable
// values, stability, and the strict weak ordering sorting relies on.
#include "ListingTestUtil.h"
#include "listing/ListSort.h"
#include "listing/ListSortProxy.h"
#include "listing/RemoteListModel.h"

#include <QAbstractTableModel>
#include <QItemSelectionModel>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

// A flat list that carries only texts and the image kind, as the local list's
// model does: the ordering reads its size and date texts.
class TextListModel : public QAbstractTableModel {
public:
    struct Row {
        int kind;
        QStringList cells;  // name, size, date, time
    };
    explicit TextListModel(QList<Row> rows) : rows_(std::move(rows)) {}
    int rowCount(const QModelIndex& p = {}) const override { return p.isValid() ? 0 : int(rows_.size()); }
    int columnCount(const QModelIndex& p = {}) const override { return p.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& i, int role) const override
    {
        if (role == listrole::ImageKind && i.column() == 0)
            return rows_[i.row()].kind;
        return role == Qt::DisplayRole ? QVariant(rows_[i.row()].cells.value(i.column())) : QVariant();
    }

private:
    QList<Row> rows_;
};

QStringList namesInOrder(const QAbstractItemModel& m)
{
    QStringList names;
    for (int r = 0; r < m.rowCount(); ++r)
        names << m.data(m.index(r, 0)).toString();
    return names;
}

RemoteViewOptions viewOptions(int dateType = 0)
{
    RemoteViewOptions o;
    o.dateType = dateType;
    o.today = QDate(2026, 3, 15);
    return o;
}

const std::vector<DirEntry> kListing = {
    F("b.txt", "999", "Jan 12", "12:00", "-rw-r--r--"),
    D("src", "4096", "Mar 3", "2003", "drwxr-xr-x"),
    F("A.bin", "1048576", "Dec 24", "18:30", "-rw-rw-r--"),
    F("c.dat", "5000000000", "Feb 1", "10:05", "-r--r--r--"),
    D("Docs", "4096", "Jan 1", "09:00", "drwx------"),
    F("_under", "10", "Mar 1", "08:00", "-rw-r--r--"),
};

struct Remote {
    TRemoteListModel model;
    TListSortProxy proxy;
    explicit Remote(int dateType = 0)
    {
        model.Fill(kListing, viewOptions(dateType));
        proxy.setSourceModel(&model);
    }
};

TEST(ListSort, StartsByNameAscendingFoldersFirst)
{
    Remote r;
    EXPECT_EQ(r.proxy.SortKey(), 0);
    // Upper-cased by character code: "_" (0x5F) comes after the letters.
    EXPECT_EQ(namesInOrder(r.proxy), (QStringList{"Docs", "src", "A.bin", "b.txt", "c.dat", "_under"}));
}

struct ClickRow {
    const char* name;
    std::vector<int> columns;  // clicked in this order
    int key;
    QStringList order;
};

void PrintTo(const ClickRow& r, std::ostream* os) { *os << r.name; }

class ColumnClicks : public ::testing::TestWithParam<ClickRow> {};

TEST_P(ColumnClicks, SortTheRemoteList)
{
    Remote r;
    for (int c : GetParam().columns)
        r.proxy.ColumnClick(c);
    EXPECT_EQ(r.proxy.SortKey(), GetParam().key);
    EXPECT_EQ(namesInOrder(r.proxy), GetParam().order);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ColumnClicks,
    ::testing::Values(
        ClickRow{"FilenameFirstClickDescends", {0}, -1, {"src", "Docs", "_under", "c.dat", "b.txt", "A.bin"}},
        ClickRow{"FilenameSecondClickAscends", {0, 0}, 1, {"Docs", "src", "A.bin", "b.txt", "c.dat", "_under"}},
        // Folders have no size: they keep their name order above the files.
        ClickRow{"SizeFirstClickSmallerFirst", {1}, -2, {"Docs", "src", "_under", "b.txt", "A.bin", "c.dat"}},
        ClickRow{"SizeSecondClickLargerFirst", {1, 1}, 2, {"Docs", "src", "c.dat", "A.bin", "b.txt", "_under"}},
        ClickRow{"DateFirstClickLaterFirst", {2}, -3, {"Docs", "src", "_under", "c.dat", "b.txt", "A.bin"}},
        ClickRow{"DateAfterSizeStartsAgain", {1, 1, 2}, -3, {"Docs", "src", "_under", "c.dat", "b.txt", "A.bin"}},
        ClickRow{"DateSecondClickEarlierFirst", {2, 2}, 3, {"src", "Docs", "A.bin", "b.txt", "c.dat", "_under"}},
        ClickRow{"TimeFirstClickDescends", {3}, -4, {"Docs", "src", "A.bin", "b.txt", "c.dat", "_under"}},
        ClickRow{"AttributesFirstClick", {4}, -5, {"src", "Docs", "A.bin", "b.txt", "_under", "c.dat"}},
        // Links has no tag: sorting falls back to names, ascending.
        ClickRow{"LinksSortsByName", {1, 5}, 0, {"Docs", "src", "A.bin", "b.txt", "c.dat", "_under"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListSort, ClickRuleOnKeys)
{
    EXPECT_EQ(NextSortKey(0, 1), -1);
    EXPECT_EQ(NextSortKey(-1, 1), 1);
    EXPECT_EQ(NextSortKey(1, 2), -2);
    EXPECT_EQ(NextSortKey(-2, 2), 2);
    EXPECT_EQ(NextSortKey(2, 3), -3);
    EXPECT_EQ(NextSortKey(-3, 0), 0);
    EXPECT_EQ(SortTagOfColumn(0), 1);
    EXPECT_EQ(SortTagOfColumn(4), 5);
    EXPECT_EQ(SortTagOfColumn(5), 0);
    EXPECT_EQ(SortTagOfColumn(-1), 0);
}

TEST(ListSort, MonthFirstDatesSortByDate)
{
    Remote r(1);
    r.proxy.SetSortKey(3);
    EXPECT_EQ(namesInOrder(r.proxy), (QStringList{"src", "Docs", "A.bin", "b.txt", "c.dat", "_under"}));
    EXPECT_EQ(r.proxy.data(r.proxy.index(2, 2)).toString(), "12.24.2025");
}

TEST(ListSort, RefillKeepsTheKeyAndSorts)
{
    Remote r;
    r.proxy.SetSortKey(-2);
    r.model.Fill({F("z", "1 000", "Jan 1", "10:00"), F("y", "2", "Jan 1", "10:00")}, viewOptions());
    EXPECT_EQ(namesInOrder(r.proxy), (QStringList{"y", "z"}));
    r.model.Clear();
    EXPECT_EQ(r.proxy.rowCount(), 0);
}

// The local list's rows carry only texts: sizes with group separators and
// dates in the DateType's order are read back from them.
TEST(ListSort, TextRowsSortBySizeAndDate)
{
    TextListModel local({
        {2, {"small", "999", "31.01.2024", "10:00"}},
        {2, {"big", "1 048 576", "01.02.2024", "09:00"}},
        {1, {"dir", "", "05.05.2020", "08:00"}},
        {2, {"mid", "1 000", "15.01.2023", "11:00"}},
        {2, {"nodate", "5", "", "12:00"}},
    });
    TListSortProxy proxy;
    proxy.setSourceModel(&local);
    proxy.SetSortKey(-2);
    EXPECT_EQ(namesInOrder(proxy), (QStringList{"dir", "nodate", "small", "mid", "big"}));
    proxy.SetSortKey(2);
    EXPECT_EQ(namesInOrder(proxy), (QStringList{"dir", "big", "mid", "small", "nodate"}));
    // Unreadable dates go first, whichever the direction.
    proxy.SetSortKey(3);
    EXPECT_EQ(namesInOrder(proxy), (QStringList{"dir", "nodate", "mid", "small", "big"}));
    proxy.SetSortKey(-3);
    EXPECT_EQ(namesInOrder(proxy), (QStringList{"dir", "nodate", "big", "small", "mid"}));
    // Read month first, "01.02.2024" is January 2nd and "31.01.2024" and
    // "15.01.2023" are no dates: they join the unreadable ones, by name.
    proxy.SetDateType(1);
    EXPECT_EQ(namesInOrder(proxy), (QStringList{"dir", "mid", "nodate", "small", "big"}));
}

TEST(ListSort, SizesThatAreNotNumbersGoFirstEitherWay)
{
    ListSortItem odd;
    odd.name = u"odd";
    ListSortItem big;
    big.name = u"big";
    big.hasSize = true;
    big.size = 1 << 30;
    big.index = 1;
    EXPECT_LT(CompareItems(odd, big, 2), 0);
    EXPECT_LT(CompareItems(odd, big, -2), 0);
    EXPECT_GT(CompareItems(big, odd, -2), 0);
}

TEST(ListSort, ReSortingByTheSameKeyKeepsEqualRowsInPlace)
{
    std::vector<DirEntry> same;
    for (int i = 0; i < 50; ++i)
        same.push_back(F(i % 2 ? "twin" : "TWIN", "7", "Jan 1", "10:00"));
    TRemoteListModel model;
    model.Fill(same, viewOptions());
    TListSortProxy proxy;
    proxy.setSourceModel(&model);
    for (int key : {2, -2, 3, -3, 1, -1}) {
        proxy.SetSortKey(key);
        for (int r = 0; r < proxy.rowCount(); ++r)
            ASSERT_EQ(proxy.mapToSource(proxy.index(r, 0)).row(), r) << "key " << key;
        proxy.SetSortKey(key);
        for (int r = 0; r < proxy.rowCount(); ++r)
            ASSERT_EQ(proxy.mapToSource(proxy.index(r, 0)).row(), r) << "again, key " << key;
    }
}

// The window's language files set titles on the view's model, the proxy,
// also while the list is still empty.
TEST(ListSort, TitlesSetThroughTheProxyLandInTheModelAndSurviveRefills)
{
    TRemoteListModel model;
    TListSortProxy proxy;
    proxy.setSourceModel(&model);
    ASSERT_TRUE(proxy.setHeaderData(1, Qt::Horizontal, QStringLiteral("Größe"), Qt::DisplayRole));
    model.Fill(kListing, viewOptions());
    proxy.ColumnClick(1);
    model.Clear();
    model.Fill(kListing, viewOptions());
    EXPECT_EQ(proxy.headerData(1, Qt::Horizontal).toString(), "Größe");
    EXPECT_EQ(model.ColumnTitles().value(1), "Größe");
}

TEST(ListSort, SelectionStaysOnItsRowsAcrossAReSort)
{
    Remote r;
    QItemSelectionModel selection(&r.proxy);
    const int row = 3;  // "b.txt" by name
    ASSERT_EQ(r.proxy.data(r.proxy.index(row, 0)).toString(), "b.txt");
    selection.select(r.proxy.index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    r.proxy.ColumnClick(1);
    const QModelIndexList rows = selection.selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].data().toString(), "b.txt");
}

// Sorting algorithms are undefined on a comparison that is not a strict weak
// ordering; check the properties on a random sample mixing every kind of
// value, unreadable ones included, for every key.
std::vector<ListSortItem> mixedSample()
{
    QRandomGenerator rng(20240307);
    static const char16_t* const names[] = {u"a", u"A", u"b", u"_", u"a1", u"", u"Zz", u"ä"};
    static const char16_t* const times[] = {u"", u"00:00", u"12:30", u"09:05"};
    static const char16_t* const attrs[] = {u"", u"drwxr-xr-x", u"-rw-r--r--", u"DRWXR-XR-X"};
    std::vector<ListSortItem> items;
    for (int i = 0; i < 60; ++i) {
        ListSortItem it;
        it.imageKind = int(rng.bounded(3));
        it.name = names[rng.bounded(8)];
        it.hasSize = rng.bounded(4) != 0;
        it.size = qint64(rng.bounded(4)) * 1000;
        if (rng.bounded(4) != 0)
            it.date = QDate(2020, 1, 1).addDays(rng.bounded(3));
        it.time = times[rng.bounded(4)];
        it.attributes = attrs[rng.bounded(4)];
        it.index = i;
        items.push_back(it);
    }
    return items;
}

const int kAllKeys[] = {0, 1, -1, 2, -2, 3, -3, 4, -4, 5, -5};

TEST(ListSort, IsAStrictWeakOrderingForEveryKey)
{
    const std::vector<ListSortItem> items = mixedSample();
    for (int key : kAllKeys) {
        const auto less = [key](const ListSortItem& a, const ListSortItem& b) { return CompareItems(a, b, key) < 0; };
        for (const auto& a : items) {
            ASSERT_FALSE(less(a, a)) << "irreflexive, key " << key;
            for (const auto& b : items) {
                const int ab = CompareItems(a, b, key), ba = CompareItems(b, a, key);
                ASSERT_EQ(ab < 0, ba > 0) << "antisymmetric, key " << key << " rows " << a.index << "," << b.index;
                ASSERT_EQ(ab == 0, a.index == b.index) << "ties only for the same row, key " << key;
                if (!less(a, b))
                    continue;
                for (const auto& c : items) {
                    if (less(b, c)) {
                        ASSERT_TRUE(less(a, c)) << "transitive, key " << key << " rows " << a.index << ","
                                                << b.index << "," << c.index;
                    }
                }
            }
        }
    }
}

// The remote list compares name orders worked out once per listing instead of
// the names: both must give the same order.
TEST(ListSort, NameOrdersSortLikeTheNames)
{
    const std::vector<ListSortItem> byText = mixedSample();
    std::vector<ListSortItem> byOrder = byText;
    SetNameOrders(byOrder.data(), byOrder.size());
    EXPECT_GE(byOrder[0].nameOrder, 0);
    for (int key : kAllKeys) {
        std::vector<ListSortItem> a = byText, b = byOrder;
        std::sort(a.begin(), a.end(), [key](const auto& x, const auto& y) { return CompareItems(x, y, key) < 0; });
        std::sort(b.begin(), b.end(), [key](const auto& x, const auto& y) { return CompareItems(x, y, key) < 0; });
        for (size_t i = 0; i < a.size(); ++i)
            ASSERT_EQ(a[i].index, b[i].index) << "key " << key << " place " << i;
    }
}

} // namespace
