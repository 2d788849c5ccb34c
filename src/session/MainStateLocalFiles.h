#pragma once
// The rows of the local file list: the entries of one directory as the left
// pane shows them (name, size, date, time), filtered by the local mask.
// Kept free of widgets so the listing rules are testable headless.
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

// Digits grouped by three from the right, groups separated by one space.
QString GroupedByteCount(qint64 bytes);

// True when name matches the wildcard mask ("*", "?"), ignoring case.
// "*.*" matches every name, also one without a dot.
bool MatchesLocalMask(const QString& name, const QString& mask);

// Lists dir (hidden entries included, "." and ".." left out). Files that do
// not match mask are skipped; directories are always listed. An unreadable
// or missing directory gives an empty list.
QList<LocalFileRow> ListLocalDirectory(const QString& dir, const QString& mask, int dateType);
