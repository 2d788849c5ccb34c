// Transfers from the window against real servers: the Upload and Download
// buttons and menu items, drags of rows between the panes, the overwrite
// prompt answered in the real dialog, Stop from the progress window, and the
// Transfer Type menu, watched the way the user sees them (both lists, the
// progress window, the controls' states, the log).
#include "MainWindowServerFixture.h"
#include "ModalAnswerer.h"

#include "FtpServers.h"
#include "listing/PaneListModel.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "sites/SiteLine.h"
#include "ui/TFReWrite.h"
#include "ui/TProgress.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>

namespace {

// The TLS kinds require explicit TLS for the login and every data
// connection (vsftpd also insists that each data connection resumes the
// control connection's TLS session).
enum class Kind { PyftpdlibPassive, VsftpdPassive, VsftpdActive, PyftpdlibTls, VsftpdTlsPassive, VsftpdTlsActive };

bool isTls(Kind kind)
{
    return kind == Kind::PyftpdlibTls || kind == Kind::VsftpdTlsPassive || kind == Kind::VsftpdTlsActive;
}

// The real overwrite prompt, as the program's own user interface shows it.
class PromptingUserInterface final : public IUserInterface {
public:
    int ShowMessageBox(const QString&, const QString&, int) override { return mb::IdNo; }
    bool InputLine(const QString&, const QString&, QString&, bool, int) override { return false; }
    int AskReWrite(QString& name) override { return ::AskReWrite(name, QApplication::activeWindow()); }
    // The fixture's self-signed certificate, taken for this session only.
    int AskCertificate(const TTlsCertificateInfo&) override
    {
        ++certificatesShown;
        return certanswer::AcceptOnce;
    }
    int certificatesShown = 0;
};

class TransfersFromTheWindow : public MainWindowServerTest {
protected:
    PromptingUserInterface prompting;
    // What the session reported, and what the window showed meanwhile.
    int filesStarted = 0, batchesEnded = 0, progressEvents = 0;
    bool progressShownAtEveryFile = true;
    bool transferCommandsEnabledDuringBatch = false;
    std::function<void()> onFirstProgress;
    std::function<void(int units)> onEveryProgress;

    bool connectTo(Kind kind)
    {
        QString error;
        bool ok = false;
        switch (kind) {
        case Kind::PyftpdlibPassive: ok = server.startPyftpdlib(&error); break;
        case Kind::VsftpdPassive:
        case Kind::VsftpdActive: ok = server.startVsftpd(&error); break;
        case Kind::PyftpdlibTls: ok = server.startPyftpdlibTls({}, &error); break;
        case Kind::VsftpdTlsPassive:
        case Kind::VsftpdTlsActive: ok = server.startVsftpdTls({}, &error); break;
        }
        if (!ok) {
            ADD_FAILURE() << error.toStdString();
            return false;
        }
        // Plain FTP unless the kind is TLS: the dialogue some tests read has no AUTH TLS.
        writeSite(QStringLiteral("Test server"), isTls(kind) ? 2 : 0,
                  kind != Kind::VsftpdActive && kind != Kind::VsftpdTlsActive);
        start();
        if (!window)
            return false;
        if (isTls(kind))
            setUserInterface(&prompting);
        EXPECT_TRUE(window->SetLocalDir(local.path()));
        watchSession();
        window->SiteList()->SelectRow(window->SiteList()->FindCaption(QStringLiteral("Test server")));
        find<QToolButton>("sbConnect")->click();
        const bool up = idle();
        EXPECT_TRUE(up) << log();
        return up;
    }

    void watchSession()
    {
        TSession* s = session();
        QObject::connect(s, &TSession::TransferFileStarted, window.get(), [this] {
            ++filesStarted;
            // The window opens the progress window before this runs.
            progressShownAtEveryFile = progressShownAtEveryFile && ProgressWindow() && ProgressWindow()->isVisible();
            for (const char* name : {"SpeedButton1", "SpeedButton2"})
                transferCommandsEnabledDuringBatch |= find<QToolButton>(name)->isEnabled();
            for (const char* name : {"UploadSelectedFiles1", "DownloadSelectedFiles1"})
                transferCommandsEnabledDuringBatch |= find<QAction>(name)->isEnabled();
        });
        QObject::connect(s, &TSession::TransferProgress, window.get(), [this](int units) {
            if (++progressEvents == 1 && onFirstProgress)
                onFirstProgress();
            if (onEveryProgress)
                onEveryProgress(units);
        });
        QObject::connect(s, &TSession::TransferBatchEnded, window.get(), [this] { ++batchesEnded; });
    }

