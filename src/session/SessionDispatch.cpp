// The request dispatcher: every completion of the client comes here once and
// starts at most the next step. The routes are two tables, read top down:
// the first row whose request matches and whose condition holds decides.
// Transfers, file operations and mirror runs add their rows (marked below)
// in front of the plain browsing rows.
#include "session/Session.h"

#include "i18n/MainMessages.h"
#include "session/RemotePaths.h"
#include "session/ServerFeatures.h"

#include <QMetaObject>
#include <vector>

namespace {
using Condition = bool (*)(const TSession&);
bool always(const TSession&) { return true; }
} // namespace

// The tables live in a friend so their rows may name the engine's steps.
struct SessionRoutes {
    struct Row {
        TFtpRequest request;
        Condition when;
        void (TSession::*step)();
        const char* what;  // for a reader (and a debugger)
        // A failure row whose step decides itself what becomes of the
        // batch; for every other failure the delete's queues and flags go.
        bool keepsBatch = false;
    };

    static bool hasInitialDir(const TSession& s)
    {
        const QString d = s.ftp_.HostDirName();
        return !d.isEmpty() && d != QLatin1String("/");
    }
    static bool keepAliveQuote(const TSession& s) { return s.flags_ & sessionflag::KeepAliveQuote; }
    static bool deleting(const TSession& s) { return s.deleteRunning_; }
    static bool deleteStopped(const TSession& s) { return s.deleteRunning_ && s.stopRequested_; }
    static bool deleteScanning(const TSession& s)
    {
        return s.deleteRunning_ && (s.flags_ & sessionflag::DeleteScan);
    }
    static bool deleteRemovingDirs(const TSession& s)
    {
        return s.deleteRunning_ && (s.flags_ & sessionflag::DeleteRemoveDirs);
    }
    static bool renameBatch(const TSession& s) { return s.renameBatch_; }
    static bool downloading(const TSession& s) { return s.transfer_ == TSession::TransferKind::Download; }
    static bool uploading(const TSession& s) { return s.transfer_ == TSession::TransferKind::Upload; }
    static bool transferring(const TSession& s) { return s.transfer_ != TSession::TransferKind::None; }
    static bool uploadWalkUp(const TSession& s) { return uploading(s) && (s.flags_ & sessionflag::MkdWalkUp); }
    static bool settingFileTime(const TSession& s) { return s.timeCommandRunning_; }
    static bool mirroring(const TSession& s) { return s.mirror_ != nullptr; }
    // A keep-alive command that completes is never a step of the batch.
    static bool chmodBatch(const TSession& s)
    {
        return (s.flags_ & sessionflag::ChmodBatch) && !(s.flags_ & sessionflag::KeepAliveQuote);
    }

