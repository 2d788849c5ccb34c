// Dry mirror runs against pyftpdlib: in every direction, with nested folders
// that exist on one side only and deletions on, the dry run sends nothing
// but CWD, CDUP, TYPE and listings, changes no file on either side, and
// announces exactly the operations the real run then carries out, in order.
#include "FtpServers.h"
#include "SessionHarness.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>

namespace {

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QStringList tree(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        out << QDir(root).relativeFilePath(it.filePath()) + (it.fileInfo().isDir() ? "/" : "");
    }
    out.sort();
    return out;
}

struct DryRun : ::testing::Test {
    testftp::FtpServer server;
    SessionHarness h;
    QTemporaryDir local;
    QString remote;  // the job's remote folder on disk

    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(server.startPyftpdlib(&error)) << error.toStdString();
        remote = server.dataDir() + "/m";
        QDir().mkpath(remote);
        QDir().mkpath(local.filePath("mirror"));
        TFTPServerObj s = SessionHarness::site(server.port(), "/" + server.remotePrefix());
        server.applyLogin(s);
        h.session.SetLocalDir(local.path());
        h.session.ConnectTo(s);
        ASSERT_TRUE(h.idle(15000));
        h.ui.boxAnswer = mb::IdYes;  // every deletion confirmed
    }
    TMirrorJob job(int direction) const
    {
        TMirrorJob j;
        j.Local = local.filePath("mirror");
        j.Remote = "/" + server.remotePrefix() + "m";
        j.Direction = direction;
        j.FileExists = mirror::Overwrite;
        j.Params = mirror::IncludeSubfolders | mirror::IgnoreLinks | mirror::DeleteMissing | mirror::PromptDelete
                   | mirror::AllBinary;
        return j;
    }
    // The operations a run announced ("omPut /abs/local /remote").
    QStringList run(const TMirrorJob& j, bool dry)
    {
        QStringList ops;
        int ended = 0;
        auto c1 = QObject::connect(&h.session, &TSession::MirrorOperation, [&](int op, const QString& l, const QString& r) {
            ops << MirrorOpName(TMirrorOp(op)) + " " + l + " " + r;
        });
        auto c2 = QObject::connect(&h.session, &TSession::MirrorEnded, [&] { ++ended; });
        const bool started = h.session.StartMirror(j, dry);
        const bool done = started && testenv::waitFor([&] { return ended == 1 && !h.session.Busy() && h.idle(50); }, 60000);
        QObject::disconnect(c1);
        QObject::disconnect(c2);
        EXPECT_TRUE(done) << log();
        return ops;
    }
    // The commands sent from line `from` of the log on, by verb.
    QStringList verbsSince(int from) const
    {
        QStringList verbs;
        for (int i = from; i < h.pane.Lines().size(); ++i)
            if (h.pane.Lines()[i].startsWith("> "))
                verbs << h.pane.Lines()[i].mid(2).section(' ', 0, 0).toUpper();
        verbs.removeDuplicates();
        verbs.sort();
        return verbs;
    }
    std::string log() const { return h.pane.Lines().join('\n').toStdString(); }
};

} // namespace

TEST_F(DryRun, ChangesNothingAndAnnouncesWhatTheRunThenDoesInEveryDirection)
{
    for (int direction : {int(mirror::MirrorLocal), int(mirror::MirrorRemote), int(mirror::MirrorBoth)}) {
        SCOPED_TRACE(direction);
        QDir(remote).removeRecursively();
        QDir(local.filePath("mirror")).removeRecursively();
        // Nested folders on one side only, a file on each side only, and a
        // shared folder holding one file each side lacks.
        writeFile(local.filePath("mirror/l.txt"), "local");
        writeFile(local.filePath("mirror/lnew/inner/deep/f.txt"), "deep local");
        writeFile(local.filePath("mirror/both/lf"), "lf");
        writeFile(remote + "/r.txt", "remote");
        writeFile(remote + "/rnew/inner/deep/g.txt", "deep remote");
        writeFile(remote + "/both/rf", "rf");
        QProcess::execute("chmod", {"-R", "a+rwX", server.dataDir()});
        const QStringList localBefore = tree(local.filePath("mirror")), remoteBefore = tree(remote);

        const int from = h.pane.Lines().size();
        const QStringList planned = run(job(direction), true);
        for (const QString& verb : verbsSince(from))
            EXPECT_TRUE(QStringList({"CDUP", "CWD", "LIST", "MLSD", "PASV", "TYPE"}).contains(verb)) << verb.toStdString();
        EXPECT_TRUE(verbsSince(from).contains("CDUP")) << "the folders on both sides were entered and left";
        EXPECT_EQ(tree(local.filePath("mirror")), localBefore);
        EXPECT_EQ(tree(remote), remoteBefore);
        EXPECT_EQ(h.session.LastMirrorUnreadFolders(), 0) << log();

        const QStringList done = run(job(direction), false);
        EXPECT_EQ(planned, done) << log();
        // A remote folder that still holds files is not removed (its RMD is
        // refused); that is the one failure a run up the server side may have.
        EXPECT_LE(h.session.LastMirrorFailures(), direction == mirror::MirrorLocal ? 1 : 0) << log();
        // The deep folders reached the other side, so the plan went down
        // through every level of a folder it would only make.
        if (direction != mirror::MirrorRemote)
            EXPECT_TRUE(QFile::exists(remote + "/lnew/inner/deep/f.txt")) << log();
        if (direction != mirror::MirrorLocal)
            EXPECT_TRUE(QFile::exists(local.filePath("mirror/rnew/inner/deep/g.txt"))) << log();
        if (direction == mirror::MirrorRemote)
            EXPECT_EQ(tree(local.filePath("mirror")), tree(remote)) << log();
    }
}

TEST_F(DryRun, AFolderThatCannotBeEnteredIsCountedAsUnread)
{
    writeFile(local.filePath("mirror/keep.txt"), "mine");
    TMirrorJob j = job(mirror::MirrorRemote);
    j.Remote = "/" + server.remotePrefix() + "no-such-folder";
    EXPECT_EQ(run(j, true), QStringList());
    EXPECT_EQ(h.session.LastMirrorUnreadFolders(), 1);
    EXPECT_EQ(run(j, false), QStringList());
    EXPECT_EQ(h.session.LastMirrorUnreadFolders(), 1);
    EXPECT_TRUE(QFile::exists(local.filePath("mirror/keep.txt")));
}
