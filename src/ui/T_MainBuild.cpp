// Building T_Main's widgets and menus. Object names are the component names
// the rest of the program (language files, session logic, tests) relies on.
#include "ui/T_Main.h"

#include "i18n/MainMessages.h"
#include "i18n/MsgLanguage.h"
#include "listing/ListSortProxy.h"
#include "listing/LocalListModel.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "ui/RemotePaneColumns.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

template <class W>
W* named(W* w, const char* name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QFrame* panel(const char* name, QWidget* parent, QFrame::Shape shape = QFrame::NoFrame)
{
    auto* f = named(new QFrame(parent), name);
    f->setFrameShape(shape);
    return f;
}

// A title panel ("Local computer", "FTP - servers").
QLabel* titlePanel(const char* name, const QString& text, QWidget* parent)
{
    auto* l = named(new QLabel(text, parent), name);
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Raised);
    l->setAlignment(Qt::AlignCenter);
    l->setMargin(3);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

QLabel* infoPanel(const char* name, QWidget* parent)
{
    auto* l = named(new QLabel(parent), name);
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMargin(2);
    return l;
}

QToolButton* toolButton(const char* name, const QString& text, const QString& tip, QWidget* parent)
{
    auto* b = named(new QToolButton(parent), name);
    b->setText(text);
    b->setToolTip(tip);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setAutoRaise(true);
    return b;
}

QTreeView* listView(const char* name, QAbstractItemModel* model, const QStringList& columns, QWidget* parent)
{
    auto* v = named(new QTreeView(parent), name);
    for (int c = 0; c < columns.size(); ++c)
        model->setHeaderData(c, Qt::Horizontal, columns[c], Qt::DisplayRole);
    v->setModel(model);
    v->setRootIsDecorated(false);
    v->setUniformRowHeights(true);
    v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setAllColumnsShowFocus(true);
    v->header()->setStretchLastSection(false);
    return v;
}

// A pane's row of tool buttons. Buttons that do not fit a narrow pane move
// into the bar's overflow menu instead of making the whole window wider.
QToolBar* paneToolBar(QWidget* parent, std::initializer_list<QToolButton*> buttons)
{
    auto* bar = new QToolBar(parent);
    bar->setObjectName(parent->objectName() + QStringLiteral("Tools"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QToolButton* b : buttons)
        bar->addWidget(b);
    // The overflow button shows only an arrow: screen readers get its purpose.
    if (auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))) {
        more->setAccessibleName(QObject::tr("More commands"));
        more->setToolTip(QObject::tr("More commands"));
    }
    return bar;
}

} // namespace

