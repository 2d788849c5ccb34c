#pragma once
// T_Main: the program's one main window. Left the local pane, right the FTP
// pane (site list or server directory), the log under both. Every widget,
// menu item and component carries its component name as object name, so
// language files and tests address them by name.
#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>

#include "session/CustomCommands.h"
#include "session/Log.h"
#include "settings/Options.h"
#include "sites/SiteRecord.h"

#include <memory>

class QAction;
class QActionGroup;
class QComboBox;
class QFileSystemModel;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class TLocalListModel;
class QTimer;
class QToolButton;
class QTreeView;
class TMsgLanguage;
class TSiteList;
class TRemotePaneColumns;
class TSession;
class TListSortProxy;


class T_Main : public QMainWindow {
    Q_OBJECT
public:
    // Runs the whole creation sequence (FormCreate); the window shows itself
    // later from the event loop with its saved placement.
    explicit T_Main(QWidget* parent = nullptr);
    ~T_Main() override;

    // Checks exactly one of miAuto (0), miAscii (1), miBinary (2).
    void SetTransferTypeMenu(int kind);
    // The checked transfer type: 0 auto, 1 ASCII, 2 binary.
    int TransferType() const;

    // Enables the connection-dependent commands for one of the two states.
    void UpdateSessionControls(bool connected);

    // Pane and column sizes as the controls have them now / applies them.
    TLayouts CurrentLayout() const;
    void ApplyLayout(const TLayouts& l);
    // "Save Layout": writes the Layouts section of options.ftp.
    void SaveLayouts();
    // Reads the Layouts section (current sizes as defaults) and applies it.
    void LoadLayouts();

    // The local tree's current directory (no trailing separator except "/").
    QString LocalDir() const { return localDir_; }
    // Moves the local tree to dir and refills the local list; false when dir
    // does not exist (nothing changes then).
    bool SetLocalDir(const QString& dir);
    // Refills the local file list from the tree's directory (dlbxChange).
    void dlbxChange();

    // Applies a font chosen for one list (tag 1 = remote, else local) and
    // remembers it in FontRight / FontLeft.
    void SetListFont(int tag, const QFont& font);

    // Appends one line to the log pane.
    void Display(const QString& line);

    bool SiteListShown() const { return siteListShown_; }
    // The site list the right pane shows while SiteListShown.
    TSiteList* SiteList() const { return siteList_; }
    TSessionLog& SessionLog() { return log_; }
    // The session engine the window forwards its commands to.
    TSession* Session() const { return session_; }

    // The site list's commands (T_MainSites.cpp), only while the site list is
    // shown. New Server: the properties dialog on a new site (passive mode
    // on); saved, it joins the current folder, selected, and the folder's
    // list is written. Server Properties: the dialog on the selected site;
    // saved, the item takes the new values and the list is written (with no
    // site selected it acts on a new site, passive mode off). Both return
    // whether the user saved.
    bool NewServer();
    bool ServerProperties();
    // "Carriage Return" (N9, T_MainLineEndings.cpp): the files selected in
    // the local list get the line ends chosen in T_Carrage, each reported on
    // one log line. Directories are not taken; with no file, no dialog.
    void N9Click();
    // Synchronize Directories (T_MainMirror.cpp), while connected and idle:
    // the job takes the local pane's folder, the current remote folder and
    // the direction (tag 1, the remote pane's item: Mirror Remote; else
    // Mirror Local), then the job dialog; Execute queues StartMirrorRun so
    // the dialog is gone before the run begins.
    void SyncDirClick(int tag);
    QString HelpFile() const { return helpFile_; }

    // The four masks, "*.*" at start.
    QString LocalFilterMask, RemoteFilterMask, LocalSelectMask, RemoteSelectMask;

public slots:
    // Called after a language file was applied: texts composed from the
    // message list (the path box's root item) are rebuilt.
    void LanguageChanged();
    // Starts the mirror run of the current job (queued by SyncDirClick).
    void StartMirrorRun();
    // Closes the window without the exit question, saving settings as a
    // normal close does: the desktop session is ending (SIGTERM).
    void CloseWithoutAsking();

signals:
    // The window has agreed to close and saved its settings.
    void Closed();

protected:
    void closeEvent(QCloseEvent* e) override;   // FormCloseQuery + FormClose
    void resizeEvent(QResizeEvent* e) override; // the equal-split rule
    void changeEvent(QEvent* e) override;       // activation re-installs the rule

private:
    void FormCreate();
    void BuildWidgets();
    void BuildMenus();
    void WaitOneSecond();
    void ShowWindowMessage(); // the deferred show after start-up
    bool FormCloseQuery();
    void FormClose();
    void EqualSplit();
    void FillDriveBox();
    void FontCommand(int tag);
    void SpawnNewSession();
    void OpenHelp();
    void ShowSiteList();
    bool AddEditedSite(TFTPServerObj site);
    void FTPViewDblClick();
    // The right pane shows the site list or the server's directory.
    void ShowRemotePane(bool siteList);
    void RemoteListingShown();
    void RemoteSelectionChanged();
    void ConnectSessionSignals();
    void SetCommandIcons();
    void ShowAbout();
    void SetCommandEnabled(const QString& name, bool enabled);
    TWindowSnapshot WindowSnapshot() const;

