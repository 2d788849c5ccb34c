// The main window as a user meets it: its parts by name, start placement,
// the quit question, the settings written at close, the pane split, the
// transfer-type menu and the saved layout.
#include "MainWindowFixture.h"

#include "i18n/MainMessages.h"
#include "session/SiteList.h"
#include "sites/SiteLine.h"

#include <QAbstractProxyModel>
#include <QAction>
#include <QComboBox>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

namespace {

struct Component {
    const char* name;
    const char* className;
};

// Every component other parts of the program address by name, with the
// class it must have.
const Component kComponents[] = {
    {"Panel11", "QFrame"}, {"sbConnect", "QToolButton"}, {"sbDisConnect", "QToolButton"},
    {"sbStop", "QToolButton"}, {"ExplorerButton1", "QPushButton"}, {"cbCmd", "QComboBox"},
    {"Panel1", "QFrame"}, {"Panel8", "QLabel"}, {"Panel6", "QFrame"}, {"sbMkd1", "QToolButton"},
    {"sbRen1", "QToolButton"}, {"sbDel1", "QToolButton"}, {"sbView", "QToolButton"}, {"sbRun", "QToolButton"},
    {"Panel4", "QFrame"}, {"DriveComboBox1", "QComboBox"}, {"dlbx", "QTreeView"}, {"lvLoc", "QTreeView"},
    {"pnlLocInfo", "QLabel"}, {"Splitter1", "QSplitter"}, {"Panel2", "QFrame"}, {"Panel7", "QFrame"},
    {"sbNewServer", "QToolButton"}, {"sbProperties", "QToolButton"}, {"sbMkd2", "QToolButton"},
    {"sbRen2", "QToolButton"}, {"sbDel2", "QToolButton"}, {"Panel9", "QLabel"}, {"FTPPathPanel", "QFrame"},
    {"FTPPath", "QComboBox"}, {"FTPOneLevelUp", "QToolButton"}, {"FTPView", "QTreeView"},
    {"pnlFtpInfo", "QLabel"}, {"Log", "QPlainTextEdit"}, {"Splitter3", "QSplitter"}, {"cTimer", "QTimer"},
    {"msl", "TMsgLanguage"}, {"TransferType1", "QMenu"}, {"miAuto", "QAction"}, {"miAscii", "QAction"},
    {"miBinary", "QAction"}, {"Spawnnewsession1", "QAction"}, {"Help1", "QAction"}, {"Exit1", "QAction"},
    {"SaveLayout1", "QAction"}, {"miLang", "QMenu"}, {"Font1", "QAction"}, {"Font2", "QAction"},
};

// Commands that need an open session: present, but disabled without one.
const char* const kSessionCommands[] = {
    "SynchronizeDirectories2", "SynchronizeDirectories1", "SpeedButton1", "SpeedButton2",
    "UploadSelectedFiles1", "DownloadSelectedFiles1",
};

bool isEnabled(QObject* o)
{
    if (auto* w = qobject_cast<QWidget*>(o))
        return w->isEnabled();
    if (auto* a = qobject_cast<QAction*>(o))
        return a->isEnabled();
    return false;
}

QStringList checkedTransferItems(T_Main& w)
{
    QStringList checked;
    for (const char* name : {"miAuto", "miAscii", "miBinary"})
        if (w.findChild<QAction*>(QLatin1String(name))->isChecked())
            checked << QLatin1String(name);
    return checked;
}

} // namespace

