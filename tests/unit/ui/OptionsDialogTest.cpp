// The options dialog as a user meets it: opened from Preferences, filled
// from options.ftp, edited through its controls (found by object name), and
// confirmed or cancelled; what "OK" stores is read back from the file the
// window saved. The end-to-end case sets a SOCKS 5 server and an FTP proxy in
// the dialog and logs in to a real server through each from the window.
#include "MainWindowFixture.h"

#include "FakeFtpServer.h"
#include "FtpServers.h"
#include "SocksServers.h"
#include "i18n/MsgLanguage.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "sites/SiteLine.h"
#include "ui/FontRec.h"
#include "ui/T_Options.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <functional>
#include <sys/stat.h>

namespace {

// Answers the dialog's input lines from a list and records the questions.
class ScriptedInput final : public IUserInterface {
public:
    QStringList answers;
    QStringList captions, prompts;
    int ShowMessageBox(const QString&, const QString&, int) override { return mb::IdNo; }
    bool InputLine(const QString& caption, const QString& prompt, QString& value, bool, int) override
    {
        captions << caption;
        prompts << prompt;
        if (answers.isEmpty())
            return false;
        value = answers.takeFirst();
        return true;
    }
};

// Runs act on the modal dialog of type D as soon as it is shown.
template <class D> void whenShown(std::function<void(D*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(d);
        }
    });
    timer->start();
}

template <class T> T* in(QWidget* w, const char* name)
{
    T* child = w->findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

mode_t modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

class OptionsDialogTest : public MainWindowTest {
protected:
    ScriptedInput input;

    void SetUp() override
    {
        MainWindowTest::SetUp();
        setUserInterface(&input);
    }

    // Preferences from the menu; act edits the dialog and presses a button.
    void preferences(std::function<void(T_Options*)> act)
    {
        whenShown<T_Options>(act);
        QAction* pref = find<QAction>("Preferences1");
        ASSERT_TRUE(pref->isEnabled());
        pref->trigger();
        QCoreApplication::processEvents();
    }
    void ok(T_Options* d) { in<QPushButton>(d, "btnOK")->click(); }
    void cancel(T_Options* d) { in<QPushButton>(d, "btnCancel")->click(); }

    TIniFile saved() const { return TIniFile(optionsFile()); }
};

} // namespace

