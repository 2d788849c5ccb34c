#pragma once
// The rows of the local file list: the entries of one directory as the left
// pane shows them (name, size, date, time), filtered by the local mask.
// Kept free of widgets so the listing rules are testable headless.
#include "listing/FileMask.h"        // MatchesFilter: the local filter's matching
#include "listing/ListingDisplay.h"  // GroupedByteCount: the size texts

#include <QList>
#include <QString>

struct LocalFileRow {
    QString Name;
    bool IsDir = false;
    qint64 Size = 0;   // files only
    QString SizeText;  // "1 234 567" for files, empty for directories
    QString Date;      // "dd.mm.yyyy", or "mm.dd.yyyy" when dateType is 1
    QString Time;      // "hh:mm"
};

// Lists dir (hidden entries included, "." and ".." left out). Files that do
// not match mask (MatchesFilter, the rule of both lists) are skipped;
// directories are always listed. An unreadable or missing directory gives an
// empty list.
QList<LocalFileRow> ListLocalDirectory(const QString& dir, const QString& mask, int dateType);
