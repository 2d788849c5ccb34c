// File operations of the right pane: Make Directory, Rename, Delete and
// Change Case. A remote delete of directories walks the tree one request at
// a time through the dispatcher:
//
//   CWD into the next directory, TYPE A, LIST   (scan: DeleteScan)
//   DELE each file of that listing              (ContinueDelete)
//   ... until no directory is left to scan, then
//   TYPE A, RMD each visited directory, the last visited first, with a CDUP
//   first wherever the client stands in the one to remove
//   (ContinueRemoveDirs: DeleteRemoveDirs)
//   CWD back to where the delete started, and its listing.
//
// Links are deleted with DELE and never entered. A directory that cannot be
// entered or listed is left alone. Stop and any failure end the whole batch
// and return to the start directory; no queue outlives the batch.
#include "session/Session.h"

#include "i18n/MainMessages.h"
#include "listing/ListingParser.h"
#include "session/NameCase.h"
#include "session/RemotePaths.h"
#include "session/SiteList.h"
#include "session/UserInterface.h"

#include <QFile>
#include <QSet>

namespace {

// A name a delete may send: one entry of the directory, never a path.
bool IsPlainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

} // namespace

QString TSession::ListedNameAt(int row) const
{
    if (phase_ != Phase::Online || row < 0 || row >= remoteModel_->rowCount())
        return QString();
    const QString name = remoteModel_->Entry(row).name();
    return name == QLatin1String("..") ? QString() : name;
}

void TSession::ClearQueues()
{
    dirQueue_.clear();
    dirTargets_.clear();
    fileQueue_.clear();
    fileTargets_.clear();
}

// --- Make Directory ------------------------------------------------------------

void TSession::MakeDirectory()
{
    IUserInterface* ui = userInterface();
    if (!ui || (phase_ != Phase::SiteList && !ReadyForCommand()))
        return;
    QString name;
    if (!ui->InputLine(Msg(mainmsg::CreateDirectory), Msg(mainmsg::EnterNewDirName) + ":", name, false, 255)
        || name.isEmpty())
        return;
    if (phase_ == Phase::SiteList) {
        sites_->MakeFolder(name);
        return;
    }
    // The prompt was modal: a keep-alive may have started meanwhile.
    if (!ReadyForCommand())
        return;
    stopRequested_ = false;
    ftp_.SetHostFileName(name);
    Start(QStringLiteral("MKD"), [this] { ftp_.Mkd(); });
}

// --- Rename --------------------------------------------------------------------

void TSession::RenameItem(int row)
{
    IUserInterface* ui = userInterface();
    if (!ui)
        return;
    if (phase_ == Phase::SiteList) {
        const int selected = sites_->SelectedRow();
        if (sites_->ImageIndex(selected) != imgFolder)
            return;
        QString name = sites_->Caption(selected);
        if (ui->InputLine(Msg(mainmsg::Rename), Msg(mainmsg::EnterNewName) + ":", name, false, 255))
            sites_->RenameFolder(selected, name);
        return;
    }
    const QString oldName = ListedNameAt(row);
    if (oldName.isEmpty() || !ReadyForCommand())
        return;
    const QString kind = remoteModel_->Entry(row).directory ? QStringLiteral("Directory") : QStringLiteral("File");
    QString newName = oldName;
    if (!ui->InputLine(Msg(mainmsg::Rename) + " " + kind,
                       Msg(mainmsg::EnterNew) + " " + kind + " " + Msg(mainmsg::Name) + " :", newName, false, 255))
        return;
    if (!ReadyForCommand())
        return;
    // A single rename ends any batch that was left behind.
    fileQueue_.clear();
    fileTargets_.clear();
    renameBatch_ = false;
    if (newName.isEmpty() || newName == oldName)
        return;
    for (const DirEntry& e : listingEntries_) {
        if (e.nameView() != newName)
            continue;
        // RNTO replaces an existing file on most servers: asked first.
        if (ui->ShowMessageBox(Msg(mainmsg::FileAlreadyExists) + " :" + newName + "\r\n" + Msg(mainmsg::Rewrite) + "?",
                               Msg(mainmsg::Attention), mb::YesNo | mb::IconQuestion) != mb::IdYes
            || !ReadyForCommand())
            return;
        break;
    }
    stopRequested_ = false;
    ftp_.SetHostFileName(oldName);
    ftp_.SetLocalFileName(newName);
    Start(QStringLiteral("RNFR"), [this] { ftp_.Rename(); });
}

// --- Change Case ---------------------------------------------------------------

