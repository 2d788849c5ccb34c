// The local pane's "Carriage Return" command.
#include "ui/T_Main.h"

#include "i18n/MsgLanguage.h"
#include "session/LineEndings.h"
#include "ui/T_Carrage.h"

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QTreeView>

#include <algorithm>

void T_Main::N9Click()
{
    QString dir = LocalDir();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');

    // The selected rows in the order the list shows them; column 0 holds the
    // name, Qt::UserRole whether the row is a directory.
    QModelIndexList rows = lvLoc->selectionModel() ? lvLoc->selectionModel()->selectedRows(0) : QModelIndexList();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList files;
    for (const QModelIndex& row : rows)
        if (!row.data(Qt::UserRole).toBool())
            files << dir + row.data(Qt::DisplayRole).toString();
    if (files.isEmpty())
        return;

    TLineEndingTexts texts = TLineEndingTexts::FromMainMessages(msl);
    const int mode = AskLineEnding(this, &texts);
    if (mode <= lineend::NoChange)
        return;
    for (const QString& file : files) {
        ConvertLineEndings(file, mode, &log_, texts);
        QCoreApplication::processEvents(); // the log shows each line as it comes
    }
}
