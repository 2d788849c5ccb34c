// The control connection: login dialogues, reply reading and judging, the
// ready check and the synchronous wait, each stated as a transcript.
#include "FtpHarness.h"

#include <QFile>

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

namespace {

struct LoginCase {
    const char* name;
    QByteArray banner;
    QByteArray user;
    QByteArray pass;
    QStringList commands;
    int error;
    QString errorMessage;
};

} // namespace

TEST(FtpControl, LoginDialogues)
{
    const QList<LoginCase> cases = {
        {"plain", "220 ready", "331 Password required", "230 Logged in", {"USER alice", "PASS secret"}, 0, ""},
        {"user answered 230", "220 ready", "230 No password needed", "230 x", {"USER alice"}, 0, ""},
        {"wrong password", "220 ready", "331 Password required", "530 Login incorrect.", {"USER alice", "PASS secret"},
         530, "530 Login incorrect."},
        {"multi-line reply to PASS", "220 ready", "331 pw", "230-Welcome\r\n230-to the server\r\n230 Logged in\r\n",
         {"USER alice", "PASS secret"}, 0, ""},
        {"LF-only line ends", "220-hello\n220 ready\n", "331 pw\n", "230 in\n", {"USER alice", "PASS secret"}, 0, ""},
        {"banner 421", "421 Too many users", "331", "230", {}, 421, "421 Too many users"},
        {"user rejected", "220 ready", "530 Not allowed", "230", {"USER alice"}, 530, "530 Not allowed"},
    };
    for (const LoginCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFtpServer srv;
        srv.setBanner(c.banner);
        srv.on("USER", c.user);
        srv.on("PASS", c.pass);
        FtpHarness h;
        h.target(srv.port());
        ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
        EXPECT_EQ(h.done.size(), 1u);
        EXPECT_EQ(h.lastRq(), ftpRqConnect);
        EXPECT_EQ(h.lastError(), c.error);
        EXPECT_EQ(h.ftp.ErrorMessage(), c.errorMessage);
        EXPECT_EQ(srv.commands(), c.commands);
        EXPECT_EQ(h.ftp.State(), ftpStReady);
    }
}

TEST(FtpControl, MultiLineReplyFiresResponsePerLineButDisplaysOnlyTheFinalLine)
{
    FakeFtpServer srv;
    srv.on("PASS", "230-Welcome\r\n230-to the server\r\n230 Logged in\r\n");
    FtpHarness h;
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_EQ(h.responses, 1 + 1 + 3);  // banner, USER reply, three PASS lines
    EXPECT_TRUE(h.display.contains("< 230 Logged in"));
    EXPECT_FALSE(h.display.contains("< 230-Welcome"));
    EXPECT_TRUE(h.display.contains("> PASS secret"));
}

TEST(FtpControl, WithoutAcceptLFALineNeedsCrLf)
{
    FakeFtpServer srv;
    srv.setBanner("220 ready\n");
    FtpHarness h;
    h.ftp.SetOptions(0);
    h.target(srv.port());
    h.done.clear();
    h.ftp.Open();
    // The client has read the whole banner; had it taken it for a line, the
    // request would have ended while it read.
    ASSERT_TRUE(testenv::waitFor([&] { return h.ftp.ControlSocket()->ReadCount() >= 10; }));
    testenv::deliverPostedEvents();
    EXPECT_TRUE(h.done.empty());
    EXPECT_EQ(h.ftp.State(), ftpStWaitingBanner);
}

TEST(FtpControl, Banner421ClosesTheSession)
{
    FakeFtpServer srv;
    srv.setBanner("421 Service not available");
    FtpHarness h;
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Open(); }));
    EXPECT_EQ(h.lastRq(), ftpRqOpen);
    EXPECT_EQ(h.lastError(), 421);
    EXPECT_EQ(h.sessionClosed, 1);
    EXPECT_FALSE(h.ftp.Connected());
}

TEST(FtpControl, ConnectFailureReportsTheSocketCode)
{
    FtpHarness h;
    h.target(testenv::freePort());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    EXPECT_EQ(h.lastError(), 10061);
    EXPECT_EQ(h.ftp.StatusCode(), 500);
    EXPECT_EQ(h.ftp.LastResponse(), "500 Connection refused (Winsock error #10061)");
    EXPECT_EQ(h.ftp.ErrorMessage(), h.ftp.LastResponse());
}

