#include "settings/IniFile.h"

#include "SettingsTestDir.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <unistd.h>

TEST(IniFile, NamesIgnoreCaseAndValuesStayRaw)
{
    SettingsTestDir dir;
    dir.write("a.ini", "[common]\r\nEXT = txt,htm,\"a b\" \r\n");
    TIniFile ini(dir.path("a.ini"));
    EXPECT_TRUE(ini.SectionExists("Common"));
    EXPECT_EQ(ini.ReadString("COMMON", "ext", "-"), "txt,htm,\"a b\"");
    EXPECT_EQ(ini.ReadString("Common", "missing", "-"), "-");
}

TEST(IniFile, IntegersAndBooleansFollowTheProfileRules)
{
    SettingsTestDir dir;
    dir.write("a.ini",
              "[S]\nDec=-42\nHex=0x1F\nDollar=$ff\nAllBits=0xFFFFFFFF\nHuge=99999999999999999999\n"
              "TooLong=0x123456789\nText=12abc\nEmpty=\nTwo=2\nZero=0\nWord=yes\nFloat=5.30\n"
              "Comma=-3,3\nNan=nan\n");
    TIniFile ini(dir.path("a.ini"));
    EXPECT_EQ(ini.ReadInteger("S", "Dec", 7), -42);
    EXPECT_EQ(ini.ReadInteger("S", "Hex", 7), 31);
    EXPECT_EQ(ini.ReadInteger("S", "Dollar", 7), 255);
    EXPECT_EQ(ini.ReadInteger("S", "AllBits", 7), -1);
    EXPECT_EQ(ini.ReadInteger("S", "Huge", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "TooLong", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "Text", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "Empty", 7), 7);
    EXPECT_TRUE(ini.ReadBool("S", "Two", false));
    EXPECT_FALSE(ini.ReadBool("S", "Zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "Word", true));
    EXPECT_FALSE(ini.ReadBool("S", "Word", false));
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "Float", 0), 5.30);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "Comma", 0), -3.3);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "Nan", 1.5), 1.5);
}

TEST(IniFile, SaveKeepsForeignContentOrderAndUpdatesInPlace)
{
    SettingsTestDir dir;
    dir.write("a.ini",
              "; written by hand\n[Other]\nzeta=1\nalpha=a,b\n\n[Main]\nB=old\nForeign=\"q\"\nA=1\n");
    TIniFile ini(dir.path("a.ini"));
    ini.WriteString("main", "b", "new");
    ini.WriteString("Main", "C", "added");
    ini.WriteInteger("Fresh", "N", 5);
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(dir.read("a.ini"),
              QByteArray("; written by hand\n\n\n[Other]\nzeta=1\nalpha=a,b\n\n\n[Main]\nB=new\nForeign=\"q\"\n"
                         "A=1\nC=added\n\n\n[Fresh]\nN=5\n"));
    EXPECT_EQ(TIniFile(dir.path("a.ini")).ReadSection("Main"), QStringList({"B", "Foreign", "A", "C"}));
}

TEST(IniFile, DoubledKeyYieldsFirstValueAndCollapsesOnWrite)
{
    SettingsTestDir dir;
    dir.write("a.ini", "[S]\nK=first\nX=1\nk=second\n");
    TIniFile ini(dir.path("a.ini"));
    EXPECT_EQ(ini.ReadString("S", "K", ""), "first");
    EXPECT_EQ(ini.ReadSectionValues("S"), QStringList({"K=first", "X=1"}));
    ini.WriteString("S", "K", "third");
    EXPECT_EQ(ini.ToBytes(), QByteArray("[S]\nK=third\nX=1\n"));
}

