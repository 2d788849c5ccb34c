#pragma once
// T_Certificate: shows a server certificate the program cannot trust on its
// own (unknown issuer, self-signed, expired, issued for another name) and
// asks whether to use it. AskCertificate shows it and returns the answer;
// the session's trust rules carry the answer out (remembering it, closing).
#include "net/TlsCertificate.h"

#include <QDialog>

class QLabel;
class QPushButton;
class TMsgLanguage;

// Indexes of the dialog's message list (msl).
namespace certmsg {
enum : int {
    LocalTime = 0,   // "%1 to %2 (local time)"
    Utc = 1,         // "%1 to %2 (UTC)"
    Unknown = 2,     // "unknown"
    NoProblems = 3,  // "none"
};
}

class T_Certificate : public QDialog {
    Q_OBJECT
public:
    // Builds the window and translates it. Until a button decides, the
    // answer is Reject: however the window goes away (Escape, its close
    // button, a closing program), an untrusted server is not used.
    explicit T_Certificate(QWidget* parent = nullptr);

    // Fills the value fields from cert.
    void ShowCertificate(const TTlsCertificateInfo& cert);
    // A certanswer::Answer.
    int Answer() const { return answer_; }

    // The two lines of the validity field: local time, then UTC.
    QString ValidityText(const QDateTime& notBefore, const QDateTime& notAfter) const;

    QLabel* lIntro = nullptr;        // what the window asks
    QLabel* lHost = nullptr;         // host:port
    QLabel* lSubject = nullptr;
    QLabel* lIssuer = nullptr;
    QLabel* lValidity = nullptr;
    QLabel* lFingerprint = nullptr;  // SHA-256, selectable
    QLabel* lProblems = nullptr;     // why it is not trusted, one per line
    QPushButton* btnAcceptOnce = nullptr;
    QPushButton* btnAcceptAlways = nullptr;
    QPushButton* btnReject = nullptr;  // the default button
    TMsgLanguage* msl = nullptr;

public slots:
    void reject() override;

private:
    void Answered(int answer);
    int answer_ = certanswer::Reject;
};

// Shows the dialog modally for cert (with the common font) and returns a
// certanswer::Answer.
int AskCertificate(const TTlsCertificateInfo& cert, QWidget* parent = nullptr);
