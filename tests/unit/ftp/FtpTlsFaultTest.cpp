// FTP over TLS when something is wrong: a server without TLS when TLS is
// required (transcript), a handshake that fails, certificates that must not
// be trusted on their own, a plain data connection after PROT P, a data
// connection cut without close_notify or secured with another certificate
// than the control connection's. Each a failed request with its cause in
// words, never a hang, never a login in the clear, never a success. And the
// one close without close_notify that is no failure: after QUIT.
#include "FtpHarness.h"
#include "TlsFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

void sameDir(FtpHarness& h, const testtls::FaultServer& srv, TFtpSecurity security)
{
    h.target(srv.port());
    h.ftp.SetSecurity(security);
}

struct TlsDir {
    QTemporaryDir dir;
    QString cert, key;
    // A certificate after the recipe in a fresh directory, or a test failure.
    bool make(const testtls::CertRecipe& recipe, QString* error)
    {
        cert = dir.filePath(recipe.name + ".pem");
        key = dir.filePath(recipe.name + ".key");
        return testtls::makeCertificate(dir.path(), recipe, error);
    }
};

} // namespace

TEST(FtpTlsFault, ServerWithoutTlsStopsARequiredLoginBeforeUserButNotAnOptionalOne)
{
    {
        FakeFtpServer srv;
        srv.on("AUTH", "500 AUTH not understood");
        FtpHarness h;
        h.target(srv.port());
        h.ftp.SetSecurity(ftpSecExplicitRequired);
        ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
        EXPECT_NE(h.lastError(), 0);
        EXPECT_EQ(h.lastRq(), ftpRqConnect);
        ASSERT_TRUE(testenv::waitFor([&] { return !srv.clientConnected(); }));
        EXPECT_EQ(srv.commands(), QStringList{"AUTH TLS"});
        EXPECT_TRUE(h.ftp.ErrorMessage().contains("refused AUTH TLS: 500 AUTH not understood"))
            << h.ftp.ErrorMessage().toStdString();
        EXPECT_FALSE(h.ftp.Connected());
    }
    {
        FakeFtpServer srv;
        srv.on("AUTH", "500 AUTH not understood");
        FtpHarness h;
        h.target(srv.port());
        h.ftp.SetSecurity(ftpSecExplicitIfOffered);
        ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
        EXPECT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
        EXPECT_EQ(srv.commands(), (QStringList{"AUTH TLS", "USER alice", "PASS secret"}));
        EXPECT_TRUE(h.display.join('\n').contains("does not offer TLS (500 AUTH not understood)"));
        EXPECT_FALSE(h.ftp.DataProtected());
    }
}

TEST(FtpTlsFault, HandshakeThatFailsEndsTheLoginWithItsCause)
{
    TlsDir certs;
    QString error;
    ASSERT_TRUE(certs.make({"server"}, &error)) << error.toStdString();
    for (const char* mode : {"garbage", "close"}) {
        SCOPED_TRACE(mode);
        testtls::FaultServer srv;
        ASSERT_TRUE(srv.start(mode, certs.cert, certs.key, &error)) << error.toStdString();
        FtpHarness h;
        sameDir(h, srv, ftpSecExplicitIfOffered);
        ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
        EXPECT_EQ(h.lastError(), wsock::TLS_HANDSHAKE_FAILED);
        EXPECT_TRUE(h.ftp.ErrorMessage().startsWith("TLS handshake failed: ")) << h.ftp.ErrorMessage().toStdString();
        EXPECT_TRUE(h.ftp.ErrorMessage().endsWith("(#20101)")) << h.ftp.ErrorMessage().toStdString();
        EXPECT_FALSE(h.display.join('\n').contains("> USER"));
        EXPECT_FALSE(h.ftp.Connected());
    }
}