TEST_F(MainWindowTest, EveryNamedComponentExistsWithItsClass)
{
    start();
    for (const Component& c : kComponents) {
        QObject* o = window->findChild<QObject*>(QLatin1String(c.name));
        ASSERT_NE(o, nullptr) << c.name;
        EXPECT_TRUE(o->inherits(c.className)) << c.name << " is a " << o->metaObject()->className();
    }
    EXPECT_EQ(find<QToolButton>("sbConnect")->text(), "&Connect");
    EXPECT_EQ(find<QToolButton>("sbNewServer")->text(), "New Server");
    EXPECT_EQ(find<QToolButton>("sbProperties")->text(), "&Properties");
    EXPECT_EQ(find<QPushButton>("ExplorerButton1")->text(), "Exit");
    EXPECT_TRUE(find<QPushButton>("ExplorerButton1")->isFlat());
    EXPECT_EQ(find<QLabel>("Panel8")->text(), "Local computer");
    EXPECT_EQ(find<QLabel>("Panel9")->text(), "FTP - servers");
    EXPECT_EQ(find<QAction>("Spawnnewsession1")->text(), "Create new session");
    EXPECT_EQ(find<QTreeView>("lvLoc")->model()->columnCount(), 4);
    // The server directory has six columns; until a session opens the pane
    // shows the site list.
    EXPECT_EQ(window->findChild<QAbstractItemModel*>("FTPViewModel")->columnCount(), 6);
    auto* shown = qobject_cast<QAbstractProxyModel*>(find<QTreeView>("FTPView")->model());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->sourceModel(), static_cast<QAbstractItemModel*>(window->SiteList()));
    EXPECT_TRUE(find<QPlainTextEdit>("Log")->isReadOnly());
    EXPECT_EQ(find<QAction>("miAscii")->data().toInt(), 1);
    EXPECT_EQ(find<QAction>("miBinary")->data().toInt(), 2);
    EXPECT_TRUE(window->SiteListShown());
}

TEST_F(MainWindowTest, SessionCommandsAreDisabledWithoutASessionAndFrameCommandsWork)
{
    start();
    for (const char* name : kSessionCommands) {
        QObject* o = window->findChild<QObject*>(QLatin1String(name));
        ASSERT_NE(o, nullptr) << name;
        EXPECT_FALSE(isEnabled(o)) << name;
    }
    // The disconnected state must not switch them on either.
    window->UpdateSessionControls(false);
    for (const char* name : kSessionCommands)
        EXPECT_FALSE(isEnabled(window->findChild<QObject*>(QLatin1String(name)))) << name;
    for (const char* name : {"Spawnnewsession1", "SaveLayout1", "Exit1", "Help1", "Font1", "Font2", "miAuto",
                             "ExplorerButton1", "DriveComboBox1", "dlbx", "lvLoc"})
        EXPECT_TRUE(isEnabled(window->findChild<QObject*>(QLatin1String(name)))) << name;
}

TEST_F(MainWindowTest, AnsweringNoToTheQuitQuestionKeepsTheWindowAndWritesNothing)
{
    start();
    ui.answer = mb::IdNo;
    window->findChild<QAction*>(QStringLiteral("Exit1"))->trigger();
    QCoreApplication::processEvents();
    ASSERT_EQ(ui.asked.size(), 1);
    EXPECT_EQ(ui.asked[0].caption, "Attention");
    EXPECT_EQ(ui.asked[0].text, "Do you want to quit the program?");
    EXPECT_EQ(ui.asked[0].flags & 0xF, mb::YesNo);
    EXPECT_TRUE(ui.asked[0].flags & mb::IconQuestion);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(QFile::exists(optionsFile()));

    // Yes, from the Exit button this time, closes and saves.
    ui.answer = mb::IdYes;
    find<QPushButton>("ExplorerButton1")->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(ui.asked.size(), 2);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(QFile::exists(optionsFile()));
}

