// The command bar (Panel17, under the log; hidden until "Custom Command" is
// checked): the history box cbCmd, "Do It" that sends its text through the
// session engine, and "Commands" that opens the library (T_FCmd). The
// library is read from commands.txt at start and written when the window
// closes.
#include "ui/T_Main.h"

#include "session/Session.h"
#include "settings/Globals.h"
#include "ui/T_FCmd.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

void T_Main::ConnectCustomCommands()
{
    Panel17 = new QFrame(centralWidget());
    Panel17->setObjectName(QStringLiteral("Panel17"));
    Panel17->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(Panel17);
    row->setContentsMargins(4, 2, 4, 2);
    auto* label = new QLabel(tr("FTP command:"), Panel17);
    label->setObjectName(QStringLiteral("Label17"));
    cbCmd = new QComboBox(Panel17);
    cbCmd->setObjectName(QStringLiteral("cbCmd"));
    cbCmd->setEditable(true);
    // The history grows only through "Do It" and "Commands", never by Enter.
    cbCmd->setInsertPolicy(QComboBox::NoInsert);
    cbCmd->setMinimumWidth(260);
    cbCmd->setProperty("noTranslate", true); // the user's commands, not wording
    label->setBuddy(cbCmd);
    auto* doIt = new QPushButton(tr("Do It"), Panel17);
    doIt->setObjectName(QStringLiteral("SpeedButton5"));
    doIt->setToolTip(tr("Send the command to the server"));
    auto* library = new QPushButton(tr("Commands"), Panel17);
    library->setObjectName(QStringLiteral("SpeedButton6"));
    library->setToolTip(tr("Choose a saved command"));
    row->addWidget(label);
    row->addWidget(cbCmd, 1);
    row->addWidget(doIt);
    row->addWidget(library);
    static_cast<QVBoxLayout*>(centralWidget()->layout())->addWidget(Panel17);
    Panel17->hide();

    connectedCommands_ << QStringLiteral("SpeedButton5"); // nothing to send to without a session
    connect(doIt, &QPushButton::clicked, this, &T_Main::SpeedButton5Click);
    connect(cbCmd->lineEdit(), &QLineEdit::returnPressed, this, &T_Main::SpeedButton5Click);
    connect(library, &QPushButton::clicked, this, &T_Main::SpeedButton6Click);

    // Two menu items toggle the bar; both show whether it is visible.
    const auto toggle = [this](const char* name, const char* menu) {
        auto* a = new QAction(tr("Custom Command"), this);
        a->setObjectName(QLatin1String(name));
        a->setCheckable(true);
        if (auto* m = findChild<QMenu*>(QLatin1String(menu)))
            m->addAction(a);
        connect(a, &QAction::triggered, this, &T_Main::ShowCommandBar);
    };
    toggle("CustomCommand1", "FTPServer1");
    toggle("CustomCommand2", "Localcomputer1");

    commandLibrary_.LoadCommands(CommandsFilePath(ProgramDir));
}

void T_Main::ShowCommandBar(bool visible)
{
    Panel17->setVisible(visible);
    for (const char* name : {"CustomCommand1", "CustomCommand2"})
        if (auto* a = findChild<QAction*>(QLatin1String(name)))
            a->setChecked(visible);
    if (visible)
        cbCmd->setFocus();
}

void T_Main::SpeedButton5Click()
{
    const QString text = cbCmd->currentText();
    // Not ready (a transfer runs, no session): nothing, not even the history.
    if (text.isEmpty() || !session_->CanSendCommand())
        return;
    commandHistory_.Items.clear();
    for (int i = 0; i < cbCmd->count(); ++i)
        commandHistory_.Items << cbCmd->itemText(i);
    commandHistory_.Selected = cbCmd->currentIndex();
    const int before = cbCmd->count();
    const QString command = commandHistory_.DoIt(text);
    if (commandHistory_.Items.size() > before) {
        cbCmd->addItem(commandHistory_.Items.last());
        cbCmd->setCurrentIndex(cbCmd->count() - 1);
    }
    session_->SendCustomCommand(command);
}

void T_Main::SpeedButton6Click()
{
    const QString chosen = ShowCommands(commandLibrary_, this);
    if (!commandHistory_.AddChosen(chosen))
        return;
    cbCmd->addItem(chosen);
    cbCmd->setCurrentIndex(cbCmd->count() - 1);
}

void T_Main::SaveCustomCommands()
{
    QString error;
    if (!commandLibrary_.SaveCommands(CommandsFilePath(ProgramDir), &error))
        Display(QStringLiteral("! The command library was not saved to %1: %2")
                    .arg(CommandsFilePath(ProgramDir), error));
}
