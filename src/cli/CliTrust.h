#pragma once
// The terminal as varnoth-cli's user interface for ls, get and put: a server
// certificate that cannot be trusted on its own is shown and asked about when
// standard input is a terminal; otherwise it is refused with the fingerprint
// to pass with --fingerprint. Messages go to stderr.
#include "session/UserInterface.h"

class TerminalTrust final : public IUserInterface {
public:
    int ShowMessageBox(const QString& text, const QString& caption, int flags) override;
    bool InputLine(const QString&, const QString&, QString&, bool, int) override { return false; }
    int AskCertificate(const TTlsCertificateInfo& cert) override;
};
