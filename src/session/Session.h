#pragma once
// TSession: the session engine of the main window. It owns the window's one
// FTP client (Ftp1), the session state and the server's listing, and drives
// the client one request at a time: every completion goes through the
// request dispatcher (SessionDispatch.cpp), which reads as a table of
// (finished request, flags) -> next step.
//
// The window only forwards commands (connect, double click, path box, ...)
// and shows what the engine's models and signals say. Whatever the engine
// must ask the user goes through IUserInterface; it never opens a window.
//
//   Session.cpp            connect, session opened/closed, stop, disconnect
//   SessionDispatch.cpp    the request dispatcher
//   SessionNavigation.cpp  remote navigation and showing a listing
//   SessionCommands.cpp    custom commands typed or chosen by the user
//   SessionTransfers.cpp   downloads and uploads of files and whole trees
//   SessionMirror.cpp      mirror runs: two folders made alike, level by level
//   SessionFeatures.cpp    FEAT and OPTS after the login; reading a listing
#include "ftp/FtpClient.h"
#include "listing/DirEntry.h"
#include "listing/ListingParser.h"
#include "listing/RemoteListModel.h"
#include "session/KeepAlive.h"
#include "session/Log.h"
#include "session/MirrorJob.h"
#include "session/MirrorRun.h"
#include "settings/Options.h"
#include "sites/SiteRecord.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QStringListModel>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class TMsgLanguage;
class TSiteList;

// What the dispatcher is in the middle of (SessionFlags).
namespace sessionflag {
enum : quint16 {
    DeleteScan = 0x0001,        // recursive delete: directories still being listed
    DeleteRemoveDirs = 0x0002,  // recursive delete: removing the visited directories
    DownloadTree = 0x0004,      // a download has entered subdirectories
    UploadTree = 0x0008,        // an upload has entered subdirectories
    ChmodBatch = 0x0010,        // permissions set file by file
    MirrorRun = 0x0020,         // a mirror run drives the client
    MirrorDescend = 0x0040,
    MirrorRemove = 0x0100,
    MkdWalkUp = 0x0400,         // upload: creating a directory relative to its parent
    MirrorAscend = 0x0800,
    KeepAliveQuote = 0x1000,    // a keep-alive command is under way
};
} // namespace sessionflag

class TSession : public QObject {
    Q_OBJECT
public:
    // Where the session stands.
    enum class Phase {
        SiteList,    // no session: the right pane shows the saved sites
        Connecting,  // Connect started, the control connection not up yet
        LoggingIn,   // the banner came; USER/PASS under way
        Online,      // logged in: browsing or running a batch
    };

    // sites: the site list the right pane shows while no session is open
    // (its CurrentSite is the site in use); log: where every line goes;
    // msl: the window's message list (built-in English texts when null);
    // keepAliveTimer: the window's keep-alive timer (one of its own when null).
    TSession(TSiteList* sites, TSessionLog* log, const TMsgLanguage* msl = nullptr, QObject* parent = nullptr,
             QTimer* keepAliveTimer = nullptr);
    ~TSession() override;

    // The options the session works with (the window passes the record it
    // loaded; read again at every connect and by ApplyOptions).
    void SetOptions(const TFTPOptions& o);
    const TFTPOptions& Options() const { return options_; }
    void SetMessages(const TMsgLanguage* msl) { msl_ = msl; }
    // The listing file of this process (ListingFile in the program directory).
    void SetListingFile(const QString& path) { listingFile_ = path; }
    QString ListingFile() const { return listingFile_; }
    // The local pane's directory: a session's local base starts there (the
    // process's current directory is not the pane's).
    void SetLocalDir(const QString& dir) { localDir_ = dir; }

    TFtpClient& Ftp1() { return ftp_; }
    TKeepAlive& KeepAlive() { return keepAlive_; }
    TRemoteListModel* RemoteModel() const { return remoteModel_; }
    // The path box while a session is open: "SERVER LIST ...", the host,
    // then one item per component of the current directory.
    QStringListModel* RemotePathModel() { return &remotePath_; }
    int RemotePathIndex() const { return remotePathIndex_; }

