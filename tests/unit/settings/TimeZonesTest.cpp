#include "settings/TimeZones.h"

#include <QTimeZone>
#include <QDateTime>
#include <gtest/gtest.h>

TEST(TimeZones, GMTOffsetHoursParsesTheHeadOfTheDisplayText)
{
    EXPECT_DOUBLE_EQ(GMTOffsetHours("(GMT+05:30) Asia/Kolkata"), 5.30);
    EXPECT_DOUBLE_EQ(GMTOffsetHours("(GMT-03:30) America/St_Johns"), -3.30);
    EXPECT_DOUBLE_EQ(GMTOffsetHours("(GMT+01:00) Europe/Berlin"), 1.0);
    EXPECT_DOUBLE_EQ(GMTOffsetHours("(GMT-10:00) Pacific/Honolulu"), -10.0);
    EXPECT_DOUBLE_EQ(GMTOffsetHours("(GMT) UTC"), 0.0);
    EXPECT_DOUBLE_EQ(GMTOffsetHours("  (GMT - 03:30) spaced"), -3.30);
    EXPECT_DOUBLE_EQ(GMTOffsetHours("(GMT+12)"), 12.0);          // no colon: the whole text is hours
    EXPECT_DOUBLE_EQ(GMTOffsetHours("Europe/Berlin"), 0.0);      // no parentheses
    EXPECT_DOUBLE_EQ(GMTOffsetHours(""), 0.0);
    EXPECT_DOUBLE_EQ(GMTOffsetHours("(GMT+xx:30) odd"), 0.30);   // a bad part adds nothing
    EXPECT_DOUBLE_EQ(GMTOffsetHours("(GMT+05:yy) odd"), 5.0);
    EXPECT_DOUBLE_EQ(GMTOffsetHours("(GMT+05:30"), 0.0);         // unclosed
    EXPECT_DOUBLE_EQ(GMTOffsetHours("\x01\xff(GMT"), 0.0);
}

TEST(TimeZones, ListCoversTheSystemZonesWithParsableTexts)
{
    const QList<TTimeZoneEntry> zones = TimeZoneList();
    ASSERT_GT(zones.size(), 10);
    bool sawKolkata = false;
    for (const TTimeZoneEntry& z : zones) {
        ASSERT_TRUE(z.Display.startsWith("(GMT")) << qPrintable(z.Display);
        EXPECT_TRUE(z.Display.endsWith(' ' + z.Id));
        if (z.Id == "Asia/Kolkata") {
            sawKolkata = true;
            EXPECT_EQ(z.Display, "(GMT+05:30) Asia/Kolkata");
            EXPECT_DOUBLE_EQ(GMTOffsetHours(z.Display), 5.30);
        }
    }
    EXPECT_TRUE(sawKolkata);
    for (qsizetype i = 1; i < zones.size(); ++i)
        EXPECT_LE(GMTOffsetHours(zones[i - 1].Display), GMTOffsetHours(zones[i].Display) + 1e-9);
}

TEST(TimeZones, LocalOffsetFollowsTheSystemZone)
{
    const QTimeZone sys = QTimeZone::systemTimeZone();
    const int minutes = sys.standardTimeOffset(QDateTime::currentDateTimeUtc()) / 60;
    const double expected = minutes / 60 + (minutes % 60) / 100.0;
    EXPECT_NEAR(LocalGMTOffsetHours(), expected, 1e-9);
    EXPECT_EQ(TimeZoneDisplay("No/Such_Zone"), QString());
}
