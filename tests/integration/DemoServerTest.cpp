// The demo FTP server of scripts/run: its sample tree (scripts/demo_ftp.py),
// the server itself, and varnoth-cli demo-site, which saves its site among
// the user's own without touching them.
#include "TestEnv.h"
#include "settings/Globals.h"
#include "sites/SiteLine.h"
#include "sites/SiteListFile.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

namespace {

struct Result {
    int exitCode = -1;
    QString out, err;
};

Result run(const QString& program, const QStringList& args, const QStringList& env = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.remove(QStringLiteral("VARNOTH_PROGRAM_DIR"));
    for (const QString& kv : env)
        e.insert(kv.section('=', 0, 0), kv.section('=', 1));
    p.setProcessEnvironment(e);
    p.start(program, args);
    p.closeWriteChannel();
    Result r;
    // The event loop keeps running: a server of the test may serve meanwhile.
    if (!testenv::waitFor([&] { return p.state() == QProcess::NotRunning; }, 120000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Result cli(const QStringList& args, const QStringList& env = {})
{
    return run(testenv::buildDir() + "/src/cli/varnoth-cli", args, env);
}

QString demoScript() { return testenv::sourceDir() + "/scripts/demo_ftp.py"; }

bool havePyftpdlib()
{
    return run(testenv::systemPython(), {"-c", "import pyftpdlib"}).exitCode == 0;
}

#define REQUIRE_PYFTPDLIB()                                                             \
    if (!havePyftpdlib()) {                                                             \
        if (testenv::underCi()) FAIL() << "python3-pyftpdlib is not installed";         \
        else GTEST_SKIP() << "python3-pyftpdlib is not installed";                      \
    }

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray siteLine(const QString& name, const QString& server, const QString& port, const QString& password)
{
    TFTPServerObj s = CreateSite(TSiteDefaults{});
    s.Security = 0;  // plain FTP: the dialogue these tests read has no AUTH TLS
    s.Name = name;
    s.Server = server;
    s.Port = port;
    s.Password = password;
    return SiteLine(s).toUtf8();
}

// Every file of a tree with its size: a snapshot to compare runs by.
std::map<QString, qint64> snapshot(const QString& root)
{
    std::map<QString, qint64> files;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo fi(it.next());
        files[QDir(root).relativeFilePath(fi.filePath())] = fi.isSymLink() ? -1 : fi.size();
    }
    return files;
}

// The demo server as a child process of the test.
class DemoServer {
public:
    ~DemoServer()
    {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.kill();
            m_proc.waitForFinished();
        }
    }
    // Starts serving root on port; the port in use is then read from the
    // server's port file.
    bool start(const QString& root, quint16 port, const QStringList& extra = {})
    {
        m_portFile = m_dir.filePath("port");
        m_proc.setProcessChannelMode(QProcess::MergedChannels);
        m_proc.start(testenv::systemPython(), QStringList{demoScript(), "--serve", root, "--port",
                                                          QString::number(port), "--port-file", m_portFile} +
                                                  extra);
        if (!testenv::waitFor([&] { return QFileInfo(m_portFile).size() > 0 || m_proc.state() == QProcess::NotRunning; },
                              30000))
            return false;
        m_port = quint16(readFile(m_portFile).trimmed().toUInt());
        return m_port != 0 && testenv::waitForPort(m_port);
    }
    quint16 port() const { return m_port; }
    QProcess& process() { return m_proc; }
    QString output() { return QString::fromUtf8(m_proc.readAll()); }
    QString url(const QString& path, const QString& login = QString()) const
    {
        const QString at = login.isEmpty() ? QString() : login + '@';
        return "ftp://" + at + "127.0.0.1:" + QString::number(m_port) + "/" + path;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_proc;
    QString m_portFile;
    quint16 m_port = 0;
};

} // namespace

// ---- varnoth-cli demo-site --------------------------------------------------

class DemoSite : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // The user's own lists: CRLF line ends, a blank line, a Latin-1 line,
        // a line this version does not read, no line end at the very end.
        top = "DIR=work\r\n" + siteLine("Home", "home.example", "21", "s3cret") + "\r\n\r\n" +
              siteLine(QString::fromLatin1("Caf\xe9"), "cafe.example", "2100", "").replace("Caf\xc3\xa9", "Caf\xe9") +
              "\r\nsomething else entirely\r\n" + siteLine("Last", "last.example", "21", "pw");
        work = siteLine("Client", "client.example", "990", "pw2") + "\n";
        writeFile(path("ftplist.TXT"), top);
        writeFile(path("work/ftplist.TXT"), work);
    }
    QString path(const QString& rel) const { return dir.filePath(rel); }
    Result demoSite(const QStringList& extra) { return cli(QStringList{"demo-site", "--program-dir", dir.path()} + extra); }

