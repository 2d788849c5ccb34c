// The mirror run: a job's two folders compared level by level and made
// alike, one operation at a time through the dispatcher.
//
//   Start    CWD to the job's remote folder, list it              (step 0)
//   Build    compare the level's listing with the local folder    (step 1)
//   Next     run the next pending operation                       (step 2)
//   Done / Failed   mark it, go on                                (steps 3, 4)
//   Finish   write mirrorstate.txt and a summary, back to the start (step 5)
//
// A level whose listing or local folder could not be read gives no
// operation at all: nothing is ever deleted on bad information. A descent
// lists the new folder afresh; going back up needs no listing (the parent's
// operations were derived already). The run owns the connection while it
// lasts: no keep-alive, and Stop ends it between operations.
#include "session/Session.h"

#include "i18n/MainMessages.h"
#include "listing/ListingParser.h"
#include "session/LocalFileOps.h"
#include "session/MirrorCompare.h"
#include "session/MirrorFolder.h"
#include "session/ProgressText.h"
#include "session/RemotePaths.h"
#include "session/SiteList.h"
#include "session/TransferRules.h"
#include "session/UserInterface.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace {

bool EntryExists(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

bool TSession::MirrorRunning() const { return mirror_ != nullptr; }

const TMirrorRun* TSession::MirrorState() const { return mirror_.get(); }

void TSession::PostMirrorStep(int step, int param)
{
    inFlight_ = true;
    QMetaObject::invokeMethod(this, [this, step, param] {
        inFlight_ = false;
        if (phase_ != Phase::SiteList && mirror_)
            MirrorStep(step, param);
    }, Qt::QueuedConnection);
}

void TSession::MirrorStep(int step, int param)
{
    switch (step) {
    case 1:
        MirrorBuild(param);
        break;
    case 2:
        MirrorNext();
        break;
    case 3:
        MirrorDone();
        break;
    case 4:
        MirrorFailed();
        break;
    default:
        MirrorFinish();
        break;
    }
}

bool TSession::StartMirror(const TMirrorJob& job, bool dryRun)
{
    if (!CanTransfer())
        return false;
    // The local folder is never replaced by another: a mirror into the
    // wrong folder could delete what is there.
    if (job.Local.trimmed().isEmpty() || !QFileInfo(job.Local).isDir()) {
        Display(QStringLiteral("! The mirror does not run: the local folder \"%1\" does not exist").arg(job.Local));
        return false;
    }
    if (job.Remote.trimmed().isEmpty()) {
        Display(QStringLiteral("! The mirror does not run: no remote folder is given"));
        return false;
    }
    mirrorJob_ = job;
    ClearQueues();
    ClearTransferQueues();
    overwriteAll_ = job.FileExists != mirror::Ask;
    skipAll_ = resumeCurrent_ = false;
    stopRequested_ = false;
    SetBusy(true);
    remoteBase_ = RemoteDirPath(job.Remote, VirtualHost());
    localBase_ = LocalDirPath(job.Local);
    mirror_ = std::make_unique<TMirrorRun>();
    mirror_->Host = ftp_.HostName();
    mirror_->LocalRoot = job.Local;
    mirror_->RemoteRoot = job.Remote;
    mirror_->Current = 0;
    mirrorDepth_ = 0;
    mirrorDryRun_ = dryRun;
    mirrorUnread_ = 0;
    mirrorRemoved_.clear();
    mirrorRmdRetried_.clear();
    mirrorRemovalPath_.clear();
    mirrorPlanned_.clear();
    mirrorEntering_ = 0;
    flags_ = sessionflag::MirrorRun;
    keepAlive_.Stop();
    Display(QStringLiteral("Mirror: %1 and %2").arg(job.Local, job.Remote));
    ftp_.SetHostDirName(job.Remote);
    ftp_.SetHostFileName(QString());
    ftp_.SetLocalFileName(listingFile_);
    if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); }))
        MirrorFinish();
    return true;
}

// A CWD of the run succeeded: at a descent the run's place follows its own
// operation (by each side's name), then the folder is listed.
void TSession::MirrorEntered()
{
    if (flags_ & sessionflag::MirrorDescend) {
        mirror_->EnterDir(mirror_->GetOp(mirror_->Current));
        ++mirrorDepth_;
        if (mirrorDryRun_)
            mirrorPlanned_.push_back(mirrorEntering_);
    }
    MirrorList();
}

