// The certificate window as the user meets it: what it shows of a server's
// certificate, the answer of each button, Escape, Enter and the close button
// meaning Reject, the window behind the GUI's AskCertificate, its names for
// screen readers and its German texts.
#include "TestEnv.h"
#include "ModalAnswerer.h"
#include "settings/Globals.h"
#include "ui/GuiUserInterface.h"
#include "ui/T_Certificate.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

TTlsCertificateInfo selfSigned()
{
    TTlsCertificateInfo c;
    c.Host = QStringLiteral("127.0.0.1");
    c.Port = QStringLiteral("2121");
    c.Subject = QStringLiteral("CN=127.0.0.1, O=Varnoth test");
    c.Issuer = QStringLiteral("CN=127.0.0.1, O=Varnoth test");
    c.NotBefore = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
    c.NotAfter = QDateTime(QDate(2027, 6, 7), QTime(22, 30, 0), Qt::UTC);
    c.Sha256 = QStringLiteral("AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:"
                              "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89");
    c.Problems = {QStringLiteral("self-signed"), QStringLiteral("expired on 2027-06-07")};
    return c;
}

// Sends one key press and release to w.
void press(QWidget* w, int key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &up);
}

// Runs the window through the GUI's user interface, answered by act.
int askAnswered(std::function<void(T_Certificate*)> act, int* shown = nullptr)
{
    ModalAnswerer<T_Certificate> answerer(std::move(act));
    GuiUserInterface gui;
    const int answer = static_cast<IUserInterface&>(gui).AskCertificate(selfSigned());
    if (shown)
        *shown = answerer.shown;
    return answer;
}

// Sets the process's local time zone for a scope (TZ), so that local time
// and UTC differ in the window whatever zone the machine is in.
class LocalZone {
public:
    explicit LocalZone(const char* tz) : had_(qEnvironmentVariableIsSet("TZ")), old_(qgetenv("TZ"))
    {
        qputenv("TZ", tz);
        tzset();
    }
    ~LocalZone()
    {
        if (had_)
            qputenv("TZ", old_);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    bool had_;
    QByteArray old_;
};

} // namespace

TEST(CertificateDialog, ShowsTheServerTheCertificateAndItsProblems)
{
    const LocalZone zone("XST-5:30");  // 5 h 30 min east of UTC
    T_Certificate d;
    d.ShowCertificate(selfSigned());
    EXPECT_EQ(d.objectName(), "T_Certificate");
    EXPECT_EQ(d.lHost->text(), "127.0.0.1:2121");
    EXPECT_EQ(d.lSubject->text(), "CN=127.0.0.1, O=Varnoth test");
    EXPECT_EQ(d.lIssuer->text(), "CN=127.0.0.1, O=Varnoth test");
    EXPECT_EQ(d.lFingerprint->text(), selfSigned().Sha256);
    EXPECT_TRUE(d.lFingerprint->textInteractionFlags().testFlags(Qt::TextSelectableByMouse |
                                                                 Qt::TextSelectableByKeyboard));
    EXPECT_NE(d.lFingerprint->focusPolicy(), Qt::NoFocus) << "reachable by keyboard to copy it";
    EXPECT_EQ(d.lProblems->text(), QString::fromUtf8("\u2022 self-signed\n\u2022 expired on 2027-06-07"));
    // Validity: local time first, then UTC, both ends each.
    EXPECT_EQ(d.lValidity->text(), "2026-01-02 08:34:05 to 2027-06-08 04:00:00 (local time)\n"
                                   "2026-01-02 03:04:05 to 2027-06-07 22:30:00 (UTC)");
    EXPECT_EQ(d.btnAcceptOnce->text(), "Accept &once");
    EXPECT_EQ(d.btnAcceptAlways->text(), "&Always accept");
    EXPECT_EQ(d.btnReject->text(), "&Reject");
    EXPECT_TRUE(d.btnReject->isDefault());
    EXPECT_FALSE(d.btnAcceptOnce->isDefault());
    EXPECT_FALSE(d.btnAcceptAlways->isDefault());

    // For the documentation, when asked for.
    if (const QString shots = qEnvironmentVariable("VARNOTH_SCREENSHOT_DIR"); !shots.isEmpty()) {
        d.show();
        QCoreApplication::processEvents();
        d.grab().save(shots + "/screenshot-certificate.png");
    }
}

