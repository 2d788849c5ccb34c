// T_Main's list commands on both file lists: Select (all, unselect by mask,
// select by mask, invert), Ctrl+A, Filter, Sorting, View style, the local
// Change Case menu, and the local list's popup menu. Menu items carry their
// command in their data (the tag): positive for the local list, negative for
// the remote one.
#include "ui/T_Main.h"

#include "i18n/MainMessages.h"
#include "i18n/MsgLanguage.h"
#include "listing/FileMask.h"
#include "listing/ListSortProxy.h"
#include "session/Session.h"
#include "session/UserInterface.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMenu>
#include <QTreeView>

#include <functional>

namespace {

// Hands Ctrl+A on a list to the window (the view would select on its own).
class SelectAllKey final : public QObject {
public:
    SelectAllKey(QObject* parent, std::function<void(QObject*)> onKey) : QObject(parent), onKey_(std::move(onKey)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->matches(QKeySequence::SelectAll)) {
            onKey_(watched);
            return true;
        }
        return false;
    }

private:
    std::function<void(QObject*)> onKey_;
};

// The rows of a list whose names match a mask, as one selection.
QItemSelection matchingRows(const QAbstractItemModel* m, const QString& mask)
{
    const FileMask filter(mask);
    const int last = m->columnCount() - 1;
    QItemSelection sel;
    int runStart = -1;
    const int rows = m->rowCount();
    for (int r = 0; r <= rows; ++r) {
        const bool match = r < rows && filter.Matches(m->index(r, 0).data().toString());
        if (match && runStart < 0)
            runStart = r;
        if (!match && runStart >= 0) {
            sel.select(m->index(runStart, 0), m->index(r - 1, last));
            runStart = -1;
        }
    }
    return sel;
}

} // namespace

