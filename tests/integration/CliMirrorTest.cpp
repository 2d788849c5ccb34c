// varnoth-cli mirror end to end against pyftpdlib: real runs in both
// directions, a dry run that changes nothing and lists what the run then
// does, the questions answered by --yes or not at all, a job that must not
// run, a damaged job file.
#include "CliRun.h"
#include "FtpServers.h"
#include "TestEnv.h"
#include "settings/Globals.h"
#include "sites/SiteLine.h"
#include "sites/SiteListFile.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A file dated on a whole minute, as listings show times.
void putDatedFile(const QString& path, const QByteArray& bytes, int minutesAgo)
{
    putFile(path, bytes);
    QDateTime t = QDateTime::currentDateTime().addSecs(-3600 - 60 * minutesAgo);
    t.setTime(QTime(t.time().hour(), t.time().minute()));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite | QIODevice::Append));
    ASSERT_TRUE(f.setFileTime(t, QFileDevice::FileModificationTime));
}

// Every entry below root with its bytes ("dir/" for a folder).
QMap<QString, QByteArray> contents(const QString& root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString rel = QDir(root).relativeFilePath(it.filePath());
        QFile f(it.filePath());
        out[it.fileInfo().isDir() ? rel + "/" : rel] =
            it.fileInfo().isDir() ? QByteArray() : (f.open(QIODevice::ReadOnly) ? f.readAll() : "<unreadable>");
    }
    return out;
}

// The operation lines of a run's output, without its closing summary.
QStringList operations(const QByteArray& out)
{
    QStringList ops;
    for (const QByteArray& line : out.split('\n'))
        if (!line.isEmpty() && !line.startsWith("Mirror ") && !line.startsWith("Dry run"))
            ops << QString::fromUtf8(line);
    return ops;
}

struct MirrorCli : ::testing::Test {
    testftp::FtpServer srv;
    QTemporaryDir programDir, tmp;
    QString remote;  // the server's folder of the job, on disk

    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(srv.startPyftpdlib(&error)) << error.toStdString();
        remote = QDir(srv.dataDir()).filePath("m");
        QDir().mkpath(remote);
        QDir().mkpath(tmp.filePath("local"));
    }
    QString job(const QByteArray& body)
    {
        const QString path = tmp.filePath("job.cpf");
        putFile(path, body);
        return path;
    }
    QString standardJob(int direction, int params, int fileExists = 0)
    {
        return job("[Mirror]\nLocal=" + tmp.filePath("local").toUtf8() + "\nRemote=/" + srv.remotePrefix().toUtf8()
                   + "m\nDirection=" + QByteArray::number(direction) + "\nFile Exists=" + QByteArray::number(fileExists) + "\nParams="
                   + QByteArray::number(params) + "\n");
    }
    CliResult mirror(const QString& jobFile, const QStringList& extra = {})
    {
        const QString url = QStringLiteral("ftp://%1:%2@127.0.0.1:%3/").arg(srv.user(), srv.password()).arg(srv.port());
        return runCli(QStringList{"mirror", "--program-dir", programDir.path(), jobFile, url} + extra);
    }
    QString report() const { return QDir(programDir.path()).filePath("mirrorstate.txt"); }
};

} // namespace

