// Mirror runs against real servers (pyftpdlib and vsftpd, passive and
// active): a tree made alike in each direction, compared byte for byte and
// by time, then mirrored again with nothing left to do; deletions of what
// the source no longer has.
#include "RealServerSession.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

using namespace realserver;

void makeTree(const QString& root)
{
    writeFile(root + "/a.txt", "alpha\n", minutesAgo(1));
    writeFile(root + "/name with space.bin", QByteArray(70000, 'x'), minutesAgo(2));
    writeFile(root + "/sub/b.bin", QByteArray(300000, 'b'), minutesAgo(3));
    writeFile(root + "/sub/deeper/c.txt", "deep\n", minutesAgo(4));
    QDir().mkpath(root + "/sub/empty");
}

// Transfers the last run's report lists.
int transfersIn(const QString& stateFile)
{
    QFile f(stateFile);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    int n = 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        n += line.contains("\tomGet\t") || line.contains("\tomPut\t") ? 1 : 0;
    return n;
}

class SessionMirrorServers : public ::testing::TestWithParam<Setup> {
protected:
    testftp::FtpServer server;
    SessionHarness h;
    QTemporaryDir local;
    QString root;

    bool connect() { return realserver::connect(server, h, GetParam(), local.path(), root); }
    TMirrorJob job(int direction, int params)
    {
        TMirrorJob j;
        j.Local = local.filePath("mirror");
        j.Remote = h.session.Ftp1().HostDirName() + (h.session.Ftp1().HostDirName().endsWith('/') ? "" : "/") + "m";
        j.Direction = direction;
        j.FileExists = mirror::OverwriteNewest;
        j.Params = params;
        return j;
    }
    bool run(const TMirrorJob& j)
    {
        int ended = 0;
        auto c = QObject::connect(&h.session, &TSession::MirrorEnded, [&] { ++ended; });
        const bool started = h.session.StartMirror(j);
        const bool ok = started && testenv::waitFor([&] { return ended == 1 && !h.session.Busy() && h.idle(50); }, 60000);
        QObject::disconnect(c);
        return ok && ended == 1;
    }
    QString stateFile() const { return h.dir.filePath("mirrorstate.txt"); }
    std::string log() const { return h.pane.Lines().join('\n').toStdString(); }
};

} // namespace

TEST_P(SessionMirrorServers, MirrorRemoteCopiesTheTreeWithItsTimesThenHasNothingToDo)
{
    ASSERT_TRUE(connect());
    makeTree(root + "/m");
    // A link back up the tree: the run must neither follow nor copy it.
    ASSERT_TRUE(QFile::link("..", root + "/m/sub/loop"));
    QProcess::execute("chmod", {"-R", "a+rwX", root + "/m"});
    QDir().mkpath(local.filePath("mirror"));
    const TMirrorJob j = job(mirror::MirrorRemote, mirror::IncludeSubfolders | mirror::IgnoreLinks | mirror::AllBinary);

    ASSERT_TRUE(run(j)) << log();
    QMap<QString, QByteArray> expected = treeContents(root + "/m");
    ASSERT_EQ(expected.remove("sub/loop@"), 1);
    EXPECT_EQ(treeContents(local.filePath("mirror")), expected) << log();
    for (const char* rel : {"a.txt", "sub/b.bin", "sub/deeper/c.txt"})
        EXPECT_EQ(QFileInfo(local.filePath(QString("mirror/") + rel)).lastModified(),
                  QFileInfo(root + "/m/" + rel).lastModified())
            << rel;
    EXPECT_EQ(h.session.LastMirrorFailures(), 0) << log();
    EXPECT_EQ(transfersIn(stateFile()), 4);

    // The same again: every file is as new on both sides.
    ASSERT_TRUE(run(j)) << log();
    EXPECT_EQ(transfersIn(stateFile()), 0) << log();
    EXPECT_EQ(h.session.SessionFlags(), 0);
}

TEST_P(SessionMirrorServers, MirrorLocalMakesTheServerLikeTheLocalTreeAndDeletesWhatItLacks)
{
    ASSERT_TRUE(connect());
    makeTree(local.filePath("mirror"));
    writeFile(root + "/m/stale.txt", "old", minutesAgo(30));
    // A folder the local side lacks, with files and a folder of its own:
    // emptied through its own listing, then removed.
    writeFile(root + "/m/gone/x.txt", "x", minutesAgo(30));
    writeFile(root + "/m/gone/inner/y.txt", "y", minutesAgo(30));
    QProcess::execute("chmod", {"-R", "a+rwX", root + "/m"});
    const TMirrorJob j = job(mirror::MirrorLocal, mirror::IncludeSubfolders | mirror::IgnoreLinks
                                                      | mirror::DeleteMissing | mirror::AllBinary);

    ASSERT_TRUE(run(j)) << log();
    EXPECT_EQ(treeContents(root + "/m"), treeContents(local.filePath("mirror"))) << log();
    EXPECT_EQ(h.session.LastMirrorFailures(), 0) << log();
    ASSERT_TRUE(run(j)) << log();
    EXPECT_EQ(transfersIn(stateFile()), 0) << log();
}

INSTANTIATE_TEST_SUITE_P(RealServers, SessionMirrorServers,
                         ::testing::Values(Setup{Kind::Pyftpdlib, true}, Setup{Kind::Vsftpd, false}),
                         [](const auto& info) {
                             return std::string(info.param.kind == Kind::Pyftpdlib ? "pyftpdlib_passive"
                                                                                   : "vsftpd_active");
                         });