void T_Main::BuildWidgets()
{
    QStringList ftpColumns;
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    auto* root = new QVBoxLayout(central);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    setCentralWidget(central);

    // Top bar.
    Panel11 = panel("Panel11", central, QFrame::StyledPanel);
    auto* top = new QHBoxLayout(Panel11);
    top->setContentsMargins(4, 2, 4, 2);
    sbConnect = toolButton("sbConnect", tr("&Connect"), tr("Connect to the selected FTP server"), Panel11);
    sbDisConnect = toolButton("sbDisConnect", tr("&Disconnect"), tr("Close the connection"), Panel11);
    sbStop = toolButton("sbStop", tr("&Stop Transfer"), tr("Stop the running transfer"), Panel11);
    ExplorerButton1 = named(new QPushButton(tr("Exit"), Panel11), "ExplorerButton1");
    ExplorerButton1->setFlat(true);
    ExplorerButton1->setToolTip(tr("Quit the program"));
    // The mark of an encrypted session: shown while the connection to the
    // server runs TLS (T_MainSession.cpp).
    auto* lTls = named(new QLabel(tr("TLS"), Panel11), "lTls");
    lTls->setToolTip(tr("The connection to the server is encrypted (TLS)"));
    lTls->setFrameShape(QFrame::StyledPanel);
    lTls->setContentsMargins(6, 0, 6, 0);
    QFont bold = lTls->font();
    bold.setBold(true);
    lTls->setFont(bold);
    lTls->hide();
    top->addWidget(sbConnect);
    top->addWidget(sbDisConnect);
    top->addWidget(sbStop);
    top->addSpacing(8);
    top->addWidget(lTls);
    top->addStretch(1);
    top->addWidget(ExplorerButton1);
    root->addWidget(Panel11);

    Splitter3 = named(new QSplitter(Qt::Vertical, central), "Splitter3");
    Splitter3->setChildrenCollapsible(false);
    Splitter1 = named(new QSplitter(Qt::Horizontal, Splitter3), "Splitter1");
    Splitter1->setChildrenCollapsible(false);

    // Left pane: the local computer.
    Panel1 = panel("Panel1", Splitter1);
    auto* left = new QVBoxLayout(Panel1);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(1);
    Panel8 = titlePanel("Panel8", tr("Local computer"), Panel1);
    Panel6 = panel("Panel6", Panel1);
    auto* leftTools = new QHBoxLayout(Panel6);
    leftTools->setContentsMargins(2, 1, 2, 1);
    auto* SpeedButton1 = toolButton("SpeedButton1", tr("Upload"), tr("Upload the selected files"), Panel6);
    sbMkd1 = toolButton("sbMkd1", tr("MkDir"), tr("Make a directory"), Panel6);
    sbRen1 = toolButton("sbRen1", tr("Rename"), tr("Rename the selected item"), Panel6);
    sbDel1 = toolButton("sbDel1", tr("Delete"), tr("Delete the selected items"), Panel6);
    sbView = toolButton("sbView", tr("View"), tr("View as text file"), Panel6);
    sbRun = toolButton("sbRun", tr("Run"), tr("Run application"), Panel6);
    leftTools->addWidget(paneToolBar(Panel6, {SpeedButton1, sbMkd1, sbRen1, sbDel1, sbView, sbRun}), 1);

    Splitter2 = named(new QSplitter(Qt::Horizontal, Panel1), "Splitter2");
    Splitter2->setChildrenCollapsible(false);
    Panel4 = panel("Panel4", Splitter2);
    auto* dirBox = new QVBoxLayout(Panel4);
    dirBox->setContentsMargins(0, 0, 0, 0);
    dirBox->setSpacing(1);
    auto* driveRow = new QHBoxLayout;
    DriveComboBox1 = named(new QComboBox(Panel4), "DriveComboBox1");
    auto* SpeedButton4 = toolButton("SpeedButton4", tr("Up"), tr("Up one level"), Panel4);
    driveRow->addWidget(DriveComboBox1, 1);
    driveRow->addWidget(SpeedButton4);
    dirBox->addLayout(driveRow);
    dlbx = named(new QTreeView(Panel4), "dlbx");
    dirModel_ = new QFileSystemModel(this);
    dirModel_->setObjectName(QStringLiteral("dlbxModel"));
    dirModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    dirModel_->setRootPath(QStringLiteral("/"));
    dlbx->setModel(dirModel_);
    for (int c = 1; c < dirModel_->columnCount(); ++c)
        dlbx->hideColumn(c);
    dlbx->setHeaderHidden(true);
    dlbx->setRootIndex(dirModel_->index(QStringLiteral("/")));
    // The model reads directories in the background: once the ones on the
    // way to the current directory are in, open the tree down to it.
    connect(dirModel_, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
        if (localDir_ == path || localDir_.startsWith(QDir(path).absolutePath() + '/') || path == QLatin1String("/")) {
            const QModelIndex idx = dirModel_->index(localDir_);
            if (idx.isValid()) {
                dlbx->setCurrentIndex(idx);
                dlbx->scrollTo(idx);
            }
        }
    });
    dirBox->addWidget(dlbx, 1);

    locModel_ = new TLocalListModel(this);
    locModel_->setObjectName(QStringLiteral("lvLocModel"));
    localSort_ = new TListSortProxy(this);
    localSort_->setObjectName(QStringLiteral("lvLocSort"));
    localSort_->setSourceModel(locModel_);
    lvLoc = listView("lvLoc", localSort_, {tr("Filename"), tr("Size"), tr("Date"), tr("Time")}, Splitter2);
    // Sorting is the proxy's: a header click changes its sort key.
    lvLoc->setSortingEnabled(false);
    lvLoc->header()->setSectionsClickable(true);
    lvLoc->header()->resizeSection(0, 180);
    Splitter2->setStretchFactor(1, 1);
    Splitter2->setSizes({170, 330}); // the tree a third, the file list the rest

    pnlLocInfo = infoPanel("pnlLocInfo", Panel1);
    left->addWidget(Panel8);
    left->addWidget(Panel6);
    left->addWidget(Splitter2, 1);
    left->addWidget(pnlLocInfo);

    // Right pane: FTP sites, then the server's directory.
    Panel2 = panel("Panel2", Splitter1);
    auto* right = new QVBoxLayout(Panel2);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(1);
    Panel7 = panel("Panel7", Panel2);
    auto* rightTools = new QHBoxLayout(Panel7);
    rightTools->setContentsMargins(2, 1, 2, 1);
    auto* SpeedButton2 = toolButton("SpeedButton2", tr("Download"), tr("Download the selected files"), Panel7);
    sbNewServer = toolButton("sbNewServer", tr("New Server"), tr("Add a new FTP server"), Panel7);
    sbProperties = toolButton("sbProperties", tr("&Properties"), tr("Properties of the selected server"), Panel7);
    sbMkd2 = toolButton("sbMkd2", tr("MkDir"), tr("Make a remote directory"), Panel7);
    sbRen2 = toolButton("sbRen2", tr("Rename"), tr("Rename the selected remote item"), Panel7);
    sbDel2 = toolButton("sbDel2", tr("Delete"), tr("Delete the selected remote items"), Panel7);
    rightTools->addWidget(paneToolBar(Panel7, {SpeedButton2, sbNewServer, sbProperties, sbMkd2, sbRen2, sbDel2}), 1);
    Panel9 = titlePanel("Panel9", tr("FTP - servers"), Panel2);
    FTPPathPanel = panel("FTPPathPanel", Panel2);
    auto* pathRow = new QHBoxLayout(FTPPathPanel);
    pathRow->setContentsMargins(0, 0, 0, 0);
    FTPPath = named(new QComboBox(FTPPathPanel), "FTPPath");
    FTPOneLevelUp = toolButton("FTPOneLevelUp", tr("Up"), tr("Up one level"), FTPPathPanel);
    pathRow->addWidget(FTPPath, 1);
    pathRow->addWidget(FTPOneLevelUp);
    // The session engine owns the server directory's model; the window shows
    // it ordered through a sort proxy. The site list (and the message list
    // both use) come first.
    msl = CreateMainMessages(this);
    siteList_ = new TSiteList(this);
    siteList_->setObjectName(QStringLiteral("SiteList"));
    siteList_->SetMessages(msl);
    cTimer = named(new QTimer(this), "cTimer");
    session_ = new TSession(siteList_, &log_, msl, this, cTimer);
    session_->setObjectName(QStringLiteral("Session"));
    remoteSort_ = new TListSortProxy(this);
    remoteSort_->setObjectName(QStringLiteral("FTPViewSort"));
    remoteSort_->setSourceModel(session_->RemoteModel());
    ftpColumns = {tr("Filename"), tr("Size"), tr("Date"), tr("Time"), tr("Attributes"), tr("Links")};
    FTPView = listView("FTPView", remoteSort_, ftpColumns, Panel2);
    // Sites are dragged onto folder items to move them (the model does the move).
    FTPView->setDragEnabled(true);
    FTPView->setAcceptDrops(true);
    FTPView->setDropIndicatorShown(true);
    FTPView->setDragDropMode(QAbstractItemView::DragDrop);
    FTPView->setDefaultDropAction(Qt::MoveAction);
    FTPView->header()->resizeSection(0, 180);
    pnlFtpInfo = infoPanel("pnlFtpInfo", Panel2);
    pnlFtpInfo->hide(); // shown while a session is open
    right->addWidget(Panel7);
    right->addWidget(Panel9);
    right->addWidget(FTPPathPanel);
    right->addWidget(FTPView, 1);
    right->addWidget(pnlFtpInfo);

    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(Panel2);

    Log = named(new QPlainTextEdit(Splitter3), "Log");
    Log->setReadOnly(true);
    Log->setLineWrapMode(QPlainTextEdit::NoWrap);
    Splitter3->addWidget(Splitter1);
    Splitter3->addWidget(Log);
    Splitter3->setStretchFactor(0, 1);
    Splitter3->setSizes({500, 140});
    root->addWidget(Splitter3, 1);

    // Widgets whose texts are data (volumes, paths, counters, log lines), not
    // wording.
    for (QWidget* w : {static_cast<QWidget*>(DriveComboBox1), static_cast<QWidget*>(FTPPath),
                       static_cast<QWidget*>(pnlLocInfo),
                       static_cast<QWidget*>(pnlFtpInfo), static_cast<QWidget*>(Log)})
        w->setProperty("noTranslate", true);


    connect(ExplorerButton1, &QPushButton::clicked, this, [this] {
        session_->AbortForExit();
        close();
    });
    // The site list: path box, up button, double click.
    siteColumns_ = new TRemotePaneColumns(ftpColumns, this);
    siteColumns_->setObjectName(QStringLiteral("SiteListColumns"));
    siteColumns_->setSourceModel(siteList_);
    FTPView->setModel(siteColumns_);
    siteColumns_->LinkSelections(FTPView->selectionModel(), siteList_->SelectionModel());
    FTPPath->setModel(siteList_->PathModel());
    connect(siteList_, &TSiteList::PathChanged, this, [this] {
        const QSignalBlocker block(FTPPath);
        FTPPath->setCurrentIndex(siteList_->PathIndex());
    });
    connect(FTPPath, &QComboBox::activated, this, [this](int i) {
        if (siteListShown_)
            siteList_->ChoosePathItem(i);
        else
            session_->ChoosePathItem(i);
    });
    connect(FTPOneLevelUp, &QToolButton::clicked, this, [this] {
        if (siteListShown_)
            siteList_->OneLevelUp();
        else
            session_->OneLevelUp();
    });
    connect(FTPView, &QTreeView::doubleClicked, this, &T_Main::FTPViewDblClick);
    // A change of the right pane's selection re-applies the session state
    // (Server Properties needs a selected site).
    connect(siteList_->SelectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateSessionControls(!siteListShown_); });
    connect(SpeedButton4, &QToolButton::clicked, this, [this] {
        const QString parent = QFileInfo(localDir_).absolutePath();
        if (parent != localDir_)
            SetLocalDir(parent);
    });
    connect(DriveComboBox1, &QComboBox::activated, this,
            [this](int i) { SetLocalDir(DriveComboBox1->itemData(i).toString()); });
    connect(dlbx, &QTreeView::activated, this, [this](const QModelIndex& i) { SetLocalDir(dirModel_->filePath(i)); });
    connect(dlbx, &QTreeView::clicked, this, [this](const QModelIndex& i) { SetLocalDir(dirModel_->filePath(i)); });
    connect(lvLoc, &QTreeView::doubleClicked, this, [this](const QModelIndex& i) {
        const QModelIndex nameIndex = i.sibling(i.row(), 0);
        if (nameIndex.data(Qt::UserRole).toBool())
            SetLocalDir(QDir(localDir_).filePath(nameIndex.data().toString()));
    });
}

