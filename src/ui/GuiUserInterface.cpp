#include "ui/GuiUserInterface.h"

#include "ui/TFReWrite.h"
#include "ui/T_Certificate.h"
#include "ui/T_ChMod.h"
#include "ui/TInputForm.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::Icon iconOf(int flags)
{
    switch (flags & 0xF0) {
    case mb::IconError: return QMessageBox::Critical;
    case mb::IconQuestion: return QMessageBox::Question;
    case mb::IconWarning: return QMessageBox::Warning;
    case mb::IconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

} // namespace

int GuiUserInterface::ShowMessageBox(const QString& text, const QString& caption, int flags)
{
    QMessageBox box(iconOf(flags), caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    // Task-modal: nothing else of the program takes input while it is open.
    box.setWindowModality((flags & mb::TaskModal) ? Qt::ApplicationModal : Qt::WindowModal);
    switch (flags & 0xF) {
    case mb::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case mb::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case mb::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return mb::IdYes;
    case QMessageBox::No: return mb::IdNo;
    case QMessageBox::Ok: return mb::IdOk;
    default: return (flags & 0xF) == mb::YesNo ? mb::IdNo : mb::IdCancel;
    }
}

bool GuiUserInterface::InputLine(const QString& Caption, const QString& Prompt, QString& Value, bool Masked,
                                 int MaxLength)
{
    return ::InputLine(Caption, Prompt, Value, Masked, MaxLength, QApplication::activeWindow());
}

int GuiUserInterface::AskReWrite(QString& FileName)
{
    return ::AskReWrite(FileName, QApplication::activeWindow());
}

bool GuiUserInterface::ChangeAttributes(TPermissionFiles& Files)
{
    return ::ChangeAttributes(Files, QApplication::activeWindow());
}

int GuiUserInterface::AskCertificate(const TTlsCertificateInfo& Cert)
{
    return ::AskCertificate(Cert, QApplication::activeWindow());
}
