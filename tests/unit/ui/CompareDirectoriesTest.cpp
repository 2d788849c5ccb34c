// Compare Directories from the window: a local folder against a pyftpdlib
// directory with some equal and some differing files; afterwards the
// differing entries are selected in both lists and nothing went to the server.
#include "MainWindowServerFixture.h"

#include "session/SiteList.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QTreeView>

#include <sys/time.h>

namespace {

void makeFile(const QString& path, int size, const QDateTime& modified)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'x'));
    f.flush();
    ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
}

void makeDir(const QString& path, const QDateTime& modified)
{
    ASSERT_TRUE(QDir().mkdir(path));
    const time_t t = time_t(modified.toSecsSinceEpoch());
    const timeval times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimes(QFile::encodeName(path).constData(), times), 0);
}

// The selected names of a list in name order, joined for readable failures.
std::string selectedNames(QTreeView* list)
{
    QStringList names;
    for (const QModelIndex& i : list->selectionModel()->selectedRows())
        names << i.data().toString();
    names.sort();
    return names.join(QStringLiteral(", ")).toStdString();
}

// The window against pyftpdlib, with the local pane's folder (local) to
// compare against.
using CompareDirectoriesTest = MainWindowServerTest;

} // namespace

TEST_F(CompareDirectoriesTest, SelectsTheDifferingEntriesOfBothListsWithoutServerTraffic)
{
    QString error;
    ASSERT_TRUE(server.startPyftpdlib(&error)) << error.toStdString();
    ASSERT_TRUE(local.isValid());
    // A recent whole minute: the listing shows it with its time of day.
    QDateTime when = QDateTime::currentDateTime().addDays(-1);
    when.setTime(QTime(when.time().hour(), when.time().minute()));
    const QString data = server.dataDir();
    makeFile(data + "/same.txt", 100, when);
    makeFile(local.filePath("same.txt"), 100, when);
    makeFile(data + "/longer.txt", 200, when);
    makeFile(local.filePath("longer.txt"), 201, when);
    makeFile(data + "/older.txt", 50, when.addSecs(-3600));
    makeFile(local.filePath("older.txt"), 50, when);
    makeFile(data + "/remote only.txt", 5, when);
    makeFile(local.filePath("local only.txt"), 5, when);
    makeDir(data + "/shared", when);
    makeDir(local.filePath("shared"), when);
    makeDir(data + "/moved", when);
    makeDir(local.filePath("moved"), when.addDays(-2));
    writeSite(QStringLiteral("Test server"), 0, true);  // plain FTP: no AUTH TLS in the dialogue
    start();

    QAction* compare = find<QAction>("CompareDirectories1");
    ASSERT_NE(compare, nullptr);
    EXPECT_FALSE(compare->isEnabled());  // not connected yet
    TSiteList* sites = window->SiteList();
    sites->SelectRow(sites->FindCaption(QStringLiteral("Test server")));
    find<QToolButton>("sbConnect")->click();
    ASSERT_TRUE(idle()) << find<QPlainTextEdit>("Log")->toPlainText().toStdString();
    ASSERT_TRUE(window->SetLocalDir(local.path()));
    EXPECT_TRUE(compare->isEnabled());

    QTreeView* local = find<QTreeView>("lvLoc");
    QTreeView* remote = find<QTreeView>("FTPView");
    // An equal entry selected beforehand is unselected by the comparison.
    local->selectAll();
    const QString logBefore = find<QPlainTextEdit>("Log")->toPlainText();

    compare->trigger();
    // Directories take part like files: "moved" carries another time.
    EXPECT_EQ(selectedNames(local), "local only.txt, longer.txt, moved, older.txt");
    EXPECT_EQ(selectedNames(remote), "longer.txt, moved, older.txt, remote only.txt");
    // The summaries under the lists count the selected files (not "moved").
    EXPECT_EQ(find<QLabel>("pnlLocInfo")->text(), "256 byte (0 Kb) in 3 file(s)");
    EXPECT_EQ(find<QLabel>("pnlFtpInfo")->text(), "255 byte (0 Kb) in 3 file(s)");
    EXPECT_EQ(find<QPlainTextEdit>("Log")->toPlainText(), logBefore);
    EXPECT_FALSE(window->Session()->RequestInFlight());

    // A second run keeps the same selection.
    compare->trigger();
    EXPECT_EQ(selectedNames(local), "local only.txt, longer.txt, moved, older.txt");
    EXPECT_EQ(selectedNames(remote), "longer.txt, moved, older.txt, remote only.txt");
}
