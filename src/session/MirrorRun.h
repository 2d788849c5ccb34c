#pragma once
// The operation list of one mirror run: what to transfer, create, remove,
// where to descend and come back up, and how far each operation got. The run
// walks the list one operation at a time; a subdirectory's operations are
// inserted where the run stands when it enters it. At the end the list is
// written to the report "mirrorstate.txt".
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <vector>

enum TMirrorOp : quint8 {
    omNone = 0,
    omGet = 1,     // download RemoteName into the local folder as LocalName
    omPut = 2,     // upload LocalName into the remote folder as RemoteName
    omMkdLoc = 3,  // create the local folder LocalName
    omMkdFtp = 4,  // create the remote folder RemoteName
    omRmdLoc = 5,  // remove the local folder LocalName with all it holds
    omRmdFtp = 6,  // remove the remote folder RemoteName
    omDelLoc = 7,  // delete the local file LocalName
    omDelFtp = 8,  // delete the remote file RemoteName
    omDir = 9,     // descend into the subfolder on both sides and compare it
    omDirUp = 10,  // return to the parent folder on both sides
};

enum TMirrorState : quint8 {
    smNone = 0,         // pending
    smProgress = 1,     // issued, waiting for the server
    smDirProgress = 2,
    smDone = 3,
    smStopped = 4,
    smError = 5,
};

// The names the report uses ("omGet", "smDone"); "?" for a value out of range.
QString MirrorOpName(TMirrorOp op);
QString MirrorStateName(TMirrorState state);

// One operation. Names are bare names in the run's current folder, never
// paths; a side the operation does not touch has an empty name.
struct TMirrorRec {
    QString LocalName;
    QString RemoteName;
    qint64 LocalSize = 0;
    qint64 RemoteSize = 0;
    TMirrorOp Op = omNone;
    TMirrorState State = smNone;
    // For a transfer, the time its copy is given: the source file's own
    // (listed for a download, local for an upload), in seconds since 1970;
    // 0 when it is not known, and then the copy is not stamped.
    qint64 Time = 0;

    bool operator==(const TMirrorRec&) const = default;
};

class TMirrorRun {
public:
    QString Host;        // the server's host name at the start of the run
    QString LocalRoot;   // the job's local folder, as typed
    QString RemoteRoot;  // the job's remote folder, as typed
    QString LocalDir;    // the current folder below LocalRoot ("/sub/dir/" or empty)
    QString RemoteDir;   // the current folder below RemoteRoot ("/sub/dir/" or empty)
    bool Stopped = false;
    int Current = -1;    // index of the operation under way, -1 when none

    const std::vector<TMirrorRec>& Ops() const { return ops_; }
    int OpCount() const { return int(ops_.size()); }

    void AddOp(const TMirrorRec& rec);
    // Inserts rec before index; appends when index is out of range.
    void InsertOp(int index, const TMirrorRec& rec);
    // The same as inserting each of recs in turn, the first before index
    // and each next one after the one before it, in one move of the list.
    void InsertOps(int index, const std::vector<TMirrorRec>& recs);
    // A copy of the record at index; an empty record when out of range.
    TMirrorRec GetOp(int index) const;
    // Replaces the record at index; does nothing out of range.
    void PutOp(int index, const TMirrorRec& rec);

    void Stop() { Stopped = true; }
    void Resume() { Stopped = false; }

    // The first pending (smNone) operation: every operation in smProgress
    // before it has finished and becomes smDone. False (index -1) when the
    // run is stopped or nothing is pending. The walk resumes where the last
    // one stopped, so a whole run costs one pass over the list however many
    // operations it picks.
    bool NextPending(int& index);
    // Records NextPending has looked at so far: within a small multiple of
    // the operations in the list, which tests check to show the walk is
    // linear without timing it.
    std::size_t WalkSteps() const { return steps_; }

    // d (from the server's folder name) made the current folder: "\" read as
    // "/", a "/" in front when LocalRoot needs one before it, and one at the
    // end.
    void SetLocalDir(const QString& d);
    void SetRemoteDir(const QString& d);
    // Descends into the folder of an omDir record on both sides, by each
    // side's own name (the two may differ in letter case); LeaveDir goes
    // back up one level. The run's place follows its own operations, not a
    // folder name read back from the server.
    void EnterDir(const TMirrorRec& rec);
    void LeaveDir();
    // The current folder in full, ending in "/" whenever the root or the
    // current folder is not empty: a name appended to it is a path.
    QString LocalFull() const;
    QString RemoteFull() const;

    // Writes the report: Host, LocalRoot, RemoteRoot, LocalDir, RemoteDir,
    // "Stopped" or "Ok", then one TAB-separated line per operation (local
    // name, remote name, local size, remote size, operation, state); every
    // line ends in CR LF. The old report is replaced only once the new one
    // is complete. False, with error saying why, when it cannot be written.
    bool SaveState(const QString& fileName, QString* error = nullptr) const;
    // The report's text, as SaveState writes it.
    QByteArray StateText() const;

private:
    std::vector<TMirrorRec> ops_;
    // Every operation before scan_ is neither pending nor in progress, so
    // NextPending starts there; an insertion or a record put back before it
    // moves it back.
    std::size_t scan_ = 0;
    std::size_t steps_ = 0;
};

// "mirrorstate.txt" in the program directory.
QString MirrorStateFile();
