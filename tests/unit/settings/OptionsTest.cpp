#include "settings/Options.h"

#include "settings/Globals.h"
#include "settings/IniFile.h"
#include "SettingsTestDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// Every stored field set away from its default.
void fillNonDefault(TFTPOptions& o)
{
    o.ConnectionType = 4;
    o.TransferMode = 2;
    o.ProxyServer = "proxy.example";
    o.ProxyPort = "3128";
    o.ProxyPsw = "p,\"w\"";
    o.ProxyPswMask = true;
    o.SocksServer = "socks.example";
    o.SocksPort = "1080";
    o.SocksPsw = "sp";
    o.SocksUC = "su";
    o.SocksPswMask = true;
    o.PassiveTransfer = true;
    o.Sync = true;
    o.Log = true;
    o.LogFile = "/var/tmp/x.log";
    o.TimeOut = 33;
    o.retry = 3;
    o.Ext = "txt,htm";
    o.Keep = true;
    o.StartKeep = 60;
    o.DurationKeep = 5;
    o.CmdKeep = "NOOP,PWD";
    o.MailAno = true;
    o.Anonymous = "me@example.org";
    o.fwHost = "fw";
    o.fwPort = "2121";
    o.fwID = "id";
    o.fwPsw = "pw";
    o.fwSimbol = "#";
    o.fwType = 6;
    o.fwEnable = true;
    o.IniPath = "/srv/data/";
    o.Font = {true, "DejaVu Sans", 11, 0x0000FF, fsBold | fsStrikeOut};
    o.FontLeft = {true, "Mono", 9, 0x00FF00, fsItalic};
    o.FontRight = {true, "Serif", 12, 0xFF0000, fsUnderline | fsBold};
    o.PromptDownLoad = false;
    o.PromptUpLoad = false;
    o.DefPrompt = 2;
    o.DateType = 1;
    o.LogSize = 500;
    o.LogLines = 250;
    o.TimeZone = 99.5;
    o.AskForExit = false;
    o.SavePos = false;
}

void expectFont(const TFontRec& a, const TFontRec& b)
{
    EXPECT_EQ(a.Name, b.Name);
    EXPECT_EQ(a.Size, b.Size);
    EXPECT_EQ(a.Color, b.Color);
    EXPECT_EQ(a.Style, b.Style);
}

} // namespace

TEST(Options, SaveAndLoadKeepEveryStoredKey)
{
    SettingsTestDir dir;
    SetDefaultOptions();
    fillNonDefault(FTPOptions);
    LangOn = true;
    LangInit = true;
    LangFile = "deutsch";
    const TFTPOptions saved = FTPOptions;
    TWindowSnapshot w;
    w.FontLeft = {"Mono", 204, 0x123456, fsBold | fsItalic};
    w.FontRight = {"Serif", 0, 0x654321, fsStrikeOut};
    w.WindowState = wsNormal;
    w.Left = 10; w.Top = -20; w.Width = 800; w.Height = 600;
    ASSERT_TRUE(SaveOptions(w));

    LangOn = LangInit = false;
    LangFile = "language";
    const TLoadedListFonts fonts = LoadOptions();
    const TFTPOptions& o = FTPOptions;
    EXPECT_EQ(o.ConnectionType, saved.ConnectionType);
    EXPECT_EQ(o.TransferMode, saved.TransferMode);
    EXPECT_EQ(QStringList({o.ProxyServer, o.ProxyPort, o.ProxyPsw, o.SocksServer, o.SocksPort, o.SocksPsw, o.SocksUC}),
              QStringList({saved.ProxyServer, saved.ProxyPort, saved.ProxyPsw, saved.SocksServer, saved.SocksPort,
                           saved.SocksPsw, saved.SocksUC}));
    EXPECT_TRUE(o.ProxyPswMask && o.SocksPswMask && o.PassiveTransfer && o.Sync && o.Log && o.Keep && o.MailAno
                && o.fwEnable);
    EXPECT_EQ(o.LogFile, saved.LogFile);
    EXPECT_EQ(o.TimeOut, 33);
    EXPECT_EQ(o.retry, 3);
    EXPECT_EQ(o.Ext, saved.Ext);
    EXPECT_EQ(o.StartKeep, 60);
    EXPECT_EQ(o.DurationKeep, 5);
    EXPECT_EQ(o.CmdKeep, saved.CmdKeep);
    EXPECT_EQ(o.Anonymous, saved.Anonymous);
    EXPECT_EQ(QStringList({o.fwHost, o.fwPort, o.fwID, o.fwPsw, o.fwSimbol}),
              QStringList({"fw", "2121", "id", "pw", "#"}));
    EXPECT_EQ(o.fwType, 6);
    EXPECT_EQ(o.IniPath, saved.IniPath);
    expectFont(o.Font, saved.Font);
    expectFont(o.FontLeft, saved.FontLeft);
    expectFont(o.FontRight, saved.FontRight);
    // The Def flags are never written.
    EXPECT_FALSE(o.Font.Def || o.FontLeft.Def || o.FontRight.Def);
    EXPECT_FALSE(o.PromptDownLoad || o.PromptUpLoad || o.AskForExit || o.SavePos);
    EXPECT_EQ(o.DefPrompt, 2);
    EXPECT_EQ(o.DateType, 1);
    EXPECT_EQ(o.LogSize, 500);
    EXPECT_EQ(o.LogLines, 250);
    // TimeZone is written but recomputed at every start.
    EXPECT_NE(o.TimeZone, 99.5);
    EXPECT_EQ(o.WindowState, wsNormal);
    EXPECT_EQ(QList<int>({o.Left, o.Top, o.Width, o.Height}), QList<int>({10, -20, 800, 600}));
    EXPECT_TRUE(LangOn && LangInit);
    EXPECT_EQ(LangFile, "deutsch");

    const TListFont left = fonts.Left.ApplyTo({"Other", 1, 0, fsUnderline});
    EXPECT_EQ(left.Name, "Mono");
    EXPECT_EQ(left.CharSet, 204);
    EXPECT_EQ(left.Color, 0x123456);
    EXPECT_EQ(left.Style, fsBold | fsItalic);
    const TListFont right = fonts.Right.ApplyTo({"Other", 1, 0, fsBold});
    EXPECT_EQ(right.Name, "Serif");
    EXPECT_EQ(right.Style, fsStrikeOut);
    EXPECT_NEAR(TIniFile(dir.path("options.ftp")).ReadFloat("Common", "TimeZone", 0), 99.5, 1e-9);
}

