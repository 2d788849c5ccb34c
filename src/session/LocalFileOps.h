#pragma once
// The file-system side of the local pane's commands: make a directory,
// rename an entry, change the case of a name, and the counted recursive
// delete. Paths are absolute; nothing here depends on the process's current
// directory. Failures come back as sentences for the log.
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// What a delete removes: files (anything that is not a real directory:
// regular files, links of every kind, FIFOs, sockets, devices) and the real
// directories, the latter breadth first (a directory before those below it).
struct LocalDeletePlan {
    QStringList files;
    QStringList dirs;
};

// Expands the chosen files and directories into everything below them. Only
// real directories are entered; a link (to a file or a directory, inside the
// tree or out of it, dangling or looping) is a file of the plan, so the delete
// unlinks it and leaves what it points to alone. A chosen directory that is
// itself a link counts as a file too.
LocalDeletePlan CollectLocalDelete(const QStringList& files, const QStringList& dirs);

// "Do you wish to remove 12 file(s) and 3 folder(es)" from the message
// words: the directory part only when there are directories.
QString LocalDeleteQuestion(const QString& doYouWishToRemove, const QString& files, const QString& andWord,
                            const QString& folders, qsizetype fileCount, qsizetype dirCount);

// Unlinks every file of the plan (never opening one: a FIFO does not block),
// then removes the directories from the last to the first, children before
// their parents. Returns one sentence per entry that stayed.
QStringList ExecuteLocalDelete(const LocalDeletePlan& plan);

// Creates dir/name. On success path receives the new directory's path.
bool MakeLocalDir(const QString& dir, const QString& name, QString& path, QString& error);

enum class LocalRenameResult {
    Unchanged,  // the same name, perhaps in another case: nothing to do
    Renamed,
    Declined,   // the target exists and the user kept it
    Refused,    // not allowed (error says why)
    Failed,     // the system refused (error says why)
};

// Renames dir/oldName to dir/<file-name part of newText>. A target that
// exists is replaced only when confirmReplace(newName) agrees, and then by a
// single rename (the old target stays until the new one takes its place);
// replacing a directory, or an entry of one kind (directory / other) with
// one of the other kind, is refused. Without an existing target the rename
// never replaces one that appears meanwhile.
LocalRenameResult RenameLocal(const QString& dir, const QString& oldName, const QString& newText,
                              const std::function<bool(const QString& newName)>& confirmReplace, QString& error);

// Change Case (the new name from ChangedCase, NameCase.h): renames
// dir/oldName to dir/newName when no other entry has that exact name
// (siblings: the directory's names as listed) and none has appeared since.
// Names are case-sensitive here, so a rename onto a sibling would replace it.
LocalRenameResult ChangeCaseLocal(const QString& dir, const QString& oldName, const QString& newName,
                                  const QSet<QString>& siblings, QString& error);
