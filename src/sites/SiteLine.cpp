#include "sites/SiteLine.h"

#include <QLocale>
#include <QVarLengthArray>
#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr char16_t Esc = 0x1B;

// The site's Security values (the FTP client's TFtpSecurity numbers): 0 plain
// up to 3 implicit TLS.
constexpr quint8 SecurityPlain = 0;
constexpr quint8 SecurityHighest = 3;

enum Key {
    kName, kServer, kPort, kPassword, kUser, kAccount, kDescription, kInitialDir,
    kAnonymous, kSavePassword, kModifiedDate, kEMail, kLocalDir, kPasv, kDesc,
    kAnswer, kAnswerName, kCheckPSW, kCheckVHost, kTimeZone, kTimeZoneV,
    kShowHidden, kMkDir, kSecurity, kKeyCount
};

bool needsEscape(QChar c)
{
    const char16_t u = c.unicode();
    return u == ';' || u == '\n' || u == '\r' || u == 0 || u == Esc;
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return -1;
}

// A whole integer as the program's integer reader takes it: blanks around,
// an optional sign, decimal digits or "$"/"0x" hex; nothing else.
std::optional<qint64> parseWholeInt(const QString& text)
{
    QString s = text.trimmed();
    bool negative = false;
    if (s.startsWith('-') || s.startsWith('+')) {
        negative = s.startsWith('-');
        s.remove(0, 1);
    }
    int base = 10;
    if (s.startsWith('$')) {
        base = 16;
        s.remove(0, 1);
    } else if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        s.remove(0, 2);
    }
    if (s.isEmpty() || s.startsWith('+') || s.startsWith('-'))
        return std::nullopt;
    bool ok = false;
    const qint64 v = s.toLongLong(&ok, base);
    if (!ok || v > 0x7FFFFFFFLL + (negative ? 1 : 0))
        return std::nullopt;
    return negative ? -v : v;
}

// Reads an integer up to the first character that does not belong to it
// ("12ab" gives 12, "ab" gives 0), saturating far outside the 16-bit range.
qint64 parseLeadingInt(const QString& text)
{
    const QString s = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    qint64 v = 0;
    for (; i < s.size() && s[i].unicode() >= '0' && s[i].unicode() <= '9'; ++i)
        v = std::min<qint64>(v * 10 + (s[i].unicode() - '0'), 1LL << 40);
    return negative ? -v : v;
}

quint8 readFlag(const QString& text, quint8 fallback)
{
    const auto v = parseWholeInt(text);
    return v ? quint8(quint64(*v) & 0xFF) : fallback;
}

std::optional<double> parseFloat(const QString& text)
{
    QString s = text.trimmed();
    // Older lists may carry a decimal comma (written under such a locale).
    if (!s.contains('.'))
        s.replace(',', '.');
    bool ok = false;
    const double v = s.toDouble(&ok);
    // Anything beyond a few years of minutes is not a time zone.
    if (!ok || !std::isfinite(v) || std::fabs(v) > 1e7)
        return std::nullopt;
    return v;
}

// The shortest text that reads back as exactly v, so a list saved again
// keeps every site as it was ("5.3", never "5.29999999999999").
QString formatFloat(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

bool isKeyChar(QChar c)
{
    return c.isLetterOrNumber() || c == '_';
}

} // namespace

const QStringList& SiteKeys()
{
    static const QStringList keys = {
        QStringLiteral("Name"), QStringLiteral("Server"), QStringLiteral("Port"),
        QStringLiteral("Password"), QStringLiteral("User"), QStringLiteral("Account"),
        QStringLiteral("Description"), QStringLiteral("InitialDir"), QStringLiteral("Anonymous"),
        QStringLiteral("SavePassword"), QStringLiteral("ModifiedDate"), QStringLiteral("EMail"),
        QStringLiteral("LocalDir"), QStringLiteral("Pasv"), QStringLiteral("Desc"),
        QStringLiteral("Answer"), QStringLiteral("AnswerName"), QStringLiteral("CheckPSW"),
        QStringLiteral("CheckVHost"), QStringLiteral("TimeZone"), QStringLiteral("TimeZoneV"),
        QStringLiteral("ShowHidden"), QStringLiteral("MkDir"), QStringLiteral("Security"),
    };
    return keys;
}