    // A request that succeeded (or failed softly, see IsFailure).
    static const std::vector<Row>& success()
    {
        static const std::vector<Row> rows = {
            // Stop during a delete: whatever finished, back to the start.
            {ftpRqNone, deleteStopped, &TSession::EndDelete, "delete stopped: list the start directory"},
            {ftpRqConnect, always, &TSession::RunFeat, "logged in: ask what the server offers"},
            {ftpRqFeat, always, &TSession::AfterFeat, "features known: OPTS where offered, then SYST"},
            {ftpRqOpts, always, &TSession::NextOpts, "the next OPTS, then SYST"},
            {ftpRqSyst, hasInitialDir, &TSession::RunCwd, "to the site's start directory"},
            {ftpRqSyst, always, &TSession::RunPwd, "ask where the login put us"},
            {ftpRqPwd, always, &TSession::TakePwdAndList, "take the home directory, list it"},
            {ftpRqTypeSet, always, &TSession::AfterTypeSet, "TYPE A done: the step that waited for it"},
            // Batches (delete, transfers, mirror) put their Cwd/Mkd/CDup rows here.
            {ftpRqQuote, settingFileTime, &TSession::AfterTimeCommand, "upload: time set (or not), the next file"},
            {ftpRqCwd, mirroring, &TSession::MirrorEntered, "mirror: in the folder, list it"},
            {ftpRqCDup, mirroring, &TSession::MirrorDone, "mirror: back up, the parent's operations go on"},
            {ftpRqMkd, mirroring, &TSession::MirrorDone, "mirror: folder made"},
            {ftpRqDir, mirroring, &TSession::MirrorListed, "mirror: compare the level"},
            {ftpRqGet, mirroring, &TSession::MirrorFileDone, "mirror: the copy's time, the next operation"},
            {ftpRqRestartGet, mirroring, &TSession::MirrorFileDone, "mirror: the copy's time, the next operation"},
            {ftpRqPut, mirroring, &TSession::MirrorFileDone, "mirror: the copy's time, the next operation"},
            {ftpRqRestartPut, mirroring, &TSession::MirrorFileDone, "mirror: the copy's time, the next operation"},
            {ftpRqDele, mirroring, &TSession::MirrorDone, "mirror: deleted"},
            {ftpRqRmd, mirroring, &TSession::MirrorDone, "mirror: folder removed"},
            {ftpRqCwd, uploadWalkUp, &TSession::MkdAfterWalkUp, "upload: in the parent, make the directory"},
            {ftpRqCwd, transferring, &TSession::ListTreeDir, "transfer: in the next directory, list it"},
            {ftpRqMkd, uploading, &TSession::CwdIntoMadeDir, "upload: made, now enter it"},
            {ftpRqCwd, deleteRemovingDirs, &TSession::RemoveDirsAfterTypeAscii, "delete: stepped out, remove"},
            {ftpRqCDup, deleteRemovingDirs, &TSession::RemoveDirsAfterTypeAscii, "delete: stepped out, remove"},
            {ftpRqCwd, always, &TSession::ListWithTypeAscii, "a new directory: list it"},
            {ftpRqMkd, always, &TSession::ListWithTypeAscii, "a new directory: list again"},
            {ftpRqCDup, always, &TSession::ListWithTypeAscii, "one level up: list it"},
            // Transfers and deletes put their listing rows here.
            {ftpRqDir, downloading, &TSession::QueueDownloadListing, "download: queue what the directory holds"},
            {ftpRqDir, uploading, &TSession::TakeUploadListing, "upload: what the directory holds already"},
            {ftpRqGet, downloading, &TSession::AfterGet, "download: the file's time, the next file"},
            {ftpRqRestartGet, downloading, &TSession::AfterGet, "download: the file's time, the next file"},
            {ftpRqPut, uploading, &TSession::AfterPut, "upload: the file's time on the server"},
            {ftpRqRestartPut, uploading, &TSession::AfterPut, "upload: the file's time on the server"},
            {ftpRqDir, deleteScanning, &TSession::QueueDeleteListing, "delete: queue what the directory holds"},
            {ftpRqDir, always, &TSession::ShowRemoteListing, "show the listing"},
            {ftpRqDele, deleting, &TSession::ContinueDelete, "delete: the next file or directory"},
            {ftpRqRmd, deleting, &TSession::RemoveDirsAfterTypeAscii, "delete: the next directory to remove"},
            {ftpRqRename, renameBatch, &TSession::RenameNext, "Change Case: the next pair"},
            {ftpRqRename, always, &TSession::ListWithTypeAscii, "renamed: list again"},
            {ftpRqQuote, chmodBatch, &TSession::ChmodNext, "permissions: the next file"},
            {ftpRqQuote, keepAliveQuote, &TSession::EndKeepAliveQuote, "keep-alive: no refresh"},
            {ftpRqQuote, always, &TSession::RunCwd, "a custom command: CWD here lists again"},
        };
        return rows;
    }