    // --- commands of the window --------------------------------------------
    // The Connect command: the selected site of the site list (or the
    // new-site dialog when none is selected: NewSiteWanted).
    void ConnectToSite();
    // Double click in the right pane: the site list's item while it shows,
    // else the server directory's row (row of the remote model).
    void SiteListDoubleClick();
    // Connects to the given site as a double click on it would (it becomes
    // CurrentSite).
    void ConnectTo(const TFTPServerObj& site);
    // Trust given up front for the next connections (the command-line tool's
    // --cacert and --fingerprint): PEM certificates trusted besides the
    // system's, and a certificate accepted by its SHA-256 fingerprint.
    void SetTlsTrust(const QString& caFile, const QString& fingerprint)
    {
        tlsCaFile_ = caFile;
        tlsFingerprint_ = fingerprint;
    }
    void RemoteDoubleClick(int row);
    void Disconnect();
    void StopTransfer();
    // Before the window closes: ends whatever runs on the connection.
    void AbortForExit();
    void OneLevelUp();
    void ChoosePathItem(int index);
    void ChangeDirectory();
    void Refresh();
    // The remote list's selected rows changed: the summary line follows.
    void RemoteSelectionChanged(const QList<int>& selectedRows);
    // The remote filter mask (files only; directories always show). The
    // list shown is filtered again at once, without a command.
    void SetRemoteMask(const QString& mask);

    // --- permissions (SessionChmod.cpp) ---------------------------------------
    // File Attributes of remote rows: the user sets the permissions through
    // IUserInterface::ChangeAttributes; every file whose value changed gets
    // one SITE CHMOD, one after another, then the directory is listed again.
    // Nothing is asked for an empty selection or ".." alone.
    void ChangeFileAttributes(const QList<int>& rows);

    // --- file operations of the right pane (SessionFileOps.cpp) --------------
    // Each asks what it needs through IUserInterface. While the site list
    // shows they act on site folders and site entries instead.
    // Make Directory: MKD of the name entered (a site folder in the site list).
    void MakeDirectory();
    // Rename of one remote row (RNFR/RNTO), or of the selected site folder.
    void RenameItem(int row);
    // Delete of remote rows after a confirmation: files with DELE, links
    // with DELE (never entered), directories recursively, one request at a
    // time; the list returns to the directory it started in. In the site
    // list: the selected entries.
    void DeleteItems(const QList<int>& rows);
    // Change Case of remote rows: 0 upper case, 1 lower case, 2 as sentence.
    // Names whose new form another entry already has are skipped.
    void ChangeCase(int mode, const QList<int>& rows);
    // A recursive delete is under way.
    bool DeleteRunning() const { return deleteRunning_; }

    // --- custom commands (SessionCommands.cpp) --------------------------------
    // A command can be sent: logged in and nothing under way.
    bool CanSendCommand() const;
    // Sends text as one command line (Quote); the directory is listed again
    // afterwards. A text with a line break is refused with a line in the log.
    bool SendCustomCommand(const QString& text);

    // --- transfers (SessionTransfers.cpp) -------------------------------------
    // Copies the given remote rows (files and directories, whole trees) into
    // the local pane's directory, one file at a time.
    void StartDownload(const QList<int>& rows);
    // Copies the given entries of the local pane's directory (names) into
    // the server's current directory.
    void StartUpload(const QStringList& names);
    // A batch may start: logged in, the client idle, nothing under way.
    bool CanTransfer() const;
    // The Transfer Type menu: 0 Auto (by the extension list Ext), 1 ASCII,
    // 2 binary.
    void SetTransferType(int kind) { transferType_ = kind; }
    int TransferType() const { return transferType_; }
    enum class TransferKind { None, Download, Upload };
    TransferKind RunningTransfer() const { return transfer_; }
    // How this connection sets a file's time on the server: 0 MFMT, 1 MDTM,
    // 2 neither works, 3 not yet known (every connection starts there; a
    // FEAT reply settles it at once, otherwise the first upload tries).
    int TimeCommandMode() const { return timeCmd_; }

