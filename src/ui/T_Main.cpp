// T_Main: creation sequence, deferred show, pane split, transfer-type menu,
// local pane basics and shutdown.
#include "ui/T_Main.h"

#include "i18n/MainMessages.h"
#include "i18n/MsgLanguage.h"
#include "listing/ListSort.h"
#include "listing/ListSortProxy.h"
#include "listing/LocalListModel.h"
#include "listing/RemoteListModel.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "ui/LogPane.h"
#include "ui/RemotePaneColumns.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "settings/ShippedData.h"
#include "ui/FormLanguage.h"
#include "ui/T_About.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSplitter>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

namespace {

// Commands whose features are not part of this build yet. They are shown so
// the window has its full shape, but stay disabled whatever the session
// state; a feature that lands removes its names here and connects its handler.
const QStringList& notYetAvailable()
{
    static const QStringList names = {};
    return names;
}

// How long the creation lets the event loop run before the window appears
// (the splash stays visible meanwhile).
constexpr int kStartPauseMs = 1000;

} // namespace

T_Main::T_Main(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("T_Main"));
    setWindowTitle(QStringLiteral("Varnoth"));
    BuildWidgets();
    logPane_ = std::make_unique<TLogPane>(Log);
    log_.SetPane(logPane_.get());
    BuildMenus();
    SetCommandIcons();
    ConnectSessionSignals();
    BuildListMenus();
    ConnectLocalPane();
    ConnectRemoteFileOps();  // after the list menus: it connects their Change Case items
    ConnectCustomCommands();
    ConnectChmod();
    ConnectTransfers();
    ConnectCompare();
    ConnectMirror();
    connect(findChild<QAction*>(QStringLiteral("Preferences1")), &QAction::triggered, this, &T_Main::Preferences1Click);
    FormCreate();
}

T_Main::~T_Main() = default;

void T_Main::FormCreate()
{
    helpFile_ = HelpPagePath();
    resize(1000, 700);
    EqualSplit();
    // The remote list starts in the simple list style: names only.
    FTPView->setHeaderHidden(true);
    LocalFilterMask = RemoteFilterMask = LocalSelectMask = RemoteSelectMask = QStringLiteral("*.*");
    localDir_ = QDir::currentPath();
    FillDriveBox();
    LoadOptions();
    siteListShown_ = true;
    ShowSiteList();
    UpdateSessionControls(false);
    logFileInUse_.clear();
    ApplyOptions();
    WaitOneSecond();
    BuildLanguageMenu(this, miLang); // translates the window when a language is on
    if (!LangOn)
        TranslateForm(this); // writes the translators' template when asked to
    dlbxChange();
    SetTransferTypeMenu(0);
    LoadLayouts();
    hide();
    // Placement is restored from the event loop, once creation is complete.
    QMetaObject::invokeMethod(this, &T_Main::ShowWindowMessage, Qt::QueuedConnection);
}

void T_Main::WaitOneSecond()
{
    // The keep-alive timer is borrowed for a one-shot pause that keeps
    // processing events; afterwards it is stopped again.
    QEventLoop loop;
    cTimer->setSingleShot(true);
    cTimer->setInterval(kStartPauseMs);
    auto conn = connect(cTimer, &QTimer::timeout, &loop, &QEventLoop::quit);
    cTimer->start();
    loop.exec();
    disconnect(conn);
    cTimer->stop();
    cTimer->setSingleShot(false);
}

void T_Main::ShowWindowMessage()
{
    if (closing_)
        return;
    if (FTPOptions.SavePos) {
        const quint8 ws = FTPOptions.WindowState;
        if (ws == wsNormal) {
            // A zero or negative size would make the window invisible: keep
            // the built-in size then and take only the position.
            move(FTPOptions.Left, FTPOptions.Top);
            if (FTPOptions.Width > 0 && FTPOptions.Height > 0)
                resize(FTPOptions.Width, FTPOptions.Height);
            setWindowState(Qt::WindowNoState);
        } else {
            setWindowState(ws == wsMinimized ? Qt::WindowMinimized : Qt::WindowMaximized);
        }
    } else {
        setWindowState(Qt::WindowMaximized);
    }
    show();
    // Let the layouts give every pane its real size before sizing the panes.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EqualSplit();
    if (layoutPending_) {
        layoutPending_ = false;
        ApplyLayout(pendingLayout_);
    }
    splitRuleActive_ = true;
}

void T_Main::changeEvent(QEvent* e)
{
    // Activation (re)installs the resize rule.
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        splitRuleActive_ = true;
    QMainWindow::changeEvent(e);
}

void T_Main::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    if (splitRuleActive_)
        EqualSplit();
}

void T_Main::EqualSplit()
{
    // Right pane width = (client width - splitter width) / 2; the left pane
    // takes the rest. The splitter spans the whole client width.
    const int client = centralWidget()->width();
    const int handle = Splitter1->handleWidth();
    const int right = (client - handle) / 2;
    if (right <= 0)
        return;
    Splitter1->setSizes({client - handle - right, right});
}

void T_Main::SetTransferTypeMenu(int kind)
{
    QAction* item = kind == 1 ? miAscii : kind == 2 ? miBinary : miAuto;
    item->setChecked(true); // the exclusive group unchecks the other two
}

