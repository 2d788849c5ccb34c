// T_Main's local pane: enabling and the selection summary, View and Run
// through the desktop, and the local Make Directory, Rename, Delete and
// Change Case. The file-system work is LocalFileOps' (headless); this file
// asks the questions and shows the outcome.
#include "ui/T_Main.h"

#include "i18n/MainMessages.h"
#include "i18n/MsgLanguage.h"
#include "listing/ListSortProxy.h"
#include "listing/ListingDisplay.h"
#include "listing/LocalListModel.h"
#include "session/LocalFileOps.h"
#include "session/NameCase.h"
#include "session/UserInterface.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMimeDatabase>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <algorithm>

namespace {

// The source rows selected in a list shown through a proxy, in view order.
QList<int> selectedSourceRows(const QTreeView* view, const QSortFilterProxyModel* proxy)
{
    QModelIndexList picked = view->selectionModel()->selectedRows();
    std::sort(picked.begin(), picked.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QList<int> rows;
    rows.reserve(picked.size());
    for (const QModelIndex& i : picked)
        rows << proxy->mapToSource(i).row();
    return rows;
}

// Opens a file in the desktop's text editor: text types with their own
// default application, any other type with the one text/plain opens with.
bool openAsText(const QString& path, QString& why)
{
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(path);
    if (mime.inherits(QStringLiteral("text/plain")) || mime.name() == QLatin1String("application/x-zerosize")) {
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            return true;
        why = QObject::tr("the desktop has no program for %1").arg(mime.name());
        return false;
    }
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
    const bool asked = query.waitForFinished(5000);
    const QString entry = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    const QString desktopFile =
        asked && !entry.isEmpty() ? QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry) : QString();
    if (desktopFile.isEmpty()) {
        why = QObject::tr("no text editor is set for text/plain (xdg-mime)");
        return false;
    }
    if (!QProcess::startDetached(QStringLiteral("gio"), {QStringLiteral("launch"), desktopFile, path})) {
        why = QObject::tr("%1 could not be started").arg(entry);
        return false;
    }
    return true;
}

} // namespace

void T_Main::ConnectLocalPane()
{
    locModel_->SetImageDecorations(
        {QVariant(), style()->standardIcon(QStyle::SP_DirIcon), style()->standardIcon(QStyle::SP_FileIcon)});
    connect(lvLoc->selectionModel(), &QItemSelectionModel::selectionChanged, this, &T_Main::UpdateLocalCommands);
    connect(lvLoc->selectionModel(), &QItemSelectionModel::currentChanged, this, &T_Main::UpdateLocalCommands);
    auto onCommand = [this](const char* name, void (T_Main::*slot)()) {
        if (auto* b = findChild<QToolButton*>(QLatin1String(name)))
            connect(b, &QToolButton::clicked, this, slot);
        else if (auto* a = findChild<QAction*>(QLatin1String(name)))
            connect(a, &QAction::triggered, this, slot);
    };
    onCommand("sbView", &T_Main::Viewfile2Click);
    onCommand("Viewfile2", &T_Main::Viewfile2Click);
    onCommand("sbRun", &T_Main::sbRunClick);
    onCommand("sbMkd1", &T_Main::sbMkd1Click);
    onCommand("MakeDirectory1", &T_Main::sbMkd1Click);
    onCommand("sbRen1", &T_Main::sbRen1Click);
    onCommand("Rename1", &T_Main::sbRen1Click);
    onCommand("sbDel1", &T_Main::sbDel1Click);
    onCommand("Delete1", &T_Main::sbDel1Click);
}

void T_Main::UpdateLocalCommands()
{
    ShowLocalSelection(selectedSourceRows(lvLoc, localSort_));
}

void T_Main::ShowLocalSelection(const QList<int>& rows)
{
    const QModelIndex current = lvLoc->currentIndex();
    const bool currentIsFile = current.isValid() && lvLoc->selectionModel()->isSelected(current)
                               && !locModel_->IsDir(localSort_->mapToSource(current).row());
    for (const char* name : {"sbView", "sbRun", "RunApplication1", "Viewfile2", "Rename1"})
        SetCommandEnabled(QLatin1String(name), currentIsFile);
    SetCommandEnabled(QStringLiteral("sbRen1"), !rows.isEmpty());
    // With nothing selected, Delete removes the tree's directory (not the root).
    const bool deletable = !rows.isEmpty() || localDir_ != QLatin1String("/");
    SetCommandEnabled(QStringLiteral("sbDel1"), deletable);
    SetCommandEnabled(QStringLiteral("Delete1"), deletable);

    qint64 count = 0, total = 0;
    for (int row : rows)
        if (!locModel_->IsDir(row)) {
            ++count;
            total += locModel_->Size(row);
        }
    pnlLocInfo->setText(SelectionSummary(count, total, {msl->Text(mainmsg::Byte), msl->Text(mainmsg::In),
                                                        msl->Text(mainmsg::Files)}));
}