TEST(Options, SparseFileFallsBackToEffectiveDefaults)
{
    SettingsTestDir dir;
    dir.write("options.ftp", "[Common]\nPassiveTransfer=1\nLogFile=\n");
    const TLoadedListFonts fonts = LoadOptions();
    const TFTPOptions& o = FTPOptions;
    EXPECT_TRUE(o.PassiveTransfer);
    EXPECT_EQ(o.DurationKeep, 10);
    EXPECT_EQ(o.LogLines, 10000);
    EXPECT_EQ(o.TimeOut, 15);
    EXPECT_EQ(o.StartKeep, 100);
    EXPECT_EQ(o.fwPort, "21");
    EXPECT_EQ(o.fwSimbol, "@");
    EXPECT_EQ(o.LogFile, ProgramDir + "brenlowi.log"); // present but empty keeps the default
    EXPECT_EQ(o.IniPath, ProgramDir);
    EXPECT_EQ(o.Font.Name, "MS Sans Serif");
    EXPECT_EQ(o.Font.Size, 8);
    EXPECT_TRUE(o.PromptDownLoad && o.PromptUpLoad && o.AskForExit && o.SavePos);
    EXPECT_EQ(o.WindowState, wsMaximized);
    EXPECT_EQ(LangFile, "language");
    EXPECT_EQ(o.ListingFile, ProgramDir + QString("FTPDIR%1.TXT").arg(QCoreApplication::applicationPid()));
    // Absent list-font keys leave the list's current font alone.
    const TListFont cur{"Current", 0, 42, fsItalic | fsUnderline};
    const TListFont applied = fonts.Left.ApplyTo(cur);
    EXPECT_EQ(applied.Name, cur.Name);
    EXPECT_EQ(applied.Color, 42);
    EXPECT_EQ(applied.Style, cur.Style);

    ASSERT_TRUE(SaveOptions({}));
    EXPECT_EQ(TIniFile(dir.path("options.ftp")).ReadString("Common", "PassiveTransfer", ""), "1");
}

TEST(Options, ReadingRulesForStatesHexAndStyles)
{
    SettingsTestDir dir;
    dir.write("options.ftp",
              "[Common]\nFontSize=0x10\nFontStyleBold=1\nFontStyleItalic=0\nFontStyleUnderline=5\n"
              "FontName=Arial\nFontLeftStyleStrikeOut=1\nFontDef=1\nTimeOut=0x1E\n"
              "[SavePos]\nWindowState=7\n"
              "[Font Left]\nStyle_Bold=1\nColor=junk\n");
    const TLoadedListFonts fonts = LoadOptions();
    EXPECT_EQ(FTPOptions.Font.Size, 16);
    EXPECT_EQ(FTPOptions.Font.Style, fsBold | fsUnderline);
    EXPECT_TRUE(FTPOptions.Font.Def);
    EXPECT_EQ(FTPOptions.TimeOut, 30);
    // The list fonts start from the main font as read; their own style flags only.
    EXPECT_EQ(FTPOptions.FontLeft.Name, "Arial");
    EXPECT_EQ(FTPOptions.FontLeft.Size, 16);
    EXPECT_EQ(FTPOptions.FontLeft.Style, fsStrikeOut);
    EXPECT_EQ(FTPOptions.WindowState, wsMaximized);
    // The style of a list-font section is rebuilt; a bad colour keeps the current one.
    const TListFont f = fonts.Left.ApplyTo({"Cur", 1, 77, fsItalic});
    EXPECT_EQ(f.Style, fsBold | fsItalic);
    EXPECT_EQ(f.Color, 77);

    dir.write("options.ftp", "[SavePos]\nWindowState=1\n");
    LoadOptions();
    EXPECT_EQ(FTPOptions.WindowState, wsMinimized);
    dir.write("options.ftp", "[SavePos]\nWindowState=0\n");
    LoadOptions();
    EXPECT_EQ(FTPOptions.WindowState, wsNormal);
}