TEST_F(MainWindowTest, WithAskForExitOffTheWindowClosesAtOnceAndWritesEveryKey)
{
    writeOptions("[Common]\nAskForExit=0\nPassiveTransfer=1\n[Extra]\nKeepMe=yes\n");
    start();
    EXPECT_TRUE(closeWindow());
    EXPECT_TRUE(ui.asked.isEmpty());

    const TIniFile ini(optionsFile());
    const QMap<QString, QStringList> expected = {
        {"Common",
         {"ConnectionType", "TransferMode", "PassiveTransfer", "Sync", "Log", "LogFile", "LogSize", "LogLines",
          "TimeOut", "retry", "Keep", "StartKeep", "DurationKeep", "CmdKeep", "Ext", "Anonymous", "MailAno",
          "fwHost", "fwPort", "fwID", "fwPsw", "fwType", "fwSimbol", "fwEnable", "IniPath", "FontName", "FontSize",
          "FontColor", "FontStyleBold", "FontStyleItalic", "FontStyleUnderline", "FontStyleStrikeOut",
          "FontLeftName", "FontLeftSize", "FontLeftColor", "FontLeftStyleBold", "FontRightName", "FontRightSize",
          "FontRightColor", "FontRightStyleStrikeOut", "PromptDownLoad", "PromptUpLoad", "DefPrompt", "DateType",
          "TimeZone", "AskForExit", "SavePos"}},
        {"Proxy", {"Server", "Port", "Psw", "PswMask"}},
        {"Socks", {"Server", "Port", "Psw", "UC", "PswMask"}},
        {"Language", {"LangOn", "LangInit", "LangFile"}},
        {"Font Left", {"Name", "CharSet", "Color", "Style_Bold", "Style_Italic", "Style_UnderLine", "Style_StrikeOut"}},
        {"Font Right", {"Name", "CharSet", "Color", "Style_Bold", "Style_Italic", "Style_UnderLine", "Style_StrikeOut"}},
        {"SavePos", {"WindowState", "Left", "Top", "Width", "Height"}},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it)
        for (const QString& key : it.value())
            EXPECT_TRUE(ini.ValueExists(it.key(), key)) << it.key().toStdString() << "/" << key.toStdString();
    EXPECT_EQ(ini.ReadString("Common", "AskForExit", {}), "0");
    EXPECT_EQ(ini.ReadString("Common", "PassiveTransfer", {}), "1");
    EXPECT_EQ(ini.ReadString("Extra", "KeepMe", {}), "yes");
    // The list fonts are the ones the lists show.
    EXPECT_EQ(ini.ReadString("Font Left", "Name", {}), window->findChild<QTreeView*>("lvLoc")->font().family());
    // Layouts is written only by "Save Layout".
    EXPECT_FALSE(ini.SectionExists("Layouts"));
}

TEST_F(MainWindowTest, SavePosOffStartsMaximisedWhateverTheSavedPlacement)
{
    writeOptions("[Common]\nSavePos=0\n[SavePos]\nWindowState=0\nLeft=10\nTop=20\nWidth=640\nHeight=480\n");
    start();
    EXPECT_TRUE(window->isMaximized());
}

TEST_F(MainWindowTest, SavePosOnWithNormalStateRestoresBoundsAndSavesThemBack)
{
    writeOptions("[Common]\nAskForExit=0\n[SavePos]\nWindowState=0\nLeft=30\nTop=40\nWidth=900\nHeight=600\n");
    start();
    EXPECT_FALSE(window->isMaximized());
    EXPECT_EQ(window->size(), QSize(900, 600));
    EXPECT_EQ(window->pos(), QPoint(30, 40));
    ASSERT_TRUE(closeWindow());
    const TIniFile ini(optionsFile());
    EXPECT_EQ(ini.ReadInteger("SavePos", "WindowState", -1), 0);
    EXPECT_EQ(ini.ReadInteger("SavePos", "Width", -1), 900);
    EXPECT_EQ(ini.ReadInteger("SavePos", "Height", -1), 600);
    EXPECT_EQ(ini.ReadInteger("SavePos", "Left", -1), 30);
}

TEST_F(MainWindowTest, FreshInstallationStartsMaximisedAndUnknownStateMeansMaximised)
{
    start();
    EXPECT_TRUE(window->isMaximized());
    FTPOptions.AskForExit = false;
    ASSERT_TRUE(closeWindow());
    window.reset();
    writeOptions("[SavePos]\nWindowState=7\nWidth=500\nHeight=400\n");
    start();
    EXPECT_TRUE(window->isMaximized());
}