void T_Main::Viewfile2Click()
{
    const QModelIndex current = lvLoc->currentIndex();
    if (!current.isValid())
        return;
    const QString path = locModel_->Path(localSort_->mapToSource(current).row());
    QString why;
    if (!openAsText(path, why))
        Display(tr("Could not open %1 as text: %2").arg(path, why));
}

void T_Main::sbRunClick()
{
    const QModelIndex current = lvLoc->currentIndex();
    if (!current.isValid())
        return;
    const QString path = locModel_->Path(localSort_->mapToSource(current).row());
    const QFileInfo fi(path);
    // A program starts in the pane's directory; anything else opens with the
    // desktop's application for its type.
    if (fi.isFile() && fi.isExecutable()) {
        if (!QProcess::startDetached(path, {}, localDir_))
            Display(tr("Could not run %1: the program did not start").arg(path));
    } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        Display(tr("Could not open %1: the desktop has no application for it").arg(path));
    }
}

void T_Main::sbMkd1Click()
{
    QString name;
    if (!userInterface()->InputLine(msl->Text(mainmsg::CreateDirectory), msl->Text(mainmsg::EnterNewDirName) + ':', name))
        return;
    QString made, error;
    if (!MakeLocalDir(localDir_, name, made, error)) {
        Display(error);
        return;
    }
    SetLocalDir(made);
}

void T_Main::sbRen1Click()
{
    QModelIndex at = lvLoc->currentIndex();
    if (!at.isValid() || !lvLoc->selectionModel()->isSelected(at)) {
        const QModelIndexList picked = lvLoc->selectionModel()->selectedRows();
        if (picked.isEmpty())
            return;
        at = picked.first();
    }
    const QString oldName = locModel_->Name(localSort_->mapToSource(at).row());
    QString text = oldName;
    if (!userInterface()->InputLine(msl->Text(mainmsg::Rename), msl->Text(mainmsg::EnterNewName) + ':', text))
        return;
    const auto confirm = [this](const QString& newName) {
        return userInterface()->ShowMessageBox(msl->Text(mainmsg::FileAlreadyExists) + QStringLiteral(" :") + newName
                                                   + QStringLiteral("\r\n") + msl->Text(mainmsg::Rewrite) + '?',
                                               msl->Text(mainmsg::Attention), mb::YesNo | mb::IconQuestion)
               == mb::IdYes;
    };
    QString error;
    switch (RenameLocal(localDir_, oldName, text, confirm, error)) {
    case LocalRenameResult::Renamed:
        dlbxChange();
        break;
    case LocalRenameResult::Refused:
    case LocalRenameResult::Failed:
        Display(error);
        break;
    default:
        break;
    }
}

void T_Main::sbDel1Click()
{
    QStringList files, dirs;
    for (int row : selectedSourceRows(lvLoc, localSort_))
        (locModel_->IsDir(row) ? dirs : files) << locModel_->Path(row);
    // Nothing selected: the tree's directory itself, the tree going up first.
    const bool treeDir = files.isEmpty() && dirs.isEmpty();
    if (treeDir) {
        if (localDir_ == QLatin1String("/"))
            return;
        dirs << localDir_;
    }
    const LocalDeletePlan plan = CollectLocalDelete(files, dirs);
    const QString question =
        LocalDeleteQuestion(msl->Text(mainmsg::DoYouWishToRemove), msl->Text(mainmsg::Files), msl->Text(mainmsg::And),
                            msl->Text(mainmsg::Folders), plan.files.size(), plan.dirs.size());
    if (userInterface()->ShowMessageBox(question, msl->Text(mainmsg::Attention), mb::YesNo | mb::IconQuestion)
        != mb::IdYes)
        return;
    if (treeDir)
        SetLocalDir(QFileInfo(localDir_).absolutePath());
    for (const QString& failure : ExecuteLocalDelete(plan))
        Display(failure);
    dlbxChange();
}

void T_Main::LargeCase1Click(int mode)
{
    QSet<QString> names;
    for (const QString& n : locModel_->Names())
        names.insert(n);
    QList<std::pair<int, QString>> renamed;
    for (int row : selectedSourceRows(lvLoc, localSort_)) {
        const QString oldName = locModel_->Name(row);
        const QString newName = ChangedCase(oldName, mode);
        QString error;
        switch (ChangeCaseLocal(localDir_, oldName, newName, names, error)) {
        case LocalRenameResult::Renamed:
            names.remove(oldName);
            names.insert(newName);
            renamed.append({row, newName});
            break;
        case LocalRenameResult::Refused:
        case LocalRenameResult::Failed:
            Display(error);
            break;
        default:
            break;
        }
    }
    if (renamed.isEmpty())
        return;
    // Captions change only for the renames that were made.
    locModel_->SetNames(renamed);
    localSort_->SetSortKey(localSort_->SortKey());
}
