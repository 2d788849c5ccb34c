// The time-zone list of the site properties dialog: reading a zone text's
// offset, the order of the list, and the rule that keeps a site's offset when
// its saved index names another zone on this machine.
#include "settings/TimeZones.h"
#include "sites/SiteZones.h"

#include <QTimeZone>
#include <gtest/gtest.h>

TEST(ZoneMinutes, OffsetsOfZoneTexts)
{
    EXPECT_EQ(ZoneMinutes("(GMT-03:30) Newfoundland"), -210);
    EXPECT_EQ(ZoneMinutes("(GMT+05:45) Kathmandu"), 345);
    EXPECT_EQ(ZoneMinutes("(GMT+01:00) Europe/Berlin"), 60);
    EXPECT_EQ(ZoneMinutes("(GMT-12:00) Etc/GMT+12"), -720);
    EXPECT_EQ(ZoneMinutes("(GMT 05:30) no sign"), 330);
}

TEST(ZoneMinutes, TextsWithoutAnOffsetGiveZero)
{
    EXPECT_EQ(ZoneMinutes("(GMT) Greenwich Mean Time"), 0);
    EXPECT_EQ(ZoneMinutes("GMT+02:00"), 0);
    EXPECT_EQ(ZoneMinutes("(GMT+02:00 no closing"), 0);
    EXPECT_EQ(ZoneMinutes(""), 0);
    EXPECT_EQ(ZoneMinutes("(UTC+02:00) Other style"), 0);
    // Parts that are not whole numbers count 0.
    EXPECT_EQ(ZoneMinutes("(GMT+xx:30) x"), 30);
    EXPECT_EQ(ZoneMinutes("(GMT-02:yy) x"), -120);
    // Without ":" the hours are 0 and the whole text is the minutes.
    EXPECT_EQ(ZoneMinutes("(GMT-45) x"), -45);
}

TEST(TimeZoneMinutes, HoursAndMinutesToMinutesAndBack)
{
    EXPECT_EQ(TimeZoneMinutes(5.30), 330);
    EXPECT_EQ(TimeZoneMinutes(-3.30), -210);
    EXPECT_EQ(TimeZoneMinutes(5.45), 345);
    EXPECT_EQ(TimeZoneMinutes(-12), -720);
    EXPECT_EQ(TimeZoneMinutes(0), 0);
    EXPECT_DOUBLE_EQ(TimeZoneFromMinutes(-210), -3.30);
    EXPECT_DOUBLE_EQ(TimeZoneFromMinutes(345), 5.45);
    for (int m = -720; m <= 840; m += 15)
        EXPECT_EQ(TimeZoneMinutes(TimeZoneFromMinutes(m)), m) << m;
}

TEST(ZoneList, SortedByOffsetThenTextWithTheSystemZoneFollowing)
{
    QStringList zones = {"(GMT+01:00) b", "(GMT-03:30) Newfoundland", "(GMT) UTC", "(GMT+01:00) A",
                         "(GMT+05:30) Kolkata"};
    int system = 0; // "(GMT+01:00) b"
    SortZoneList(zones, system);
    EXPECT_EQ(zones, QStringList({"(GMT-03:30) Newfoundland", "(GMT) UTC", "(GMT+01:00) A", "(GMT+01:00) b",
                                  "(GMT+05:30) Kolkata"}));
    EXPECT_EQ(system, 3);
    int none = -1;
    SortZoneList(zones, none);
    EXPECT_EQ(none, -1);
}

TEST(ZoneList, TheSystemsZonesWithTheCurrentOne)
{
    QStringList zones;
    int system = -2;
    FillZoneList(zones, system);
    if (QTimeZone::availableTimeZoneIds().isEmpty()) {
        EXPECT_TRUE(zones.isEmpty());
        EXPECT_EQ(system, -1);
        return;
    }
    ASSERT_FALSE(zones.isEmpty());
    for (int i = 1; i < zones.size(); ++i)
        EXPECT_LE(ZoneMinutes(zones[i - 1]), ZoneMinutes(zones[i])) << zones[i].toStdString();
    ASSERT_GE(system, 0);
    EXPECT_TRUE(zones[system].endsWith(' ' + CurrentTimeZoneId())) << zones[system].toStdString();
    EXPECT_TRUE(zones.contains("(GMT-03:30) America/St_Johns"));
}

