#include "ui/TInputForm.h"

#include "i18n/MsgLanguage.h"
#include "settings/Options.h"
#include "ui/FontRec.h"
#include "ui/FormLanguage.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TInputForm::TInputForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("InputForm"));
    setWindowTitle(QStringLiteral("Input"));
    msl = new TMsgLanguage(this);

    Prompt = new QLabel(this);
    Prompt->setObjectName(QStringLiteral("Prompt"));
    Input = new QLineEdit(this);
    Input->setObjectName(QStringLiteral("Input"));
    Input->setMinimumWidth(320);
    // "*" for every hidden character, whatever the style's own choice.
    Input->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Input->installEventFilter(this);
    chbMask = new QCheckBox(QStringLiteral("Mask password"), this);
    chbMask->setObjectName(QStringLiteral("chbMask"));
    Button1 = new QPushButton(QStringLiteral("&Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("&Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    // Enter and Escape act on release in the field (see eventFilter); the
    // buttons must not also react to the key press.
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chbMask);
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Prompt);
    layout->addWidget(Input);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // not resizable

    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(chbMask, &QCheckBox::toggled, this, &TInputForm::chbMaskClick);

    SetMasked(false);
    TranslateForm(this);
    Input->setFocus();
}

void TInputForm::SetMasked(bool masked)
{
    chbMask->setVisible(masked);
    chbMask->setChecked(masked);
    chbMaskClick();
}

void TInputForm::chbMaskClick()
{
    Input->setEchoMode(chbMask->isChecked() ? QLineEdit::Password : QLineEdit::Normal);
}

bool TInputForm::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == Input && (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)) {
        const auto* ke = static_cast<QKeyEvent*>(e);
        const int key = ke->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            if (e->type() == QEvent::KeyRelease && !ke->isAutoRepeat())
                (key == Qt::Key_Escape ? Button2 : Button1)->click();
            return true; // the press is swallowed so the dialog does not act twice
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TInputForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        QRect r = frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
    Input->setFocus();
}

bool InputLine(const QString& Caption, const QString& Prompt, QString& Value, bool Masked, int MaxLength,
               QWidget* parent)
{
    TInputForm form(parent ? parent : QApplication::activeWindow());
    form.setWindowTitle(Caption);
    form.Prompt->setText(Prompt);
    form.Input->setText(Value);
    form.SetMasked(Masked);
    if (!FTPOptions.Font.Name.isEmpty())
        ApplyFontRec(&form, FTPOptions.Font); // the common font setting
    if (form.exec() != QDialog::Accepted)
        return false;
    Value = form.Input->text().left(qMax(0, MaxLength));
    return true;
}
