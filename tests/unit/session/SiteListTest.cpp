// The right pane's site list as the user drives it: showing a folder, the
// selection and sorting rule, the path box, double clicks, moving a site into
// a folder, saving and the convert command, on real files.
#include "i18n/MainMessages.h"
#include "i18n/MsgLanguage.h"
#include "session/SiteList.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "settings/Options.h"
#include "sites/SiteLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class RecordingUi : public IUserInterface {
public:
    struct Box {
        QString text, caption;
        int flags;
    };
    QList<Box> boxes;
    int ShowMessageBox(const QString& text, const QString& caption, int flags) override
    {
        boxes.append({text, caption, flags});
        return mb::IdOk;
    }
    bool InputLine(const QString&, const QString&, QString&, bool, int) override { return false; }
};

class SiteListPane : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ProgramDir = WithTrailingSlash(dir.path());
        FTPOptions.MailAno = false;
        FTPOptions.TimeZone = 0;
        setUserInterface(&ui);
    }
    void TearDown() override { setUserInterface(nullptr); }

    static QByteArray site(const QString& name, const QString& server = QStringLiteral("h"),
                           const QString& password = QString())
    {
        TFTPServerObj s = CreateSite(TSiteDefaults{});
        s.Name = name;
        s.Server = server;
        s.Password = password;
        return SiteLine(s).toUtf8() + '\n';
    }
    void write(const QString& relative, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(ProgramDir + relative).path());
        QFile f(ProgramDir + relative);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray read(const QString& relative)
    {
        QFile f(ProgramDir + relative);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList rows() const
    {
        QStringList out;
        for (int i = 0; i < list.Count(); ++i)
            out += QString::number(list.ImageIndex(i)) + ':' + list.Caption(i);
        return out;
    }
    QString selected() const { return list.Caption(list.SelectedRow()); }

    QTemporaryDir dir;
    RecordingUi ui;
    TSiteList list;
};

} // namespace

TEST_F(SiteListPane, FolderIsSortedByCaptionAndTheFirstSiteOfTheFileSelected)
{
    write("ftplist.TXT", site("zeta") + "DIR=Beta\n" + site("alpha") + site("Gamma") + "DIR=archive\n");
    ASSERT_TRUE(list.ShowSiteList(QString()));
    EXPECT_EQ(rows(), (QStringList{"3:alpha", "1:archive", "1:Beta", "3:Gamma", "3:zeta"}));
    EXPECT_EQ(selected(), "zeta") << "first site of the file, not of the sorted list";
    EXPECT_EQ(list.data(list.index(2), Qt::DisplayRole).toString(), "Beta");
    EXPECT_EQ(list.data(list.index(2), TSiteList::ImageIndexRole).toInt(), imgFolder);
    EXPECT_TRUE(list.flags(list.index(0)) & Qt::ItemIsDragEnabled);
    EXPECT_TRUE(list.flags(list.index(2)) & Qt::ItemIsDropEnabled);
    EXPECT_FALSE(list.flags(list.index(0)) & Qt::ItemIsDropEnabled);
}

TEST_F(SiteListPane, TheSiteInUseIsSelectedByNameAndServer)
{
    write("ftplist.TXT", site("A", "a1") + site("B", "b1") + site("B", "b2"));
    list.CurrentSite().Name = "B";
    list.CurrentSite().Server = "b2";
    list.ShowSiteList(QString());
    ASSERT_EQ(list.SelectedRow(), 2);
    EXPECT_EQ(list.Site(2)->Server, "b2");
    list.CurrentSite().Server = "elsewhere";
    list.Refresh();
    EXPECT_EQ(list.Site(list.SelectedRow())->Server, "a1");
    write("ftplist.TXT", "DIR=only folders\n");
    list.Refresh();
    EXPECT_EQ(list.SelectedRow(), -1);
}

