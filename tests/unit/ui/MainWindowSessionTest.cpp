// A user's session from the window against real servers: choose the saved
// site, connect, open a folder by double click, go up, use the path box,
// refresh and disconnect, watching the right pane, the path box, the
// controls and the log the way the user sees them.
#include "MainWindowServerFixture.h"

#include "listing/ListSortProxy.h"
#include "session/SiteList.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QProcess>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QTreeView>

namespace {

enum class Kind { PyftpdlibPassive, VsftpdActive };

class MainWindowSessionTest : public MainWindowServerTest, public ::testing::WithParamInterface<Kind> {
protected:

    bool startServer()
    {
        QString error;
        const bool ok = GetParam() == Kind::PyftpdlibPassive ? server.startPyftpdlib(&error) : server.startVsftpd(&error);
        if (!ok)
            ADD_FAILURE() << error.toStdString();
        return ok;
    }

    // The site of the started server, plain FTP (the dialogue these tests
    // read has no AUTH TLS), passive for pyftpdlib and active for vsftpd.
    void writeSite()
    {
        MainWindowServerTest::writeSite(QStringLiteral("Test server"), 0, GetParam() == Kind::PyftpdlibPassive);
    }

    QTreeView* view() const { return find<QTreeView>("FTPView"); }
    QComboBox* pathBox() const { return find<QComboBox>("FTPPath"); }

    QStringList rowNames() const { return names(view()); }
    QStringList pathItems() const
    {
        QStringList items;
        for (int i = 0; i < pathBox()->count(); ++i)
            items << pathBox()->itemText(i);
        return items;
    }
    void doubleClick(const QString& name)
    {
        const int row = int(rowNames().indexOf(name));
        ASSERT_GE(row, 0) << name.toStdString();
        const QModelIndex idx = view()->model()->index(row, 0);
        view()->setCurrentIndex(idx);
        emit view()->doubleClicked(idx);
    }
};

TEST_P(MainWindowSessionTest, ConnectBrowseAndDisconnect)
{
    if (!startServer())
        return;
    const QString data = server.dataDir();
    ASSERT_TRUE(QDir(data).mkpath(QStringLiteral("docs/inner")));
    QFile(data + "/docs/readme.txt").open(QIODevice::WriteOnly);
    QFile big(data + "/big file.bin");
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(1048576, 'x'));
    big.close();
    writeSite();
    start();
    ASSERT_TRUE(window->SiteListShown());
    TSiteList* sites = window->SiteList();
    sites->SelectRow(sites->FindCaption(QStringLiteral("Test server")));
    find<QToolButton>("sbConnect")->click();

    ASSERT_TRUE(idle()) << find<QPlainTextEdit>("Log")->toPlainText().toStdString();
    EXPECT_FALSE(window->SiteListShown());
    EXPECT_FALSE(view()->isHeaderHidden());
    EXPECT_TRUE(rowNames().contains("docs"));
    EXPECT_TRUE(rowNames().contains("big file.bin"));
    // Directories come before files.
    EXPECT_LT(rowNames().indexOf("docs"), rowNames().indexOf("big file.bin"));
    EXPECT_EQ(pathItems().value(1), "127.0.0.1");
    EXPECT_FALSE(find<QToolButton>("sbConnect")->isEnabled());
    EXPECT_TRUE(find<QToolButton>("sbDisConnect")->isEnabled());
    const QStringList home = pathItems();

    doubleClick("docs");
    ASSERT_TRUE(testenv::waitFor([&] { return pathItems().endsWith("docs"); }, 10000))
        << find<QPlainTextEdit>("Log")->toPlainText().toStdString();
    ASSERT_TRUE(idle());
    EXPECT_EQ(rowNames(), QStringList({"inner", "readme.txt"}));
    EXPECT_EQ(pathBox()->currentIndex(), pathBox()->count() - 1);

    doubleClick("inner");
    ASSERT_TRUE(testenv::waitFor([&] { return pathItems().endsWith("inner"); }, 10000));
    ASSERT_TRUE(idle());

    find<QToolButton>("FTPOneLevelUp")->click();
    ASSERT_TRUE(testenv::waitFor([&] { return pathItems().endsWith("docs"); }, 10000));
    ASSERT_TRUE(idle());

    // The path box back to the login directory.
    emit pathBox()->activated(int(home.size()) - 1);
    ASSERT_TRUE(testenv::waitFor([&] { return pathItems() == home; }, 10000));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(rowNames().contains("docs"));

    // Refresh shows a file that appeared meanwhile.
    QFile(data + "/new.txt").open(QIODevice::WriteOnly);
    find<QAction>("Refresh3")->trigger();
    ASSERT_TRUE(testenv::waitFor([&] { return rowNames().contains("new.txt"); }, 10000));

