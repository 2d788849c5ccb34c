// Downloads and uploads of whole trees against real servers (pyftpdlib and
// vsftpd, passive and active): nested folders, an empty folder, names with
// spaces and non-ASCII letters, a link loop on the server. Copies are
// compared byte for byte and by modification time; existing targets meet
// every answer of the overwrite prompt.
#include "RealServerSession.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <sys/stat.h>

namespace {

using namespace realserver;

// A fixed moment of the recent past, whole minutes.
QDateTime stamp(int minutesBack) { return minutesAgo(minutesBack); }

QByteArray randomBytes(int n, quint32 seed)
{
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator g(seed);
    for (char& c : b)
        c = char(g.generate() & 0xff);
    return b;
}

// A tree with the cases a copy meets: text and binary files, a name with a
// space, non-ASCII letters, a nested folder, an empty folder.
void makeTree(const QString& root)
{
    writeFile(root + "/a.txt", "line one\r\nline two\r\n", stamp(1));
    writeFile(root + "/name with space.bin", randomBytes(70000, 1), stamp(2));
    writeFile(root + QString::fromUtf8("/Grüße.dat"), randomBytes(5000, 2), stamp(3));
    writeFile(root + "/sub/b.bin", randomBytes(300000, 3), stamp(4));
    writeFile(root + "/sub/deeper/c.txt", "deep\n", stamp(5));
    QDir().mkpath(root + "/sub/empty");
}

QDateTime modified(const QString& path) { return QFileInfo(path).lastModified(); }

class SessionTransfersServers : public ::testing::TestWithParam<Setup> {
protected:
    testftp::FtpServer server;
    SessionHarness h;
    QTemporaryDir local;
    QString root;

    bool connect() { return realserver::connect(server, h, GetParam(), local.path(), root); }
    bool refreshed()
    {
        h.session.Refresh();
        return h.idle(15000);
    }
    // The batch has ended and the listing that follows it is shown.
    bool batchDone(int timeoutMs = 30000)
    {
        return testenv::waitFor([&] {
            return h.session.RunningTransfer() == TSession::TransferKind::None && !h.session.Busy() && h.idle(50);
        }, timeoutMs);
    }
    std::string log() const { return h.pane.Lines().join('\n').toStdString(); }
    void openToServerAccount(const QString& path) { QProcess::execute("chmod", {"-R", "a+rwX", path}); }
};

} // namespace

TEST_P(SessionTransfersServers, ATreeDownloadsWholeWithItsTimesAndNeverFollowsALoop)
{
    ASSERT_TRUE(connect());
    makeTree(root + "/tree");
    ASSERT_TRUE(QFile::link("..", root + "/tree/sub/loop"));
    openToServerAccount(root + "/tree");
    ASSERT_TRUE(refreshed());
    const QString startDir = h.session.Ftp1().HostDirName();

    h.session.StartDownload({h.rowOf("tree")});
    ASSERT_TRUE(batchDone()) << log();

    QMap<QString, QByteArray> expected = treeContents(root + "/tree");
    expected.remove("sub/loop@");
    EXPECT_EQ(treeContents(local.filePath("tree")), expected) << log();
    for (const QString& rel : {QStringLiteral("a.txt"), QStringLiteral("sub/b.bin"), QStringLiteral("sub/deeper/c.txt")})
        EXPECT_EQ(modified(local.filePath("tree/" + rel)), modified(root + "/tree/" + rel)) << rel.toStdString();
    EXPECT_TRUE(h.pane.Lines().filter("links to directories are not followed: loop").size() == 1) << log();
    EXPECT_EQ(h.session.Ftp1().HostDirName(), startDir);
    EXPECT_EQ(h.session.SessionFlags(), 0);
}