TEST_F(SiteListPane, FoldersOpenAndGoUpThroughDoubleClickAndPathBox)
{
    write("ftplist.TXT", site("Top") + "DIR=Work\n");
    write("Work/ftplist.TXT", site("Client") + "DIR=Deep\n");
    write("Work/Deep/ftplist.TXT", site("Bottom"));
    list.ShowSiteList(QString());
    const QString root = MainMessageTexts().at(mainmsg::ServerList) + " ...";
    EXPECT_EQ(list.PathItems(), QStringList{root});
    EXPECT_EQ(list.CurrentSiteFolder(), QString());

    list.SelectRow(list.FindCaption("Work"));
    EXPECT_EQ(list.DoubleClick(), TSiteList::DblClick::OpenedFolder);
    EXPECT_EQ(rows(), (QStringList{"0:..", "3:Client", "1:Deep"}));
    list.SelectRow(list.FindCaption("Deep"));
    list.DoubleClick();
    EXPECT_EQ(rows(), (QStringList{"0:..", "3:Bottom"}));
    EXPECT_EQ(list.PathItems(), (QStringList{root, "Work", "Deep"})) << "folder names keep their case";
    EXPECT_EQ(list.PathIndex(), 2);
    EXPECT_EQ(list.CurrentSiteFolder(), "Work/Deep/");

    list.SelectRow(0);
    EXPECT_EQ(list.DoubleClick(), TSiteList::DblClick::WentUp);
    EXPECT_EQ(list.CurrentSiteFolder(), "Work/");
    EXPECT_EQ(list.PathItems(), (QStringList{root, "Work"}));
    list.ChoosePathItem(0);
    EXPECT_EQ(rows(), (QStringList{"3:Top", "1:Work"}));
    list.OneLevelUp();  // already at the top
    EXPECT_EQ(list.CurrentSiteFolder(), QString());
    list.ChoosePathItem(7);  // no such item
    EXPECT_EQ(rows(), (QStringList{"3:Top", "1:Work"}));

    list.ShowSiteList("Work/Missing/");
    EXPECT_EQ(rows(), QStringList{"0:.."}) << "a folder without a list file is empty";
}

TEST_F(SiteListPane, FolderNamesThatLeaveTheTreeAreRefused)
{
    write("ftplist.TXT", "DIR=..\nDIR=/etc\n" + site("Stay"));
    list.ShowSiteList(QString());
    list.SelectRow(list.FindCaption(".."));
    EXPECT_EQ(list.DoubleClick(), TSiteList::DblClick::Nothing);
    EXPECT_EQ(list.CurrentSiteFolder(), QString());
    EXPECT_EQ(ui.boxes.size(), 1);
    EXPECT_FALSE(list.ShowSiteList("a/../../"));
    EXPECT_EQ(ui.boxes.size(), 2);
    EXPECT_EQ(list.Count(), 3) << "the pane keeps what it showed";
    EXPECT_FALSE(list.CanDropOn(list.FindCaption("/etc")));
}

TEST_F(SiteListPane, DoubleClickOnASiteCopiesAndNormalisesIt)
{
    write("ftplist.TXT", site("Url", "FTP://joe:pw@files.example:2121/pub", "stored"));
    list.ShowSiteList(QString());
    int chosen = 0;
    QObject::connect(&list, &TSiteList::SiteChosen, [&] { ++chosen; });
    EXPECT_EQ(list.DoubleClick(), TSiteList::DblClick::SiteChosen);
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(list.CurrentSite().Server, "files.example");
    EXPECT_EQ(list.CurrentSite().Port, "2121");
    EXPECT_EQ(list.CurrentSite().User, "joe");
    EXPECT_EQ(list.CurrentSite().Password, "pw");
    EXPECT_EQ(list.CurrentSite().InitialDir, "/pub");
    EXPECT_EQ(list.Site(0)->Server, "FTP://joe:pw@files.example:2121/pub") << "the saved site is unchanged";

    list.SelectRow(-1);
    EXPECT_EQ(list.DoubleClick(), TSiteList::DblClick::NewServerWanted);
}

