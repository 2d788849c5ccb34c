// The text form of a site: every field through a round trip, the limits and
// defaults, tolerant reading of older and damaged lines, and the values the
// plain format could not carry.
#include "sites/SiteLine.h"

#include <gtest/gtest.h>

namespace {

TSiteDefaults defaults()
{
    TSiteDefaults d;
    d.MailAno = true;
    d.Anonymous = QStringLiteral("guest@example.org");
    d.TimeZone = 2.0;
    return d;
}

TFTPServerObj fullSite()
{
    TFTPServerObj s = CreateSite(defaults());
    s.Name = QStringLiteral("Mirror ä");
    s.Server = QStringLiteral("ftp.example.org");
    s.Password = QStringLiteral("pässw0rd");
    s.User = QStringLiteral("bob");
    s.Account = QStringLiteral("acct");
    s.Description = QStringLiteral("kept");
    s.LocalDir = QStringLiteral("/home/bob/down");
    s.InitialDir = QStringLiteral("/pub");
    s.ModifiedDate = QStringLiteral("01.02.2003");
    s.EMail = QStringLiteral("bob@example.org");
    s.Anonymous = 1;
    s.SavePassword = 0;
    s.Port = QStringLiteral("2121");
    s.Pasv = 1;
    s.Desc = QStringLiteral("line one`line two");
    s.Answer = QStringLiteral("4123456");
    s.AnswerName = QStringLiteral("My host");
    s.CheckPSW = 0;
    s.CheckVHost = 1;
    s.TimeZone = -5.3;
    s.TimeZoneV = 17;
    s.ShowHidden = 1;
    s.MkDir = 0;
    s.Security = 2;
    return s;
}

TFTPServerObj readBack(const QString& line)
{
    TFTPServerObj s;
    EXPECT_TRUE(ReadSiteLine(s, line, defaults())) << line.toStdString();
    s.Password = ScramblePassword(s.Password);  // as the list reader does
    return s;
}

} // namespace

TEST(SiteLine, EveryFieldRoundTripsInFileOrder)
{
    const TFTPServerObj site = fullSite();
    const QString line = SiteLine(site);
    // The fixed order of the file, each field closed by ";".
    QStringList keys;
    for (const QString& field : line.split(';', Qt::SkipEmptyParts))
        keys += field.section('=', 0, 0);
    EXPECT_EQ(keys, SiteKeys());
    EXPECT_TRUE(line.endsWith(';'));
    EXPECT_FALSE(line.contains(QStringLiteral("pässw0rd"))) << "password must be scrambled";
    EXPECT_EQ(readBack(line), site);
}

TEST(SiteLine, EmptyTextsAreLeftOutNumbersAlwaysWritten)
{
    TFTPServerObj site = CreateSite(TSiteDefaults{});
    site.User.clear();
    site.Port.clear();
    site.Answer.clear();
    site.AnswerName.clear();
    EXPECT_EQ(SiteLine(site), QStringLiteral("Anonymous=0;SavePassword=1;Pasv=0;CheckPSW=1;CheckVHost=0;"
                                             "TimeZone=0;TimeZoneV=-1;ShowHidden=0;MkDir=1;Security=1;"));
}

TEST(SiteLine, DefaultsOfANewSiteAndOfMissingKeys)
{
    const TFTPServerObj created = CreateSite(defaults());
    EXPECT_EQ(created.User, "anonymous");
    EXPECT_EQ(created.Port, "21");
    EXPECT_EQ(created.EMail, "guest@example.org");
    EXPECT_EQ(created.Answer, "0957681");
    EXPECT_EQ(created.AnswerName, "Default");
    EXPECT_EQ(created.SavePassword, 1);
    EXPECT_EQ(created.CheckPSW, 1);
    EXPECT_EQ(created.MkDir, 1);
    EXPECT_EQ(created.TimeZoneV, -1);
    EXPECT_EQ(created.TimeCmd, 3);
    EXPECT_EQ(created.Security, 1) << "a new site tries TLS";
    EXPECT_DOUBLE_EQ(created.TimeZone, 2.0);
    EXPECT_EQ(CreateSite(TSiteDefaults{false, QStringLiteral("x@y"), 0}).EMail, QString());

    TFTPServerObj s;
    ASSERT_TRUE(ReadSiteLine(s, QStringLiteral("Name=Only;"), defaults()));
    TFTPServerObj expected = created;
    expected.Name = QStringLiteral("Only");
    expected.Security = 0;  // a line without the key is a plain site
    EXPECT_EQ(s, expected);
}

