// Moving between remote directories (double click, up one level, the path
// box, Change Directory, Refresh) and showing a finished listing. Every
// directory change ends in a listing: the dispatcher answers a successful
// CWD, CDUP or PWD with TYPE A and LIST, and LIST with ShowRemoteListing.
#include "session/Session.h"

#include "i18n/MainMessages.h"
#include "listing/ListingDisplay.h"
#include "listing/ListingParser.h"
#include "listing/ListingText.h"
#include "listing/RemoteListModel.h"
#include "session/RemotePaths.h"
#include "session/SiteList.h"
#include "session/UserInterface.h"

#include <QFile>

bool TSession::VirtualHost() const { return CurrentSite().CheckVHost != 0; }

void TSession::RemoteDoubleClick(int row)
{
    if (phase_ != Phase::Online || !ClientReadyForClick())
        return;
    if (!ReadyForCommand() || row < 0 || row >= remoteModel_->rowCount())
        return;  // a double click during a listing is ignored
    const DirEntry& entry = remoteModel_->Entry(row);
    if (!entry.directory)
        return;
    if (entry.nameView() == QLatin1String("..")) {
        OneLevelUp();
        return;
    }
    const QString before = ftp_.HostDirName();
    QString dir;
    if (ListingFormat::fromAnswer(CurrentSite().Answer).type == ListingFormat::Vms) {
        dir = entry.name();
    } else {
        dir = before;
        if (!dir.isEmpty() && !dir.endsWith('/'))
            dir += '/';
        dir += entry.nameView();
    }
    stopRequested_ = false;
    ftp_.SetHostDirName(dir);
    if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); }))
        ftp_.SetHostDirName(before);
}

void TSession::OneLevelUp()
{
    if (phase_ != Phase::Online || remotePathIndex_ <= 0 || !ReadyForCommand())
        return;
    if (ftp_.State() != ftpStReady || ftp_.HostDirName() == homeDir_)
        return;  // never above the directory the login reported
    const QString before = ftp_.HostDirName();
    const QString parent = RemoteParentDir(before);
    stopRequested_ = false;
    if (parent == QLatin1String("/") && VirtualHost()) {
        // The server names its own top.
        ftp_.SetHostDirName(QString());
        if (!Start(QStringLiteral("PWD"), [this] { ftp_.Pwd(); }))
            ftp_.SetHostDirName(before);
        return;
    }
    ftp_.SetHostDirName(parent);
    if (!Start(QStringLiteral("CDUP"), [this] { ftp_.CDup(); }))
        ftp_.SetHostDirName(before);
}

void TSession::ChoosePathItem(int index)
{
    if (phase_ != Phase::Online)
        return;
    if (busy_ || !ReadyForCommand() || ftp_.State() != ftpStReady) {
        // Busy: the choice is undone.
        RestorePathSelection();
        return;
    }
    if (index == 0) {
        Disconnect();
        return;
    }
    const QStringList items = remotePath_.stringList();
    if (index < 1 || index >= items.size()) {
        RestorePathSelection();
        return;
    }
    QString path = RemotePathOfItem(items, index, VirtualHost());
    if (VirtualHost() && IsOutsideHome(path, homeDir_)) {
        // Outside the user's part of a shared host: nothing is sent.
        RestorePathSelection();
        return;
    }
    if (path.isEmpty())
        path = QStringLiteral("/");
    const QString before = ftp_.HostDirName();
    ftp_.SetHostDirName(path);
    stopRequested_ = false;
    if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); })) {
        ftp_.SetHostDirName(before);
        RestorePathSelection();
        return;
    }
    SetBusy(true);
    remotePathIndex_ = index;
}

void TSession::RestorePathSelection()
{
    emit RemotePathChanged();
}

void TSession::ChangeDirectory()
{
    if (phase_ != Phase::Online || !ReadyForCommand())
        return;
    QString dir = remotePathIndex_ >= 2 ? remotePath_.stringList().value(remotePathIndex_) : QString();
    IUserInterface* ui = userInterface();
    if (!ui || !ui->InputLine(Msg(mainmsg::ChangeDirectory), QString(), dir, false, 255))
        return;
    // The prompt was modal: a keep-alive may have started meanwhile.
    if (!ReadyForCommand())
        return;
    const QString before = ftp_.HostDirName();
    ftp_.SetHostDirName(dir);
    stopRequested_ = false;
    if (!Start(QStringLiteral("CWD"), [this] { ftp_.Cwd(); }))
        ftp_.SetHostDirName(before);
}

