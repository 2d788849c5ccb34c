// Downloads and uploads: the selected entries of one pane are copied into
// the other pane's directory, whole trees included, one request at a time
// through the dispatcher.
//
//   download  each directory: CWD, TYPE A (when the type is binary), LIST;
//             its files are queued before its subdirectories (breadth
//             first) and its local folders made as they are met; each file:
//             the overwrite decision, TYPE (only when it changes), RETR, then
//             the listed time is set on the copy.
//   upload    each local folder is read; CWD into its remote twin (MKD first
//             when that is missing), LIST it so the overwrite decision knows
//             what is there; each file: TYPE (only when it changes), STOR,
//             then MFMT or MDTM with the file's time.
//
// Names a server lists never reach outside the folder the user chose, links
// met inside a tree are never entered, and every batch ends through
// FinishBatch or FailBatch, which clear its queues, flags and progress.
#include "session/Session.h"

#include "i18n/MainMessages.h"
#include "listing/ListingParser.h"
#include "session/ProgressText.h"
#include "session/RemotePaths.h"
#include "session/SiteList.h"
#include "session/TransferRules.h"
#include "session/UserInterface.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <sys/stat.h>

namespace {

qint64 ListedSize(QStringView text)
{
    QString digits;
    digits.reserve(text.size());
    for (QChar c : text)
        if (c != QLatin1Char(' '))
            digits += c;
    bool ok = false;
    const qint64 size = digits.toLongLong(&ok);
    return ok && size >= 0 ? size : -1;
}

// lstat: a dangling link counts as existing, so it is asked about and never
// written through unasked.
bool LocalEntryExists(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// A name as a log line may show it: a NUL or a line break would cut the line.
QString Printable(const QString& name)
{
    QString out = name;
    out.replace(QChar(0), QStringLiteral("\\0")).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return out.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
}

} // namespace

bool TSession::CanTransfer() const
{
    return ReadyForCommand() && !busy_ && transfer_ == TransferKind::None && !deleteRunning_ && !mirror_
           && ftp_.State() == ftpStReady;
}

bool TSession::BeginBatch(TransferKind kind)
{
    ClearQueues();
    ClearTransferQueues();
    transfer_ = kind;
    overwriteAll_ = skipAll_ = resumeCurrent_ = false;
    stopRequested_ = false;
    inTree_ = false;
    visitedDirs_.clear();
    treeListing_.clear();
    treeLocalDir_.clear();
    SetBusy(true);
    return true;
}

void TSession::ClearTransferQueues()
{
    xferFiles_.clear();
    xferDirs_.clear();
}

// --- download --------------------------------------------------------------

void TSession::StartDownload(const QList<int>& rows)
{
    if (!CanTransfer())
        return;
    const bool vhost = VirtualHost();
    const QString remoteBase = RemoteDirPath(ftp_.HostDirName(), vhost);
    const QString localBase = LocalDirPath(localDir_.isEmpty() ? QDir::currentPath() : localDir_);
    const bool textListing = ListingFormat::fromAnswer(CurrentSite().Answer).type == ListingFormat::Text;
    const double zone = CurrentSite().TimeZone;
    QList<QueuedFile> files;
    QList<QueuedDir> dirs;
    for (int row : rows) {
        if (row < 0 || row >= remoteModel_->rowCount())
            continue;
        const DirEntry& e = remoteModel_->Entry(row);
        QString name = e.name();
        if (name == QLatin1String(".."))
            continue;
        if (textListing)
            name = name.section(QLatin1Char(' '), -1);  // a plain listing line ends in the name
        const QString target = IsSafeEntryName(name) ? PathInside(localBase, name) : QString();
        if (target.isEmpty()) {
            if (!name.isEmpty())
                Display(QStringLiteral("! \"%1\" is not downloaded: the name would leave %2").arg(Printable(name), localBase));
            continue;
        }
        const QString source = (vhost ? QString() : remoteBase) + name;
        if (e.directory)
            dirs << QueuedDir{source, target};  // a link chosen here is followed, once
        else
            files << QueuedFile{source, target, ListedSize(e.sizeView()), ListedFileTime(e.date(), e.time(), zone)};
    }
    if (files.isEmpty() && dirs.isEmpty())
        return;
    BeginBatch(TransferKind::Download);
    remoteBase_ = remoteBase;
    localBase_ = localBase;
    xferFiles_ = files;
    xferDirs_ = dirs;
    DownloadNext();
}

void TSession::DownloadNext()
{
    if (transfer_ != TransferKind::Download)
        return;
    if (stopRequested_ || !ftp_.Connected() || userEnded_) {
        ClearTransferQueues();
        stopRequested_ = false;
        FinishBatch(false);
        emit LocalRefreshWanted();
        return;
    }
    while (!xferFiles_.isEmpty()) {
        if (!CheckOverwrite(true)) {
            DownloadNext();  // stopped or disconnected while the question was open
            return;
        }
        if (!xferFiles_.isEmpty()) {
            StartFileTransfer();
            return;
        }
    }
    if (xferDirs_.isEmpty()) {
        FinishBatch(false);
        emit LocalRefreshWanted();
        return;
    }
    EnterDownloadDir();
}

void TSession::EnterDownloadDir()
{
    flags_ |= sessionflag::DownloadTree;
    while (!xferDirs_.isEmpty()) {
        const QueuedDir d = xferDirs_.takeFirst();
        QString name = d.source;
        if (VirtualHost()) {
            // These servers take directories relative to the user's top.
            const QString here = ftp_.HostDirName();
            if (!here.isEmpty() && name.startsWith(here, Qt::CaseInsensitive))
                name.remove(0, here.size());
            if (name.startsWith(QLatin1Char('/')))
                name.remove(0, 1);
        }
        // A directory reached twice (a server that lists a way back up) is
        // copied once.
        const QString key = WithSlash(d.source);
        if (visitedDirs_.contains(key)) {
            Display(QStringLiteral("! %1 was copied already: not entered again").arg(d.source));
            continue;
        }
        visitedDirs_.insert(key);
        treeLocalDir_ = d.target;
        ftp_.SetHostDirName(name);
        ftp_.SetHostFileName(QString());
        ftp_.SetLocalFileName(listingFile_);
        if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); }))
            FailBatch();
        return;
    }
    DownloadNext();
}

