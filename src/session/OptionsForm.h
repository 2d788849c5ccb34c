#pragma once
// The options dialog's rules that need no window: what each control shows
// for the stored settings, what "OK" makes of the controls' values, the
// ranges of the number fields and the editing of its two lists. The dialog
// (ui/T_Options) only moves a TOptionsForm in and out of its widgets.
#include "settings/Options.h"

#include <QString>
#include <QStringList>

// The range of one number field; typed values outside it are brought into it.
struct TRange {
    int Min, Max;
};
namespace optrange {
inline constexpr TRange TimeOut{kTimeOutMin, kTimeOutMax}; // seconds
inline constexpr TRange Retry{0, 32767};
inline constexpr TRange LogSize{0, 32000};                 // Kbytes, 0 = no limit
inline constexpr TRange LogLines{0, 10000};
inline constexpr TRange StartKeep{1, 1000};                // seconds
inline constexpr TRange DurationKeep{1, 100};              // minutes
} // namespace optrange

// A number as typed: blanks around it ignored, brought into the range.
// Text that is no number gives fallback (brought into the range too).
int RangedValue(const QString& text, TRange range, int fallback);

// A list as one line of comma text: an item holding a blank, a control
// character, a double quote or a comma is written in double quotes with its
// quotes doubled; a list of exactly one empty item is written as "".
// SplitCommaText (session/KeepAlive.h) reads it back.
QString JoinCommaText(const QStringList& items);
// The items of a stored list, blank items left out (they would show as
// empty rows, and a blank keep-alive command is never sent).
QStringList CommaTextItems(const QString& text);

// Appends a typed entry (trimmed) to a list; a blank entry is ignored: a
// blank keep-alive command would go out every few seconds and leave the
// server answering 500. Returns whether the list grew.
bool AddListEntry(QStringList& list, const QString& text);
// Replaces entry index with the typed text (trimmed); a blank text or an
// index out of range changes nothing.
bool ReplaceListEntry(QStringList& list, int index, const QString& text);

// The language settings the dialog edits besides the record.
struct TLanguageSettings {
    bool LangOn = false;
    bool LangInit = false;
    QString LangFile;
};

// Every value the dialog shows, page by page.
struct TOptionsForm {
    // Connection
    int TimeOut = 15, Retry = 0;
    bool MailAno = false;
    QString Anonymous;
    bool Sync = false, PassiveTransfer = false;   // hidden controls
    // Ascii/Binary
    int TransferMode = 0;                          // 0 auto, 1 ASCII, 2 binary
    QStringList Ext;
    // Log
    bool Log = false;
    QString LogFile;
    int LogSize = 0, LogLines = 10000;
    // Keep Alive
    bool Keep = false;
    int StartKeep = 100, DurationKeep = 10;
    QStringList CmdKeep;
    // Proxy / Firewall
    int ConnectionType = 0;                        // 0 direct ... 4 SOCKS 5
    QString ProxyServer, ProxyPort, ProxyPsw;
    bool ProxyPswMask = false;
    QString SocksServer, SocksPort, SocksPsw, SocksUC;
    bool SocksPswMask = false;
    bool fwEnable = false;                         // hidden controls
    int fwType = 0;
    QString fwSimbol;
    // Display / Prompts
    TFontRec Font;
    QString IniPath;
    bool PromptDownLoad = true, PromptUpLoad = true;
    int DefPrompt = 0;                             // 0 skip, 1 overwrite, 2 resume
    int DateType = 0;                              // 0 Europe, 1 USA
    bool AskForExit = true, SavePos = true;
    bool UseKeyring = true;                        // saved passwords in the desktop keyring
    // Language
    bool LangOn = false;
    bool LangInit = false;                         // hidden control
    QStringList Languages;                         // the choices of the language box
    int Language = -1;                             // the chosen one, -1 none
};

// What the dialog shows for the settings. Numbers are brought into their
// ranges; a transfer mode of 3 or more, a connection type above SOCKS 5, a
// firewall scheme outside 1..6, a default action other than 1 and 2 and a
// date order other than 1 show as 0; the firewall check box is off whatever
// fwEnable says. languages: the available languages; with localization on
// the one named by LangFile (cut at its first ".", any letter case) is
// chosen. With localization on but no language at all, lang.LangOn is
// cleared here, in the caller's settings, whatever the dialog's outcome.
TOptionsForm OptionsForm(const TFTPOptions& o, TLanguageSettings& lang, const QStringList& languages);

// "OK": the form's values into the settings. Keep is on only with at least
// one command; the hidden controls give back what they were filled with (so
// fwEnable ends off); when Font differs from the record's font in name, size,
// colour or style it becomes the font of all three records, otherwise the
// three stay as they are. Localization on takes the chosen language (with
// none chosen it ends off); localization off returns to the default language.
// Texts other than passwords are trimmed.
void TakeOptionsForm(const TOptionsForm& f, TFTPOptions& o, TLanguageSettings& lang);

// Name, size, colour or style differ.
bool FontRecsDiffer(const TFontRec& a, const TFontRec& b);