void TSession::ChangeCase(int mode, const QList<int>& rows)
{
    if (!ReadyForCommand())
        return;
    ClearQueues();
    QSet<QString> listed;
    for (const DirEntry& e : listingEntries_)
        listed.insert(e.name());
    for (int row : rows) {
        const QString name = ListedNameAt(row);
        const QString changed = ChangedCase(name, mode);
        if (name.isEmpty() || changed == name)
            continue;
        if (listed.contains(changed)) {
            Display(QStringLiteral("! %1 is not renamed: %2 already exists").arg(name, changed));
            continue;
        }
        listed.remove(name);
        listed.insert(changed);
        fileQueue_ << name;
        fileTargets_ << changed;
    }
    if (fileQueue_.isEmpty())
        return;
    stopRequested_ = false;
    renameBatch_ = true;
    SetBusy(true);
    RenameNext();
}

void TSession::RenameNext()
{
    if (fileQueue_.isEmpty() || stopRequested_) {
        // Done (or stopped): the listing shows the names as they are now.
        fileQueue_.clear();
        fileTargets_.clear();
        renameBatch_ = false;
        stopRequested_ = false;
        ListWithTypeAscii();
        return;
    }
    ftp_.SetHostFileName(fileQueue_.takeFirst());
    ftp_.SetLocalFileName(fileTargets_.takeFirst());
    if (!Start(QStringLiteral("RNFR"), [this] { ftp_.Rename(); }))
        RenameFailed();
}

void TSession::RenameFailed()
{
    Display(Msg(mainmsg::Error) + " " + ftp_.ErrorMessage());
    fileQueue_.clear();
    fileTargets_.clear();
    if (!renameBatch_) {
        SetBusy(false);
        return;
    }
    // Part of the batch is done: show the names as they are now.
    renameBatch_ = false;
    stopRequested_ = false;
    ListWithTypeAscii();
}

// --- Delete --------------------------------------------------------------------

void TSession::DeleteItems(const QList<int>& rows)
{
    IUserInterface* ui = userInterface();
    if (!ui)
        return;
    if (phase_ == Phase::SiteList) {
        if (sites_->SelectedRow() >= 0
            && ui->ShowMessageBox(Msg(mainmsg::DoYouWishToRemove), Msg(mainmsg::Attention),
                                  mb::YesNo | mb::IconQuestion) == mb::IdYes)
            sites_->RemoveSelected();
        return;
    }
    if (!ReadyForCommand())
        return;
    // What is to go is taken now: the rows may change while the question is open.
    QStringList files, dirs;
    for (int row : rows) {
        const QString name = ListedNameAt(row);
        if (name.isEmpty())
            continue;
        const DirEntry& e = remoteModel_->Entry(row);
        // A link is removed as what it is (DELE), whatever it points to.
        (e.directory && !IsLinkEntry(e) ? dirs : files) << name;
    }
    if (files.isEmpty() && dirs.isEmpty())
        return;
    if (ui->ShowMessageBox(Msg(mainmsg::DoYouWishToRemove), Msg(mainmsg::Attention), mb::YesNo | mb::IconQuestion)
        != mb::IdYes)
        return;
    // The question was modal: only an idle client starts the batch, and no
    // flag or queue changes before that is known.
    if (!ReadyForCommand())
        return;
    ClearQueues();
    remoteBase_ = RemoteDirPath(ftp_.HostDirName(), VirtualHost());
    fileQueue_ = files;
    for (const QString& d : dirs)
        dirQueue_ << remoteBase_ + d;
    stopRequested_ = false;
    deleteRunning_ = true;
    SetBusy(true);
    if (!fileQueue_.isEmpty()) {
        ftp_.SetHostFileName(fileQueue_.takeFirst());
        if (!Start(QStringLiteral("DELE"), [this] { ftp_.Dele(); }))
            EndDelete();
        return;
    }
    flags_ |= sessionflag::DeleteScan;
    ContinueDelete();
}

