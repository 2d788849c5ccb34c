// Date and time reading of entries, with an injected today, and the small
// text helpers it rests on.
#include "listing/ListingDate.h"
#include "listing/ListingText.h"

#include <gtest/gtest.h>

namespace {

const QDate kMarch15(2026, 3, 15);

struct DateRow {
    const char* name;
    const char* text;
    QDate today;
    QDate date;
    const char* time;  // "" when the entry has no time
};

class ListingDates : public ::testing::TestWithParam<DateRow> {};

TEST_P(ListingDates, ReadsDateAndTime)
{
    const DateRow& r = GetParam();
    const ListingDateTime got = ParseListingDate(QString::fromUtf8(r.text), 0.0, r.today);
    EXPECT_EQ(got.date, r.date);
    const QString time = QString::fromUtf8(r.time);
    EXPECT_EQ(got.hasTime, !time.isEmpty());
    if (!time.isEmpty()) {
        EXPECT_EQ(got.time.toString("HH:mm"), time);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ListingDates,
    ::testing::Values(
        DateRow{"UnixTimeThisYear", "Jan 12 12:00", kMarch15, QDate(2026, 1, 12), "12:00"},
        DateRow{"LaterMonthIsLastYear", "Dec 24 18:30", kMarch15, QDate(2025, 12, 24), "18:30"},
        DateRow{"SameMonthStaysThisYear", "Mar 20 08:00", kMarch15, QDate(2026, 3, 20), "08:00"},
        DateRow{"ExplicitYear", "Jan 12 2003 ", kMarch15, QDate(2003, 1, 12), ""},
        DateRow{"ExplicitYearBeatsInference", "Dec 1 2020", kMarch15, QDate(2020, 12, 1), ""},
        DateRow{"MonthNumberDayYearAndPm", "12 24 03 02:15PM", kMarch15, QDate(2003, 12, 24), "14:15"},
        DateRow{"NoonStaysNoon", "01 02 04 12:05PM", kMarch15, QDate(2004, 1, 2), "12:05"},
        DateRow{"MidnightAm", "01 02 04 12:05AM", kMarch15, QDate(2004, 1, 2), "00:05"},
        DateRow{"TwoDigitYearOfLastCentury", "06 30 99 10:00AM", kMarch15, QDate(1999, 6, 30), "10:00"},
        DateRow{"VmsDayFirst", "24.12.2003 10:00:23", kMarch15, QDate(2003, 12, 24), "10:00"},
        DateRow{"VmsDayFirstLowDay", "03.01.2004 09:10:11", kMarch15, QDate(2004, 1, 3), "09:10"},
        DateRow{"UnreadableDateIsToday", "foo bar", kMarch15, kMarch15, ""},
        DateRow{"EmptyIsToday", " ", kMarch15, kMarch15, ""},
        DateRow{"ImpossibleTimeIsMidnight", "Jan 12 25:99", kMarch15, QDate(2026, 1, 12), "00:00"},
        DateRow{"LeapDay", "Feb 29 2024", kMarch15, QDate(2024, 2, 29), ""},
        DateRow{"BadDayKeepsToday", "Jan xx 10:00", kMarch15, QDate(2026, 1, 15), "10:00"}),
    [](const ::testing::TestParamInfo<DateRow>& info) { return std::string(info.param.name); });

TEST(ListingDateShift, SubtractsZoneDifferenceAcrossMidnight)
{
    // The server is five and a half hours ahead of the local zone.
    const double shift = HoursToDayFraction(5.30);
    const ListingDateTime got = ParseListingDate("Jan 1 03:00", shift, kMarch15);
    EXPECT_EQ(got.date, QDate(2025, 12, 31)) << "Jan 1 03:00 minus 5:30 is the evening before";
    EXPECT_EQ(got.time.toString("HH:mm"), "21:30");
    // Without a time there is nothing to shift.
    EXPECT_EQ(ParseListingDate("Jan 1 2020", shift, kMarch15).date, QDate(2020, 1, 1));
    // A negative difference moves forward.
    EXPECT_EQ(ParseListingDate("Jan 1 23:00", HoursToDayFraction(-2.0), kMarch15).date, QDate(2026, 1, 2));
}

TEST(ListingDateYears, TwoDigitYearsFollowToday)
{
    const QDate today(2026, 12, 8);
    EXPECT_EQ(ExpandListingYear(99, today), 1999);
    EXPECT_EQ(ExpandListingYear(70, today), 1970);
    EXPECT_EQ(ExpandListingYear(3, today), 2003);
    EXPECT_EQ(ExpandListingYear(36, today), 2036);
    EXPECT_EQ(ExpandListingYear(37, today), 1937);
    EXPECT_EQ(ExpandListingYear(2003, today), 2003);
}

TEST(ListingTextHelpers, HoursToDayFraction)
{
    EXPECT_DOUBLE_EQ(HoursToDayFraction(0.0), 0.0);
    EXPECT_DOUBLE_EQ(HoursToDayFraction(5.30), 330.0 / 1440.0);
    EXPECT_DOUBLE_EQ(HoursToDayFraction(-1.30), -90.0 / 1440.0);
    EXPECT_DOUBLE_EQ(HoursToDayFraction(12.45), 765.0 / 1440.0);
    EXPECT_DOUBLE_EQ(HoursToDayFraction(-0.45), -45.0 / 1440.0);
}

TEST(ListingTextHelpers, VmsDate)
{
    EXPECT_EQ(VmsDate("24-DEC-2003"), "24.12.2003");
    EXPECT_EQ(VmsDate("3-jan-2004"), "03.01.2004");
    EXPECT_EQ(VmsDate("1-May-99"), "01.05.0099");
    EXPECT_EQ(VmsDate("24-XYZ-2003"), "24-XYZ-2003");
    EXPECT_EQ(VmsDate("24-AN-2003"), "24-AN-2003");
    EXPECT_EQ(VmsDate("12:00:00"), "12:00:00");
    EXPECT_EQ(VmsDate(""), "");
}

TEST(ListingTextHelpers, MonthIndex)
{
    EXPECT_EQ(MonthIndex(u"jan"), 1);
    EXPECT_EQ(MonthIndex(u"DEC"), 12);
    EXPECT_EQ(MonthIndex(u"Sep"), 9);
    EXPECT_EQ(MonthIndex(u"june"), 0);
    EXPECT_EQ(MonthIndex(u""), 0);
}

TEST(ListingTextHelpers, Split)
{
    QStringList list{"stale"};
    Split(' ', "a  b   c", list);
    EXPECT_EQ(list, (QStringList{"a", "b", "c"}));
    Split(' ', "", list);
    EXPECT_TRUE(list.isEmpty());
    Split(' ', " lead x", list);
    EXPECT_EQ(list, (QStringList{"", "lead", "x"}));
    Split(',', "a, b ,c,", list);
    EXPECT_EQ(list, (QStringList{"a", "b", "c"}));
}

} // namespace
