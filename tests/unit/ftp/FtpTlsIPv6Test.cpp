// FTP over TLS on ::1: vsftpd (explicit and implicit, data connections must
// resume the control connection's session) and pyftpdlib's TLS handler
// listening on ::1 only, with a certificate issued for IP ::1 by a test CA.
// Login, upload, download and listing over EPSV and EPRT data connections
// that run TLS; the certificate's name check on an IPv6 address.
#include "FtpHarness.h"
#include "FtpServers.h"
#include "TlsFixtures.h"

#include <QDir>
#include <QRegularExpression>

namespace {

enum class Server { VsftpdExplicit, VsftpdImplicit, PyftpdlibExplicit };

struct V6TlsCase {
    const char* name;
    Server server;
    bool passive;
    const char* host;  // as a user writes it
};

// A CA and leaf certificates it issued, in one directory.
struct Certs {
    QTemporaryDir dir;
    QString error;
    bool make(const QString& leaf, const QString& address)
    {
        if (!QFile::exists(dir.filePath("ca.pem"))
            && !testtls::makeCertificate(dir.path(), {"ca", "Varnoth Test CA", "", -1, 30, false}, &error))
            return false;
        return testtls::makeCertificate(dir.path(), {leaf, address, "IP:" + address, -1, 30, true}, &error);
    }
    QString ca() const { return dir.filePath("ca.pem"); }
    testftp::TlsSetup setup(const QString& leaf, bool implicit) const
    {
        return {implicit, dir.filePath(leaf + ".pem"), dir.filePath(leaf + ".key")};
    }
};

bool startOnIPv6(testftp::FtpServer& srv, Server kind, const testftp::TlsSetup& tls, QString* error)
{
    srv.setAddress("::1");
    return kind == Server::PyftpdlibExplicit ? srv.startPyftpdlibTls(tls, error) : srv.startVsftpdTls(tls, error);
}

class FtpTlsIPv6 : public ::testing::TestWithParam<V6TlsCase> {};

TEST_P(FtpTlsIPv6, LoginTransfersAndListingOverExtendedDataConnections)
{
    const V6TlsCase c = GetParam();
    Certs certs;
    ASSERT_TRUE(certs.make("v6", "::1")) << certs.error.toStdString();
    testftp::FtpServer srv;
    START_OR_SKIP(startOnIPv6(srv, c.server, certs.setup("v6", c.server == Server::VsftpdImplicit), &why));

    FtpHarness h;
    h.ftp.SetHostName(c.host);
    h.ftp.SetPort(QString::number(srv.port()));
    h.ftp.SetUserName(srv.user());
    h.ftp.SetPassWord(srv.password());
    h.ftp.SetPassive(c.passive);
    h.ftp.SetSecurity(c.server == Server::VsftpdImplicit ? ftpSecImplicit : ftpSecExplicitRequired);
    // Trusted through the CA and the IP name: no handler is asked.
    h.ftp.SetTlsCaFile(certs.ca());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }, 20000)) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.display.join('\n').toStdString();
    EXPECT_EQ(h.ftp.ControlSocket()->PeerAddr(), "::1");
    EXPECT_TRUE(h.ftp.ControlSocket()->TlsEstablished());
    EXPECT_TRUE(h.ftp.DataProtected());
    ASSERT_TRUE(h.run([&] { h.ftp.TypeBinary(); }));

    QByteArray content(900 * 1024 + 7, Qt::Uninitialized);
    for (int i = 0; i < content.size(); ++i)
        content[i] = char((i * 151) ^ (i >> 11));
    writeFile(h.path("src"), content);
    const int before = int(h.sentCommands().size());
    h.ftp.SetLocalFileName(h.path("src"));
    h.ftp.SetHostFileName(srv.remotePrefix() + "v6.bin");
    ASSERT_TRUE(h.run([&] { h.ftp.Put(); }, 20000)) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.display.join('\n').toStdString();
    EXPECT_EQ(readAll(QDir(srv.dataDir()).filePath("v6.bin")), content);
    const QString dataCommand = h.sentCommands().value(before);
    if (c.passive)
        EXPECT_EQ(dataCommand, "> EPSV");
    else
        EXPECT_TRUE(dataCommand.startsWith("> EPRT |2|::1|")) << dataCommand.toStdString();
    EXPECT_TRUE(h.sentCommands().filter(QRegularExpression("^> (PASV|PORT)")).isEmpty());

    h.ftp.SetLocalFileName(h.path("back"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }, 20000)) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_EQ(readAll(h.path("back")), content);

    h.ftp.SetHostFileName(srv.remotePrefix());
    h.ftp.SetLocalFileName(h.path("listing"));
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }, 20000));
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_TRUE(readAll(h.path("listing")).contains("v6.bin"));
    EXPECT_TRUE(h.display.filter("did not resume").isEmpty()) << h.display.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    RealServers, FtpTlsIPv6,
    ::testing::Values(V6TlsCase{"VsftpdExplicitPassive", Server::VsftpdExplicit, true, "::1"},
                      V6TlsCase{"VsftpdExplicitActive", Server::VsftpdExplicit, false, "[::1]"},
                      V6TlsCase{"VsftpdImplicitPassive", Server::VsftpdImplicit, true, "[::1]"},
                      V6TlsCase{"VsftpdImplicitActive", Server::VsftpdImplicit, false, "::1"},
                      V6TlsCase{"PyftpdlibPassive", Server::PyftpdlibExplicit, true, "[::1]"},
                      V6TlsCase{"PyftpdlibActive", Server::PyftpdlibExplicit, false, "::1"}),
    [](const ::testing::TestParamInfo<V6TlsCase>& info) { return std::string(info.param.name); });

} // namespace