TEST_F(OptionsDialogTest, FillsEveryPageFromTheFileAndOkStoresWhatTheControlsShow)
{
    writeOptions("[Common]\nTimeOut=45\nretry=3\nMailAno=1\nAnonymous=me@example.org\nTransferMode=7\n"
                 "Ext=txt,\"my ext\"\nLog=0\nKeep=1\nStartKeep=30\nDurationKeep=5\nCmdKeep=NOOP,,PWD\n"
                 "ConnectionType=1\nDefPrompt=2\nDateType=1\nfwType=9\n"
                 "[Proxy]\nServer=proxy.example\nPort=2121\nPsw=pp\nPswMask=1\n");
    start();
    preferences([&](T_Options* d) {
        EXPECT_EQ(d->windowTitle(), "Program Options");
        EXPECT_EQ(in<QSpinBox>(d, "udTimeOut")->value(), 45);
        EXPECT_EQ(in<QLineEdit>(d, "eTimeOut")->text(), "45");
        EXPECT_EQ(in<QLineEdit>(d, "eRetry")->text(), "3");
        EXPECT_TRUE(in<QLineEdit>(d, "eAno")->isEnabled());
        EXPECT_EQ(CheckedRadio(in<QGroupBox>(d, "rgMode")), 0); // 7 shows as auto-detect
        EXPECT_EQ(in<QListWidget>(d, "lbExt")->count(), 2);
        EXPECT_FALSE(in<QLineEdit>(d, "eLogFile")->isEnabled());
        EXPECT_EQ(in<QListWidget>(d, "lbKeep")->count(), 2); // the blank item is not shown
        EXPECT_EQ(CheckedRadio(in<QGroupBox>(d, "rgType")), 1);
        EXPECT_TRUE(in<QGroupBox>(d, "pnlProxy")->isEnabled());
        EXPECT_FALSE(in<QGroupBox>(d, "pnlSocks")->isEnabled());
        EXPECT_EQ(in<QLineEdit>(d, "eProxyPsw")->echoMode(), QLineEdit::Password);
        EXPECT_TRUE(in<QRadioButton>(d, "rbResume")->isChecked());
        EXPECT_TRUE(in<QRadioButton>(d, "rbDateA")->isChecked());
        EXPECT_EQ(CheckedRadio(in<QGroupBox>(d, "gbFW")), 0);
        for (const char* hidden : {"cbSync", "cbPassiveTransfer", "cbFW", "gbFW", "cbLngInit"})
            EXPECT_TRUE(in<QWidget>(d, hidden)->isHidden()) << hidden;

        // A tree node shows the page at its position.
        auto* tree = in<QTreeWidget>(d, "TreeView1");
        ASSERT_EQ(tree->topLevelItemCount(), 7);
        tree->setCurrentItem(tree->topLevelItem(4));
        EXPECT_EQ(in<QTabWidget>(d, "pcl")->currentWidget()->objectName(), "TabSheet6");

        // The socks panel follows the type; the mask the check box.
        in<QRadioButton>(d, "rgTypeItem4")->setChecked(true);
        EXPECT_FALSE(in<QGroupBox>(d, "pnlProxy")->isEnabled());
        EXPECT_TRUE(in<QGroupBox>(d, "pnlSocks")->isEnabled());
        in<QCheckBox>(d, "cbProxyPswMask")->setChecked(false);
        EXPECT_EQ(in<QLineEdit>(d, "eProxyPsw")->echoMode(), QLineEdit::Normal);
        in<QLineEdit>(d, "eSocks")->setText("127.0.0.1");
        in<QLineEdit>(d, "eSocksPort")->setText("1080");
        in<QCheckBox>(d, "cbDownLoad")->setChecked(false);
        in<QRadioButton>(d, "rbDate")->setChecked(true);
        ok(d);
    });
    const TIniFile ini = saved();
    EXPECT_EQ(ini.ReadInteger("Common", "TimeOut", 0), 45);
    EXPECT_EQ(ini.ReadInteger("Common", "TransferMode", -1), 0);
    EXPECT_EQ(ini.ReadString("Common", "Ext", ""), "txt,\"my ext\"");
    EXPECT_EQ(ini.ReadString("Common", "CmdKeep", ""), "NOOP,PWD");
    EXPECT_EQ(ini.ReadInteger("Common", "ConnectionType", -1), 4);
    EXPECT_EQ(ini.ReadString("Socks", "Server", ""), "127.0.0.1");
    EXPECT_EQ(ini.ReadString("Proxy", "Psw", ""), "pp");
    EXPECT_EQ(ini.ReadInteger("Proxy", "PswMask", -1), 0);
    EXPECT_EQ(ini.ReadInteger("Common", "PromptDownLoad", -1), 0);
    EXPECT_EQ(ini.ReadInteger("Common", "DefPrompt", -1), 2);
    EXPECT_EQ(ini.ReadInteger("Common", "DateType", -1), 0);
    EXPECT_EQ(window->Session()->Options().ConnectionType, 4); // applied to the session
}

TEST_F(OptionsDialogTest, CancelTakesNothing)
{
    writeOptions("[Common]\nTimeOut=45\n");
    start();
    preferences([&](T_Options* d) {
        in<QLineEdit>(d, "eTimeOut")->setText("99");
        in<QCheckBox>(d, "cbAskExit")->setChecked(false);
        cancel(d);
    });
    EXPECT_EQ(FTPOptions.TimeOut, 45);
    EXPECT_TRUE(FTPOptions.AskForExit);
}