TEST_F(MainWindowTest, NormalStateWithZeroBoundsStillGivesAUsableWindow)
{
    writeOptions("[SavePos]\nWindowState=0\nLeft=0\nTop=0\nWidth=0\nHeight=0\n");
    start();
    EXPECT_FALSE(window->isMaximized());
    EXPECT_GT(window->width(), 200);
    EXPECT_GT(window->height(), 200);
}

TEST_F(MainWindowTest, AutoIsCheckedAfterEveryStartWhateverTheDefaultTransferType)
{
    writeOptions("[Common]\nTransferMode=2\nAskForExit=0\n");
    start();
    EXPECT_EQ(checkedTransferItems(*window), QStringList{"miAuto"});
    find<QAction>("miBinary")->trigger();
    EXPECT_EQ(checkedTransferItems(*window), QStringList{"miBinary"});
    EXPECT_EQ(window->TransferType(), 2);
    window->SetTransferTypeMenu(1);
    EXPECT_EQ(checkedTransferItems(*window), QStringList{"miAscii"});
    ASSERT_TRUE(closeWindow());
    window.reset();
    start();
    EXPECT_EQ(checkedTransferItems(*window), QStringList{"miAuto"});
    EXPECT_EQ(window->TransferType(), 0);
}

TEST_F(MainWindowTest, ResizingTheWindowResetsTheSplitToHalfAndHalf)
{
    writeOptions("[SavePos]\nWindowState=0\nLeft=0\nTop=0\nWidth=900\nHeight=600\n");
    start();
    auto* splitter = find<QSplitter>("Splitter1");
    auto expectHalf = [&] {
        const int client = window->centralWidget()->width();
        EXPECT_EQ(splitter->sizes().value(1), (client - splitter->handleWidth()) / 2);
    };
    expectHalf();
    // The user moves the splitter: it stays where it was put.
    const QList<int> moved = {splitter->sizes().value(0) - 40, splitter->sizes().value(1) + 40};
    splitter->setSizes(moved);
    QCoreApplication::processEvents();
    EXPECT_EQ(splitter->sizes(), moved);
    window->resize(1101, 650);
    QCoreApplication::processEvents();
    expectHalf();
}

TEST_F(MainWindowTest, SaveLayoutWritesTheLayoutsSectionAndARestartAppliesIt)
{
    writeOptions("[Common]\nAskForExit=0\n[SavePos]\nWindowState=0\nWidth=1000\nHeight=700\n");
    start();
    auto* lv = find<QTreeView>("lvLoc");
    lv->header()->resizeSection(1, 77);
    find<QTreeView>("FTPView")->header()->resizeSection(5, 55);
    find<QAction>("SaveLayout1")->trigger();
    {
        const TIniFile ini(optionsFile());
        const QStringList keys = {"LogHeight", "Local", "Ftp", "LocDirList", "LocFile", "LocSize", "LocDate",
                                  "LocTime", "FtpFile", "FtpSize", "FtpDate", "FtpTime", "FtpAttribute", "FtpLinks"};
        EXPECT_EQ(ini.ReadSection("Layouts"), keys);
        EXPECT_EQ(ini.ReadInteger("Layouts", "LocSize", 0), 77);
        EXPECT_EQ(ini.ReadInteger("Layouts", "FtpLinks", 0), 55);
        EXPECT_EQ(ini.ReadInteger("Layouts", "LogHeight", 0), find<QPlainTextEdit>("Log")->height());
    }
    ASSERT_TRUE(closeWindow());
    window.reset();

    // Change the saved sizes by hand; the next start shows them.
    TIniFile ini(optionsFile());
    ini.WriteInteger("Layouts", "LogHeight", 180);
    ini.WriteInteger("Layouts", "LocDirList", 222);
    ini.WriteInteger("Layouts", "LocDate", 91);
    ini.WriteInteger("Layouts", "FtpAttribute", 133);
    ASSERT_TRUE(ini.UpdateFile());
    start();
    EXPECT_EQ(find<QPlainTextEdit>("Log")->height(), 180);
    EXPECT_EQ(find<QFrame>("Panel4")->width(), 222);
    EXPECT_EQ(find<QTreeView>("lvLoc")->header()->sectionSize(2), 91);
    EXPECT_EQ(find<QTreeView>("FTPView")->header()->sectionSize(4), 133);
}

