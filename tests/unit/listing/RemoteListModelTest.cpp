// The remote file list's rows: what each kind of site shows, the mask, the
// zone shift, the date order, unsafe names, titles.
#include "ListingTestUtil.h"
#include "listing/RemoteListModel.h"

#include <gtest/gtest.h>

namespace {

const QDate kToday(2026, 3, 15);

RemoteViewOptions options(const char* answer = "0957681", const char* mask = "*.*", int dateType = 0)
{
    RemoteViewOptions o;
    o.answer = QString::fromUtf8(answer);
    o.mask = QString::fromUtf8(mask);
    o.dateType = dateType;
    o.today = kToday;
    return o;
}

// One row as the view shows it: the six columns joined by "|".
QString shown(const TRemoteListModel& m, int row)
{
    QStringList cells;
    for (int c = 0; c < m.columnCount(); ++c)
        cells << m.data(m.index(row, c)).toString();
    return cells.join(QLatin1Char('|'));
}

QStringList allShown(const TRemoteListModel& m)
{
    QStringList rows;
    for (int r = 0; r < m.rowCount(); ++r)
        rows << shown(m, r);
    return rows;
}

const std::vector<DirEntry> kListing = {
    F("notes.txt", "1234567", "Jan 12", "12:00", "-rw-r--r--"),
    D("pub", "4096", "Mar 3", "2003", "drwxr-xr-x"),
    F("archive.tar.txt", "5000000000", "Dec 24", "18:30", "-rw-r--r--"),
    F("link.txt", "3", "Feb 1", "10:05", "lrwxrwxrwx", "notes.txt"),
    F("odd size", "<?>", "Jan 1", "00:00", "-rw-r--r--"),
};

TEST(RemoteListModel, DefaultKindShowsEveryColumn)
{
    TRemoteListModel m;
    m.Fill(kListing, options());
    EXPECT_EQ(m.ViewKind(), 0);
    EXPECT_EQ(m.columnCount(), 6);
    EXPECT_EQ(allShown(m), (QStringList{
                               "notes.txt|1 234 567|12.01.2026|12:00|-rw-r--r--|",
                               "pub||03.03.2003|00:00|drwxr-xr-x|",
                               "archive.tar.txt|5 000 000 000|24.12.2025|18:30|-rw-r--r--|",
                               "link.txt|3|01.02.2026|10:05|lrwxrwxrwx|notes.txt",
                               "odd size|<?>|01.01.2026|00:00|-rw-r--r--|",
                           }));
    EXPECT_EQ(m.data(m.index(1, 0), listrole::ImageKind).toInt(), 1);
    EXPECT_EQ(m.data(m.index(0, 0), listrole::ImageKind).toInt(), 2);
    EXPECT_EQ(m.data(m.index(2, 1), listrole::SortValue).toLongLong(), 5000000000LL);
    EXPECT_FALSE(m.data(m.index(4, 1), listrole::SortValue).isValid());
    EXPECT_EQ(m.data(m.index(2, 2), listrole::SortValue).toDate(), QDate(2025, 12, 24));
    EXPECT_EQ(m.data(m.index(0, 1), Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_EQ(m.Size(2), 5000000000LL);
    EXPECT_EQ(m.Size(1), 0);  // a directory
    EXPECT_EQ(m.Size(4), 0);  // not a number
    EXPECT_EQ(m.Entry(3).linkTarget(), "notes.txt");
    EXPECT_EQ(m.SourceIndex(3), 3);
}

TEST(RemoteListModel, MonthFirstDateType)
{
    TRemoteListModel m;
    m.Fill(kListing, options("0957681", "*.*", 1));
    EXPECT_EQ(m.data(m.index(0, 2)).toString(), "01.12.2026");
    EXPECT_EQ(m.data(m.index(2, 2)).toString(), "12.24.2025");
}

TEST(RemoteListModel, TextKindShowsNamesOnlyAndIgnoresTheMask)
{
    TRemoteListModel m;
    m.Fill(kListing, options("1957681", "*.doc"));
    EXPECT_EQ(m.ViewKind(), 1);
    EXPECT_EQ(allShown(m), (QStringList{"notes.txt|||||", "pub|||||", "archive.tar.txt|||||", "link.txt|||||",
                                        "odd size|||||"}));
    EXPECT_FALSE(m.data(m.index(0, 1), listrole::SortValue).isValid());
    EXPECT_FALSE(m.data(m.index(0, 2), listrole::SortValue).isValid());
}

TEST(RemoteListModel, ViewKindIsTheAnswersTypeDigit)
{
    EXPECT_EQ(ViewKind(QString()), 0);
    EXPECT_EQ(ViewKind(QStringLiteral("7957681")), 7);
    EXPECT_EQ(ViewKind(QStringLiteral("1")), 1);
    EXPECT_EQ(ViewKind(QStringLiteral("x957681")), 0);
    // Every other kind shows all columns.
    for (const char* answer : {"2", "5", "9"}) {
        TRemoteListModel m;
        m.Fill(kListing, options(answer));
        EXPECT_EQ(shown(m, 0), "notes.txt|1 234 567|12.01.2026|12:00|-rw-r--r--|") << answer;
    }
}

TEST(RemoteListModel, MaskHidesFilesButNeverDirectories)
{
    TRemoteListModel m;
    m.Fill(kListing, options("0957681", "*.txt"));
    QStringList names;
    for (int r = 0; r < m.rowCount(); ++r)
        names << m.Entry(r).name();
    EXPECT_EQ(names, (QStringList{"notes.txt", "pub", "link.txt"}));
    EXPECT_EQ(m.SourceIndex(2), 3);  // rows keep their place in the listing
    m.Fill(kListing, options("0957681", "*.pdf"));
    ASSERT_EQ(m.rowCount(), 1);
    EXPECT_EQ(m.Entry(0).name(), "pub");
    EXPECT_EQ(m.FirstFileRow(), -1);
}

TEST(RemoteListModel, ZoneDifferenceShiftsDateAndTimeOnce)
{
    const std::vector<DirEntry> listing = {F("a", "1", "Jan 12", "01:30"), F("b", "1", "Jan 12", "2020")};
    TRemoteListModel m;
    RemoteViewOptions o = options();
    o.siteTimeZone = 5.30;
    o.localTimeZone = 0.45;  // 4:45 apart, not "4.85"
    m.Fill(listing, o);
    EXPECT_EQ(shown(m, 0), "a|1|11.01.2026|20:45||");
    EXPECT_EQ(shown(m, 1), "b|1|12.01.2020|00:00||");  // no time: no shift
    o.siteTimeZone = -3.00;
    o.localTimeZone = 2.00;
    m.Fill(listing, o);
    EXPECT_EQ(shown(m, 0), "a|1|12.01.2026|06:30||");
}

TEST(RemoteListModel, UnreadableDatesShowToday)
{
    TRemoteListModel m;
    m.Fill({F("x", "1", "", ""), F("y", "1", "Foo 99", "")}, options());
    EXPECT_EQ(m.data(m.index(0, 2)).toString(), "15.03.2026");
    EXPECT_EQ(m.data(m.index(1, 2)).toString(), "15.03.2026");
}

TEST(RemoteListModel, UnsafeNamesAreDroppedAndCounted)
{
    std::vector<DirEntry> listing = {
        F("ok.txt", "1", "Jan 1", "10:00"), F("", "1", "Jan 1", "10:00"), D("../etc", "", "Jan 1", "10:00"),
        F("a/b", "1", "Jan 1", "10:00"),    F("fine", "2", "Jan 1", "10:00"),
    };
    listing.push_back(F("x", "1", "Jan 1", "10:00"));
    listing.back().setName(QString::fromUtf16(u"nul\0here", 8));
    for (const char* answer : {"0", "1"}) {
        TRemoteListModel m;
        m.Fill(listing, options(answer));
        ASSERT_EQ(m.rowCount(), 2) << answer;
        EXPECT_EQ(m.Entry(0).name(), "ok.txt");
        EXPECT_EQ(m.Entry(1).name(), "fine");
        EXPECT_EQ(m.DroppedCount(), 4);
        EXPECT_EQ(m.DroppedNames(), (QStringList{"", "../etc", "a/b", "nul\\0here"}));
    }
    // A flood of them is counted in full, named in part; the next fill starts afresh.
    std::vector<DirEntry> flood(100, F("a/b", "1", "Jan 1", "10:00"));
    TRemoteListModel m;
    m.Fill(flood, options());
    EXPECT_EQ(m.DroppedCount(), 100);
    EXPECT_EQ(m.DroppedNames().size(), TRemoteListModel::kMaxDroppedNames);
    m.Fill(kListing, options());
    EXPECT_EQ(m.DroppedCount(), 0);
    EXPECT_TRUE(m.DroppedNames().isEmpty());
}

TEST(RemoteListModel, FirstFileRowAndWidestCaption)
{
    TRemoteListModel m;
    m.Fill({D("d1", "", "Jan 1", "10:00"), D("a much longer folder", "", "Jan 1", "10:00"),
            F("f", "1", "Jan 1", "10:00"), F("g", "1", "Jan 1", "10:00")},
           options());
    EXPECT_EQ(m.FirstFileRow(), 2);
    EXPECT_EQ(m.WidestCaption(), "a much longer folder");
    m.Fill(std::vector<DirEntry>{}, options());
    EXPECT_EQ(m.rowCount(), 0);
    EXPECT_EQ(m.FirstFileRow(), -1);
    EXPECT_EQ(m.WidestCaption(), "");
}

TEST(RemoteListModel, TextFormOfTheListingFillsTheSame)
{
    QStringList texts;
    for (const DirEntry& e : kListing)
        texts << e.toText();
    TRemoteListModel fromEntries, fromTexts;
    fromEntries.Fill(kListing, options());
    fromTexts.Fill(texts, options());
    EXPECT_EQ(allShown(fromTexts), allShown(fromEntries));
}

TEST(RemoteListModel, TitlesSurviveRefillAndClear)
{
    TRemoteListModel m;
    const QStringList german{"Dateiname", "Größe", "Datum", "Zeit", "Attribute", "Verweise"};
    m.SetColumnTitles(german);
    // The language files set one title at a time.
    EXPECT_TRUE(m.setHeaderData(5, Qt::Horizontal, QStringLiteral("Links (de)"), Qt::DisplayRole));
    EXPECT_FALSE(m.setHeaderData(6, Qt::Horizontal, QStringLiteral("x"), Qt::DisplayRole));
    int resets = 0;
    QObject::connect(&m, &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    m.Fill(kListing, options());
    m.Clear();
    m.Fill(kListing, options());
    EXPECT_EQ(resets, 3);
    QStringList titles;
    for (int c = 0; c < m.columnCount(); ++c)
        titles << m.headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, (QStringList{"Dateiname", "Größe", "Datum", "Zeit", "Attribute", "Links (de)"}));
    EXPECT_EQ(m.ColumnTitles(), titles);
}

TEST(RemoteListModel, DecorationsFollowTheImageKind)
{
    TRemoteListModel m;
    m.SetImageDecorations({QStringLiteral("up"), QStringLiteral("folder"), QStringLiteral("file")});
    m.Fill(kListing, options());
    EXPECT_EQ(m.data(m.index(0, 0), Qt::DecorationRole).toString(), "file");
    EXPECT_EQ(m.data(m.index(1, 0), Qt::DecorationRole).toString(), "folder");
    EXPECT_FALSE(m.data(m.index(1, 1), Qt::DecorationRole).isValid());
}

} // namespace
