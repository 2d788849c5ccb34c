// Texts of the file lists: sizes, dates, the selection summary, escaped names.
#include "listing/ListingDisplay.h"

#include <gtest/gtest.h>

namespace {

struct SizeRow {
    const char* name;
    const char* text;
    const char* shown;
};

void PrintTo(const SizeRow& r, std::ostream* os) { *os << r.name; }

class FormatSizes : public ::testing::TestWithParam<SizeRow> {};

TEST_P(FormatSizes, GroupsWholeNumbersAndKeepsEverythingElse)
{
    EXPECT_EQ(FormatSize(QString::fromUtf8(GetParam().text)), QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FormatSizes,
    ::testing::Values(SizeRow{"Zero", "0", "0"}, SizeRow{"ThreeDigits", "999", "999"},
                      SizeRow{"FourDigits", "1000", "1 000"}, SizeRow{"Million", "1234567", "1 234 567"},
                      SizeRow{"BeyondTwoGigabytes", "5000000000", "5 000 000 000"},
                      SizeRow{"Largest64Bit", "9223372036854775807", "9 223 372 036 854 775 807"},
                      SizeRow{"Negative", "-1234", "-1 234"},
                      SizeRow{"Beyond64BitUnchanged", "9223372036854775808", "9223372036854775808"},
                      SizeRow{"EmptyUnchanged", "", ""}, SizeRow{"DirMarkerUnchanged", "<DIR>", "<DIR>"},
                      SizeRow{"FractionUnchanged", "12.5", "12.5"}, SizeRow{"PlusSignUnchanged", "+12", "+12"},
                      SizeRow{"BlanksUnchanged", " 1234", " 1234"}, SizeRow{"LoneMinusUnchanged", "-", "-"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListingDisplay, ByteCountsGroupEveryMagnitude)
{
    EXPECT_EQ(GroupedByteCount(0), "0");
    EXPECT_EQ(GroupedByteCount(100), "100");
    EXPECT_EQ(GroupedByteCount(100000), "100 000");
    EXPECT_EQ(GroupedByteCount(1000000), "1 000 000");
    EXPECT_EQ(GroupedByteCount(-1000), "-1 000");
    EXPECT_EQ(GroupedByteCount(std::numeric_limits<qint64>::min()), "-9 223 372 036 854 775 808");
}

TEST(ListingDisplay, ShownSizesReadBackAsNumbers)
{
    qint64 v = 0;
    EXPECT_TRUE(ParseGroupedSize(u"1 048 576", v));
    EXPECT_EQ(v, 1048576);
    EXPECT_TRUE(ParseGroupedSize(u"999", v));
    EXPECT_EQ(v, 999);
    EXPECT_TRUE(ParseGroupedSize(u"9 223 372 036 854 775 807", v));
    EXPECT_EQ(v, std::numeric_limits<qint64>::max());
    EXPECT_TRUE(ParseGroupedSize(u"-1 234", v));
    EXPECT_EQ(v, -1234);
    for (const char16_t* bad : {u"", u" ", u"-", u"<DIR>", u"12.5", u"1-2", u"9 223 372 036 854 775 808",
                                u"12345678901234567890123456789"})
        EXPECT_FALSE(ParseGroupedSize(QStringView(bad), v)) << QString::fromUtf16(bad).toStdString();
}

TEST(ListingDisplay, DatesFollowTheDateTypeBothWays)
{
    const QDate d(2024, 3, 7);
    EXPECT_EQ(FormatListDate(d, 0), "07.03.2024");
    EXPECT_EQ(FormatListDate(d, 1), "03.07.2024");
    EXPECT_EQ(FormatListDate(QDate(987, 12, 31), 0), "31.12.0987");
    EXPECT_EQ(FormatListDate(QDate(), 0), "");
    EXPECT_EQ(ParseListDate(u"07.03.2024", 0), d);
    EXPECT_EQ(ParseListDate(u"03.07.2024", 1), d);
    // Day 31 of month 4 and month 13 do not exist; an empty cell is no date.
    EXPECT_FALSE(ParseListDate(u"31.04.2024", 0).isValid());
    EXPECT_FALSE(ParseListDate(u"13.01.2024", 1).isValid());
    EXPECT_FALSE(ParseListDate(u"", 0).isValid());
    EXPECT_FALSE(ParseListDate(u"7.3.2024", 0).isValid());
    EXPECT_FALSE(ParseListDate(u"07-03-2024", 0).isValid());
}

TEST(ListingDisplay, SelectionSummaryCountsBytesKilobytesAndFiles)
{
    const SelectionWords words{QStringLiteral("byte"), QStringLiteral("in"), QStringLiteral("file(s)")};
    EXPECT_EQ(SelectionSummary(2, 1234567, words), "1 234 567 byte (1205 Kb) in 2 file(s)");
    EXPECT_EQ(SelectionSummary(1, 1023, words), "1 023 byte (0 Kb) in 1 file(s)");
    EXPECT_EQ(SelectionSummary(3, -5, words), "0 byte (0 Kb) in 3 file(s)");
    EXPECT_EQ(SelectionSummary(0, 4096, words), "");
    const SelectionWords german{QStringLiteral("Byte"), QStringLiteral("in"), QStringLiteral("Datei(en)")};
    EXPECT_EQ(SelectionSummary(1, 5000000000LL, german), "5 000 000 000 Byte (4882812 Kb) in 1 Datei(en)");
}

TEST(ListingDisplay, EscapedNamesShowControlCharactersVisibly)
{
    EXPECT_EQ(EscapedName(QStringLiteral("plain name.txt")), "plain name.txt");
    EXPECT_EQ(EscapedName(QString::fromUtf16(u"a\0b", 3)), "a\\0b");
    EXPECT_EQ(EscapedName(QStringLiteral("line\nbreak\r\t\x1b")), "line\\nbreak\\r\\t\\x1b");
    EXPECT_EQ(EscapedName(QStringLiteral("back\\slash")), "back\\\\slash");
    EXPECT_EQ(EscapedName(QStringLiteral("Größe ü")), "Größe ü");
}

} // namespace