// A certificate for 127.0.0.1 presented on ::1 is not for the address
// connected to: refused before the login, the names in the message, even
// though the CA that issued it is trusted. Accepted by a handler, the
// session goes on.
TEST(FtpTlsIPv6Names, CertificateForTheIPv4AddressIsRefusedOnIPv6)
{
    Certs certs;
    ASSERT_TRUE(certs.make("v4", "127.0.0.1")) << certs.error.toStdString();
    testftp::FtpServer srv;
    START_OR_SKIP(startOnIPv6(srv, Server::VsftpdExplicit, certs.setup("v4", false), &why));
    for (const char* host : {"::1", "[::1]"}) {
        SCOPED_TRACE(host);
        FtpHarness h;
        h.ftp.SetHostName(host);
        h.ftp.SetPort(QString::number(srv.port()));
        h.ftp.SetUserName(srv.user());
        h.ftp.SetPassWord(srv.password());
        h.ftp.SetSecurity(ftpSecExplicitRequired);
        h.ftp.SetTlsCaFile(certs.ca());
        ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }, 20000));
        EXPECT_EQ(h.lastError(), wsock::TLS_UNTRUSTED);
        EXPECT_TRUE(h.ftp.ErrorMessage().contains("issued for 127.0.0.1, not for ::1"))
            << h.ftp.ErrorMessage().toStdString();
        EXPECT_TRUE(h.sentCommands().filter("> USER").isEmpty()) << h.display.join('\n').toStdString();
        EXPECT_FALSE(h.ftp.Connected());
    }
    FtpHarness accepted;
    accepted.ftp.SetHostName("::1");
    accepted.ftp.SetPort(QString::number(srv.port()));
    accepted.ftp.SetUserName(srv.user());
    accepted.ftp.SetPassWord(srv.password());
    accepted.ftp.SetSecurity(ftpSecExplicitRequired);
    accepted.ftp.SetTlsCaFile(certs.ca());
    QStringList problems;
    accepted.ftp.OnCertificate = [&](TCustomFtpCli*, const TTlsCertificateInfo& cert, QString&) {
        problems = cert.Problems;
        return true;
    };
    ASSERT_TRUE(accepted.run([&] { accepted.ftp.Connect(); }, 20000));
    EXPECT_EQ(accepted.lastError(), 0) << accepted.display.join('\n').toStdString();
    EXPECT_EQ(problems, QStringList{"issued for 127.0.0.1, not for ::1"});
}
