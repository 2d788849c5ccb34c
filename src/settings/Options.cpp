#include "settings/Options.h"

#include "settings/Globals.h"
#include "settings/IniFile.h"
#include "settings/TimeZones.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

TFTPOptions FTPOptions;

namespace {

const QString kCommon = QStringLiteral("Common");
const QString kProxy = QStringLiteral("Proxy");
const QString kSocks = QStringLiteral("Socks");
const QString kSavePos = QStringLiteral("SavePos");
const QString kLanguage = QStringLiteral("Language");
const QString kFontLeft = QStringLiteral("Font Left");
const QString kFontRight = QStringLiteral("Font Right");
const QString kLayouts = QStringLiteral("Layouts");

const QString kDefaultFontName = QStringLiteral("MS Sans Serif");

// The FontStyle* flags are OR-ed into a set that starts empty.
int readStyle(const TIniFile& ini, const QString& prefix)
{
    int style = 0;
    if (ini.ReadBool(kCommon, prefix + QStringLiteral("StyleBold"), false)) style |= fsBold;
    if (ini.ReadBool(kCommon, prefix + QStringLiteral("StyleItalic"), false)) style |= fsItalic;
    if (ini.ReadBool(kCommon, prefix + QStringLiteral("StyleUnderline"), false)) style |= fsUnderline;
    if (ini.ReadBool(kCommon, prefix + QStringLiteral("StyleStrikeOut"), false)) style |= fsStrikeOut;
    return style;
}

// prefix is "Font", "FontLeft" or "FontRight"; absent keys take base's values.
TFontRec readFontRec(const TIniFile& ini, const QString& prefix, const TFontRec& base)
{
    TFontRec r;
    r.Def = ini.ReadBool(kCommon, prefix + QStringLiteral("Def"), false);
    r.Name = ini.ReadString(kCommon, prefix + QStringLiteral("Name"), base.Name);
    r.Size = ini.ReadInteger(kCommon, prefix + QStringLiteral("Size"), base.Size);
    r.Color = ini.ReadInteger(kCommon, prefix + QStringLiteral("Color"), base.Color);
    r.Style = readStyle(ini, prefix);
    return r;
}

void writeFontRec(TIniFile& ini, const QString& prefix, const TFontRec& r)
{
    ini.WriteString(kCommon, prefix + QStringLiteral("Name"), r.Name);
    ini.WriteInteger(kCommon, prefix + QStringLiteral("Size"), r.Size);
    ini.WriteInteger(kCommon, prefix + QStringLiteral("Color"), r.Color);
    ini.WriteBool(kCommon, prefix + QStringLiteral("StyleBold"), r.Style & fsBold);
    ini.WriteBool(kCommon, prefix + QStringLiteral("StyleItalic"), r.Style & fsItalic);
    ini.WriteBool(kCommon, prefix + QStringLiteral("StyleUnderline"), r.Style & fsUnderline);
    ini.WriteBool(kCommon, prefix + QStringLiteral("StyleStrikeOut"), r.Style & fsStrikeOut);
}

std::optional<bool> optionalBool(const TIniFile& ini, const QString& section, const QString& key)
{
    int v = 0;
    if (ini.ValueExists(section, key) && TIniFile::ParseInteger(ini.ReadString(section, key, {}), v))
        return v != 0;
    return std::nullopt;
}

std::optional<int> optionalInt(const TIniFile& ini, const QString& section, const QString& key)
{
    int v = 0;
    if (ini.ValueExists(section, key) && TIniFile::ParseInteger(ini.ReadString(section, key, {}), v))
        return v;
    return std::nullopt;
}

TListFontKeys readListFont(const TIniFile& ini, const QString& section)
{
    TListFontKeys k;
    if (ini.ValueExists(section, QStringLiteral("Name")))
        k.Name = ini.ReadString(section, QStringLiteral("Name"), {});
    k.CharSet = optionalInt(ini, section, QStringLiteral("CharSet"));
    k.Color = optionalInt(ini, section, QStringLiteral("Color"));
    k.Bold = optionalBool(ini, section, QStringLiteral("Style_Bold"));
    k.Italic = optionalBool(ini, section, QStringLiteral("Style_Italic"));
    k.Underline = optionalBool(ini, section, QStringLiteral("Style_UnderLine"));
    k.StrikeOut = optionalBool(ini, section, QStringLiteral("Style_StrikeOut"));
    return k;
}

void writeListFont(TIniFile& ini, const QString& section, const TListFont& f)
{
    ini.WriteString(section, QStringLiteral("Name"), f.Name);
    ini.WriteInteger(section, QStringLiteral("CharSet"), f.CharSet);
    ini.WriteInteger(section, QStringLiteral("Color"), f.Color);
    ini.WriteBool(section, QStringLiteral("Style_Bold"), f.Style & fsBold);
    ini.WriteBool(section, QStringLiteral("Style_Italic"), f.Style & fsItalic);
    ini.WriteBool(section, QStringLiteral("Style_UnderLine"), f.Style & fsUnderline);
    ini.WriteBool(section, QStringLiteral("Style_StrikeOut"), f.Style & fsStrikeOut);
}

// A file that exists but cannot be read (no permission, a directory in its
// place) must not be replaced by one holding only the program's own keys.
bool mayWrite(const TIniFile& ini)
{
    return ini.Loaded() || !QFileInfo::exists(ini.FileName());
}

// The file keeps the proxy, SOCKS and firewall passwords in plain text (other
// tools read them so): a file the program creates is readable by its owner
// only. It is made empty with those permissions before the first save, which
// keeps the permissions of the file it replaces. A save that then fails
// takes the empty file away again.
bool updateOwnerOnly(TIniFile& ini)
{
    const QString name = ini.FileName();
    bool created = false;
    if (!QFileInfo::exists(name)) {
        QFile f(name);
        created = f.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    const bool ok = ini.UpdateFile();
    if (!ok && created)
        QFile::remove(name);
    return ok;
}

} // namespace

TListFont TListFontKeys::ApplyTo(const TListFont& current) const
{
    TListFont f;
    f.Name = Name.value_or(current.Name);
    f.CharSet = CharSet.value_or(current.CharSet);
    f.Color = Color.value_or(current.Color);
    f.Style = 0;
    if (Bold.value_or(current.Style & fsBold)) f.Style |= fsBold;
    if (Italic.value_or(current.Style & fsItalic)) f.Style |= fsItalic;
    if (Underline.value_or(current.Style & fsUnderline)) f.Style |= fsUnderline;
    if (StrikeOut.value_or(current.Style & fsStrikeOut)) f.Style |= fsStrikeOut;
    return f;
}

QString OptionsFileName()
{
    if (ProgramDir.isEmpty())
        InitProgramDir();
    return ProgramDir + QStringLiteral("options.ftp");
}

QString ListingFileName(qint64 pid)
{
    if (ProgramDir.isEmpty())
        InitProgramDir();
    return ProgramDir + QStringLiteral("FTPDIR%1.TXT").arg(pid);
}

void SetDefaultOptions()
{
    if (ProgramDir.isEmpty())
        InitProgramDir();
    TFTPOptions o;
    o.LogFile = ProgramDir + QStringLiteral("brenlowi.log");
    o.fwPort = QStringLiteral("21");
    o.fwSimbol = QStringLiteral("@");
    o.IniPath = ProgramDir;
    o.Font.Name = kDefaultFontName;
    o.FontLeft = o.Font;
    o.FontRight = o.Font;
    o.ListingFile = ListingFileName(QCoreApplication::applicationPid());
    o.TimeZone = LocalGMTOffsetHours();
    FTPOptions = o;
}

TLoadedListFonts LoadOptions()
{
    SetDefaultOptions();
    TFTPOptions& o = FTPOptions;
    const TIniFile ini(OptionsFileName());

    o.ConnectionType = quint8(ini.ReadInteger(kCommon, QStringLiteral("ConnectionType"), 0));
    o.TransferMode = ini.ReadInteger(kCommon, QStringLiteral("TransferMode"), 0);
    o.ProxyServer = ini.ReadString(kProxy, QStringLiteral("Server"), {});
    o.ProxyPort = ini.ReadString(kProxy, QStringLiteral("Port"), {});
    o.ProxyPsw = ini.ReadString(kProxy, QStringLiteral("Psw"), {});
    o.ProxyPswMask = ini.ReadBool(kProxy, QStringLiteral("PswMask"), false);
    o.SocksServer = ini.ReadString(kSocks, QStringLiteral("Server"), {});
    o.SocksPort = ini.ReadString(kSocks, QStringLiteral("Port"), {});
    o.SocksPsw = ini.ReadString(kSocks, QStringLiteral("Psw"), {});
    o.SocksUC = ini.ReadString(kSocks, QStringLiteral("UC"), {});
    o.SocksPswMask = ini.ReadBool(kSocks, QStringLiteral("PswMask"), false);
    o.PassiveTransfer = ini.ReadBool(kCommon, QStringLiteral("PassiveTransfer"), false);
    o.Sync = ini.ReadBool(kCommon, QStringLiteral("Sync"), false);
    o.Log = ini.ReadBool(kCommon, QStringLiteral("Log"), false);
    const QString logFile = ini.ReadString(kCommon, QStringLiteral("LogFile"), o.LogFile);
    if (!logFile.isEmpty())
        o.LogFile = logFile;
    o.LogSize = ini.ReadInteger(kCommon, QStringLiteral("LogSize"), 0);
    o.LogLines = ini.ReadInteger(kCommon, QStringLiteral("LogLines"), 10000);
    o.TimeOut = qBound(kTimeOutMin, ini.ReadInteger(kCommon, QStringLiteral("TimeOut"), 15), kTimeOutMax);
    o.MaxListingMB = qBound(kMaxListingMBMin, ini.ReadInteger(kCommon, QStringLiteral("MaxListingMB"), 256),
                            kMaxListingMBMax);
    o.retry = ini.ReadInteger(kCommon, QStringLiteral("retry"), 0);
    o.Keep = ini.ReadBool(kCommon, QStringLiteral("Keep"), false);
    o.StartKeep = ini.ReadInteger(kCommon, QStringLiteral("StartKeep"), 100);
    o.DurationKeep = ini.ReadInteger(kCommon, QStringLiteral("DurationKeep"), 10);
    o.CmdKeep = ini.ReadString(kCommon, QStringLiteral("CmdKeep"), {});
    o.Ext = ini.ReadString(kCommon, QStringLiteral("Ext"), {});
    o.MailAno = ini.ReadBool(kCommon, QStringLiteral("MailAno"), false);
    o.Anonymous = ini.ReadString(kCommon, QStringLiteral("Anonymous"), {});
    o.fwHost = ini.ReadString(kCommon, QStringLiteral("fwHost"), {});
    o.fwPort = ini.ReadString(kCommon, QStringLiteral("fwPort"), QStringLiteral("21"));
    o.fwID = ini.ReadString(kCommon, QStringLiteral("fwID"), {});
    o.fwPsw = ini.ReadString(kCommon, QStringLiteral("fwPsw"), {});
    o.fwType = ini.ReadInteger(kCommon, QStringLiteral("fwType"), 0);
    o.fwSimbol = ini.ReadString(kCommon, QStringLiteral("fwSimbol"), QStringLiteral("@"));
    o.fwEnable = ini.ReadBool(kCommon, QStringLiteral("fwEnable"), false);
    o.IniPath = ini.ReadString(kCommon, QStringLiteral("IniPath"), ProgramDir);
    o.Font = readFontRec(ini, QStringLiteral("Font"), o.Font);
    // The list fonts default to the main font as just read.
    o.FontLeft = readFontRec(ini, QStringLiteral("FontLeft"), o.Font);
    o.FontRight = readFontRec(ini, QStringLiteral("FontRight"), o.Font);
    o.PromptDownLoad = ini.ReadBool(kCommon, QStringLiteral("PromptDownLoad"), true);
    o.PromptUpLoad = ini.ReadBool(kCommon, QStringLiteral("PromptUpLoad"), true);
    o.DefPrompt = ini.ReadInteger(kCommon, QStringLiteral("DefPrompt"), 0);
    o.DateType = ini.ReadInteger(kCommon, QStringLiteral("DateType"), 0);
    o.AskForExit = ini.ReadBool(kCommon, QStringLiteral("AskForExit"), true);
    o.SavePos = ini.ReadBool(kCommon, QStringLiteral("SavePos"), true);
    o.UseKeyring = ini.ReadBool(kCommon, QStringLiteral("UseKeyring"), true);
    switch (ini.ReadInteger(kSavePos, QStringLiteral("WindowState"), 2)) {
    case 0: o.WindowState = wsNormal; break;
    case 1: o.WindowState = wsMinimized; break;
    default: o.WindowState = wsMaximized; break;
    }
    o.Left = ini.ReadInteger(kSavePos, QStringLiteral("Left"), 0);
    o.Top = ini.ReadInteger(kSavePos, QStringLiteral("Top"), 0);
    o.Width = ini.ReadInteger(kSavePos, QStringLiteral("Width"), 0);
    o.Height = ini.ReadInteger(kSavePos, QStringLiteral("Height"), 0);
    LangOn = ini.ReadBool(kLanguage, QStringLiteral("LangOn"), false);
    LangInit = ini.ReadBool(kLanguage, QStringLiteral("LangInit"), false);
    LangFile = ini.ReadString(kLanguage, QStringLiteral("LangFile"), QStringLiteral("language"));

    TLoadedListFonts fonts;
    fonts.Left = readListFont(ini, kFontLeft);
    fonts.Right = readListFont(ini, kFontRight);
    return fonts;
}

bool SaveOptions(const TWindowSnapshot& window)
{
    TFTPOptions& o = FTPOptions;
    TIniFile ini(OptionsFileName());
    if (!mayWrite(ini))
        return false;

    ini.WriteInteger(kCommon, QStringLiteral("ConnectionType"), o.ConnectionType);
    ini.WriteInteger(kCommon, QStringLiteral("TransferMode"), o.TransferMode);
    ini.WriteString(kProxy, QStringLiteral("Server"), o.ProxyServer);
    ini.WriteString(kProxy, QStringLiteral("Port"), o.ProxyPort);
    ini.WriteString(kProxy, QStringLiteral("Psw"), o.ProxyPsw);
    ini.WriteBool(kProxy, QStringLiteral("PswMask"), o.ProxyPswMask);
    ini.WriteString(kSocks, QStringLiteral("Server"), o.SocksServer);
    ini.WriteString(kSocks, QStringLiteral("Port"), o.SocksPort);
    ini.WriteString(kSocks, QStringLiteral("Psw"), o.SocksPsw);
    ini.WriteString(kSocks, QStringLiteral("UC"), o.SocksUC);
    ini.WriteBool(kSocks, QStringLiteral("PswMask"), o.SocksPswMask);
    ini.WriteBool(kCommon, QStringLiteral("PassiveTransfer"), o.PassiveTransfer);
    ini.WriteBool(kCommon, QStringLiteral("Sync"), o.Sync);
    ini.WriteBool(kCommon, QStringLiteral("Log"), o.Log);
    ini.WriteString(kCommon, QStringLiteral("LogFile"), o.LogFile);
    ini.WriteInteger(kCommon, QStringLiteral("LogSize"), o.LogSize);
    ini.WriteInteger(kCommon, QStringLiteral("LogLines"), o.LogLines);
    ini.WriteInteger(kCommon, QStringLiteral("TimeOut"), o.TimeOut);
    ini.WriteInteger(kCommon, QStringLiteral("MaxListingMB"), o.MaxListingMB);
    ini.WriteInteger(kCommon, QStringLiteral("retry"), o.retry);
    ini.WriteBool(kCommon, QStringLiteral("Keep"), o.Keep);
    ini.WriteInteger(kCommon, QStringLiteral("StartKeep"), o.StartKeep);
    ini.WriteInteger(kCommon, QStringLiteral("DurationKeep"), o.DurationKeep);
    ini.WriteString(kCommon, QStringLiteral("CmdKeep"), o.CmdKeep);
    ini.WriteString(kCommon, QStringLiteral("Ext"), o.Ext);
    ini.WriteString(kCommon, QStringLiteral("Anonymous"), o.Anonymous);
    ini.WriteBool(kCommon, QStringLiteral("MailAno"), o.MailAno);
    ini.WriteString(kCommon, QStringLiteral("fwHost"), o.fwHost);
    ini.WriteString(kCommon, QStringLiteral("fwPort"), o.fwPort);
    ini.WriteString(kCommon, QStringLiteral("fwID"), o.fwID);
    ini.WriteString(kCommon, QStringLiteral("fwPsw"), o.fwPsw);
    ini.WriteInteger(kCommon, QStringLiteral("fwType"), o.fwType);
    ini.WriteString(kCommon, QStringLiteral("fwSimbol"), o.fwSimbol);
    ini.WriteBool(kCommon, QStringLiteral("fwEnable"), o.fwEnable);
    ini.WriteString(kCommon, QStringLiteral("IniPath"), o.IniPath);
    writeFontRec(ini, QStringLiteral("Font"), o.Font);
    writeFontRec(ini, QStringLiteral("FontLeft"), o.FontLeft);
    writeFontRec(ini, QStringLiteral("FontRight"), o.FontRight);
    ini.WriteBool(kCommon, QStringLiteral("PromptDownLoad"), o.PromptDownLoad);
    ini.WriteBool(kCommon, QStringLiteral("PromptUpLoad"), o.PromptUpLoad);
    ini.WriteInteger(kCommon, QStringLiteral("DefPrompt"), o.DefPrompt);
    ini.WriteInteger(kCommon, QStringLiteral("DateType"), o.DateType);
    ini.WriteFloat(kCommon, QStringLiteral("TimeZone"), o.TimeZone);
    ini.WriteBool(kCommon, QStringLiteral("AskForExit"), o.AskForExit);
    ini.WriteBool(kCommon, QStringLiteral("SavePos"), o.SavePos);
    ini.WriteBool(kCommon, QStringLiteral("UseKeyring"), o.UseKeyring);
    ini.WriteBool(kLanguage, QStringLiteral("LangOn"), LangOn);
    ini.WriteBool(kLanguage, QStringLiteral("LangInit"), LangInit);
    ini.WriteString(kLanguage, QStringLiteral("LangFile"), LangFile);
    writeListFont(ini, kFontRight, window.FontRight);
    writeListFont(ini, kFontLeft, window.FontLeft);

    // The placement is stored whatever SavePos says; SavePos only decides
    // whether the next start uses it.
    o.WindowState = window.WindowState <= wsMaximized ? window.WindowState : quint8(wsMaximized);
    o.Left = window.Left;
    o.Top = window.Top;
    o.Width = window.Width;
    o.Height = window.Height;
    ini.WriteInteger(kSavePos, QStringLiteral("WindowState"), o.WindowState);
    ini.WriteInteger(kSavePos, QStringLiteral("Left"), o.Left);
    ini.WriteInteger(kSavePos, QStringLiteral("Top"), o.Top);
    ini.WriteInteger(kSavePos, QStringLiteral("Width"), o.Width);
    ini.WriteInteger(kSavePos, QStringLiteral("Height"), o.Height);
    return updateOwnerOnly(ini);
}

namespace {
struct LayoutKey {
    const char* name;
    int TLayouts::*field;
};
// Read, applied and written in this order.
const LayoutKey kLayoutKeys[] = {
    {"LogHeight", &TLayouts::LogHeight}, {"Local", &TLayouts::Local},
    {"Ftp", &TLayouts::Ftp}, {"LocDirList", &TLayouts::LocDirList},
    {"LocFile", &TLayouts::LocFile}, {"LocSize", &TLayouts::LocSize},
    {"LocDate", &TLayouts::LocDate}, {"LocTime", &TLayouts::LocTime},
    {"FtpFile", &TLayouts::FtpFile}, {"FtpSize", &TLayouts::FtpSize},
    {"FtpDate", &TLayouts::FtpDate}, {"FtpTime", &TLayouts::FtpTime},
    {"FtpAttribute", &TLayouts::FtpAttribute}, {"FtpLinks", &TLayouts::FtpLinks},
};
} // namespace

TLayouts LoadLayouts(const TLayouts& current)
{
    const TIniFile ini(OptionsFileName());
    TLayouts out = current;
    for (const LayoutKey& k : kLayoutKeys)
        out.*k.field = ini.ReadInteger(kLayouts, QLatin1String(k.name), current.*k.field);
    return out;
}

bool SaveLayouts(const TLayouts& sizes)
{
    TIniFile ini(OptionsFileName());
    if (!mayWrite(ini))
        return false;
    for (const LayoutKey& k : kLayoutKeys)
        ini.WriteInteger(kLayouts, QLatin1String(k.name), sizes.*k.field);
    return updateOwnerOnly(ini);
}
