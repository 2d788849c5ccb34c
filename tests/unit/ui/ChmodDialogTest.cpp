// The permissions dialog offscreen: boxes and the octal field following each
// other, grey boxes for a mixed selection that the user can only check or
// uncheck, and what "Apply" and "Cancel" hand back. File Attributes in the
// window reaches the dialog.
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"

#include "FtpServers.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "sites/SiteLine.h"
#include "ui/GuiUserInterface.h"
#include "ui/T_ChMod.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QTimer>

#include <functional>

namespace {

// Types text into the field as keys, so its validator and textEdited apply.
void type(QLineEdit* edit, const QString& text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
}

void clear(QLineEdit* edit)
{
    edit->selectAll();
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QApplication::sendEvent(edit, &del);
}

QString states(const T_ChMod& d)
{
    QString s;
    for (QCheckBox* b : d.cb)
        s += b->checkState() == Qt::Checked ? 'x' : b->checkState() == Qt::PartiallyChecked ? '?' : '-';
    return s;
}

using Answerer = ModalAnswerer<T_ChMod>;

} // namespace

TEST(ChmodDialog, AMixedSelectionShowsGreyBoxesAndTheFirstFilesValue)
{
    T_ChMod d;
    d.SetFiles({{"a", 755}, {"b", 644}});
    EXPECT_EQ(d.Edit1->text(), "755");
    EXPECT_EQ(states(d), "xx?x-?x-?");
    EXPECT_FALSE(d.Edited());
    // Every box has a name for a screen reader, from its row and column.
    d.show();
    EXPECT_EQ(d.cb[0]->accessibleName(), "Owner Permissions Read");
    EXPECT_EQ(d.cb[8]->accessibleName(), "Public Permissions Execute");
    EXPECT_EQ(d.Edit1->accessibleName(), "Manual");
}

TEST(ChmodDialog, TheFieldAndTheBoxesFollowEachOther)
{
    T_ChMod d;
    d.SetFiles({{"a", 755}, {"b", 644}});
    // Typing 7 into the emptied field: the value is 7, public only.
    clear(d.Edit1);
    EXPECT_EQ(states(d), "---------");
    type(d.Edit1, "7");
    EXPECT_EQ(d.Edit1->text(), "7");
    EXPECT_EQ(states(d), "------xxx");
    EXPECT_TRUE(d.Edited());
    // Only octal digits get in, at most three.
    type(d.Edit1, "9");
    type(d.Edit1, "8");
    EXPECT_EQ(d.Edit1->text(), "7");
    type(d.Edit1, "445");
    EXPECT_EQ(d.Edit1->text(), "744");
    EXPECT_EQ(states(d), "xxxx--x--");
    // A box writes the value back; leading zeros vanish.
    d.cb[0]->click();
    d.cb[1]->click();
    d.cb[2]->click();
    EXPECT_EQ(d.Edit1->text(), "44");
    EXPECT_EQ(states(d), "---x--x--");
}

TEST(ChmodDialog, AGreyBoxIsCheckedOrUncheckedByClicksButNeverGreyAgain)
{
    T_ChMod d;
    d.SetFiles({{"a", 755}, {"b", 644}});
    QCheckBox* ownerExecute = d.cb[2];
    ASSERT_EQ(ownerExecute->checkState(), Qt::PartiallyChecked);
    ownerExecute->click();
    EXPECT_EQ(ownerExecute->checkState(), Qt::Checked);
    // Grey boxes that were not touched count as unchecked.
    EXPECT_EQ(d.Edit1->text(), "744");
    for (int i = 0; i < 4; ++i) {
        ownerExecute->click();
        EXPECT_NE(ownerExecute->checkState(), Qt::PartiallyChecked) << i;
    }
    EXPECT_EQ(states(d).mid(3), "x-?x-?");  // the other grey boxes stay grey
}

