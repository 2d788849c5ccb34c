// The command library dialog (T_FCmd) and the command bar of the main
// window: the dialog driven through its named controls and keys, the bar
// against a real pyftpdlib server with a real commands.txt.
#include "MainWindowServerFixture.h"

#include "session/CustomCommands.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "ui/T_FCmd.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <functional>

namespace {

// Acts on the dialog once its modal loop runs.
void whenShown(std::function<void(T_FCmd*)> act)
{
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* f = qobject_cast<T_FCmd*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(f);
        }
    });
    poll->start();
}

void press(QWidget* w, int key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &down);
}

QStringList listed(const T_FCmd& d)
{
    QStringList out;
    for (int i = 0; i < d.lbCmd->count(); ++i)
        out << d.lbCmd->item(i)->text();
    return out;
}

} // namespace

TEST(CommandLibraryDialog, EditsGoStraightIntoTheSelectedEntry)
{
    T_FCmd d;
    d.SetEntries({"System", "Idle"}, {"SYST", "SITE IDLE 60"});
    EXPECT_EQ(listed(d), QStringList({"System", "Idle"}));
    // Nothing selected: nothing to edit.
    EXPECT_TRUE(d.eAl->isReadOnly());
    EXPECT_TRUE(d.eCmd->isReadOnly());

    d.lbCmd->setCurrentRow(1);
    EXPECT_FALSE(d.eAl->isReadOnly());
    EXPECT_EQ(d.eAl->text(), "Idle");
    EXPECT_EQ(d.eCmd->text(), "SITE IDLE 60");
    d.eAl->setText("Idle time");
    d.eCmd->setText("SITE IDLE 120");
    EXPECT_EQ(d.Labels(), QStringList({"System", "Idle time"}));
    EXPECT_EQ(d.Commands(), QStringList({"SYST", "SITE IDLE 120"}));
    EXPECT_EQ(listed(d), QStringList({"System", "Idle time"}));

    // Showing another entry changes neither.
    d.lbCmd->setCurrentRow(0);
    EXPECT_EQ(d.eCmd->text(), "SYST");
    EXPECT_EQ(d.Commands(), QStringList({"SYST", "SITE IDLE 120"}));

    d.SpeedButton1->click(); // Add
    EXPECT_EQ(d.lbCmd->currentRow(), 2);
    EXPECT_EQ(d.eAl->text(), QString());
    EXPECT_FALSE(d.eCmd->isReadOnly());
    d.eAl->setText("Where");
    d.eCmd->setText("PWD");
    EXPECT_EQ(d.Labels(), QStringList({"System", "Idle time", "Where"}));
    EXPECT_EQ(d.Commands(), QStringList({"SYST", "SITE IDLE 120", "PWD"}));

    d.lbCmd->setCurrentRow(0);
    d.SpeedButton2->click(); // Remove
    EXPECT_EQ(d.Labels(), QStringList({"Idle time", "Where"}));
    EXPECT_EQ(d.Commands(), QStringList({"SITE IDLE 120", "PWD"}));
    EXPECT_EQ(listed(d), d.Labels());
}

