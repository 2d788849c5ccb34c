// T_Main: Compare Directories. The two lists are compared by the texts they
// show (session/CompareDirs.h) and the entries without an identical twin on
// the other side become selected, the others unselected. Nothing goes to the
// server.
#include "ui/T_Main.h"

#include "listing/ListSortProxy.h"
#include "listing/LocalListModel.h"
#include "listing/RemoteListModel.h"
#include "session/CompareDirs.h"
#include "session/Session.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QTreeView>

namespace {

// One change of the selection model per list: one selectionChanged, so the
// list's summary and the engine's selection are worked out once, however
// many rows change.
void selectDiffering(QTreeView* list, const QAbstractProxyModel* proxy, const std::vector<bool>& differs)
{
    QItemSelectionModel* sel = list->selectionModel();
    if (!sel)
        return;
    sel->select(DifferingRows(*list->model(), proxy, differs),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace

void T_Main::ConnectCompare()
{
    connect(findChild<QAction*>(QStringLiteral("CompareDirectories1")), &QAction::triggered, this,
            &T_Main::CompareDirectories1Click);
}

void T_Main::CompareDirectories1Click()
{
    // The right pane must show a server directory, not the site list.
    if (siteListShown_ || !session_->RemoteModel())
        return;
    const DirDifferences d = CompareDirectories(*locModel_, *session_->RemoteModel(), FTPOptions.DateType);
    selectDiffering(lvLoc, localSort_, d.local);
    selectDiffering(FTPView, remoteSort_, d.remote);
}
