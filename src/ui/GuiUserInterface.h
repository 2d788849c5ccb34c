#pragma once
// The session engine's questions and messages shown as real dialogs.
#include "session/UserInterface.h"

class QWidget;

class GuiUserInterface final : public IUserInterface {
public:
    // ShowMessageBox: a QMessageBox with the buttons and icon the flags name,
    // owned by the application's active window.
    int ShowMessageBox(const QString& text, const QString& caption, int flags) override;
    // InputLine: the program's one-line input window (TInputForm).
    bool InputLine(const QString& Caption, const QString& Prompt, QString& Value, bool Masked = false,
                   int MaxLength = 255) override;
    // AskReWrite: the overwrite prompt (TFReWrite).
    int AskReWrite(QString& FileName) override;
    // ChangeAttributes: the permissions dialog (T_ChMod).
    bool ChangeAttributes(TPermissionFiles& Files) override;
    // AskCertificate: the certificate window (T_Certificate).
    int AskCertificate(const TTlsCertificateInfo& Cert) override;
};