TEST_F(SiteListPane, BrowsingNeverRewritesAList)
{
    const QByteArray top = site("Top") + "DIR=Work\n" + "garbage line\n";
    write("ftplist.TXT", top);
    write("Work/ftplist.TXT", site("Inner"));
    const QDateTime mtime = QFileInfo(ProgramDir + "ftplist.TXT").lastModified();
    list.ShowSiteList(QString());
    list.SelectRow(list.FindCaption("Work"));
    list.DoubleClick();
    list.OneLevelUp();
    list.SelectRow(list.FindCaption("Top"));
    list.DoubleClick();
    list.Clear();
    EXPECT_EQ(read("ftplist.TXT"), top);
    EXPECT_EQ(QFileInfo(ProgramDir + "ftplist.TXT").lastModified(), mtime);
    EXPECT_EQ(read("Work/ftplist.TXT"), site("Inner"));
}

TEST_F(SiteListPane, MovingASiteIntoAFolder)
{
    write("ftplist.TXT", site("Keep") + site("Mover", "m.example", "pw;\"x") + "DIR=Existing\nDIR=New\n");
    write("Existing/ftplist.TXT", "DIR=sub\n" + site("Already"));
    list.ShowSiteList(QString());

    // Only a site dropped on a folder moves.
    EXPECT_FALSE(list.MoveSiteIntoFolder(list.FindCaption("Existing"), list.FindCaption("New")));
    EXPECT_FALSE(list.MoveSiteIntoFolder(list.FindCaption("Keep"), list.FindCaption("Mover")));
    EXPECT_EQ(read("ftplist.TXT"), site("Keep") + site("Mover", "m.example", "pw;\"x") + "DIR=Existing\nDIR=New\n");

    list.SelectRow(list.FindCaption("Mover"));
    ASSERT_TRUE(list.MoveSelectedIntoFolder(list.FindCaption("Existing")));
    EXPECT_EQ(rows(), (QStringList{"1:Existing", "3:Keep", "1:New"}));
    EXPECT_EQ(read("Existing/ftplist.TXT"), "DIR=sub\n" + site("Already") + site("Mover", "m.example", "pw;\"x"));
    EXPECT_EQ(read("ftplist.TXT"), "DIR=Existing\n" + site("Keep") + "DIR=New\n") << "saved in the shown order";

    // A folder without a directory yet gets one.
    ASSERT_TRUE(list.MoveSiteIntoFolder(list.FindCaption("Keep"), list.FindCaption("New")));
    EXPECT_EQ(read("New/ftplist.TXT"), site("Keep"));
    list.SelectRow(list.FindCaption("Existing"));
    list.DoubleClick();
    list.SelectRow(list.FindCaption("Mover"));
    list.DoubleClick();
    EXPECT_EQ(list.CurrentSite().Password, "pw;\"x") << "the password survived the move";
    EXPECT_TRUE(ui.boxes.isEmpty());
}

TEST_F(SiteListPane, MoveStopsWhenTheFolderCannotBeMade)
{
    write("ftplist.TXT", site("S") + "DIR=blocked\n");
    write("blocked", "a file where the folder should be");
    list.ShowSiteList(QString());
    EXPECT_FALSE(list.MoveSiteIntoFolder(list.FindCaption("S"), list.FindCaption("blocked")));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(read("ftplist.TXT"), site("S") + "DIR=blocked\n");
    ASSERT_EQ(ui.boxes.size(), 1);
    EXPECT_EQ(ui.boxes[0].text, ProgramDir + "blocked:Can not create the directory");
}

TEST_F(SiteListPane, SaveReportsADirectoryThatCannotBeCreated)
{
    write("blocked", "a file");
    list.ShowSiteList("blocked/sub/");
    EXPECT_FALSE(list.SaveSiteList());
    ASSERT_EQ(ui.boxes.size(), 1);
    EXPECT_EQ(ui.boxes[0].text, ProgramDir + "blocked/sub/:Can not create the directory");
    EXPECT_EQ(ui.boxes[0].caption, "Attention");
    EXPECT_EQ(ui.boxes[0].flags, mb::IconInformation);
    EXPECT_EQ(read("blocked"), "a file");
}