void T_Main::BuildListMenus()
{
    auto* local = findChild<QMenu*>(QStringLiteral("Localcomputer1"));
    auto* ftp = findChild<QMenu*>(QStringLiteral("FTPServer1"));
    // The items go before the menus' Refresh (local) and Font (remote).
    QAction* localAt = findChild<QAction*>(QStringLiteral("Refresh1"));
    QAction* ftpAt = findChild<QAction*>(QStringLiteral("Font2"));

    const auto submenu = [this](const char* name, const QString& title, QMenu* into, QAction* before) {
        auto* m = new QMenu(title, this);
        m->setObjectName(QLatin1String(name));
        into->insertMenu(before, m);
        return m;
    };
    const auto item = [this](QMenu* m, const char* name, const QString& text, int tag) {
        QAction* a = action(name, text, m);
        a->setData(tag);
        return a;
    };

    // Select: the tag's sign picks the list, its size the command.
    struct Names { const char *menu, *all, *unselect, *mask, *invert; };
    for (const auto& [sign, at, into, n] :
         {std::tuple{1, localAt, local, Names{"Select1", "SelectAll1", "Unselect1", "Mask1", "Invert1"}},
          std::tuple{-1, ftpAt, ftp, Names{"Select2", "SelectAll2", "Unselect2", "Mask2", "Invert2"}}}) {
        QMenu* m = submenu(n.menu, tr("Select"), into, at);
        for (QAction* a : {item(m, n.all, tr("Select All"), sign * 1), item(m, n.unselect, tr("Unselect"), sign * 2),
                           item(m, n.mask, tr("Mask"), sign * 3), item(m, n.invert, tr("Invert"), sign * 4)})
            connect(a, &QAction::triggered, this, [this, a] { All1Click(a->data().toInt()); });
    }

    QAction* filterLocal = new QAction(tr("Filter"), this);
    filterLocal->setObjectName(QStringLiteral("Filter1"));
    local->insertAction(localAt, filterLocal);
    connect(filterLocal, &QAction::triggered, this, &T_Main::Filter1Click);
    QAction* filterRemote = new QAction(tr("Filter"), this);
    filterRemote->setObjectName(QStringLiteral("Filter4"));
    ftp->insertAction(ftpAt, filterRemote);
    connect(filterRemote, &QAction::triggered, this, &T_Main::Filter4Click);
    connectedCommands_ << QStringLiteral("Filter4");

    // Change Case: the local one renames here; the remote one is the
    // session's (its actions are connected there).
    QMenu* caseLocal = submenu("ChangeCase1", tr("Change Case"), local, localAt);
    for (QAction* a : {item(caseLocal, "LargeCase1", tr("UPPER CASE"), 0), item(caseLocal, "lowercase1", tr("lower case"), 1),
                       item(caseLocal, "Assentence1", tr("As sentence"), 2)})
        connect(a, &QAction::triggered, this, [this, a] { LargeCase1Click(a->data().toInt()); });
    QMenu* caseRemote = submenu("ChangeCase2", tr("Change Case"), ftp, ftpAt);
    item(caseRemote, "LARGECASE3", tr("UPPER CASE"), 0);
    item(caseRemote, "lowercase3", tr("lower case"), 1);
    item(caseRemote, "Assentence3", tr("As sentence"), 2);

    // Sorting: tags 1 to 3 act as a click on column tag - 1.
    for (const bool remote : {false, true}) {
        QMenu* m = remote ? submenu("Sorting2", tr("Sorting"), ftp, ftpAt) : submenu("Sorting1", tr("Sorting"), local, localAt);
        const QStringList names = remote ? QStringList{"Byname6", "Bysize6", "Bydate6", "Byextension6"}
                                         : QStringList{"Byname4", "Bysize4", "Bydate4", "Byextension4"};
        const QStringList texts{tr("By name"), tr("By size"), tr("By date"), tr("By extension")};
        for (int tag = 1; tag <= 4; ++tag) {
            QAction* a = item(m, names[tag - 1].toLatin1().constData(), texts[tag - 1], tag);
            if (tag == 4) {
                a->setVisible(false);  // names have no extension order of their own
                continue;
            }
            connect(a, &QAction::triggered, this, [this, a, remote] {
                if (!remote)
                    localSort_->ColumnClick(a->data().toInt() - 1);
                else if (!siteListShown_)
                    remoteSort_->ColumnClick(a->data().toInt() - 1);
            });
        }
    }

    // View: 0 large icons, 1 small icons, 2 list, 3 details.
    for (const bool remote : {false, true}) {
        QMenu* m = remote ? submenu("View2", tr("View"), ftp, ftpAt) : submenu("MenuItem11", tr("View"), local, localAt);
        const QStringList names = remote ? QStringList{"LargeIcons1", "SmallIcons1", "List1", "Details1"}
                                         : QStringList{"LargeIcons2", "SmallIcons2", "List2", "Details2"};
        const QStringList texts{tr("Large icons"), tr("Small icons"), tr("List"), tr("Details")};
        for (int tag = 0; tag < 4; ++tag) {
            QAction* a = item(m, names[tag].toLatin1().constData(), texts[tag], tag);
            connect(a, &QAction::triggered, this,
                    [this, a, remote] { SetViewStyle(remote ? FTPView : lvLoc, a->data().toInt()); });
        }
    }

    auto* keys = new SelectAllKey(this, [this](QObject* list) {
        if (list == lvLoc)
            All1Click(1);
        else if (list == FTPView && !siteListShown_)
            All1Click(-1);
    });
    lvLoc->installEventFilter(keys);
    FTPView->installEventFilter(keys);

    // The local popup: the pane's commands and the submenus above.
    auto* run = new QAction(tr("Run Application"), this);
    run->setObjectName(QStringLiteral("RunApplication1"));
    connect(run, &QAction::triggered, this, &T_Main::sbRunClick);
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    for (const char* name : {"UploadSelectedFiles1", "Viewfile2"})
        PopupMenu1->addAction(findChild<QAction*>(QLatin1String(name)));
    PopupMenu1->addAction(run);
    for (const char* name : {"MakeDirectory1", "Rename1", "Delete1"})
        PopupMenu1->addAction(findChild<QAction*>(QLatin1String(name)));
    PopupMenu1->addSeparator();
    PopupMenu1->addMenu(findChild<QMenu*>(QStringLiteral("Select1")));
    PopupMenu1->addAction(filterLocal);
    PopupMenu1->addMenu(caseLocal);
    PopupMenu1->addMenu(findChild<QMenu*>(QStringLiteral("Sorting1")));
    PopupMenu1->addMenu(findChild<QMenu*>(QStringLiteral("MenuItem11")));
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(localAt);
    lvLoc->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvLoc, &QWidget::customContextMenuRequested, this, &T_Main::ShowLocalPopup);
}