TEST(CertificateDialog, WhatTheServerLeftOutShowsAsUnknownNeverBlank)
{
    TTlsCertificateInfo c;
    c.Host = QStringLiteral("ftp.example.org");
    c.Problems = {QString(), QStringLiteral("  ")};
    T_Certificate d;
    d.ShowCertificate(c);
    EXPECT_EQ(d.lHost->text(), "ftp.example.org");
    EXPECT_EQ(d.lSubject->text(), "unknown");
    EXPECT_EQ(d.lIssuer->text(), "unknown");
    EXPECT_EQ(d.lFingerprint->text(), "unknown");
    EXPECT_EQ(d.lValidity->text(), "unknown to unknown (local time)\nunknown to unknown (UTC)");
    EXPECT_EQ(d.lProblems->text(), "none");
}

TEST(CertificateDialog, EachButtonGivesItsAnswerAndEveryOtherWayOutRejects)
{
    struct Way {
        const char* name;
        std::function<void(T_Certificate*)> act;
        int answer;
    };
    const QList<Way> ways = {
        {"Accept once", [](T_Certificate* d) { d->btnAcceptOnce->click(); }, certanswer::AcceptOnce},
        {"Always accept", [](T_Certificate* d) { d->btnAcceptAlways->click(); }, certanswer::AcceptAlways},
        {"Reject", [](T_Certificate* d) { d->btnReject->click(); }, certanswer::Reject},
        {"Escape", [](T_Certificate* d) { press(d, Qt::Key_Escape); }, certanswer::Reject},
        {"Enter", [](T_Certificate* d) { press(d, Qt::Key_Return); }, certanswer::Reject},
        {"close button", [](T_Certificate* d) { d->close(); }, certanswer::Reject},
    };
    for (const Way& w : ways) {
        int shown = 0;
        EXPECT_EQ(askAnswered(w.act, &shown), w.answer) << w.name;
        EXPECT_EQ(shown, 1) << w.name;
    }
}

TEST(CertificateDialog, EveryControlHasANameForScreenReaders)
{
    T_Certificate d;
    d.ShowCertificate(selfSigned());
    EXPECT_EQ(d.lSubject->accessibleName(), "Issued to");
    EXPECT_EQ(d.lIssuer->accessibleName(), "Issued by");
    EXPECT_EQ(d.lValidity->accessibleName(), "Valid");
    EXPECT_EQ(d.lFingerprint->accessibleName(), "SHA-256 fingerprint");
    EXPECT_EQ(d.lProblems->accessibleName(), "Problems");
    EXPECT_EQ(d.lHost->accessibleName(), "Server");
    EXPECT_EQ(d.lFingerprint->accessibleDescription(), selfSigned().Sha256);
    for (QWidget* w : d.findChildren<QWidget*>()) {
        if (w->focusPolicy() == Qt::NoFocus && !qobject_cast<QLabel*>(w))
            continue;
        QString text = w->accessibleName();
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            text += b->text();
        if (auto* l = qobject_cast<QLabel*>(w))
            text += l->text();
        EXPECT_FALSE(text.trimmed().isEmpty()) << w->objectName().toStdString();
    }
}

TEST(CertificateDialog, GermanTextsAndNames)
{
    QTemporaryDir dir;
    const QString savedDir = ProgramDir;
    const bool on = LangOn;
    const QString file = LangFile;
    ProgramDir = WithTrailingSlash(dir.path());
    ASSERT_TRUE(QFile::copy(testenv::sourceDir() + "/lang/Deutsch.lan", dir.filePath("deutsch.lan")));
    LangOn = true;
    LangFile = "deutsch";
    {
        T_Certificate d;
        d.ShowCertificate(selfSigned());
        EXPECT_EQ(d.windowTitle(), "Serverzertifikat");
        EXPECT_EQ(d.btnReject->text(), "&Ablehnen");
        EXPECT_EQ(d.lFingerprint->accessibleName(), "SHA-256-Fingerabdruck");
        EXPECT_TRUE(d.lValidity->text().endsWith("(UTC)"));
        EXPECT_TRUE(d.lValidity->text().contains(" bis ")) << d.lValidity->text().toStdString();
    }
    LangOn = on;
    LangFile = file;
    ProgramDir = savedDir;
}
