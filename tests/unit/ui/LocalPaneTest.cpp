// The left pane as a user works it: browse a real temporary tree, select,
// filter, sort, switch the view, make, rename and delete folders and files,
// change the case of names, view and run files, all through the window's
// commands by object name, with the questions answered by a script.
#include "MainWindowFixture.h"

#include "session/Session.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <unistd.h>

namespace {

struct Prompt {
    QString caption, prompt, initial;
};

// Answers prompts and questions from scripts and records what was asked.
class PaneUserInterface final : public IUserInterface {
public:
    QList<int> answers;      // message box answers in order; none left: No
    QStringList inputs;      // prompt answers in order; none left: Cancel
    QList<AskedQuestion> asked;
    QList<Prompt> prompts;

    int ShowMessageBox(const QString& text, const QString& caption, int flags) override
    {
        asked.append({text, caption, flags});
        return answers.isEmpty() ? int(mb::IdNo) : answers.takeFirst();
    }
    bool InputLine(const QString& caption, const QString& prompt, QString& value, bool, int) override
    {
        prompts.append({caption, prompt, value});
        if (inputs.isEmpty())
            return false;
        value = inputs.takeFirst();
        return true;
    }
};

// Receives what the window hands to the desktop.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class LocalPaneTest : public MainWindowTest {
protected:
    QTemporaryDir tree;
    PaneUserInterface pane;

    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_TRUE(tree.isValid());
        setUserInterface(&pane);
    }

    QString at(const QString& rel) const { return tree.filePath(rel); }
    static void write(const QString& path, const QByteArray& content)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    static QByteArray read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // Starts the window in the tree.
    void open()
    {
        start();
        ASSERT_TRUE(window->SetLocalDir(tree.path()));
    }
    QTreeView* list() const { return find<QTreeView>("lvLoc"); }
    QStringList names() const
    {
        QStringList out;
        for (int r = 0; r < list()->model()->rowCount(); ++r)
            out << list()->model()->index(r, 0).data().toString();
        return out;
    }
    QStringList selectedNames() const
    {
        QStringList out;
        for (int r = 0; r < list()->model()->rowCount(); ++r)
            if (list()->selectionModel()->isRowSelected(r, {}))
                out << list()->model()->index(r, 0).data().toString();
        return out;
    }
    void pick(const QStringList& picked)
    {
        list()->selectionModel()->clearSelection();
        for (const QString& n : picked) {
            const int r = names().indexOf(n);
            ASSERT_GE(r, 0) << n.toStdString();
            list()->selectionModel()->setCurrentIndex(list()->model()->index(r, 0),
                                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    void trigger(const char* name)
    {
        auto* a = find<QAction>(name);
        ASSERT_NE(a, nullptr) << name;
        a->trigger();
    }
    bool enabled(const char* name) const
    {
        if (auto* w = find<QWidget>(name))
            return w->isEnabled();
        return find<QAction>(name)->isEnabled();
    }
    QString log() const { return find<QPlainTextEdit>("Log")->toPlainText(); }
};

} // namespace

TEST_F(LocalPaneTest, BrowsingEnablesTheFileCommandsAndSumsTheSelectedFiles)
{
    write(at("a.txt"), QByteArray(1500, 'a'));
    write(at("b.txt"), QByteArray(2048, 'b'));
    ASSERT_TRUE(QDir(tree.path()).mkdir("sub"));
    write(at("sub/inner"), "i");
    open();
    EXPECT_EQ(names(), (QStringList{"sub", "a.txt", "b.txt"}));
    EXPECT_FALSE(enabled("sbView"));
    EXPECT_FALSE(enabled("Viewfile2"));
    EXPECT_TRUE(enabled("sbDel1")) << "the tree's directory is below the root";
    EXPECT_TRUE(find<QLabel>("pnlLocInfo")->text().isEmpty());

    pick({"a.txt"});
    for (const char* name : {"sbView", "sbRun", "Viewfile2", "Rename1", "RunApplication1", "sbRen1", "sbDel1", "Delete1"})
        EXPECT_TRUE(enabled(name)) << name;
    pick({"a.txt", "b.txt", "sub"});
    // Files only: 3 548 bytes in two files; the folder adds nothing.
    EXPECT_EQ(find<QLabel>("pnlLocInfo")->text(), "3 548 byte (3 Kb) in 2 file(s)");
    pick({"sub"});
    for (const char* name : {"sbView", "sbRun", "Viewfile2", "Rename1"})
        EXPECT_FALSE(enabled(name)) << name;
    EXPECT_TRUE(find<QLabel>("pnlLocInfo")->text().isEmpty());

    // Double click on a folder enters it; Up comes back.
    emit list()->doubleClicked(list()->model()->index(0, 0));
    EXPECT_EQ(window->LocalDir(), QDir::cleanPath(at("sub")));
    EXPECT_EQ(names(), QStringList{"inner"});
    find<QToolButton>("SpeedButton4")->click();
    EXPECT_EQ(window->LocalDir(), QDir::cleanPath(tree.path()));
}

TEST_F(LocalPaneTest, SelectCommandsChangeTheSelectionInOneStepAndKeepTheirMasks)
{
    for (const char* n : {"one.txt", "two.txt", "three.bin"})
        write(at(n), "x");
    open();
    int changes = 0;
    QObject::connect(list()->selectionModel(), &QItemSelectionModel::selectionChanged, [&] { ++changes; });

    // Invert with one of three selected leaves the other two selected.
    pick({"one.txt"});
    changes = 0;
    trigger("Invert1");
    EXPECT_EQ(selectedNames(), (QStringList{"three.bin", "two.txt"}));
    EXPECT_EQ(changes, 1);

    changes = 0;
    trigger("SelectAll1");
    EXPECT_EQ(selectedNames().size(), 3);
    EXPECT_EQ(changes, 1);

    // Unselect by mask: caption "Local Filter", prompt "Mask", the last mask.
    pane.inputs = {"*.txt"};
    trigger("Unselect1");
    ASSERT_EQ(pane.prompts.size(), 1);
    EXPECT_EQ(pane.prompts[0].caption, "Local Filter");
    EXPECT_EQ(pane.prompts[0].prompt, "Mask");
    EXPECT_EQ(pane.prompts[0].initial, "*.*");
    EXPECT_EQ(selectedNames(), QStringList{"three.bin"});
    EXPECT_EQ(window->LocalSelectMask, "*.txt");

    // Select by mask: the caption without the space; cancel changes nothing.
    list()->selectionModel()->clearSelection();
    pane.inputs = {"t*.*"};
    trigger("Mask1");
    EXPECT_EQ(pane.prompts[1].caption, "LocalFilter");
    EXPECT_EQ(pane.prompts[1].initial, "*.txt");
    EXPECT_EQ(selectedNames(), (QStringList{"three.bin", "two.txt"}));
    trigger("Mask1");
    EXPECT_EQ(selectedNames(), (QStringList{"three.bin", "two.txt"}));

    // Ctrl+A on the local list selects every item; on the site list nothing.
    list()->selectionModel()->clearSelection();
    QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QCoreApplication::sendEvent(list(), &ctrlA);
    EXPECT_EQ(selectedNames().size(), 3);
    auto* remote = find<QTreeView>("FTPView");
    QKeyEvent ctrlA2(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QCoreApplication::sendEvent(remote, &ctrlA2);
    EXPECT_TRUE(remote->selectionModel()->selectedRows().isEmpty());
}

TEST_F(LocalPaneTest, FilterSortingAndViewStyleMenus)
{
    write(at("big.txt"), QByteArray(3000, 'x'));
    write(at("small.txt"), "x");
    write(at("other.bin"), QByteArray(200, 'x'));
    ASSERT_TRUE(QDir(tree.path()).mkdir("dir.d"));
    open();

    pane.inputs = {"*.txt"};
    trigger("Filter1");
    EXPECT_EQ(pane.prompts.value(0).caption, "Local Filter");
    EXPECT_EQ(window->LocalFilterMask, "*.txt");
    EXPECT_EQ(names(), (QStringList{"dir.d", "big.txt", "small.txt"}));

    // By size twice: smaller first, then reversed; the directory stays first.
    trigger("Bysize4");
    EXPECT_EQ(names(), (QStringList{"dir.d", "small.txt", "big.txt"}));
    trigger("Bysize4");
    EXPECT_EQ(names(), (QStringList{"dir.d", "big.txt", "small.txt"}));
    trigger("Byname4");
    EXPECT_EQ(names(), (QStringList{"dir.d", "small.txt", "big.txt"})) << "names first sort descending";
    EXPECT_FALSE(find<QAction>("Byextension4")->isVisible());

    // View styles: details shows the header and every column, the others
    // names only; large icons are 32 px.
    trigger("Details2");
    EXPECT_FALSE(list()->isHeaderHidden());
    EXPECT_FALSE(list()->isColumnHidden(3));
    trigger("List2");
    EXPECT_TRUE(list()->isHeaderHidden());
    EXPECT_TRUE(list()->isColumnHidden(1));
    trigger("LargeIcons2");
    EXPECT_EQ(list()->iconSize(), QSize(32, 32));
    trigger("SmallIcons2");
    EXPECT_EQ(list()->iconSize(), QSize(16, 16));

    // The remote filter waits for a connection: no prompt from the site list.
    trigger("Filter4");
    EXPECT_EQ(pane.prompts.size(), 1);
}

TEST_F(LocalPaneTest, MakeDirectoryMovesTheTreeIntoTheNewFolder)
{
    open();
    pane.inputs = {"made here"};
    find<QToolButton>("sbMkd1")->click();
    ASSERT_EQ(pane.prompts.size(), 1);
    EXPECT_EQ(pane.prompts[0].caption, "Create Directory");
    EXPECT_EQ(pane.prompts[0].prompt, "Enter new directory name:");
    EXPECT_TRUE(QFileInfo(at("made here")).isDir());
    EXPECT_EQ(window->LocalDir(), QDir::cleanPath(at("made here")));

    // A name that would leave the directory is refused with a log line.
    pane.inputs = {"../up"};
    trigger("MakeDirectory1");
    EXPECT_FALSE(QFileInfo::exists(at("up")));
    EXPECT_TRUE(log().contains("Could not create the folder")) << log().toStdString();
}

TEST_F(LocalPaneTest, RenameAsksBeforeReplacingAndNeverActsOnACaseChangeAlone)
{
    write(at("a.txt"), "from a");
    write(at("b.txt"), "from b");
    open();
    pick({"a.txt"});

    pane.inputs = {"A.TXT"};
    find<QToolButton>("sbRen1")->click();
    EXPECT_EQ(pane.prompts.value(0).caption, "Rename");
    EXPECT_EQ(pane.prompts.value(0).prompt, "Enter new name:");
    EXPECT_EQ(pane.prompts.value(0).initial, "a.txt");
    EXPECT_TRUE(pane.asked.isEmpty());
    EXPECT_EQ(read(at("a.txt")), "from a");

    pane.inputs = {"b.txt"};
    pane.answers = {mb::IdNo};
    trigger("Rename1");
    ASSERT_EQ(pane.asked.size(), 1);
    EXPECT_EQ(pane.asked[0].text, "File already exists :b.txt\r\nRewrite?");
    EXPECT_EQ(pane.asked[0].caption, "Attention");
    EXPECT_EQ(read(at("b.txt")), "from b");

    pane.inputs = {"b.txt"};
    pane.answers = {mb::IdYes};
    pick({"a.txt"});
    trigger("Rename1");
    EXPECT_EQ(read(at("b.txt")), "from a");
    EXPECT_FALSE(QFileInfo::exists(at("a.txt")));
    EXPECT_EQ(names(), QStringList{"b.txt"});
}

TEST_F(LocalPaneTest, DeleteCountsEverythingBelowAndSparesWhatLinksPointTo)
{
    QTemporaryDir outside;
    write(outside.filePath("keep.txt"), "keep");
    QDir(tree.path()).mkpath("sub/deeper");
    write(at("sub/f1"), "1");
    write(at("sub/deeper/f2"), "2");
    write(at("top.txt"), "t");
    ASSERT_EQ(symlink(outside.path().toUtf8().constData(), at("sub/to-outside").toUtf8().constData()), 0);
    open();
    pick({"sub", "top.txt"});

    pane.answers = {mb::IdNo};
    find<QToolButton>("sbDel1")->click();
    ASSERT_EQ(pane.asked.size(), 1);
    // top.txt, f1, f2 and the link; sub and deeper.
    EXPECT_EQ(pane.asked[0].text, "Do you wish to remove 4 file(s) and 2 folder(es)");
    EXPECT_EQ(pane.asked[0].caption, "Attention");
    EXPECT_TRUE(QFileInfo::exists(at("sub/deeper/f2")));

    pane.answers = {mb::IdYes};
    trigger("Delete1");
    EXPECT_FALSE(QFileInfo::exists(at("sub")));
    EXPECT_FALSE(QFileInfo::exists(at("top.txt")));
    EXPECT_EQ(read(outside.filePath("keep.txt")), "keep");
    EXPECT_TRUE(names().isEmpty());
}

TEST_F(LocalPaneTest, DeleteWithNothingSelectedRemovesTheTreesFolderAndGoesUp)
{
    QDir(tree.path()).mkpath("gone/inner");
    write(at("gone/inner/f"), "f");
    write(at("stays.txt"), "s");
    open();
    ASSERT_TRUE(window->SetLocalDir(at("gone")));
    ASSERT_TRUE(list()->selectionModel()->selectedRows().isEmpty());
    pane.answers = {mb::IdYes};
    find<QToolButton>("sbDel1")->click();
    ASSERT_EQ(pane.asked.size(), 1);
    EXPECT_EQ(pane.asked[0].text, "Do you wish to remove 1 file(s) and 2 folder(es)");
    EXPECT_FALSE(QFileInfo::exists(at("gone")));
    EXPECT_EQ(window->LocalDir(), QDir::cleanPath(tree.path()));
    EXPECT_EQ(names(), QStringList{"stays.txt"});
}

TEST_F(LocalPaneTest, ChangeCaseRenamesSelectedItemsButNeverOntoAnotherEntrysName)
{
    write(at("MY FILE.TXT"), "m");
    write(at("README"), "upper");
    write(at("readme"), "lower");
    open();
    pick({"MY FILE.TXT", "README"});
    trigger("Assentence1");
    EXPECT_EQ(read(at("My file.txt")), "m");
    EXPECT_TRUE(names().contains("My file.txt"));
    // README -> Readme is free: renamed too.
    EXPECT_EQ(read(at("Readme")), "upper");

    pick({"Readme"});
    trigger("lowercase1");
    EXPECT_EQ(read(at("readme")), "lower") << "the other entry was replaced";
    EXPECT_TRUE(names().contains("Readme")) << "the caption changes only after a rename";
    EXPECT_TRUE(log().contains("another entry already has that name")) << log().toStdString();
}

TEST_F(LocalPaneTest, ViewHandsTheFileToTheDesktopAndRunStartsAProgramInThePanesDirectory)
{
    write(at("notes.txt"), "text");
    write(at("run.sh"), "#!/bin/sh\npwd > ran-here.txt\n");
    ASSERT_TRUE(QFile::setPermissions(at("run.sh"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    open();
    OpenedUrls opened;
    QDesktopServices::setUrlHandler("file", &opened, "open");
    pick({"notes.txt"});
    find<QToolButton>("sbView")->click();
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(at("notes.txt"))});

    const QString processDir = QDir::currentPath();
    pick({"run.sh"});
    find<QToolButton>("sbRun")->click();
    ASSERT_TRUE(testenv::waitFor([&] { return read(at("ran-here.txt")).trimmed() == QDir(tree.path()).canonicalPath().toUtf8(); }, 10000))
        << read(at("ran-here.txt")).toStdString();
    EXPECT_EQ(QDir::currentPath(), processDir);
}

TEST_F(LocalPaneTest, PopupOffersThePanesCommandsAndSubmenus)
{
    open();
    auto* popup = find<QMenu>("PopupMenu1");
    ASSERT_NE(popup, nullptr);
    QStringList items;
    for (QAction* a : popup->actions())
        items << (a->menu() ? a->menu()->objectName() : a->objectName());
    for (const char* name : {"UploadSelectedFiles1", "Viewfile2", "RunApplication1", "MakeDirectory1", "Rename1",
                             "Delete1", "Select1", "Filter1", "ChangeCase1", "Sorting1", "MenuItem11", "Refresh1"})
        EXPECT_TRUE(items.contains(QLatin1String(name))) << name;
    // The remote submenus are in the FTP - Server menu for the remote popup.
    for (const char* name : {"Select2", "Sorting2", "View2", "ChangeCase2"})
        EXPECT_NE(find<QMenu>(name), nullptr) << name;
    EXPECT_EQ(find<QAction>("Assentence3")->data().toInt(), 2);
}

#include "LocalPaneTest.moc"