// The list of one machine, and the same zones on another machine whose list
// has more entries (a newer tz database), so every index after the first new
// entry names another zone.
namespace {
const QStringList kHere = {"(GMT-05:00) America/New_York", "(GMT-03:30) America/St_Johns", "(GMT) UTC",
                           "(GMT+01:00) Europe/Berlin", "(GMT+05:30) Asia/Kolkata"};
const QStringList kThere = {"(GMT-05:00) America/New_York", "(GMT-04:00) America/Halifax",
                            "(GMT-03:30) America/St_Johns", "(GMT) UTC", "(GMT+01:00) Europe/Berlin",
                            "(GMT+01:00) Europe/Paris", "(GMT+05:30) Asia/Kolkata"};
} // namespace

TEST(ChooseZone, TheSavedIndexWhenItsZoneHasTheSavedOffset)
{
    EXPECT_EQ(ChooseZoneIndex(kHere, 1, -3.30, 2), 1);
    EXPECT_EQ(ChooseZoneIndex(kThere, 5, 1.0, 3), 5); // Paris, not the first +01:00
}

TEST(ChooseZone, ASiteSavedWithAnotherZoneListKeepsItsOffset)
{
    // Saved here with Kolkata (index 4); index 4 there is Berlin.
    EXPECT_EQ(ChooseZoneIndex(kThere, 4, 5.30, 3), 6);
    // Saved here with St John's (index 1); index 1 there is Halifax.
    EXPECT_EQ(ChooseZoneIndex(kThere, 1, -3.30, 3), 2);
    // An index beyond this machine's list.
    EXPECT_EQ(ChooseZoneIndex(kHere, 6, 5.30, 2), 4);
}

TEST(ChooseZone, NothingSelectedTakesTheSystemZoneWhenItHasTheOffsetElseTheFirstThatHasIt)
{
    EXPECT_EQ(ChooseZoneIndex(kThere, -1, 1.0, 5), 5);
    EXPECT_EQ(ChooseZoneIndex(kThere, -1, 1.0, 3), 4);
    EXPECT_EQ(ChooseZoneIndex(kThere, -1, 0, -1), 3);
}

TEST(ChooseZone, AnOffsetNoZoneHasFallsBackToTheIndexThenTheSystemZone)
{
    EXPECT_EQ(ChooseZoneIndex(kHere, 2, 9.45, 0), 2);
    EXPECT_EQ(ChooseZoneIndex(kHere, -1, 9.45, 0), 0);
    EXPECT_EQ(ChooseZoneIndex(kHere, -1, 9.45, -1), -1);
    EXPECT_EQ(ChooseZoneIndex({}, 3, 1.0, -1), -1);
}

TEST(SavedTimeZone, KeptUnlessTheUserChoseAnotherZone)
{
    // Opened on the fallback entry (no zone with +09:45): the offset stays.
    EXPECT_DOUBLE_EQ(SavedTimeZone(9.45, 2, 2, kHere[2]), 9.45);
    // An empty zone list (no zones on the system): the offset stays too.
    EXPECT_DOUBLE_EQ(SavedTimeZone(-3.30, -1, -1, QString()), -3.30);
    // Another entry chosen: its offset.
    EXPECT_DOUBLE_EQ(SavedTimeZone(9.45, 2, 1, kHere[1]), -3.30);
    EXPECT_DOUBLE_EQ(SavedTimeZone(1.0, 3, 2, kHere[2]), 0);
    EXPECT_DOUBLE_EQ(SavedTimeZone(5.30, 4, -1, QString()), 0);
}