    // The local pane's commands (T_MainLocal.cpp).
    void ConnectLocalPane();
    void UpdateLocalCommands();  // enabling and the summary after a change
    // The same for the selected source rows given.
    void ShowLocalSelection(const QList<int>& rows);
    void Viewfile2Click();
    void sbRunClick();
    void sbMkd1Click();
    void sbRen1Click();
    void sbDel1Click();
    void LargeCase1Click(int mode);
    // The list commands of both panes (T_MainListCommands.cpp): Select,
    // Filter, Sorting, View and Change Case menus, Ctrl+A, the local popup.
    void BuildListMenus();
    void All1Click(int tag);
    void Filter1Click();
    void Filter4Click();
    void SetViewStyle(QTreeView* list, int style);
    void ShowLocalPopup(const QPoint& at);
    QMenu* PopupMenu1 = nullptr;  // built on first show

    // The right pane's file operations (T_MainRemoteOps.cpp): Make
    // Directory, Rename, Delete and Change Case go to the session engine
    // (site folders while the site list shows); the right pane's popup.
    void ConnectRemoteFileOps();
    QList<int> SelectedRemoteRows() const;  // source rows, in list order
    int CurrentRemoteRow() const;
    void ShowRemotePopup(const QPoint& at);
    QMenu* PopupMenu2 = nullptr;  // built on first show
    // File Attributes of the selected remote rows (T_MainChmod.cpp).
    void ConnectChmod();

    // Transfers (T_MainTransfers.cpp): Upload and Download of the selected
    // rows or of rows dragged onto the other pane, the Transfer Type menu,
    // and the progress window that follows the engine's batch.
    void ConnectTransfers();
    void DownloadSelected();
    void UploadSelected();
    void UploadRows(const QList<int>& rows);  // source rows of the local list
    void TransferFileStarted(const QString& name, bool sending, qint64 step, qint64 size);
    void TransferProgressed(int units);
    qint64 lastProgress_ = 0;
    QElapsedTimer progressShown_;

    // Compare Directories (T_MainCompare.cpp): selects the entries of both
    // lists that have no identical twin in the other list.
    void ConnectCompare();
    void CompareDirectories1Click();
    // Synchronize Directories (T_MainMirror.cpp).
    void ConnectMirror();

    // Custom commands (T_MainCommands.cpp): the command bar Panel17 and the
    // command library (commands.txt, read at creation, written at close).
    void ConnectCustomCommands();
    void ShowCommandBar(bool visible);
    void SpeedButton5Click();  // "Do It"
    void SpeedButton6Click();  // "Commands"
    void SaveCustomCommands();
    QFrame* Panel17 = nullptr;
    TCustomCommands commandLibrary_;
    TCommandHistory commandHistory_;

    // Settings glue (T_MainOptions.cpp): load, save and apply the options
    // record to the window.
    void LoadOptions();
    void SaveOptions();
    void ApplyOptions();
    // Preferences: the options dialog; on "OK" the settings are saved and
    // applied. Only while no session is open or being opened.
    void Preferences1Click();

    QAction* action(const char* name, const QString& text, QMenu* menu);

    // Widgets by component name.
    QFrame *Panel11 = nullptr, *Panel1 = nullptr, *Panel6 = nullptr, *Panel4 = nullptr;
    QFrame *Panel2 = nullptr, *Panel7 = nullptr, *FTPPathPanel = nullptr;
    QLabel *Panel8 = nullptr, *Panel9 = nullptr, *pnlLocInfo = nullptr, *pnlFtpInfo = nullptr;
    QToolButton *sbConnect = nullptr, *sbDisConnect = nullptr, *sbStop = nullptr;
    QPushButton* ExplorerButton1 = nullptr;
    QComboBox *cbCmd = nullptr, *DriveComboBox1 = nullptr, *FTPPath = nullptr;
    QToolButton *sbMkd1 = nullptr, *sbRen1 = nullptr, *sbDel1 = nullptr, *sbView = nullptr, *sbRun = nullptr;
    QToolButton *sbNewServer = nullptr, *sbProperties = nullptr, *sbMkd2 = nullptr, *sbRen2 = nullptr,
                *sbDel2 = nullptr, *FTPOneLevelUp = nullptr;
    QTreeView *dlbx = nullptr, *lvLoc = nullptr, *FTPView = nullptr;
    QSplitter *Splitter1 = nullptr, *Splitter2 = nullptr, *Splitter3 = nullptr;
    QPlainTextEdit* Log = nullptr;
    QTimer* cTimer = nullptr;
    TMsgLanguage* msl = nullptr;
    QFileSystemModel* dirModel_ = nullptr;
    TLocalListModel* locModel_ = nullptr;
    TSiteList* siteList_ = nullptr;
    TRemotePaneColumns* siteColumns_ = nullptr; // the site list in six columns
    TSession* session_ = nullptr;
    TListSortProxy* remoteSort_ = nullptr;      // the server directory, ordered
    TListSortProxy* localSort_ = nullptr;       // the local files, ordered
    std::unique_ptr<ILogPane> logPane_;
    TSessionLog log_;

    // Menu items whose behaviour is defined here.
    QMenu* TransferType1 = nullptr;
    QMenu* miLang = nullptr; // the language menu
    QAction *miAuto = nullptr, *miAscii = nullptr, *miBinary = nullptr;
    QActionGroup* transferGroup_ = nullptr;

    // Commands that depend on the connection (enabled when connected / when
    // not), by object name; UpdateSessionControls walks these.
    QStringList connectedCommands_, disconnectedCommands_;

    QString localDir_;
    QString helpFile_;
    QString logFileInUse_;
    bool siteListShown_ = true;
    bool splitRuleActive_ = false;
    bool closing_ = false;
    bool askOnClose_ = true;
    // Pane sizes read at start; the splitters take them once the window has
    // its real geometry (after the deferred show).
    TLayouts pendingLayout_;
    bool layoutPending_ = false;
};
