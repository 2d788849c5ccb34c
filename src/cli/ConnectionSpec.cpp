#include "ConnectionSpec.h"

#include "CliText.h"
#include "Netrc.h"

#include "ftp/FtpClient.h"
#include "ftp/FtpCodec.h"
#include "session/CertificateTrust.h"

#include <QCommandLineParser>
#include <QUrl>
#include <QFileInfo>

bool splitHostPort(const QString& text, QString* host, QString* port)
{
    const int colon = text.lastIndexOf(':');
    if (colon <= 0)
        return false;
    bool ok = false;
    const int p = text.mid(colon + 1).toInt(&ok);
    if (!ok || p <= 0 || p > 65535)
        return false;
    *host = text.left(colon);
    *port = QString::number(p);
    return true;
}

void ConnectionSpec::addOptions(QCommandLineParser& p)
{
    p.addOptions({
        {{"u", "user"}, "Log in as USER (overrides the URL).", "USER"},
        {{"p", "password"}, "Password (overrides the URL). Other processes can see a command line: prefer "
                            "VARNOTH_PASSWORD, a netrc file or the prompt (see below).",
         "PASSWORD"},
        {"netrc-file", "Read logins from FILE instead of ~/.netrc.", "FILE"},
        {"active", "Active mode: the server connects back (PORT) instead of passive mode (PASV)."},
        {"ascii", "Transfer in ASCII type (TYPE A) instead of binary."},
        {{"c", "resume"}, "Resume a partial transfer from the size already present."},
        {"proxy", "Log in through an FTP proxy at HOST:PORT (USER user@host:port).", "HOST:PORT"},
        {"socks4", "Connect through a SOCKS 4 server.", "HOST:PORT"},
        {"socks4a", "Connect through a SOCKS 4A server.", "HOST:PORT"},
        {"socks5", "Connect through a SOCKS 5 server.", "HOST:PORT"},
        {"socks-user", "User name for the SOCKS server.", "USER"},
        {"socks-password", "Password for the SOCKS 5 server.", "PASSWORD"},
        {"timeout", "Fail a request (connecting and logging in, a command, a transfer) with "
                    "\"426 Timeout\" when it has not ended SECONDS after it started. Every block of "
                    "data a transfer moves starts the count again, so a transfer that keeps moving "
                    "may take longer; one that stalls fails SECONDS after its last block. 0: no limit. "
                    "Default: TimeOut of options.ftp when a program directory is in use "
                    "(--program-dir, VARNOTH_PROGRAM_DIR, --site), else 30.",
         "SECONDS"},
        {"max-listing", "Fail a listing larger than MB megabytes (0: no limit). Default: MaxListingMB "
                        "of options.ftp when a program directory is in use, else 256.",
         "MB"},
        {"tls", "Encrypt with TLS when the server offers it (AUTH TLS); a server without TLS is used "
                "unencrypted."},
        {"tls-required", "Require TLS (AUTH TLS): a server that refuses it is left before the user name and "
                         "password are sent."},
        {"implicit-tls", "TLS from the first byte (implicit FTPS, usually port 990; the default of ftps:// URLs)."},
        {"cacert", "Trust the server certificates issued by the PEM certificate(s) in FILE (a CA, or the "
                   "server's own certificate), besides the system's trusted authorities.",
         "FILE"},
        {"fingerprint", "Accept exactly the server certificate with this SHA-256 fingerprint (64 hexadecimal "
                        "digits, colons allowed), as printed when a certificate is refused.",
         "SHA256"},
        {{"v", "verbose"}, "Print the dialogue with the server on stderr (the password is hidden)."},
        {"site", "Use the saved site FOLDER/NAME (its host, port, user, password, anonymous rule, "
                 "passive flag and initial directory); the URL argument is then only the remote path.",
         "FOLDER/NAME"},
        {"program-dir", "Directory holding options.ftp and the saved sites (default: VARNOTH_PROGRAM_DIR, "
                        "else the program's own directory). Its connection type, proxy, SOCKS server, "
                        "time-out and listing limit apply unless given on the command line.",
         "DIR"},
    });
}

bool ConnectionSpec::resolve(const QString& url, const QCommandLineParser& p, const TFTPOptions& options,
                             const std::optional<TFTPServerObj>& site, QString* error)
{
    TConnectionFields target;
    if (site) {
        if (url.startsWith("ftp://", Qt::CaseInsensitive) || url.startsWith("ftps://", Qt::CaseInsensitive)) {
            *error = "with --site give the remote path, not a URL: " + maskUrlPassword(url);
            return false;
        }
        target = ConnectionFieldsFromSite(*site);
        if (target.Host.isEmpty()) {
            *error = "the saved site " + p.value("site") + " names no server";
            return false;
        }
        userGiven = true;
        path = url;
    } else if (!resolveUrl(url, target, error)) {
        return false;
    }
    config = ClientConfigFor(options, target);
    return applyOptions(p, error);
}