QString EscapeSiteValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        if (needsEscape(c)) {
            out += QChar(Esc);
            out += QString::asprintf("%02X", unsigned(c.unicode()));
        } else {
            out += c;
        }
    }
    return out;
}

QString UnescapeSiteValue(const QString& value)
{
    if (!value.contains(QChar(Esc)))
        return value;
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i].unicode() == Esc && i + 2 < value.size() &&
            hexValue(value[i + 1]) >= 0 && hexValue(value[i + 2]) >= 0) {
            out += QChar(char16_t(hexValue(value[i + 1]) * 16 + hexValue(value[i + 2])));
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

double TimeZoneFromFile(double value)
{
    if (std::fabs(value) < 60)
        return value;
    const qint64 n = std::llround(value);
    const qint64 a = n < 0 ? -n : n;
    // One division of whole numbers: the same double as the text "h.mm".
    const double hm = double((a / 60) * 100 + a % 60) / 100.0;
    return n < 0 ? -hm : hm;
}

QList<std::optional<QString>> SiteLineFields(const QString& line, const QStringList& keys)
{
    QList<std::optional<QString>> raw(keys.size());

    // Pass 1: fields of their own, "Key=value" between semicolons.
    const QStringList segments = line.split(';');
    QVarLengthArray<bool, 32> recognised(segments.size());
    for (qsizetype s = 0; s < segments.size(); ++s) {
        recognised[s] = false;
        QStringView seg(segments[s]);
        while (!seg.isEmpty() && (seg.front() == ' ' || seg.front() == '\t'))
            seg = seg.mid(1);
        const qsizetype eq = seg.indexOf('=');
        if (eq <= 0)
            continue;
        const qsizetype k = keys.indexOf(seg.left(eq).toString());
        if (k < 0)
            continue;
        recognised[s] = true;
        if (!raw[k])
            raw[k] = seg.mid(eq + 1).toString();
    }

    // Pass 2: keys written somewhere else in the line (older or hand-made
    // lines), but never as the tail of a longer key.
    for (qsizetype k = 0; k < keys.size(); ++k) {
        if (raw[k])
            continue;
        const QString needle = keys[k] + '=';
        for (qsizetype s = 0; s < segments.size() && !raw[k]; ++s) {
            if (recognised[s])
                continue;
            const QString& seg = segments[s];
            for (qsizetype p = seg.indexOf(needle); p >= 0; p = seg.indexOf(needle, p + 1)) {
                if (p == 0 || !isKeyChar(seg[p - 1])) {
                    raw[k] = seg.mid(p + needle.size());
                    break;
                }
            }
        }
    }
    return raw;
}

bool ReadSiteLine(TFTPServerObj& site, const QString& line, const TSiteDefaults& defaults)
{
    site = CreateSite(defaults);
    const QList<std::optional<QString>> raw = SiteLineFields(line, SiteKeys());

    bool any = false;
    for (const auto& r : raw)
        any = any || r.has_value();
    if (!any)
        return false;

    auto text = [&](Key k, QString& field, int limit = -1) {
        if (!raw[k])
            return;
        // An empty value keeps the field's default, as a missing key does:
        // the writer leaves empty texts out, so it could not keep it anyway.
        if (raw[k]->isEmpty())
            return;
        field = UnescapeSiteValue(*raw[k]);
        if (limit >= 0)
            field.truncate(limit);
    };
    auto flag = [&](Key k, quint8& field, quint8 fallback) {
        if (raw[k])
            field = readFlag(*raw[k], fallback);
    };

    text(kName, site.Name, sitelimits::Name);
    text(kServer, site.Server);
    text(kPort, site.Port);
    if (raw[kPassword]) {
        if (const auto id = SecretIdFromMarker(*raw[kPassword]))
            site.SecretId = *id;
        else
            site.Password = UnescapeSiteValue(*raw[kPassword]);
    }
    text(kUser, site.User);
    text(kAccount, site.Account);
    text(kDescription, site.Description, sitelimits::Description);
    text(kInitialDir, site.InitialDir, sitelimits::InitialDir);
    flag(kAnonymous, site.Anonymous, 1);
    flag(kSavePassword, site.SavePassword, 1);
    text(kModifiedDate, site.ModifiedDate, sitelimits::ModifiedDate);
    text(kEMail, site.EMail, sitelimits::EMail);
    text(kLocalDir, site.LocalDir, sitelimits::LocalDir);
    flag(kPasv, site.Pasv, 0);
    text(kDesc, site.Desc);
    text(kAnswer, site.Answer, sitelimits::Answer);
    text(kAnswerName, site.AnswerName, sitelimits::AnswerName);
    flag(kCheckPSW, site.CheckPSW, 1);
    flag(kCheckVHost, site.CheckVHost, 0);
    if (raw[kTimeZone]) {
        const auto v = parseFloat(*raw[kTimeZone]);
        site.TimeZone = v ? TimeZoneFromFile(*v) : defaults.TimeZone;
        // Minutes that make 60 hours or more are damage: written back as
        // hours, the value would be read as minutes again and change.
        if (std::fabs(site.TimeZone) >= 60)
            site.TimeZone = defaults.TimeZone;
    }
    if (raw[kTimeZoneV])
        site.TimeZoneV = qint16(quint16(quint64(parseLeadingInt(*raw[kTimeZoneV])) & 0xFFFF));
    flag(kShowHidden, site.ShowHidden, 0);
    flag(kMkDir, site.MkDir, 0);
    // A line without the key (written before TLS existed) is a plain site;
    // a value this version does not know is plain too, never a guess.
    site.Security = SecurityPlain;
    if (raw[kSecurity]) {
        const auto v = parseWholeInt(*raw[kSecurity]);
        if (v && *v >= SecurityPlain && *v <= SecurityHighest)
            site.Security = quint8(*v);
    }
    return true;
}

bool WriteSiteLine(const TFTPServerObj& site, QString& line)
{
    line.clear();
    auto text = [&](const char* key, const QString& value) {
        if (!value.isEmpty())
            line += QLatin1String(key) + '=' + EscapeSiteValue(value) + ';';
    };
    auto number = [&](const char* key, const QString& value) {
        line += QLatin1String(key) + '=' + value + ';';
    };
    text("Name", site.Name);
    text("Server", site.Server);
    text("Port", site.Port);
    if (!site.SecretId.isEmpty() && site.Password.isEmpty())
        line += QStringLiteral("Password=") + KeyringMarker(site.SecretId) + ';';
    else
        text("Password", ScramblePassword(site.Password));
    text("User", site.User);
    text("Account", site.Account);
    text("Description", site.Description);
    text("InitialDir", site.InitialDir);
    number("Anonymous", QString::number(site.Anonymous));
    number("SavePassword", QString::number(site.SavePassword));
    text("ModifiedDate", site.ModifiedDate);
    text("EMail", site.EMail);
    text("LocalDir", site.LocalDir);
    number("Pasv", QString::number(site.Pasv));
    text("Desc", site.Desc);
    text("Answer", site.Answer);
    text("AnswerName", site.AnswerName);
    number("CheckPSW", QString::number(site.CheckPSW));
    number("CheckVHost", QString::number(site.CheckVHost));
    number("TimeZone", formatFloat(site.TimeZone));
    number("TimeZoneV", QString::number(site.TimeZoneV));
    number("ShowHidden", QString::number(site.ShowHidden));
    number("MkDir", QString::number(site.MkDir));
    // Left out for a plain site: its line stays exactly as before TLS.
    if (site.Security != SecurityPlain)
        number("Security", QString::number(site.Security));
    return true;
}

QString KeyringMarker(const QString& id)
{
    return QChar(Esc) + QStringLiteral("keyring:") + id;
}

std::optional<QString> SecretIdFromMarker(const QString& rawValue)
{
    static const QString prefix = KeyringMarker(QString());
    if (!rawValue.startsWith(prefix))
        return std::nullopt;
    const QString id = rawValue.mid(prefix.size());
    // Ids are QUuid text; anything else is damage, read as a password.
    const bool plain = !id.isEmpty() && id.size() <= 64
                       && std::all_of(id.begin(), id.end(), [](QChar c) { return c.isLetterOrNumber() || c == '-'; });
    return plain ? std::optional<QString>(id) : std::nullopt;
}

QString SiteLine(const TFTPServerObj& site)
{
    QString line;
    WriteSiteLine(site, line);
    return line;
}
