// A session over TLS from the window, against vsftpd with a self-signed
// certificate made by the fixture: the site requires TLS, the real
// certificate window is answered as a user would, the listing, a download
// and an upload travel encrypted and arrive byte for byte, the window marks
// the session as encrypted; rejected, the certificate leaves the window
// disconnected with the reason in the log.
#include "MainWindowServerFixture.h"
#include "ModalAnswerer.h"

#include "FtpServers.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "sites/SiteLine.h"
#include "ui/T_Certificate.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>

namespace {

// The program's own certificate window; message boxes are recorded.
class CertificateAskingUi final : public IUserInterface {
public:
    QStringList boxes;
    int ShowMessageBox(const QString& text, const QString&, int) override
    {
        boxes << text;
        return mb::IdOk;
    }
    bool InputLine(const QString&, const QString&, QString&, bool, int) override { return false; }
    int AskCertificate(const TTlsCertificateInfo& cert) override
    {
        return ::AskCertificate(cert, QApplication::activeWindow());
    }
};

QByteArray randomBytes(int size)
{
    QByteArray b(size, '\0');
    for (char& c : b)
        c = char(QRandomGenerator::global()->bounded(256));
    return b;
}

class TlsFromTheWindow : public MainWindowServerTest {
protected:
    CertificateAskingUi asking;
    // What the certificate window showed, each time it was shown.
    QStringList shownHosts, shownFingerprints, shownProblems;

    bool startServer()
    {
        QString error;
        if (!server.startVsftpdTls({}, &error)) {
            if (testenv::underCi())
                ADD_FAILURE() << error.toStdString();
            return false;
        }
        writeSite(QStringLiteral("Secure server"), 2, true);  // explicit TLS, required
        return true;
    }

    // Clicks Connect with the site selected; the certificate window gets
    // the answer button's click.
    int connectAnswering(QPushButton* T_Certificate::*button)
    {
        ModalAnswerer<T_Certificate> answerer([this, button](T_Certificate* d) {
            shownHosts << d->lHost->text();
            shownFingerprints << d->lFingerprint->text();
            shownProblems << d->lProblems->text();
            (d->*button)->click();
        });
        window->SiteList()->SelectRow(window->SiteList()->FindCaption(QStringLiteral("Secure server")));
        find<QToolButton>("sbConnect")->click();
        testenv::waitFor([&] { return answerer.shown > 0; }, 15000);
        return answerer.shown;
    }

    QLabel* tlsMark() const { return find<QLabel>("lTls"); }
    bool batchDone(int& ended, int wanted)
    {
        return testenv::waitFor([&] { return ended >= wanted; }, 60000) && idle();
    }
};

} // namespace

TEST_F(TlsFromTheWindow, AcceptedOnceTheSessionListsDownloadsAndUploadsEncrypted)
{
    if (!startServer())
        GTEST_SKIP() << "vsftpd with TLS is not available here";
    const QByteArray remote = randomBytes(300000);
    writeFile(server.dataDir() + "/from-server.bin", remote);
    QProcess::execute("chmod", {"-R", "a+rwX", server.dataDir()});
    setUserInterface(&asking);
    start();
    ASSERT_TRUE(window->SetLocalDir(local.path()));
    EXPECT_FALSE(tlsMark()->isVisible());

    ASSERT_EQ(connectAnswering(&T_Certificate::btnAcceptOnce), 1) << log();
    ASSERT_TRUE(idle()) << log();
    EXPECT_EQ(shownHosts, QStringList({"127.0.0.1:" + QString::number(server.port())}));
    EXPECT_EQ(shownFingerprints.value(0).size(), 95) << "32 pairs of hex digits: "
                                                     << shownFingerprints.value(0).toStdString();
    EXPECT_TRUE(shownProblems.value(0).contains("self-signed")) << shownProblems.value(0).toStdString();
    ASSERT_TRUE(testenv::waitFor([&] { return names(remoteView()).contains("from-server.bin"); }, 10000)) << log();
    // The window says the session is encrypted, in words for a screen reader too.
    EXPECT_TRUE(tlsMark()->isVisible());
    EXPECT_EQ(tlsMark()->text(), "TLS");
    EXPECT_FALSE(tlsMark()->accessibleName().isEmpty());
    // Nothing of the login went in the clear: AUTH TLS came before USER.
    const QString text = logText();
    ASSERT_GE(text.indexOf("> AUTH TLS"), 0) << log();
    EXPECT_LT(text.indexOf("> AUTH TLS"), text.indexOf("> USER")) << log();
    EXPECT_GE(text.indexOf("> PROT P"), 0) << log();
    // The log says how the session is protected.
    EXPECT_TRUE(text.contains(QRegularExpression("! Encrypted connection: TLS 1\\.[23], [A-Z0-9_-]+\n"))) << log();

    int ended = 0;
    QObject::connect(session(), &TSession::TransferBatchEnded, window.get(), [&] { ++ended; });
    select(remoteView(), {"from-server.bin"});
    find<QToolButton>("SpeedButton2")->click();
    ASSERT_TRUE(batchDone(ended, 1)) << log();
    EXPECT_EQ(contents(local.filePath("from-server.bin")), remote);

    const QByteArray up = randomBytes(200001);
    writeFile(local.filePath("to-server.bin"), up);
    ASSERT_TRUE(window->SetLocalDir(local.path()));
    select(localView(), {"to-server.bin"});
    find<QToolButton>("SpeedButton1")->click();
    ASSERT_TRUE(batchDone(ended, 2)) << log();
    EXPECT_EQ(contents(server.dataDir() + "/to-server.bin"), up);
    EXPECT_TRUE(names(remoteView()).contains("to-server.bin"));

    find<QToolButton>("sbDisConnect")->click();
    ASSERT_TRUE(testenv::waitFor([&] { return window->SiteListShown(); }, 10000)) << log();
    EXPECT_FALSE(tlsMark()->isVisible());
    EXPECT_EQ(shownHosts.size(), 1);
}

TEST_F(TlsFromTheWindow, RejectedTheWindowStaysDisconnectedAndSaysWhy)
{
    if (!startServer())
        GTEST_SKIP() << "vsftpd with TLS is not available here";
    setUserInterface(&asking);
    start();
    ASSERT_EQ(connectAnswering(&T_Certificate::btnReject), 1) << log();
    ASSERT_TRUE(testenv::waitFor([&] {
        return window->SiteListShown() && session()->CurrentPhase() == TSession::Phase::SiteList;
    }, 15000)) << log();
    const QString text = logText();
    EXPECT_TRUE(text.contains("not trusted")) << log();
    EXPECT_FALSE(text.contains("> USER")) << "no login after a rejected certificate: " << log();
    EXPECT_FALSE(tlsMark()->isVisible());
    EXPECT_FALSE(session()->Ftp1().Connected());
    EXPECT_TRUE(find<QToolButton>("sbConnect")->isEnabled());
}
