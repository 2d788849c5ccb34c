// T_Main: File Attributes (the FTP - Server menu and the right pane's popup
// share the action). The session engine builds the file list from the
// selected rows, asks through the permissions dialog and runs the batch.
#include "ui/T_Main.h"

#include "session/Session.h"

#include <QAction>

void T_Main::ConnectChmod()
{
    if (auto* a = findChild<QAction*>(QStringLiteral("FileAttributes1")))
        connect(a, &QAction::triggered, this, [this] { session_->ChangeFileAttributes(SelectedRemoteRows()); });
}