// The four edge cases of the dialog.
TEST_F(OptionsDialogTest, KeepConnectionWithAnEmptyCommandListIsStoredOff)
{
    start();
    preferences([&](T_Options* d) {
        in<QCheckBox>(d, "cbKeep")->setChecked(true);
        EXPECT_TRUE(in<QListWidget>(d, "lbKeep")->isEnabled());
        ok(d);
    });
    EXPECT_FALSE(FTPOptions.Keep);
    EXPECT_EQ(saved().ReadInteger("Common", "Keep", -1), 0);
}

TEST_F(OptionsDialogTest, AnUnchangedFontKeepsTheListFontsAndAnotherFontOverwritesBoth)
{
    writeOptions("[Common]\nFontName=DejaVu Sans\nFontSize=10\nFontLeftName=DejaVu Serif\nFontLeftSize=9\n"
                 "FontRightName=DejaVu Sans Mono\nFontRightSize=11\n");
    start();
    preferences([&](T_Options* d) { ok(d); });
    EXPECT_EQ(FTPOptions.FontLeft.Name, "DejaVu Serif");
    EXPECT_EQ(FTPOptions.FontRight.Name, "DejaVu Sans Mono");

    preferences([&](T_Options* d) {
        whenShown<QFontDialog>([](QFontDialog* f) {
            QFont font("DejaVu Serif", 13);
            font.setItalic(true);
            f->setCurrentFont(font);
            f->accept();
        });
        in<QPushButton>(d, "sbFont")->click();
        EXPECT_EQ(in<QPushButton>(d, "sbFont")->font().pointSize(), 13); // the button shows the choice
        ok(d);
    });
    for (const TFontRec* r : {&FTPOptions.Font, &FTPOptions.FontLeft, &FTPOptions.FontRight}) {
        EXPECT_EQ(r->Name, "DejaVu Serif");
        EXPECT_EQ(r->Size, 13);
        EXPECT_EQ(r->Style, fsItalic);
    }
    EXPECT_EQ(saved().ReadString("Common", "FontRightName", ""), "DejaVu Serif");
    EXPECT_EQ(find<QTreeView>("FTPView")->font().pointSize(), 13); // applied to the window
}

TEST_F(OptionsDialogTest, WithNoLanguageFilesLocalizationEndsOffEvenAfterCancel)
{
    start();
    LangOn = true; // as options.ftp might say with the files gone
    LangFile = "deutsch";
    preferences([&](T_Options* d) {
        EXPECT_FALSE(in<QCheckBox>(d, "cbLng")->isChecked());
        EXPECT_EQ(in<QComboBox>(d, "cbFLng")->count(), 0);
        EXPECT_FALSE(in<QComboBox>(d, "cbFLng")->isEnabled());
        cancel(d);
    });
    EXPECT_FALSE(LangOn);
}

TEST_F(OptionsDialogTest, ConfirmingAlwaysStoresTheFirewallOff)
{
    writeOptions("[Common]\nfwEnable=1\nfwType=3\nfwSimbol=#\nSync=1\n[Language]\nLangInit=1\n");
    start();
    preferences([&](T_Options* d) {
        EXPECT_FALSE(in<QCheckBox>(d, "cbFW")->isChecked());
        ok(d);
    });
    const TIniFile ini = saved();
    EXPECT_EQ(ini.ReadInteger("Common", "fwEnable", -1), 0);
    // The other hidden controls give back what they showed.
    EXPECT_EQ(ini.ReadInteger("Common", "fwType", -1), 3);
    EXPECT_EQ(ini.ReadString("Common", "fwSimbol", ""), "#");
    EXPECT_EQ(ini.ReadInteger("Common", "Sync", -1), 1);
    EXPECT_EQ(ini.ReadInteger("Language", "LangInit", -1), 1);
}