// A folder of the run has been entered: list it (in ASCII type).
void TSession::MirrorList()
{
    ListInAscii(&TSession::MirrorList, &TSession::MirrorFailed);
}

// The listing of the folder just entered, successful or not: a failed or
// partial listing is kept as failed, so Build derives nothing from it.
void TSession::MirrorListed()
{
    const bool fileThere = QFileInfo::exists(listingFile_);
    const QStringList lines = TakeListingLines();
    mirrorListing_.clear();
    mirrorListed_ = lastRequestError_ == 0 && fileThere;
    mirrorListError_.clear();
    if (!mirrorListed_) {
        mirrorListError_ = fileThere ? ftp_.ErrorMessage() : QStringLiteral("the listing file could not be read");
        if (mirrorListError_.trimmed().isEmpty())
            mirrorListError_ = ftp_.LastResponse();
    } else {
        mirrorListing_ = ParseListingLines(lines).entries;
    }
    if (!mirrorRemovalPath_.isEmpty()) {
        MirrorRemovalListed();
        return;
    }
    MirrorStep(1, (flags_ & sessionflag::MirrorDescend) ? 1 : 0);
}

// Step 1: this level's operations, appended (the top level) or placed in
// front of the descent that led here.
void TSession::MirrorBuild(int param)
{
    MirrorLevelInput in;
    in.job = mirrorJob_;
    // A folder a dry run only plans to make is empty, not unreadable.
    const int planned = mirrorPlanned_.empty() ? 0 : mirrorPlanned_.back();
    in.localRead = (planned & 2) || ScanMirrorFolder(mirror_->LocalFull(), in.local, in.localError);
    in.remoteListed = mirrorListed_;
    in.remoteError = mirrorListError_;
    in.remote = mirrorListing_;
    in.listingType = ListingFormat::fromAnswer(CurrentSite().Answer).type;
    in.siteTimeZone = CurrentSite().TimeZone;
    in.listsHidden = CurrentSite().ShowHidden != 0;
    in.localDir = mirror_->LocalFull();
    in.remoteDir = mirror_->RemoteFull();
    in.depth = mirrorDepth_;
    const MirrorLevel level = CompareMirrorLevel(in);
    for (const QString& line : level.log)
        Display(QStringLiteral("! ") + line);
    if (!level.ok) {
        ++mirrorUnread_;
        Display(QStringLiteral("! Mirror: nothing is done in %1 / %2").arg(in.localDir, in.remoteDir));
        if (param == 1 && mirror_->Current >= 0) {
            TMirrorRec rec = mirror_->GetOp(mirror_->Current);
            rec.State = smError;
            mirror_->PutOp(mirror_->Current, rec);
        }
    }
    if (param == 1)
        mirror_->InsertOps(mirror_->Current, level.ops);
    else
        for (const TMirrorRec& r : level.ops)
            mirror_->AddOp(r);
    MirrorNext();
}

void TSession::MarkMirror(TMirrorState state)
{
    if (!mirror_ || mirror_->Current < 0)
        return;
    TMirrorRec rec = mirror_->GetOp(mirror_->Current);
    rec.State = state;
    mirror_->PutOp(mirror_->Current, rec);
}

// Asks before a deletion unless the job says not to.
bool TSession::ConfirmMirrorDelete(const QString& path, bool directory)
{
    if (!mirrorJob_.Has(mirror::PromptDelete))
        return true;
    IUserInterface* ui = userInterface();
    if (!ui)
        return false;
    keepAlive_.Stop();
    const QString text = Msg(mainmsg::DoYouWishToRemove) + path + " "
                         + Msg(directory ? mainmsg::Folders : mainmsg::Files);
    return ui->ShowMessageBox(text, Msg(mainmsg::Attention), mb::YesNo | mb::IconQuestion) == mb::IdYes;
}

