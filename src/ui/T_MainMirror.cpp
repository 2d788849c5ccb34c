// T_Main: Synchronize Directories. The command fills the mirror job with the
// two panes' folders and a direction, shows the job dialog, and on Execute
// queues the run.
#include "ui/T_Main.h"

#include "ftp/FtpClient.h"
#include "session/MirrorJob.h"
#include "session/Session.h"
#include "ui/T_Mirror.h"

#include <QAction>
#include <QMenu>
#include <QMetaObject>

void T_Main::ConnectMirror()
{
    // The menu bar's items (tag 0) and the two panes' popup items: only the
    // remote pane's miSyncDir1 has tag 1 and asks for Mirror Remote.
    for (const char* name : {"SynchronizeDirectories1", "SynchronizeDirectories2"})
        connect(findChild<QAction*>(QLatin1String(name)), &QAction::triggered, this, [this] { SyncDirClick(0); });
    auto item = [this](const char* name, int tag) {
        auto* a = new QAction(tr("Synchronize Directories"), this);
        a->setObjectName(QLatin1String(name));
        a->setData(tag);
        connect(a, &QAction::triggered, this, [this, a] { SyncDirClick(a->data().toInt()); });
        connectedCommands_ << QLatin1String(name);
        return a;
    };
    item("miSyncDir1", 1); // joins the remote popup when it is first shown
    QAction* local = item("miSyncDir2", 0);
    // The local popup: after the pane's Delete.
    if (PopupMenu1) {
        const QList<QAction*> entries = PopupMenu1->actions();
        const qsizetype at = entries.indexOf(findChild<QAction*>(QStringLiteral("Delete1")));
        PopupMenu1->insertAction(at >= 0 && at + 1 < entries.size() ? entries[at + 1] : nullptr, local);
    }
}

void T_Main::SyncDirClick(int tag)
{
    if (!session_ || siteListShown_)
        return;
    TFtpClient& ftp = session_->Ftp1();
    if (!ftp.Connected() || ftp.State() != ftpStReady || session_->Busy() || session_->RequestInFlight())
        return;
    MirrorJob.Local = LocalDir();
    MirrorJob.Remote = ftp.HostDirName();
    MirrorJob.Direction = tag != 0 ? mirror::MirrorRemote : mirror::MirrorLocal;
    if (ShowMirrorJob(this))
        QMetaObject::invokeMethod(this, &T_Main::StartMirrorRun, Qt::QueuedConnection);
}

void T_Main::StartMirrorRun()
{
    session_->StartMirror(MirrorJob);
}