TEST(ChmodDialog, ApplyHandsBackOnlyARealChange)
{
    auto run = [](std::function<void(T_ChMod*)> answer, TPermissionFiles& files) {
        Answerer a(std::move(answer));
        const bool changed = ChangeAttributes(files, nullptr);
        EXPECT_EQ(a.shown, 1);
        return changed;
    };
    TPermissionFiles files = {{"a", 755}, {"b", 644}};
    // Apply without touching anything: the 644 file stays 644.
    EXPECT_FALSE(run([](T_ChMod* d) { d->SpeedButton1->click(); }, files));
    // Cancel after an edit changes nothing either.
    EXPECT_FALSE(run([](T_ChMod* d) { clear(d->Edit1); type(d->Edit1, "600"); d->SpeedButton2->click(); }, files));
    // An emptied field is no value.
    EXPECT_FALSE(run([](T_ChMod* d) { clear(d->Edit1); d->SpeedButton1->click(); }, files));
    EXPECT_EQ(files[0].value, 755);
    EXPECT_EQ(files[1].value, 644);
    EXPECT_TRUE(run([](T_ChMod* d) { clear(d->Edit1); type(d->Edit1, "644"); d->SpeedButton1->click(); }, files));
    EXPECT_EQ(files[0].value, 644 | kPermissionChanged);
    EXPECT_EQ(files[1].value, 644);
    // Nothing selected: no dialog at all.
    TPermissionFiles none;
    Answerer never([](T_ChMod* d) { d->SpeedButton2->click(); });
    EXPECT_FALSE(ChangeAttributes(none, nullptr));
    EXPECT_EQ(never.shown, 0);
}

// From the window on pyftpdlib: the site connected, two files selected,
// File Attributes opens the real dialog, a value typed and applied; the
// refreshed list shows it. (vsftpd never lets an anonymous login use SITE
// CHMOD; the session tests cover that refusal.)
TEST_F(MainWindowTest, FileAttributesChangesTheSelectedFilesOnTheServer)
{
    testftp::FtpServer server;
    QString error;
    ASSERT_TRUE(server.startPyftpdlib(&error)) << error.toStdString();
    for (const char* name : {"one.txt", "two.txt"}) {
        QFile f(server.dataDir() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    TFTPServerObj s = CreateSite(TSiteDefaults{});
    s.Security = 0;  // plain FTP: the dialogue these tests read has no AUTH TLS
    s.Name = QStringLiteral("Test server");
    s.Server = QStringLiteral("127.0.0.1");
    s.Port = QString::number(server.port());
    server.applyLogin(s);
    s.Pasv = 1;
    {
        QFile f(dir.filePath(QStringLiteral("ftplist.TXT")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(SiteLine(s).toUtf8() + '\n');
    }
    start();
    QAction* item = find<QAction>("FileAttributes1");
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->isEnabled());  // the site list shows
    TSession* session = window->Session();
    auto idle = [&] {
        return testenv::waitFor([&] {
            return session->CurrentPhase() == TSession::Phase::Online && !session->RequestInFlight()
                   && session->Ftp1().State() == ftpStReady && !session->Busy();
        }, 10000);
    };
    window->SiteList()->SelectRow(window->SiteList()->FindCaption(QStringLiteral("Test server")));
    find<QToolButton>("sbConnect")->click();
    ASSERT_TRUE(idle()) << find<QPlainTextEdit>("Log")->toPlainText().toStdString();
    EXPECT_TRUE(item->isEnabled());

    auto* view = find<QTreeView>("FTPView");
    auto attributes = [&](const QString& name) {
        for (int r = 0; r < view->model()->rowCount(); ++r)
            if (view->model()->index(r, 0).data().toString() == name)
                return view->model()->index(r, 4).data().toString();
        return QString();
    };
    ASSERT_EQ(attributes("one.txt"), "-rw-------");
    view->selectAll();

    GuiUserInterface gui;  // the real dialog this time
    setUserInterface(&gui);
    Answerer answer([](T_ChMod* d) {
        clear(d->Edit1);
        type(d->Edit1, "640");
        d->SpeedButton1->click();
    });
    item->trigger();
    setUserInterface(&ui);
    EXPECT_EQ(answer.shown, 1);
    ASSERT_TRUE(testenv::waitFor([&] { return attributes("two.txt") == "-rw-r-----"; }, 10000))
        << find<QPlainTextEdit>("Log")->toPlainText().toStdString();
    EXPECT_EQ(attributes("one.txt"), "-rw-r-----");
    ASSERT_TRUE(idle());
    EXPECT_EQ(session->SessionFlags(), 0);
}