// CWD into a directory of the batch succeeded: list it (in ASCII type).
void TSession::ListTreeDir()
{
    if (stopRequested_) {
        transfer_ == TransferKind::Download ? DownloadNext() : UploadNext();
        return;
    }
    if (transfer_ == TransferKind::Upload && madeDir_) {
        // Made by this batch a moment ago: nothing can exist in it yet, so
        // no listing (and no TYPE A for it) is needed.
        treeListing_.clear();
        inTree_ = true;
        UploadNext();
        return;
    }
    ListInAscii(&TSession::ListTreeDir, &TSession::FailBatch);
}

// The listing of a directory being downloaded: its files join the file
// queue, its subdirectories the end of the directory queue, each local
// folder is made at once (so empty ones are copied too).
void TSession::QueueDownloadListing()
{
    const QStringList lines = TakeListingLines();
    if (stopRequested_) {
        DownloadNext();
        return;
    }
    const QString here = WithSlash(ftp_.HostDirName());
    const QString local = treeLocalDir_;
    if (!QDir().mkpath(local)) {
        Display(Msg(mainmsg::CanNotCreateDir) + " " + local + ": " + here + " is not copied");
        DownloadNext();
        return;
    }
    const ParsedListing parsed = ParseListingLines(lines);
    const double zone = CurrentSite().TimeZone;
    QStringList refused, links;
    for (const DirEntry& e : parsed.entries) {
        const QString name = e.name();
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        const QString target = IsSafeEntryName(name) ? PathInside(localBase_, local + QLatin1Char('/') + name) : QString();
        if (target.isEmpty()) {
            refused << QLatin1Char('"') + Printable(name) + QLatin1Char('"');
            continue;
        }
        if (e.directory && IsLinkEntry(e)) {
            links << name;  // "pub -> ." would never end
            continue;
        }
        if (!e.directory) {
            xferFiles_ << QueuedFile{name, target, ListedSize(e.sizeView()), ListedFileTime(e.date(), e.time(), zone)};
            continue;
        }
        if (!QDir().mkpath(target)) {
            Display(Msg(mainmsg::CanNotCreateDir) + " " + target);
            continue;
        }
        xferDirs_ << QueuedDir{here + name, target};
    }
    if (!refused.isEmpty())
        Display(QStringLiteral("! %1: names that would leave %2 are not downloaded: %3")
                    .arg(here, localBase_, refused.join(QStringLiteral(", "))));
    if (!links.isEmpty())
        Display(QStringLiteral("! %1: links to directories are not followed: %2").arg(here, links.join(QStringLiteral(", "))));
    DownloadNext();
}