TEST(FtpTlsFault, CertificatesWithProblemsAreNamedAndRefusedUnlessAccepted)
{
    TlsDir certs;
    QString error;
    ASSERT_TRUE(certs.make({"ca", "Test CA", "", -1, 30, false}, &error)) << error.toStdString();
    const QString ca = certs.cert;
    struct Case {
        testtls::CertRecipe recipe;
        QString problem;  // empty: trusted through the CA file
    } cases[] = {
        {{"selfsigned"}, "self-signed"},
        {{"otherhost", "other.example", "DNS:other.example", -1, 30, true}, "issued for other.example, not for 127.0.0.1"},
        {{"expired", "127.0.0.1", "IP:127.0.0.1", -30, -2, true},
         "expired on " + QDateTime::currentDateTimeUtc().addDays(-2).toString("yyyy-MM-dd")},
        {{"trustedbyca", "127.0.0.1", "IP:127.0.0.1", -1, 30, true}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recipe.name.toStdString());
        TlsDir leaf;
        QFile::copy(ca, leaf.dir.filePath("ca.pem"));
        QFile::copy(certs.dir.filePath("ca.key"), leaf.dir.filePath("ca.key"));
        ASSERT_TRUE(leaf.make(c.recipe, &error)) << error.toStdString();
        testtls::FaultServer srv;
        ASSERT_TRUE(srv.start("serve", leaf.cert, leaf.key, &error)) << error.toStdString();

        // With the CA trusted, only the certificate's own problems remain.
        FtpHarness h;
        sameDir(h, srv, ftpSecExplicitRequired);
        h.ftp.SetTlsCaFile(ca);
        ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
        if (c.problem.isEmpty()) {
            EXPECT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
            continue;
        }
        EXPECT_EQ(h.lastError(), wsock::TLS_UNTRUSTED);
        EXPECT_TRUE(h.ftp.ErrorMessage().contains(c.problem)) << h.ftp.ErrorMessage().toStdString();
        EXPECT_FALSE(h.display.join('\n').contains("> USER"));

        // A handler that accepts it goes on, and is told the same problem.
        FtpHarness accepted;
        sameDir(accepted, srv, ftpSecExplicitRequired);
        accepted.ftp.SetTlsCaFile(ca);
        QStringList problems;
        accepted.ftp.OnCertificate = [&](TCustomFtpCli*, const TTlsCertificateInfo& cert, QString&) {
            problems = cert.Problems;
            return true;
        };
        ASSERT_TRUE(accepted.run([&] { accepted.ftp.Connect(); }));
        EXPECT_EQ(accepted.lastError(), 0) << accepted.ftp.ErrorMessage().toStdString();
        EXPECT_EQ(problems, QStringList{c.problem});
    }
    // Without the CA, a certificate it issued is of an unknown authority.
    TlsDir leaf;
    QFile::copy(ca, leaf.dir.filePath("ca.pem"));
    QFile::copy(certs.dir.filePath("ca.key"), leaf.dir.filePath("ca.key"));
    ASSERT_TRUE(leaf.make({"leaf", "127.0.0.1", "IP:127.0.0.1", -1, 30, true}, &error)) << error.toStdString();
    testtls::FaultServer srv;
    ASSERT_TRUE(srv.start("serve", leaf.cert, leaf.key, &error)) << error.toStdString();
    FtpHarness h;
    sameDir(h, srv, ftpSecExplicitRequired);
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    EXPECT_TRUE(h.ftp.ErrorMessage().contains("issued by an unknown authority")) << h.ftp.ErrorMessage().toStdString();
}