TEST_F(MainWindowTest, IniPathMovesTheLocalTreeAndFillsTheLocalList)
{
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    QDir(local.path()).mkdir("sub");
    QFile f(local.filePath("data.bin"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1234567, 'x'));
    f.close();
    writeOptions("[Common]\nIniPath=" + local.path().toUtf8() + "\n");
    const QString processDir = QDir::currentPath();
    start();
    EXPECT_EQ(window->LocalDir(), QDir::cleanPath(local.path()));
    // The pane's directory is the window's state, not the process's.
    EXPECT_EQ(QDir::currentPath(), processDir);
    QAbstractItemModel* m = find<QTreeView>("lvLoc")->model();
    ASSERT_EQ(m->rowCount(), 2);
    QStringList names;
    for (int r = 0; r < m->rowCount(); ++r)
        names << m->index(r, 0).data().toString();
    EXPECT_TRUE(names.contains("sub"));
    const int fileRow = int(names.indexOf("data.bin"));
    ASSERT_GE(fileRow, 0);
    EXPECT_EQ(m->index(fileRow, 1).data().toString(), "1 234 567");

    // Double click on the directory goes down into it.
    const int subRow = int(names.indexOf("sub"));
    emit find<QTreeView>("lvLoc")->doubleClicked(m->index(subRow, 0));
    EXPECT_EQ(window->LocalDir(), QDir::cleanPath(local.filePath("sub")));
    EXPECT_EQ(m->rowCount(), 0);
    // A missing IniPath leaves the tree where it is.
    EXPECT_FALSE(window->SetLocalDir(local.filePath("nope")));
    EXPECT_EQ(window->LocalDir(), QDir::cleanPath(local.filePath("sub")));
}

TEST_F(MainWindowTest, ListFontChosenByTheUserIsShownAndSaved)
{
    writeOptions("[Common]\nAskForExit=0\n");
    start();
    QFont font = find<QTreeView>("FTPView")->font();
    font.setFamily(QStringLiteral("DejaVu Serif"));
    font.setItalic(true);
    window->SetListFont(1, font);
    EXPECT_TRUE(find<QTreeView>("FTPView")->font().italic());
    EXPECT_EQ(FTPOptions.FontRight.Style & fsItalic, fsItalic);
    ASSERT_TRUE(closeWindow());
    const TIniFile ini(optionsFile());
    EXPECT_EQ(ini.ReadString("Common", "FontRightStyleItalic", {}), "1");
    EXPECT_EQ(ini.ReadString("Font Right", "Style_Italic", {}), "1");
    EXPECT_EQ(ini.ReadString("Common", "FontLeftStyleItalic", {}), "0");
}

TEST_F(MainWindowTest, DriveBoxListsTheRootFirstAndTheTreeShowsDirectories)
{
    start();
    auto* drives = find<QComboBox>("DriveComboBox1");
    ASSERT_GE(drives->count(), 1);
    EXPECT_EQ(drives->itemData(0).toString(), "/");
    auto* tree = find<QTreeView>("dlbx");
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    ASSERT_NE(model, nullptr);
    EXPECT_FALSE(model->filter() & QDir::Files);
}