// A directory of a download that cannot be entered or listed is left out;
// the rest of the batch goes on.
void TSession::SkipDownloadDir()
{
    Display(QStringLiteral("! %1 is not downloaded: %2").arg(ftp_.HostDirName(), ftp_.ErrorMessage()));
    QFile::remove(listingFile_);
    DownloadNext();
}

// --- upload ----------------------------------------------------------------

void TSession::StartUpload(const QStringList& names)
{
    if (!CanTransfer())
        return;
    const QString localBase = LocalDirPath(localDir_.isEmpty() ? QDir::currentPath() : localDir_);
    const QString remoteBase = RemoteDirPath(ftp_.HostDirName(), VirtualHost());
    QList<QueuedFile> files;
    QList<QueuedDir> dirs;
    for (const QString& name : names) {
        // A line break in a name would end the command early: such a file is
        // never offered to the server (as inside a tree).
        if (!IsSafeEntryName(name) || name.contains(QLatin1Char('\r')) || name.contains(QLatin1Char('\n'))) {
            if (name != QLatin1String("..") && name != QLatin1String("."))
                Display(QStringLiteral("! %1 is not uploaded: the name cannot be sent to a server").arg(Printable(name)));
            continue;
        }
        const QString path = localBase + name;
        qint64 size = 0;
        QDateTime modified;
        switch (UploadKindOf(path, &size, &modified)) {
        case 1:
            files << QueuedFile{path, name, size, modified};
            break;
        case 2:
            dirs << QueuedDir{path, remoteBase + name + QLatin1Char('/')};
            break;
        default:
            Display(QStringLiteral("! %1 is not uploaded: not a regular file or a directory").arg(path));
            break;
        }
    }
    if (files.isEmpty() && dirs.isEmpty())
        return;
    BeginBatch(TransferKind::Upload);
    remoteBase_ = remoteBase;
    localBase_ = localBase;
    xferFiles_ = files;
    xferDirs_ = dirs;
    UploadNext();
}

void TSession::UploadNext()
{
    if (transfer_ != TransferKind::Upload)
        return;
    if (stopRequested_ || !ftp_.Connected() || userEnded_) {
        ClearTransferQueues();
        stopRequested_ = false;
        FinishBatch(true);
        return;
    }
    while (!xferFiles_.isEmpty()) {
        if (!CheckOverwrite(false)) {
            UploadNext();
            return;
        }
        if (!xferFiles_.isEmpty()) {
            StartFileTransfer();
            return;
        }
    }
    if (!xferDirs_.isEmpty()) {
        EnterUploadDir();
        return;
    }
    FinishBatch(true);
}

// The next local folder: what it holds is queued, then the client goes into
// its remote twin.
void TSession::EnterUploadDir()
{
    const QueuedDir d = xferDirs_.takeFirst();
    std::vector<LocalUploadEntry> entries;
    QStringList skipped;
    if (!ScanUploadFolder(d.source, entries, skipped)) {
        Display(QStringLiteral("! %1 is not uploaded: it cannot be read").arg(d.source));
        UploadNext();
        return;
    }
    for (const QString& s : skipped)
        Display(QStringLiteral("! %1/%2 is not uploaded").arg(d.source, s));
    std::sort(entries.begin(), entries.end(),
              [](const LocalUploadEntry& a, const LocalUploadEntry& b) { return a.name < b.name; });
    const QString remote = WithSlash(d.target);
    for (const LocalUploadEntry& e : entries) {
        const QString source = d.source + QLatin1Char('/') + e.name;
        if (e.directory)
            xferDirs_ << QueuedDir{source, remote + e.name + QLatin1Char('/')};
        else
            xferFiles_ << QueuedFile{source, e.name, e.size, e.modified};
    }
    flags_ |= sessionflag::UploadTree;
    mkdTarget_ = ftp_.HostDirName();
    madeDir_ = false;
    inTree_ = false;
    treeListing_.clear();
    ftp_.SetHostDirName(d.target);
    ftp_.SetHostFileName(QString());
    if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); }))
        FailBatch();
}

