#pragma once
// The program's options record, its settings file "options.ftp" and the
// pane layout block. The core holds fonts as TFontRec; the window turns them
// into real fonts (ui/FontRec.h).
#include <QString>
#include <QtGlobal>
#include <optional>

// Style bits of TFontRec::Style.
enum : int { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TFontRec {
    bool Def = false;   // read from the file, never written, consulted by nothing
    QString Name;       // face name
    int Size = 8;       // points
    int Color = 0;      // colour value as stored in the file (0x00BBGGRR)
    int Style = 0;      // fsBold | fsItalic | fsUnderline | fsStrikeOut
};

// WindowState values.
enum : quint8 { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

// The ranges the options dialog allows; values read from the file are
// brought into them, so a damaged or hand-edited file cannot switch the
// time-out off or lift the listing limit.
inline constexpr int kTimeOutMin = 10, kTimeOutMax = 32767;              // seconds
inline constexpr int kMaxListingMBMin = 1, kMaxListingMBMax = 1024 * 1024; // megabytes

struct TFTPOptions {
    quint8 ConnectionType = 0;   // as stored: TFtpConnectionType's values (ConnectionTypeOf reads it)
    qint32 TransferMode = 0;     // 0 auto-detect, 1 ASCII, 2 binary
    QString ProxyServer, ProxyPort, ProxyPsw;
    bool ProxyPswMask = false;
    QString SocksServer, SocksPort, SocksPsw, SocksUC;
    bool SocksPswMask = false;
    bool PassiveTransfer = false, Sync = false, Log = false;
    QString LogFile;
    int TimeOut = 15, retry = 0;
    int MaxListingMB = 256;      // a listing larger than this fails (megabytes)
    QString Ext;
    bool Keep = false;
    int StartKeep = 100, DurationKeep = 10;
    QString CmdKeep;
    bool MailAno = false;
    QString Anonymous;
    QString fwHost, fwPort, fwID, fwPsw, fwSimbol;
    int fwType = 0;
    bool fwEnable = false;
    QString ListingFile;         // derived, never stored
    QString IniPath;
    TFontRec Font, FontLeft, FontRight;
    bool PromptDownLoad = true, PromptUpLoad = true;
    int DefPrompt = 0;           // 0 skip, 1 overwrite, 2 resume
    int DateType = 0;            // 0 dd.mm.yyyy, 1 mm.dd.yyyy
    int LogSize = 0, LogLines = 10000;
    double TimeZone = 0;         // derived at start; written, never read
    bool AskForExit = true, SavePos = true;
    bool UseKeyring = true;      // saved site passwords go to the desktop keyring where one runs
    quint8 WindowState = wsMaximized;
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

extern TFTPOptions FTPOptions;

// A list view's font as the "Font Left" / "Font Right" sections keep it.
struct TListFont {
    QString Name;
    int CharSet = 1;   // kept for the file; Qt has no use for it
    int Color = 0;
    int Style = 0;     // fs* bits
};

// What one of those sections held. An absent key leaves the list's current
// value; the style is rebuilt from the four flags, each defaulting to the
// current font's flag.
struct TListFontKeys {
    std::optional<QString> Name;
    std::optional<int> CharSet, Color;
    std::optional<bool> Bold, Italic, Underline, StrikeOut;
    TListFont ApplyTo(const TListFont& current) const;
};

struct TLoadedListFonts {
    TListFontKeys Left;   // "Font Left": the local file list
    TListFontKeys Right;  // "Font Right": the remote list
};

// What SaveOptions takes from the main window.
struct TWindowSnapshot {
    TListFont FontLeft, FontRight;
    quint8 WindowState = wsNormal;
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

// ProgramDir + "options.ftp".
QString OptionsFileName();
// ProgramDir + "FTPDIR<pid>.TXT".
QString ListingFileName(qint64 pid);

// Fills FTPOptions with the defaults and the derived ListingFile/TimeZone.
void SetDefaultOptions();
// SetDefaultOptions, then reads options.ftp into FTPOptions and the language
// globals. Never fails: a missing or damaged file gives the defaults.
// Returns the "Font Left"/"Font Right" sections for the window to apply.
TLoadedListFonts LoadOptions();
// Writes every stored key of FTPOptions (and the language globals) into
// options.ftp, keeping everything else in the file. Copies the window state
// and bounds into FTPOptions first. Returns false when the file could not be
// written; the old file is then left as it was.
bool SaveOptions(const TWindowSnapshot& window);

// Sizes of the panes and list columns, section "Layouts".
struct TLayouts {
    int LogHeight = 0, Local = 0, Ftp = 0, LocDirList = 0;
    int LocFile = 0, LocSize = 0, LocDate = 0, LocTime = 0;
    int FtpFile = 0, FtpSize = 0, FtpDate = 0, FtpTime = 0, FtpAttribute = 0, FtpLinks = 0;
};
// Reads the section with the current sizes as defaults.
TLayouts LoadLayouts(const TLayouts& current);
bool SaveLayouts(const TLayouts& sizes);
