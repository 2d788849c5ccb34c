// Replies the fuzzer found (tests/data/fuzz/reply-*): a 227 reply whose port
// numbers are not bytes (too large, negative, or large enough to overflow)
// is a malformed reply, never a data connection to some other port.
#include "FtpHarness.h"
#include "TestEnv.h"

#include <QFile>

namespace {

QList<QByteArray> dataLines(const char* name)
{
    QFile f(testenv::sourceDir() + "/tests/data/fuzz/" + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << "missing data file " << name;
    QList<QByteArray> lines;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    return lines;
}

} // namespace

TEST(FtpReplyFuzzFindings, PassivePortNumbersThatAreNotBytesAreAMalformedReply)
{
    for (const QByteArray& reply : dataLines("reply-pasv-port-out-of-range.txt")) {
        SCOPED_TRACE(reply.constData());
        FakeFtpServer srv;
        srv.setPasvReply(reply);
        srv.setTransfer("RETR", {"payload"});
        FtpHarness h;
        h.prepareDownload(srv, true);
        ASSERT_TRUE(h.run([&] { h.ftp.Port(); }));
        try {
            h.ftp.Retr();
            ADD_FAILURE() << "the reply was taken for a port";
        } catch (const FtpException& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains("Invalid passive mode reply")) << e.what();
        }
        EXPECT_FALSE(QFile::exists(h.path("down")));
        // PASV (and at most the EPSV tried instead), never a transfer.
        EXPECT_EQ(srv.commands().mid(2, 1), QStringList({"PASV"}));
        EXPECT_TRUE(srv.commands().filter("RETR").isEmpty()) << srv.commands().join(", ").toStdString();
    }
}