void TSession::Refresh()
{
    if (phase_ == Phase::SiteList) {
        sites_->Refresh();
        return;
    }
    if (!ReadyForCommand())
        return;
    stopRequested_ = false;
    StartListing();
}

// A batch's listing of the directory the client stands in: TYPE A first
// when the type is binary (its completion runs again once more), then LIST;
// failed runs when either cannot be sent.
void TSession::ListInAscii(void (TSession::*again)(), void (TSession::*failed)())
{
    if (ftp_.Binary()) {
        afterType_ = again;
        if (!Start(QStringLiteral("TYPE"), [this] { ftp_.TypeAscii(); }))
            (this->*failed)();
        return;
    }
    ftp_.SetMachineListing(false);  // tree transfers and mirror levels: LIST (see ServerFeatures.h)
    ftp_.SetHostFileName(QString());
    ftp_.SetLocalFileName(listingFile_);
    if (!Start(QStringLiteral("LIST"), [this] { ftp_.Dir(); }))
        (this->*failed)();
}

// The listing file's lines; the file is deleted (none: no lines).
QStringList TSession::TakeListingLines() const
{
    QStringList lines;
    QFile file(listingFile_);
    if (file.open(QIODevice::ReadOnly)) {
        lines = DecodeListingLines(file.readAll());
        file.close();
    }
    QFile::remove(listingFile_);
    return lines;
}

// The finished listing: read and delete the listing file, parse it with the
// site's server type, fill the remote list and rebuild the path box.
void TSession::ShowRemoteListing()
{
    if (!ftp_.Connected()) {
        AbortClient();
        SessionEnded();
        return;
    }
    listingRaw_ = TakeListingLines();
    ParsedListing parsed = ParseListingLines(listingRaw_);
    if (!parsed.directory.isEmpty())
        ftp_.SetHostDirName(parsed.directory.trimmed());
    listingEntries_ = std::move(parsed.entries);
    // The list is filled from the event loop: reading and parsing a large
    // listing, filling the list and sorting it each take their own turn, so
    // the window keeps answering in between.
    Post(&TSession::FillRemoteView);
}

void TSession::FillRemoteView()
{
    const TFTPServerObj& site = CurrentSite();
    RemoteViewOptions view;
    view.answer = site.Answer;
    view.siteTimeZone = site.TimeZone;
    view.localTimeZone = options_.TimeZone;
    view.mask = remoteMask_;
    view.dateType = options_.DateType;
    remoteModel_->Fill(listingEntries_, view);
    if (remoteModel_->DroppedCount() > 0) {
        // Names that no file system could hold are shown nowhere.
        Display(QStringLiteral("! %1 listing entries with an empty name or one holding \"/\" or NUL are not shown: %2")
                    .arg(remoteModel_->DroppedCount())
                    .arg(remoteModel_->DroppedNames().join(QStringLiteral(", "))));
    }
    SetInfoLine(QString());
    RebuildRemotePath();
    SetBusy(false);
    emit ListingShown();
}

void TSession::RebuildRemotePath()
{
    QStringList items{Msg(mainmsg::ServerList) + QStringLiteral(" ..."), ftp_.HostName()};
    items += RemotePathComponents(ftp_.HostDirName());
    remotePath_.setStringList(items);
    remotePathIndex_ = int(items.size()) - 1;
}

void TSession::SetRemoteMask(const QString& mask)
{
    remoteMask_ = mask;
    // Shown again from the listing already read: no command is sent. (A
    // listing under way is shown with the new mask when it arrives.)
    if (phase_ == Phase::Online && !inFlight_ && !busy_)
        FillRemoteView();
}

void TSession::RemoteSelectionChanged(const QList<int>& selectedRows)
{
    if (phase_ != Phase::Online)
        return;
    qint64 count = 0, total = 0;
    for (int row : selectedRows) {
        if (row < 0 || row >= remoteModel_->rowCount() || remoteModel_->Entry(row).directory)
            continue;
        ++count;
        total += qMax<qint64>(0, remoteModel_->Size(row));
    }
    SetInfoLine(SelectionSummary(count, total, {Msg(mainmsg::Byte), Msg(mainmsg::In), Msg(mainmsg::Files)}));
}