TEST(Options, SaveKeepsForeignKeysSectionsAndOrder)
{
    SettingsTestDir dir;
    dir.write("options.ftp",
              "[Mine]\nhello=a,b\n\n[Common]\nTimeOut=20\nMyOwnKey=\"x\"\nConnectionType=1\n"
              "[Layouts]\nLogHeight=123\n");
    LoadOptions();
    ASSERT_TRUE(SaveOptions({}));
    TIniFile ini(dir.path("options.ftp"));
    const QStringList sections = ini.ReadSections();
    ASSERT_GE(sections.size(), 3);
    EXPECT_EQ(sections.mid(0, 3), QStringList({"Mine", "Common", "Layouts"}));
    EXPECT_EQ(ini.ReadString("Mine", "hello", ""), "a,b");
    EXPECT_EQ(ini.ReadSection("Common").mid(0, 3), QStringList({"TimeOut", "MyOwnKey", "ConnectionType"}));
    EXPECT_EQ(ini.ReadString("Common", "MyOwnKey", ""), "\"x\"");
    EXPECT_EQ(ini.ReadInteger("Common", "TimeOut", 0), 20);
    EXPECT_EQ(ini.ReadInteger("Layouts", "LogHeight", 0), 123);
    EXPECT_FALSE(ini.ValueExists("Common", "FontDef"));
    // The bounds are stored even when SavePos is off.
    FTPOptions.SavePos = false;
    TWindowSnapshot w;
    w.Left = 5;
    w.WindowState = 9;
    ASSERT_TRUE(SaveOptions(w));
    TIniFile again(dir.path("options.ftp"));
    EXPECT_EQ(again.ReadInteger("SavePos", "Left", 0), 5);
    EXPECT_EQ(again.ReadInteger("SavePos", "WindowState", 0), 2);
}

TEST(Options, DamagedFileLoadsDefaults)
{
    SettingsTestDir dir;
    QByteArray bytes("garbage line without equals\n[Common\n[Common]\nTimeOut=abc\nTimeOut=45\n"
                     "LogLines=99999999999999999999\nDurationKeep=0x\nPassiveTransfer=yes\n");
    bytes += QByteArray("\x00\xFF\xFE\x01\x02=\x03\n", 8);
    bytes += "StartKeep=-7\nConnectionType=300\n[SavePos]\nWindowState=-1\n";
    dir.write("options.ftp", bytes);
    EXPECT_NO_THROW(LoadOptions());
    EXPECT_EQ(FTPOptions.TimeOut, 15);        // first of a doubled key, not a number
    EXPECT_EQ(FTPOptions.LogLines, 10000);
    EXPECT_EQ(FTPOptions.DurationKeep, 10);
    EXPECT_FALSE(FTPOptions.PassiveTransfer);
    EXPECT_EQ(FTPOptions.StartKeep, -7);      // values are not range-checked
    EXPECT_EQ(FTPOptions.WindowState, wsMaximized);
    EXPECT_TRUE(SaveOptions({}));
    EXPECT_NO_THROW(LoadOptions());
    EXPECT_EQ(FTPOptions.TimeOut, 15);
}