    // --- mirror runs (SessionMirror.cpp) --------------------------------------
    // Runs job over the open session. Refused (false, with a log line) when
    // a batch may not start, the local folder does not exist or no remote
    // folder is given. The run ends with MirrorEnded; its report is
    // mirrorstate.txt in the program directory.
    // With dryRun the run compares and descends as it would (CWD and LIST
    // only), asks the same questions, and reports every operation through
    // MirrorOperation without carrying it out; no report is written.
    bool StartMirror(const TMirrorJob& job, bool dryRun = false);
    bool MirrorRunning() const;
    // The run under way (nullptr when none).
    const TMirrorRun* MirrorState() const;
    // How the last run ended: operations that failed, and whether it was stopped.
    int LastMirrorFailures() const { return lastMirrorFailed_; }
    bool LastMirrorStopped() const { return lastMirrorStopped_; }
    // Folders of the last run that gave no operation because they could not
    // be entered, listed or read (the run's own folders among them).
    int LastMirrorUnreadFolders() const { return lastMirrorUnread_; }

    // --- state ---------------------------------------------------------------
    Phase CurrentPhase() const { return phase_; }
    bool SiteListShown() const { return phase_ == Phase::SiteList || phase_ == Phase::Connecting; }
    bool Busy() const { return busy_; }
    bool StopRequested() const { return stopRequested_; }
    quint16 SessionFlags() const { return flags_; }
    int LoginAttempts() const { return loginAttempts_; }
    QString HomeDir() const { return homeDir_; }
    QString RemoteBase() const { return remoteBase_; }
    QString LocalBase() const { return localBase_; }
    const TFTPServerObj& CurrentSite() const;
    const QStringList& ListingRaw() const { return listingRaw_; }
    const std::vector<DirEntry>& ListingEntries() const { return listingEntries_; }
    // A request the engine started has not completed yet.
    bool RequestInFlight() const { return inFlight_; }
    QString InfoLine() const { return infoLine_; }

    // The log routine: one line to the pane and, when on, the log file.
    void Display(const QString& text);

    // The server has been silent for TimeOut seconds while a request (or the
    // connection) was under way: the session is given up. The watchdog timer
    // calls it; tests call it instead of waiting.
    void ServerSilent();
    bool WatchdogArmed() const;

signals:
    // The connection-dependent commands follow the state (UpdateSessionControls).
    void SessionControlsChanged(bool connected);
    // The right pane switches between the site list and the server directory.
    void SiteListShownChanged(bool shown);
    void BusyChanged(bool busy);
    // The summary line under the remote list, and whether it shows.
    void InfoLineChanged(const QString& text);
    void InfoLineVisibleChanged(bool visible);
    // The site names a local directory: the local pane moves there.
    void LocalDirWanted(const QString& dir);
    // A listing is shown: the remote model and the path box are rebuilt.
    void ListingShown();
    // The path box's selected item is RemotePathIndex again (a choice that
    // could not be carried out is undone).
    void RemotePathChanged();
    // No site is selected: the new-site dialog should open.
    void NewSiteWanted();
    // Progress of a running transfer (the client's count).
    void TransferProgress(int count);
    // A file of a batch starts: name as the progress window shows it,
    // sending for an upload, step bytes per progress unit, size in bytes.
    void TransferFileStarted(const QString& name, bool sending, qint64 step, qint64 size);
    // The file under way has ended (done or not).
    void TransferFileEnded();
    // A batch has ended, finished, stopped or failed: no progress follows.
    void TransferBatchEnded();
    // A download has ended: the local pane shows its directory again.
    void LocalRefreshWanted();
    // A mirror run has ended (finished, stopped or failed).
    void MirrorEnded();
    // An operation of the run is carried out now (or, in a dry run, would
    // be): a TMirrorOp with the full local and remote path it touches.
    void MirrorOperation(int op, const QString& localPath, const QString& remotePath);

private:
    friend struct SessionRoutes;

