// One named row per server type and listing shape: raw lines in, the exact
// entries (and VMS directory) out.
#include "ListingTestUtil.h"

#include <QDate>

namespace {

struct Row {
    const char* name;
    QString answer;  // type digit, plus column positions for the custom type
    QStringList lines;
    std::vector<DirEntry> expected;
    QString directory = {};
};

std::vector<Row> rows()
{
    return {
        {"Default_WithGroupColumn", "0",
         {"total 12", "-rw-r--r--   1 owner   group   1234 Jan 12 12:00 my file.txt",
          "drwxr-xr-x   2 owner   group   4096 Mar  3  2003 pub"},
         {F("my file.txt", "1234", "Jan 12", "12:00", "-rw-r--r--"),
          D("pub", "4096", "Mar 3", "2003", "drwxr-xr-x")}},
        {"Default_WithoutGroupColumn", "0",
         {"-rw-r--r--   1 owner   1234 Jan 12 12:00 a", "drwxr-xr-x 2 owner 512 Feb 28 09:15 two words"},
         {F("a", "1234", "Jan 12", "12:00", "-rw-r--r--"),
          D("two words", "512", "Feb 28", "09:15", "drwxr-xr-x")}},
        {"Default_NumericOwnerAndGroup", "0",
         {"drwxr-xr-x    2 0        0            4096 Dec 08 18:00 dir"},
         {D("dir", "4096", "Dec 08", "18:00", "drwxr-xr-x")}},
        {"Default_Links", "0",
         {"lrwxrwxrwx 1 o g 7 Jan 1 10:00 docs -> pub/docs", "lrwxrwxrwx 1 o g 3 Jan 1 10:00 f -> a.txt",
          "-rw-r--r-- 1 o g 3 Jan 1 10:00 a.txt"},
         {D("docs", "", "Jan 1", "10:00", "lrwxrwxrwx", "pub/docs"),
          F("f", "3", "Jan 1", "10:00", "lrwxrwxrwx", "a.txt"), F("a.txt", "3", "Jan 1", "10:00", "-rw-r--r--")}},
        {"Default_DotEntriesDropped", "0",
         {"drwxr-xr-x 2 o g 4096 Jan 1 10:00 .", "drwxr-xr-x 2 o g 4096 Jan 1 10:00 ..",
          "-rw-r--r-- 1 o g 1 Jan 1 10:00 x"},
         {F("x", "1", "Jan 1", "10:00", "-rw-r--r--")}},
        {"Text_EachLineIsAName", "1",
         {"readme.txt", "docs", "my file"},
         {F("readme.txt", "", "", ""), D("docs", "", "", ""), F("my file", "", "", "")}},
        {"MsFtp4_DirFileAndSpaces", "2",
         {"12-24-03  02:15PM       <DIR>          Program Files", "01-05-04  09:00AM                 1234 read me.txt"},
         {D("Program Files", "", "12 24 03", "02:15PM"), F("read me.txt", "1234", "01 05 04", "09:00AM")}},
        {"Mac_FileAndFolder", "3",
         {"-------r--         326  1391972  1392298 Nov 22  1995 MegaPhone.sit",
          "drwxrwxr-x               folder        2 May 10  1996 network tools"},
         {F("MegaPhone.sit", "326", "Nov 22", "1995"), D("network tools", "", "May 10", "1996")}},
        {"Custom_DefaultPositions", "4957681",
         {"-rw-r--r-- 1 owner group 1234 12 Jan 12:00 notes.txt"},
         {F("notes.txt", "1234", "Jan 12", "12:00", "-rw-r--r--")}},
        {"Custom_NameLastKeepsSpaces", "4956781",
         {"drwxr-xr-x 2 owner group 4096 Jan 12 12:00 Program Files"},
         {D("Program Files", "4096", "Jan 12", "12:00", "drwxr-xr-x")}},
        {"Custom_NameFirstIsOneToken", "41234A0",
         {"report final.txt 99 Feb 3 -rw-r--r--"},
         {F("report", "final.txt", "99 Feb", "", "")}},
        {"Custom_LinkByAttributes", "4956781",
         {"lrwxrwxrwx 1 o g 9 Jan 1 10:00 cur -> notes.txt", "-rw-r--r-- 1 o g 5 Jan 1 10:00 notes.txt"},
         {F("cur", "9", "Jan 1", "10:00", "lrwxrwxrwx", "notes.txt"),
          F("notes.txt", "5", "Jan 1", "10:00", "-rw-r--r--")}},
        {"Vms_HeaderJoinedLineAndTotals", "5",
         {"DISK$ARCHIVE:[USERS.SMITH]", "", "FOO.DIR;1              1/3      24-DEC-2003 10:00:23  [SMITH]   (RWE,RWE,RE,RE)",
          "A_VERY_LONG_FILE_NAME_WRAPPED.TXT;12",
          "                  5/6       3-JAN-2004 09:10:11  [SMITH]   (RWED,RWED,RE,)",
          "%RMS-E-FNF, file not found", "Total of 2 files, 6/9 blocks."},
         {D("FOO", "", "24.12.2003", "10:00:23", "(RWE,RWE,RE,RE)"),
          F("A_VERY_LONG_FILE_NAME_WRAPPED.TXT", "", "03.01.2004", "09:10:11", "(RWED,RWED,RE,)")},
         "USERS/SMITH"},
        {"Vms_DirectoryUsersHeader", "5",
         {"Directory USERS:[SMITH.PUB]", "README.TXT;3   2/3  1-FEB-2005 11:12:13  [SMITH]  (RWED,RWED,RE,RE)"},
         {F("README.TXT", "", "01.02.2005", "11:12:13", "(RWED,RWED,RE,RE)")},
         "SMITH/PUB"},
        {"MsFtp5_FixedColumns", "6",
         {"12-24-03  02:15PM       <DIR>          My Dir", "01-02-04  11:00AM                 1234 a b.txt",
          "01-02-04  11:00AM       <DIR>          "},
         {D("My Dir", "", "12 24 03", "02:15PM"), F("a b.txt", "1234", "01 02 04", "11:00AM")}},
        {"Win2000_SameAsMsFtp5", "8",
         {"12-24-03  02:15PM       <DIR>          My Dir", "01-02-04  11:00AM                   77 x"},
         {D("My Dir", "", "12 24 03", "02:15PM"), F("x", "77", "01 02 04", "11:00AM")}},
        {"Unix_TimeAndYear", "7",
         {"total 3", "-rw-r--r--   1 owner   group   1234 Jan 12 12:00 my  file.txt",
          "-rw-r--r--   1 owner   group   99 Jan 12  2003 old.txt"},
         {F("my  file.txt", "1234", "Jan 12", "12:00", "-rw-r--r--"),
          F("old.txt", "99", "Jan 12 2003", "", "-rw-r--r--")}},
        {"Unix_LinkToDirectory", "7",
         {"drwxr-xr-x 2 o g 4096 Jan 1 10:00 pub", "lrwxrwxrwx 1 o g 3 Jan 1 10:00 docs -> pub"},
         {D("pub", "4096", "Jan 1", "10:00", "drwxr-xr-x"), D("docs", "", "Jan 1", "10:00", "lrwxrwxrwx", "pub")}},
        {"WuFtp2_FiveSkippedColumns", "9",
         {"-rw-r--r--   1 owner   group  x  y   1234 Jan 12 12:00 a file", "drwxr-xr-x 2 o g x y 512 Jan 12  2003 d"},
         {F("a file", "1234", "Jan 12", "12:00", "-rw-r--r--"), D("d", "512", "Jan 12 2003", "", "drwxr-xr-x")}},
        {"UnknownTypeReadsAsDefault", "x",
         {"-rw-r--r--   1 owner   1234 Jan 12 12:00 a"},
         {F("a", "1234", "Jan 12", "12:00", "-rw-r--r--")}},
    };
}

class ParserTable : public ::testing::TestWithParam<Row> {};

TEST_P(ParserTable, GivesExactEntries)
{
    const Row& row = GetParam();
    const ParsedListing parsed = parseListingEntries(row.lines, ListingFormat::fromAnswer(row.answer));
    EXPECT_EQ(parsed.entries, row.expected);
    EXPECT_EQ(parsed.directory, row.directory);
}

INSTANTIATE_TEST_SUITE_P(Types, ParserTable, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// A listing in the in-place, text form the rest of the program passes around:
// directories, files, links either side of their targets, a year and a time,
// dot entries, a total line and a line with CR left on it.
TEST(ParseListingInPlace, MixedListingBecomesEntryTexts)
{
    QStringList lines = {
        "total 20",
        "drwxr-xr-x   5 ftp ftp   4096 Dec  1 09:30 .",
        "lrwxrwxrwx   1 ftp ftp     10 Dec  1 09:30 current -> release-2.tar\r",
        "drwxr-xr-x   2 ftp ftp   4096 Nov 30 22:01 incoming",
        "lrwxrwxrwx   1 ftp ftp      8 Dec  1 09:30 in -> incoming",
        "-rw-r--r--   1 ftp ftp 123456 Jun  1  2001 release-1.tar",
        "-rw-r--r--   1 ftp ftp 654321 Dec  1 09:29 release-2.tar",
    };
    QString directory = QStringLiteral("stale");
    ParseListing(lines, directory, ListingFormat::ofType(0));
    const QChar s = kDirEntrySeparator;
    const QStringList expected = {
        QStringList{"1", "current", "10", "Dec 1", "09:30", "lrwxrwxrwx", "release-2.tar"}.join(s),
        QStringList{"0", "incoming", "4096", "Nov 30", "22:01", "drwxr-xr-x", ""}.join(s),
        QStringList{"0", "in", "", "Dec 1", "09:30", "lrwxrwxrwx", "incoming"}.join(s),
        QStringList{"1", "release-1.tar", "123456", "Jun 1", "2001", "-rw-r--r--", ""}.join(s),
        QStringList{"1", "release-2.tar", "654321", "Dec 1", "09:29", "-rw-r--r--", ""}.join(s),
    };
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(directory.isEmpty());
}

} // namespace