TEST_F(MirrorCli, ServerToLocalDryRunChangesNothingAndListsExactlyWhatTheRunDoes)
{
    putFile(remote + "/a.txt", "alpha\n");
    putFile(remote + "/sub/b.bin", QByteArray(200000, 'b'));
    putFile(remote + "/sub/deeper/c.txt", "deep\n");
    putFile(tmp.filePath("local/stale.txt"), "old");
    putFile(tmp.filePath("local/olddir/x"), "x");
    // Mirror Remote, subfolders, delete what the server lacks, prompt first.
    const QString j = standardJob(1, 1 | 2 | 4 | 8 | 16, 1);  // only newer files overwrite
    const auto localBefore = contents(tmp.filePath("local"));
    const auto remoteBefore = contents(remote);

    CliResult dry = mirror(j, {"--dry-run", "--yes"});
    ASSERT_EQ(dry.exitCode, 0) << dry.err.constData();
    EXPECT_EQ(contents(tmp.filePath("local")), localBefore);
    EXPECT_EQ(contents(remote), remoteBefore);
    EXPECT_FALSE(QFile::exists(report())) << "a dry run writes no report";
    const QStringList planned = operations(dry.out);
    // A folder's own operations run where its descent stands, before the
    // removals of its level that come after it.
    EXPECT_EQ(planned, QStringList({"download a.txt", "delete local stale.txt", "make local dir sub",
                                    "download sub/b.bin", "make local dir sub/deeper", "download sub/deeper/c.txt",
                                    "remove local dir olddir"}))
        << dry.out.constData();
    EXPECT_TRUE(dry.out.contains("Dry run: 7 operations")) << dry.out.constData();

    CliResult run = mirror(j, {"--yes"});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(operations(run.out), planned) << run.out.constData();
    EXPECT_EQ(contents(tmp.filePath("local")), contents(remote));
    EXPECT_TRUE(run.out.contains("Mirror finished: 7 done, 0 not done, 0 failed")) << run.out.constData();
    EXPECT_TRUE(QFile::exists(report()));

    // Nothing left to do: the dry run and the run agree on that too.
    EXPECT_EQ(operations(mirror(j, {"--dry-run"}).out), QStringList());
    run = mirror(j);
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(operations(run.out), QStringList()) << run.out.constData();
}

TEST_F(MirrorCli, LocalToServerAsksNothingAndDeletesOnlyWithYes)
{
    putFile(tmp.filePath("local/a.txt"), "alpha\n");
    putFile(tmp.filePath("local/new/b.txt"), "beta\n");
    putFile(remote + "/gone.txt", "remote only");
    QProcess::execute("chmod", {"-R", "a+rwX", remote});
    const QString j = standardJob(0, 1 | 2 | 4 | 8 | 16);

    // Without --yes the confirmation the job asks for is "no": nothing deleted.
    CliResult dry = mirror(j, {"--dry-run"});
    ASSERT_EQ(dry.exitCode, 0) << dry.err.constData();
    EXPECT_EQ(operations(dry.out), QStringList({"upload a.txt", "make remote dir new", "upload new/b.txt"}));
    EXPECT_FALSE(QFile::exists(remote + "/new")) << "a dry run makes no folder";
    CliResult run = mirror(j);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(operations(run.out), operations(dry.out));
    EXPECT_TRUE(QFile::exists(remote + "/gone.txt"));
    EXPECT_TRUE(run.out.contains("Mirror finished: 4 done, 0 not done, 0 failed (3 carried out)")) << run.out.constData();
    EXPECT_EQ(contents(remote + "/new"), contents(tmp.filePath("local/new")));

    // With --yes the same job deletes what the local folder lacks.
    dry = mirror(j, {"--dry-run", "--yes"});
    EXPECT_EQ(operations(dry.out), QStringList({"upload a.txt", "delete remote gone.txt", "upload new/b.txt"}));
    run = mirror(j, {"--yes"});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(operations(run.out), operations(dry.out));
    EXPECT_EQ(contents(remote), contents(tmp.filePath("local")));
}