struct ReplyCase {
    const char* name;
    std::function<void(TFtpClient&)> op;
    QByteArray verb;
    QByteArray reply;
    QString command;
    TFtpRequest rq;
    int error;
};

TEST(FtpControl, SingleCommandReplies)
{
    const QList<ReplyCase> cases = {
        {"CWD refused", [](TFtpClient& f) { f.SetHostDirName("/nope"); f.Cwd(); }, "CWD", "550 No such directory",
         "CWD /nope", ftpRqCwd, 550},
        {"quote 421 counts as success", [](TFtpClient& f) { f.SetLocalFileName("SITE X"); f.Quote(); }, "SITE",
         "421 whatever", "SITE X", ftpRqQuote, 0},
        {"quote 500 fails", [](TFtpClient& f) { f.SetLocalFileName("SITE X"); f.Quote(); }, "SITE", "500 Unknown",
         "SITE X", ftpRqQuote, 500},
        {"PWD result", [](TFtpClient& f) { f.Pwd(); }, "PWD", "257 \"/home/a\"\"b\" is cwd", "PWD", ftpRqPwd, 0},
        {"type ascii", [](TFtpClient& f) { f.TypeAscii(); }, "TYPE", "200 ok", "TYPE A", ftpRqTypeSet, 0},
        {"MKD", [](TFtpClient& f) { f.SetHostFileName("d"); f.Mkd(); }, "MKD", "257 \"d\" created", "MKD d", ftpRqMkd, 0},
        {"DELE refused", [](TFtpClient& f) { f.SetHostFileName("x"); f.Dele(); }, "DELE", "550 denied", "DELE x",
         ftpRqDele, 550},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFtpServer srv;
        srv.on(c.verb, c.reply);
        FtpHarness h;
        h.target(srv.port());
        ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
        ASSERT_TRUE(h.run([&] { c.op(h.ftp); }));
        EXPECT_EQ(h.lastRq(), c.rq);
        EXPECT_EQ(h.lastError(), c.error);
        EXPECT_EQ(srv.commands().last(), c.command);
        EXPECT_EQ(h.ftp.ErrorMessage(), c.error ? QString::fromLatin1(c.reply) : QString());
    }
}

TEST(FtpControl, DirectoryResultTakesTheQuotedTextWithDoubledQuotes)
{
    FakeFtpServer srv;
    srv.on("PWD", "257 \"/home/a\"\"b\" is cwd");
    FtpHarness h;
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    ASSERT_TRUE(h.run([&] { h.ftp.Pwd(); }));
    EXPECT_EQ(h.ftp.DirResult(), "/home/a\"b");
}

TEST(FtpControl, MisuseRaisesAndLeavesTheRunningRequestAlone)
{
    FakeFtpServer srv;
    srv.on("CWD", QList<FakeFtpServer::Reply>{{"250 ok", 0, false, true}});
    FtpHarness h;
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    h.done.clear();
    h.ftp.SetHostDirName("/a");
    h.ftp.Cwd();
    ASSERT_TRUE(testenv::waitFor([&] { return srv.heldCount() == 1; }));
    try {
        h.ftp.Pwd();
        FAIL() << "no exception";
    } catch (const FtpException& e) {
        EXPECT_EQ(e.message(), "Please wait! The program waits response from FTP host");
    }
    srv.release();
    ASSERT_TRUE(testenv::waitFor([&] { return !h.done.empty(); }));
    EXPECT_EQ(h.lastRq(), ftpRqCwd);
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_EQ(srv.commands(), QStringList({"USER alice", "PASS secret", "CWD /a"}));

    EXPECT_THROW(h.ftp.Connect(), FtpException);  // already connected
    h.ftp.SetHostDirName("");
    try {
        h.ftp.Cwd();
        FAIL() << "no exception";
    } catch (const FtpException& e) {
        EXPECT_EQ(e.message(), "HostDirName emtpy");
    }
    EXPECT_THROW(h.ftp.SetConnectionType(ftpSocks5), FtpException);
}

TEST(FtpControl, CommandWhileNotConnectedRaises)
{
    FtpHarness h;
    try {
        h.ftp.Pwd();
        FAIL() << "no exception";
    } catch (const FtpException& e) {
        EXPECT_EQ(e.message(), "FTP component not connected");
    }
}

