#pragma once
// Everything varnoth-cli needs to reach a server and a remote path: the
// options record and a saved site or a URL turned into a client
// configuration by the session layer's ClientConfigFor, then the command
// line's options on top of it, then the password from wherever it is found.
#include "session/ClientConfig.h"

#include <QString>
#include <functional>
#include <optional>

class QCommandLineParser;
class TFtpClient;

// Where a password may come from when neither the command line nor the URL
// (nor a saved site) gives one, in this order. Read at the edge (the
// process's environment, files and terminal) and handed in.
struct PasswordSources {
    std::optional<QString> environment;              // VARNOTH_PASSWORD
    QByteArray netrc;                                // the netrc file's text
    std::function<std::optional<QString>(const QString& prompt)> ask; // the terminal; null when none
};

struct ConnectionSpec {
    TClientConfig config;   // what the client is set from
    bool userGiven = false;
    QString path;           // remote path, relative to the login directory unless it starts with '/'
    bool latin1 = false;    // the URL carried Latin-1 bytes: names go out in Latin-1
    bool ascii = false;
    bool resume = false;
    bool verbose = false;

    // Declares the connection options shared by ls, get and put.
    static void addOptions(QCommandLineParser& parser);
    // Fills the record from the options record, the saved site (when --site
    // named one; then `url` is only the remote path) or the ftp:// URL, and
    // the parsed options, which win. Returns false with a message for a bad
    // URL, site or option; the message never holds the URL's password.
    bool resolve(const QString& url, const QCommandLineParser& parser, const TFTPOptions& options,
                 const std::optional<TFTPServerObj>& site, QString* error);
    // Completes the login: without a user the netrc entry for the host names
    // one, else the login is anonymous; a named user without a password takes
    // it from VARNOTH_PASSWORD, the netrc entry or the prompt, in this order.
    void completeLogin(const PasswordSources& sources);
    // Applies the record to a client.
    void configure(TFtpClient& ftp) const;

private:
    bool resolveUrl(const QString& url, TConnectionFields& target, QString* error);
    bool applyOptions(const QCommandLineParser& parser, QString* error);
};

// Splits "HOST:PORT"; false when the port is missing or not a number.
bool splitHostPort(const QString& text, QString* host, QString* port);