    // Waits for the end of the next batch and for the list after it.
    bool batchDone(int batches)
    {
        return testenv::waitFor([&] { return batchesEnded >= batches; }, 60000) && idle()
               && testenv::waitFor([] { return ProgressWindow() == nullptr; }, 5000);
    }

    // The drag's payload as the source list makes it: the named rows of the
    // pane's own model.
    static std::unique_ptr<QMimeData> dragOf(QAbstractItemModel* model, const QStringList& wanted)
    {
        QModelIndexList rows;
        for (int r = 0; r < model->rowCount(); ++r)
            if (wanted.contains(model->index(r, 0).data().toString()))
                rows << model->index(r, 0);
        return std::unique_ptr<QMimeData>(model->mimeData(rows));
    }
    QAbstractItemModel* localModel() const { return window->findChild<QAbstractItemModel*>("lvLocModel"); }
    QAbstractItemModel* remoteModel() const { return session()->RemoteModel(); }

    // Enter, move and drop on the list's viewport as a drag would; true when
    // every step was accepted.
    static bool dropOn(QTreeView* view, const QMimeData* data)
    {
        const QPoint at = view->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(view->viewport(), &enter);
        if (!enter.isAccepted())
            return false;
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        move.setAccepted(false);
        QApplication::sendEvent(view->viewport(), &move);
        if (!move.isAccepted())
            return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        drop.setAccepted(false);
        QApplication::sendEvent(view->viewport(), &drop);
        return drop.isAccepted();
    }

