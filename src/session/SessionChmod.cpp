// File Attributes of the right pane: the user chooses the permissions of the
// selected files (IUserInterface::ChangeAttributes), then every file whose
// value changed gets one "SITE CHMOD <value> <name>" through the client's
// Quote, one request after another through the dispatcher (ChmodBatch). At
// the end, after Stop or after a refused command the batch ends and the
// directory is listed again; a failure leaves no queue and no flag behind,
// so no later command (a keep-alive NOOP, a custom command) resumes it.
#include "session/Session.h"

#include "i18n/MainMessages.h"
#include "session/Permissions.h"
#include "session/UserInterface.h"

void TSession::ChangeFileAttributes(const QList<int>& rows)
{
    IUserInterface* ui = userInterface();
    if (!ui || !ReadyForCommand())
        return;
    TPermissionFiles files;
    for (int row : rows) {
        const QString name = ListedNameAt(row);  // empty for ".." and bad rows
        if (!name.isEmpty())
            files.append({name, AttrTextToValue(remoteModel_->Entry(row).attributesView())});
    }
    if (files.isEmpty() || !ui->ChangeAttributes(files))
        return;
    // The dialog was modal: a keep-alive command may be under way.
    if (!ReadyForCommand())
        return;
    ClearQueues();
    for (const TPermissionFile& f : files) {
        if (!(f.value & kPermissionChanged))
            continue;
        fileQueue_ << f.name;
        fileTargets_ << QString::number(f.value & 0xFFF);
    }
    if (fileQueue_.isEmpty())
        return;
    stopRequested_ = false;
    flags_ |= sessionflag::ChmodBatch;
    SetBusy(true);
    ChmodNext();
}

void TSession::ChmodNext()
{
    if (stopRequested_) {
        ClearQueues();
        stopRequested_ = false;
    }
    if (fileQueue_.isEmpty()) {
        EndChmod();
        return;
    }
    const QString value = fileTargets_.takeFirst();
    const QString name = fileQueue_.takeFirst();
    ftp_.SetLocalFileName(QStringLiteral("SITE CHMOD %1 %2").arg(value, name));
    if (!Start(QStringLiteral("SITE CHMOD"), [this] { ftp_.Quote(); }))
        EndChmod();
}

void TSession::ChmodFailed()
{
    Display(Msg(mainmsg::Error) + " " + ftp_.ErrorMessage());
    EndChmod();
}

// The listing shows the permissions as the server has them now.
void TSession::EndChmod()
{
    flags_ &= ~quint16(sessionflag::ChmodBatch);
    ClearQueues();
    ListWithTypeAscii();
}
