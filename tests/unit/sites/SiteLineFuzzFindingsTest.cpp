// Site lines the fuzzer found (tests/data/fuzz/siteline-*): each line read as
// the list reader reads it, written back and read again must give the same
// record, so saving a list never changes a site behind the user's back.
#include "TestEnv.h"

#include "sites/SiteLine.h"
#include "sites/SiteListFile.h"

#include <gtest/gtest.h>

namespace {

TFTPServerObj readListed(const QString& line)
{
    TSiteDefaults defaults;
    TFTPServerObj site;
    EXPECT_TRUE(ReadSiteLine(site, line, defaults)) << qPrintable(line);
    site.Password = ScramblePassword(site.Password);
    return site;
}

QStringList dataLines(const QString& name)
{
    const QStringList lines = ReadTextLines(testenv::sourceDir() + "/tests/data/fuzz/" + name);
    EXPECT_FALSE(lines.isEmpty()) << "missing data file " << qPrintable(name);
    return lines;
}

} // namespace

TEST(SiteLineFuzzFindings, TimeZoneSurvivesWriteAndRead)
{
    for (const QString& line : dataLines("siteline-timezone.txt")) {
        const TFTPServerObj site = readListed(line);
        const QString written = SiteLine(site);
        const TFTPServerObj again = readListed(written);
        EXPECT_EQ(again.TimeZone, site.TimeZone) << qPrintable(line) << "\n" << qPrintable(written);
        EXPECT_TRUE(again == site) << qPrintable(written);
    }
    // Minutes in the file are written back as hours and minutes, digit for digit.
    EXPECT_TRUE(SiteLine(readListed("Name=m;TimeZone=476;")).contains(";TimeZone=7.56;"));
    EXPECT_TRUE(SiteLine(readListed("Name=m;TimeZone=-330;")).contains(";TimeZone=-5.3;"));
}

TEST(SiteLineFuzzFindings, EmptyValuesOfFieldsWithADefaultSurviveWriteAndRead)
{
    TSiteDefaults defaults;
    defaults.MailAno = true;
    defaults.Anonymous = "guest@example.org";
    for (const QString& line : dataLines("siteline-empty-defaults.txt")) {
        TFTPServerObj site;
        ASSERT_TRUE(ReadSiteLine(site, line, defaults));
        TFTPServerObj again;
        ASSERT_TRUE(ReadSiteLine(again, SiteLine(site), defaults));
        again.Password = site.Password = QString();  // scrambling is covered above
        EXPECT_TRUE(again == site) << qPrintable(line) << "\n" << qPrintable(SiteLine(site));
    }
    // An empty value reads as the field's default, as a missing key does.
    TFTPServerObj site;
    ASSERT_TRUE(ReadSiteLine(site, "Name=e;Port=;User=;Answer=;AnswerName=;EMail=;", defaults));
    EXPECT_EQ(site.Port, "21");
    EXPECT_EQ(site.User, "anonymous");
    EXPECT_EQ(site.Answer, DefaultAnswer);
    EXPECT_EQ(site.AnswerName, DefaultAnswerName);
    EXPECT_EQ(site.EMail, "guest@example.org");
}

TEST(SiteLineFuzzFindings, MinutesOfSixtyHoursOrMoreReadAsTheDefault)
{
    TSiteDefaults defaults;
    defaults.TimeZone = 2.0;
    for (const QString& line : dataLines("siteline-timezone-range.txt")) {
        TFTPServerObj site;
        ASSERT_TRUE(ReadSiteLine(site, line, defaults));
        EXPECT_EQ(site.TimeZone, 2.0) << qPrintable(line);
        TFTPServerObj again;
        ASSERT_TRUE(ReadSiteLine(again, SiteLine(site), defaults));
        EXPECT_EQ(again.TimeZone, site.TimeZone) << qPrintable(SiteLine(site));
    }
}
