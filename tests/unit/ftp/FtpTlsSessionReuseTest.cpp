// Downloads stopped by the progress handler fail, even when the server had
// already sent the whole file into the connection and says 226; and data
// connections keep resuming the control connection's TLS session after such
// cut transfers. vsftpd refuses every data connection that does not resume a
// session (require_ssl_reuse), so one spoiled session kept for later is a
// failed transfer, not merely a slower one.
#include "FtpHarness.h"
#include "FtpServers.h"

#include <QDir>
#include <QFile>

TEST(FtpTlsSessionReuse, TransfersAbortedMidwayLeaveSessionsTheNextConnectionsCanResume)
{
    testftp::FtpServer srv;
    QString error;
    if (!srv.startVsftpdTls({}, &error)) {
        if (testenv::underCi())
            FAIL() << error.toStdString();
        GTEST_SKIP() << error.toStdString();
    }
    const QByteArray content(8 * 1024 * 1024, 'z');
    writeFile(QDir(srv.dataDir()).filePath("big.bin"), content);
    QFile::setPermissions(QDir(srv.dataDir()).filePath("big.bin"),
                          QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);

    FtpHarness h;
    h.target(srv.port());
    h.ftp.SetUserName(srv.user());
    h.ftp.SetPassWord(srv.password());
    h.ftp.SetPassive(true);
    h.ftp.SetSecurity(ftpSecExplicitRequired);
    h.ftp.OnCertificate = [](TCustomFtpCli*, const TTlsCertificateInfo&, QString&) { return true; };
    const auto log = [&] { return h.display.join('\n').toStdString(); };
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }, 20000)) << log();
    ASSERT_EQ(h.lastError(), 0) << log();
    ASSERT_TRUE(h.run([&] { h.ftp.TypeBinary(); }));

    // Downloads stopped at their first block: each data connection ends
    // without TLS's closing exchange, after the server handed it new sessions.
    h.ftp.SetStepProgress(1);
    h.ftp.OnProgress = [](TCustomFtpCli*, int, bool& abort) { abort = true; };
    h.ftp.SetHostFileName(srv.remotePrefix() + "big.bin");
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        QFile::remove(h.path("cut"));
        h.ftp.SetLocalFileName(h.path("cut"));
        ASSERT_TRUE(h.run([&] { h.ftp.Get(); }, 20000)) << log();
        EXPECT_EQ(h.lastError(), 426) << log();
        EXPECT_TRUE(h.ftp.ErrorMessage().startsWith("426 Transfer stopped")) << h.ftp.ErrorMessage().toStdString();
        EXPECT_LT(QFileInfo(h.path("cut")).size(), content.size());
    }
    h.ftp.OnProgress = nullptr;

    // Whole transfers and listings follow, each on a resumed session.
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        h.ftp.SetLocalFileName(h.path("listing"));
        h.ftp.SetHostFileName(srv.remotePrefix());
        ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }, 20000)) << log();
        ASSERT_EQ(h.lastError(), 0) << log();
        EXPECT_TRUE(readAll(h.path("listing")).contains("big.bin"));
        h.ftp.SetHostFileName(srv.remotePrefix() + "big.bin");
        h.ftp.SetLocalFileName(h.path("whole"));
        ASSERT_TRUE(h.run([&] { h.ftp.Get(); }, 20000)) << log();
        ASSERT_EQ(h.lastError(), 0) << log();
        EXPECT_EQ(readAll(h.path("whole")), content);
    }
    EXPECT_FALSE(h.display.join('\n').contains("did not resume")) << log();
}
