#pragma once
// Everything varnoth-cli needs to reach a server and a remote path, resolved
// in one place from a URL and the command-line options. A saved site could
// fill the same record (host, port, user, password, passive flag, initial
// directory) before the options are applied on top.
#include <QString>

class QCommandLineParser;
class TFtpClient;

struct ConnectionSpec {
    QString host;
    QString port = QStringLiteral("21");
    QString user = QStringLiteral("anonymous");
    QString password;
    bool userGiven = false;
    bool passwordGiven = false;
    bool passive = true;
    QString initialDir;     // changed into after login when not empty
    QString path;           // remote path, relative to the login directory unless it starts with '/'
    bool latin1 = false;    // the URL carried Latin-1 bytes: names go out in Latin-1
    bool ascii = false;
    bool resume = false;
    bool verbose = false;
    int timeoutSeconds = 30;
    QString proxyHost, proxyPort;
    QString socksLevel;     // "", "4", "4A" or "5"
    QString socksHost, socksPort, socksUser, socksPassword;

    // Declares the connection options shared by ls, get and put.
    static void addOptions(QCommandLineParser& parser);
    // Fills the record from an ftp:// URL (or, with --site, a saved site and
    // a remote path) and the parsed options. Returns false with a message for
    // a bad URL, site or option.
    bool resolve(const QString& url, const QCommandLineParser& parser, QString* error);
    // Asks for the password without echo when a terminal is present and the
    // user was named without one.
    void promptForPassword();
    // Applies the record to a client.
    void configure(TFtpClient& ftp) const;

private:
    void loadProgramOptions(const QCommandLineParser& parser);
    bool useSavedSite(const QString& name, QString* error);
    bool resolveUrl(const QString& url, QString* error);
    bool applyOptions(const QCommandLineParser& parser, QString* error);
};

// Splits "HOST:PORT"; false when the port is missing or not a number.
bool splitHostPort(const QString& text, QString* host, QString* port);
