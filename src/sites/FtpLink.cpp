#include "sites/FtpLink.h"

#include "sites/SiteListFile.h"

#include <QRegularExpression>
#include <QUrl>

bool LooksLikeLink(const QString& argument)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(argument).hasMatch() || argument.startsWith(QLatin1String("ftp:"), Qt::CaseInsensitive);
}

namespace {

// "notes.txt" and "a.tar.gz" have an extension; "pub", ".config" and "v1."
// do not.
bool hasExtension(const QString& name)
{
    static const QRegularExpression ext(QStringLiteral("^[^.].*\\.[A-Za-z0-9]{1,8}$"));
    return ext.match(name).hasMatch();
}

bool isAnonymousLogin(const QString& user)
{
    return user.isEmpty() || user.compare(QLatin1String("anonymous"), Qt::CaseInsensitive) == 0
           || user.compare(QLatin1String("ftp"), Qt::CaseInsensitive) == 0;
}

// A saved site's host as a link names it: no brackets, lower case.
QString plainHost(QString host)
{
    host = host.trimmed();
    if (host.startsWith('[') && host.endsWith(']'))
        host = host.mid(1, host.size() - 2);
    return host.toLower();
}

// The "user:password@host:port" part of a link as it was typed.
QString rawAuthority(const QString& text)
{
    const qsizetype start = text.indexOf(QLatin1String("://"));
    if (start < 0)
        return {};
    const QString rest = text.mid(start + 3);
    return rest.left(rest.indexOf('/'));
}

} // namespace

std::optional<TFtpLink> ParseFtpLink(const QString& text, QString* error)
{
    const QUrl url(text.trimmed());
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (!url.isValid())
        return fail(QStringLiteral("\"%1\" is not a valid link: %2").arg(text, url.errorString()));
    if (url.scheme().compare(QLatin1String("ftp"), Qt::CaseInsensitive) != 0)
        return fail(QStringLiteral("\"%1\" is not an ftp:// link (scheme \"%2\")").arg(text, url.scheme()));
    if (url.host().isEmpty())
        return fail(QStringLiteral("\"%1\" names no server").arg(text));

    TFtpLink link;
    link.Host = url.host(QUrl::FullyDecoded);
    if (link.Host.contains(':'))
        link.Host = '[' + link.Host + ']';
    if (url.port() == 0)
        return fail(QStringLiteral("\"%1\": port 0 is not a server port").arg(text));
    if (url.port() > 0)
        link.Port = QString::number(url.port());
    link.User = url.userName(QUrl::FullyDecoded);
    if (!url.password().isNull())
        link.Password = url.password(QUrl::FullyDecoded);
    else if (rawAuthority(text).contains(QLatin1String(":@")))
        link.Password = QString();  // "user:@host": an empty password (QUrl drops it)

    QString path = url.path(QUrl::FullyDecoded);
    // RFC 1738's ";type=" tells a directory (d) from a file (a, i).
    std::optional<bool> isDir;
    static const QRegularExpression type(QStringLiteral(";type=([aidAID])$"));
    if (const QRegularExpressionMatch m = type.match(path); m.hasMatch()) {
        isDir = m.captured(1).compare(QLatin1String("d"), Qt::CaseInsensitive) == 0;
        path.chop(m.capturedLength());
    }
    if (path.isEmpty() || path == QLatin1String("/"))
        return link;
    if (!path.startsWith('/'))
        path.prepend('/');
    const QString last = path.mid(path.lastIndexOf('/') + 1);
    const bool directory = path.endsWith('/') || isDir.value_or(!hasExtension(last));
    if (!directory) {
        link.FileName = last;
        path.chop(last.size());
    }
    link.Dir = path.endsWith('/') ? path : path + '/';
    return link;
}

TFTPServerObj SiteForFtpLink(const TFtpLink& link, QString* savedAs)
{
    const bool anonymous = isAnonymousLogin(link.User);
    std::optional<TFTPServerObj> found;
    QString foundPath;
    ForEachSavedSite([&](const QString& folder, const TFTPServerObj& saved) {
        if (found)
            return;
        TFTPServerObj s = saved;
        NormaliseServerUrl(s);
        const QString port = s.Port.trimmed().isEmpty() ? QStringLiteral("21") : s.Port.trimmed();
        const bool sameLogin = anonymous ? (s.Anonymous || isAnonymousLogin(s.User))
                                         : (!s.Anonymous && s.User == link.User);
        if (plainHost(s.Server) == plainHost(link.Host) && port == link.Port && sameLogin) {
            found = saved;
            foundPath = folder + saved.Name;
        }
    });
    if (savedAs)
        *savedAs = foundPath;

    TFTPServerObj site;
    if (found) {
        // A server field written as a URL gives its parts now, so that the
        // link's directory is not replaced by the field's when connecting.
        site = *found;
        NormaliseServerUrl(site);
    } else {
        site = CreateSite();
        site.Name = link.Host;
        site.Server = link.Host;
        site.Port = link.Port;
        site.Pasv = 1;  // as New Server makes them: passive passes most firewalls
        if (anonymous) {
            site.Anonymous = 1;
            if (site.EMail.isEmpty())
                site.EMail = QStringLiteral("anonymous@");
        } else {
            site.User = link.User;
        }
    }
    if (link.Password && site.Anonymous) {
        site.EMail = *link.Password;
    } else if (link.Password) {
        site.Password = *link.Password;
        site.SecretId.clear();
        site.SavePassword = 1;
    } else if (!site.Anonymous && site.Password.isEmpty() && site.SecretId.isEmpty()) {
        site.SavePassword = 0;  // asked at connect
    }
    if (!link.Dir.isEmpty())
        site.InitialDir = link.Dir;
    return site;
}