TEST(CommandLibraryDialog, KeysOfTheListAddRemoveAndClose)
{
    T_FCmd d;
    d.SetEntries({"System"}, {"SYST"});
    d.show();
    d.lbCmd->setFocus();
    press(d.lbCmd, Qt::Key_Insert);
    EXPECT_EQ(d.Labels(), QStringList({"System", ""}));
    EXPECT_EQ(d.lbCmd->currentRow(), 1);
    press(d.lbCmd, Qt::Key_Delete);
    EXPECT_EQ(d.Labels(), QStringList({"System"}));
    EXPECT_EQ(d.Commands(), QStringList({"SYST"}));

    struct Case {
        const char* name;
        int row, key, outcome;
        QString chosen;
    };
    const QList<Case> cases = {
        {"Enter with an entry", 0, Qt::Key_Return, T_FCmd::Selected, "SYST"},
        {"Enter in an empty list", -1, Qt::Key_Return, T_FCmd::Closed, ""},
        {"Escape in the list", 0, Qt::Key_Escape, T_FCmd::Closed, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        T_FCmd form;
        // (A list that gets the focus makes its first entry current.)
        if (k.row >= 0)
            form.SetEntries({"System"}, {"SYST"});
        form.lbCmd->setCurrentRow(k.row);
        whenShown([&](T_FCmd* f) { press(f->lbCmd, k.key); });
        EXPECT_EQ(form.exec(), k.outcome);
        EXPECT_EQ(form.ChosenCommand(), k.chosen);
    }
}

TEST(CommandLibraryDialog, EditsAreKeptWhicheverWayItClosesAndOnlySelectReturnsACommand)
{
    TCustomCommands library;
    library.Labels = QStringList({"System", "Idle"});
    library.Commands = QStringList({"SYST", "SITE IDLE 60"});

    whenShown([](T_FCmd* f) {
        f->lbCmd->setCurrentRow(1);
        f->eCmd->setText("SITE IDLE 90");
        f->SpeedButton3->click(); // Close
    });
    EXPECT_EQ(ShowCommands(library), QString());
    EXPECT_EQ(library.Commands, QStringList({"SYST", "SITE IDLE 90"}));

    whenShown([](T_FCmd* f) {
        f->lbCmd->setCurrentRow(0);
        f->SpeedButton4->click(); // Select
    });
    EXPECT_EQ(ShowCommands(library), QString("SYST"));

    // A double click selects; the window manager's close is "Close".
    whenShown([](T_FCmd* f) {
        f->lbCmd->setCurrentRow(1);
        emit f->lbCmd->itemDoubleClicked(f->lbCmd->item(1));
    });
    EXPECT_EQ(ShowCommands(library), QString("SITE IDLE 90"));
    whenShown([](T_FCmd* f) {
        f->lbCmd->setCurrentRow(0);
        f->close();
    });
    EXPECT_EQ(ShowCommands(library), QString());

    // Select with nothing selected returns nothing.
    whenShown([](T_FCmd* f) {
        f->lbCmd->setCurrentRow(-1);
        f->SpeedButton4->click();
    });
    EXPECT_EQ(ShowCommands(library), QString());
    EXPECT_EQ(library.Labels, QStringList({"System", "Idle"}));
}

namespace {

class CommandBarTest : public MainWindowServerTest {
protected:

    void writeFile(const QString& name, const QByteArray& data)
    {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }
    QByteArray readFile(const QString& name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The site of the started server, plain FTP (the dialogue these tests
    // read has no AUTH TLS), passive.
    void writeSite() { MainWindowServerTest::writeSite(QStringLiteral("Test server"), 0, true); }
    QString log() const { return find<QPlainTextEdit>("Log")->toPlainText(); }
    QStringList history() const
    {
        QStringList items;
        auto* box = find<QComboBox>("cbCmd");
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }
};

} // namespace

TEST_F(CommandBarTest, ASavedCommandIsSentFromTheBarAndItsReplyIsLogged)
{
    QString error;
    ASSERT_TRUE(server.startPyftpdlib(&error)) << error.toStdString();
    writeSite();
    writeFile(QStringLiteral("commands.txt"), "\"System type\",Idle\nSYST,NOOP\n");
    start();

    // The bar is hidden until one of the two menu items switches it on.
    auto* bar = find<QFrame>("Panel17");
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isVisible());
    find<QAction>("CustomCommand2")->trigger();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(find<QAction>("CustomCommand1")->isChecked());
    EXPECT_TRUE(find<QAction>("CustomCommand2")->isChecked());

    // Without a session "Do It" does nothing, not even keep the text.
    find<QComboBox>("cbCmd")->setEditText("NOOP");
    find<QPushButton>("SpeedButton5")->click();
    EXPECT_TRUE(history().isEmpty());

    TSiteList* sites = window->SiteList();
    sites->SelectRow(sites->FindCaption(QStringLiteral("Test server")));
    find<QToolButton>("sbConnect")->click();
    ASSERT_TRUE(idle()) << log().toStdString();

    // Choosing from the library puts the command into the bar, unsent.
    const int systBefore = int(log().count("> SYST"));
    whenShown([](T_FCmd* f) {
        ASSERT_EQ(f->lbCmd->item(0)->text(), "System type");
        f->lbCmd->setCurrentRow(0);
        f->SpeedButton4->click();
    });
    find<QPushButton>("SpeedButton6")->click();
    EXPECT_EQ(history(), QStringList({"SYST"}));
    EXPECT_EQ(find<QComboBox>("cbCmd")->currentText(), "SYST");
    EXPECT_EQ(log().count("> SYST"), systBefore);

    // "Do It" twice: sent twice, kept once; each reply reaches the log.
    const int repliesBefore = int(log().count("215 "));
    for (int n = 1; n <= 2; ++n) {
        find<QPushButton>("SpeedButton5")->click();
        ASSERT_TRUE(testenv::waitFor([&] { return log().count("215 ") == repliesBefore + n; }, 10000))
            << log().toStdString();
        ASSERT_TRUE(idle());
    }
    EXPECT_EQ(log().count("> SYST"), systBefore + 2);
    EXPECT_EQ(history(), QStringList({"SYST"}));

    // A typed command joins the history.
    find<QComboBox>("cbCmd")->setEditText("NOOP");
    find<QPushButton>("SpeedButton5")->click();
    ASSERT_TRUE(testenv::waitFor([&] { return log().contains("> NOOP\n< 200 "); }, 10000)) << log().toStdString();
    ASSERT_TRUE(idle());
    EXPECT_EQ(history(), QStringList({"SYST", "NOOP"}));

    // The library is written back at exit, an entry added and left empty too.
    whenShown([](T_FCmd* f) {
        f->SpeedButton1->click();
        f->SpeedButton3->click();
    });
    find<QPushButton>("SpeedButton6")->click();
    EXPECT_EQ(history(), QStringList({"SYST", "NOOP"}));
    FTPOptions.AskForExit = false;
    ASSERT_TRUE(closeWindow());
    EXPECT_EQ(readFile(QStringLiteral("commands.txt")), QByteArray("\"System type\",Idle,\nSYST,NOOP,\n"));
}