static QString decodeUrlPart(const QString& part, bool* latin1)
{
    bool l = false;
    const QString text = ftpcodec::decode(QByteArray::fromPercentEncoding(part.toUtf8()), &l);
    if (l && latin1)
        *latin1 = true;
    return text;
}

// The schemes a URL may name, and what each sets up.
namespace {
struct UrlScheme {
    const char* name;
    const char* defaultPort;
    TFtpSecurity security;  // ftps:// is implicit TLS (RFC 4217 leaves the scheme to use)
};
constexpr UrlScheme kUrlSchemes[] = {
    {"ftp", "21", ftpSecPlain},
    {"ftps", "990", ftpSecImplicit},
};
} // namespace

// A typed password may hold '@', '#' or '?': the last '@' before the path
// ends the user part (as curl and wget read it), so those characters before
// it are escaped for QUrl, which would otherwise end the host or the URL there.
static QString escapeUserInfo(const QString& url)
{
    const int scheme = url.indexOf(QLatin1String("://"));
    if (scheme < 0)
        return url;
    const int start = scheme + 3;
    int end = url.indexOf(u'/', start);
    if (end < 0)
        end = int(url.size());
    const int at = int(url.lastIndexOf(u'@', end - 1));
    if (at < start)
        return url;
    QString info = url.mid(start, at - start);
    info.replace(u'@', QLatin1String("%40"));
    info.replace(u'#', QLatin1String("%23")).replace(u'?', QLatin1String("%3F"));
    return url.left(start) + info + url.mid(at);
}

bool ConnectionSpec::resolveUrl(const QString& url, TConnectionFields& target, QString* error)
{
    const QString shown = maskUrlPassword(url);
    const QUrl u(escapeUserInfo(url.trimmed()), QUrl::TolerantMode);
    const UrlScheme* scheme = nullptr;
    for (const UrlScheme& row : kUrlSchemes)
        if (u.scheme().compare(QLatin1String(row.name), Qt::CaseInsensitive) == 0)
            scheme = &row;
    if (!scheme || !url.trimmed().contains(QLatin1String("://"))) {
        *error = "not an ftp:// URL: " + shown;
        return false;
    }
    if (!u.isValid()) {
        // QUrl's own text repeats the URL, password included: say it in words.
        const bool badPort = u.errorString().contains(QLatin1String("port"), Qt::CaseInsensitive);
        *error = (badPort ? "bad port in URL: " : "bad URL (host or user part not understood): ") + shown;
        return false;
    }
    if (u.host().isEmpty()) {
        *error = "no host in URL: " + shown;
        return false;
    }
    if (u.port() == 0) {
        *error = "bad port in URL: " + shown;
        return false;
    }
    // Host names in their ASCII form; an IPv6 address without its brackets.
    target.Host = u.host(QUrl::FullyEncoded);
    target.Port = QString::number(u.port(QString::fromLatin1(scheme->defaultPort).toInt()));
    if (scheme->security != ftpSecPlain)
        target.Security = scheme->security;
    if (!u.userInfo().isEmpty() || u.authority().contains(u'@')) {
        target.User = decodeUrlPart(u.userName(QUrl::FullyEncoded), &latin1);
        userGiven = true;
        if (u.authority(QUrl::FullyEncoded).section(u'@', 0, -2).contains(u':')) {
            target.Password = decodeUrlPart(u.password(QUrl::FullyEncoded), &latin1);
            target.PasswordKnown = true;
        }
    }
    // As with other FTP tools, the path is relative to the login directory;
    // "%2F" at its start makes it absolute. '?' and '#' are parts of names here.
    QString rawPath = u.path(QUrl::FullyEncoded);
    if (rawPath.startsWith(u'/'))
        rawPath.remove(0, 1);
    if (u.hasQuery())
        rawPath += "%3F" + u.query(QUrl::FullyEncoded);
    if (u.hasFragment())
        rawPath += "%23" + u.fragment(QUrl::FullyEncoded);
    path = decodeUrlPart(rawPath, &latin1);
    return true;
}

