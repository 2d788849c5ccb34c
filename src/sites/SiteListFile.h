#pragma once
// The site list files: one "ftplist.TXT" per site folder. The top folder's
// file lies in ProgramDir; a sub-folder is a real directory below it with its
// own file, and its parent's file names it by a "DIR=" line. Folder paths are
// relative to ProgramDir, each folder name followed by "/" ("" is the top,
// "work/clients/" two levels down).
//
// Files are written as UTF-8, into a new file that then replaces the old one,
// so a list is never left half written. Reading takes each line as UTF-8, or
// as Latin-1 when it is not valid UTF-8 (lists written by older versions).
// Reading never changes a file.
#include "sites/SiteRecord.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

inline const QString SiteListFileName = QStringLiteral("ftplist.TXT");

// Lines longer than this are not site lines but damage; the reader skips them.
constexpr qsizetype MaxSiteListLine = 1 << 20;

// The lines of a text file, split at CR, LF or CRLF, empty lines dropped.
// A missing or unreadable file gives no lines (exists, when given, tells).
QStringList ReadTextLines(const QString& path, bool* exists = nullptr);

// Replaces path's content with lines (each ended by "\n") through a new file
// renamed over the old one. On failure the old file is untouched and error
// (when given) says why. A file made new is readable by its owner only; an
// existing one keeps its permissions.
bool WriteTextLines(const QString& path, const QStringList& lines, QString* error = nullptr);

// The same for content already in bytes (edits that keep a file's own line
// ends).
bool WriteTextFile(const QString& path, const QByteArray& data, QString* error = nullptr);

// One line of a list file as text: UTF-8 when valid, else Latin-1.
QString DecodeListLine(QByteArrayView bytes);

// A folder name that is one real directory below its parent: not empty, not
// "." or "..", no "/" and no NUL. Names from "DIR=" lines are checked before
// they become part of a path, so a list file cannot lead outside ProgramDir.
bool IsSafeFolderName(const QString& name);

// ProgramDir + folder.
QString SiteFolderDir(const QString& folder);

// The list file of a directory: an existing file whose name matches
// "ftplist.TXT" without regard to case (lists copied from a system that
// ignores case), else dir + "ftplist.TXT".
QString SiteListPath(const QString& dir);

// One line of a list file as an item of the pane.
struct TSiteListItem {
    QString Caption;                      // folder name or site Name
    std::unique_ptr<TFTPServerObj> Site;  // null for a folder
    bool IsFolder() const { return !Site; }
};

// Reads the folder's list: "DIR=" lines (any case of "dir=") give folders,
// other lines give sites with their passwords unscrambled; lines that are not
// sites are skipped. A missing file gives an empty list; unreadable (when
// given) is set when the file is there but cannot be read, so that nobody
// overwrites it with the empty list.
std::vector<TSiteListItem> ReadSiteList(const QString& folder,
                                        const TSiteDefaults& defaults = CurrentSiteDefaults(),
                                        bool* unreadable = nullptr);

// The text line of an item as the list file holds it.
QString SiteListLine(const TSiteListItem& item);

// Appends one site line to the list file of directory dir (which must exist),
// keeping every line already there.
bool AppendSiteLine(const QString& dir, const QString& line, QString* error = nullptr);

// Walks the folder tree from the top along its "DIR=" lines, calling visit for
// every site with its folder path. Unsafe folder names, folders already seen
// (a link back up) and folders deeper than MaxSiteFolderDepth are passed by.
constexpr int MaxSiteFolderDepth = 256;
void ForEachSavedSite(const std::function<void(const QString& folder, const TFTPServerObj& site)>& visit,
                      const TSiteDefaults& defaults = CurrentSiteDefaults());

// The saved site at "FOLDER/NAME" ("Home", "work/Client A"): a copy with the
// password in plain text (read from the keyring when it is there; when the
// keyring cannot give it, SecretId stays set and Password empty), or nothing. A site name may itself contain "/": at
// every level a site of the whole remaining name is preferred to a folder.
std::optional<TFTPServerObj> FindSavedSite(const QString& path,
                                           const TSiteDefaults& defaults = CurrentSiteDefaults());