    find<QToolButton>("sbDisConnect")->click();
    ASSERT_TRUE(testenv::waitFor([&] { return window->SiteListShown(); }, 10000));
    EXPECT_TRUE(rowNames().contains("Test server"));
    EXPECT_TRUE(find<QToolButton>("sbConnect")->isEnabled());
    const QString log = find<QPlainTextEdit>("Log")->toPlainText();
    if (server.user() != QLatin1String("anonymous")) {
        // (vsftpd's anonymous login needs no PASS at all.)
        EXPECT_TRUE(log.contains("> PASS (hidden)"));
        EXPECT_FALSE(log.contains(server.password())) << log.toStdString();
    }
    EXPECT_TRUE(log.contains("Connection closed"));
}

TEST_P(MainWindowSessionTest, MakeRenameAndDeleteFromTheRightPane)
{
    if (!startServer())
        return;
    const QString data = server.dataDir();
    ASSERT_TRUE(QDir(data).mkpath(QStringLiteral("old/inner")));
    QFile(data + "/old/inner/f.txt").open(QIODevice::WriteOnly);
    QProcess::execute("chmod", {"-R", "a+rwX", data + "/old"});
    writeSite();
    start();
    // While the site list shows, the same buttons act on site folders.
    ui.inputs = {"Clients"};
    find<QToolButton>("sbMkd2")->click();
    EXPECT_TRUE(rowNames().contains("Clients"));
    EXPECT_TRUE(QDir(dir.filePath("Clients")).exists());
    window->SiteList()->SelectRow(window->SiteList()->FindCaption(QStringLiteral("Clients")));
    ui.inputs = {"Customers"};
    find<QToolButton>("sbRen2")->click();
    EXPECT_TRUE(rowNames().contains("Customers"));
    EXPECT_TRUE(QDir(dir.filePath("Customers")).exists());

    // The server list's commands that need a server directory wait for one.
    for (const char* name : {"Select2", "ChangeCase2", "Sorting2", "Filter4"})
        EXPECT_FALSE(window->findChild<QObject*>(QLatin1String(name))->property("enabled").toBool()) << name;
    TSiteList* sites = window->SiteList();
    sites->SelectRow(sites->FindCaption(QStringLiteral("Test server")));
    find<QToolButton>("sbConnect")->click();
    ASSERT_TRUE(idle()) << find<QPlainTextEdit>("Log")->toPlainText().toStdString();
    for (const char* name : {"Select2", "ChangeCase2", "Sorting2", "Filter4"})
        EXPECT_TRUE(window->findChild<QObject*>(QLatin1String(name))->property("enabled").toBool()) << name;

    ui.inputs = {"made"};
    find<QToolButton>("sbMkd2")->click();
    ASSERT_TRUE(testenv::waitFor([&] { return rowNames().contains("made"); }, 10000));
    ASSERT_TRUE(idle());

    auto select = [&](const QStringList& names) {
        QItemSelection selection;
        for (const QString& name : names) {
            const QModelIndex at = view()->model()->index(int(rowNames().indexOf(name)), 0);
            selection.select(at, at);
        }
        view()->selectionModel()->setCurrentIndex(view()->model()->index(int(rowNames().indexOf(names.first())), 0),
                                                  QItemSelectionModel::NoUpdate);
        view()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    };
    select({"old"});
    ui.inputs = {"renamed"};
    find<QToolButton>("sbRen2")->click();
    ASSERT_TRUE(testenv::waitFor([&] { return rowNames().contains("renamed"); }, 10000));
    ASSERT_TRUE(idle());

    // Change Case from the FTP - Server menu.
    select({"renamed"});
    find<QAction>("LARGECASE3")->trigger();
    ASSERT_TRUE(testenv::waitFor([&] { return rowNames().contains("RENAMED"); }, 10000));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(QFileInfo(data + "/RENAMED").isDir());

    select({"made", "RENAMED"});
    ui.answer = mb::IdYes;
    find<QToolButton>("sbDel2")->click();
    ASSERT_TRUE(testenv::waitFor([&] { return !rowNames().contains("RENAMED") && !rowNames().contains("made"); }, 15000))
        << find<QPlainTextEdit>("Log")->toPlainText().toStdString();
    EXPECT_FALSE(QFileInfo::exists(data + "/RENAMED"));
    EXPECT_FALSE(QFileInfo::exists(data + "/made"));
    EXPECT_EQ(ui.asked.last().text, "Do you wish to remove");
}

INSTANTIATE_TEST_SUITE_P(RealServers, MainWindowSessionTest,
                         ::testing::Values(Kind::PyftpdlibPassive, Kind::VsftpdActive),
                         [](const auto& info) {
                             return info.param == Kind::PyftpdlibPassive ? std::string("PyftpdlibPassive")
                                                                         : std::string("VsftpdActive");
                         });

} // namespace