    void makeServerFiles(const QMap<QString, QByteArray>& files)
    {
        for (auto it = files.begin(); it != files.end(); ++it)
            writeFile(server.dataDir() + "/" + it.key(), it.value());
        // vsftpd serves anonymous sessions as an account of its own.
        QProcess::execute("chmod", {"-R", "a+rwX", server.dataDir()});
    }
};

class TransfersOnEachServer : public TransfersFromTheWindow, public ::testing::WithParamInterface<Kind> {};

TEST_P(TransfersOnEachServer, ButtonsAndMenuItemsCopyFilesAndFoldersBothWays)
{
    if (!connectTo(GetParam()))
        return;
    makeServerFiles({{"a.txt", "remote a\n"},
                     {"b.txt", "remote b\n"},
                     {"tree/inner.bin", QByteArray(70000, 'i')},
                     {"tree/sub/deep.txt", "deep\n"}});
    find<QAction>("Refresh3")->trigger();
    ASSERT_TRUE(testenv::waitFor([&] { return names(remoteView()).contains("tree"); }, 10000)) << log();
    ASSERT_TRUE(idle());
    EXPECT_TRUE(find<QToolButton>("SpeedButton1")->isEnabled());
    EXPECT_TRUE(find<QToolButton>("SpeedButton2")->isEnabled());

    // A file and a folder by the Download button.
    select(remoteView(), {"a.txt", "tree"});
    find<QToolButton>("SpeedButton2")->click();
    ASSERT_TRUE(batchDone(1)) << log();
    EXPECT_EQ(contents(local.filePath("a.txt")), "remote a\n");
    EXPECT_EQ(contents(local.filePath("tree/inner.bin")), QByteArray(70000, 'i'));
    EXPECT_EQ(contents(local.filePath("tree/sub/deep.txt")), "deep\n");
    EXPECT_TRUE(testenv::waitFor([&] { return names(localView()).contains("tree"); }));
    EXPECT_TRUE(names(localView()).contains("a.txt"));
    EXPECT_EQ(filesStarted, 3);
    EXPECT_TRUE(progressShownAtEveryFile);
    EXPECT_FALSE(transferCommandsEnabledDuringBatch) << "Upload/Download stay enabled while a batch runs";
    EXPECT_TRUE(find<QToolButton>("SpeedButton2")->isEnabled());
    EXPECT_FALSE(window->SiteListShown());

    // The FTP - Server menu's Download Selected Files.
    select(remoteView(), {"b.txt"});
    find<QAction>("DownloadSelectedFiles1")->trigger();
    ASSERT_TRUE(batchDone(2)) << log();
    EXPECT_EQ(contents(local.filePath("b.txt")), "remote b\n");
    EXPECT_TRUE(testenv::waitFor([&] { return names(localView()).contains("b.txt"); }));

    // A local file and folder by the Upload button.
    writeFile(local.filePath("up1.txt"), "local one\n");
    writeFile(local.filePath("updir/x.bin"), QByteArray(5000, 'x'));
    writeFile(local.filePath("up2.txt"), "local two\n");
    ASSERT_TRUE(window->SetLocalDir(local.path()));
    select(localView(), {"up1.txt", "updir"});
    find<QToolButton>("SpeedButton1")->click();
    ASSERT_TRUE(batchDone(3)) << log();
    EXPECT_EQ(contents(server.dataDir() + "/up1.txt"), "local one\n");
    EXPECT_EQ(contents(server.dataDir() + "/updir/x.bin"), QByteArray(5000, 'x'));
    EXPECT_TRUE(names(remoteView()).contains("up1.txt"));
    EXPECT_TRUE(names(remoteView()).contains("updir"));

    // The local popup's Upload Selected Files.
    select(localView(), {"up2.txt"});
    find<QAction>("UploadSelectedFiles1")->trigger();
    ASSERT_TRUE(batchDone(4)) << log();
    EXPECT_EQ(contents(server.dataDir() + "/up2.txt"), "local two\n");
    EXPECT_TRUE(names(remoteView()).contains("up2.txt"));
    EXPECT_EQ(filesStarted, 7) << log();
    EXPECT_TRUE(progressShownAtEveryFile);
    EXPECT_FALSE(transferCommandsEnabledDuringBatch);
    if (isTls(GetParam())) {
        // The certificate was asked about once, at the login: every data
        // connection of the trees went through the same trusted session.
        EXPECT_EQ(prompting.certificatesShown, 1) << log();
        EXPECT_TRUE(logText().contains("! Encrypted connection: TLS")) << log();
        const QString text = logText();
        EXPECT_GE(text.indexOf("> AUTH TLS"), 0) << log();
        EXPECT_LT(text.indexOf("> AUTH TLS"), text.indexOf("> USER")) << log();
    }
}

INSTANTIATE_TEST_SUITE_P(RealServers, TransfersOnEachServer,
                         ::testing::Values(Kind::PyftpdlibPassive, Kind::VsftpdPassive, Kind::VsftpdActive,
                                           Kind::PyftpdlibTls, Kind::VsftpdTlsPassive, Kind::VsftpdTlsActive),
                         [](const auto& info) {
                             switch (info.param) {
                             case Kind::PyftpdlibPassive: return std::string("PyftpdlibPassive");
                             case Kind::VsftpdPassive: return std::string("VsftpdPassive");
                             case Kind::VsftpdActive: return std::string("VsftpdActive");
                             case Kind::PyftpdlibTls: return std::string("PyftpdlibTls");
                             case Kind::VsftpdTlsPassive: return std::string("VsftpdTlsPassive");
                             default: return std::string("VsftpdTlsActive");
                             }
                         });

TEST_F(TransfersFromTheWindow, RowsDroppedOnTheOtherListAreCopiedAndOtherDropsAreRefused)
{
    // Before connecting the right pane shows the sites: no upload by drop.
    writeFile(local.filePath("dropped.txt"), "dropped up\n");
    if (!connectTo(Kind::PyftpdlibPassive))
        return;
    ASSERT_TRUE(window->SetLocalDir(local.path()));
    find<QToolButton>("sbDisConnect")->click();
    ASSERT_TRUE(testenv::waitFor([&] { return window->SiteListShown(); }, 10000));
    auto up = dragOf(localModel(), {"dropped.txt"});
    ASSERT_NE(up, nullptr);
    EXPECT_FALSE(dropOn(remoteView(), up.get()));
    window->SiteList()->SelectRow(window->SiteList()->FindCaption(QStringLiteral("Test server")));
    find<QToolButton>("sbConnect")->click();
    ASSERT_TRUE(idle()) << log();
    EXPECT_EQ(filesStarted, 0);
    EXPECT_FALSE(QFileInfo::exists(server.dataDir() + "/dropped.txt"));

    makeServerFiles({{"down.txt", "dragged down\n"}, {"later.txt", "later\n"}});
    find<QAction>("Refresh3")->trigger();
    ASSERT_TRUE(testenv::waitFor([&] { return names(remoteView()).contains("later.txt"); }, 10000)) << log();
    ASSERT_TRUE(idle());

    // Remote rows on the local list download; local rows on the remote list upload.
    auto down = dragOf(remoteModel(), {"down.txt"});
    EXPECT_TRUE(dropOn(localView(), down.get()));
    ASSERT_TRUE(batchDone(1)) << log();
    EXPECT_EQ(contents(local.filePath("down.txt")), "dragged down\n");
    up = dragOf(localModel(), {"dropped.txt"});
    EXPECT_TRUE(dropOn(remoteView(), up.get()));
    ASSERT_TRUE(batchDone(2)) << log();
    EXPECT_EQ(contents(server.dataDir() + "/dropped.txt"), "dropped up\n");
    EXPECT_TRUE(names(remoteView()).contains("dropped.txt"));

    // A list's rows dropped on the same list copy nothing.
    const int started = filesStarted;
    auto remoteRows = dragOf(remoteModel(), {"later.txt"});
    EXPECT_FALSE(dropOn(remoteView(), remoteRows.get()));
    auto localRows = dragOf(localModel(), {"dropped.txt"});
    EXPECT_FALSE(dropOn(localView(), localRows.get()));

    // While a batch runs a drop is refused.
    select(remoteView(), {"down.txt"});
    QFile::remove(local.filePath("down.txt"));
    find<QToolButton>("SpeedButton2")->click();
    ASSERT_TRUE(session()->Busy());
    EXPECT_FALSE(dropOn(localView(), remoteRows.get()));
    ASSERT_TRUE(batchDone(3)) << log();
    EXPECT_EQ(filesStarted, started + 1);
    EXPECT_FALSE(QFileInfo::exists(local.filePath("later.txt")));
}

TEST_F(TransfersFromTheWindow, TheSiteListStillTakesItsOwnDragsOfSites)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("work"));
    TFTPServerObj site;
    site.Name = "Mover";
    site.Server = "ftp.example.org";
    writeFile(dir.filePath("ftplist.TXT"), ("DIR=work\n" + SiteLine(site) + "\n").toUtf8());
    start();
    QTreeView* view = remoteView();
    QAbstractItemModel* m = view->model();
    ASSERT_EQ(m->rowCount(), 2);
    const int siteRow = m->index(0, 0).data().toString() == "Mover" ? 0 : 1;
    std::unique_ptr<QMimeData> data(m->mimeData({m->index(siteRow, 0)}));
    ASSERT_NE(data, nullptr);
    // The drop filter of the remote list lets a drag of sites through to the list.
    const QPoint at = view->visualRect(m->index(1 - siteRow, 0)).center();
    QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(view->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
}

