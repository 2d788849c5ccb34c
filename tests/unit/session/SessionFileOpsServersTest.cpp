// Make Directory, Rename and the recursive delete against real servers
// (pyftpdlib, vsftpd) on real trees: nested folders, a symlink loop, a link
// to a directory outside the tree and, for vsftpd, a folder the server may
// not list. What a link points to always survives.
#include "FtpServers.h"
#include "SessionHarness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

enum class Kind { Pyftpdlib, Vsftpd };

void writeFile(const QString& path, const QByteArray& data = "x")
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

class SessionFileOpsServers : public ::testing::TestWithParam<Kind> {
protected:
    testftp::FtpServer server;
    SessionHarness h;
    QString root;  // the server's directory we work in

    bool connect()
    {
        QString error;
        const bool ok = GetParam() == Kind::Pyftpdlib ? server.startPyftpdlib(&error) : server.startVsftpd(&error);
        if (!ok) {
            ADD_FAILURE() << error.toStdString();
            return false;
        }
        root = server.dataDir();
        TFTPServerObj s = SessionHarness::site(server.port(), QStringLiteral("/") + server.remotePrefix());
        server.applyLogin(s);
        s.Pasv = GetParam() == Kind::Pyftpdlib ? 1 : 0;
        h.session.ConnectTo(s);
        return h.idle(15000);
    }
    bool refreshed()
    {
        h.session.Refresh();
        return h.idle(15000);
    }
    bool done()
    {
        return testenv::waitFor([&] { return h.idle() && !h.session.DeleteRunning() && !h.session.Busy(); }, 20000);
    }
};

} // namespace

TEST_P(SessionFileOpsServers, DeletingATreeRemovesItButNeverWhatItsLinksPointTo)
{
    QTemporaryDir outside;  // a directory beside the server's tree
    ASSERT_TRUE(outside.isValid());
    ASSERT_TRUE(connect());
    writeFile(root + "/tree/a.txt");
    writeFile(root + "/tree/sub/b.txt");
    writeFile(root + "/tree/sub/deeper/c.txt");
    writeFile(root + "/keep/precious.txt", "precious");
    writeFile(outside.filePath("far.txt"), "far");
    // A loop back up the tree, a link to a sibling directory of the tree and
    // one to a directory elsewhere on the disk.
    ASSERT_TRUE(QFile::link("..", root + "/tree/sub/loop"));
    ASSERT_TRUE(QFile::link("../keep", root + "/tree/keep-link"));
    ASSERT_TRUE(QFile::link(outside.path(), root + "/tree/sub/outside"));
    // Anonymous vsftpd sessions run as an account of their own: give it the tree.
    QProcess::execute("chmod", {"-R", "a+rwX", root + "/tree"});
    ASSERT_TRUE(refreshed());
    const int row = h.rowOf("tree");
    ASSERT_GE(row, 0);
    h.ui.boxAnswer = mb::IdYes;
    h.session.DeleteItems({row});
    ASSERT_TRUE(done()) << h.pane.Lines().join('\n').toStdString();
    EXPECT_TRUE(QFile::exists(root + "/keep/precious.txt"));
    EXPECT_TRUE(QFile::exists(outside.filePath("far.txt")));
    if (GetParam() == Kind::Pyftpdlib) {
        // pyftpdlib refuses to touch a link that leads out of its root: the
        // delete stops there with the server's reason and lists the start.
        EXPECT_EQ(h.logCount("Error 550"), 1);
        EXPECT_TRUE(QFileInfo(root + "/tree/sub/outside").isSymLink());
        EXPECT_GE(h.rowOf("tree"), 0);
    } else {
        EXPECT_FALSE(QFileInfo::exists(root + "/tree")) << h.pane.Lines().join('\n').toStdString();
        EXPECT_LT(h.rowOf("tree"), 0);
    }
    EXPECT_GE(h.rowOf("keep"), 0);
    EXPECT_EQ(h.session.SessionFlags(), 0);
}

// pyftpdlib runs as the test's user (root in CI) and lists every folder:
// only vsftpd's anonymous account meets a folder it may not list.
class SessionFileOpsVsftpd : public SessionFileOpsServers {};

TEST_P(SessionFileOpsVsftpd, AFolderTheServerMayNotListKeepsItsFiles)
{
    ASSERT_TRUE(connect());
    writeFile(root + "/tree/a.txt");
    writeFile(root + "/tree/closed/secret.txt");
    QProcess::execute("chmod", {"-R", "a+rwX", root + "/tree"});
    // Enterable but not listable by the anonymous account.
    QProcess::execute("chmod", {"0333", root + "/tree/closed"});
    ASSERT_TRUE(refreshed());
    h.ui.boxAnswer = mb::IdYes;
    h.session.DeleteItems({h.rowOf("tree")});
    ASSERT_TRUE(done());
    QProcess::execute("chmod", {"0755", root + "/tree/closed"});
    EXPECT_TRUE(QFile::exists(root + "/tree/closed/secret.txt")) << h.pane.Lines().join('\n').toStdString();
    EXPECT_FALSE(QFile::exists(root + "/tree/a.txt"));
    EXPECT_GE(h.rowOf("tree"), 0);
    EXPECT_EQ(h.session.SessionFlags(), 0);
}

TEST_P(SessionFileOpsServers, MakeRenameAndDeleteShowInTheListing)
{
    ASSERT_TRUE(connect());
    writeFile(root + "/old name.txt", "content");
    QProcess::execute("chmod", {"a+rw", root + "/old name.txt"});
    ASSERT_TRUE(refreshed());

    h.ui.answers = {"made here"};
    h.session.MakeDirectory();
    ASSERT_TRUE(testenv::waitFor([&] { return h.idle() && h.rowOf("made here") >= 0; }, 15000));
    EXPECT_TRUE(QFileInfo(root + "/made here").isDir());

    h.ui.answers = {"new name.txt"};
    h.session.RenameItem(h.rowOf("old name.txt"));
    ASSERT_TRUE(testenv::waitFor([&] { return h.idle() && h.rowOf("new name.txt") >= 0; }, 15000));
    QFile renamed(root + "/new name.txt");
    ASSERT_TRUE(renamed.open(QIODevice::ReadOnly));
    EXPECT_EQ(renamed.readAll(), "content");

    h.ui.boxAnswer = mb::IdYes;
    h.session.DeleteItems({h.rowOf("new name.txt"), h.rowOf("made here")});
    ASSERT_TRUE(done());
    EXPECT_FALSE(QFileInfo::exists(root + "/new name.txt"));
    EXPECT_FALSE(QFileInfo::exists(root + "/made here"));
    EXPECT_LT(h.rowOf("made here"), 0);
}

INSTANTIATE_TEST_SUITE_P(RealServers, SessionFileOpsServers, ::testing::Values(Kind::Pyftpdlib, Kind::Vsftpd),
                         [](const auto& info) {
                             return std::string(info.param == Kind::Pyftpdlib ? "pyftpdlib" : "vsftpd");
                         });
INSTANTIATE_TEST_SUITE_P(RealServer, SessionFileOpsVsftpd, ::testing::Values(Kind::Vsftpd),
                         [](const auto&) { return std::string("vsftpd"); });
