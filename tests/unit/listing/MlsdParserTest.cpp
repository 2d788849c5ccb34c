// Machine listings: one named row per line shape, raw lines in, the exact
// entries out, with the number of lines left out and facts dropped.
#include "ListingTestUtil.h"
#include "listing/ListingDate.h"
#include "listing/ListingText.h"
#include "listing/MlsdParser.h"
#include "listing/RemoteListModel.h"

#include <QDateTime>
#include <QTimeZone>

namespace {

struct Row {
    const char* name;
    QStringList lines;
    std::vector<DirEntry> expected;
    std::size_t skipped = 0;
    std::size_t badFacts = 0;
    int zoneSeconds = 0;
};

std::vector<Row> rows()
{
    return {
        {"FileAndDirectory",
         {"type=file;size=1234;modify=20240131235959; readme.txt", "type=dir;sizd=4096;modify=20230102030405; pub"},
         {F("readme.txt", "1234", "31.01.2024", "23:59:59"), D("pub", "4096", "02.01.2023", "03:04:05")}},
        {"FactsInAnyOrderAndAnyCase",
         {"Modify=20240131235959;SIZE=7;Type=FILE; a", "size=8;TYPE=Dir;modify=20240101000000; b"},
         {F("a", "7", "31.01.2024", "23:59:59"), D("b", "8", "01.01.2024", "00:00:00")}},
        {"UnknownFactsIgnored",
         {"type=file;unique=803U1A;UNIX.owner=ftp;lang=en;x.custom=1;size=3; a",
          "type=file;;noequals;=novalue;size=4; b"},
         {F("a", "3", "", ""), F("b", "4", "", "")}},
        {"MissingFactsLeaveFieldsEmpty",
         {"type=file; bare", "type=dir; folder"},
         {F("bare", "", "", ""), D("folder", "", "", "")}},
        {"NamesKeepSpacesSemicolonsAndEquals",
         {"type=file;size=1; my file.txt", "type=file;size=2; a;b=c; d", "type=file;size=3;  leading space",
          "type=file;size=4; trailing space ", "type=dir; x\u00a6y"},
         {F("my file.txt", "1", "", ""), F("a;b=c; d", "2", "", ""), F(" leading space", "3", "", ""),
          F("trailing space ", "4", "", ""), D("x\u00a6y", "", "", "")}},
        {"CdirPdirAndDotsDropped",
         {"type=cdir;modify=20240101000000; /home/me", "type=pdir;modify=20240101000000; /home",
          "type=dir; .", "type=dir; ..", "type=file;size=1; kept"},
         {F("kept", "1", "", "")}},
        {"UnixModeGivesAttributes",
         {"type=file;UNIX.mode=0644;perm=adfrw; a", "type=dir;UNIX.mode=755; b", "type=file;unix.mode=4755; c",
          "type=file;UNIX.mode=2644; d", "type=dir;UNIX.mode=1777; tmp"},
         {F("a", "", "", "", "-rw-r--r--"), D("b", "", "", "", "drwxr-xr-x"), F("c", "", "", "", "-rwsr-xr-x"),
          F("d", "", "", "", "-rw-r-Sr--"), D("tmp", "", "", "", "drwxrwxrwt")}},
        {"PermLettersWithoutMode",
         {"type=file;perm=adfrw; a", "type=dir;perm=lr; b"},
         // "(lr)", never "lr": a text starting with "l" marks a link.
         {F("a", "", "", "", "(adfrw)"), D("b", "", "", "", "(lr)")}},
        {"LinksWithAndWithoutTargets",
         {"type=OS.unix=slink:a.txt;size=5;UNIX.mode=0777; to-file", "type=file;size=5; a.txt",
          "type=OS.unix=slink:/pub/docs;size=9; to-dir", "type=OS.unix=slink;size=9; nowhere",
          "type=os.unix=symlink:a.txt; other"},
         {F("to-file", "5", "", "", "lrwxrwxrwx", "a.txt"), F("a.txt", "5", "", ""),
          D("to-dir", "", "", "", "l", "/pub/docs"), D("nowhere", "", "", "", "l"), F("other", "", "", "", "l", "a.txt")}},
        {"UtcMovedIntoTheZone_AcrossMidnight",
         {"type=file;modify=20231231220000; east", "type=file;modify=20240101013000.123; fraction"},
         {F("east", "", "01.01.2024", "03:30:00"), F("fraction", "", "01.01.2024", "07:00:00")},
         0, 0, 5 * 3600 + 30 * 60},
        {"UtcMovedIntoANegativeZone",
         {"type=file;modify=20240301003000; leap"},
         {F("leap", "", "29.02.2024", "21:30:00")},
         0, 0, -3 * 3600},
        {"LeapSecondIsTheLastOfItsMinute",
         {"type=file;modify=20161231235960; leap"},
         {F("leap", "", "31.12.2016", "23:59:59")}},
        {"BadLinesSkipped",
         {"type=file;size=1;noname", "type=file;size=1; ", "size=1; untyped", "type=OS.unix=chr-1/3; device",
          "", "   ", "type=file;size=2; good"},
         {F("good", "2", "", "")},
         4, 0},
        {"HugeNegativeAndOddSizesDropped",
         {"type=file;size=99999999999999999999; huge", "type=file;size=-1; negative", "type=file;size=1 2; x",
          "type=file;size=+5; plus", "type=file;size=9223372036854775807; largest",
          "type=file;size=9223372036854775808; past"},
         {F("huge", "", "", ""), F("negative", "", "", ""), F("2; x", "1", "", ""), F("plus", "", "", ""),
          F("largest", "9223372036854775807", "", ""), F("past", "", "", "")},
         0, 4},
        {"BadDatesDropped",
         {"type=file;modify=2024013123595; short", "type=file;modify=20240230120000; feb30",
          "type=file;modify=20241301120000; month13", "type=file;modify=20240101250000; hour25",
          "type=file;modify=2024010112000x; letter", "type=file;modify=20240101120000.; dot",
          "type=file;modify=00010101000000; year1", "type=file;modify=20240101120000Z; zulu"},
         {F("short", "", "", ""), F("feb30", "", "", ""), F("month13", "", "", ""), F("hour25", "", "", ""),
          F("letter", "", "", ""), F("dot", "", "", ""), F("year1", "", "", ""), F("zulu", "", "", "")},
         0, 8},
        {"BadModeFallsBackToPerm",
         {"type=file;UNIX.mode=0x1ff;perm=r; a"},
         {F("a", "", "", "", "(r)")},
         0, 1},
        {"CarriageReturnsAtLineEnds",
         {"type=file;size=1; a\r", "type=dir; b\r\n"},
         {F("a", "1", "", ""), D("b", "", "", "")}},
    };
}

class MlsdRows : public ::testing::TestWithParam<Row> {};

TEST_P(MlsdRows, GivesExactEntries)
{
    const Row& r = GetParam();
    const MlsdListing got = ParseMlsdLines(r.lines, r.zoneSeconds);
    EXPECT_EQ(got.entries, r.expected);
    EXPECT_EQ(got.skipped, r.skipped) << got.problems.join('\n').toStdString();
    EXPECT_EQ(got.badFacts, r.badFacts) << got.problems.join('\n').toStdString();
    EXPECT_EQ(std::size_t(got.problems.size()), r.skipped + r.badFacts);
    EXPECT_EQ(got.Summary().isEmpty(), r.skipped + r.badFacts == 0);
    // The text form the session keeps reads back to the same entry.
    for (const DirEntry& e : got.entries)
        EXPECT_EQ(DirEntry::fromText(e.toText()), e) << e.toText().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Shapes, MlsdRows, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

TEST(MlsdProblems, NameTheLineAndTheReason)
{
    const MlsdListing got = ParseMlsdLines({"type=file; ok", "type=file;size=1;noname", "size=1; untyped",
                                            "type=file;size=-3; neg", "type=fifo; pipe"});
    ASSERT_EQ(got.problems.size(), 4);
    EXPECT_EQ(got.problems[0], "line 2: no space before the name: type=file;size=1;noname");
    EXPECT_EQ(got.problems[1], "line 3: no type fact: size=1; untyped");
    EXPECT_EQ(got.problems[2], "line 4: the size is no byte count: type=file;size=-3; neg");
    EXPECT_EQ(got.problems[3], "line 5: neither a file, a directory nor a link: type=fifo; pipe");
    EXPECT_EQ(got.Summary(), "MLSD listing: 3 line(s) left out, 1 fact(s) dropped (" + got.problems.join("; ") + ")");
}

TEST(MlsdProblems, AreCappedAndEscapedButAllCounted)
{
    QStringList lines;
    for (int i = 0; i < 1000; ++i)
        lines << QStringLiteral("garbage\x1b[2J%1").arg(i);
    lines << QString(5000, QLatin1Char('x'));
    const MlsdListing got = ParseMlsdLines(lines);
    EXPECT_TRUE(got.entries.empty());
    EXPECT_EQ(got.skipped, 1001u);
    ASSERT_EQ(got.problems.size(), MlsdListing::kMaxProblems);
    EXPECT_EQ(got.problems[0], "line 1: no space before the name: garbage\\x1b[2J0");
    EXPECT_TRUE(got.Summary().endsWith("; ...)"));
}

TEST(MlsdBytes, DecodeEachLineAsUtf8OrLatin1)
{
    // One name in UTF-8, one in Latin-1, LF and CRLF line ends.
    const QByteArray data = "type=file;size=1; gr\xc3\xbc\xc3\x9f.txt\r\ntype=file;size=2; caf\xe9\n";
    const MlsdListing got = ParseMlsd(data);
    ASSERT_EQ(got.entries.size(), 2u);
    EXPECT_EQ(got.entries[0].name(), QString::fromUtf8("gr\xc3\xbc\xc3\x9f.txt"));
    EXPECT_EQ(got.entries[1].name(), QString::fromLatin1("caf\xe9"));
}

// The parser writes times in the site's zone; the pane moves them from the
// site's zone to the local one and the transfer code reads them the same
// way. Together the exact UTC second must come out, shifted once.
TEST(MlsdTimes, ReachThePaneAndTheFileTimeExactly)
{
    const int siteZone = 5 * 3600 + 30 * 60;  // the site says +5:30
    const MlsdListing got = ParseMlsdLines({"type=file;size=1;modify=20240615081530; f"}, siteZone);
    ASSERT_EQ(got.entries.size(), 1u);
    const DirEntry& e = got.entries[0];
    const QDateTime utc(QDate(2024, 6, 15), QTime(8, 15, 30), Qt::UTC);

    // Read back in the site's zone: the exact instant, seconds included.
    const ListingDateTime read = ParseListingDate(e.date() + ' ' + e.time(), 0.0, QDate(2024, 7, 1));
    ASSERT_TRUE(read.hasTime);
    EXPECT_EQ(QDateTime(read.date, read.time, QTimeZone(siteZone)), utc);

    // The pane of a user at +1:00 shows 09:15.
    TRemoteListModel model;
    RemoteViewOptions view;
    view.siteTimeZone = 5.30;
    view.localTimeZone = 1.00;
    view.today = QDate(2024, 7, 1);
    model.Fill(got.entries, view);
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.data(model.index(0, TRemoteListModel::ColDate)).toString(), "15.06.2024");
    EXPECT_EQ(model.data(model.index(0, TRemoteListModel::ColTime)).toString(), "09:15");
}

TEST(MlsdTimes, DatesReadDayFirstWhateverTheDay)
{
    // 02.03 must stay the 2nd of March, never become February 3rd.
    QString date, time;
    ASSERT_TRUE(MlsdTimeToEntryTexts(u"20250302101112", 0, date, time));
    EXPECT_EQ(date, "02.03.2025");
    EXPECT_EQ(time, "10:11:12");
    const ListingDateTime read = ParseListingDate(date + ' ' + time, 0.0, QDate(2026, 1, 1));
    EXPECT_EQ(read.date, QDate(2025, 3, 2));
    EXPECT_EQ(read.time, QTime(10, 11, 12));
    // The last day there is, moved east, still reads.
    ASSERT_TRUE(MlsdTimeToEntryTexts(u"99991231230000", 7200, date, time));
    EXPECT_EQ(ParseListingDate(date + ' ' + time, 0.0, QDate(2026, 1, 1)).date, QDate(10000, 1, 1));
}

TEST(MlsdModes, OctalModesBecomeLetters)
{
    EXPECT_EQ(MlsdModeToAttributes(u"0", QLatin1Char('-')), "----------");
    EXPECT_EQ(MlsdModeToAttributes(u"7777", QLatin1Char('d')), "drwsrwsrwt");
    EXPECT_EQ(MlsdModeToAttributes(u"7000", QLatin1Char('-')), "---S--S--T");
    EXPECT_EQ(MlsdModeToAttributes(u"0100644", QLatin1Char('-')), "-rw-r--r--");  // a whole st_mode
    EXPECT_EQ(MlsdModeToAttributes(u"0o755", QLatin1Char('d')), "drwxr-xr-x");    // as pyftpdlib writes it
    EXPECT_EQ(MlsdModeToAttributes(u"0o", QLatin1Char('d')), "");
    EXPECT_EQ(MlsdModeToAttributes(u"", QLatin1Char('-')), "");
    EXPECT_EQ(MlsdModeToAttributes(u"8", QLatin1Char('-')), "");
    EXPECT_EQ(MlsdModeToAttributes(u"12345678", QLatin1Char('-')), "");
}

TEST(MlsdLinks, ClassifyInLinearSteps)
{
    // Every entry a link to the next, the last to a file: all are files,
    // and the work stays a small multiple of the entries.
    QStringList lines;
    const int n = 2000;
    for (int i = 0; i < n; ++i)
        lines << QStringLiteral("type=OS.unix=slink:n%1;size=1; n%2").arg(i + 1).arg(i);
    lines << QStringLiteral("type=file;size=10; n%1").arg(n);
    const MlsdListing got = ParseMlsdLines(lines);
    ASSERT_EQ(got.entries.size(), size_t(n + 1));
    for (const DirEntry& e : got.entries)
        EXPECT_FALSE(e.directory) << e.name().toStdString();
    EXPECT_LE(got.linkSteps, size_t(5 * (n + 1)));
}

} // namespace
