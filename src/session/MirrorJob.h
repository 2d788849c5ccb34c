#pragma once
// The mirror job: which local and remote folder a mirror run keeps in step,
// in which direction, what happens to files present on both sides, five
// options and the names left out. One job lives for the whole process; it is
// saved to and loaded from job files (".cpf", section [Mirror]).
#include <QString>
#include <QStringList>

namespace mirror {
// Direction: which side is made like the other.
enum Direction : int {
    MirrorLocal = 0,  // the remote side becomes like the local one
    MirrorRemote = 1, // the local side becomes like the remote one
    MirrorBoth = 2,   // what is missing or older is copied both ways
};
// What to do with a file that exists on both sides.
enum FileExists : int { Overwrite = 0, OverwriteNewest = 1, Skip = 2, Ask = 3 };
// The option bits of Params, as stored in the job file.
enum Param : int {
    IncludeSubfolders = 1,
    IgnoreLinks = 2,
    DeleteMissing = 4, // delete destination files missing in the source
    PromptDelete = 8,
    AllBinary = 16,
    AllParams = 31,
};
} // namespace mirror

struct TMirrorJob {
    QString Local;
    QString Remote;
    QString Exclusions; // items joined by "|"
    int Direction = mirror::MirrorLocal;
    int FileExists = mirror::Overwrite;
    // Ignore links, prompt before deleting and binary transfers are on at
    // start: the cautious choices.
    int Params = mirror::IgnoreLinks | mirror::PromptDelete | mirror::AllBinary;

    bool Has(int param) const { return (Params & param) != 0; }
    bool operator==(const TMirrorJob&) const = default;
};

// The job of this process, from start to exit.
extern TMirrorJob MirrorJob;

// "Default.cpf" in the program directory: written on every Execute.
QString DefaultMirrorJobFile();

// Reads section [Mirror] of fileName into MirrorJob, each key defaulting to
// the job's current value. A number that is not a number, negative or out of
// range (Direction above 2, "File Exists" above 3) counts as a missing key:
// a damaged file never swaps in a more destructive setting. Params bits above
// 16 are ignored. Returns whether the file existed.
bool LoadMirrorJob(const QString& fileName);
// Writes the six keys of MirrorJob into section [Mirror] of fileName (other
// sections and keys of the file stay). False when the file cannot be written.
bool SaveMirrorJob(const QString& fileName);

// The exclusion items of text split at every "|", trimmed, empty ones left out.
QStringList SplitExclusions(const QString& text);
// items trimmed, empty ones left out, joined with "|" (no leading or trailing "|").
QString JoinExclusions(const QStringList& items);
