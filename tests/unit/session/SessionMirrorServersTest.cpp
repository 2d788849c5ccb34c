// Mirror runs against real servers (pyftpdlib and vsftpd, passive and
// active): a tree made alike in each direction, compared byte for byte and
// by time, then mirrored again with nothing left to do; deletions of what
// the source no longer has.
#include "FtpServers.h"
#include "SessionHarness.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

enum class Kind { Pyftpdlib, Vsftpd };
struct Setup {
    Kind kind;
    bool passive;
};

QDateTime minutesAgo(int minutes)
{
    QDateTime t = QDateTime::currentDateTime().addSecs(-3600 - 60 * minutes);
    t.setTime(QTime(t.time().hour(), t.time().minute()));
    return t;
}

void writeFile(const QString& path, const QByteArray& data, const QDateTime& modified)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    ASSERT_TRUE(f.open(QIODevice::ReadWrite | QIODevice::Append));
    ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
}

void makeTree(const QString& root)
{
    writeFile(root + "/a.txt", "alpha\n", minutesAgo(1));
    writeFile(root + "/name with space.bin", QByteArray(70000, 'x'), minutesAgo(2));
    writeFile(root + "/sub/b.bin", QByteArray(300000, 'b'), minutesAgo(3));
    writeFile(root + "/sub/deeper/c.txt", "deep\n", minutesAgo(4));
    QDir().mkpath(root + "/sub/empty");
}

QMap<QString, QByteArray> contents(const QString& root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString rel = QDir(root).relativeFilePath(it.filePath());
        if (it.fileInfo().isDir()) {
            out[rel + "/"] = {};
        } else {
            QFile f(it.filePath());
            out[rel] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
        }
    }
    return out;
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

    bool connect()
    {
        QString error;
        const bool ok = GetParam().kind == Kind::Pyftpdlib ? server.startPyftpdlib(&error) : server.startVsftpd(&error);
        if (!ok) {
            ADD_FAILURE() << error.toStdString();
            return false;
        }
        root = server.dataDir();
        TFTPServerObj s = SessionHarness::site(server.port(), QStringLiteral("/") + server.remotePrefix());
        server.applyLogin(s);
        s.Pasv = GetParam().passive ? 1 : 0;
        h.session.SetLocalDir(local.path());
        h.session.ConnectTo(s);
        return h.idle(15000);
    }
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
    QProcess::execute("chmod", {"-R", "a+rwX", root + "/m"});
    QDir().mkpath(local.filePath("mirror"));
    const TMirrorJob j = job(mirror::MirrorRemote, mirror::IncludeSubfolders | mirror::IgnoreLinks | mirror::AllBinary);

    ASSERT_TRUE(run(j)) << log();
    EXPECT_EQ(contents(local.filePath("mirror")), contents(root + "/m")) << log();
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
    QDir().mkpath(root + "/m/gone");
    QProcess::execute("chmod", {"-R", "a+rwX", root + "/m"});
    const TMirrorJob j = job(mirror::MirrorLocal, mirror::IncludeSubfolders | mirror::IgnoreLinks
                                                      | mirror::DeleteMissing | mirror::AllBinary);

    ASSERT_TRUE(run(j)) << log();
    EXPECT_EQ(contents(root + "/m"), contents(local.filePath("mirror"))) << log();
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