// Step 2: the next pending operation, or the end.
void TSession::MirrorNext()
{
    if (!mirror_)
        return;
    if (stopRequested_ || userEnded_ || !ftp_.Connected()) {
        mirror_->Stop();
        stopRequested_ = false;
    }
    int index = -1;
    if (!mirror_->NextPending(index)) {
        MirrorFinish();
        return;
    }
    mirror_->Current = index;
    flags_ = sessionflag::MirrorRun;
    TMirrorRec rec = mirror_->GetOp(index);
    const QString local = mirror_->LocalFull() + rec.LocalName;
    const QString remote = mirror_->RemoteFull() + rec.RemoteName;
    switch (rec.Op) {
    case omGet:
    case omPut:
        MirrorTransfer(rec);
        return;
    case omMkdLoc: {
        emit MirrorOperation(rec.Op, local, QString());
        if (mirrorDryRun_) {
            MarkMirror(smDone);
            PostMirrorStep(2);
            return;
        }
        const bool made = QDir().mkdir(local);
        if (!made)
            Display(Msg(mainmsg::CanNotCreateDir) + " " + local);
        MarkMirror(made ? smDone : smError);
        PostMirrorStep(2);
        return;
    }
    case omMkdFtp:
        emit MirrorOperation(rec.Op, QString(), remote);
        if (mirrorDryRun_) {
            MarkMirror(smDone);
            PostMirrorStep(2);
            return;
        }
        MarkMirror(smProgress);
        ftp_.SetHostFileName(remote);
        if (!Start(QStringLiteral("MKD"), [this] { ftp_.Mkd(); }))
            MirrorFailed();
        return;
    case omRmdLoc:
    case omDelLoc: {
        const bool dir = rec.Op == omRmdLoc;
        if (!ConfirmMirrorDelete(local, dir)) {
            MarkMirror(smDone);
            PostMirrorStep(2);
            return;
        }
        emit MirrorOperation(rec.Op, local, QString());
        if (mirrorDryRun_) {
            MarkMirror(smDone);
            PostMirrorStep(2);
            return;
        }
        const LocalDeletePlan plan = dir ? CollectLocalDelete({}, {local}) : CollectLocalDelete({local}, {});
        const QStringList stayed = ExecuteLocalDelete(plan);
        for (const QString& s : stayed)
            Display(QStringLiteral("! ") + s);
        MarkMirror(stayed.isEmpty() ? smDone : smError);
        PostMirrorStep(2);
        return;
    }
    case omRmdFtp:
    case omDelFtp: {
        const bool dir = rec.Op == omRmdFtp;
        // What lies inside a folder whose removal was confirmed goes with it
        // without a second question.
        const bool confirmed = InsideRemovedFolder(remote);
        if ((!confirmed && !ConfirmMirrorDelete(remote, dir)) || !ftp_.Connected() || userEnded_) {
            MarkMirror(smDone);
            PostMirrorStep(2);
            return;
        }
        // A folder's removal comes back once its contents are gone: it was
        // announced (and confirmed) the first time.
        const bool retry = dir && mirrorRmdRetried_.contains(remote);
        if (!retry)
            emit MirrorOperation(rec.Op, QString(), remote);
        if (mirrorDryRun_) {
            if (dir && !retry) {
                // What the folder holds is planned as the run would find it.
                MarkMirror(smProgress);
                mirrorRemoved_ << WithSlash(remote);
                MirrorRmdRefused();
                return;
            }
            MarkMirror(smDone);
            PostMirrorStep(2);
            return;
        }
        MarkMirror(smProgress);
        // The full path: the directory or file meant, wherever the client stands.
        ftp_.SetHostFileName(remote);
        if (dir) {
            flags_ |= sessionflag::MirrorRemove;
            mirrorRemoved_ << WithSlash(remote);
        }
        if (!Start(dir ? QStringLiteral("RMD") : QStringLiteral("DELE"), [this, dir] { dir ? ftp_.Rmd() : ftp_.Dele(); }))
            MirrorFailed();
        return;
    }
    case omDir: {
        // A dry run has made nothing: a folder it only plans to make (the
        // operation just before) is not entered but taken as empty.
        const TMirrorRec made = mirror_->GetOp(index - 1);
        mirrorEntering_ = 0;
        if (mirrorDryRun_ && index > 0 && made.State == smDone) {
            if (made.Op == omMkdLoc && made.LocalName == rec.LocalName)
                mirrorEntering_ = 2;
            if (made.Op == omMkdFtp && made.RemoteName == rec.RemoteName)
                mirrorEntering_ = 1 | (mirrorPlanned_.empty() ? 0 : mirrorPlanned_.back() & 2);
        }
        if (!mirrorPlanned_.empty() && (mirrorPlanned_.back() & 1))
            mirrorEntering_ |= 1;  // below a planned remote folder, all is planned
        if (mirrorEntering_ & 1) {
            MarkMirror(smProgress);
            mirror_->EnterDir(rec);
            ++mirrorDepth_;
            mirrorPlanned_.push_back(mirrorEntering_);
            mirrorListed_ = true;
            mirrorListing_.clear();
            mirrorListError_.clear();
            MirrorBuild(1);
            return;
        }
        flags_ |= sessionflag::MirrorDescend;
        MarkMirror(smProgress);
        ftp_.SetHostDirName(remote);
        ftp_.SetHostFileName(QString());
        if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); }))
            MirrorFailed();
        return;
    }
    case omDirUp: {
        if (mirrorDryRun_ && !mirrorPlanned_.empty()) {
            const int planned = mirrorPlanned_.back();
            mirrorPlanned_.pop_back();
            if (planned & 1) {  // the server never went there
                mirror_->LeaveDir();
                mirrorDepth_ = qMax(0, mirrorDepth_ - 1);
                MarkMirror(smDone);
                PostMirrorStep(2);
                return;
            }
        }
        flags_ |= sessionflag::MirrorAscend;
        flags_ &= ~quint16(sessionflag::MirrorDescend);
        MarkMirror(smProgress);
        ftp_.SetHostDirName(RemoteParentDir(ftp_.HostDirName()));
        if (!Start(QStringLiteral("CDUP"), [this] { ftp_.CDup(); }))
            MirrorFailed();
        return;
    }
    default:
        MarkMirror(smDone);
        PostMirrorStep(2);
        return;
    }
}