void T_Main::ShowLocalPopup(const QPoint& at)
{
    // Line-ending conversion joins the popup once its command exists.
    if (auto* n9 = findChild<QAction*>(QStringLiteral("N9")); n9 && !PopupMenu1->actions().contains(n9))
        PopupMenu1->insertAction(findChild<QMenu*>(QStringLiteral("Select1"))->menuAction(), n9);
    PopupMenu1->popup(lvLoc->viewport()->mapToGlobal(at));
}

void T_Main::All1Click(int tag)
{
    const bool remote = tag < 0;
    QTreeView* list = remote ? FTPView : lvLoc;
    QAbstractItemModel* m = list->model();
    QItemSelectionModel* sel = list->selectionModel();
    const int rows = m->rowCount();
    const QItemSelection all =
        rows > 0 ? QItemSelection(m->index(0, 0), m->index(rows - 1, m->columnCount() - 1)) : QItemSelection();
    QString& mask = remote ? RemoteSelectMask : LocalSelectMask;
    const QString side = msl->Text(remote ? mainmsg::Ftp : mainmsg::Local);
    // Each command is one change of the selection model: one signal, one
    // summary, whatever the number of rows.
    switch (std::abs(tag)) {
    case 1:
        sel->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        break;
    case 2:
    case 3: {
        const bool unselect = std::abs(tag) == 2;
        const QString caption = unselect ? side + ' ' + msl->Text(mainmsg::Filter) : side + msl->Text(mainmsg::Filter);
        QString text = mask;
        if (!userInterface()->InputLine(caption, msl->Text(mainmsg::Mask), text))
            break;
        mask = text;
        sel->select(matchingRows(m, mask), (unselect ? QItemSelectionModel::Deselect : QItemSelectionModel::Select)
                                               | QItemSelectionModel::Rows);
        break;
    }
    case 4:
        sel->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
        break;
    }
    list->setFocus();
}

void T_Main::Filter1Click()
{
    QString text = LocalFilterMask;
    if (!userInterface()->InputLine(msl->Text(mainmsg::Local) + ' ' + msl->Text(mainmsg::Filter),
                                    msl->Text(mainmsg::Mask), text))
        return;
    LocalFilterMask = text;
    dlbxChange();
}

void T_Main::Filter4Click()
{
    if (siteListShown_)
        return;
    QString text = RemoteFilterMask;
    if (!userInterface()->InputLine(msl->Text(mainmsg::Ftp) + ' ' + msl->Text(mainmsg::Filter),
                                    msl->Text(mainmsg::Mask), text))
        return;
    RemoteFilterMask = text;
    session_->SetRemoteMask(text);
}

void T_Main::SetViewStyle(QTreeView* list, int style)
{
    // Details: the header and every column; the others show names only,
    // with large (32 px) or small (16 px) icons.
    const bool details = style == 3;
    for (int c = 1; c < list->model()->columnCount(); ++c)
        list->setColumnHidden(c, !details);
    list->setHeaderHidden(!details);
    const int icon = style == 0 ? 32 : 16;
    list->setIconSize(QSize(icon, icon));
    list->setProperty("viewStyle", style);
}
