// T_Main and transfers: the Upload and Download commands, drags of rows from
// one pane onto the other, the Transfer Type menu, and the progress window
// that follows the session engine's batch. The engine does the work; the
// window says which rows are meant and shows how far it has come.
#include "ui/T_Main.h"

#include "listing/ListSortProxy.h"
#include "listing/LocalListModel.h"
#include "listing/PaneListModel.h"
#include "session/Session.h"
#include "ui/TProgress.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>

namespace {

// Lets one list take drops of the other pane's rows; everything else passes
// on to the list itself (the site list moves its own items by drag).
class PaneDropTarget : public QObject {
public:
    using Accepts = std::function<bool()>;
    using Drop = std::function<void(const QList<int>&)>;
    PaneDropTarget(QObject* parent, QString sourceModel, Accepts accepts, Drop drop)
        : QObject(parent), sourceModel_(std::move(sourceModel)), accepts_(std::move(accepts)), drop_(std::move(drop))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        const auto type = e->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return QObject::eventFilter(watched, e);
        auto* drop = static_cast<QDropEvent*>(e);
        QString model;
        const QList<int> rows = DraggedRows(drop->mimeData(), &model);
        if (model.isEmpty())
            return false;  // not a drag of pane rows
        if (model != sourceModel_ || rows.isEmpty() || !accepts_()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (type == QEvent::Drop)
            drop_(rows);
        return true;
    }

private:
    QString sourceModel_;
    Accepts accepts_;
    Drop drop_;
};

// Progress reaches the window at most this often; the last position of a
// file is always shown.
constexpr qint64 kProgressIntervalMs = 50;

} // namespace

void T_Main::ConnectTransfers()
{
    auto onCommand = [this](const char* name, void (T_Main::*slot)()) {
        if (auto* b = findChild<QToolButton*>(QLatin1String(name)))
            connect(b, &QToolButton::clicked, this, slot);
        else if (auto* a = findChild<QAction*>(QLatin1String(name)))
            connect(a, &QAction::triggered, this, slot);
    };
    onCommand("SpeedButton1", &T_Main::UploadSelected);
    onCommand("UploadSelectedFiles1", &T_Main::UploadSelected);
    onCommand("SpeedButton2", &T_Main::DownloadSelected);
    onCommand("DownloadSelectedFiles1", &T_Main::DownloadSelected);
    for (QAction* a : {miAuto, miAscii, miBinary})
        connect(a, &QAction::triggered, this, [this] { session_->SetTransferType(TransferType()); });
    session_->SetTransferType(TransferType());

    // Drags between the panes: rows of one list dropped on the other.
    lvLoc->setDragEnabled(true);
    lvLoc->setAcceptDrops(true);
    lvLoc->setDragDropMode(QAbstractItemView::DragDrop);
    lvLoc->setDefaultDropAction(Qt::CopyAction);
    auto ready = [this] { return !siteListShown_ && session_->CanTransfer(); };
    lvLoc->viewport()->installEventFilter(new PaneDropTarget(
        this, session_->RemoteModel()->objectName(), ready, [this](const QList<int>& rows) { session_->StartDownload(rows); }));
    FTPView->viewport()->installEventFilter(new PaneDropTarget(
        this, locModel_->objectName(), ready, [this](const QList<int>& rows) { UploadRows(rows); }));

    // Upload and Download wait for a server directory and for the end of
    // whatever runs: a click during a batch would be dropped by the engine.
    // Connected after the session's own control updates, so this has the
    // last word.
    auto updateTransferCommands = [this] {
        const bool ready =
            !siteListShown_ && !session_->Busy() && session_->CurrentPhase() == TSession::Phase::Online;
        for (const char* name : {"SpeedButton1", "SpeedButton2", "UploadSelectedFiles1", "DownloadSelectedFiles1"})
            SetCommandEnabled(QLatin1String(name), ready);
    };
    connect(session_, &TSession::BusyChanged, this, updateTransferCommands);
    connect(session_, &TSession::SessionControlsChanged, this, updateTransferCommands);
    connect(session_, &TSession::SiteListShownChanged, this, updateTransferCommands);
    connect(session_, &TSession::ListingShown, this, updateTransferCommands);  // logged in

    connect(session_, &TSession::TransferFileStarted, this, &T_Main::TransferFileStarted);
    connect(session_, &TSession::TransferProgress, this, &T_Main::TransferProgressed);
    connect(session_, &TSession::TransferFileEnded, this, [this] {
        if (TProgress* w = ProgressWindow()) {
            w->setProgress(lastProgress_);
            w->EndFile();
        }
    });
    connect(session_, &TSession::TransferBatchEnded, this, [] { CloseProgress(); });
    connect(session_, &TSession::LocalRefreshWanted, this, [this] { SetLocalDir(localDir_); });
}

void T_Main::DownloadSelected()
{
    if (!siteListShown_)
        session_->StartDownload(SelectedRemoteRows());
}

void T_Main::UploadSelected()
{
    QModelIndexList picked = lvLoc->selectionModel()->selectedRows();
    std::sort(picked.begin(), picked.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QList<int> rows;
    for (const QModelIndex& i : picked)
        rows << localSort_->mapToSource(i).row();
    UploadRows(rows);
}

void T_Main::UploadRows(const QList<int>& rows)
{
    if (siteListShown_)
        return;
    QStringList names;
    for (int r : rows)
        if (r >= 0 && r < locModel_->rowCount())
            names << locModel_->Name(r);
    session_->StartUpload(names);
}

void T_Main::TransferFileStarted(const QString& name, bool sending, qint64 step, qint64 size)
{
    TProgress* w = ProgressWindow();
    if (!w)
        w = ShowProgress(this, [session = QPointer<TSession>(session_)] {
            if (session)
                session->StopTransfer();
        });
    w->StartFile(name, sending, step, size);
    lastProgress_ = 0;
    progressShown_.start();
}

// The client reports every block; the window redraws at most every
// kProgressIntervalMs, so a fast transfer never floods the event loop.
void T_Main::TransferProgressed(int units)
{
    lastProgress_ = units;
    TProgress* w = ProgressWindow();
    if (!w || (progressShown_.isValid() && progressShown_.elapsed() < kProgressIntervalMs))
        return;
    w->setProgress(units);
    progressShown_.start();
}
