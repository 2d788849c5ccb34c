// varnoth-cli asks FEAT after the login and uses the answer: OPTS UTF8 ON
// where UTF8 is listed, SIZE only where it is offered (or nothing is known).
// Real servers for the dialogue as it is (pyftpdlib, vsftpd), the scripted
// server for the exact sequences of a FEAT without SIZE and a refused FEAT.
#include "CliRun.h"
#include "FakeFtpServer.h"
#include "FtpServers.h"
#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The commands of a verbose run's log, in order ("FEAT", "SIZE f").
QStringList sentCommands(const QByteArray& err)
{
    QStringList out;
    for (const QString& line : QString::fromUtf8(err).split('\n'))
        if (line.startsWith("> "))
            out << line.mid(2).trimmed();
    return out;
}

} // namespace

TEST(CliFeatures, FeatAfterTheLoginThenUtf8AndSizeAgainstRealServers)
{
    for (const bool pyftpdlib : {true, false}) {
        SCOPED_TRACE(pyftpdlib ? "pyftpdlib" : "vsftpd");
        testftp::FtpServer srv;
        QString why;
        if (!(pyftpdlib ? srv.startPyftpdlib(&why) : srv.startVsftpd(&why))) {
            if (testenv::underCi())
                FAIL() << why.toStdString();
            GTEST_SKIP() << why.toStdString();
        }
        QTemporaryDir tmp;
        // A name beyond ASCII goes up and comes back under the same name.
        const QString name = QStringLiteral("Grüße-été.bin");
        QByteArray content(400000, Qt::Uninitialized);
        for (int i = 0; i < content.size(); ++i)
            content[i] = char((i * 7 + i / 300) & 0xff);
        putFile(tmp.filePath("up.bin"), content);
        const QString login = pyftpdlib ? QStringLiteral("alice:wonder@") : QString();
        const QString url = "ftp://" + login + QStringLiteral("127.0.0.1:%1/").arg(srv.port()) + srv.remotePrefix()
                            + QString::fromLatin1(QUrl::toPercentEncoding(name));

        const CliResult put = runCli({"put", "-v", tmp.filePath("up.bin"), url});
        ASSERT_EQ(put.exitCode, 0) << put.err.constData();
        EXPECT_EQ(fileBytes(QDir(srv.dataDir()).filePath(name)), content);
        const QStringList putSent = sentCommands(put.err);
        const qsizetype feat = putSent.indexOf("FEAT");
        ASSERT_GT(feat, 0) << put.err.constData();
        // Right after the login (vsftpd logs anonymous in on USER alone).
        EXPECT_TRUE(putSent[feat - 1].startsWith(pyftpdlib ? "PASS" : "USER")) << put.err.constData();
        EXPECT_EQ(putSent.value(feat + 1), "OPTS UTF8 ON") << put.err.constData();
        EXPECT_TRUE(put.err.contains("! Server features used: SIZE, UTF8")) << put.err.constData();

        const CliResult get = runCli({"get", "-v", url, tmp.filePath("down.bin")});
        ASSERT_EQ(get.exitCode, 0) << get.err.constData();
        EXPECT_EQ(fileBytes(tmp.filePath("down.bin")), content);
        const QStringList getSent = sentCommands(get.err);
        EXPECT_EQ(getSent.count("FEAT"), 1);
        EXPECT_EQ(getSent.count("OPTS UTF8 ON"), 1);
        EXPECT_TRUE(getSent.contains("SIZE " + srv.remotePrefix() + name)) << get.err.constData();
    }
}

// Exact sequences: a FEAT without SIZE and UTF8 sends neither SIZE nor OPTS
// (a download without size, a resumed upload sent whole, said so); a
// refused FEAT leaves everything to be tried as before.
TEST(CliFeatures, FeatWithoutSizeOrRefusedDecidesWhatIsAsked)
{
    QTemporaryDir tmp;
    putFile(tmp.filePath("up.bin"), "the whole file");
    {
        FakeFtpServer srv;
        srv.on("FEAT", "211-Features:\r\n MDTM\r\n REST STREAM\r\n211 End\r\n");
        srv.setTransfer("RETR", {"payload"});
        const QString base = QStringLiteral("ftp://alice:pw@127.0.0.1:%1/").arg(srv.port());
        const CliResult get = runCliServing({"get", base + "f", tmp.filePath("f")});
        ASSERT_EQ(get.exitCode, 0) << get.err.constData();
        EXPECT_EQ(fileBytes(tmp.filePath("f")), "payload");
        EXPECT_EQ(srv.commands(), QStringList({"USER alice", "PASS pw", "FEAT", "TYPE I", "PASV", "RETR f", "QUIT"}));

        const qsizetype before = srv.commands().size();
        const CliResult put = runCliServing({"put", "-c", tmp.filePath("up.bin"), base + "up.bin"});
        ASSERT_EQ(put.exitCode, 0) << put.err.constData();
        EXPECT_TRUE(put.err.contains("does not offer SIZE, so the upload cannot resume")) << put.err.constData();
        EXPECT_EQ(srv.commands().mid(before),
                  QStringList({"USER alice", "PASS pw", "FEAT", "TYPE I", "PASV", "STOR up.bin", "QUIT"}));
        EXPECT_EQ(srv.received("STOR"), "the whole file");
    }
    {
        FakeFtpServer srv;
        srv.on("FEAT", "500 FEAT not understood");
        srv.on("SIZE", "213 7");
        srv.setTransfer("RETR", {"payload"});
        const CliResult get =
            runCliServing({"get", QStringLiteral("ftp://alice:pw@127.0.0.1:%1/f").arg(srv.port()), tmp.filePath("g")});
        ASSERT_EQ(get.exitCode, 0) << get.err.constData();
        EXPECT_EQ(srv.commands(),
                  QStringList({"USER alice", "PASS pw", "FEAT", "TYPE I", "SIZE f", "PASV", "RETR f", "QUIT"}));
    }
}