// A download or upload of the run: the existing-file rule, then the request.
void TSession::MirrorTransfer(TMirrorRec rec)
{
    const bool download = rec.Op == omGet;
    if (!overwriteAll_) {
        resumeCurrent_ = false;
        for (;;) {
            const bool exists = download ? EntryExists(mirror_->LocalFull() + rec.LocalName)
                                         : [&] {
                                               for (const DirEntry& e : mirrorListing_)
                                                   if (e.nameView() == rec.RemoteName)
                                                       return true;
                                               return false;
                                           }();
            if (!exists)
                break;
            int answer = overwrite::Skip;
            const bool prompt = download ? options_.PromptDownLoad : options_.PromptUpLoad;
            if (skipAll_) {
                answer = overwrite::Skip;
            } else if (!prompt) {
                answer = options_.DefPrompt == 1 ? overwrite::Overwrite
                         : options_.DefPrompt == 2 ? overwrite::Resume : overwrite::Skip;
            } else {
                QString name = download ? rec.LocalName : rec.RemoteName;
                IUserInterface* ui = userInterface();
                keepAlive_.Stop();
                answer = ui ? ui->AskReWrite(name) : int(overwrite::Cancel);
                if (answer == overwrite::SaveAs) {
                    if (!IsSafeEntryName(name.trimmed())) {
                        answer = overwrite::Cancel;
                    } else {
                        (download ? rec.LocalName : rec.RemoteName) = name.trimmed();
                        mirror_->PutOp(mirror_->Current, rec);
                        continue;
                    }
                }
                if (stopRequested_ || userEnded_ || !ftp_.Connected())
                    answer = overwrite::Cancel;
            }
            if (answer == overwrite::Resume) {
                resumeCurrent_ = true;
            } else if (answer == overwrite::All) {
                overwriteAll_ = true;
            } else if (answer == overwrite::Skip || answer == overwrite::SkipAll) {
                skipAll_ = skipAll_ || answer == overwrite::SkipAll;
                MarkMirror(smDone);
                PostMirrorStep(2);
                return;
            } else if (answer != overwrite::Overwrite) {
                mirror_->Stop();
                PostMirrorStep(2);
                return;
            }
            break;
        }
    } else {
        resumeCurrent_ = false;
    }
    emit MirrorOperation(rec.Op, mirror_->LocalFull() + rec.LocalName, mirror_->RemoteFull() + rec.RemoteName);
    if (mirrorDryRun_) {
        MarkMirror(smDone);
        PostMirrorStep(2);
        return;
    }
    MarkMirror(smProgress);
    current_ = QueuedFile{};
    current_.time = rec.Time > 0 ? QDateTime::fromSecsSinceEpoch(rec.Time) : QDateTime();
    const QString local = mirror_->LocalFull() + rec.LocalName;
    ftp_.SetLocalFileName(local);
    ftp_.SetHostFileName(rec.RemoteName);
    current_.source = download ? rec.RemoteName : local;
    current_.target = download ? local : rec.RemoteName;
    if (!download)
        ftp_.SetResumeAt(resumeCurrent_ ? rec.RemoteSize : 0);
    Display(Msg(mainmsg::StartingTransfer) + " " + rec.RemoteName);
    BeginFile(download ? rec.RemoteName : local, !download, download ? rec.RemoteSize : rec.LocalSize,
              BinaryFor(local, mirrorJob_.Has(mirror::AllBinary)), &TSession::MirrorFileRequest,
              &TSession::MirrorFailed);
}

