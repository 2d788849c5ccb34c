#include "ui/T_FCmd.h"

#include "session/CustomCommands.h"
#include "settings/Options.h"
#include "ui/FontRec.h"
#include "ui/FormLanguage.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

T_FCmd::T_FCmd(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("T_FCmd"));
    setWindowTitle(QStringLiteral("Commands"));

    lbCmd = new QListWidget(this);
    lbCmd->setObjectName(QStringLiteral("lbCmd"));
    lbCmd->setAccessibleName(QStringLiteral("Commands"));
    lbCmd->setProperty("noTranslate", true); // the user's labels, not wording
    lbCmd->setMinimumSize(360, 200);
    lbCmd->installEventFilter(this);

    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setProperty("noTranslate", true);
        e->setReadOnly(true); // until an entry is selected
        return e;
    };
    eAl = edit("eAl");
    eCmd = edit("eCmd");
    auto* Label1 = new QLabel(QStringLiteral("Label:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setBuddy(eAl);
    auto* Label2 = new QLabel(QStringLiteral("Command:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setBuddy(eCmd);

    auto button = [this](const char* name, const char* text) {
        auto* b = new QPushButton(QLatin1String(text), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false); // Enter is handled by keyPressEvent
        return b;
    };
    SpeedButton1 = button("SpeedButton1", "Add");
    SpeedButton2 = button("SpeedButton2", "Remove");
    SpeedButton4 = button("SpeedButton4", "Select");
    SpeedButton3 = button("SpeedButton3", "Close");
    connect(SpeedButton1, &QPushButton::clicked, this, &T_FCmd::AddEntry);
    connect(SpeedButton2, &QPushButton::clicked, this, &T_FCmd::RemoveEntry);
    connect(SpeedButton4, &QPushButton::clicked, this, [this] { CloseWith(Selected); });
    connect(SpeedButton3, &QPushButton::clicked, this, [this] { CloseWith(Closed); });
    connect(lbCmd, &QListWidget::itemDoubleClicked, this, [this] { CloseWith(Selected); });
    connect(lbCmd, &QListWidget::currentRowChanged, this, &T_FCmd::ShowSelected);

    // Every keystroke goes straight into the selected entry.
    connect(eAl, &QLineEdit::textChanged, this, [this](const QString& text) {
        const int row = lbCmd->currentRow();
        if (row < 0)
            return;
        labels_[row] = text;
        lbCmd->item(row)->setText(text);
    });
    connect(eCmd, &QLineEdit::textChanged, this, [this](const QString& text) {
        const int row = lbCmd->currentRow();
        if (row >= 0)
            commands_[row] = text;
    });

    auto* edits = new QGridLayout;
    edits->addWidget(Label1, 0, 0);
    edits->addWidget(eAl, 0, 1);
    edits->addWidget(Label2, 1, 0);
    edits->addWidget(eCmd, 1, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(SpeedButton1);
    side->addWidget(SpeedButton2);
    side->addStretch(1);
    side->addWidget(SpeedButton4);
    side->addWidget(SpeedButton3);
    auto* top = new QHBoxLayout;
    top->addWidget(lbCmd, 1);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(edits);

    TranslateForm(this);
}

void T_FCmd::SetEntries(const QStringList& labels, const QStringList& commands)
{
    labels_ = labels;
    commands_ = commands;
    // The two lists are kept equally long, whatever was handed in.
    while (commands_.size() < labels_.size())
        commands_ << QString();
    while (labels_.size() < commands_.size())
        labels_ << QString();
    lbCmd->clear();
    lbCmd->addItems(labels_);
    ShowSelected();
}

QString T_FCmd::ChosenCommand() const
{
    const int row = lbCmd->currentRow();
    return outcome_ == Selected && row >= 0 && row < commands_.size() ? commands_[row] : QString();
}

void T_FCmd::ShowSelected()
{
    const int row = lbCmd->currentRow();
    const bool selected = row >= 0 && row < labels_.size();
    eAl->setReadOnly(!selected);
    eCmd->setReadOnly(!selected);
    // Showing an entry is no edit of it.
    const QSignalBlocker quietLabel(eAl), quietCommand(eCmd);
    eAl->setText(selected ? labels_[row] : QString());
    eCmd->setText(selected ? commands_[row] : QString());
}

void T_FCmd::AddEntry()
{
    labels_ << QString();
    commands_ << QString();
    lbCmd->addItem(QString());
    lbCmd->setCurrentRow(int(labels_.size()) - 1);
    lbCmd->scrollToItem(lbCmd->currentItem());
}

void T_FCmd::RemoveEntry()
{
    const int row = lbCmd->currentRow();
    if (row < 0)
        return;
    labels_.removeAt(row);
    commands_.removeAt(row);
    delete lbCmd->takeItem(row);
    ShowSelected();
}

void T_FCmd::CloseWith(int outcome)
{
    outcome_ = outcome;
    done(outcome);
}

void T_FCmd::reject() { CloseWith(Closed); }

void T_FCmd::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        CloseWith(lbCmd->currentRow() >= 0 ? Selected : Closed);
        return;
    }
    QDialog::keyPressEvent(e);
}

// The list's own keys: Escape closes, Insert adds, Delete removes; the focus
// stays in the list, and the key goes no further.
bool T_FCmd::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lbCmd && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Escape:
            CloseWith(Closed);
            return true;
        case Qt::Key_Insert:
            AddEntry();
            lbCmd->setFocus();
            return true;
        case Qt::Key_Delete:
            RemoveEntry();
            lbCmd->setFocus();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            CloseWith(lbCmd->currentRow() >= 0 ? Selected : Closed);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString ShowCommands(TCustomCommands& library, QWidget* parent)
{
    T_FCmd form(parent ? parent : QApplication::activeWindow());
    form.SetEntries(library.Labels, library.Commands);
    if (!FTPOptions.Font.Name.isEmpty())
        ApplyFontRec(&form, FTPOptions.Font); // the common font setting
    form.exec();
    // Edits are kept (and saved at exit) even after "Close".
    library.Labels = form.Labels();
    library.Commands = form.Commands();
    return form.ChosenCommand();
}