bool ConnectionSpec::applyOptions(const QCommandLineParser& p, QString* error)
{
    TConnectionFields& target = config.Target;
    if (p.isSet("user")) {
        target.User = p.value("user");
        userGiven = true;
    }
    if (p.isSet("password")) {
        target.Password = p.value("password");
        target.PasswordKnown = true;
    }
    if (p.isSet("active"))
        target.Passive = false;
    const int tlsModes = int(p.isSet("tls")) + int(p.isSet("tls-required")) + int(p.isSet("implicit-tls"));
    if (tlsModes > 1) {
        *error = "choose one of --tls, --tls-required, --implicit-tls";
        return false;
    }
    if (p.isSet("tls"))
        target.Security = ftpSecExplicitIfOffered;
    else if (p.isSet("tls-required"))
        target.Security = ftpSecExplicitRequired;
    else if (p.isSet("implicit-tls"))
        target.Security = ftpSecImplicit;
    if (p.isSet("cacert")) {
        const QFileInfo ca(p.value("cacert"));
        if (!ca.isFile() || !ca.isReadable()) {
            *error = "cannot read the --cacert file " + p.value("cacert");
            return false;
        }
        config.TlsCaFile = ca.absoluteFilePath();
    }
    if (p.isSet("fingerprint")) {
        config.TlsFingerprint = NormalisedFingerprint(p.value("fingerprint"));
        if (config.TlsFingerprint.isEmpty()) {
            *error = "bad --fingerprint value (a SHA-256 fingerprint: 64 hexadecimal digits, colons allowed): "
                     + p.value("fingerprint");
            return false;
        }
    }
    ascii = p.isSet("ascii");
    resume = p.isSet("resume");
    verbose = p.isSet("verbose");
    if (p.isSet("timeout")) {
        bool ok = false;
        config.TimeoutSeconds = p.value("timeout").toInt(&ok);
        if (!ok || config.TimeoutSeconds < 0) {
            *error = "bad --timeout value: " + p.value("timeout");
            return false;
        }
    }
    if (p.isSet("max-listing")) {
        bool ok = false;
        const qint64 mb = p.value("max-listing").toLongLong(&ok);
        if (!ok || mb < 0 || mb > (qint64(1) << 40)) {
            *error = "bad --max-listing value (megabytes, 0 for no limit): " + p.value("max-listing");
            return false;
        }
        config.ListingLimit = mb << 20;
    }
    int routes = p.isSet("proxy") ? 1 : 0;
    for (const char* level : {"socks4", "socks4a", "socks5"})
        routes += p.isSet(level) ? 1 : 0;
    if (routes > 1) {
        *error = "choose one of --proxy, --socks4, --socks4a, --socks5";
        return false;
    }
    if (routes == 1) {
        // The command line replaces whatever the options file chose.
        config.ProxyServer.clear();
        config.ProxyPort.clear();
        config.SocksServer.clear();
        config.SocksPort.clear();
        config.SocksUser.clear();
        config.SocksPassword.clear();
    }
    if (p.isSet("proxy")) {
        config.ConnectionType = ftpProxy;
        if (!splitHostPort(p.value("proxy"), &config.ProxyServer, &config.ProxyPort)) {
            *error = "--proxy needs HOST:PORT";
            return false;
        }
    }
    const struct {
        const char* option;
        TFtpConnectionType type;
    } socksLevels[] = {{"socks4", ftpSocks4}, {"socks4a", ftpSocks4A}, {"socks5", ftpSocks5}};
    for (const auto& level : socksLevels) {
        if (!p.isSet(level.option))
            continue;
        config.ConnectionType = level.type;
        if (!splitHostPort(p.value(level.option), &config.SocksServer, &config.SocksPort)) {
            *error = QStringLiteral("--%1 needs HOST:PORT").arg(level.option);
            return false;
        }
    }
    if (p.isSet("socks-user"))
        config.SocksUser = p.value("socks-user");
    if (p.isSet("socks-password"))
        config.SocksPassword = p.value("socks-password");
    return true;
}

void ConnectionSpec::completeLogin(const PasswordSources& sources)
{
    TConnectionFields& target = config.Target;
    if (target.PasswordKnown)
        return;
    if (!userGiven) {
        // A netrc entry for the host names the login; else it is anonymous.
        const std::optional<NetrcEntry> entry = findNetrcEntry(sources.netrc, target.Host);
        if (entry && !entry->login.isEmpty()) {
            target.User = entry->login;
            userGiven = true;
        } else {
            target.User = QStringLiteral("anonymous");
            target.Password = QStringLiteral("anonymous@");
            target.PasswordKnown = true;
            return;
        }
    }
    if (sources.environment) {
        target.Password = *sources.environment;
        target.PasswordKnown = true;
        return;
    }
    if (const std::optional<NetrcEntry> entry = findNetrcEntry(sources.netrc, target.Host, target.User);
        entry && entry->hasPassword) {
        target.Password = entry->password;
        target.PasswordKnown = true;
        return;
    }
    if (sources.ask) {
        if (const std::optional<QString> typed = sources.ask(target.User + "@" + target.Host)) {
            target.Password = *typed;
            target.PasswordKnown = true;
        }
    }
}

void ConnectionSpec::configure(TFtpClient& ftp) const
{
    ConfigureClient(ftp, config);
    ftp.SetLatin1Mode(latin1);
    ftp.SetBinary(!ascii);
}