TEST_F(TransfersFromTheWindow, TheOverwritePromptDecidesForAnExistingLocalFile)
{
    setUserInterface(&prompting);
    if (!connectTo(Kind::PyftpdlibPassive))
        return;
    makeServerFiles({{"same.txt", "from the server\n"}});
    find<QAction>("Refresh3")->trigger();
    ASSERT_TRUE(testenv::waitFor([&] { return names(remoteView()).contains("same.txt"); }, 10000)) << log();
    ASSERT_TRUE(idle());
    writeFile(local.filePath("same.txt"), "mine\n");
    auto download = [&](int batch) {
        select(remoteView(), {"same.txt"});
        find<QToolButton>("SpeedButton2")->click();
        return batchDone(batch);
    };
    auto press = [](const char* button) {
        return [button](TFReWrite* f) { f->findChild<QPushButton*>(QLatin1String(button))->click(); };
    };

    {
        ModalAnswerer<TFReWrite> skip(press("BitBtn3"));
        ASSERT_TRUE(download(1)) << log();
        EXPECT_EQ(skip.shown, 1);
    }
    EXPECT_EQ(contents(local.filePath("same.txt")), "mine\n");
    EXPECT_EQ(filesStarted, 0);

    {
        // Escape is Cancel: never Resume, which would append to the file.
        ModalAnswerer<TFReWrite> escape([](TFReWrite* f) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(f, &key);
        });
        ASSERT_TRUE(download(2)) << log();
        EXPECT_EQ(escape.shown, 1);
    }
    EXPECT_EQ(contents(local.filePath("same.txt")), "mine\n");
    EXPECT_EQ(filesStarted, 0);

    {
        ModalAnswerer<TFReWrite> overwrite(press("BitBtn1"));
        ASSERT_TRUE(download(3)) << log();
        EXPECT_EQ(overwrite.shown, 1);
    }
    EXPECT_EQ(contents(local.filePath("same.txt")), "from the server\n");
    EXPECT_EQ(filesStarted, 1);
    EXPECT_TRUE(session()->Ftp1().Connected());
}