TEST_F(MirrorCli, AJobThatCannotRunIsRefusedWithAReason)
{
    putFile(remote + "/keep.txt", "keep");
    // The local folder is missing: no other folder is taken in its place.
    QString j = job("[Mirror]\nLocal=" + tmp.filePath("nowhere").toUtf8() + "\nRemote=/" + srv.remotePrefix().toUtf8()
                    + "m\nDirection=1\nParams=5\n");
    CliResult r = mirror(j, {"--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("does not exist")) << r.err.constData();
    EXPECT_FALSE(QFile::exists(tmp.filePath("nowhere")));
    EXPECT_FALSE(QFile::exists(report()));

    // A remote folder that is not there: the run does nothing and says so.
    putFile(tmp.filePath("local/mine.txt"), "mine");
    j = job("[Mirror]\nLocal=" + tmp.filePath("local").toUtf8() + "\nRemote=/" + srv.remotePrefix().toUtf8()
            + "missing\nDirection=1\nParams=5\n");
    r = mirror(j, {"--yes"});
    EXPECT_EQ(r.exitCode, 1) << r.out.constData();
    EXPECT_TRUE(QFile::exists(tmp.filePath("local/mine.txt")));

    r = mirror(tmp.filePath("no-such.cpf"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("no such job file")) << r.err.constData();
    r = runCli({"mirror", j});
    EXPECT_EQ(r.exitCode, 2) << "neither a URL nor a saved site";
}

TEST_F(MirrorCli, ADamagedJobFileKeepsTheCautiousDefaults)
{
    putFile(tmp.filePath("local/a.txt"), "alpha\n");
    putFile(tmp.filePath("local/sub/b.txt"), "beta\n");
    putFile(remote + "/remote-only.txt", "stays");
    QProcess::execute("chmod", {"-R", "a+rwX", remote});
    // Direction 7, "File Exists" 9 and Params -1 are read as missing: the
    // server is made like the local folder, no subfolders, no deletions.
    const QString j = job("[Mirror]\nLocal=" + tmp.filePath("local").toUtf8() + "\nRemote=/"
                          + srv.remotePrefix().toUtf8() + "m\nDirection=7\nFile Exists=9\nParams=-1\n");
    CliResult r = mirror(j, {"--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.contains("the server made like the local folder; existing files: overwrite\n")) << r.err.constData();
    EXPECT_EQ(operations(r.out), QStringList({"upload a.txt"}));
    EXPECT_EQ(contents(remote), (QMap<QString, QByteArray>{{"a.txt", "alpha\n"}, {"remote-only.txt", "stays"}}));
}

TEST(MirrorCliSite, BothWaysOnVsftpdInActiveModeThroughASavedSite)
{
    testftp::FtpServer srv;
    QString error;
    ASSERT_TRUE(srv.startVsftpd(&error)) << error.toStdString();
    QTemporaryDir programDir, tmp;
    const QString remote = QDir(srv.dataDir()).filePath("m");
    putDatedFile(tmp.filePath("local/a.txt"), "alpha\n", 1);
    putDatedFile(tmp.filePath("local/l/x.txt"), "ex\n", 2);
    putDatedFile(remote + "/r.txt", "arr\n", 3);
    putDatedFile(remote + "/rd/y.txt", QByteArray(100000, 'y'), 4);
    QProcess::execute("chmod", {"-R", "a+rwX", remote});

    const QString savedProgramDir = ProgramDir;
    ProgramDir = programDir.path() + "/";
    TSiteListItem site;
    site.Caption = "vsftpd";
    site.Site = std::make_unique<TFTPServerObj>();
    site.Site->Name = "vsftpd";
    site.Site->Server = "127.0.0.1";
    site.Site->Port = QString::number(srv.port());
    srv.applyLogin(*site.Site);
    site.Site->Pasv = 0;
    const bool saved = AppendSiteLine(ProgramDir, SiteListLine(site));
    ProgramDir = savedProgramDir;
    ASSERT_TRUE(saved);

    const QString job = tmp.filePath("both.cpf");
    putFile(job, "[Mirror]\nLocal=" + tmp.filePath("local").toUtf8() + "\nRemote=/" + srv.remotePrefix().toUtf8()
                     + "m\nDirection=2\nFile Exists=1\nParams=" + QByteArray::number(1 | 2 | 4 | 16) + "\n");
    const QStringList args{"mirror", "--program-dir", programDir.path(), "--site", "vsftpd", job, "--yes"};
    CliResult dry = runCli(args + QStringList{"--dry-run"});
    ASSERT_EQ(dry.exitCode, 0) << dry.err.constData();
    // Both ways nothing is deleted, though the job says delete.
    const QStringList planned{"upload a.txt",      "download r.txt",       "make remote dir l",
                              "upload l/x.txt",    "make local dir rd",    "download rd/y.txt"};
    EXPECT_EQ(operations(dry.out), planned) << dry.out.constData() << dry.err.constData();

    CliResult run = runCli(args);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(operations(run.out), planned) << run.out.constData();
    EXPECT_EQ(contents(tmp.filePath("local")), contents(remote));
    EXPECT_EQ(contents(remote).size(), 6);
    EXPECT_TRUE(QFile::exists(programDir.filePath("mirrorstate.txt")));

    run = runCli(args);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(operations(run.out), QStringList()) << run.out.constData();
}