TEST(SiteLine, ShortStringsAreCutToTheirSizes)
{
    TFTPServerObj site = CreateSite(defaults());
    const QString longText(400, QChar('x'));
    site.Name = site.Description = site.LocalDir = site.InitialDir = longText;
    site.ModifiedDate = site.EMail = site.Answer = site.AnswerName = longText;
    site.Server = site.User = site.Account = site.Desc = longText;
    const TFTPServerObj s = readBack(SiteLine(site));
    EXPECT_EQ(s.Name.size(), 50);
    EXPECT_EQ(s.Description.size(), 200);
    EXPECT_EQ(s.LocalDir.size(), 255);
    EXPECT_EQ(s.InitialDir.size(), 255);
    EXPECT_EQ(s.ModifiedDate.size(), 80);
    EXPECT_EQ(s.EMail.size(), 60);
    EXPECT_EQ(s.Answer.size(), 7);
    EXPECT_EQ(s.AnswerName.size(), 255);
    EXPECT_EQ(s.Server.size(), 400);  // plain strings keep everything
    EXPECT_EQ(s.Desc.size(), 400);
}

TEST(SiteLine, KeysAnywhereInAnyOrderUnknownKeysIgnored)
{
    const TFTPServerObj s = readBack(QStringLiteral(
        "Colour=red;MkDir=0;User=eve;Future=1;Server=h.example;  Name=Odd order;junk Port=99"));
    EXPECT_EQ(s.Name, "Odd order");
    EXPECT_EQ(s.Server, "h.example");
    EXPECT_EQ(s.User, "eve");
    EXPECT_EQ(s.Port, "99");
    EXPECT_EQ(s.MkDir, 0);
}

TEST(SiteLine, KeyInsideALongerKeyIsNotTakenForIt)
{
    // No Name and no Password written: "AnswerName=" and "SavePassword="
    // must not be read as them.
    const TFTPServerObj s = readBack(QStringLiteral("Server=h;SavePassword=1;AnswerName=Unix;"));
    EXPECT_EQ(s.Name, QString());
    EXPECT_EQ(s.Password, QString());
    EXPECT_EQ(s.AnswerName, "Unix");
    // A value that merely contains another key is that value, nothing more.
    TFTPServerObj site = CreateSite(defaults());
    site.Name = QStringLiteral("xServer=evil");
    site.Desc = QStringLiteral("User=mallory");
    site.Server = QStringLiteral("good.example");
    site.User = QString();
    const TFTPServerObj back = readBack(SiteLine(site));
    EXPECT_EQ(back.Server, "good.example");
    EXPECT_EQ(back.User, "anonymous") << "an empty user is not written and reads as the default";
    EXPECT_EQ(back.Name, "xServer=evil");
}

TEST(SiteLine, BadNumbersTakeFieldSpecificValues)
{
    const TFTPServerObj s = readBack(QStringLiteral(
        "Name=n;Anonymous=x;SavePassword=;Pasv=yes;CheckPSW=?;CheckVHost=1.5;TimeZone=abc;"
        "TimeZoneV=12ab;ShowHidden=--1;MkDir=z;"));
    EXPECT_EQ(s.Anonymous, 1);
    EXPECT_EQ(s.SavePassword, 1);
    EXPECT_EQ(s.Pasv, 0);
    EXPECT_EQ(s.CheckPSW, 1);
    EXPECT_EQ(s.CheckVHost, 0);
    EXPECT_DOUBLE_EQ(s.TimeZone, 2.0);  // the local zone
    EXPECT_EQ(s.TimeZoneV, 12);         // read up to the first bad character
    EXPECT_EQ(s.ShowHidden, 0);
    EXPECT_EQ(s.MkDir, 0);

    const TFTPServerObj w = readBack(QStringLiteral(
        "Name=n;Pasv=257;Anonymous=$1;TimeZoneV=70000;TimeZone=1e300;CheckVHost=99999999999999999999;"));
    EXPECT_EQ(w.Pasv, 1);         // kept in 8 bits
    EXPECT_EQ(w.Anonymous, 1);    // hexadecimal as the integer reader takes it
    EXPECT_EQ(w.TimeZoneV, qint16(70000 - 65536));
    EXPECT_DOUBLE_EQ(w.TimeZone, 2.0);
    EXPECT_EQ(w.CheckVHost, 0);
}