    // A request that failed.
    static const std::vector<Row>& failure()
    {
        static const std::vector<Row> rows = {
            {ftpRqConnect, always, &TSession::LoginFailed, "log the reply, abort; retries follow"},
            // A server without FEAT has no features; a refused OPTS changes nothing.
            {ftpRqFeat, always, &TSession::AfterFeat, "no features: on to SYST"},
            {ftpRqOpts, always, &TSession::NextOpts, "the next OPTS, then SYST"},
            // A directory of a delete that cannot be entered or listed is
            // left alone; the rest of the delete goes on.
            {ftpRqCwd, deleteScanning, &TSession::DeleteCwdRefused, "delete: skip that directory", true},
            {ftpRqDir, deleteScanning, &TSession::SkipDeleteDir, "delete: skip that directory", true},
            {ftpRqNone, deleting, &TSession::DeleteFailed, "delete: log, back to the start directory"},
            {ftpRqRename, always, &TSession::RenameFailed, "log; a Change Case batch ends"},
            {ftpRqQuote, chmodBatch, &TSession::ChmodFailed, "permissions: log, end the batch, list again"},
            // A mirror run: a listing that failed still goes to the comparison,
            // which derives nothing from it; any other failure is its step 4.
            {ftpRqQuote, settingFileTime, &TSession::AfterTimeCommand, "upload: no time set, the next", true},
            {ftpRqDir, mirroring, &TSession::MirrorListed, "mirror: the level fails", true},
            {ftpRqRmd, mirroring, &TSession::MirrorRmdRefused, "mirror: empty the folder first, once", true},
            {ftpRqNone, mirroring, &TSession::MirrorFailed, "mirror: mark it failed, go on", true},
            // Transfers: a file that fails is logged and the batch goes on;
            // a directory an upload cannot enter is made first.
            {ftpRqGet, downloading, &TSession::TransferFailed, "download: log, the next file", true},
            {ftpRqRestartGet, downloading, &TSession::TransferFailed, "download: log, the next file", true},
            {ftpRqPut, uploading, &TSession::TransferFailed, "upload: log, the next file", true},
            {ftpRqRestartPut, uploading, &TSession::TransferFailed, "upload: log, the next file", true},
            {ftpRqCwd, uploadWalkUp, &TSession::FailBatch, "upload: the parent cannot be entered"},
            {ftpRqCwd, uploading, &TSession::MakeMissingDir, "upload: make the missing directory", true},
            {ftpRqCwd, downloading, &TSession::SkipDownloadDir, "download: skip that directory", true},
            {ftpRqDir, downloading, &TSession::SkipDownloadDir, "download: skip that directory", true},
            {ftpRqNone, transferring, &TSession::FailBatch, "transfer: end the batch, list again"},
            {ftpRqCwd, always, &TSession::CwdFailed, "back to where the batch started"},
            {ftpRqDir, always, &TSession::DirFailed, "log, abort"},
            {ftpRqNone, always, &TSession::LogFailure, "any other: log and wait for the user"},
        };
        return rows;
    }

    static const Row* find(const std::vector<Row>& rows, const TSession& s, TFtpRequest rq)
    {
        for (const Row& r : rows)
            if ((r.request == rq || r.request == ftpRqNone) && r.when(s))
                return &r;
        return nullptr;
    }
};

void TSession::Ftp1RequestDone(TFtpRequest rq, quint16 error)
{
    if (rq == ftpRqConnect) {
        // A completion of an attempt that a newer one replaced is stale.
        connectsPending_ = qMax(0, connectsPending_ - 1);
        if (connectsPending_ > 0 || phase_ == Phase::SiteList)
            return;
    } else if (phase_ == Phase::SiteList || !ftp_.Connected()) {
        inFlight_ = false;  // the session ended meanwhile
        return;
    }
    inFlight_ = false;
    watchdog_->stop();
    keepAlive_.Stop();
    if (keepAlive_.TakeKeepAliveQuote() && rq == ftpRqQuote)
        flags_ |= sessionflag::KeepAliveQuote;
    Dispatch(rq, error);
    // A mirror run owns the connection: a keep-alive command meanwhile could
    // meet a question that is open and stall the run.
    if (phase_ != Phase::SiteList && ftp_.Connected() && !mirror_)
        keepAlive_.Restart();
}

// Replies from 400 to 499 are no failure for listings and navigation
// (servers answer 450 or 550 for an empty directory). A login, a transfer and
// a step inside a batch fail on any error: a 421 banner must not lead on to
// SYST over a closed connection.
bool TSession::IsFailure(TFtpRequest rq, int error) const
{
    if (error == 0)
        return false;
    // Inside a delete, a directory that answers anything but success is not
    // one whose listing may be acted on.
    if (deleteRunning_ && (flags_ & sessionflag::DeleteScan) && (rq == ftpRqCwd || rq == ftpRqDir))
        return true;
    // Inside a transfer a directory change or a made directory counts only
    // when it succeeded (a Stop clears the tree flags, not the batch).
    if ((transfer_ != TransferKind::None || mirror_) && (rq == ftpRqCwd || rq == ftpRqMkd || rq == ftpRqTypeSet))
        return true;
    switch (rq) {
    case ftpRqConnect:
    case ftpRqGet:
    case ftpRqRestartGet:
    case ftpRqPut:
    case ftpRqRestartPut:
    case ftpRqAppend:
        return true;
    case ftpRqDir:
        return error >= 500 && error != 550;
    case ftpRqCwd:
    case ftpRqMkd:
        if (flags_ & (sessionflag::UploadTree | sessionflag::DownloadTree | sessionflag::MirrorRun))
            return true;
        return error >= 500;
    default:
        return error >= 500;
    }
}