// Two files of 50 MB each: Cancel in the progress window at the first
// progress of the first ends the batch before the second starts.
TEST_F(TransfersFromTheWindow, CancelInTheProgressWindowEndsTheBatchCleanly)
{
    if (!connectTo(Kind::VsftpdPassive))
        return;
    const QByteArray big(50 * 1024 * 1024, 'b');
    makeServerFiles({{"big1.bin", big}, {"big2.bin", big}});
    // An old time on the server: a copy that was cut short must not get it.
    const QDateTime old(QDate(2020, 1, 1), QTime(12, 0));
    for (const char* name : {"big1.bin", "big2.bin"}) {
        QFile f(server.dataDir() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite | QIODevice::Append));
        ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    find<QAction>("Refresh3")->trigger();
    ASSERT_TRUE(testenv::waitFor([&] { return names(remoteView()).contains("big2.bin"); }, 10000)) << log();
    ASSERT_TRUE(idle());

    const QString shots = qEnvironmentVariable("VARNOTH_SCREENSHOT_DIR");
    bool shot = shots.isEmpty();
    onEveryProgress = [&](int units) {
        TProgress* w = ProgressWindow();
        if (shot || !w || units < w->ProgressBar->maximum() / 10)
            return;
        // The main window with the progress window over it, as a user sees
        // them a tenth into the file (on loopback that much passes within one
        // redraw interval, so the window is brought up to date first).
        shot = true;
        w->setProgress(units);
        QPixmap main = window->grab();
        const QPixmap progress = w->grab();
        QPainter p(&main);
        p.drawPixmap((main.width() - progress.width()) / 2, (main.height() - progress.height()) / 2, progress);
        p.end();
        main.save(shots + "/screenshot-transfer.png");
    };
    onFirstProgress = [&] {
        TProgress* w = ProgressWindow();
        ASSERT_NE(w, nullptr);
        // The window the main window opened keeps its names for a screen reader.
        EXPECT_FALSE(w->ProgressBar->accessibleName().isEmpty());
        EXPECT_FALSE(w->CancelBtn->text().isEmpty() && w->CancelBtn->accessibleName().isEmpty());
        w->CancelBtn->click();
    };
    select(remoteView(), {"big1.bin", "big2.bin"});
    find<QToolButton>("SpeedButton2")->click();
    ASSERT_TRUE(batchDone(1)) << log();
    EXPECT_GT(progressEvents, 0);
    EXPECT_EQ(filesStarted, 1);
    // The file under way was cut off at the Stop and kept its local time.
    const QString cut = local.filePath(QFileInfo::exists(local.filePath("big1.bin")) ? "big1.bin" : "big2.bin");
    EXPECT_LT(QFileInfo(cut).size(), big.size());
    EXPECT_NE(QFileInfo(cut).lastModified().date().year(), 2020);
    EXPECT_TRUE(logText().contains(QFileInfo(cut).fileName() + " may be incomplete")) << log();
    EXPECT_EQ(int(QFileInfo::exists(local.filePath("big1.bin"))) + int(QFileInfo::exists(local.filePath("big2.bin"))), 1);
    EXPECT_EQ(ProgressWindow(), nullptr);
    EXPECT_FALSE(session()->Busy());
    EXPECT_TRUE(session()->Ftp1().Connected());
    EXPECT_FALSE(window->SiteListShown());
    EXPECT_TRUE(names(remoteView()).contains("big1.bin"));
    EXPECT_TRUE(find<QToolButton>("SpeedButton2")->isEnabled());
}

