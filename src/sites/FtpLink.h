#pragma once
// An ftp:// link handed to the program on its command line (a desktop's link
// handler, a terminal): which server and login, and which directory to open.
#include "sites/SiteRecord.h"

#include <QString>
#include <optional>

struct TFtpLink {
    QString Host;                     // an IPv6 literal keeps its brackets
    QString Port = QStringLiteral("21");
    QString User;                     // empty: the link names none (anonymous)
    std::optional<QString> Password;  // only when the link carries one
    // The remote directory to open, as an absolute path ("/pub/"); empty
    // when the link names none (the login directory, or a saved site's own).
    QString Dir;
    // The file the link points at, selected once Dir is listed; empty for a
    // directory link.
    QString FileName;
};

// Whether a command-line argument is meant as a link at all ("scheme://",
// or "ftp:" however malformed), so that a bad link gets a message and other
// arguments stay what they were.
bool LooksLikeLink(const QString& argument);

// Reads "ftp://[user[:password]@]host[:port][/path][;type=a|i|d]". Percent
// escapes are decoded. A path ending in "/" (or ";type=d") is a directory;
// else a last name with an extension ("notes.txt", not "pub" or ".config")
// is a file in the directory before it, and anything else a directory. The
// path is taken from the server's root. Nothing, and the reason in error,
// for another scheme, no host or a bad port.
std::optional<TFtpLink> ParseFtpLink(const QString& text, QString* error);

// The site a link connects with: the first saved site (folders walked in
// order) of the same host, port and login, with its options and password
// (one in the keyring is read at connect); else a new site named after the
// host. A password in the link wins; a link directory replaces the site's
// initial one. When neither link nor site has a password (and the login is
// not anonymous) the site's SavePassword is off, so connecting asks for it.
// savedAs, when given, is set to the saved site's "folder/name", or empty.
TFTPServerObj SiteForFtpLink(const TFtpLink& link, QString* savedAs = nullptr);
