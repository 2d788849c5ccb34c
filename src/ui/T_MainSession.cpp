// T_Main and the session engine: the window forwards the session commands
// to the engine and shows what its models and signals say. The right pane
// shows the site list or, while a session is open, the server's directory.
#include "ui/T_Main.h"

#include "listing/ListSortProxy.h"
#include "listing/RemoteListModel.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "ui/RemotePaneColumns.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QIcon>
#include <QStyle>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeView>

namespace {
constexpr int kRemoteColumns = 6;
} // namespace

void T_Main::ConnectSessionSignals()
{
    auto onCommand = [this](const char* name, auto slot) {
        if (auto* b = findChild<QToolButton*>(QLatin1String(name)))
            connect(b, &QToolButton::clicked, this, slot);
        else if (auto* a = findChild<QAction*>(QLatin1String(name)))
            connect(a, &QAction::triggered, this, slot);
    };
    onCommand("sbConnect", [this] { session_->ConnectToSite(); });
    onCommand("Connect1", [this] { session_->ConnectToSite(); });
    onCommand("sbDisConnect", [this] { session_->Disconnect(); });
    onCommand("Disconnect1", [this] { session_->Disconnect(); });
    onCommand("sbStop", [this] { session_->StopTransfer(); });
    onCommand("StopTransfer1", [this] { session_->StopTransfer(); });
    onCommand("ChangeDirectory1", [this] { session_->ChangeDirectory(); });
    onCommand("Refresh3", [this] { session_->Refresh(); });

    connect(session_, &TSession::SessionControlsChanged, this, &T_Main::UpdateSessionControls);
    connect(session_, &TSession::SiteListShownChanged, this, &T_Main::ShowRemotePane);
    connect(session_, &TSession::ListingShown, this, &T_Main::RemoteListingShown);
    connect(session_, &TSession::RemotePathChanged, this, [this] {
        const QSignalBlocker block(FTPPath);
        if (!siteListShown_)
            FTPPath->setCurrentIndex(session_->RemotePathIndex());
    });
    connect(session_, &TSession::BusyChanged, this, [this](bool busy) { FTPPath->setEnabled(!busy); });
    // The TLS mark follows the control connection: shown once a session over
    // TLS is open, gone with the session. Its accessible name is its
    // (translated) tool tip, so a screen reader says what "TLS" means.
    if (auto* tls = findChild<QLabel*>(QStringLiteral("lTls"))) {
        auto showTls = [this, tls] {
            const TWSocket* control = session_->Ftp1().ControlSocket();
            tls->setAccessibleName(tls->toolTip());
            tls->setVisible(!siteListShown_ && control && control->TlsEstablished());
        };
        connect(session_, &TSession::SessionControlsChanged, tls, showTls);
        connect(session_, &TSession::SiteListShownChanged, tls, showTls);
        connect(session_, &TSession::ListingShown, tls, showTls);
    }
    connect(session_, &TSession::InfoLineChanged, pnlFtpInfo, &QLabel::setText);
    connect(session_, &TSession::InfoLineVisibleChanged, pnlFtpInfo, &QWidget::setVisible);
    connect(session_, &TSession::LocalDirWanted, this, [this](const QString& dir) { SetLocalDir(dir); });
    // Connect (or a double click) with no site selected: the new-site dialog;
    // a site saved there is selected, and the connection goes on with it.
    connect(session_, &TSession::NewSiteWanted, this, &T_Main::NewServer);
    onCommand("sbNewServer", [this] { NewServer(); });
    onCommand("NewServer1", [this] { NewServer(); });
    onCommand("sbProperties", [this] { ServerProperties(); });
    onCommand("ServerProperties1", [this] { ServerProperties(); });

    // Rows of the server directory carry the same icons as the local list.
    const QIcon up = QIcon::fromTheme(QStringLiteral("go-up"), style()->standardIcon(QStyle::SP_FileDialogToParent));
    session_->RemoteModel()->SetImageDecorations(
        {up, style()->standardIcon(QStyle::SP_DirIcon), style()->standardIcon(QStyle::SP_FileIcon)});

    // Header clicks change the sort key of the list's proxy.
    FTPView->header()->setSectionsClickable(true);
    connect(FTPView->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (!siteListShown_)
            remoteSort_->ColumnClick(column);
    });
    connect(lvLoc->header(), &QHeaderView::sectionClicked, localSort_, &TListSortProxy::ColumnClick);
}

void T_Main::ShowRemotePane(bool siteList)
{
    siteListShown_ = siteList;
    QAbstractItemModel* next = siteList ? static_cast<QAbstractItemModel*>(siteColumns_) : remoteSort_;
    if (FTPView->model() != next) {
        // The column titles (perhaps translated) go over to the other model.
        if (QAbstractItemModel* current = FTPView->model())
            for (int c = 0; c < kRemoteColumns; ++c)
                next->setHeaderData(c, Qt::Horizontal, current->headerData(c, Qt::Horizontal), Qt::DisplayRole);
        QItemSelectionModel* old = FTPView->selectionModel();
        FTPView->setModel(next);
        if (siteList)
            siteColumns_->LinkSelections(FTPView->selectionModel(), siteList_->SelectionModel());
        else
            connect(FTPView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                    &T_Main::RemoteSelectionChanged);
        delete old;
    }
    // The site list shows names only; a server directory all its columns.
    FTPView->setHeaderHidden(siteList);
    const QSignalBlocker block(FTPPath);
    FTPPath->setModel(siteList ? siteList_->PathModel() : session_->RemotePathModel());
    FTPPath->setCurrentIndex(siteList ? siteList_->PathIndex() : session_->RemotePathIndex());
    FTPPath->setEnabled(true);
}

void T_Main::RemoteListingShown()
{
    if (siteListShown_)
        return;
    {
        const QSignalBlocker block(FTPPath);
        FTPPath->setCurrentIndex(session_->RemotePathIndex());
    }
    FTPPath->setEnabled(!session_->Busy());
    TRemoteListModel* model = session_->RemoteModel();
    // The name column fits the widest name (the whole list for names only).
    const int width = model->ViewKind() == 1
                          ? FTPView->viewport()->width() - 14
                          : FTPView->fontMetrics().horizontalAdvance(model->WidestCaption()) + 30
                                + FTPView->style()->pixelMetric(QStyle::PM_SmallIconSize);
    FTPView->header()->resizeSection(0, qMax(width, 30));
    const int first = model->FirstFileRow();
    if (first >= 0) {
        const QModelIndex at = remoteSort_->mapFromSource(model->index(first, 0));
        FTPView->selectionModel()->select(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        FTPView->setCurrentIndex(at);
    }
}

void T_Main::RemoteSelectionChanged()
{
    if (siteListShown_)
        return;
    QList<int> rows;
    for (const QModelIndex& i : FTPView->selectionModel()->selectedRows())
        rows << remoteSort_->mapToSource(i).row();
    session_->RemoteSelectionChanged(rows);
}

void T_Main::FTPViewDblClick()
{
    if (siteListShown_) {
        session_->SiteListDoubleClick();
        return;
    }
    const QModelIndex current = FTPView->currentIndex();
    if (current.isValid())
        session_->RemoteDoubleClick(remoteSort_->mapToSource(current).row());
}
