#pragma once
// The rules a transfer batch decides by, kept apart from the engine so they
// run without a server: which names from a listing may become local files,
// whether a target stays inside the folder the user chose, which files go in
// ASCII type, the times copied to a file's copy, and what a local folder
// holds for an upload.
#include <QDateTime>
#include <QString>
#include <vector>

// A name a server listed that may be joined to a local or remote folder: not
// empty, not "." or "..", no "/", "\" or NUL. Anything else could reach
// outside the folder the user chose.
bool IsSafeEntryName(const QString& name);

// The clean absolute form of path when it lies inside base (or is base
// itself); the empty text otherwise.
QString PathInside(const QString& base, const QString& path);

// True when the extension of fileName (after its last ".", none when the
// name has no dot) equals one whole item of ext, a list such as
// "txt,htm,html" (commas, semicolons or spaces between items). Case counts:
// "x.TXT" is not "txt".
bool IsTextByExtension(const QString& fileName, const QString& ext);

// The local time of a listing's date and time texts, which a server gives in
// its own zone (siteTimeZone: hours + minutes/100, as sites store it). A
// date without a time is midnight local time, unshifted. Invalid when the
// date cannot be read.
QDateTime ListedFileTime(const QString& date, const QString& time, double siteTimeZone,
                         const QDate& today = QDate::currentDate());

// The "yyyyMMddhhmmss" form, in the server's zone, of a local modification
// time: the argument of MFMT and MDTM.
QString RemoteTimeArgument(const QDateTime& localTime, double siteTimeZone);

// Sets the modification time of the local file path; false when it cannot.
bool SetLocalModificationTime(const QString& path, const QDateTime& time);

// One entry of a local folder as an upload sees it.
struct LocalUploadEntry {
    QString name;
    bool directory = false;  // a real directory (never a link to one)
    qint64 size = 0;
    QDateTime modified;
};

// The entries of dir an upload takes: regular files (a link to a regular
// file counts) and real directories. Links to directories, FIFOs, devices and
// sockets are left out, each with a line in skipped saying why; so are
// names that could not be sent. False when dir cannot be read.
bool ScanUploadFolder(const QString& dir, std::vector<LocalUploadEntry>& entries, QStringList& skipped);

// What a local path selected at the top of an upload is: 1 a regular file,
// 2 a directory (a link to one is followed once, as the user chose it), 0
// anything else (a FIFO, a device, a dangling link).
int UploadKindOf(const QString& path, qint64* size = nullptr, QDateTime* modified = nullptr);
