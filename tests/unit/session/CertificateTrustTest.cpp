// The certificate decision: what is trusted without a question, what is
// asked, what is remembered, and a changed certificate refused unasked.
#include "session/CertificateTrust.h"
#include "session/UserInterface.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ScriptedAnswers : IUserInterface {
    int answer = certanswer::Reject;
    int asked = 0;
    QStringList boxes;
    int boxFlags = 0;
    int ShowMessageBox(const QString& text, const QString&, int flags) override
    {
        boxes << text;
        boxFlags = flags;
        return mb::IdOk;
    }
    bool InputLine(const QString&, const QString&, QString&, bool, int) override { return false; }
    int AskCertificate(const TTlsCertificateInfo&) override
    {
        ++asked;
        return answer;
    }
};

TTlsCertificateInfo selfSigned(const QString& sha)
{
    TTlsCertificateInfo c;
    c.Host = "127.0.0.1";
    c.Port = "2121";
    c.Subject = c.Issuer = "CN=127.0.0.1";
    c.Sha256 = sha;
    c.Problems << "self-signed";
    return c;
}

const QString kShaA = QString("AB:").repeated(31) + "AB";
const QString kShaB = QString("CD:").repeated(31) + "CD";

QByteArray fileText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(CertificateTrust, OnceIsAskedAgainAlwaysIsRememberedAndAChangeIsRefusedUnasked)
{
    QTemporaryDir dir;
    const QString store = dir.filePath("certificates.txt");
    ScriptedAnswers ui;

    ui.answer = certanswer::AcceptOnce;
    EXPECT_TRUE(DecideCertificateTrust(selfSigned(kShaA), store, &ui).Go);
    EXPECT_TRUE(DecideCertificateTrust(selfSigned(kShaA), store, &ui).Go);
    EXPECT_EQ(ui.asked, 2);
    EXPECT_FALSE(QFile::exists(store));

    ui.answer = certanswer::Reject;
    const TTrustDecision rejected = DecideCertificateTrust(selfSigned(kShaA), store, &ui);
    EXPECT_FALSE(rejected.Go);
    EXPECT_TRUE(rejected.Log.join('\n').contains("(self-signed) rejected"));

    ui.answer = certanswer::AcceptAlways;
    EXPECT_TRUE(DecideCertificateTrust(selfSigned(kShaA), store, &ui).Go);
    EXPECT_EQ(ui.asked, 4);
    EXPECT_TRUE(fileText(store).contains("127.0.0.1 2121 " + kShaA.toLatin1()));
    const TTrustDecision again = DecideCertificateTrust(selfSigned(kShaA), store, &ui);
    EXPECT_TRUE(again.Go);
    EXPECT_EQ(ui.asked, 4);
    EXPECT_TRUE(again.Log.join('\n').contains("remembered"));

    // Another port of the same host is another server: asked.
    TTlsCertificateInfo otherPort = selfSigned(kShaA);
    otherPort.Port = "990";
    ui.answer = certanswer::Reject;
    EXPECT_FALSE(DecideCertificateTrust(otherPort, store, &ui).Go);
    EXPECT_EQ(ui.asked, 5);

    // A different certificate for the remembered server: refused with a
    // warning box, never asked, however the user would answer.
    ui.answer = certanswer::AcceptAlways;
    const TTrustDecision changed = DecideCertificateTrust(selfSigned(kShaB), store, &ui);
    EXPECT_FALSE(changed.Go);
    EXPECT_EQ(ui.asked, 5);
    ASSERT_EQ(ui.boxes.size(), 1);
    EXPECT_TRUE(ui.boxes[0].contains("CHANGED"));
    EXPECT_TRUE(ui.boxes[0].contains(kShaA) && ui.boxes[0].contains(kShaB));
    EXPECT_EQ(ui.boxFlags & mb::IconWarning, int(mb::IconWarning));
    EXPECT_TRUE(fileText(store).contains(kShaA.toLatin1()));
    EXPECT_FALSE(fileText(store).contains(kShaB.toLatin1()));
}

TEST(CertificateTrust, TrustedOrGivenFingerprintGoesOnWithoutAQuestionAndNoInterfaceRejects)
{
    QTemporaryDir dir;
    const QString store = dir.filePath("certificates.txt");
    ScriptedAnswers ui;
    TTlsCertificateInfo trusted = selfSigned(kShaA);
    trusted.Problems.clear();
    EXPECT_TRUE(DecideCertificateTrust(trusted, store, &ui).Go);
    // The fingerprint as a user copies it: lower case, with or without colons.
    QString given = kShaA.toLower();
    EXPECT_TRUE(DecideCertificateTrust(selfSigned(kShaA), store, &ui, given).Go);
    EXPECT_TRUE(DecideCertificateTrust(selfSigned(kShaA), store, &ui, given.remove(':')).Go);
    EXPECT_EQ(ui.asked, 0);
    ui.answer = certanswer::Reject;
    EXPECT_FALSE(DecideCertificateTrust(selfSigned(kShaB), store, &ui, kShaA).Go);
    EXPECT_EQ(ui.asked, 1);
    EXPECT_FALSE(DecideCertificateTrust(selfSigned(kShaB), store, nullptr).Go);
    EXPECT_EQ(NormalisedFingerprint("AB:CD"), QString());
    EXPECT_EQ(NormalisedFingerprint(QString("G").repeated(64)), QString());
}

TEST(CertificateTrust, DamagedStoreLinesAreSkippedWithALogLineAndKeptOutOfANewSave)
{
    QTemporaryDir dir;
    const QString store = dir.filePath("certificates.txt");
    {
        QFile f(store);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("# comment\n127.0.0.1 2121 " + kShaA.toLatin1() + "\ngarbage line\nhost 99999 " + kShaB.toLatin1()
                + "\nhost 21 NOTAFINGERPRINT\n\xff\xfe\x00\x01\n");
    }
    TCertificateStore s(store);
    const QStringList damaged = s.Load();
    EXPECT_EQ(damaged.size(), 4) << damaged.join('\n').toStdString();
    EXPECT_TRUE(damaged.value(0).contains("line 3 is damaged and ignored: garbage line"));
    EXPECT_EQ(s.Fingerprint("127.0.0.1", "2121"), kShaA);
    EXPECT_EQ(s.Fingerprint("host", "21"), QString());

    ScriptedAnswers ui;
    const TTrustDecision d = DecideCertificateTrust(selfSigned(kShaA), store, &ui);
    EXPECT_TRUE(d.Go);
    EXPECT_EQ(ui.asked, 0);
    EXPECT_TRUE(d.Log.join('\n').contains("damaged"));

    QString error;
    ASSERT_TRUE(s.Remember("Example.org", "990", kShaB, &error)) << error.toStdString();
    const QByteArray text = fileText(store);
    EXPECT_TRUE(text.startsWith("# comment\n127.0.0.1 2121 "));
    EXPECT_TRUE(text.contains("example.org 990 " + kShaB.toLatin1()));
    EXPECT_FALSE(text.contains("garbage"));
}