QAction* T_Main::action(const char* name, const QString& text, QMenu* menu)
{
    auto* a = new QAction(text, this);
    a->setObjectName(QLatin1String(name));
    menu->addAction(a);
    return a;
}

void T_Main::BuildMenus()
{
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("File1"));
    action("Connect1", tr("Connect to FTP - Server"), file);
    action("Disconnect1", tr("Disconnect"), file);
    action("StopTransfer1", tr("Stop Transfer"), file);
    file->addSeparator();
    QAction* spawn = action("Spawnnewsession1", tr("Create new session"), file);
    QAction* saveLayout = action("SaveLayout1", tr("Save Layout"), file);
    action("Preferences1", tr("Preferences"), file);
    file->addSeparator();
    QAction* exit = action("Exit1", tr("Exit"), file);

    QMenu* local = bar->addMenu(tr("&Local computer"));
    local->setObjectName(QStringLiteral("Localcomputer1"));
    action("UploadSelectedFiles1", tr("Upload Selected Files"), local);
    action("Viewfile2", tr("View as Text File"), local);
    action("MakeDirectory1", tr("Make Directory"), local);
    action("Rename1", tr("Rename"), local);
    action("Delete1", tr("Delete"), local);
    action("SynchronizeDirectories2", tr("Synchronize Directories"), local);
    connect(action("N9", tr("Carriage Return"), local), &QAction::triggered, this, &T_Main::N9Click);
    local->addSeparator();
    QAction* refresh = action("Refresh1", tr("Refresh"), local);
    QAction* fontLeft = action("Font1", tr("Font"), local);
    fontLeft->setData(0);

    QMenu* ftp = bar->addMenu(tr("FTP - &Server"));
    ftp->setObjectName(QStringLiteral("FTPServer1"));
    action("NewServer1", tr("New Server"), ftp);
    action("ServerProperties1", tr("Server Properties"), ftp);
    ftp->addSeparator();
    action("Makedirectory2", tr("Make directory"), ftp);
    action("ChangeDirectory1", tr("Change Directory"), ftp);
    action("Refresh3", tr("Refresh"), ftp);
    action("Rename2", tr("Rename"), ftp);
    action("CompareDirectories1", tr("Compare Directories"), ftp);
    action("SynchronizeDirectories1", tr("Synchronize Directories"), ftp);
    action("FileAttributes1", tr("File Attributes"), ftp);
    action("DownloadSelectedFiles1", tr("Download Selected Files"), ftp);
    ftp->addSeparator();
    QAction* fontRight = action("Font2", tr("Font"), ftp);
    fontRight->setData(1);
    // Hidden: scrambles the passwords of a list saved by an old version once.
    QAction* convertSeparator = ftp->addSeparator();
    convertSeparator->setObjectName(QStringLiteral("N5"));
    convertSeparator->setVisible(false);
    QAction* convert = action("Convertoldserverlist1", tr("Convert old server list"), ftp);
    convert->setVisible(false);
    connect(convert, &QAction::triggered, this, [this] {
        if (siteListShown_)
            siteList_->ConvertOldServerList();
    });

    TransferType1 = bar->addMenu(tr("&Transfer Type"));
    TransferType1->setObjectName(QStringLiteral("TransferType1"));
    transferGroup_ = new QActionGroup(this);
    transferGroup_->setExclusive(true);
    miAuto = action("miAuto", tr("Auto"), TransferType1);
    miAscii = action("miAscii", tr("Ascii"), TransferType1);
    miBinary = action("miBinary", tr("Binary"), TransferType1);
    int tag = 0;
    for (QAction* a : {miAuto, miAscii, miBinary}) {
        a->setCheckable(true);
        a->setData(tag++); // the menu item's tag is the transfer type
        transferGroup_->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { SetTransferTypeMenu(a->data().toInt()); });
    }

    // Filled by the language support with one item per language file.
    miLang = bar->addMenu(tr("L&anguage"));
    miLang->setObjectName(QStringLiteral("miLang"));

    QMenu* help = bar->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu1"));
    QAction* helpItem = action("Help1", tr("Help"), help);
    helpItem->setShortcut(QKeySequence::HelpContents);
    QAction* about = action("About1", tr("About"), help);

    connect(spawn, &QAction::triggered, this, &T_Main::SpawnNewSession);
    connect(saveLayout, &QAction::triggered, this, &T_Main::SaveLayouts);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(refresh, &QAction::triggered, this, &T_Main::dlbxChange);
    connect(fontLeft, &QAction::triggered, this, [this] { FontCommand(0); });
    connect(fontRight, &QAction::triggered, this, [this] { FontCommand(1); });
    connect(helpItem, &QAction::triggered, this, &T_Main::OpenHelp);
    connect(about, &QAction::triggered, this, &T_Main::ShowAbout);

    // The connection-dependent commands (enabled while connected / while not).
    // The right pane's MkDir, Rename and Delete buttons work in both states:
    // on site folders while the site list shows.
    connectedCommands_ = {"sbDisConnect", "sbStop", "SpeedButton1", "SpeedButton2", "Disconnect1",
                          "StopTransfer1", "Makedirectory2", "ChangeDirectory1", "Refresh3", "Rename2", "CompareDirectories1",
                          "SynchronizeDirectories1", "FileAttributes1", "DownloadSelectedFiles1",
                          "UploadSelectedFiles1", "SynchronizeDirectories2", "Select2", "ChangeCase2", "Sorting2",
                          "Filter4"};
    disconnectedCommands_ = {"sbConnect", "sbNewServer", "sbProperties", "Connect1", "Preferences1", "NewServer1",
                             "ServerProperties1"};
}