// The listing of the remote directory an upload now writes into: what
// exists there for the overwrite decision.
void TSession::TakeUploadListing()
{
    const QStringList lines = TakeListingLines();
    treeListing_ = ParseListingLines(lines).entries;
    inTree_ = true;
    UploadNext();
}

// CWD into a directory of the upload failed: make it. With "Relative
// pathname" the directory is made by its leaf name from inside its parent.
void TSession::MakeMissingDir()
{
    if (madeDir_) {
        // Made a moment ago and still not enterable: no second attempt.
        FailBatch();
        return;
    }
    const QString dir = ftp_.HostDirName();
    if (!CurrentSite().MkDir) {
        ftp_.SetHostFileName(dir);
    } else if (WithSlash(RemoteParentOf(dir)) == WithSlash(mkdTarget_)) {
        ftp_.SetHostFileName(RemoteLeafOf(dir));
    } else {
        mkdTarget_ = dir;
        ftp_.SetHostDirName(RemoteParentOf(dir));
        flags_ |= sessionflag::MkdWalkUp;
        if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); }))
            FailBatch();
        return;
    }
    madeDir_ = true;
    if (!Start(QStringLiteral("MKD"), [this] { ftp_.Mkd(); }))
        FailBatch();
}

// The client stands in the parent of the directory to make.
void TSession::MkdAfterWalkUp()
{
    flags_ &= ~quint16(sessionflag::MkdWalkUp);
    ftp_.SetHostFileName(RemoteLeafOf(mkdTarget_));
    ftp_.SetHostDirName(mkdTarget_);
    madeDir_ = true;
    if (!Start(QStringLiteral("MKD"), [this] { ftp_.Mkd(); }))
        FailBatch();
}

void TSession::CwdIntoMadeDir()
{
    if (CurrentSite().MkDir)
        ftp_.SetHostDirName(WithSlash(ftp_.HostDirName()));
    if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); }))
        FailBatch();
}

// --- the overwrite decision ------------------------------------------------

const std::vector<DirEntry>& TSession::TargetListing() const
{
    return inTree_ ? treeListing_ : listingEntries_;
}

