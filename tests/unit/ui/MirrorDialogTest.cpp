// The mirror job dialog (T_Mirror) driven through its named controls, with
// real job files in a temporary program directory; the file and folder
// choosers answered by the test. The window's Synchronize command runs
// against a real pyftpdlib server.
#include "MainWindowFixture.h"

#include "FtpServers.h"
#include "ModalAnswerer.h"
#include "i18n/MsgLanguage.h"
#include "session/MirrorJob.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "settings/IniFile.h"
#include "sites/SiteLine.h"
#include "ui/T_Mirror.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QKeyEvent>
#include <QToolButton>

namespace {

// Types text into a field as the keyboard would (the field reports an edit).
void typeInto(QWidget* field, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &press);
    }
}

void pressKey(QWidget* field, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(field, &press);
}

// What the replaced file and folder choosers were asked and answer.
struct Choosers {
    static inline QString answer;         // empty: cancelled
    static inline QStringList titles, startNames, filters;
    static QString file(QWidget*, const QString& title, const QString& name, const QString& filter)
    {
        titles << title;
        startNames << name;
        filters << filter;
        return answer;
    }
    static QString folder(QWidget*, const QString& title, const QString& start)
    {
        titles << title;
        startNames << start;
        return answer;
    }
};

class MirrorDialogTest : public MainWindowTest {
protected:
    TMirrorJob savedJob = MirrorJob;
    QString local;

    void SetUp() override
    {
        MainWindowTest::SetUp();
        MirrorJob = TMirrorJob();
        ASSERT_TRUE(QDir(dir.path()).mkpath("site"));
        local = dir.filePath("site");
        Choosers::answer.clear();
        Choosers::titles.clear();
        Choosers::startNames.clear();
        Choosers::filters.clear();
        T_Mirror::OpenChooser = T_Mirror::SaveChooser = &Choosers::file;
        T_Mirror::FolderChooserFn = &Choosers::folder;
    }
    void TearDown() override
    {
        MirrorJob = savedJob;
        MainWindowTest::TearDown();
    }

    static int checkedItem(const QGroupBox* g)
    {
        const auto items = g->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
        for (int i = 0; i < items.size(); ++i)
            if (items[i]->isChecked())
                return i;
        return -1;
    }
    static QRadioButton* item(const QGroupBox* g, int i)
    {
        return g->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly).value(i);
    }
    static QStringList exclusions(const T_Mirror& f)
    {
        QStringList items;
        for (int i = 0; i < f.lbExclude->count(); ++i)
            items << f.lbExclude->item(i)->text();
        return items;
    }
    void writeJob(const QString& path, const QByteArray& text) const
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
};