TEST_F(OptionsDialogTest, ChoosingALanguagePreviewsItInTheDialogAndOnlyOkKeepsIt)
{
    for (const char* f : {"Deutsch.lan", "Francais.lan"})
        ASSERT_TRUE(QFile::copy(testenv::sourceDir() + "/lang/" + f, dir.filePath(f)));
    writeOptions("[Language]\nLangOn=1\nLangFile=Deutsch\n");
    start();
    preferences([&](T_Options* d) {
        EXPECT_EQ(in<QPushButton>(d, "btnCancel")->text(), "&Abbrechen");
        EXPECT_EQ(in<QComboBox>(d, "cbFLng")->currentText(), "deutsch");
        EXPECT_EQ(in<QTreeWidget>(d, "TreeView1")->topLevelItem(0)->text(0), "Verbindung");
        in<QComboBox>(d, "cbFLng")->setCurrentIndex(1);
        EXPECT_EQ(in<QPushButton>(d, "btnCancel")->text(), "&Annuler");
        EXPECT_EQ(in<QTreeWidget>(d, "TreeView1")->topLevelItem(0)->text(0), "Connexion");
        EXPECT_EQ(TMsgLanguage::Of(d)->Text(optmsg::Add), "Ajouter");
        EXPECT_EQ(in<QLineEdit>(d, "eTimeOut")->accessibleName(), in<QLabel>(d, "LabelTimeOut")->text());
        cancel(d);
    });
    EXPECT_EQ(LangFile, "deutsch");
    preferences([&](T_Options* d) {
        in<QComboBox>(d, "cbFLng")->setCurrentIndex(1);
        ok(d);
    });
    EXPECT_EQ(LangFile, "francais");
    EXPECT_EQ(saved().ReadString("Language", "LangFile", ""), "francais");
    QCoreApplication::processEvents(); // the window's re-translation is posted
    EXPECT_EQ(find<QToolButton>("sbConnect")->text(), "&Connexion");
}

TEST_F(OptionsDialogTest, SwitchingLocalizationOffBringsTheWindowBackToEnglish)
{
    ASSERT_TRUE(QFile::copy(testenv::sourceDir() + "/lang/Deutsch.lan", dir.filePath("Deutsch.lan")));
    writeOptions("[Language]\nLangOn=1\nLangFile=deutsch\n");
    start();
    ASSERT_EQ(find<QToolButton>("sbConnect")->text(), "&Verbinden");
    preferences([&](T_Options* d) {
        in<QCheckBox>(d, "cbLng")->setChecked(false);
        EXPECT_FALSE(in<QComboBox>(d, "cbFLng")->isEnabled());
        ok(d);
    });
    QCoreApplication::processEvents();
    EXPECT_FALSE(LangOn);
    EXPECT_EQ(LangFile, "language");
    EXPECT_EQ(find<QToolButton>("sbConnect")->text(), "&Connect");
    EXPECT_TRUE(find<QAction>("miEnglish")->isChecked());
}

TEST_F(OptionsDialogTest, EveryControlHasAVisibleTextOrAnAccessibleName)
{
    start();
    preferences([&](T_Options* d) {
        auto* tree = in<QTreeWidget>(d, "TreeView1");
        for (int page = 0; page < tree->topLevelItemCount(); ++page) {
            tree->setCurrentItem(tree->topLevelItem(page));
            for (QWidget* w : in<QTabWidget>(d, "pcl")->currentWidget()->findChildren<QWidget*>()) {
                if (!w->isVisibleTo(d) || w->focusPolicy() == Qt::NoFocus)
                    continue;
                QString text = w->accessibleName();
                if (auto* b = qobject_cast<QAbstractButton*>(w))
                    text += b->text();
                EXPECT_FALSE(text.trimmed().isEmpty()) << w->objectName().toStdString() << " on page " << page;
            }
        }
        cancel(d);
    });
}