TEST_P(SessionTransfersServers, ATreeUploadsWholeAndKeepsItsTimesWhereTheServerSetsThem)
{
    ASSERT_TRUE(connect());
    makeTree(local.filePath("up"));
    // Files the server must not be sent: a FIFO (opening it would block) and
    // a link to a folder (a loop on disk).
    ASSERT_EQ(QProcess::execute("mkfifo", {local.filePath("up/pipe")}), 0);
    ASSERT_TRUE(QFile::link("..", local.filePath("up/sub/loop")));
    openToServerAccount(root);
    ASSERT_TRUE(refreshed());

    h.session.StartUpload({"up"});
    ASSERT_TRUE(batchDone()) << log();

    QMap<QString, QByteArray> expected = treeContents(local.filePath("up"));
    expected.remove("pipe?");
    expected.remove("sub/loop@");
    EXPECT_EQ(treeContents(root + "/up"), expected) << log();
    EXPECT_EQ(h.pane.Lines().filter("pipe: a FIFO").size(), 1) << log();
    EXPECT_EQ(h.pane.Lines().filter("loop: a link to a directory, not followed").size(), 1) << log();
    // pyftpdlib takes MFMT, vsftpd MDTM with a time: each learned once.
    EXPECT_EQ(h.session.TimeCommandMode(), GetParam().kind == Kind::Pyftpdlib ? 0 : 1) << log();
    for (const QString& rel : {QStringLiteral("a.txt"), QStringLiteral("sub/b.bin"), QStringLiteral("sub/deeper/c.txt")})
        EXPECT_EQ(modified(root + "/up/" + rel), modified(local.filePath("up/" + rel))) << rel.toStdString();
    EXPECT_GE(h.rowOf("up"), 0);  // the listing after the upload shows it
    EXPECT_EQ(h.session.SessionFlags(), 0);
}

TEST_P(SessionTransfersServers, EveryOverwriteAnswerDoesWhatItSays)
{
    ASSERT_TRUE(connect());
    const QByteArray full = randomBytes(200000, 9);
    writeFile(root + "/resume.bin", full, stamp(1));
    writeFile(root + "/over.bin", full, stamp(1));
    writeFile(root + "/skip.bin", full, stamp(1));
    writeFile(root + "/saveas.bin", full, stamp(1));
    writeFile(root + "/later.bin", full, stamp(1));
    openToServerAccount(root);
    // Local copies that exist already: a partial one to resume, others old.
    writeFile(local.filePath("resume.bin"), full.left(123457), stamp(9));
    for (const char* name : {"over.bin", "skip.bin", "saveas.bin", "later.bin"})
        writeFile(local.filePath(name), "old", stamp(9));
    ASSERT_TRUE(refreshed());

    h.ui.rewrite = {overwrite::Resume, overwrite::Overwrite, overwrite::Skip, overwrite::SaveAs, overwrite::Cancel};
    h.ui.saveAs = {"renamed.bin"};
    QList<int> rows;
    for (const char* name : {"resume.bin", "over.bin", "skip.bin", "saveas.bin", "later.bin"})
        rows << h.rowOf(name);
    h.session.StartDownload(rows);
    ASSERT_TRUE(batchDone()) << log();

    auto read = [&](const char* name) {
        QFile f(local.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    EXPECT_EQ(read("resume.bin"), full);
    EXPECT_EQ(h.pane.Lines().filter("REST 123457").size(), 1) << log();
    EXPECT_EQ(read("over.bin"), full);
    EXPECT_EQ(read("skip.bin"), "old");
    EXPECT_EQ(read("saveas.bin"), "old");
    EXPECT_EQ(read("renamed.bin"), full);
    EXPECT_EQ(read("later.bin"), "old");  // Cancel ended the batch before it
    EXPECT_EQ(h.ui.rewriteAsked.size(), 5);
    EXPECT_TRUE(h.ui.rewriteAsked.value(4).endsWith("later.bin"));
}

INSTANTIATE_TEST_SUITE_P(RealServers, SessionTransfersServers,
                         ::testing::Values(Setup{Kind::Pyftpdlib, true}, Setup{Kind::Pyftpdlib, false},
                                           Setup{Kind::Vsftpd, true}, Setup{Kind::Vsftpd, false}),
                         [](const auto& info) {
                             return std::string(info.param.kind == Kind::Pyftpdlib ? "pyftpdlib" : "vsftpd")
                                    + (info.param.passive ? "_passive" : "_active");
                         });