TEST_F(MirrorDialogTest, ControlsShowTheJobAndGiveItBack)
{
    MirrorJob = {local, "/pub/www", "a| |b|", mirror::MirrorBoth, mirror::OverwriteNewest, 26};
    T_Mirror f;
    for (const char* name : {"eLoc", "eRemote", "rgDir", "rgFile", "cbInc", "cbLink", "cbDel", "cbPrompt", "cbBin",
                             "lbExclude", "sbAdd", "sbEdit", "sbDel", "sbLoc", "sbOpen", "sbSave", "sbExecute",
                             "sbClose"})
        EXPECT_NE(f.findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Compare folders"));
    // Screen readers get a name for every control; "..." alone names nothing.
    EXPECT_EQ(f.sbLoc->accessibleName(), QStringLiteral("Choose the local folder"));
    EXPECT_EQ(f.lbExclude->accessibleName(), QStringLiteral("Exclusions"));
    for (QLabel* label : f.findChildren<QLabel*>())
        if (label != f.lblLocWarning)
            EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
    f.FillFromJob();
    EXPECT_EQ(f.eLoc->text(), local);
    EXPECT_EQ(f.eRemote->text(), "/pub/www");
    EXPECT_EQ(checkedItem(f.rgDir), 2);
    EXPECT_EQ(checkedItem(f.rgFile), 1);
    EXPECT_EQ(item(f.rgFile, 3)->text(), QStringLiteral("Ask"));
    // 26: all but Include subfolders and Delete destination file.
    EXPECT_FALSE(f.cbInc->isChecked());
    EXPECT_TRUE(f.cbLink->isChecked());
    EXPECT_FALSE(f.cbDel->isChecked());
    EXPECT_TRUE(f.cbPrompt->isChecked());
    EXPECT_TRUE(f.cbBin->isChecked());
    EXPECT_EQ(exclusions(f), QStringList({"a", "b"}));
    EXPECT_EQ(f.lbExclude->currentRow(), 0);
    EXPECT_TRUE(f.sbEdit->isEnabled());
    EXPECT_TRUE(f.lblLocWarning->isHidden());
    EXPECT_TRUE(f.sbExecute->isEnabled());

    item(f.rgDir, 1)->setChecked(true);
    item(f.rgFile, 3)->setChecked(true);
    f.cbInc->setChecked(true);
    f.cbBin->setChecked(false);
    f.lbExclude->addItem("  c  ");
    f.lbExclude->addItem("   ");
    f.eRemote->setText("/other");
    f.TakeJob();
    EXPECT_EQ(MirrorJob, (TMirrorJob{local, "/other", "a|b|c", mirror::MirrorRemote, mirror::Ask, 11}));

    MirrorJob.Params = 31;
    f.FillFromJob();
    for (QCheckBox* c : {f.cbInc, f.cbLink, f.cbDel, f.cbPrompt, f.cbBin})
        EXPECT_TRUE(c->isChecked()) << c->objectName().toStdString();
    // An empty list leaves nothing to edit or remove.
    MirrorJob.Exclusions.clear();
    f.FillFromJob();
    EXPECT_EQ(f.lbExclude->count(), 0);
    EXPECT_FALSE(f.sbEdit->isEnabled());
    EXPECT_FALSE(f.sbDel->isEnabled());
}

TEST_F(MirrorDialogTest, ExclusionsAreAddedEditedAndRemovedThroughTheInputLine)
{
    QStringList captions, prompts, values;
    struct Input final : IUserInterface {
        QStringList answers; // a null string cancels
        QStringList* captions;
        QStringList* prompts;
        QStringList* values;
        int ShowMessageBox(const QString&, const QString&, int) override { return mb::IdOk; }
        bool InputLine(const QString& c, const QString& p, QString& v, bool masked, int max) override
        {
            EXPECT_FALSE(masked);
            EXPECT_EQ(max, 255);
            *captions << c;
            *prompts << p;
            *values << v;
            const QString a = answers.takeFirst();
            if (a.isNull())
                return false;
            v = a;
            return true;
        }
    } input;
    input.captions = &captions;
    input.prompts = &prompts;
    input.values = &values;
    setUserInterface(&input);

    MirrorJob = {local, "/", "one", 0, 0, 26};
    T_Mirror f;
    f.FillFromJob();
    input.answers = {"  ", QString(), " *.tmp"};
    f.sbAdd->click(); // blank: nothing added
    f.sbAdd->click(); // cancelled
    f.sbAdd->click();
    EXPECT_EQ(exclusions(f), QStringList({"one", " *.tmp"})); // kept as typed
    EXPECT_EQ(captions, QStringList({"Exclusion", "Exclusion", "Exclusion"}));
    EXPECT_EQ(prompts.value(0), QStringLiteral("Enter new item:"));
    EXPECT_EQ(values.value(0), QString());

    // Edit acts on the selected item and starts from its text.
    f.lbExclude->setCurrentRow(0);
    input.answers = {"", "two", QString()};
    f.sbEdit->click();
    f.sbEdit->click();
    f.sbEdit->click();
    EXPECT_EQ(prompts.value(3), QStringLiteral("Edit item:"));
    EXPECT_EQ(values.value(3), QStringLiteral("one"));
    EXPECT_EQ(exclusions(f), QStringList({"two", " *.tmp"}));

    f.sbDel->click();
    EXPECT_EQ(exclusions(f), QStringList({" *.tmp"}));
    f.lbExclude->clearSelection();
    EXPECT_FALSE(f.sbDel->isEnabled());
    EXPECT_FALSE(f.sbEdit->isEnabled());
    f.lbExclude->setCurrentRow(0);
    ASSERT_TRUE(f.sbDel->isEnabled());
    f.sbDel->click();
    EXPECT_EQ(f.lbExclude->count(), 0);
    EXPECT_FALSE(f.sbDel->isEnabled());
    EXPECT_FALSE(f.sbEdit->isEnabled());
    f.TakeJob();
    EXPECT_EQ(MirrorJob.Exclusions, QString());
}

TEST_F(MirrorDialogTest, OpenAndSaveAsUseJobFilesAndRememberEachOthersName)
{
    MirrorJob = {local, "/start", "", 0, 0, 26};
    T_Mirror f;
    f.FillFromJob();

    // A name typed by hand that does not exist changes nothing.
    Choosers::answer = dir.filePath("typed.cpf");
    f.sbOpen->click();
    EXPECT_EQ(Choosers::titles.value(0), QStringLiteral("Opening compare parameters"));
    EXPECT_EQ(Choosers::startNames.value(0), dir.filePath("Default.cpf"));
    EXPECT_TRUE(Choosers::filters.value(0).startsWith("Compare parameters file (*.cpf)"));
    EXPECT_EQ(f.eRemote->text(), "/start");
    EXPECT_EQ(MirrorJob.Remote, "/start");

    // An existing file is loaded into the job and shown.
    const QString job = dir.filePath("saved.cpf");
    writeJob(job, ("[Mirror]\nLocal=" + local + "\nRemote=/pub\nExclusions=x|y\nDirection=1\n"
                   "File Exists=2\nParams=31\n").toUtf8());
    Choosers::answer = job;
    f.sbOpen->click();
    EXPECT_EQ(f.eRemote->text(), "/pub");
    EXPECT_EQ(checkedItem(f.rgDir), 1);
    EXPECT_EQ(checkedItem(f.rgFile), 2);
    EXPECT_TRUE(f.cbDel->isChecked());
    EXPECT_EQ(exclusions(f), QStringList({"x", "y"}));

    // Save As starts at the name opened last and writes what the controls show.
    f.eRemote->setText("/edited");
    const QString copy = dir.filePath("copy.cpf");
    Choosers::answer = copy;
    f.sbSave->click();
    EXPECT_EQ(Choosers::titles.value(2), QStringLiteral("Saving compare parameters"));
    EXPECT_EQ(Choosers::startNames.value(2), job);
    const TIniFile written(copy);
    EXPECT_EQ(written.ReadString("Mirror", "Remote", ""), "/edited");
    EXPECT_EQ(written.ReadString("Mirror", "Exclusions", ""), "x|y");
    EXPECT_EQ(written.ReadString("Mirror", "Direction", ""), "1");
    EXPECT_EQ(written.ReadString("Mirror", "Params", ""), "31");
    // ... and Open then starts at the name saved last.
    Choosers::answer.clear();
    f.sbOpen->click();
    EXPECT_EQ(Choosers::startNames.value(3), copy);

    // A cancelled chooser writes nothing.
    f.sbSave->click();
    EXPECT_FALSE(QFile::exists(dir.filePath("Default.cpf")));

    // A job file that cannot be written is reported by name.
    Choosers::answer = dir.filePath("no/such/folder/x.cpf");
    f.sbSave->click();
    ASSERT_EQ(ui.asked.size(), 1);
    EXPECT_TRUE(ui.asked[0].text.contains(Choosers::answer)) << ui.asked[0].text.toStdString();
}

TEST_F(MirrorDialogTest, ExecuteStoresTheJobInDefaultCpfAndCloseDropsTheEdits)
{
    MirrorJob = {local, "/pub", "a", 0, 0, 26};
    {
        ModalAnswerer<T_Mirror> closer([](T_Mirror* f) {
            f->eRemote->setText("/dropped");
            f->cbDel->setChecked(true);
            f->sbClose->click();
        });
        EXPECT_FALSE(ShowMirrorJob());
        EXPECT_EQ(closer.shown, 1);
    }
    EXPECT_EQ(MirrorJob, (TMirrorJob{local, "/pub", "a", 0, 0, 26}));
    EXPECT_FALSE(QFile::exists(dir.filePath("Default.cpf")));

    // An Open before Close has taken effect.
    const QString job = dir.filePath("other.cpf");
    writeJob(job, "[Mirror]\nRemote=/loaded\nFile Exists=3\n");
    Choosers::answer = job;
    {
        ModalAnswerer<T_Mirror> opener([](T_Mirror* f) {
            f->sbOpen->click();
            f->eRemote->setText("/typed after opening");
            f->sbClose->click();
        });
        EXPECT_FALSE(ShowMirrorJob());
    }
    EXPECT_EQ(MirrorJob.Remote, "/loaded");
    EXPECT_EQ(MirrorJob.FileExists, mirror::Ask);

    {
        ModalAnswerer<T_Mirror> executer([](T_Mirror* f) {
            f->eRemote->setText("/run");
            item(f->rgDir, 2)->setChecked(true);
            f->sbExecute->click();
        });
        EXPECT_TRUE(ShowMirrorJob());
    }
    EXPECT_EQ(MirrorJob.Remote, "/run");
    EXPECT_EQ(MirrorJob.Direction, mirror::MirrorBoth);
    const TIniFile written(dir.filePath("Default.cpf"));
    EXPECT_EQ(written.ReadString("Mirror", "Local", ""), local);
    EXPECT_EQ(written.ReadString("Mirror", "Remote", ""), "/run");
    EXPECT_EQ(written.ReadString("Mirror", "Direction", ""), "2");
    EXPECT_EQ(written.ReadString("Mirror", "File Exists", ""), "3");
    EXPECT_EQ(written.ReadString("Mirror", "Params", ""), "26");
}

TEST_F(MirrorDialogTest, AMissingLocalFolderIsShownReplacedAndExecuteWaitsForAnExistingOne)
{
    const QString gone = dir.filePath("gone");
    MirrorJob = {gone, "/pub", "", mirror::MirrorRemote, 0, 31}; // Mirror Remote with Delete
    T_Mirror f;
    f.FillFromJob();
    f.show();
    EXPECT_EQ(f.eLoc->text(), QDir::cleanPath(dir.path()));
    EXPECT_TRUE(f.lblLocWarning->isVisible());
    EXPECT_TRUE(f.lblLocWarning->text().contains(gone)) << f.lblLocWarning->text().toStdString();
    EXPECT_FALSE(f.sbExecute->isEnabled());
    EXPECT_FALSE(f.sbExecute->toolTip().isEmpty());
    EXPECT_FALSE(f.LocalAccepted());

    // Execute is refused, and nothing stored on the way takes the program's
    // folder for the job's.
    f.sbExecuteClick();
    EXPECT_EQ(f.result(), 0);
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(QFile::exists(dir.filePath("Default.cpf")));
    f.TakeJob();
    EXPECT_EQ(MirrorJob.Local, gone);

    // Typing another missing folder keeps Execute refused, naming that one.
    f.eLoc->clear();
    typeInto(f.eLoc, dir.filePath("nowhere"));
    EXPECT_FALSE(f.sbExecute->isEnabled());
    EXPECT_TRUE(f.lblLocWarning->text().contains(dir.filePath("nowhere")));

    // Choosing an existing folder lifts the refusal.
    Choosers::answer = local;
    f.sbLoc->click();
    EXPECT_EQ(Choosers::startNames.value(0), dir.filePath("nowhere"));
    EXPECT_EQ(f.eLoc->text(), local);
    EXPECT_TRUE(f.lblLocWarning->isHidden());
    ASSERT_TRUE(f.sbExecute->isEnabled());
    f.sbExecute->click();
    EXPECT_EQ(f.result(), int(QDialog::Accepted));
    EXPECT_EQ(MirrorJob.Local, local);

    // Typing the program's folder by hand is the user's own choice.
    MirrorJob.Local = gone;
    f.FillFromJob();
    EXPECT_FALSE(f.sbExecute->isEnabled());
    pressKey(f.eLoc, Qt::Key_End);
    typeInto(f.eLoc, "/");
    EXPECT_TRUE(f.sbExecute->isEnabled());
}

// The window's command against a real server.
class SynchronizeCommandTest : public MirrorDialogTest {
protected:
    testftp::FtpServer server;

    void writeSite()
    {
        TFTPServerObj s = CreateSite(TSiteDefaults{});
        s.Security = 0;  // plain FTP: the dialogue these tests read has no AUTH TLS
        s.Name = QStringLiteral("Test server");
        s.Server = QStringLiteral("127.0.0.1");
        s.Port = QString::number(server.port());
        server.applyLogin(s);
        s.Pasv = 1;
        QFile f(dir.filePath("ftplist.TXT"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(SiteLine(s).toUtf8() + '\n');
    }
    bool idle()
    {
        TSession* s = window->Session();
        return testenv::waitFor([s] {
            return s->CurrentPhase() == TSession::Phase::Online && !s->RequestInFlight()
                   && s->Ftp1().State() == ftpStReady && !s->Busy();
        }, 10000);
    }
    QString log() const { return find<QPlainTextEdit>("Log")->toPlainText(); }
};

TEST_F(SynchronizeCommandTest, FillsTheFoldersAndDirectionAndQueuesTheRunOnExecute)
{
    QString error;
    ASSERT_TRUE(server.startPyftpdlib(&error)) << error.toStdString();
    writeSite();
    start();
    // Not before a session is open, and disabled until the run exists.
    int shown = 0;
    ModalAnswerer<T_Mirror> answerer([&shown](T_Mirror* f) {
        ++shown;
        f->sbClose->click();
    });
    window->SyncDirClick(0);
    EXPECT_EQ(shown, 0);
    for (const char* name : {"SynchronizeDirectories1", "SynchronizeDirectories2", "miSyncDir1", "miSyncDir2"})
        EXPECT_FALSE(find<QAction>(name)->isEnabled()) << name;
    EXPECT_EQ(find<QAction>("miSyncDir1")->data().toInt(), 1);
    EXPECT_EQ(find<QAction>("miSyncDir2")->data().toInt(), 0);

    TSiteList* sites = window->SiteList();
    sites->SelectRow(sites->FindCaption(QStringLiteral("Test server")));
    find<QToolButton>("sbConnect")->click();
    ASSERT_TRUE(idle()) << log().toStdString();
    ASSERT_TRUE(window->SetLocalDir(local));
    const QString remote = window->Session()->Ftp1().HostDirName();
    ASSERT_FALSE(remote.isEmpty());

    // The remote pane's item asks for Mirror Remote; Close starts nothing.
    MirrorJob.Params = 31;
    window->SyncDirClick(1);
    ASSERT_TRUE(testenv::waitFor([&] { return shown == 1; }, 5000));
    EXPECT_EQ(MirrorJob.Local, local);
    EXPECT_EQ(MirrorJob.Remote, remote);
    EXPECT_EQ(MirrorJob.Direction, mirror::MirrorRemote);
    EXPECT_EQ(MirrorJob.Params, 31); // only folders and direction are set
    QCoreApplication::processEvents();
    EXPECT_FALSE(log().contains("Mirror: "));
}

TEST_F(SynchronizeCommandTest, ExecuteQueuesTheRunAfterTheDialogHasGone)
{
    QString error;
    ASSERT_TRUE(server.startPyftpdlib(&error)) << error.toStdString();
    writeSite();
    start();
    TSiteList* sites = window->SiteList();
    sites->SelectRow(sites->FindCaption(QStringLiteral("Test server")));
    find<QToolButton>("sbConnect")->click();
    ASSERT_TRUE(idle()) << log().toStdString();
    ASSERT_TRUE(window->SetLocalDir(local));

    MirrorJob.Direction = mirror::MirrorBoth;
    bool logWhileShown = true;
    ModalAnswerer<T_Mirror> executer([&](T_Mirror* f) {
        EXPECT_EQ(checkedItem(f->rgDir), 0); // tag 0: Mirror Local
        f->sbExecute->click();
        logWhileShown = log().contains("Mirror: ");
    });
    window->SyncDirClick(0);
    EXPECT_EQ(executer.shown, 1);
    EXPECT_FALSE(logWhileShown);
    EXPECT_TRUE(QFile::exists(dir.filePath("Default.cpf")));
    ASSERT_TRUE(testenv::waitFor([&] { return log().contains("Mirror finished"); }, 15000)) << log().toStdString();
    EXPECT_EQ(MirrorJob.Direction, mirror::MirrorLocal);
}

} // namespace
