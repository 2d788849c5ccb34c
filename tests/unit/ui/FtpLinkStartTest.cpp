// "varnoth ftp://..." as the desktop's link handler starts it: the window
// gets the program's arguments through the entry point main() uses, asks for
// a missing password in the real masked dialog, and shows the link's
// directory from a real pyftpdlib server.
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"

#include "FtpServers.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "sites/SiteLine.h"
#include "ui/FtpLinkStart.h"
#include "ui/GuiUserInterface.h"
#include "ui/TInputForm.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QDir>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

namespace {

class FtpLinkStartTest : public MainWindowTest {
protected:
    testftp::FtpServer server;

    void SetUp() override
    {
        MainWindowTest::SetUp();
        QString error;
        ASSERT_TRUE(server.startPyftpdlib(&error)) << error.toStdString();
        ASSERT_TRUE(QDir().mkpath(server.dataDir() + QStringLiteral("/dir/sub")));
        // "a-first.txt" sorts first: the window's own choice of a row.
        for (const char* name : {"/dir/inside.txt", "/dir/a-first.txt"}) {
            QFile f(server.dataDir() + QLatin1String(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("x");
        }
    }
    QString link(const QString& login, const QString& path) const
    {
        return QStringLiteral("ftp://%1%2:%3%4").arg(login, QStringLiteral("127.0.0.1"), QString::number(server.port()), path);
    }
    QStringList rowNames() const
    {
        QAbstractItemModel* model = find<QTreeView>("FTPView")->model();
        QStringList names;
        for (int r = 0; r < model->rowCount(); ++r)
            names << model->index(r, 0).data().toString();
        return names;
    }
    QString pathShown() const { return find<QComboBox>("FTPPath")->currentText(); }
    bool listed(const QString& name)
    {
        return testenv::waitFor([&] { return !window->SiteListShown() && rowNames().contains(name); }, 15000);
    }
};

TEST_F(FtpLinkStartTest, ALinkWithoutAPasswordAsksForItMaskedAndListsTheDirectory)
{
    start();
    GuiUserInterface gui;  // the real password dialog
    setUserInterface(&gui);
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    ModalAnswerer<TInputForm> answer([&](TInputForm* form) {
        echo = form->Input->echoMode();
        form->Input->setText(server.password());
        form->Button1->click();
    });

    EXPECT_TRUE(OpenLinkArguments(*window, {QStringLiteral("--verbose"), link(QStringLiteral("alice@"), QStringLiteral("/dir"))}));
    ASSERT_TRUE(listed(QStringLiteral("inside.txt"))) << rowNames().join(',').toStdString();
    setUserInterface(&ui);
    EXPECT_EQ(answer.shown, 1);
    EXPECT_EQ(echo, QLineEdit::Password);
    EXPECT_TRUE(rowNames().contains(QStringLiteral("sub")));
    EXPECT_TRUE(pathShown().contains(QStringLiteral("dir"))) << pathShown().toStdString();
}

TEST_F(FtpLinkStartTest, ALinkToAFileOpensItsFolderWithTheFileSelected)
{
    start();
    ASSERT_TRUE(OpenFtpLink(*window, link(QStringLiteral("alice:") + server.password() + '@',
                                          QStringLiteral("/dir/inside.txt"))));
    ASSERT_TRUE(listed(QStringLiteral("inside.txt")));
    auto* view = find<QTreeView>("FTPView");
    ASSERT_TRUE(testenv::waitFor([&] { return view->currentIndex().data().toString() == QStringLiteral("inside.txt"); }, 5000));
    const QModelIndexList selected = view->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first().data().toString(), QStringLiteral("inside.txt"));
    EXPECT_TRUE(ui.asked.isEmpty());
}

TEST_F(FtpLinkStartTest, TheSavedSiteOfTheServerAndUserConnectsWithItsPassword)
{
    TFTPServerObj s = CreateSite(TSiteDefaults{});
    s.Name = QStringLiteral("My server");
    s.Server = QStringLiteral("127.0.0.1");
    s.Port = QString::number(server.port());
    s.User = server.user();
    s.Password = server.password();
    s.Pasv = 1;
    QFile f(dir.filePath(QStringLiteral("ftplist.TXT")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(SiteLine(s).toUtf8() + '\n');
    f.close();

    start();
    // No answers scripted: a password question would cancel the connection.
    ASSERT_TRUE(OpenLinkArguments(*window, {link(server.user() + '@', QStringLiteral("/dir/"))}));
    ASSERT_TRUE(listed(QStringLiteral("inside.txt")));
    EXPECT_EQ(window->Session()->CurrentSite().Name, QStringLiteral("My server"));
}

TEST_F(FtpLinkStartTest, ABadLinkIsNamedInAMessageAndTheWindowStaysOnItsSites)
{
    start();
    EXPECT_FALSE(OpenLinkArguments(*window, {QStringLiteral("http://127.0.0.1/dir")}));
    EXPECT_FALSE(OpenLinkArguments(*window, {QStringLiteral("ftp:///dir")}));
    ASSERT_EQ(ui.asked.size(), 2);
    EXPECT_TRUE(ui.asked[0].text.contains(QStringLiteral("http://127.0.0.1/dir")));
    EXPECT_TRUE(ui.asked[1].text.contains(QStringLiteral("names no server")));
    EXPECT_TRUE(window->SiteListShown());
    EXPECT_EQ(window->Session()->CurrentPhase(), TSession::Phase::SiteList);

    // Other arguments are no links: nothing happens, nothing is said.
    EXPECT_FALSE(OpenLinkArguments(*window, {QStringLiteral("-style"), QStringLiteral("/tmp/x.txt")}));
    EXPECT_EQ(ui.asked.size(), 2);

    // The password question cancelled: no connection.
    EXPECT_FALSE(OpenFtpLink(*window, link(QStringLiteral("alice@"), QStringLiteral("/dir"))));
    EXPECT_EQ(window->Session()->CurrentPhase(), TSession::Phase::SiteList);
}

} // namespace
