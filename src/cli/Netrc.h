#pragma once
// Logins kept in a netrc-style file ("machine HOST login USER password PASS",
// "default" for every other host), so a password need not appear on the
// command line or in the process list.
#include <QString>
#include <optional>

struct NetrcEntry {
    QString login;      // empty when the entry names none
    QString password;
    bool hasPassword = false;
};

// The entry for host in the netrc text: the first "machine" entry of that
// name (compared without regard to case), else the "default" entry. With a
// user, an entry naming another login does not match. Tokens are separated
// by white space; a token may be quoted ("a b", with \" and \\ inside);
// "macdef" definitions are skipped up to the next empty line.
std::optional<NetrcEntry> findNetrcEntry(const QByteArray& text, const QString& host, const QString& user = {});