// The same Stop during an upload: the file cut short on the server is not
// given the local file's time, and the list shows the server's state.
TEST_F(TransfersFromTheWindow, CancelDuringAnUploadLeavesTheCutFileWithoutTheLocalTime)
{
    if (!connectTo(Kind::VsftpdPassive))
        return;
    const QByteArray big(50 * 1024 * 1024, 'u');
    writeFile(local.filePath("up1.bin"), big);
    writeFile(local.filePath("up2.bin"), big);
    const QDateTime old(QDate(2020, 1, 1), QTime(12, 0));
    for (const char* name : {"up1.bin", "up2.bin"}) {
        QFile f(local.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite | QIODevice::Append));
        ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(window->SetLocalDir(local.path()));
    onFirstProgress = [] { ProgressWindow()->CancelBtn->click(); };
    select(localView(), {"up1.bin", "up2.bin"});
    find<QToolButton>("SpeedButton1")->click();
    ASSERT_TRUE(batchDone(1)) << log();
    EXPECT_EQ(filesStarted, 1);
    const QString cut = server.dataDir() + "/up1.bin";
    EXPECT_LT(QFileInfo(cut).size(), big.size());
    EXPECT_NE(QFileInfo(cut).lastModified().date().year(), 2020);
    EXPECT_FALSE(QFileInfo::exists(server.dataDir() + "/up2.bin"));
    EXPECT_FALSE(logText().contains("> MFMT") || logText().contains("> MDTM")) << log();
    EXPECT_TRUE(testenv::waitFor([&] { return names(remoteView()).contains("up1.bin"); }));
    EXPECT_FALSE(session()->Busy());
    EXPECT_TRUE(session()->Ftp1().Connected());
}

TEST_F(TransfersFromTheWindow, AProgressWindowClosedMidBatchIsNotUsedAgain)
{
    if (!connectTo(Kind::VsftpdPassive))
        return;
    const QByteArray big(50 * 1024 * 1024, 'c');
    makeServerFiles({{"big.bin", big}, {"small.txt", "small\n"}});
    find<QAction>("Refresh3")->trigger();
    ASSERT_TRUE(testenv::waitFor([&] { return names(remoteView()).contains("big.bin"); }, 10000)) << log();
    ASSERT_TRUE(idle());
    onFirstProgress = [] { ProgressWindow()->close(); };
    select(remoteView(), {"big.bin", "small.txt"});
    find<QToolButton>("SpeedButton2")->click();
    ASSERT_TRUE(batchDone(1)) << log();
    EXPECT_EQ(filesStarted, 2);
    EXPECT_EQ(QFileInfo(local.filePath("big.bin")).size(), big.size());
    EXPECT_EQ(contents(local.filePath("small.txt")), "small\n");
    EXPECT_EQ(ProgressWindow(), nullptr);
    EXPECT_TRUE(session()->Ftp1().Connected());
}

TEST_F(TransfersFromTheWindow, TheTransferTypeMenuReachesTheEngine)
{
    if (!connectTo(Kind::PyftpdlibPassive))
        return;
    find<QAction>("miAscii")->trigger();
    EXPECT_EQ(session()->TransferType(), 1);
    find<QAction>("miBinary")->trigger();
    EXPECT_EQ(session()->TransferType(), 2);
    find<QAction>("miAuto")->trigger();
    EXPECT_EQ(session()->TransferType(), 0);

    // Binary first, so the ASCII upload has to change the type.
    writeFile(local.filePath("first.dat"), "binary\n");
    writeFile(local.filePath("notes.dat"), "text line\n");
    ASSERT_TRUE(window->SetLocalDir(local.path()));
    find<QAction>("miBinary")->trigger();
    select(localView(), {"first.dat"});
    find<QToolButton>("SpeedButton1")->click();
    ASSERT_TRUE(batchDone(1)) << log();
    find<QAction>("miAscii")->trigger();
    select(localView(), {"notes.dat"});
    find<QToolButton>("SpeedButton1")->click();
    ASSERT_TRUE(batchDone(2)) << log();
    EXPECT_EQ(contents(server.dataDir() + "/notes.dat"), "text line\n");

    // The last TYPE before each STOR.
    const QStringList lines = logText().split('\n');
    QString type;
    QStringList typeAtStor;
    for (const QString& l : lines) {
        if (l.startsWith("> TYPE"))
            type = l.mid(2);
        else if (l.startsWith("> STOR"))
            typeAtStor << type;
    }
    EXPECT_EQ(typeAtStor, QStringList({"TYPE I", "TYPE A"})) << log();
}

TEST_F(TransfersFromTheWindow, UploadAndDownloadButtonsAreNamedAndWaitForAServerDirectory)
{
    writeOptions("");
    start();
    for (const char* name : {"SpeedButton1", "SpeedButton2"}) {
        auto* b = find<QToolButton>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_FALSE(b->text().isEmpty() && b->accessibleName().isEmpty()) << name;
        EXPECT_FALSE(b->isEnabled()) << name;  // the site list shows
    }
    EXPECT_FALSE(find<QAction>("UploadSelectedFiles1")->text().isEmpty());
    EXPECT_FALSE(find<QAction>("DownloadSelectedFiles1")->text().isEmpty());
}

} // namespace