TEST(IniFile, ReadsLatin1LinesAndSurvivesBinaryGarbage)
{
    SettingsTestDir dir;
    QByteArray bytes("[S]\nUtf=caf\xC3\xA9\nLatin=caf\xE9\n");
    static const char garbage[] = "\x00\x01\xFF\xFE[[=]\n=\n\x80\x81=\x00zz\n";
    bytes += QByteArray(garbage, sizeof garbage - 1);
    bytes += "After=kept\n";
    dir.write("a.ini", bytes);
    TIniFile ini(dir.path("a.ini"));
    EXPECT_EQ(ini.ReadString("S", "Utf", ""), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(ini.ReadString("S", "Latin", ""), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(ini.ReadString("S", "After", ""), "kept");
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(TIniFile(dir.path("a.ini")).ReadString("S", "After", ""), "kept");
}

TEST(IniFile, LineBreakInValueCannotInjectKeys)
{
    SettingsTestDir dir;
    TIniFile ini(dir.path("a.ini"));
    ini.WriteString("S", "Cmd", "NOOP\n[S]\nEvil=1");
    ASSERT_TRUE(ini.UpdateFile());
    TIniFile back(dir.path("a.ini"));
    EXPECT_FALSE(back.ValueExists("S", "Evil"));
    EXPECT_EQ(back.ReadString("S", "Cmd", ""), "NOOP [S] Evil=1");
}

TEST(IniFile, FailedSaveLeavesOldFileAndReportsFalse)
{
    SettingsTestDir dir;
    // The target name is taken by a directory: the rename cannot happen.
    QDir().mkpath(dir.path("a.ini"));
    TIniFile blocked(dir.path("a.ini"));
    blocked.WriteString("S", "K", "v");
    EXPECT_FALSE(blocked.UpdateFile());
    EXPECT_TRUE(QFileInfo(dir.path("a.ini")).isDir());

    // A directory nobody may create files in, not even root.
    TIniFile nowhere("/proc/varnoth-no-such-dir/a.ini");
    nowhere.WriteString("S", "K", "v");
    EXPECT_FALSE(nowhere.UpdateFile());

    if (geteuid() != 0) {
        dir.write("b.ini", "[S]\nK=old\n");
        QFile::setPermissions(ProgramDir, QFile::ReadOwner | QFile::ExeOwner);
        TIniFile ro(dir.path("b.ini"));
        ro.WriteString("S", "K", "new");
        EXPECT_FALSE(ro.UpdateFile());
        QFile::setPermissions(ProgramDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(dir.read("b.ini"), QByteArray("[S]\nK=old\n"));
    }
}

TEST(IniFile, SaveKeepsPermissionsAndLeavesNoTemporaryFile)
{
    SettingsTestDir dir;
    dir.write("a.ini", "[S]\nK=old\n");
    const auto perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    QFile::setPermissions(dir.path("a.ini"), perms);
    TIniFile ini(dir.path("a.ini"));
    ini.WriteString("S", "K", "new");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(QFile::permissions(dir.path("a.ini")), perms);
    EXPECT_EQ(QDir(ProgramDir).entryList(QDir::Files | QDir::Hidden), QStringList({"a.ini"}));
}

TEST(IniFile, LineWithoutEqualsIsAnEmptyKeyAndEmptyValuesKeepTheirEquals)
{
    SettingsTestDir dir;
    dir.write("a.ini", "[S]\nA=x\nLabel1.Caption\r\nB=\n");
    TIniFile ini(dir.path("a.ini"));
    // The bare line must not inherit the value of the key before it.
    EXPECT_EQ(ini.ReadString("S", "Label1.Caption", "-"), "");
    EXPECT_EQ(ini.ReadString("S", "A", "-"), "x");
    ini.WriteString("S", "C", "");
    ASSERT_TRUE(ini.UpdateFile());
    const QByteArray saved = dir.read("a.ini");
    EXPECT_TRUE(saved.contains("\nLabel1.Caption=\n")) << saved.constData();
    EXPECT_TRUE(saved.contains("\nB=\n")) << saved.constData();
    EXPECT_TRUE(saved.contains("\nC=\n")) << saved.constData();
}