void TSession::Dispatch(TFtpRequest rq, int error)
{
    lastRequestError_ = error;
    const bool failed = IsFailure(rq, error);
    const auto* row = SessionRoutes::find(failed ? SessionRoutes::failure() : SessionRoutes::success(), *this, rq);
    if (failed && !(row && row->keepsBatch)) {
        if (flags_ & (sessionflag::DeleteScan | sessionflag::DeleteRemoveDirs))
            ClearQueues();
        flags_ &= ~quint16(sessionflag::DeleteScan | sessionflag::DeleteRemoveDirs | sessionflag::DownloadTree);
    }
    if (!row)
        return;  // any other request: nothing follows
    // Taken first: the step may start the next request, which clears it.
    const QString reason = ftp_.ErrorMessage();
    (this->*row->step)();
    if (!failed && rq == ftpRqDir && error != 0 && error != 550 && error != 450) {
        // A listing cut short (a transfer error, the listing limit) is shown
        // as far as it came, and the reason is logged.
        Display(Msg(mainmsg::Error) + " " + reason);
    }
}

// --- steps -------------------------------------------------------------------

void TSession::RunSyst()
{
    SetPhase(Phase::Online);
    Start(QStringLiteral("SYST"), [this] { ftp_.Syst(); });
}

void TSession::RunCwd()
{
    Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); });
}

void TSession::RunPwd()
{
    Start(QStringLiteral("PWD"), [this] { ftp_.Pwd(); });
}

void TSession::TakePwdAndList()
{
    if (ftp_.StatusCode() == 257) {
        const QString dir = VmsDirToPath(QuotedDirectory(ftp_.LastResponse()));
        if (!dir.isEmpty()) {
            homeDir_ = dir;
            ftp_.SetHostDirName(dir);
        }
    }
    ListWithTypeAscii();
}

// Listings go in ASCII type. TYPE A runs as a request of its own and its
// completion starts the next step from the event loop (the dialogue is TYPE
// A, then PASV/PORT and LIST), with no nested wait for the reply.
void TSession::TypeAsciiThen(void (TSession::*step)())
{
    afterType_ = step;
    if (!Start(QStringLiteral("TYPE"), [this] { ftp_.TypeAscii(); })) {
        afterType_ = nullptr;
        SetBusy(false);
    }
}

void TSession::ListWithTypeAscii()
{
    TypeAsciiThen(&TSession::StartListing);
}

void TSession::AfterTypeSet()
{
    auto step = afterType_;
    afterType_ = nullptr;
    if (step)
        Post(step);
}

void TSession::StartListing()
{
    // The window's listing goes through MLSD where the server offers it; a
    // recursive delete reads its directories with LIST (see ServerFeatures.h).
    ftp_.SetMachineListing(UseMachineListing(ftp_.Features(), CurrentSite().Answer, ftp_.ListAll())
                           && !deleteRunning_);
    ftp_.SetHostFileName(QString());
    ftp_.SetLocalFileName(listingFile_);
    if (!Start(QStringLiteral("LIST"), [this] { ftp_.Dir(); }))
        SetBusy(false);
}

void TSession::EndKeepAliveQuote()
{
    flags_ &= ~quint16(sessionflag::KeepAliveQuote);
}

void TSession::LoginFailed()
{
    const QString line = ftp_.LastResponse().trimmed();
    Display(line.isEmpty() ? ftp_.ErrorMessage() : line);
    AbortClient();
    SessionEnded();
}

// A refused directory change: back to where the batch started; PWD shows the
// server's real current directory again.
void TSession::CwdFailed()
{
    Display(Msg(mainmsg::Error) + " " + ftp_.ErrorMessage());
    ftp_.SetHostFileName(QString());
    ftp_.SetHostDirName(remoteBase_);
    RestorePathSelection();
    TypeAsciiThen(&TSession::RunPwd);
}

void TSession::DirFailed()
{
    Display(Msg(mainmsg::Error) + " " + ftp_.ErrorMessage());
    SetBusy(false);
    AbortClient();
    SessionEnded();
}

void TSession::LogFailure()
{
    Display(Msg(mainmsg::Error) + " " + ftp_.ErrorMessage());
    SetBusy(false);
}
