#include "sites/SiteRecord.h"

#include <QUrl>

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

    // The host and port, through QUrl: "name:port", "[v6 address]:port", and
    // an IPv6 address alone ("::1"), which has no port. An IPv6 server keeps
    // its brackets, so a port can be appended to it in texts.
    if (s.count(u':') >= 2 && !s.startsWith(u'['))
        s = u'[' + s + u']';
    const QUrl url(QStringLiteral("ftp://") + s, QUrl::StrictMode);
    if (url.isValid() && !url.host().isEmpty()) {
        const bool v6 = url.host().contains(u':');
        if (url.port() >= 0)
            site.Port = QString::number(url.port());
        site.Server = v6 ? u'[' + url.host() + u']' : s.section(u':', 0, 0);
        return;
    }
    // Not understood: the text before a colon stays the server, so the
    // connection fails naming it.
    if (s.contains(u':') && !s.startsWith(u'['))
        site.Port = s.section(u':', 1);
    site.Server = s.startsWith(u'[') ? s : s.section(u':', 0, 0);
}
