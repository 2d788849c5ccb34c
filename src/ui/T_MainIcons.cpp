// Icons of T_Main's commands: the desktop's icon theme first (what users of
// Linux file tools know), Qt's own standard icons where the theme has none.
// Every command keeps its caption beside the icon.
#include "ui/T_Main.h"

#include <QAction>
#include <QIcon>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace {

struct CommandIcon {
    const char* objectName;
    const char* themeName;
    QStyle::StandardPixmap fallback;
};

// The tool buttons and menu items by object name.
constexpr CommandIcon kIcons[] = {
    {"sbConnect", "network-connect", QStyle::SP_DriveNetIcon},
    {"Connect1", "network-connect", QStyle::SP_DriveNetIcon},
    {"sbDisConnect", "network-disconnect", QStyle::SP_DialogCloseButton},
    {"Disconnect1", "network-disconnect", QStyle::SP_DialogCloseButton},
    {"sbStop", "process-stop", QStyle::SP_BrowserStop},
    {"StopTransfer1", "process-stop", QStyle::SP_BrowserStop},
    {"SpeedButton1", "go-next", QStyle::SP_ArrowRight},
    {"UploadSelectedFiles1", "go-next", QStyle::SP_ArrowRight},
    {"SpeedButton2", "go-previous", QStyle::SP_ArrowLeft},
    {"DownloadSelectedFiles1", "go-previous", QStyle::SP_ArrowLeft},
    {"sbMkd1", "folder-new", QStyle::SP_FileDialogNewFolder},
    {"sbMkd2", "folder-new", QStyle::SP_FileDialogNewFolder},
    {"MakeDirectory1", "folder-new", QStyle::SP_FileDialogNewFolder},
    {"Makedirectory2", "folder-new", QStyle::SP_FileDialogNewFolder},
    {"sbRen1", "edit-rename", QStyle::SP_FileDialogDetailedView},
    {"sbRen2", "edit-rename", QStyle::SP_FileDialogDetailedView},
    {"sbDel1", "edit-delete", QStyle::SP_TrashIcon},
    {"sbDel2", "edit-delete", QStyle::SP_TrashIcon},
    {"Delete1", "edit-delete", QStyle::SP_TrashIcon},
    {"sbView", "document-preview", QStyle::SP_FileDialogContentsView},
    {"Viewfile2", "document-preview", QStyle::SP_FileDialogContentsView},
    {"sbRun", "system-run", QStyle::SP_MediaPlay},
    {"sbNewServer", "list-add", QStyle::SP_FileIcon},
    {"NewServer1", "list-add", QStyle::SP_FileIcon},
    {"sbProperties", "document-properties", QStyle::SP_FileDialogInfoView},
    {"ServerProperties1", "document-properties", QStyle::SP_FileDialogInfoView},
    {"FTPOneLevelUp", "go-up", QStyle::SP_FileDialogToParent},
    {"SpeedButton4", "go-up", QStyle::SP_FileDialogToParent},
    {"ChangeDirectory1", "folder-open", QStyle::SP_DirOpenIcon},
    {"Refresh1", "view-refresh", QStyle::SP_BrowserReload},
    {"Refresh3", "view-refresh", QStyle::SP_BrowserReload},
    {"Preferences1", "preferences-system", QStyle::SP_ComputerIcon},
    {"Spawnnewsession1", "window-new", QStyle::SP_TitleBarNormalButton},
    {"SaveLayout1", "document-save", QStyle::SP_DialogSaveButton},
    {"Exit1", "application-exit", QStyle::SP_DialogCloseButton},
    {"ExplorerButton1", "application-exit", QStyle::SP_DialogCloseButton},
    {"Help1", "help-contents", QStyle::SP_DialogHelpButton},
    {"About1", "help-about", QStyle::SP_MessageBoxInformation},
};

} // namespace

void T_Main::SetCommandIcons()
{
    for (const CommandIcon& c : kIcons) {
        const QIcon icon = QIcon::fromTheme(QLatin1String(c.themeName), style()->standardIcon(c.fallback));
        const QString name = QLatin1String(c.objectName);
        if (auto* b = findChild<QToolButton*>(name)) {
            b->setIcon(icon);
            b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        } else if (auto* p = findChild<QPushButton*>(name)) {
            p->setIcon(icon);
        } else if (auto* a = findChild<QAction*>(name)) {
            a->setIcon(icon);
        }
    }
}
