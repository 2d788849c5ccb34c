#include "sites/SiteRecord.h"

#include "settings/Options.h"

TSiteDefaults CurrentSiteDefaults()
{
    TSiteDefaults d;
    d.MailAno = FTPOptions.MailAno;
    d.Anonymous = FTPOptions.Anonymous;
    d.TimeZone = FTPOptions.TimeZone;
    return d;
}

TFTPServerObj CreateSite(const TSiteDefaults& defaults)
{
    TFTPServerObj site;
    if (defaults.MailAno)
        site.EMail = defaults.Anonymous.left(sitelimits::EMail);
    site.TimeZone = defaults.TimeZone;
    return site;
}

void CopySite(TFTPServerObj& target, const TFTPServerObj& source)
{
    target = source;
}

QString ScramblePassword(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        c = QChar(char16_t(c.unicode() ^ PasswordKey));
    return out;
}

static bool startsWithNoCase(const QString& s, const QString& prefix)
{
    return s.startsWith(prefix, Qt::CaseInsensitive);
}

void NormaliseServerUrl(TFTPServerObj& site)
{
    QString s = site.Server.trimmed();
    if (startsWithNoCase(s, QStringLiteral("ftp://")))
        s.remove(0, 6);
    if (startsWithNoCase(s, QStringLiteral("http://")))
        s.remove(0, 7);
    s = s.trimmed();

    const qsizetype at = s.indexOf('@');
    if (at >= 0) {
        const QString credentials = s.left(at);
        s.remove(0, at + 1);
        const qsizetype colon = credentials.indexOf(':');
        if (colon >= 0) {
            site.User = credentials.left(colon);
            site.Password = credentials.mid(colon + 1);
        } else {
            site.User = credentials;
        }
    }

    const qsizetype slash = s.indexOf('/');
    if (slash >= 0) {
        site.InitialDir = s.mid(slash).left(sitelimits::InitialDir);
        s.truncate(slash);
    }

    // "[v6 address]:port": the port colon is the one after the bracket.
    qsizetype colon = -1;
    if (s.startsWith('[')) {
        const qsizetype close = s.indexOf(']');
        if (close > 0 && close + 1 < s.size() && s[close + 1] == ':')
            colon = close + 1;
    } else {
        colon = s.indexOf(':');
    }
    if (colon >= 0) {
        site.Port = s.mid(colon + 1);
        s.truncate(colon);
    }
    site.Server = s;
}