int T_Main::TransferType() const
{
    QAction* checked = transferGroup_->checkedAction();
    return checked ? checked->data().toInt() : 0;
}

void T_Main::SetCommandEnabled(const QString& name, bool enabled)
{
    const bool on = enabled && !notYetAvailable().contains(name);
    if (auto* w = findChild<QWidget*>(name))
        w->setEnabled(on);
    else if (auto* a = findChild<QAction*>(name))
        a->setEnabled(on);
}

void T_Main::UpdateSessionControls(bool connected)
{
    for (const QString& name : connectedCommands_)
        SetCommandEnabled(name, connected);
    for (const QString& name : disconnectedCommands_)
        SetCommandEnabled(name, !connected);
    // Server Properties needs a selected site as well.
    const bool selected = siteListShown_ && siteList_->Site(siteList_->SelectedRow()) != nullptr;
    SetCommandEnabled(QStringLiteral("sbProperties"), !connected && selected);
    SetCommandEnabled(QStringLiteral("ServerProperties1"), !connected && selected);
    // Commands that do not depend on the connection but are not built yet.
    for (const QString& name : notYetAvailable())
        SetCommandEnabled(name, false);
}

void T_Main::FillDriveBox()
{
    DriveComboBox1->clear();
    DriveComboBox1->addItem(QStringLiteral("/"), QStringLiteral("/"));
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady() || v.rootPath() == QLatin1String("/"))
            continue;
        const QString label = v.displayName() == v.rootPath() ? v.rootPath()
                                                               : v.rootPath() + QStringLiteral(" [") + v.displayName() + ']';
        DriveComboBox1->addItem(label, v.rootPath());
    }
}

bool T_Main::SetLocalDir(const QString& dir)
{
    const QFileInfo fi(dir);
    if (dir.isEmpty() || !fi.isDir())
        return false;
    localDir_ = QDir::cleanPath(fi.absoluteFilePath());
    // The directory is the window's state, handed to whoever needs it; the
    // process's current directory stays where it was.
    session_->SetLocalDir(localDir_);
    const QModelIndex idx = dirModel_->index(localDir_);
    if (idx.isValid()) {
        dlbx->setCurrentIndex(idx);
        dlbx->scrollTo(idx);
    }
    // The drive box follows: the volume that holds the directory.
    const QString volume = QStorageInfo(localDir_).rootPath();
    const int at = DriveComboBox1->findData(volume);
    DriveComboBox1->setCurrentIndex(at >= 0 ? at : 0);
    dlbxChange();
    return true;
}

void T_Main::dlbxChange()
{
    if (!locModel_->Fill(localDir_, LocalFilterMask, FTPOptions.DateType))
        Display(tr("Could not read the folder %1: %2").arg(localDir_, locModel_->LastError()));
    localSort_->SetSortKey(localSort_->SortKey());
    UpdateLocalCommands();
}

void T_Main::Display(const QString& line)
{
    log_.Display(line);
}

void T_Main::ShowSiteList()
{
    // The right pane shows the top folder of the saved sites.
    ShowRemotePane(true);
    siteList_->ShowSiteList(QString());
}

void T_Main::SpawnNewSession()
{
    // A further session is a further process with a fresh window.
    if (!QProcess::startDetached(QCoreApplication::applicationFilePath(), {}))
        Display(tr("Could not start a new session: %1").arg(QCoreApplication::applicationFilePath()));
}

void T_Main::OpenHelp()
{
    if (!QFileInfo::exists(helpFile_) || !QDesktopServices::openUrl(QUrl::fromLocalFile(helpFile_)))
        userInterface()->ShowMessageBox(tr("The help page could not be opened:\n%1").arg(helpFile_),
                                        msl->Text(mainmsg::Error), mb::Ok | mb::IconError);
}

void T_Main::ShowAbout()
{
    T_About about(this);
    about.exec();
}

void T_Main::FontCommand(int tag)
{
    QTreeView* list = tag == 1 ? FTPView : lvLoc;
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, list->font(), this, tr("Font"));
    if (ok)
        SetListFont(tag, font);
}

bool T_Main::FormCloseQuery()
{
    if (!FTPOptions.AskForExit || !askOnClose_)
        return true;
    return userInterface()->ShowMessageBox(msl->Text(mainmsg::QuitQuestion), msl->Text(mainmsg::Attention),
                                           mb::YesNo | mb::IconQuestion | mb::TaskModal) == mb::IdYes;
}

void T_Main::FormClose()
{
    SaveOptions();
    SaveCustomCommands();
    // Free the right pane's rows and the site records they carry.
    siteList_->Clear();
    session_->RemoteModel()->Clear();
}

void T_Main::CloseWithoutAsking()
{
    askOnClose_ = false;
    close();
}

void T_Main::closeEvent(QCloseEvent* e)
{
    if (closing_) {
        e->accept();
        return;
    }
    if (!FormCloseQuery()) {
        e->ignore();
        return;
    }
    closing_ = true;
    FormClose();
    e->accept();
    emit Closed();
}

void T_Main::LanguageChanged()
{
    siteList_->SetMessages(msl);
}