    QTemporaryDir dir;
    QByteArray top, work;
};

TEST_F(DemoSite, AddsFolderAndSiteLeavingTheUsersListsByteForByte)
{
    Result r = demoSite({"--port", "2121"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // The user's files: only the folder line added, in the file's own line end.
    EXPECT_EQ(readFile(path("ftplist.TXT")), top + "\r\nDIR=Demo\r\n");
    EXPECT_EQ(readFile(path("work/ftplist.TXT")), work);
    const QByteArray demoList = readFile(path("Demo/ftplist.TXT"));

    // The real reader sees the site as the window will use it.
    ProgramDir = WithTrailingSlash(dir.path());
    const std::optional<TFTPServerObj> site = FindSavedSite("Demo/Local demo server", TSiteDefaults{});
    ASSERT_TRUE(site.has_value()) << demoList.constData();
    EXPECT_EQ(site->Server, "127.0.0.1");
    EXPECT_EQ(site->Port, "2121");
    EXPECT_EQ(site->Anonymous, 1);
    EXPECT_EQ(site->Pasv, 1);
    EXPECT_FALSE(site->EMail.isEmpty());

    r = cli({"sites", "--program-dir", dir.path()});
    EXPECT_EQ(r.out, QString::fromUtf8("Home\thome.example\t21\tanonymous\n"
                                       "Café\tcafe.example\t2100\tanonymous\n"
                                       "Last\tlast.example\t21\tanonymous\n"
                                       "work/Client\tclient.example\t990\tanonymous\n"
                                       "Demo/Local demo server\t127.0.0.1\t2121\tanonymous\n"));

    // Again with the same port: nothing is written.
    const QDateTime written = QFileInfo(path("Demo/ftplist.TXT")).lastModified();
    r = demoSite({"--port", "2121"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readFile(path("ftplist.TXT")), top + "\r\nDIR=Demo\r\n");
    EXPECT_EQ(readFile(path("Demo/ftplist.TXT")), demoList);
    EXPECT_EQ(QFileInfo(path("Demo/ftplist.TXT")).lastModified(), written);
}

TEST_F(DemoSite, ANewPortChangesOnlyThatSitesPort)
{
    // The folder exists already, with a site of the user's and the demo site
    // the user edited (a password, a local folder, another host).
    TFTPServerObj edited = CreateSite(TSiteDefaults{});
    edited.Name = "Local demo server";
    edited.Server = "localhost";
    edited.Port = "2121";
    edited.Password = "kept;secret";
    edited.LocalDir = "/home/me/demo";
    const QByteArray mine = siteLine("Mine", "mine.example", "21", "x");
    const QByteArray demoFolder = mine + "\n" + SiteLine(edited).toUtf8() + "\n" + mine + "\n";
    top += "\r\nDIR=Demo\r\n";
    writeFile(path("ftplist.TXT"), top);
    writeFile(path("Demo/ftplist.TXT"), demoFolder);

    const Result r = demoSite({"--port", "40021"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readFile(path("ftplist.TXT")), top);
    EXPECT_EQ(readFile(path("work/ftplist.TXT")), work);
    edited.Port = "40021";
    EXPECT_EQ(readFile(path("Demo/ftplist.TXT")), mine + "\n" + SiteLine(edited).toUtf8() + "\n" + mine + "\n");

    ProgramDir = WithTrailingSlash(dir.path());
    const std::optional<TFTPServerObj> site = FindSavedSite("Demo/Local demo server", TSiteDefaults{});
    ASSERT_TRUE(site.has_value());
    EXPECT_EQ(site->Password, "kept;secret");
    EXPECT_EQ(site->Server, "localhost");
    EXPECT_EQ(site->LocalDir, "/home/me/demo");
}

TEST_F(DemoSite, FreshProgramDirFromTheEnvironmentAndBadArguments)
{
    QTemporaryDir fresh;
    const QString programDir = fresh.filePath("new/program dir");
    Result r = cli({"demo-site", "--port", "2121", "--folder", "Try/Out", "--name", "Üben"},
                {"VARNOTH_PROGRAM_DIR=" + programDir});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readFile(programDir + "/ftplist.TXT"), "DIR=Try\n");
    EXPECT_EQ(readFile(programDir + "/Try/ftplist.TXT"), "DIR=Out\n");
    // A list the tool creates holds passwords: its owner's only.
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther;
    EXPECT_EQ((QFileInfo(programDir + "/Try/Out/ftplist.TXT").permissions() & others).toInt(), 0);
    r = cli({"sites", "--program-dir", programDir});
    EXPECT_EQ(r.out, QString::fromUtf8("Try/Out/Üben\t127.0.0.1\t2121\tanonymous\n"));

    EXPECT_EQ(demoSite({}).exitCode, 2);
    EXPECT_EQ(demoSite({"--port", "0"}).exitCode, 2);
    EXPECT_EQ(demoSite({"--port", "70000"}).exitCode, 2);
    EXPECT_EQ(demoSite({"--port", "21", "extra"}).exitCode, 2);
    r = demoSite({"--port", "21", "--folder", "../outside"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("../outside")));
    EXPECT_EQ(cli({"demo-site", "--port", "21", "--program-dir", path("missing")}).exitCode, 1);
    EXPECT_EQ(readFile(path("ftplist.TXT")), top);
}

// ---- the sample tree ----------------------------------------------------------

TEST(DemoTree, NestedFoldersSpecialNamesLinksSizesAndDates)
{
    QTemporaryDir dir;
    const QString root = dir.filePath("root");
    Result r = run(testenv::systemPython(), {demoScript(), "--make-tree", root});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    for (const char* name : {"pub/Grüße aus Köln.txt", "pub/日本語.txt", "pub/notes 2024.md", "README.txt"}) {
        const QFileInfo fi(QDir(root).filePath(QString::fromUtf8(name)));
        EXPECT_TRUE(fi.isFile() && !fi.isSymLink() && fi.size() > 0) << name;
    }
    EXPECT_TRUE(readFile(root + QString::fromUtf8("/pub/Grüße aus Köln.txt")).contains("Grüße"));
    EXPECT_TRUE(QFileInfo(root + "/incoming").isDir());

    // Links to a file and to a folder, relative and inside the tree (the
    // server refuses links that lead outside its root).
    const QFileInfo fileLink(root + "/LATEST-NOTES.md");
    const QFileInfo dirLink(root + "/latest release");
    ASSERT_TRUE(fileLink.isSymLink());
    ASSERT_TRUE(dirLink.isSymLink());
    EXPECT_TRUE(fileLink.isFile());
    EXPECT_TRUE(dirLink.isDir());
    EXPECT_EQ(fileLink.canonicalFilePath(), QFileInfo(root + "/pub/notes 2024.md").canonicalFilePath());
    EXPECT_TRUE(dirLink.canonicalFilePath().startsWith(QFileInfo(root).canonicalFilePath() + "/pub/"));
    for (const QFileInfo& link : {fileLink, dirLink})
        EXPECT_TRUE(std::filesystem::read_symlink(link.filePath().toStdString()).is_relative());
    EXPECT_FALSE(QDir(root + "/latest release").entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

    // A few hundred files from empty to megabytes, three folder levels, dates
    // from this year and from years ago.
    int files = 0, empty = 0, over1k = 0, overMb = 0, thisYear = 0, yearsAgo = 0, maxDepth = 0;
    const int year = QDate::currentDate().year();
    QDirIterator it(root, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo fi(it.next());
        maxDepth = std::max<int>(maxDepth, QDir(root).relativeFilePath(fi.filePath()).count('/') + (fi.isDir() ? 1 : 0));
        if (!fi.isFile())
            continue;
        ++files;
        empty += fi.size() == 0;
        over1k += fi.size() > 1000;
        overMb += fi.size() > 1024 * 1024;
        const int y = fi.lastModified().date().year();
        thisYear += y == year;
        yearsAgo += y <= year - 3;
    }
    EXPECT_GE(files, 300);
    EXPECT_LE(files, 600);
    EXPECT_GE(empty, 1);
    EXPECT_GE(over1k, files / 2);
    EXPECT_GE(overMb, 3);
    EXPECT_GE(thisYear, 10);
    EXPECT_GE(yearsAgo, 10);
    EXPECT_GE(maxDepth, 3);

    // Running again changes nothing and keeps what was uploaded.
    writeFile(root + "/incoming/uploaded.txt", "mine");
    const auto before = snapshot(root);
    r = run(testenv::systemPython(), {demoScript(), "--make-tree", root});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(snapshot(root), before);
    EXPECT_EQ(readFile(root + "/incoming/uploaded.txt"), "mine");
}

// ---- the server ---------------------------------------------------------------

TEST(DemoServerRun, AnonymousReadsEverywhereAndWritesOnlyIntoIncoming)
{
    REQUIRE_PYFTPDLIB();
    QTemporaryDir dir;
    const QString root = dir.filePath("root");
    ASSERT_EQ(run(testenv::systemPython(), {demoScript(), "--make-tree", root}).exitCode, 0);
    DemoServer server;
    ASSERT_TRUE(server.start(root, testenv::freePort())) << server.output().toStdString();

    Result r = cli({"ls", server.url("")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    for (const char* name : {"pub", "incoming", "latest release -> pub/releases/v2.0 beta", "LATEST-NOTES.md"})
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(name))) << name << "\n" << r.out.toStdString();
    r = cli({"ls", server.url("pub/")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QString::fromUtf8("Grüße aus Köln.txt"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QString::fromUtf8("日本語.txt")));
    r = cli({"ls", server.url("latest%20release/")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("CHANGES.txt")) << r.out.toStdString();

    QTemporaryDir local;
    writeFile(local.filePath("up.txt"), "uploaded");
    r = cli({"put", local.filePath("up.txt"), server.url("incoming/up.txt")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readFile(root + "/incoming/up.txt"), "uploaded");
    r = cli({"put", local.filePath("up.txt"), server.url("pub/up.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("550")) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(root + "/pub/up.txt"));

    // The demo user, in case a site with a login is wanted.
    r = cli({"put", local.filePath("up.txt"), server.url("incoming/by%20demo.txt", "demo:demo")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(root + "/incoming/by demo.txt"));
    EXPECT_EQ(cli({"ls", server.url("", "demo:wrong")}).exitCode, 1);
}

TEST(DemoServerRun, TakesAnotherPortWhenBusyAndEndsWithItsParent)
{
    REQUIRE_PYFTPDLIB();
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("root")));
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::LocalHost));

    // A stand-in for scripts/run: the server must stop once it is gone.
    QProcess parent;
    parent.start(testenv::systemPython(), {"-c", "import sys; sys.stdin.read()"});
    ASSERT_TRUE(parent.waitForStarted());
    const QString parentPid = QString::number(parent.processId());

    DemoServer server;
    ASSERT_TRUE(server.start(dir.filePath("root"), busy.serverPort(),
                             {"--else-any-port", "--parent-pid", parentPid}))
        << server.output().toStdString();
    EXPECT_NE(server.port(), busy.serverPort());
    EXPECT_EQ(cli({"ls", server.url("")}).exitCode, 0);

    parent.closeWriteChannel();
    ASSERT_TRUE(parent.waitForFinished());
    EXPECT_TRUE(testenv::waitFor([&] { return server.process().state() == QProcess::NotRunning; }, 30000));

    // A server that never had a client notices too.
    QProcess orphan;
    orphan.start(testenv::systemPython(), {demoScript(), "--serve", dir.filePath("root"), "--port", "0",
                                           "--parent-pid", parentPid});
    EXPECT_TRUE(orphan.waitForFinished(30000));
    EXPECT_EQ(orphan.exitCode(), 0);

    // Without --else-any-port a busy port is an error.
    DemoServer strict;
    EXPECT_FALSE(strict.start(dir.filePath("root"), busy.serverPort()));
    EXPECT_TRUE(strict.output().contains("Address already in use")) << strict.output().toStdString();
}