TEST_F(SiteListPane, ADamagedListIsNeverOverwrittenByAnEmptyOne)
{
    // The list file exists but cannot be read (here: it is a directory).
    QDir().mkpath(ProgramDir + "odd/ftplist.TXT");
    write("ftplist.TXT", site("S") + "DIR=odd\n");
    list.ShowSiteList("odd/");
    EXPECT_FALSE(list.SaveSiteList());
    EXPECT_EQ(ui.boxes.size(), 1);
    list.ShowSiteList(QString());
    EXPECT_FALSE(list.MoveSiteIntoFolder(list.FindCaption("S"), list.FindCaption("odd")));
    EXPECT_EQ(read("ftplist.TXT"), site("S") + "DIR=odd\n");
}

TEST_F(SiteListPane, ConvertOldServerListScramblesPlainPasswordsOnce)
{
    // An older list that kept the password in plain text.
    write("ftplist.TXT", "Name=Old;Server=h;Password=abc;\n");
    list.ShowSiteList(QString());
    EXPECT_EQ(list.Site(0)->Password, ScramblePassword("abc")) << "read as if scrambled";
    ASSERT_TRUE(list.ConvertOldServerList());
    EXPECT_TRUE(read("ftplist.TXT").contains(";Password=x{z;"));
    list.Refresh();
    EXPECT_EQ(list.Site(0)->Password, "abc");
    EXPECT_TRUE(list.SaveSiteList());
    EXPECT_TRUE(read("ftplist.TXT").contains(";Password=x{z;")) << "a later save keeps it";
}

TEST_F(SiteListPane, RootItemFollowsTheMessageList)
{
    write("ftplist.TXT", "DIR=f\n");
    TMsgLanguage msl(nullptr, MainMessageTexts());
    msl.SetText(mainmsg::ServerList, "SERVERLISTE");
    list.SetMessages(&msl);
    list.ShowSiteList("f/");
    EXPECT_EQ(list.PathItems(), (QStringList{"SERVERLISTE ...", "f"}));
    write("blocked", "x");
    msl.SetText(mainmsg::CanNotCreateDir, "Verzeichnis fehlt");
    list.ShowSiteList("blocked/");
    list.SaveSiteList();
    ASSERT_EQ(ui.boxes.size(), 1);
    EXPECT_TRUE(ui.boxes[0].text.endsWith(":Verzeichnis fehlt"));
}

// What the view does on a drag and drop: the dragged site's data dropped on a
// folder item moves it; dropping on a site, between items or a folder's own
// data changes nothing.
TEST_F(SiteListPane, DragAndDropMovesASiteOntoAFolderOnly)
{
    write("ftplist.TXT", site("Keep") + site("Mover") + "DIR=Target\n");
    list.ShowSiteList(QString());
    const QModelIndex mover = list.index(list.FindCaption("Mover"));
    const QModelIndex target = list.index(list.FindCaption("Target"));
    const QModelIndex keep = list.index(list.FindCaption("Keep"));

    EXPECT_EQ(list.mimeData({target}), nullptr) << "a folder is not dragged";
    std::unique_ptr<QMimeData> data(list.mimeData({mover}));
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(list.canDropMimeData(data.get(), Qt::MoveAction, -1, -1, keep));
    EXPECT_FALSE(list.canDropMimeData(data.get(), Qt::MoveAction, 0, 0, QModelIndex()));
    EXPECT_FALSE(list.canDropMimeData(data.get(), Qt::CopyAction, -1, -1, target));
    EXPECT_FALSE(list.dropMimeData(data.get(), Qt::MoveAction, -1, -1, keep));
    EXPECT_EQ(rows(), (QStringList{"3:Keep", "3:Mover", "1:Target"}));

    ASSERT_TRUE(list.dropMimeData(data.get(), Qt::MoveAction, -1, -1, target));
    EXPECT_EQ(rows(), (QStringList{"3:Keep", "1:Target"}));
    EXPECT_EQ(read("Target/ftplist.TXT"), site("Mover"));
    // The view removes the dragged rows after a move; the model keeps them.
    EXPECT_FALSE(list.removeRows(0, 1));
    EXPECT_EQ(list.Count(), 2);
}
