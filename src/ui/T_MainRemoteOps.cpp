// T_Main: the right pane's file operations and its popup menu. The window
// only says which rows are meant; the session engine asks, checks and runs
// the commands (on site folders while the site list shows).
#include "ui/T_Main.h"

#include "listing/ListSortProxy.h"
#include "session/NameCase.h"
#include "session/Session.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

void T_Main::ConnectRemoteFileOps()
{
    // "Delete" joins the FTP - Server menu beside Rename.
    if (auto* serverMenu = findChild<QMenu*>(QStringLiteral("FTPServer1"))) {
        auto* del = new QAction(tr("Delete"), this);
        del->setObjectName(QStringLiteral("Delete2"));
        serverMenu->insertAction(findChild<QAction*>(QStringLiteral("CompareDirectories1")), del);
    }
    auto onCommand = [this](const char* name, auto slot) {
        if (auto* b = findChild<QToolButton*>(QLatin1String(name)))
            connect(b, &QToolButton::clicked, this, slot);
        else if (auto* a = findChild<QAction*>(QLatin1String(name)))
            connect(a, &QAction::triggered, this, slot);
    };
    for (const char* name : {"sbMkd2", "Makedirectory2"})
        onCommand(name, [this] { session_->MakeDirectory(); });
    for (const char* name : {"sbRen2", "Rename2"})
        onCommand(name, [this] { session_->RenameItem(CurrentRemoteRow()); });
    for (const char* name : {"sbDel2", "Delete2"})
        onCommand(name, [this] { session_->DeleteItems(SelectedRemoteRows()); });
    // The Change Case items carry their mode as data.
    for (const char* name : {"LARGECASE3", "lowercase3", "Assentence3"}) {
        if (auto* a = findChild<QAction*>(QLatin1String(name)))
            connect(a, &QAction::triggered, this,
                    [this, a] { session_->ChangeCase(a->data().toInt(), SelectedRemoteRows()); });
    }
    FTPView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FTPView, &QWidget::customContextMenuRequested, this, &T_Main::ShowRemotePopup);
}

QList<int> T_Main::SelectedRemoteRows() const
{
    if (siteListShown_ || !FTPView->selectionModel())
        return {};
    QModelIndexList shown = FTPView->selectionModel()->selectedRows();
    std::sort(shown.begin(), shown.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QList<int> rows;
    for (const QModelIndex& i : shown)
        rows << remoteSort_->mapToSource(i).row();
    return rows;
}

int T_Main::CurrentRemoteRow() const
{
    if (siteListShown_ || !FTPView->selectionModel())
        return -1;
    const QModelIndex current = FTPView->currentIndex();
    if (current.isValid() && FTPView->selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return remoteSort_->mapToSource(current).row();
    const QList<int> rows = SelectedRemoteRows();
    return rows.isEmpty() ? -1 : rows.first();
}

void T_Main::ShowRemotePopup(const QPoint& at)
{
    if (!PopupMenu2) {
        // Built once from the window's own actions, so enabling and
        // translation are theirs.
        PopupMenu2 = new QMenu(this);
        PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
        auto add = [this](const char* name) {
            if (auto* a = findChild<QAction*>(QLatin1String(name)))
                PopupMenu2->addAction(a);
        };
        auto addMenu = [this](const char* name) {
            if (auto* m = findChild<QMenu*>(QLatin1String(name)))
                PopupMenu2->addMenu(m);
        };
        for (const char* name : {"NewServer1", "ServerProperties1", "DownloadSelectedFiles1"})
            add(name);
        PopupMenu2->addSeparator();
        for (const char* name : {"Makedirectory2", "Rename2", "Delete2", "ChangeDirectory1", "Refresh3"})
            add(name);
        PopupMenu2->addSeparator();
        for (const char* name : {"CompareDirectories1", "miSyncDir1", "FileAttributes1"})
            add(name);
        PopupMenu2->addSeparator();
        for (const char* name : {"Select2", "ChangeCase2", "Sorting2", "View2"})
            addMenu(name);
        add("Filter4");
    }
    PopupMenu2->popup(FTPView->viewport()->mapToGlobal(at));
}