TEST(SiteLine, TimeZoneInMinutesBecomesHoursAndMinutes)
{
    EXPECT_DOUBLE_EQ(readBack(QStringLiteral("Name=a;TimeZone=330;")).TimeZone, 5.30);
    EXPECT_DOUBLE_EQ(readBack(QStringLiteral("Name=a;TimeZone=-90;")).TimeZone, -1.30);
    EXPECT_DOUBLE_EQ(readBack(QStringLiteral("Name=a;TimeZone=60;")).TimeZone, 1.0);
    EXPECT_DOUBLE_EQ(readBack(QStringLiteral("Name=a;TimeZone=-5.3;")).TimeZone, -5.3);
    EXPECT_DOUBLE_EQ(readBack(QStringLiteral("Name=a;TimeZone=59.5;")).TimeZone, 59.5);
    // A list written under a decimal-comma locale.
    EXPECT_DOUBLE_EQ(readBack(QStringLiteral("Name=a;TimeZone=5,3;")).TimeZone, 5.3);
}

TEST(SiteLine, ValuesTheFormatCannotCarryRoundTrip)
{
    TFTPServerObj site = CreateSite(defaults());
    site.Name = QStringLiteral("a;b");
    site.Desc = QStringLiteral("first\nsecond\r\nthird");
    site.LocalDir = QStringLiteral("/tmp/semi;colon");
    site.Account = QString(QChar(0)) + QChar(0x1B) + QStringLiteral("1B") + QChar(0x1B);
    // '"' scrambles to ';', and these scramble to CR, LF, NUL and ESC.
    site.Password = QStringLiteral("\"q\"") + QChar(0x19) + QChar('\r' ^ 0x19) + QChar('\n' ^ 0x19) +
                    QChar(0x1B ^ 0x19) + QStringLiteral("pw;x");
    site.User = QStringLiteral("u;ser=Server=x");
    const QString line = SiteLine(site);
    EXPECT_FALSE(line.contains('\n'));
    EXPECT_FALSE(line.contains('\r'));
    EXPECT_FALSE(line.contains(QChar(0)));
    EXPECT_EQ(line.count(QChar(0x3B)), 20) << "only the ends of the 20 fields written";
    EXPECT_EQ(readBack(line), site);
}

TEST(SiteLine, EscapeLeavesOlderLinesAsTheyWere)
{
    // Nothing an older line holds is changed by the unescape; a stray ESC
    // without two hex digits stays literal.
    const QString plain = QStringLiteral("C:\\ftp\\%3B \\x3B &#59 100% =Server=");
    EXPECT_EQ(UnescapeSiteValue(plain), plain);
    EXPECT_EQ(EscapeSiteValue(plain), plain);
    const QString stray = QString(QChar(0x1B)) + QStringLiteral("G1") + QChar(0x1B) + QStringLiteral("4");
    EXPECT_EQ(UnescapeSiteValue(stray), stray);
    EXPECT_EQ(UnescapeSiteValue(EscapeSiteValue(stray)), stray);
}

TEST(SiteLine, GarbageAndTruncatedLinesNeverCrash)
{
    TFTPServerObj s;
    EXPECT_FALSE(ReadSiteLine(s, QString(), defaults()));
    EXPECT_FALSE(ReadSiteLine(s, QStringLiteral("just some words ;;; = == ;"), defaults()));
    QString binary;
    for (int i = 0; i < 512; ++i)
        binary += QChar(char16_t((i * 7919) % 0xD7FF));
    ReadSiteLine(s, binary, defaults());
    ReadSiteLine(s, QStringLiteral("Name=Cut;Server=host;TimeZo"), defaults());
    EXPECT_EQ(s.Name, "Cut");
    EXPECT_DOUBLE_EQ(s.TimeZone, 2.0);
    ASSERT_TRUE(ReadSiteLine(s, QStringLiteral("Name=") + QString(1 << 20, QChar('n')) + ';', defaults()));
    EXPECT_EQ(s.Name.size(), 50);
    ASSERT_TRUE(ReadSiteLine(s, QStringLiteral("Name=x;Port=") + QChar(0x1B), defaults()));
    EXPECT_EQ(s.Port, QString(QChar(0x1B)));
}