TEST(FtpControl, RequestDoneComesFromTheLoopAfterTheStateIsReady)
{
    FakeFtpServer srv;
    FtpHarness h;
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    // A handler that starts the next request at once.
    bool chained = false;
    h.ftp.OnRequestDone = [&](TCustomFtpCli* s, TFtpRequest rq, quint16 e) {
        EXPECT_EQ(s->State(), ftpStReady);
        h.done.push_back({rq, e});
        if (rq == ftpRqPwd) {
            chained = true;
            s->Syst();
        }
    };
    h.done.clear();
    h.ftp.Pwd();
    EXPECT_TRUE(h.done.empty());  // never fired from inside the call
    ASSERT_TRUE(testenv::waitFor([&] { return h.done.size() == 2; }));
    EXPECT_TRUE(chained);
    EXPECT_EQ(h.done[1].rq, ftpRqSyst);
}

TEST(FtpControl, OverlongReplyLineEndsTheSessionCleanly)
{
    FakeFtpServer srv;
    srv.on("SYST", QByteArray(5000, 'x'));
    FtpHarness h;
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    ASSERT_TRUE(h.run([&] { h.ftp.Syst(); }));
    EXPECT_NE(h.lastError(), 0);
    EXPECT_FALSE(h.ftp.Connected());
    EXPECT_EQ(h.ftp.State(), ftpStReady);
}

TEST(FtpControl, ServerDroppingTheConnectionFailsTheOpenRequest)
{
    FakeFtpServer srv;
    srv.on("CWD", QList<FakeFtpServer::Reply>{{"", 0, true}});
    FtpHarness h;
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    h.ftp.SetHostDirName("/x");
    ASSERT_TRUE(h.run([&] { h.ftp.Cwd(); }));
    EXPECT_NE(h.lastError(), 0);
    EXPECT_EQ(h.sessionClosed, 1);
}

TEST(FtpControl, SynchronousWaitTimesOut)
{
    FakeFtpServer srv;
    srv.on("CWD", QList<FakeFtpServer::Reply>{{"250 never sent", 0, false, true}});
    FtpHarness h;
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    h.ftp.SetTimeout(1);
    h.ftp.SetHostDirName("/slow");
    // The reply is held for good: only the timeout can end the wait.
    EXPECT_FALSE(h.ftp.CwdSync());
    EXPECT_EQ(srv.heldCount(), 1);
    EXPECT_EQ(h.ftp.ErrorMessage(), "426 Timeout");
    EXPECT_EQ(h.ftp.StatusCode(), 426);
    EXPECT_FALSE(h.ftp.Connected());
}

TEST(FtpControl, SynchronousFormsSucceed)
{
    FakeFtpServer srv;
    FtpHarness h;
    h.target(srv.port());
    EXPECT_TRUE(h.ftp.Synchronize([&] { h.ftp.Connect(); }));
    h.ftp.SetHostDirName("/pub");
    EXPECT_TRUE(h.ftp.CwdSync());
    EXPECT_TRUE(h.ftp.TypeBinarySync());
    EXPECT_EQ(srv.commands(), QStringList({"USER alice", "PASS secret", "CWD /pub", "TYPE I"}));
}

TEST(FtpControl, Latin1NamesRoundTripByteForByte)
{
    FakeFtpServer srv;
    srv.on("PWD", "257 \"/caf\xe9\" is cwd");
    FtpHarness h;
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    ASSERT_TRUE(h.run([&] { h.ftp.Pwd(); }));
    EXPECT_EQ(h.ftp.DirResult(), QString::fromUtf8("/café"));
    EXPECT_TRUE(h.ftp.Latin1Mode());
    h.ftp.SetHostDirName(h.ftp.DirResult());
    ASSERT_TRUE(h.run([&] { h.ftp.Cwd(); }));
    EXPECT_EQ(srv.rawCommands().last(), QByteArray("CWD /caf\xe9"));
}

TEST(FtpControl, Utf8NamesStayUtf8)
{
    FakeFtpServer srv;
    srv.on("PWD", "257 \"/caf\xc3\xa9\" is cwd");
    FtpHarness h;
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    ASSERT_TRUE(h.run([&] { h.ftp.Pwd(); }));
    EXPECT_EQ(h.ftp.DirResult(), QString::fromUtf8("/café"));
    EXPECT_FALSE(h.ftp.Latin1Mode());
    h.ftp.SetHostDirName(h.ftp.DirResult());
    ASSERT_TRUE(h.run([&] { h.ftp.Cwd(); }));
    EXPECT_EQ(srv.rawCommands().last(), QByteArray("CWD /caf\xc3\xa9"));
}