void TSession::MirrorFileRequest()
{
    const TMirrorRec rec = mirror_->GetOp(mirror_->Current);
    const bool resume = resumeCurrent_;
    const bool started = rec.Op == omGet
                             ? Start(QStringLiteral("RETR"), [this, resume] { resume ? ftp_.RestartGet() : ftp_.Get(); })
                             : Start(QStringLiteral("STOR"), [this, resume] { resume ? ftp_.RestartPut() : ftp_.Put(); });
    if (!started)
        MirrorFailed();
}

// A transfer of the run succeeded: its copy gets the source's time.
void TSession::MirrorFileDone()
{
    emit TransferFileEnded();
    const TMirrorRec rec = mirror_->GetOp(mirror_->Current);
    if (rec.Op == omGet) {
        if (current_.time.isValid() && !SetLocalModificationTime(current_.target, current_.time))
            Display(QStringLiteral("! The time of %1 could not be set").arg(current_.target));
        MirrorDone();
        return;
    }
    SetRemoteFileTime();  // continues with MirrorDone
}

// Step 3.
void TSession::MirrorDone()
{
    const TMirrorRec rec = mirror_->GetOp(mirror_->Current);
    if (rec.Op == omDirUp) {
        mirror_->LeaveDir();
        mirrorDepth_ = qMax(0, mirrorDepth_ - 1);
        flags_ &= ~quint16(sessionflag::MirrorAscend);
    }
    MarkMirror(smDone);
    PostMirrorStep(2);
}

// Step 4: the operation under way failed. A folder that could not be made
// or entered takes its own descent with it; siblings still run. A way back
// up that fails ends the run (the client stands somewhere unknown).
void TSession::MirrorFailed()
{
    if (!mirror_)
        return;
    Display(Msg(mainmsg::Error) + " " + ftp_.ErrorMessage());
    afterType_ = nullptr;
    const TMirrorRec rec = mirror_->GetOp(mirror_->Current);
    if (rec.Op == omDir || mirror_->Current >= mirror_->OpCount())
        ++mirrorUnread_;  // a folder not entered (at the start: the job's own)
    if (rec.Op == omGet || rec.Op == omPut) {
        emit TransferFileEnded();
        Display(QStringLiteral("! %1 may be incomplete").arg(rec.Op == omGet ? current_.target : rec.RemoteName));
    }
    MarkMirror(smError);
    if (rec.Op == omDirUp)
        mirror_->Stop();
    if (rec.Op == omMkdFtp || rec.Op == omDir) {
        const QString name = rec.RemoteName;
        for (int i = mirror_->Current + 1; i < mirror_->OpCount(); ++i) {
            TMirrorRec next = mirror_->GetOp(i);
            const bool ownPair = (next.Op == omDir || next.Op == omDirUp) && next.RemoteName == name;
            if (!ownPair || next.State != smNone)
                break;
            next.State = smError;
            mirror_->PutOp(i, next);
            if (next.Op == omDirUp)
                break;
        }
    }
    flags_ &= ~quint16(sessionflag::MirrorDescend | sessionflag::MirrorAscend | sessionflag::MirrorRemove);
    PostMirrorStep(2);
}

bool TSession::InsideRemovedFolder(const QString& path) const
{
    const QString slashed = WithSlash(path);
    for (const QString& folder : mirrorRemoved_)
        if (slashed.startsWith(folder))
            return true;
    return false;
}