    // Session.cpp
    void HookClient();
    QString Msg(int index) const;
    bool ClientReady() const;
    bool ClientReadyForClick();
    bool ReadyForCommand() const;
    bool Start(const QString& what, const std::function<void()>& op);
    void Post(void (TSession::*step)());
    void ConnectSite();
    void StartConnect();
    void Reconnect();
    void Ftp1SessionConnected(quint16 error);
    void Ftp1SessionClosed(quint16 error);
    void SessionEnded();
    void Ftp1Display(QString& msg);
    void Ftp1Progress(int count, bool& abort);
    void UpdateSessionControls(bool connected);
    void SetPhase(Phase p);
    void SetBusy(bool b);
    void SetInfoLine(const QString& text);
    void AbortClient();

    // SessionDispatch.cpp
    void Ftp1RequestDone(TFtpRequest rq, quint16 error);
    bool IsFailure(TFtpRequest rq, int error) const;
    void Dispatch(TFtpRequest rq, int error);
    void RunSyst();
    void RunCwd();
    void RunPwd();
    void TakePwdAndList();
    void TypeAsciiThen(void (TSession::*step)());
    void ListWithTypeAscii();
    void StartListing();
    void AfterTypeSet();
    void EndKeepAliveQuote();
    void LoginFailed();
    void CwdFailed();
    void DirFailed();
    void LogFailure();

    // SessionFileOps.cpp: the recursive delete and batch renames
    void ContinueDelete();
    void QueueDeleteListing();
    void RemoveDirsAfterTypeAscii();
    void ContinueRemoveDirs();
    void DeleteCwdRefused();
    void SkipDeleteDir();
    void DeleteFailed();
    void EndDelete();
    void ClearQueues();
    void RenameNext();
    void RenameFailed();
    QString ListedNameAt(int row) const;

    // SessionChmod.cpp: the SITE CHMOD batch (names in fileQueue_, values in
    // fileTargets_)
    void ChmodNext();
    void ChmodFailed();
    void EndChmod();

    // SessionTransfers.cpp
    struct QueuedFile {
        QString source, target;
        qint64 size = -1;    // -1 unknown
        QDateTime time;      // the source's time, local; invalid when unknown
    };
    struct QueuedDir {
        QString source, target;
    };
    bool BeginBatch(TransferKind kind);
    void ClearTransferQueues();
    void DownloadNext();
    void EnterDownloadDir();
    void ListTreeDir();
    void QueueDownloadListing();
    void SkipDownloadDir();
    void UploadNext();
    void EnterUploadDir();
    void TakeUploadListing();
    void MakeMissingDir();
    void MkdAfterWalkUp();
    void CwdIntoMadeDir();
    bool CheckOverwrite(bool download);
    bool TargetExists(bool download, const QString& target) const;
    const std::vector<DirEntry>& TargetListing() const;
    qint64 RemoteListedSize(const QString& name) const;
    void StartFileTransfer();
    bool BinaryFor(const QString& localName, bool allBinary) const;
    void BeginFile(const QString& shownName, bool sending, qint64 size, bool binary, void (TSession::*then)(),
                   void (TSession::*failed)());
    void RunFileRequest();
    void AfterGet();
    void AfterPut();
    void TransferFailed();
    void SetRemoteFileTime();
    void AfterTimeCommand();
    void FinishBatch(bool refreshAlways);
    void FailBatch();
    void EndTransferState();
    void AfterFileTime();

    // SessionMirror.cpp
    void PostMirrorStep(int step, int param = 0);
    void MirrorStep(int step, int param);
    void MirrorEntered();
    void MirrorList();
    void MirrorListed();
    void MirrorBuild(int param);
    void MirrorNext();
    void MirrorTransfer(TMirrorRec rec);
    void MirrorFileRequest();
    void MirrorFileDone();
    void MirrorDone();
    void MirrorFailed();
    void MirrorFinish();
    void MarkMirror(TMirrorState state);
    bool ConfirmMirrorDelete(const QString& path, bool directory);
    bool InsideRemovedFolder(const QString& path) const;
    void MirrorRmdRefused();
    void ListRemovedFolder();
    void MirrorRemovalListed();

    // SessionFeatures.cpp
    void RunFeat();
    void AfterFeat();
    void NextOpts();
    // The entries of a finished listing, read as the client received it
    // (MLSD facts or LIST lines in the site's layout); an MLSD listing with
    // lines that are no entry gets one line in the log.
    ParsedListing ParseListingLines(const QStringList& lines);

