// FTP over TLS against real servers: vsftpd (explicit and implicit, TLS
// forced for login and data, data connections must resume the control
// connection's session) and pyftpdlib's TLS handler, in passive and active
// mode: login, upload, download, resume, listing.
#include "FtpHarness.h"
#include "FtpServers.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace {

enum class Server { VsftpdExplicit, VsftpdImplicit, PyftpdlibExplicit };

struct TlsCase {
    const char* name;
    Server server;
    bool passive;
};

bool startServer(testftp::FtpServer& srv, Server kind, QString* error)
{
    switch (kind) {
    case Server::VsftpdExplicit: return srv.startVsftpdTls({}, error);
    case Server::VsftpdImplicit: return srv.startVsftpdTls({true, {}, {}}, error);
    case Server::PyftpdlibExplicit: return srv.startPyftpdlibTls({}, error);
    }
    return false;
}

QByteArray randomBytes(int n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char(QRandomGenerator::global()->bounded(256));
    return b;
}

class FtpTlsServer : public ::testing::TestWithParam<TlsCase> {};

TEST_P(FtpTlsServer, LoginTransfersResumeAndListingAllEncrypted)
{
    const TlsCase c = GetParam();
    testftp::FtpServer srv;
    QString error;
    if (!startServer(srv, c.server, &error)) {
        if (testenv::underCi())
            FAIL() << error.toStdString();
        GTEST_SKIP() << error.toStdString();
    }
    FtpHarness h;
    h.target(srv.port());
    h.ftp.SetUserName(srv.user());
    h.ftp.SetPassWord(srv.password());
    h.ftp.SetPassive(c.passive);
    h.ftp.SetSecurity(c.server == Server::VsftpdImplicit ? ftpSecImplicit : ftpSecExplicitRequired);
    int asked = 0;
    TTlsCertificateInfo seen;
    h.ftp.OnCertificate = [&](TCustomFtpCli*, const TTlsCertificateInfo& cert, QString&) {
        ++asked;
        seen = cert;
        return true;
    };
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }, 20000)) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.display.join('\n').toStdString();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(seen.Problems.contains("self-signed")) << seen.Problems.join("; ").toStdString();
    EXPECT_EQ(seen.Subject, "CN=127.0.0.1");
    EXPECT_EQ(seen.Sha256.size(), 32 * 3 - 1);
    EXPECT_TRUE(h.ftp.ControlSocket()->TlsEstablished());
    EXPECT_TRUE(h.ftp.DataProtected());
    // The login went only after the handshake.
    const int auth = h.display.indexOf(c.server == Server::VsftpdImplicit ? "> PBSZ 0" : "> AUTH TLS");
    const int user = h.display.indexOf(QRegularExpression("^> USER .*"));
    ASSERT_GE(auth, 0);
    EXPECT_GT(user, auth);
    ASSERT_TRUE(h.run([&] { h.ftp.TypeBinary(); }));

    const QByteArray content = randomBytes(2 * 1024 * 1024 + 333);
    writeFile(h.path("src"), content);
    h.ftp.SetLocalFileName(h.path("src"));
    h.ftp.SetHostFileName(srv.remotePrefix() + "sealed.bin");
    ASSERT_TRUE(h.run([&] { h.ftp.Put(); }, 20000)) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString() << h.display.join('\n').toStdString();
    EXPECT_EQ(readAll(QDir(srv.dataDir()).filePath("sealed.bin")).size(), content.size()) << h.display.join("\n").toStdString();

    h.ftp.SetLocalFileName(h.path("back"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }, 20000)) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_EQ(readAll(h.path("back")), content);

    writeFile(h.path("partial"), content.left(700000));
    h.ftp.SetLocalFileName(h.path("partial"));
    ASSERT_TRUE(h.run([&] { h.ftp.RestartGet(); }, 20000)) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_TRUE(h.display.contains("> REST 700000"));
    EXPECT_EQ(readAll(h.path("partial")), content);

    h.ftp.SetHostFileName(srv.remotePrefix());
    h.ftp.SetLocalFileName(h.path("listing"));
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }, 20000));
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_TRUE(readAll(h.path("listing")).contains("sealed.bin"));
    // Every data connection resumed the control connection's session.
    EXPECT_FALSE(h.display.join('\n').contains("did not resume")) << h.display.join('\n').toStdString();

    ASSERT_TRUE(h.run([&] { h.ftp.Quit(); }));
    EXPECT_EQ(h.lastError(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, FtpTlsServer,
    ::testing::Values(TlsCase{"VsftpdExplicitPassive", Server::VsftpdExplicit, true},
                      TlsCase{"VsftpdExplicitActive", Server::VsftpdExplicit, false},
                      TlsCase{"VsftpdImplicitPassive", Server::VsftpdImplicit, true},
                      TlsCase{"VsftpdImplicitActive", Server::VsftpdImplicit, false},
                      TlsCase{"PyftpdlibExplicitPassive", Server::PyftpdlibExplicit, true},
                      TlsCase{"PyftpdlibExplicitActive", Server::PyftpdlibExplicit, false}),
    [](const ::testing::TestParamInfo<TlsCase>& i) { return std::string(i.param.name); });

} // namespace
