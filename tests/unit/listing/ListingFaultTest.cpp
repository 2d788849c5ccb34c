// Regression tests for readings that used to go wrong: each is named after
// what the user would have seen.
#include "ListingTestUtil.h"

#include "listing/ListingDate.h"

namespace {

const QDate kToday(2026, 12, 8);

QDate entryDate(const DirEntry& e)
{
    return ParseListingDate(e.date() + ' ' + e.time(), 0.0, kToday).date;
}

TEST(ListingFaults, VmsEntryShowsItsRealDate)
{
    const auto entries =
        parse(5, {"FOO.TXT;1              1/3      24-DEC-2003 10:00:23  [SMITH]   (RWE,RWE,RE,RE)",
                  "BAR.TXT;2              1/3       2-MAR-2021 23:59:00  [SMITH]   (RWE,RWE,RE,RE)"});
    ASSERT_EQ(entries.size(), 2u);
    const ListingDateTime foo = ParseListingDate(entries[0].date() + ' ' + entries[0].time(), 0.0, kToday);
    EXPECT_EQ(foo.date, QDate(2003, 12, 24));
    EXPECT_EQ(foo.time, QTime(10, 0, 23)) << "seconds kept, as a mirror run compares them";
    EXPECT_EQ(entryDate(entries[1]), QDate(2021, 3, 2)) << "day first: 2 March, not 3 February";
}

TEST(ListingFaults, LastColumnNameKeepsItsSpaces)
{
    EXPECT_EQ(parse(2, {"12-24-03  02:15PM       <DIR>          Program Files"}).at(0).name(), "Program Files");
    EXPECT_EQ(parse(2, {"12-24-03  02:15PM        12 a  b  c.txt"}).at(0).name(), "a  b  c.txt");
    EXPECT_EQ(parse(3, {"drwxrwxr-x  folder 2 May 10  1996 Program Files"}).at(0).name(), "Program Files");
    const ListingFormat custom = ListingFormat::fromAnswer(u"4956781");
    EXPECT_EQ(parseListingEntries({"drwxr-xr-x 2 o g 4096 Jan 12 12:00 Program Files"}, custom).entries.at(0).name(),
              "Program Files");
}

TEST(ListingFaults, SeparatorInNameSurvivesTextForm)
{
    DirEntry e = F("a\u00A6b", "12", "Jan 1", "10:00", "lrwxrwxrwx", "target\u00A6x\u0010y");
    const QString text = e.toText();
    EXPECT_EQ(text.count(kDirEntrySeparator), 6) << "still seven fields";
    EXPECT_EQ(DirEntry::fromText(text), e);
    // Entries without the separator keep the plain seven-field form.
    const DirEntry plain = D("My Dir", "", "Jan 1", "10:00", "drwxr-xr-x");
    EXPECT_EQ(plain.toText(), QString("0\u00A6My Dir\u00A6\u00A6Jan 1\u00A610:00\u00A6drwxr-xr-x\u00A6"));
    EXPECT_EQ(DirEntry::fromText(plain.toText()), plain);
    // And through the parser: a name with the separator comes back whole.
    QStringList lines{QString("-rw-r--r-- 1 o g 5 Jan 1 10:00 odd\u00A6name")};
    QString dir;
    ParseListing(lines, dir, ListingFormat::ofType(0));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(DirEntry::fromText(lines[0]).name(), QString("odd\u00A6name"));
}

TEST(ListingFaults, LinkListedBeforeItsFileTargetIsAFile)
{
    const auto entries = parse(7, {"lrwxrwxrwx 1 o g 9 Jan 1 10:00 linkfile -> plain.txt",
                                   "lrwxrwxrwx 1 o g 9 Jan 1 10:00 chain -> linkfile",
                                   "lrwxrwxrwx 1 o g 9 Jan 1 10:00 loop1 -> loop2",
                                   "lrwxrwxrwx 1 o g 9 Jan 1 10:00 loop2 -> loop1",
                                   "-rw-r--r-- 1 o g 6 Jan 1 10:00 plain.txt",
                                   "lrwxrwxrwx 1 o g 9 Jan 1 10:00 dotlink -> ./plain.txt"});
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_FALSE(entries[5].directory) << "./plain.txt names the same file";
    EXPECT_FALSE(entries[0].directory);
    EXPECT_EQ(entries[0].size(), "9");
    EXPECT_FALSE(entries[1].directory) << "a link to a link to a file is a file";
    EXPECT_TRUE(entries[2].directory) << "a cycle stays a directory";
    EXPECT_TRUE(entries[3].directory);
    EXPECT_TRUE(entries[2].size().isEmpty());
}

TEST(ListingFaults, LinkListedAfterItsTargetTakesTheTargetsKind)
{
    // Names before the first link and after it reach the link table by
    // different ways; a target named twice counts by its first entry.
    const auto entries = parse(7, {"-rw-r--r-- 1 o g 6 Jan 1 10:00 early.txt",
                                   "drwxr-xr-x 1 o g 6 Jan 1 10:00 twice",
                                   "lrwxrwxrwx 1 o g 9 Jan 1 10:00 a -> early.txt",
                                   "lrwxrwxrwx 1 o g 9 Jan 1 10:00 b -> ./early.txt",
                                   "lrwxrwxrwx 1 o g 9 Jan 1 10:00 c -> twice",
                                   "lrwxrwxrwx 1 o g 9 Jan 1 10:00 d -> late.txt",
                                   "-rw-r--r-- 1 o g 6 Jan 1 10:00 twice",
                                   "-rw-r--r-- 1 o g 6 Jan 1 10:00 late.txt"});
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_FALSE(entries[2].directory) << "a: its file is listed before it";
    EXPECT_FALSE(entries[3].directory) << "b: the same file through ./";
    EXPECT_TRUE(entries[4].directory) << "c: the first entry named twice is a directory";
    EXPECT_TRUE(entries[4].size().isEmpty());
    EXPECT_FALSE(entries[5].directory) << "d: its file is listed after it";
    EXPECT_EQ(entries[5].size(), "9");
}

TEST(ListingFaults, TenDigitSizeInFixedColumnsIsReadWhole)
{
    for (int type : {6, 8}) {
        const auto entries = parse(type, {"12-24-03  02:15PM           3221225472 big.iso",
                                          "12-24-03  02:15PM         123456789012 huge.img",
                                          "12-24-03  02:15PM            999999999 small.bin"});
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(entries[0].size(), "3221225472") << "type " << type;
        EXPECT_EQ(entries[0].name(), "big.iso");
        EXPECT_EQ(entries[1].size(), "123456789012");
        EXPECT_EQ(entries[2].size(), "999999999");
    }
}

TEST(ListingFaults, SizeBeyondTwoGigabytesStillFindsGroupColumn)
{
    const auto entries = parse(0, {"-rw-r--r-- 1 owner group 5368709120 Jan 12 12:00 disk.img"});
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size(), "5368709120");
    EXPECT_EQ(entries[0].date(), "Jan 12");
    EXPECT_EQ(entries[0].name(), "disk.img");
}

TEST(ListingFaults, MsFtp4EntryShowsItsRealDateAndTime)
{
    const auto entries = parse(2, {"12-24-03  02:15PM                 1234 a.txt", "02-01-2021  09:05AM  <DIR>  d"});
    ASSERT_EQ(entries.size(), 2u);
    const ListingDateTime a = ParseListingDate(entries[0].date() + ' ' + entries[0].time(), 0.0, kToday);
    EXPECT_EQ(a.date, QDate(2003, 12, 24));
    EXPECT_EQ(a.time, QTime(14, 15));
    EXPECT_EQ(entryDate(entries[1]), QDate(2021, 2, 1)) << "four-digit years too";
}

TEST(ListingFaults, YearNinetyNineIsNineteenNinetyNine)
{
    EXPECT_EQ(ParseListingDate("12 31 99 11:00PM", 0.0, kToday).date, QDate(1999, 12, 31));
    EXPECT_EQ(ParseListingDate("Dec 31 99", 0.0, kToday).date, QDate(1999, 12, 31));
    EXPECT_EQ(ParseListingDate("12 31 09 11:00PM", 0.0, kToday).date, QDate(2009, 12, 31));
}

} // namespace