TEST(FtpTlsFault, DataConnectionInTheClearOrCutWithoutCloseNotifyFailsTheDownload)
{
    TlsDir certs;
    QString error;
    ASSERT_TRUE(certs.make({"server"}, &error)) << error.toStdString();
    struct Case {
        const char* mode;
        int error;
        const char* text;
    } cases[] = {
        {"plain-data", wsock::TLS_HANDSHAKE_FAILED, "426 Data connection: TLS handshake failed: "},
        {"truncate", wsock::TLS_TRUNCATED, "without close_notify"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        testtls::FaultServer srv;
        ASSERT_TRUE(srv.start(c.mode, certs.cert, certs.key, &error)) << error.toStdString();
        FtpHarness h;
        sameDir(h, srv, ftpSecExplicitRequired);
        h.ftp.OnCertificate = [](TCustomFtpCli*, const TTlsCertificateInfo&, QString&) { return true; };
        ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
        ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
        h.ftp.SetHostFileName("file.bin");
        h.ftp.SetLocalFileName(h.path("file.bin"));
        ASSERT_TRUE(h.run([&] { h.ftp.Get(); }, 15000)) << h.display.join('\n').toStdString();
        EXPECT_EQ(h.lastError(), c.error) << h.ftp.ErrorMessage().toStdString();
        EXPECT_TRUE(h.ftp.ErrorMessage().contains(c.text)) << h.ftp.ErrorMessage().toStdString();
    }
}

namespace {

// The SHA-256 fingerprint of a PEM certificate as the client writes it.
QString fingerprintOf(const QString& pem)
{
    QProcess p;
    p.start(testenv::findProgram("openssl"), {"x509", "-noout", "-fingerprint", "-sha256", "-in", pem});
    p.waitForFinished(20000);
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed().section('=', 1);
}

} // namespace

// A data connection secured with another certificate than the control
// connection's fails the download and the upload, naming both fingerprints;
// nothing of the download reaches the local file.
TEST(FtpTlsFault, DataConnectionWithAnotherCertificateFailsTheTransfer)
{
    TlsDir certs;
    QString error;
    ASSERT_TRUE(certs.make({"other"}, &error)) << error.toStdString();
    const QString otherCert = certs.cert, otherKey = certs.key;
    ASSERT_TRUE(certs.make({"server"}, &error)) << error.toStdString();
    const QString controlSha = fingerprintOf(certs.cert), dataSha = fingerprintOf(otherCert);
    ASSERT_EQ(controlSha.size(), 95);
    ASSERT_NE(controlSha, dataSha);
    testtls::FaultServer srv;
    ASSERT_TRUE(srv.start("other-cert", certs.cert, certs.key, &error, otherCert, otherKey)) << error.toStdString();
    FtpHarness h;
    sameDir(h, srv, ftpSecExplicitRequired);
    int asked = 0;
    h.ftp.OnCertificate = [&](TCustomFtpCli*, const TTlsCertificateInfo& cert, QString&) {
        ++asked;
        EXPECT_EQ(cert.Sha256, controlSha);
        return true;
    };
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    const QString why = QStringLiteral("the server's certificate is not the control connection's (SHA-256 %1 instead "
                                       "of %2); the transfer is refused").arg(dataSha, controlSha);

    h.ftp.SetHostFileName("file.bin");
    h.ftp.SetLocalFileName(h.path("file.bin"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }, 15000)) << h.display.join('\n').toStdString();
    EXPECT_EQ(h.lastError(), wsock::TLS_UNTRUSTED);
    EXPECT_EQ(h.ftp.ErrorMessage(), "426 Data connection: " + why + " (#20104)");
    EXPECT_TRUE(h.display.contains("! Data connection: " + why)) << h.display.join('\n').toStdString();
    EXPECT_EQ(QFileInfo(h.path("file.bin")).size(), 0);

    writeFile(h.path("up.bin"), QByteArray(300000, 'u'));
    h.ftp.SetHostFileName("up.bin");
    h.ftp.SetLocalFileName(h.path("up.bin"));
    ASSERT_TRUE(h.run([&] { h.ftp.Put(); }, 15000)) << h.display.join('\n').toStdString();
    EXPECT_EQ(h.lastError(), wsock::TLS_UNTRUSTED);
    EXPECT_EQ(h.ftp.ErrorMessage(), "426 Data connection: " + why + " (#20104)");
    // The data connections asked nobody: the control connection's decision
    // stands, and a different certificate is simply refused.
    EXPECT_EQ(asked, 1);
}

// The control connection ended without close_notify after QUIT, with or
// without a 221 first: a normal end, no error anywhere.
TEST(FtpTlsFault, QuitAnsweredByACloseWithoutCloseNotifyIsANormalEnd)
{
    TlsDir certs;
    QString error;
    ASSERT_TRUE(certs.make({"server"}, &error)) << error.toStdString();
    for (const char* mode : {"serve", "quit-silent"}) {
        SCOPED_TRACE(mode);
        testtls::FaultServer srv;
        ASSERT_TRUE(srv.start(mode, certs.cert, certs.key, &error)) << error.toStdString();
        FtpHarness h;
        sameDir(h, srv, ftpSecExplicitRequired);
        h.ftp.OnCertificate = [](TCustomFtpCli*, const TTlsCertificateInfo&, QString&) { return true; };
        QList<int> closed;
        h.ftp.OnSessionClosed = [&](TCustomFtpCli*, quint16 e) { closed << e; };
        ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
        ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
        ASSERT_TRUE(h.run([&] { h.ftp.Quit(); }));
        EXPECT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
        EXPECT_EQ(h.lastRq(), ftpRqQuit);
        ASSERT_TRUE(testenv::waitFor([&] { return !closed.isEmpty(); }));
        EXPECT_EQ(closed, QList<int>{0});
        EXPECT_TRUE(h.ftp.ErrorMessage().isEmpty()) << h.ftp.ErrorMessage().toStdString();
        const QString log = h.display.join('\n');
        EXPECT_FALSE(log.contains("close_notify") || log.contains("20102") || log.contains("426")) << log.toStdString();
        EXPECT_FALSE(h.ftp.Connected());
    }
}