// The TLS setting of a site: written after every older field and only when
// the site is not plain, so a plain site's line is the one written before
// TLS existed, and a reader that predates the key sees the same site.
TEST(SiteLine, SecuritySettingRoundTripsAndALineWithoutItIsPlain)
{
    TFTPServerObj site = fullSite();
    for (quint8 v : {0, 1, 2, 3}) {
        site.Security = v;
        const QString line = SiteLine(site);
        EXPECT_EQ(readBack(line), site) << line.toStdString();
        EXPECT_EQ(line.contains(QStringLiteral("Security=")), v != 0) << line.toStdString();
        if (v != 0)
            EXPECT_TRUE(line.endsWith(QStringLiteral(";MkDir=0;Security=%1;").arg(v))) << line.toStdString();
    }

    // A line as the version before TLS wrote it: a new site defaults to TLS,
    // but this stored one is plain, and writing it back changes no byte.
    const QString before = QStringLiteral(
        "Name=Old;Server=ftp.example.org;Port=21;User=bob;Anonymous=0;SavePassword=1;EMail=bob@example.org;Pasv=1;"
        "Answer=0957681;AnswerName=Default;CheckPSW=1;CheckVHost=0;TimeZone=2;TimeZoneV=-1;ShowHidden=0;MkDir=1;");
    TFTPServerObj old;
    ASSERT_TRUE(ReadSiteLine(old, before, defaults()));
    EXPECT_EQ(old.Security, 0);
    EXPECT_EQ(SiteLine(old).toStdString(), before.toStdString());
}

TEST(SiteLine, DamagedSecurityValuesReadAsPlain)
{
    for (const char* value : {"text", "9", "-1", "", "4", "258", "2.5", "2x", "--2", "99999999999999999999"}) {
        const TFTPServerObj s = readBack(QStringLiteral("Name=n;Security=%1;").arg(QLatin1String(value)));
        EXPECT_EQ(s.Security, 0) << value;
        EXPECT_EQ(s.Name, "n") << value;
    }
    EXPECT_EQ(readBack(QStringLiteral("Name=n;Security= 3 ;")).Security, 3);
    // Hand-made: the key somewhere in a field of its own, in any order.
    EXPECT_EQ(readBack(QStringLiteral("Security=2;Name=n;")).Security, 2);
    // Only a key of its own: "NoSecurity=" or a value naming it is not it.
    EXPECT_EQ(readBack(QStringLiteral("Name=n;NoSecurity=3;Desc=Security=3;")).Security, 0);
}

TEST(SiteLine, ALineWithSecurityReadsAsBeforeByTheOlderKeys)
{
    // The reading rules of the version before TLS are these two passes over
    // its own keys: every older field of a TLS site's line reads exactly as
    // that of the same site written plain, and nothing leaks into them.
    QStringList olderKeys = SiteKeys();
    ASSERT_EQ(olderKeys.takeLast(), QStringLiteral("Security"));
    ASSERT_EQ(olderKeys.size(), 23);

    TFTPServerObj site = fullSite();
    site.Security = 0;
    const auto plain = SiteLineFields(SiteLine(site), olderKeys);
    for (quint8 v : {1, 2, 3}) {
        site.Security = v;
        const QString line = SiteLine(site);
        EXPECT_EQ(SiteLineFields(line, olderKeys), plain) << line.toStdString();
        // The new key sitting first instead of last changes nothing either.
        const QString field = QStringLiteral("Security=%1;").arg(v);
        QString moved = line;
        moved.remove(field).prepend(field);
        EXPECT_EQ(SiteLineFields(moved, olderKeys), plain) << moved.toStdString();
        EXPECT_EQ(SiteLineFields(moved, SiteKeys()).last(), QString::number(v));
    }
}
