#include "ConnectionSpec.h"

#include "ftp/FtpClient.h"
#include "ftp/FtpCodec.h"
#include "settings/Globals.h"
#include "settings/Options.h"
#include "sites/SiteListFile.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

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
        {{"p", "password"}, "Password (overrides the URL; prompted for without echo when a terminal is present).", "PASSWORD"},
        {"active", "Active mode: the server connects back (PORT) instead of passive mode (PASV)."},
        {"ascii", "Transfer in ASCII type (TYPE A) instead of binary."},
        {{"c", "resume"}, "Resume a partial transfer from the size already present."},
        {"proxy", "Log in through an FTP proxy at HOST:PORT (USER user@host:port).", "HOST:PORT"},
        {"socks4", "Connect through a SOCKS 4 server.", "HOST:PORT"},
        {"socks4a", "Connect through a SOCKS 4A server.", "HOST:PORT"},
        {"socks5", "Connect through a SOCKS 5 server.", "HOST:PORT"},
        {"socks-user", "User name for the SOCKS server.", "USER"},
        {"socks-password", "Password for the SOCKS 5 server.", "PASSWORD"},
        {"timeout", "Give up when the server stays silent this many seconds (default 30).", "SECONDS"},
        {{"v", "verbose"}, "Print the dialogue with the server on stderr (the password is hidden)."},
        {"site", "Use the saved site FOLDER/NAME (its host, port, user, password, anonymous rule, "
                 "passive flag and initial directory); the URL argument is then only the remote path.",
         "FOLDER/NAME"},
        {"program-dir", "Directory holding options.ftp and the saved sites (default: the program's own "
                        "directory). Its connection type, proxy, SOCKS server and time-out apply unless "
                        "given on the command line.",
         "DIR"},
    });
}

// Loads options.ftp from the chosen program directory and takes its
// connection settings as the defaults the command line may override.
void ConnectionSpec::loadProgramOptions(const QCommandLineParser& p)
{
    if (p.isSet("program-dir"))
        ProgramDir = WithTrailingSlash(QFileInfo(p.value("program-dir")).absoluteFilePath());
    else
        InitProgramDir();
    LoadOptions();
    timeoutSeconds = FTPOptions.TimeOut;
    switch (FTPOptions.ConnectionType) {
    case ctProxy:
        proxyHost = FTPOptions.ProxyServer;
        proxyPort = FTPOptions.ProxyPort.isEmpty() ? QStringLiteral("21") : FTPOptions.ProxyPort;
        break;
    case ctSocks4:
    case ctSocks4A:
    case ctSocks5:
        socksLevel = FTPOptions.ConnectionType == ctSocks4 ? "4" : FTPOptions.ConnectionType == ctSocks4A ? "4A" : "5";
        socksHost = FTPOptions.SocksServer;
        socksPort = FTPOptions.SocksPort;
        socksUser = FTPOptions.SocksUC;
        socksPassword = FTPOptions.SocksPsw;
        break;
    default:
        break;
    }
}

// Takes host, login and directories from a saved site, as a double click on
// it in the site list would.
bool ConnectionSpec::useSavedSite(const QString& name, QString* error)
{
    std::optional<TFTPServerObj> found = FindSavedSite(name);
    if (!found) {
        *error = "no saved site " + name;
        return false;
    }
    TFTPServerObj site = *found;
    NormaliseServerUrl(site);
    host = site.Server;
    if (!site.Port.trimmed().isEmpty())
        port = site.Port.trimmed();
    userGiven = true;
    if (site.Anonymous) {
        user = QStringLiteral("anonymous");
        password = site.EMail;
        passwordGiven = true;
    } else {
        user = site.User;
        password = site.SavePassword ? site.Password : QString();
        passwordGiven = site.SavePassword;
    }
    passive = site.Pasv != 0;
    initialDir = site.InitialDir;
    if (host.isEmpty()) {
        *error = "the saved site " + name + " names no server";
        return false;
    }
    return true;
}

bool ConnectionSpec::resolve(const QString& url, const QCommandLineParser& p, QString* error)
{
    if (p.isSet("program-dir") || p.isSet("site"))
        loadProgramOptions(p);
    if (p.isSet("site")) {
        if (url.startsWith("ftp://", Qt::CaseInsensitive)) {
            *error = "with --site give the remote path, not a URL: " + url;
            return false;
        }
        if (!useSavedSite(p.value("site"), error))
            return false;
        path = url;
        return applyOptions(p, error);
    }
    return resolveUrl(url, error) && applyOptions(p, error);
}

static QString decodeUrlPart(const QString& part, bool* latin1)
{
    bool l = false;
    const QString text = ftpcodec::decode(QByteArray::fromPercentEncoding(part.toUtf8()), &l);
    if (l && latin1)
        *latin1 = true;
    return text;
}