    // SessionNavigation.cpp
    void ListInAscii(void (TSession::*again)(), void (TSession::*failed)());
    QStringList TakeListingLines() const;
    void ShowRemoteListing();
    void FillRemoteView();
    void RebuildRemotePath();
    bool VirtualHost() const;
    void RestorePathSelection();

    TFtpClient ftp_;
    TKeepAlive keepAlive_;
    TSiteList* sites_;
    TSessionLog* log_;
    const TMsgLanguage* msl_;
    TRemoteListModel* remoteModel_;
    TFTPOptions options_;
    QString tlsCaFile_, tlsFingerprint_;
    QString listingFile_;

    Phase phase_ = Phase::SiteList;
    quint16 flags_ = 0;
    QStringList dirQueue_, dirTargets_, fileQueue_, fileTargets_;
    QStringList listingRaw_;
    std::vector<DirEntry> listingEntries_;
    QString remoteBase_, localBase_, homeDir_;
    QString localDir_;  // the local pane's directory, empty before the window sets it
    bool busy_ = false;
    bool stopRequested_ = false;
    int loginAttempts_ = 0;
    bool userEnded_ = false;     // Stop or Disconnect: no reconnection
    int connectsPending_ = 0;    // Connect requests whose completion is still due
    int attempt_ = 0;            // connection attempts started
    int endedAttempt_ = 0;       // the last attempt whose end was handled
    bool inFlight_ = false;      // a request (or a posted step) of the engine runs
    void (TSession::*afterType_)() = nullptr;  // what follows a TYPE A
    bool deleteRunning_ = false; // a recursive delete owns the connection
    QString deleteCwdFrom_;      // where the client stood before the delete's last CWD
    bool renameBatch_ = false;   // Change Case renames pair after pair
    // Transfers: the batch under way, its queues and what it has learned.
    TransferKind transfer_ = TransferKind::None;
    QList<QueuedFile> xferFiles_;
    QList<QueuedDir> xferDirs_;
    QSet<QString> visitedDirs_;             // remote directories a download entered
    std::vector<DirEntry> treeListing_;     // the upload's current remote directory
    bool inTree_ = false;                   // the upload stands in a directory of the batch
    bool overwriteAll_ = false, skipAll_ = false, resumeCurrent_ = false;
    QueuedFile current_;                    // the file whose request runs
    QString treeLocalDir_;                  // download: the local folder of the listed directory
    QString mkdTarget_;
    int transferType_ = 0;
    quint8 timeCmd_ = 3;
    QStringList pendingOpts_;              // OPTS arguments still to send after FEAT
    bool timeCommandRunning_ = false;      // MFMT/MDTM after an upload is under way
    bool probingMdtm_ = false;             // ... and it is MDTM, tried after MFMT failed
    bool madeDir_ = false;                 // the upload's directory was just made
    // The mirror run under way, its job and the listing of its level.
    std::unique_ptr<TMirrorRun> mirror_;
    TMirrorJob mirrorJob_;
    int mirrorDepth_ = 0;
    std::vector<DirEntry> mirrorListing_;
    bool mirrorListed_ = false;
    QString mirrorListError_;
    // A dry run: per level entered, which side only exists in the plan
    // (1 the remote folder, 2 the local folder), so it is not read.
    bool mirrorDryRun_ = false;
    std::vector<int> mirrorPlanned_;
    int mirrorEntering_ = 0;
    int lastMirrorFailed_ = 0;
    bool lastMirrorStopped_ = false;
    int mirrorUnread_ = 0, lastMirrorUnread_ = 0;
    QStringList mirrorRemoved_;       // remote folders whose removal was confirmed ("/a/b/")
    QSet<QString> mirrorRmdRetried_;  // folders emptied after a refused RMD
    QString mirrorRemovalPath_;       // the folder whose own listing is under way
    int lastRequestError_ = 0;  // the error code the dispatcher is handling
    QStringListModel remotePath_;
    int remotePathIndex_ = 0;
    QString infoLine_;
    QString remoteMask_ = QStringLiteral("*.*");
    QTimer* watchdog_;
    void ArmWatchdog();
};