// After each DELE and each listing of the scan.
void TSession::ContinueDelete()
{
    if (!deleteRunning_)
        return;
    if (stopRequested_) {
        EndDelete();
        return;
    }
    if (ftp_.Binary()) {
        TypeAsciiThen(&TSession::ContinueDelete);
        return;
    }
    if (!fileQueue_.isEmpty()) {
        ftp_.SetHostFileName(fileQueue_.takeFirst());
        if (!Start(QStringLiteral("DELE"), [this] { ftp_.Dele(); }))
            DeleteFailed();
        return;
    }
    if (dirQueue_.isEmpty()) {
        flags_ &= ~quint16(sessionflag::DeleteScan);
        if (dirTargets_.isEmpty())
            EndDelete();
        else
            RemoveDirsAfterTypeAscii();
        return;
    }
    flags_ |= sessionflag::DeleteScan;
    const QString dir = dirQueue_.takeFirst();
    deleteCwdFrom_ = ftp_.HostDirName();
    ftp_.SetHostDirName(dir);
    dirTargets_ << dir;
    ftp_.SetLocalFileName(listingFile_);
    if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); }))
        DeleteFailed();
}

// The listing of a directory being deleted: its files join FileQueue, its
// subdirectories DirQueue.
void TSession::QueueDeleteListing()
{
    const QStringList lines = TakeListingLines();
    if (stopRequested_) {
        EndDelete();
        return;
    }
    const QString here = ftp_.HostDirName();
    const ParsedListing parsed = ParseListingLines(lines);
    for (const DirEntry& e : parsed.entries) {
        const QString name = e.name();
        if (!IsPlainName(name)) {
            if (!name.isEmpty() && name != QLatin1String(".") && name != QLatin1String(".."))
                Display(QStringLiteral("! %1: the listing names \"%2\", which is not deleted").arg(here, name));
            continue;
        }
        if (e.directory && !IsLinkEntry(e))
            dirQueue_ << (here.endsWith(QLatin1Char('/')) ? here : here + QLatin1Char('/')) + name;
        else
            fileQueue_ << name;
    }
    ContinueDelete();
}

// The directory removal runs in ASCII type, as every step after a listing.
void TSession::RemoveDirsAfterTypeAscii()
{
    TypeAsciiThen(&TSession::ContinueRemoveDirs);
}

void TSession::ContinueRemoveDirs()
{
    if (!deleteRunning_)
        return;
    if (stopRequested_ || dirTargets_.isEmpty()) {
        EndDelete();
        return;
    }
    flags_ |= sessionflag::DeleteRemoveDirs;
    const QString dir = dirTargets_.last();
    const QString here = ftp_.HostDirName();
    ftp_.SetLocalFileName(listingFile_);
    if (dir == here && ListingFormat::fromAnswer(CurrentSite().Answer).type == ListingFormat::Win2000) {
        // This server removes a directory only by its name relative to the
        // parent: step out first, then remove it by its leaf name.
        ftp_.SetHostDirName(RemoteParentOf(dir));
        dirTargets_.last() = RemoteLeafOf(dir);
        if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); }))
            DeleteFailed();
        return;
    }
    if (dir != here) {
        ftp_.SetHostFileName(dir);
        dirTargets_.removeLast();
        if (!Start(QStringLiteral("RMD"), [this] { ftp_.Rmd(); }))
            DeleteFailed();
        return;
    }
    // The client stands in the directory to remove: one level up first.
    QString trimmed = dir;
    if (trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const int slash = trimmed.lastIndexOf(QLatin1Char('/'));
    ftp_.SetHostDirName(slash < 0 ? remoteBase_ : trimmed.left(slash));
    if (!Start(QStringLiteral("CDUP"), [this] { ftp_.CDup(); }))
        DeleteFailed();
}

// A directory of the scan could not be entered (the client stays where it
// was) or listed: nothing in it is deleted and it is not removed.
void TSession::DeleteCwdRefused()
{
    ftp_.SetHostDirName(deleteCwdFrom_);
    SkipDeleteDir();
}

void TSession::SkipDeleteDir()
{
    const QString dir = dirTargets_.isEmpty() ? QString() : dirTargets_.takeLast();
    Display(QStringLiteral("! %1 is not deleted: %2").arg(dir, ftp_.ErrorMessage()));
    QFile::remove(listingFile_);
    ContinueDelete();
}

void TSession::DeleteFailed()
{
    Display(Msg(mainmsg::Error) + " " + ftp_.ErrorMessage());
    EndDelete();
}

// The end of a delete, finished, stopped or failed: every queue and flag of
// it goes, and the start directory is listed again.
void TSession::EndDelete()
{
    ClearQueues();
    flags_ &= ~quint16(sessionflag::DeleteScan | sessionflag::DeleteRemoveDirs);
    deleteRunning_ = false;
    afterType_ = nullptr;
    stopRequested_ = false;
    ftp_.SetHostFileName(QString());
    ftp_.SetHostDirName(remoteBase_);
    ftp_.SetLocalFileName(listingFile_);
    if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); }))
        SetBusy(false);
}
