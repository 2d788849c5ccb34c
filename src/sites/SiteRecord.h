#pragma once
// One saved FTP site (TFTPServerObj) and the operations on a single record:
// defaults, copying, password scrambling and reading a URL typed as server.
#include <QString>
#include <QtGlobal>

// Short-string sizes: longer values are cut to these many characters when a
// site is read from a list file.
namespace sitelimits {
constexpr int Name = 50;
constexpr int Description = 200;
constexpr int LocalDir = 255;
constexpr int InitialDir = 255;
constexpr int ModifiedDate = 80;
constexpr int EMail = 60;
constexpr int Answer = 7;
constexpr int AnswerName = 255;
} // namespace sitelimits

// The custom host type code of the "Default" type: server type 0, columns
// Name 9, Size 5, Month 7, Day 6, Time 8, Attribute 1.
inline const QString DefaultAnswer = QStringLiteral("0957681");
inline const QString DefaultAnswerName = QStringLiteral("Default");

struct TFTPServerObj {
    QString Name;            // caption in the list (50)
    QString Server;          // host name, or a URL (see NormaliseServerUrl)
    QString Password;        // plain in memory, scrambled in the file
    QString User = QStringLiteral("anonymous");
    QString Account;
    QString Description;     // carried through, not edited (200)
    QString LocalDir;        // local directory opened on connection (255)
    QString InitialDir;      // remote directory opened on connection (255)
    QString ModifiedDate;    // carried through, not edited (80)
    QString EMail;           // password of an anonymous login (60)
    quint8 Anonymous = 0;
    quint8 SavePassword = 1;
    QString Port = QStringLiteral("21");
    quint8 Pasv = 0;
    QString Desc;            // comment lines joined by "`"
    QString Answer = DefaultAnswer;          // server type digit + 6 column positions (7)
    QString AnswerName = DefaultAnswerName;  // name of the custom host type (255)
    quint8 CheckPSW = 1;     // mask the password in the properties dialog
    quint8 CheckVHost = 0;   // "Shared virtual host"
    double TimeZone = 0;     // server's UTC offset, hours + minutes/100 (5.30)
    qint16 TimeZoneV = -1;   // index in the dialog's zone list, -1 none
    quint8 ShowHidden = 0;   // becomes the client's ListAll
    quint8 MkDir = 1;        // "Relative pathname"
    quint8 TimeCmd = 3;      // 0 MFTM, 1 MDTM, 2 neither, 3 unknown; never saved
    // TLS: 0 plain, 1 explicit if offered, 2 explicit required, 3 implicit
    // (the TFtpSecurity numbers). New sites try TLS; a stored site without
    // the setting is read as plain, so it behaves as it always did.
    quint8 Security = 1;
    // The desktop keyring item that holds the password (SiteKeyring.h). While
    // Password is empty the password is there and is read at connect; empty
    // when the site line itself carries the (scrambled) password.
    QString SecretId;

    bool operator==(const TFTPServerObj&) const = default;
};

// The option values a new site takes its defaults from.
struct TSiteDefaults {
    bool MailAno = false;    // use Anonymous as the e-mail of new sites
    QString Anonymous;       // the anonymous e-mail address
    double TimeZone = 0;     // the local time zone, hours + minutes/100
};

// The defaults as the program's options (FTPOptions) hold them now.
TSiteDefaults CurrentSiteDefaults();

// A site with every default: EMail is the options' anonymous address when
// MailAno is on, TimeZone the local zone.
TFTPServerObj CreateSite(const TSiteDefaults& defaults = CurrentSiteDefaults());

// Copies every field of source into target (TimeCmd included).
void CopySite(TFTPServerObj& target, const TFTPServerObj& source);

// The key byte every password character is XOR-ed with in the list files.
// It is part of the file format: changing it makes every saved password
// unreadable. 0x19 keeps printable ASCII printable (only the blocks' low five
// bits change), so a scrambled list stays a plain text file; the one
// printable character it turns into a field separator ('"' becomes ';') is
// carried by the line escape of SiteLine.h.
constexpr char16_t PasswordKey = 0x19;

// XORs every UTF-16 code unit with PasswordKey; the same call scrambles and
// unscrambles. Surrogates stay surrogates of the same kind, so the result is
// always valid text.
QString ScramblePassword(const QString& text);

// Reads a server field written as a URL: "ftp://user:pw@host:2121/pub" leaves
// Server "host", Port "2121", User "user", Password "pw", InitialDir "/pub".
// A bracketed IPv6 literal ("[::1]:2121") keeps its colons.
void NormaliseServerUrl(TFTPServerObj& site);