TEST(Options, FailedSaveReportsFalseAndKeepsTheOldFile)
{
    SettingsTestDir dir;
    QDir().mkpath(dir.path("options.ftp"));
    EXPECT_NO_THROW(LoadOptions());
    EXPECT_EQ(FTPOptions.TimeOut, 15);
    EXPECT_FALSE(SaveOptions({}));
    EXPECT_FALSE(SaveLayouts({}));
    EXPECT_TRUE(QFileInfo(dir.path("options.ftp")).isDir());

    if (geteuid() != 0) {
        QDir().rmdir(dir.path("options.ftp"));
        dir.write("options.ftp", "[Foreign]\nK=v\n");
        QFile::setPermissions(dir.path("options.ftp"), QFileDevice::Permissions());
        EXPECT_FALSE(SaveOptions({})); // an unreadable file is not replaced by our keys alone
        QFile::setPermissions(dir.path("options.ftp"), QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_EQ(dir.read("options.ftp"), QByteArray("[Foreign]\nK=v\n"));
    }

    const QString saved = ProgramDir;
    ProgramDir = "/proc/varnoth-no-such-dir/";
    EXPECT_FALSE(SaveOptions({}));
    ProgramDir = saved;
}

TEST(Options, LayoutsReadWithCurrentSizesAsDefaults)
{
    SettingsTestDir dir;
    dir.write("options.ftp", "[Layouts]\nLocal=300\nFtpLinks=0x20\nFtpFile=bad\n");
    TLayouts cur;
    cur.LogHeight = 90;
    cur.FtpFile = 150;
    const TLayouts l = LoadLayouts(cur);
    EXPECT_EQ(l.LogHeight, 90);
    EXPECT_EQ(l.Local, 300);
    EXPECT_EQ(l.FtpLinks, 32);
    EXPECT_EQ(l.FtpFile, 150);

    TLayouts s;
    s.LogHeight = 1; s.Local = 2; s.Ftp = 3; s.LocDirList = 4; s.LocFile = 5; s.LocSize = 6; s.LocDate = 7;
    s.LocTime = 8; s.FtpFile = 9; s.FtpSize = 10; s.FtpDate = 11; s.FtpTime = 12; s.FtpAttribute = 13;
    s.FtpLinks = 14;
    dir.write("options.ftp", "");
    ASSERT_TRUE(SaveLayouts(s));
    EXPECT_EQ(TIniFile(dir.path("options.ftp")).ReadSectionValues("Layouts"),
              QStringList({"LogHeight=1", "Local=2", "Ftp=3", "LocDirList=4", "LocFile=5", "LocSize=6", "LocDate=7",
                           "LocTime=8", "FtpFile=9", "FtpSize=10", "FtpDate=11", "FtpTime=12", "FtpAttribute=13",
                           "FtpLinks=14"}));
    EXPECT_EQ(LoadLayouts({}).FtpAttribute, 13);
}

TEST(Options, EachProcessHasItsOwnListingFile)
{
    SettingsTestDir dir;
    SetDefaultOptions();
    // A helper program prints the listing file of its own process.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VARNOTH_PROGRAM_DIR", ProgramDir);
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(VARNOTH_PRINT_LISTING_FILE), {});
    ASSERT_TRUE(child.waitForFinished(30000)) << qPrintable(child.errorString());
    EXPECT_EQ(child.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    const qsizetype at = out.indexOf("LISTING:");
    ASSERT_GE(at, 0) << qPrintable(out);
    const QString childName = out.mid(at + 8).section('\n', 0, 0).trimmed();
    EXPECT_TRUE(childName.startsWith(ProgramDir + "FTPDIR"));
    EXPECT_TRUE(childName.endsWith(".TXT"));
    EXPECT_NE(childName, FTPOptions.ListingFile);
}

// TimeOut 0 or below would switch the time-out off and MaxListingMB 0 would
// lift the listing limit: read values are brought into the dialog's ranges.
TEST(Options, TimeOutAndListingLimitAreClampedOnLoad)
{
    SettingsTestDir dir;
    struct Row {
        const char* file;
        int timeOut, maxListingMB;
    };
    const Row rows[] = {
        {"[Common]\n", 15, 256},
        {"[Common]\nTimeOut=-7\nMaxListingMB=-1\n", kTimeOutMin, kMaxListingMBMin},
        {"[Common]\nTimeOut=0\nMaxListingMB=0\n", kTimeOutMin, kMaxListingMBMin},
        {"[Common]\nTimeOut=9\nMaxListingMB=1\n", kTimeOutMin, 1},
        {"[Common]\nTimeOut=10\nMaxListingMB=512\n", 10, 512},
        {"[Common]\nTimeOut=32767\nMaxListingMB=1048576\n", 32767, 1048576},
        {"[Common]\nTimeOut=99999\nMaxListingMB=0x7FFFFFFF\n", kTimeOutMax, kMaxListingMBMax},
        {"[Common]\nTimeOut=abc\nMaxListingMB=lots\n", 15, 256},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        dir.write("options.ftp", row.file);
        LoadOptions();
        EXPECT_EQ(FTPOptions.TimeOut, row.timeOut);
        EXPECT_EQ(FTPOptions.MaxListingMB, row.maxListingMB);
    }

    FTPOptions.MaxListingMB = 64;
    ASSERT_TRUE(SaveOptions({}));
    EXPECT_EQ(TIniFile(dir.path("options.ftp")).ReadInteger("Common", "MaxListingMB", 0), 64);
    LoadOptions();
    EXPECT_EQ(FTPOptions.MaxListingMB, 64);
}