bool ConnectionSpec::resolveUrl(const QString& url, QString* error)
{
    if (!url.startsWith("ftp://", Qt::CaseInsensitive)) {
        *error = "not an ftp:// URL: " + url;
        return false;
    }
    QString rest = url.mid(6);
    const int slash = rest.indexOf('/');
    QString authority = slash < 0 ? rest : rest.left(slash);
    const QString rawPath = slash < 0 ? QString() : rest.mid(slash + 1);
    const int at = authority.lastIndexOf('@');
    if (at >= 0) {
        const QString info = authority.left(at);
        authority = authority.mid(at + 1);
        const int colon = info.indexOf(':');
        user = decodeUrlPart(colon < 0 ? info : info.left(colon), &latin1);
        userGiven = true;
        if (colon >= 0) {
            password = decodeUrlPart(info.mid(colon + 1), &latin1);
            passwordGiven = true;
        }
    }
    const int colon = authority.lastIndexOf(':');
    host = colon < 0 ? authority : authority.left(colon);
    if (colon >= 0) {
        bool ok = false;
        const int n = authority.mid(colon + 1).toInt(&ok);
        if (!ok || n <= 0 || n > 65535) {
            *error = "bad port in URL: " + url;
            return false;
        }
        port = QString::number(n);
    }
    if (host.isEmpty()) {
        *error = "no host in URL: " + url;
        return false;
    }
    // As with other FTP tools, the path is relative to the login directory;
    // "%2F" at its start makes it absolute.
    path = decodeUrlPart(rawPath, &latin1);
    return true;
}

bool ConnectionSpec::applyOptions(const QCommandLineParser& p, QString* error)
{
    if (p.isSet("user")) {
        user = p.value("user");
        userGiven = true;
    }
    if (p.isSet("password")) {
        password = p.value("password");
        passwordGiven = true;
    }
    if (!userGiven && !passwordGiven)
        password = QStringLiteral("anonymous@");
    if (p.isSet("active"))
        passive = false;
    ascii = p.isSet("ascii");
    resume = p.isSet("resume");
    verbose = p.isSet("verbose");
    if (p.isSet("timeout")) {
        bool ok = false;
        timeoutSeconds = p.value("timeout").toInt(&ok);
        if (!ok || timeoutSeconds < 0) {
            *error = "bad --timeout value: " + p.value("timeout");
            return false;
        }
    }
    const bool socksGiven = p.isSet("socks4") || p.isSet("socks4a") || p.isSet("socks5");
    if (p.isSet("proxy") || socksGiven) {
        // The command line replaces whatever the options file chose.
        proxyHost.clear();
        proxyPort.clear();
        socksLevel.clear();
        socksHost.clear();
        socksPort.clear();
        socksUser.clear();
        socksPassword.clear();
    }
    if (p.isSet("proxy") && !splitHostPort(p.value("proxy"), &proxyHost, &proxyPort)) {
        *error = "--proxy needs HOST:PORT";
        return false;
    }
    int socksCount = 0;
    for (const char* level : {"socks4", "socks4a", "socks5"}) {
        if (!p.isSet(level))
            continue;
        ++socksCount;
        if (!splitHostPort(p.value(level), &socksHost, &socksPort)) {
            *error = QStringLiteral("--%1 needs HOST:PORT").arg(level);
            return false;
        }
        socksLevel = QString::fromLatin1(level).mid(5).toUpper();
    }
    if (socksCount > 1 || (socksCount && !proxyHost.isEmpty())) {
        *error = "choose one of --proxy, --socks4, --socks4a, --socks5";
        return false;
    }
    if (p.isSet("socks-user"))
        socksUser = p.value("socks-user");
    if (p.isSet("socks-password"))
        socksPassword = p.value("socks-password");
    return true;
}

void ConnectionSpec::promptForPassword()
{
    if (passwordGiven || !userGiven || !isatty(STDIN_FILENO))
        return;
    fprintf(stderr, "Password for %s@%s: ", user.toLocal8Bit().constData(), host.toLocal8Bit().constData());
    fflush(stderr);
    termios old{};
    const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    char buf[1024];
    const char* line = fgets(buf, sizeof buf, stdin);
    if (tty)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    fprintf(stderr, "\n");
    QString text = line ? QString::fromLocal8Bit(line) : QString();
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    password = text;
    passwordGiven = true;
}

void ConnectionSpec::configure(TFtpClient& ftp) const
{
    ftp.SetHostName(host);
    ftp.SetPort(port);
    ftp.SetUserName(user);
    ftp.SetPassWord(password);
    ftp.SetTimeout(timeoutSeconds);
    ftp.SetLatin1Mode(latin1);
    ftp.SetBinary(!ascii);
    if (!proxyHost.isEmpty()) {
        ftp.SetConnectionType(ftpProxy);
        ftp.SetProxyServer(proxyHost);
        ftp.SetProxyPort(proxyPort);
    } else if (!socksLevel.isEmpty()) {
        ftp.SetConnectionType(socksLevel == "4" ? ftpSocks4 : socksLevel == "4A" ? ftpSocks4A : ftpSocks5);
        ftp.SetSocksServer(socksHost);
        ftp.SetSocksPort(socksPort);
        ftp.SetSocksUserCode(socksUser);
        ftp.SetSocksPassword(socksPassword);
    } else {
        ftp.SetConnectionType(ftpDirect);
    }
    ftp.SetPassive(passive);
    ftp.SetHostDirName(initialDir);
}