bool TSession::TargetExists(bool download, const QString& target) const
{
    if (download)
        return LocalEntryExists(target);
    const QString leaf = target.mid(target.lastIndexOf(QLatin1Char('/')) + 1);
    for (const DirEntry& e : TargetListing())
        if (e.nameView().compare(leaf, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

qint64 TSession::RemoteListedSize(const QString& name) const
{
    const QString leaf = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    for (const DirEntry& e : TargetListing())
        if (!e.directory && e.nameView() == leaf)
            return ListedSize(e.sizeView());
    return -1;
}

// Decides for the head of the file queue when its target exists: asks (or
// follows DefPrompt) and applies the answer to the queue. False when a Stop
// or the end of the connection came while the question was open.
bool TSession::CheckOverwrite(bool download)
{
    resumeCurrent_ = false;
    if (overwriteAll_)
        return true;
    const bool prompt = download ? options_.PromptDownLoad : options_.PromptUpLoad;
    if (!prompt) {
        const bool exists = !xferFiles_.isEmpty() && TargetExists(download, xferFiles_.first().target);
        if (options_.DefPrompt == 0) {
            while (!xferFiles_.isEmpty() && TargetExists(download, xferFiles_.first().target))
                xferFiles_.removeFirst();
        } else if (options_.DefPrompt == 2) {
            resumeCurrent_ = exists;
        }
        return true;
    }
    bool asked = false;
    while (!xferFiles_.isEmpty()) {
        QueuedFile& head = xferFiles_.first();
        if (!TargetExists(download, head.target))
            break;
        int answer = overwrite::Skip;
        if (!skipAll_) {
            QString name = head.target;
            IUserInterface* ui = userInterface();
            keepAlive_.Stop();  // nothing may start on the connection meanwhile
            answer = ui ? ui->AskReWrite(name) : int(overwrite::Cancel);
            asked = true;
            if (answer == overwrite::SaveAs) {
                if (name.trimmed().isEmpty()) {
                    answer = overwrite::Cancel;
                } else if (download) {
                    head.target = QDir(QFileInfo(head.target).path()).absoluteFilePath(name);
                    continue;  // the new name is checked in its turn
                } else {
                    head.target = name;
                    continue;
                }
            }
        }
        if (answer == overwrite::Resume) {
            resumeCurrent_ = true;
        } else if (answer == overwrite::All) {
            overwriteAll_ = true;
        } else if (answer == overwrite::Skip || answer == overwrite::SkipAll) {
            skipAll_ = skipAll_ || answer == overwrite::SkipAll;
            Display(QStringLiteral("! %1 exists: skipped").arg(head.target));
            xferFiles_.removeFirst();
            continue;
        } else if (answer != overwrite::Overwrite) {
            // Cancel, or the prompt was closed: the whole batch ends.
            ClearTransferQueues();
        }
        break;
    }
    // A Disconnect meanwhile has its QUIT under way: the connection is still
    // up, yet the batch must not go on.
    return !asked || (!stopRequested_ && !userEnded_ && ftp_.Connected() && transfer_ != TransferKind::None);
}

// --- one file --------------------------------------------------------------

void TSession::StartFileTransfer()
{
    current_ = xferFiles_.takeFirst();
    const bool download = transfer_ == TransferKind::Download;
    const QString local = download ? current_.target : current_.source;
    ftp_.SetLocalFileName(local);
    ftp_.SetHostFileName(download ? current_.source : current_.target);
    if (!download) {
        // Resumed at the size the server lists; unknown there: sent whole.
        const qint64 offset = RemoteListedSize(current_.target);
        if (offset < 0)
            resumeCurrent_ = false;
        ftp_.SetResumeAt(resumeCurrent_ ? offset : 0);
    }
    Display(Msg(mainmsg::StartingTransfer) + " " + FileNameOf(local));
    BeginFile(download ? current_.source : local, !download, qMax<qint64>(0, current_.size),
              BinaryFor(local, false), &TSession::RunFileRequest, &TSession::FailBatch);
}

// The Transfer Type menu decides, Auto by the whole items of Ext; allBinary
// (a mirror job's choice) overrides Auto and Ascii.
bool TSession::BinaryFor(const QString& localName, bool allBinary) const
{
    if (allBinary || transferType_ == 2)
        return true;
    if (transferType_ == 1)
        return false;
    return !IsTextByExtension(localName, options_.Ext);
}

// Announces a file to the progress window and sends TYPE only when the type
// must change; then runs then (at once, or when TYPE has completed).
void TSession::BeginFile(const QString& shownName, bool sending, qint64 size, bool binary,
                         void (TSession::*then)(), void (TSession::*failed)())
{
    ftp_.SetSizeProgress(size);
    emit TransferFileStarted(shownName, sending, ftp_.StepProgress(), size);
    if (ftp_.Binary() == binary) {
        (this->*then)();
        return;
    }
    afterType_ = then;
    if (!Start(QStringLiteral("TYPE"), [this, binary] { binary ? ftp_.TypeBinary() : ftp_.TypeAscii(); }))
        (this->*failed)();
}

void TSession::RunFileRequest()
{
    const bool download = transfer_ == TransferKind::Download;
    if (stopRequested_ || !ftp_.Connected()) {
        emit TransferFileEnded();
        download ? DownloadNext() : UploadNext();
        return;
    }
    const bool resume = resumeCurrent_;
    bool started;
    if (download)
        started = Start(QStringLiteral("RETR"), [this, resume] { resume ? ftp_.RestartGet() : ftp_.Get(); });
    else
        started = Start(QStringLiteral("STOR"), [this, resume] { resume ? ftp_.RestartPut() : ftp_.Put(); });
    if (!started) {
        // This file cannot be sent (the client refused its name): the next.
        emit TransferFileEnded();
        Post(download ? &TSession::DownloadNext : &TSession::UploadNext);
    }
}

void TSession::AfterGet()
{
    emit TransferFileEnded();
    if (current_.time.isValid() && LocalEntryExists(current_.target)
        && !SetLocalModificationTime(current_.target, current_.time))
        Display(QStringLiteral("! The time of %1 could not be set").arg(current_.target));
    DownloadNext();
}

void TSession::AfterPut()
{
    emit TransferFileEnded();
    SetRemoteFileTime();
}

// A file that failed is logged and left; a file only partly sent says so.
// The batch goes on with the next file.
void TSession::TransferFailed()
{
    Display(Msg(mainmsg::Error) + " " + ftp_.ErrorMessage());
    emit TransferFileEnded();
    if (transfer_ == TransferKind::Upload) {
        Display(QStringLiteral("! %1 on the server may be incomplete").arg(current_.target));
        UploadNext();
    } else {
        Display(QStringLiteral("! %1 may be incomplete").arg(current_.target));
        DownloadNext();
    }
}

// The uploaded file gets its local time on the server: MFMT where the
// server takes it, else MDTM with a time argument; which works is learned
// at the first file of the connection.
void TSession::SetRemoteFileTime()
{
    if (timeCmd_ == 2 || !current_.time.isValid()) {
        AfterFileTime();
        return;
    }
    const QString verb = timeCmd_ == 1 ? QStringLiteral("MDTM") : QStringLiteral("MFMT");
    ftp_.SetLocalFileName(verb + QLatin1Char(' ') + RemoteTimeArgument(current_.time, CurrentSite().TimeZone)
                          + QLatin1Char(' ') + current_.target);
    timeCommandRunning_ = true;
    if (!Start(verb, [this] { ftp_.Quote(); })) {
        timeCommandRunning_ = false;
        AfterFileTime();
    }
}

void TSession::AfterTimeCommand()
{
    timeCommandRunning_ = false;
    const bool ok = ftp_.StatusCode() >= 200 && ftp_.StatusCode() < 300;
    if (timeCmd_ == 3) {
        if (ok) {
            timeCmd_ = 0;
        } else {
            timeCmd_ = 1;  // tried once; its outcome settles it
            probingMdtm_ = true;
            SetRemoteFileTime();
            return;
        }
    } else if (probingMdtm_) {
        probingMdtm_ = false;
        if (!ok)
            timeCmd_ = 2;
    }
    AfterFileTime();
}

// The file's time is set (or cannot be): the batch or the mirror run goes on.
void TSession::AfterFileTime()
{
    if (mirror_)
        MirrorDone();
    else
        UploadNext();
}

// --- the end of a batch ----------------------------------------------------

void TSession::EndTransferState()
{
    const bool was = transfer_ != TransferKind::None;
    transfer_ = TransferKind::None;
    ClearTransferQueues();
    flags_ &= ~quint16(sessionflag::DownloadTree | sessionflag::UploadTree | sessionflag::MkdWalkUp);
    inTree_ = false;
    treeListing_.clear();
    visitedDirs_.clear();
    overwriteAll_ = skipAll_ = resumeCurrent_ = false;
    timeCommandRunning_ = probingMdtm_ = madeDir_ = false;
    stopRequested_ = false;
    if (was)
        emit TransferBatchEnded();
}

// Back to the directory the batch started in, and list it; a batch that
// never left it lists again only when refreshAlways (after an upload).
void TSession::FinishBatch(bool refreshAlways)
{
    const bool away = WithSlash(ftp_.HostDirName()) != WithSlash(remoteBase_);
    EndTransferState();
    if (!ftp_.Connected() || userEnded_ || (!away && !refreshAlways)) {
        SetBusy(false);
        return;
    }
    ftp_.SetHostFileName(QString());
    ftp_.SetHostDirName(remoteBase_);
    ftp_.SetLocalFileName(listingFile_);
    const bool pwd = VirtualHost() && (remoteBase_.isEmpty() || remoteBase_ == QLatin1String("/"));
    const bool started = pwd ? Start(QStringLiteral("PWD"), [this] { ftp_.Pwd(); })
                             : Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); });
    if (!started)
        SetBusy(false);
}

// A step of the batch failed where going on would be wrong (a directory
// that cannot be made or entered for an upload, a TYPE refused): the batch
// ends, and the start directory is listed again.
void TSession::FailBatch()
{
    Display(Msg(mainmsg::Error) + " " + ftp_.ErrorMessage());
    const bool download = transfer_ == TransferKind::Download;
    afterType_ = nullptr;
    if (transfer_ == TransferKind::None) {
        SetBusy(false);
        return;
    }
    FinishBatch(true);
    if (download)
        emit LocalRefreshWanted();
}
