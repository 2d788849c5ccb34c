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
#include <QLabel>
#include <QTreeView>

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
    // One change of each list's selection, made silently: the views repaint
    // and the two summaries are worked out once from the rows known here,
    // however many rows change.
    ReplaceSelection(*lvLoc->selectionModel(), DifferingRows(*localSort_, localSort_, d.local));
    ReplaceSelection(*FTPView->selectionModel(), DifferingRows(*remoteSort_, remoteSort_, d.remote));
    lvLoc->viewport()->update();
    FTPView->viewport()->update();
    ShowLocalSelection(MarkedRows(d.local));
    session_->RemoteSelectionChanged(MarkedRows(d.remote));
}