// Mended faults.
TEST_F(OptionsDialogTest, KeepAliveAddIgnoresBlankEntries)
{
    start();
    input.answers = {"", "   ", "NOOP", " PWD "};
    preferences([&](T_Options* d) {
        in<QCheckBox>(d, "cbKeep")->setChecked(true);
        for (int i = 0; i < 4; ++i)
            in<QPushButton>(d, "sbKeepAdd")->click();
        auto* list = in<QListWidget>(d, "lbKeep");
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->item(1)->text(), "PWD");
        list->setCurrentRow(0);
        in<QPushButton>(d, "sbKeepDelete")->click();
        ok(d);
    });
    EXPECT_EQ(input.captions.value(0), "Add Command");
    EXPECT_EQ(input.prompts.value(0), "Enter Command");
    EXPECT_TRUE(FTPOptions.Keep);
    EXPECT_EQ(saved().ReadString("Common", "CmdKeep", ""), "PWD");
}

TEST_F(OptionsDialogTest, ExtensionsAreAddedModifiedAndRemoved)
{
    start();
    input.answers = {"txt", "", "htm", "html"};
    preferences([&](T_Options* d) {
        auto* list = in<QListWidget>(d, "lbExt");
        in<QPushButton>(d, "sbExtAdd")->click();
        in<QPushButton>(d, "sbExtAdd")->click(); // blank: nothing
        in<QPushButton>(d, "sbExtModify")->click(); // nothing selected: adds
        list->setCurrentRow(1);
        in<QPushButton>(d, "sbExtModify")->click();
        EXPECT_EQ(list->item(1)->text(), "html");
        list->setCurrentRow(0);
        in<QPushButton>(d, "sbExtRemove")->click();
        ok(d);
    });
    EXPECT_EQ(input.captions.value(0), "Add extention");
    EXPECT_EQ(input.captions.value(3), "Edit extention");
    EXPECT_EQ(FTPOptions.Ext, "html");
}

TEST_F(OptionsDialogTest, TypedNumbersOutsideAControlsRangeAreClamped)
{
    start();
    preferences([&](T_Options* d) {
        EXPECT_EQ(in<QSpinBox>(d, "udTimeOut")->minimum(), 10);
        EXPECT_EQ(in<QSpinBox>(d, "udTimeOut")->maximum(), 32767);
        in<QLineEdit>(d, "eTimeOut")->setText("5");
        in<QLineEdit>(d, "eRetry")->setText("40000");
        in<QLineEdit>(d, "eLog")->setText("-3");
        in<QLineEdit>(d, "eLogLines")->setText("250000");
        in<QLineEdit>(d, "eKeep")->setText("0");
        in<QLineEdit>(d, "eduration")->setText("1000");
        ok(d);
    });
    EXPECT_EQ(FTPOptions.TimeOut, 10);
    EXPECT_EQ(FTPOptions.retry, 32767);
    EXPECT_EQ(FTPOptions.LogSize, 0);
    EXPECT_EQ(FTPOptions.LogLines, 10000);
    EXPECT_EQ(FTPOptions.StartKeep, 1);
    EXPECT_EQ(FTPOptions.DurationKeep, 100);
}

TEST_F(OptionsDialogTest, TheFileTheDialogCreatesIsReadableByItsOwnerOnly)
{
    start();
    QFile::remove(optionsFile());
    preferences([&](T_Options* d) {
        in<QLineEdit>(d, "eSocksPsw")->setText("plain secret");
        ok(d);
    });
    EXPECT_EQ(modeOf(optionsFile()), mode_t(0600));
    EXPECT_EQ(saved().ReadString("Socks", "Psw", ""), "plain secret");
}

