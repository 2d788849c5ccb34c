#pragma once
// The one channel through which the session engine asks the user something or
// shows a message. The GUI implements it with real dialogs; tests and the
// command-line tool implement it with scripted or printed answers.
#include "session/Overwrite.h"
#include "session/Permissions.h"
#include "net/TlsCertificate.h"

#include <QString>

namespace mb {
// Message box flags (may be OR-ed) and the button results they return.
enum Flags : int {
    Ok = 0x0,
    OkCancel = 0x1,
    YesNoCancel = 0x3,
    YesNo = 0x4,
    IconError = 0x10,
    IconQuestion = 0x20,
    IconWarning = 0x30,
    IconInformation = 0x40,
    TaskModal = 0x2000,
};
enum Result : int { IdOk = 1, IdCancel = 2, IdYes = 6, IdNo = 7 };
} // namespace mb

class IUserInterface {
public:
    virtual ~IUserInterface() = default;

    // A modal message box; flags from mb::Flags; returns an mb::Result.
    virtual int ShowMessageBox(const QString& text, const QString& caption, int flags) = 0;

    // Asks for one line of text. On confirmation Value receives at most
    // MaxLength characters and the result is true; otherwise Value is left
    // unchanged. Masked offers the "Mask password" check box, checked.
    virtual bool InputLine(const QString& Caption, const QString& Prompt, QString& Value,
                           bool Masked = false, int MaxLength = 255) = 0;

    // Asks what to do with FileName, which already exists at the destination;
    // returns an overwrite::Answer. Only for SaveAs is FileName replaced (by
    // the path the user typed). Implementations that cannot ask cancel, so
    // nothing is ever overwritten or appended to unasked.
    virtual int AskReWrite(QString& FileName)
    {
        (void)FileName;
        return overwrite::Cancel;
    }

    // Shows the permissions of Files (the selected remote files) and lets the
    // user set new ones; true when at least one file's value changed, and
    // those carry kPermissionChanged. Implementations that cannot ask change
    // nothing.
    virtual bool ChangeAttributes(TPermissionFiles& Files)
    {
        (void)Files;
        return false;
    }

    // Shows a server certificate that cannot be trusted on its own (unknown
    // issuer, self-signed, expired, issued for another name) and returns a
    // certanswer::Answer. Implementations that cannot ask reject, so an
    // untrusted server is never used unasked.
    virtual int AskCertificate(const TTlsCertificateInfo& Cert)
    {
        (void)Cert;
        return certanswer::Reject;
    }
};

// The process-wide implementation (set once by the GUI, the tool or a test).
IUserInterface* userInterface();
void setUserInterface(IUserInterface* ui);
