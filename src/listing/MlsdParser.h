#pragma once
// Machine-readable listings (MLSD, RFC 3659): "fact=value;fact=value; name"
// lines in, the same DirEntry records a LIST listing gives out.
//
// Every line is "facts SP name": the facts end at the first space, the name
// is everything after it (spaces, ';' and '=' included). Fact names are read
// in any case and any order; facts this reader does not know are ignored.
//
// What the entry's fields hold:
//   Kind        type=dir (and a link counted as a directory) or type=file
//   Name        the name as sent
//   Size        size (files) or sizd (directories), a whole byte count
//   Date, Time  modify (UTC) moved into the zone given to the parser, as
//               "dd.mm.yyyy" and "hh:mm:ss" - the form ListingDate reads day
//               first, with seconds
//   Attributes  "drwxr-xr-x" style from UNIX.mode; without it the perm
//               letters in parentheses ("(adfrw)"); "l..." for a link
//   LinkTarget  the target of type=OS.unix=slink:target
//
// Nothing here fails: a line that cannot be an entry is left out and counted
// with its reason; a fact with a bad value (a size that is no byte count, a
// date that is no date) is dropped from its entry and noted the same way.
#include "listing/DirEntry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstddef>
#include <vector>

struct MlsdListing {
    std::vector<DirEntry> entries;  // in listing order; cdir, pdir, "." and ".." left out
    std::size_t skipped = 0;        // lines left out as no entry (blank lines not counted)
    std::size_t badFacts = 0;       // facts dropped from entries that were kept
    // "line 4: no space before the name: type=file;size=1;x", at most
    // kMaxProblems of them (skipped lines and dropped facts, in line order).
    QStringList problems;
    // Link classification steps, as ParsedListing::linkSteps.
    std::size_t linkSteps = 0;

    static constexpr int kMaxProblems = 20;

    // One line for the log: how many lines were left out and facts dropped,
    // and the first reasons; empty when there were none.
    QString Summary() const;
};

// zoneSeconds: the zone the dates and times are written in, seconds east of
// UTC (the site's zone, so the pane's usual conversion from the site's zone
// to the local one gives the exact local time; 0 keeps UTC).
MlsdListing ParseMlsdLines(const QStringList& lines, int zoneSeconds = 0);

// The raw bytes of an MLSD data connection: split into lines and decoded
// per line (UTF-8, else Latin-1) as LIST data is, then parsed.
MlsdListing ParseMlsd(const QByteArray& data, int zoneSeconds = 0);

// "20240131235959" or "20240131235959.123" (UTC) as the date and time texts
// of an entry in the given zone. False (texts untouched) for anything else.
bool MlsdTimeToEntryTexts(QStringView value, int zoneSeconds, QString& date, QString& time);

// The attribute text of a UNIX.mode value ("0755", "755", "4755", "0o755"): the kind
// letter ('d', 'l' or '-') and nine permission letters with s/S/t/T for the
// special bits. Empty when the value is no octal number.
QString MlsdModeToAttributes(QStringView mode, QChar kind);