TEST_F(OptionsDialogTest, PreferencesIsOffFromTheFirstConnectAttemptUntilTheSessionHasClosed)
{
    // Nothing listens on the port: every attempt fails, three in all.
    const quint16 closedPort = testenv::freePort();
    writeOptions("[Common]\nretry=2\n");
    QFile f(dir.filePath("ftplist.TXT"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    TFTPServerObj s = CreateSite(TSiteDefaults{});
    s.Name = "Nowhere";
    s.Server = "127.0.0.1";
    s.Port = QString::number(closedPort);
    s.Anonymous = 1;
    f.write(SiteLine(s).toUtf8() + '\n');
    f.close();
    start();
    QAction* pref = find<QAction>("Preferences1");
    ASSERT_TRUE(pref->isEnabled());
    QList<bool> states;
    QObject::connect(pref, &QAction::changed, [&] {
        if (states.isEmpty() || states.last() != pref->isEnabled())
            states << pref->isEnabled();
    });
    TSiteList* sites = window->SiteList();
    sites->SelectRow(sites->FindCaption("Nowhere"));
    find<QToolButton>("sbConnect")->click();
    EXPECT_FALSE(pref->isEnabled()); // at once, with the first attempt
    ASSERT_TRUE(testenv::waitFor([&] { return window->Session()->CurrentPhase() == TSession::Phase::SiteList; }, 20000));
    EXPECT_EQ(states, QList<bool>({false, true})) << "off once, on once";
    EXPECT_TRUE(pref->isEnabled());
    EXPECT_TRUE(find<QPlainTextEdit>("Log")->toPlainText().contains("[Attempt 3]"));
}

TEST_F(OptionsDialogTest, PreferencesIsOffWhileTheLoginRuns)
{
    FakeFtpServer server;
    server.on("USER", "331 Password required");
    server.on("PASS", QList<FakeFtpServer::Reply>{{"230 Logged in", 0, false, true}}); // held
    QFile f(dir.filePath("ftplist.TXT"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    TFTPServerObj s = CreateSite(TSiteDefaults{});
    s.Name = "Slow";
    s.Server = "127.0.0.1";
    s.Port = QString::number(server.port());
    s.User = "bob";
    s.Password = "pw";
    s.SavePassword = 1;
    f.write(SiteLine(s).toUtf8() + '\n');
    f.close();
    start();
    TSiteList* sites = window->SiteList();
    sites->SelectRow(sites->FindCaption("Slow"));
    find<QToolButton>("sbConnect")->click();
    ASSERT_TRUE(testenv::waitFor([&] { return server.heldCount() == 1; }, 10000));
    EXPECT_EQ(window->Session()->CurrentPhase(), TSession::Phase::LoggingIn);
    EXPECT_FALSE(find<QAction>("Preferences1")->isEnabled());
    find<QToolButton>("sbDisConnect")->click();
    ASSERT_TRUE(testenv::waitFor([&] { return window->Session()->CurrentPhase() == TSession::Phase::SiteList; }));
    EXPECT_TRUE(find<QAction>("Preferences1")->isEnabled());
}

namespace {

class OptionsRealServersTest : public OptionsDialogTest {
protected:
    testftp::FtpServer server;

    void writeSite()
    {
        TFTPServerObj s = CreateSite(TSiteDefaults{});
        s.Name = "Behind a proxy";
        s.Server = "127.0.0.1";
        s.Port = QString::number(server.port());
        s.User = server.user();
        s.Password = server.password();
        s.SavePassword = 1;
        s.Pasv = 1;
        QFile f(dir.filePath("ftplist.TXT"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(SiteLine(s).toUtf8() + '\n');
    }
    QString log() const { return find<QPlainTextEdit>("Log")->toPlainText(); }
    // Connects to the site and waits until the listing is shown (true) or
    // the site list is back (false).
    bool login()
    {
        TSiteList* sites = window->SiteList();
        sites->SelectRow(sites->FindCaption("Behind a proxy"));
        find<QToolButton>("sbConnect")->click();
        TSession* s = window->Session();
        const bool ended = testenv::waitFor([s] {
            return s->CurrentPhase() == TSession::Phase::SiteList
                   || (s->CurrentPhase() == TSession::Phase::Online && !s->RequestInFlight()
                       && s->Ftp1().State() == ftpStReady && !s->Busy());
        }, 20000);
        return ended && s->CurrentPhase() == TSession::Phase::Online;
    }
    void logout()
    {
        find<QToolButton>("sbDisConnect")->click();
        ASSERT_TRUE(testenv::waitFor([&] { return window->SiteListShown(); }, 10000));
    }
    bool listed(const QString& name) const
    {
        QAbstractItemModel* m = find<QTreeView>("FTPView")->model();
        for (int r = 0; r < m->rowCount(); ++r)
            if (m->index(r, 0).data().toString() == name)
                return true;
        return false;
    }
    void chooseSocks5(const QString& password)
    {
        preferences([&](T_Options* d) {
            auto* tree = in<QTreeWidget>(d, "TreeView1");
            tree->setCurrentItem(tree->topLevelItem(4));
            in<QRadioButton>(d, "rgTypeItem4")->setChecked(true);
            in<QLineEdit>(d, "eSocks")->setText("127.0.0.1");
            in<QLineEdit>(d, "eSocksPort")->setText(QString::number(socksPort));
            in<QLineEdit>(d, "eSocksUC")->setText(testsocks::SocksServer::danteUser());
            in<QLineEdit>(d, "eSocksPsw")->setText(password);
            ok(d);
        });
    }
    quint16 socksPort = 0;
};

} // namespace

TEST_F(OptionsRealServersTest, SocksFiveAndAnFtpProxySetInTheDialogCarryARealLogin)
{
    REQUIRE_PROGRAM(danted, "danted");
    REQUIRE_PROGRAM(ftpProxy, "ftp-proxy");
    QString error;
    if (!testsocks::SocksServer::ensureDanteUser(&error)) {
        if (testenv::underCi())
            FAIL() << error.toStdString();
        GTEST_SKIP() << error.toStdString();
    }
    testsocks::SocksServer socks;
    ASSERT_TRUE(socks.startDante(true, &error)) << error.toStdString();
    socksPort = socks.port();
    testftp::FtpServer proxy;
    ASSERT_TRUE(server.startPyftpdlib(&error)) << error.toStdString();
    ASSERT_TRUE(proxy.startFtpProxy(&error)) << error.toStdString();
    QFile(QDir(server.dataDir()).filePath("arrived.txt")).open(QIODevice::WriteOnly);
    writeSite();
    start();

    // SOCKS 5 with a wrong password: dante turns the login away, so the
    // dialog's settings are what the connection goes through.
    chooseSocks5("not the password");
    EXPECT_FALSE(login()) << log().toStdString();
    chooseSocks5(testsocks::SocksServer::dantePassword());
    ASSERT_TRUE(login()) << log().toStdString();
    EXPECT_EQ(window->Session()->Ftp1().ConnectionType(), ftpSocks5);
    EXPECT_TRUE(listed("arrived.txt"));
    logout();

    // The FTP proxy: the login names the target in USER.
    preferences([&](T_Options* d) {
        in<QRadioButton>(d, "rgTypeItem1")->setChecked(true);
        in<QLineEdit>(d, "eProxy")->setText("127.0.0.1");
        in<QLineEdit>(d, "eProxyPort")->setText(QString::number(proxy.port()));
        ok(d);
    });
    ASSERT_TRUE(login()) << log().toStdString();
    EXPECT_TRUE(log().contains(QStringLiteral("> USER %1@127.0.0.1:%2").arg(server.user()).arg(server.port())))
        << log().toStdString();
    EXPECT_TRUE(listed("arrived.txt"));
    logout();
    EXPECT_EQ(saved().ReadInteger("Common", "ConnectionType", -1), 1);
}