TEST_F(MainWindowTest, RightPaneShowsTheSiteFoldersAndTheUserCanOpenAndLeaveThem)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("work"));
    writeOptions("");
    QFile top(dir.filePath("ftplist.TXT"));
    ASSERT_TRUE(top.open(QIODevice::WriteOnly));
    top.write("DIR=work\n");
    top.close();
    start();
    auto* view = find<QTreeView>("FTPView");
    QAbstractItemModel* m = view->model();
    ASSERT_EQ(m->rowCount(), 1);
    EXPECT_EQ(m->index(0, 0).data().toString(), "work");
    auto* path = find<QComboBox>("FTPPath");
    EXPECT_TRUE(path->isEnabled());
    EXPECT_EQ(path->count(), 1);

    // Clicking selects the site list's row; double click opens the folder:
    // ".." and the folder's name in the path box.
    view->selectionModel()->select(m->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(window->SiteList()->SelectedRow(), 0);
    emit view->doubleClicked(m->index(0, 0));
    ASSERT_EQ(m->rowCount(), 1);
    EXPECT_EQ(m->index(0, 0).data().toString(), "..");
    EXPECT_EQ(path->count(), 2);
    EXPECT_EQ(path->currentIndex(), 1);

    // The up button goes back to the top.
    find<QToolButton>("FTPOneLevelUp")->click();
    EXPECT_EQ(m->index(0, 0).data().toString(), "work");
    EXPECT_EQ(path->currentIndex(), 0);
}

TEST_F(MainWindowTest, LogLinesReachThePaneAndTheLogFileWhenEnabled)
{
    writeOptions("[Common]\nLog=1\nLogFile=session.log\nLogLines=2\n");
    start();
    window->Display("> USER anonymous");
    window->Display("< 331 Password required");
    EXPECT_EQ(find<QPlainTextEdit>("Log")->toPlainText(), "> USER anonymous\n< 331 Password required");
    // The pane keeps the last LogLines lines.
    window->Display("< 230 Logged in");
    EXPECT_EQ(find<QPlainTextEdit>("Log")->toPlainText(), "< 331 Password required\n< 230 Logged in");
    QFile f(dir.filePath("session.log"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("< 331 Password required"));
}

TEST_F(MainWindowTest, DraggingASiteOntoAnyColumnOfAFolderRowMovesItThere)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("work"));
    writeOptions("");
    TFTPServerObj site;
    site.Name = "Mover";
    site.Server = "ftp.example.org";
    QFile top(dir.filePath("ftplist.TXT"));
    ASSERT_TRUE(top.open(QIODevice::WriteOnly));
    top.write(("DIR=work\n" + SiteLine(site) + "\n").toUtf8());
    top.close();
    start();
    auto* view = find<QTreeView>("FTPView");
    EXPECT_TRUE(view->dragEnabled());
    EXPECT_EQ(view->defaultDropAction(), Qt::MoveAction);
    QAbstractItemModel* m = view->model();
    ASSERT_EQ(m->rowCount(), 2);
    const int siteRow = m->index(0, 0).data().toString() == "Mover" ? 0 : 1;
    const int folderRow = 1 - siteRow;

    // The view drags every column of the row and drops on the cell under the
    // mouse: the Date column of the folder's row counts as the folder.
    std::unique_ptr<QMimeData> data(m->mimeData({m->index(siteRow, 0), m->index(siteRow, 3)}));
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(m->flags(m->index(folderRow, 2)) & Qt::ItemIsDropEnabled);
    EXPECT_FALSE(m->flags(m->index(siteRow, 2)) & Qt::ItemIsDropEnabled);
    ASSERT_TRUE(m->dropMimeData(data.get(), Qt::MoveAction, -1, -1, m->index(folderRow, 2)));
    ASSERT_EQ(m->rowCount(), 1);
    EXPECT_EQ(m->index(0, 0).data().toString(), "work");
    QFile moved(dir.filePath("work/ftplist.TXT"));
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(moved.readAll().contains("Name=Mover"));
}
