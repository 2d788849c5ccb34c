// Uploads: a binary upload has the socket read the file into its send queue;
// it keeps the blocks, progress events, statistics line and end of an ASCII
// upload, resumes where asked and reports a local read error.
#include "FtpHarness.h"
#include "FtpServers.h"

#include <QDir>
#include <QRegularExpression>

#include <sys/mman.h>

namespace {

constexpr int kBlock = TCustomFtpCli::kSendBlock;

QByteArray pattern(int n, int seed)
{
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 13 + seed) % 253);
    return b;
}

// What one upload reported: progress values and the lines it displayed after
// the transfer command, with the seconds and rate of the statistics blanked.
struct UploadTrace {
    std::vector<int> progress;
    QStringList lines;
    int error = -1;
    QByteArray received;
};

UploadTrace upload(bool binary, bool passive, const QByteArray& content)
{
    FakeFtpServer srv;
    FtpHarness h;
    h.ftp.SetPassive(passive);
    h.connectTo(srv);
    writeFile(h.path("src"), content);
    h.ftp.SetBinary(binary);
    h.ftp.SetLocalFileName(h.path("src"));
    h.ftp.SetHostFileName("up");
    h.ftp.SetStepProgress(kBlock);
    UploadTrace t;
    h.ftp.OnProgress = [&](TCustomFtpCli*, int n, bool&) { t.progress.push_back(n); };
    h.display.clear();
    EXPECT_TRUE(h.run([&] { h.ftp.Put(); }));
    t.error = h.lastError();
    t.received = srv.received("STOR");
    static const QRegularExpression stats("in \\d+ seconds.*");
    for (QString line : h.display.mid(h.display.indexOf("> STOR up")))
        t.lines << line.replace(stats, "in S seconds");
    return t;
}

} // namespace

TEST(FtpUpload, BinaryAndAsciiUploadsReportTheSameBlocksProgressAndEnd)
{
    const QByteArray content = pattern(5 * kBlock + 100, 1);
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        const UploadTrace binary = upload(true, passive, content);
        const UploadTrace ascii = upload(false, passive, content);
        EXPECT_EQ(binary.error, 0);
        EXPECT_TRUE(binary.received == content) << binary.received.size() << " bytes received";
        // One progress step per block sent, counted in blocks.
        EXPECT_EQ(binary.progress, std::vector<int>({1, 2, 3, 4, 5}));
        EXPECT_EQ(binary.lines, QStringList({"> STOR up", "< 150 Opening data connection", "< 226 Transfer complete",
                                             QStringLiteral("! %1 bytes sent in S seconds").arg(content.size())}));
        EXPECT_EQ(ascii.error, binary.error);
        EXPECT_TRUE(ascii.received == content);
        EXPECT_EQ(ascii.progress, binary.progress);
        EXPECT_EQ(ascii.lines, binary.lines);
    }
}

TEST(FtpUpload, ResumedBinaryUploadToARealServerIsByteExact)
{
    testftp::FtpServer srv;
    QString error;
    if (!srv.startPyftpdlib(&error)) {
        if (testenv::underCi())
            FAIL() << error.toStdString();
        GTEST_SKIP() << error.toStdString();
    }
    const QByteArray content = pattern(3 * kBlock + 4321, 2);
    const int at = kBlock + 999;  // inside a block: the blocks follow the offset
    writeFile(QDir(srv.dataDir()).filePath("resumed.bin"), content.left(at));
    FtpHarness h;
    h.ftp.SetHostName("127.0.0.1");
    h.ftp.SetPort(QString::number(srv.port()));
    h.ftp.SetUserName(srv.user());
    h.ftp.SetPassWord(srv.password());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    ASSERT_TRUE(h.run([&] { h.ftp.TypeBinary(); }));
    writeFile(h.path("src"), content);
    h.ftp.SetLocalFileName(h.path("src"));
    h.ftp.SetHostFileName(srv.remotePrefix() + "resumed.bin");
    h.ftp.SetResumeAt(at);
    ASSERT_TRUE(h.run([&] { h.ftp.RestartPut(); })) << h.display.join('\n').toStdString();
    ASSERT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_TRUE(h.display.contains(QStringLiteral("> REST %1").arg(at)));
    EXPECT_EQ(h.display.filter(QStringLiteral("! %1 bytes sent in ").arg(content.size() - at)).size(), 1);
    EXPECT_TRUE(readAll(QDir(srv.dataDir()).filePath("resumed.bin")) == content);
}

// /proc/self/mem is a real file whose reads fail (EIO) where this process has
// nothing mapped: an upload resumed at a mapping of three blocks followed by
// a hole reads three blocks and then fails, as a disk error would.
TEST(FtpUpload, ReadErrorInTheMiddleOfABinaryUploadFails)
{
    const size_t size = 4 * size_t(kBlock);
    char* area = nullptr;
    for (quintptr at = 0x20000000; at < 0x70000000 && !area; at += 0x08000000) {
        void* p = ::mmap(reinterpret_cast<void*>(at), size, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (p == reinterpret_cast<void*>(at))
            area = static_cast<char*>(p);
        else if (p != MAP_FAILED)
            ::munmap(p, size);
    }
    if (!area)
        GTEST_SKIP() << "no free address below 2 GiB for the test mapping";
    const QByteArray readable = pattern(3 * kBlock, 3);
    memcpy(area, readable.constData(), size_t(readable.size()));
    ::munmap(area + readable.size(), size - size_t(readable.size()));

    FakeFtpServer srv;
    FtpHarness h;
    h.connectTo(srv);
    h.ftp.SetBinary(true);
    h.ftp.SetLocalFileName(QStringLiteral("/proc/self/mem"));
    h.ftp.SetHostFileName("up");
    h.ftp.SetResumeAt(qint64(reinterpret_cast<quintptr>(area)));
    ASSERT_TRUE(h.run([&] { h.ftp.RestartPut(); }));
    ::munmap(area, size_t(readable.size()));
    EXPECT_EQ(h.lastError(), 426);
    EXPECT_EQ(h.ftp.ErrorMessage(), "426 Error reading file");
    EXPECT_TRUE(h.display.contains("! Error reading file")) << h.display.join('\n').toStdString();
    EXPECT_EQ(h.display.filter(QStringLiteral("! %1 bytes sent in").arg(readable.size())).size(), 1)
        << h.display.join('\n').toStdString();
    EXPECT_TRUE(srv.received("STOR") == readable) << srv.received("STOR").size() << " bytes received";
}
