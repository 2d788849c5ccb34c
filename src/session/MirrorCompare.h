#pragma once
// One folder level of a mirror run: the local folder's entries and the
// server's listing of the same folder, compared by the job's rules, give the
// operations of that level (uploads, remote deletions, downloads, local
// deletions, subfolders, folder removals, in that order) and a log line for
// every name left alone and why. Nothing here touches a server or a file:
// the local folder is read beforehand by ScanMirrorFolder.
//
// The comparison never derives an operation from doubtful information: a
// folder that could not be read or listed gives no operation at all; names a
// listing type may have cut short never lead to a deletion; a name that is
// left out for any reason (excluded, a link, unsafe, ambiguous) is neither
// transferred nor the reason to delete its namesake on the other side.
#include "listing/DirEntry.h"
#include "session/MirrorFolder.h"
#include "session/MirrorJob.h"
#include "session/MirrorRun.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <vector>

// Descents stop this many levels below the job's folders (a guard against
// links that lead round in a circle).
inline constexpr int kMirrorMaxDepth = 64;

struct MirrorLevelInput {
    TMirrorJob job;

    bool localRead = false;  // ScanMirrorFolder succeeded
    QString localError;      // why not
    std::vector<MirrorLocalEntry> local;

    bool remoteListed = false;  // the listing request succeeded and was read
    QString remoteError;        // why not (the server's line, or a local cause)
    std::vector<DirEntry> remote;

    int listingType = 0;      // the site's ListingFormat::Type
    double siteTimeZone = 0;  // hours + minutes/100, as sites store it
    bool listsHidden = false; // the site lists hidden files (its ListAll)

    QString localDir;   // the level's full paths, for the log and for links
    QString remoteDir;  // that lead back up ("/pub/a/")
    int depth = 0;      // levels below the job's folders
    QDate today = QDate::currentDate();  // the year of dates listed without one
};

struct MirrorLevel {
    bool ok = false;  // false: the level failed and ops is empty
    std::vector<TMirrorRec> ops;
    QStringList log;
};

// The operations of one level, in the order they run.
MirrorLevel CompareMirrorLevel(const MirrorLevelInput& in);

// The contents of a remote folder that is being removed, from its own
// listing: a deletion for every file and link, then a removal for every
// subfolder. A failed listing, or one of a type that may cut names short,
// gives nothing (ok false): the folder then stays, which its removal reports.
MirrorLevel MirrorRemovalOps(const std::vector<DirEntry>& remote, bool listed, const QString& error,
                             int listingType, const QString& remoteDir);

// True for the listing types that may cut names short (each line read as a
// name, or a name after a fixed number of columns): their names never drive
// a deletion.
bool ListingLosesNames(int listingType);