// RMD refused: the folder may still hold files. Its own listing, taken now
// by its full path, says what must go first; the removal is tried once more
// after that. A second refusal, or a listing that fails, is a failure.
void TSession::MirrorRmdRefused()
{
    const TMirrorRec rec = mirror_->GetOp(mirror_->Current);
    const QString path = mirror_->RemoteFull() + rec.RemoteName;
    if (rec.Op != omRmdFtp || mirrorRmdRetried_.contains(path)) {
        MirrorFailed();
        return;
    }
    mirrorRmdRetried_.insert(path);
    mirrorRemovalPath_ = path;
    afterType_ = nullptr;
    if (ftp_.Binary()) {
        afterType_ = &TSession::ListRemovedFolder;
        if (!Start(QStringLiteral("TYPE"), [this] { ftp_.TypeAscii(); }))
            MirrorFailed();
        return;
    }
    ListRemovedFolder();
}

void TSession::ListRemovedFolder()
{
    ftp_.SetMachineListing(false);  // a folder to remove: LIST shows its links
    ftp_.SetHostFileName(mirrorRemovalPath_);
    ftp_.SetLocalFileName(listingFile_);
    if (!Start(QStringLiteral("LIST"), [this] { ftp_.Dir(); }))
        MirrorFailed();
}

// The removed folder's own listing: its files and links are deleted and its
// subfolders removed the same way, then the folder itself again. Nothing is
// derived from a listing that failed.
void TSession::MirrorRemovalListed()
{
    const TMirrorRec rec = mirror_->GetOp(mirror_->Current);
    const MirrorLevel level = MirrorRemovalOps(mirrorListing_, mirrorListed_, mirrorListError_,
                                               ListingFormat::fromAnswer(CurrentSite().Answer).type, mirrorRemovalPath_);
    for (const QString& line : level.log)
        Display(QStringLiteral("! ") + line);
    mirrorRemovalPath_.clear();
    if (!level.ok) {
        MirrorFailed();
        return;
    }
    std::vector<TMirrorRec> inside = level.ops;
    for (TMirrorRec& r : inside)
        r.RemoteName = rec.RemoteName + QLatin1Char('/') + r.RemoteName;
    // The folder's contents run first; the removal itself is pending again
    // behind them.
    TMirrorRec again = rec;
    again.State = smNone;
    mirror_->PutOp(mirror_->Current, again);
    mirror_->InsertOps(mirror_->Current, inside);
    flags_ &= ~quint16(sessionflag::MirrorRemove);
    PostMirrorStep(2);
}

// Step 5: the report, a summary line, and back to where the run started.
void TSession::MirrorFinish()
{
    if (!mirror_)
        return;
    QString error;
    if (!mirrorDryRun_ && !mirror_->SaveState(MirrorStateFile(), &error))
        Display(QStringLiteral("! The mirror report could not be written: %1").arg(error));
    int done = 0, failed = 0, pending = 0;
    for (const TMirrorRec& r : mirror_->Ops()) {
        if (r.Op == omDir || r.Op == omDirUp)
            continue;
        done += r.State == smDone ? 1 : 0;
        failed += r.State == smError ? 1 : 0;
        pending += r.State == smNone || r.State == smProgress ? 1 : 0;
    }
    // Folders that could not be entered, listed or read are named in the
    // summary: nothing was done in them, which is no success.
    const QString unread = mirrorUnread_ == 0 ? QString()
                           : mirrorUnread_ == 1 ? QStringLiteral("; 1 folder could not be read")
                                                : QStringLiteral("; %1 folders could not be read").arg(mirrorUnread_);
    Display(QStringLiteral("Mirror %1: %2 done, %3 not done, %4 failed%5")
                .arg(mirror_->Stopped ? QStringLiteral("stopped") : QStringLiteral("finished"))
                .arg(done)
                .arg(pending)
                .arg(failed)
                .arg(unread));
    lastMirrorFailed_ = failed;
    lastMirrorStopped_ = mirror_->Stopped;
    lastMirrorUnread_ = mirrorUnread_;
    mirror_.reset();
    flags_ = 0;
    afterType_ = nullptr;
    stopRequested_ = false;
    emit TransferBatchEnded();
    emit LocalRefreshWanted();
    emit MirrorEnded();
    if (!ftp_.Connected() || userEnded_) {
        SetBusy(false);
        return;
    }
    ftp_.SetHostFileName(QString());
    ftp_.SetHostDirName(remoteBase_);
    ftp_.SetLocalFileName(listingFile_);
    if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); }))
        SetBusy(false);
}
