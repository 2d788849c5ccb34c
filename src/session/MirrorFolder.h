#pragma once
// A local folder as a mirror run reads it: every entry with what it is (a
// link: what it leads to), its size and time, and whether it is a link back
// to a folder that holds it.
#include <QDateTime>
#include <QString>

#include <vector>

// One entry of a local folder as the mirror sees it.
struct MirrorLocalEntry {
    enum Kind : quint8 { File, Directory, Other };
    QString name;
    Kind kind = File;      // for a link: what it points to; Other: left alone
    bool link = false;
    bool loops = false;    // a link to the folder itself or one above it
    qint64 size = 0;
    QDateTime modified;    // local time, whole seconds
    QString what;          // for Other, why: "a FIFO", "a link to nothing", ...
};

// Reads dir's entries (without "." and ".."), sorted by name. False, with
// error in words, when the folder cannot be opened or read to its end, or an
// entry in it cannot be examined: an incomplete view of a folder must not
// look like a folder with fewer files.
bool ScanMirrorFolder(const QString& dir, std::vector<MirrorLocalEntry>& entries, QString& error);

// path (clean, absolute) is base itself or lies below it.
bool PathAtOrBelow(const QString& path, const QString& base);
