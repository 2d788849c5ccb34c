// Composite requests and transfers against the scriptable server: every case
// states the whole dialogue the client must produce.
#include "FtpHarness.h"

#include <QFile>
#include <QRegularExpression>

namespace {

using Reply = FakeFtpServer::Reply;

struct ChainCase {
    const char* name;
    std::function<void(FakeFtpServer&, FtpHarness&)> setup;
    std::function<void(TFtpClient&)> op;
    QStringList commands;  // after the login
    TFtpRequest rq;
    int error;
};

} // namespace

TEST(FtpChain, CompositeStepSets)
{
    const QList<ChainCase> cases = {
        {"rename stops when RNFR is refused", [](FakeFtpServer& s, FtpHarness&) { s.on("RNFR", "550 No such file"); },
         [](TFtpClient& f) { f.SetHostFileName("a"); f.SetLocalFileName("b"); f.Rename(); }, {"RNFR a"}, ftpRqRename, 550},
        {"rename", nullptr, [](TFtpClient& f) { f.SetHostFileName("a"); f.SetLocalFileName("b"); f.Rename(); },
         {"RNFR a", "RNTO b"}, ftpRqRename, 0},
        {"restart get without a local file sends no REST",
         [](FakeFtpServer& s, FtpHarness&) { s.setTransfer("RETR", {"0123456789"}); },
         [](TFtpClient& f) { f.SetHostFileName("f"); f.RestartGet(); }, {"PASV", "RETR f"}, ftpRqRestartGet, 0},
        {"restart get answered 502 ends the chain",
         [](FakeFtpServer& s, FtpHarness& h) { s.on("REST", "502 REST not implemented"); writeFile(h.path("local"), QByteArray(1000, 'a')); },
         [](TFtpClient& f) { f.SetHostFileName("f"); f.RestartGet(); }, {"PASV", "REST 1000"}, ftpRqRestartGet, 502},
        {"put reports the STOR code", nullptr, [](TFtpClient& f) { f.SetHostFileName("up"); f.Put(); }, {"PASV", "STOR up"}, ftpRqPut, 0},
        {"restart put reports 17", nullptr, [](TFtpClient& f) { f.SetHostFileName("up"); f.SetResumeAt(2); f.RestartPut(); },
         {"PASV", "REST 2", "STOR up"}, ftpRqPut, 0},
        {"dir with ListAll", [](FakeFtpServer& s, FtpHarness&) { s.setTransfer("LIST", {"x\r\n"}); },
         [](TFtpClient& f) { f.SetListAll(true); f.SetHostFileName("pub"); f.Dir(); }, {"PASV", "LIST -aL pub"}, ftpRqDir, 0},
        {"first transfer reply refused", [](FakeFtpServer& s, FtpHarness&) { s.on("RETR", "550 No such file"); },
         [](TFtpClient& f) { f.SetHostFileName("nope"); f.Get(); }, {"PASV", "RETR nope"}, ftpRqGet, 550},
        {"final transfer reply refused", [](FakeFtpServer& s, FtpHarness&) { s.setTransfer("RETR", {"abc", "150 go", "451 Local error"}); },
         [](TFtpClient& f) { f.SetHostFileName("f"); f.Get(); }, {"PASV", "RETR f"}, ftpRqGet, 451},
    };
    for (const ChainCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFtpServer srv;
        FtpHarness h;
        writeFile(h.path("upload"), "hello");
        if (c.setup)
            c.setup(srv, h);
        h.connectTo(srv);
        h.ftp.SetLocalFileName(h.path(QString::fromLatin1(c.name).contains("put") ? "upload" : "local"));
        ASSERT_TRUE(h.run([&] { c.op(h.ftp); }));
        EXPECT_EQ(afterLogin(srv), c.commands);
        EXPECT_EQ(h.lastRq(), c.rq);
        EXPECT_EQ(h.lastError(), c.error);
        EXPECT_EQ(h.done.size(), 1u);
        EXPECT_EQ(h.ftp.State(), ftpStReady);
    }
}

TEST(FtpChain, FileSizeOfAMissingFileKeepsTheConnectionAndSkipsQuit)
{
    FakeFtpServer srv;
    srv.on("SIZE", "550 Could not get file size.");
    FtpHarness h;
    h.target(srv.port());
    h.ftp.SetHostDirName("/pub");
    h.ftp.SetHostFileName("missing");
    ASSERT_TRUE(h.run([&] { h.ftp.FileSize(); }));
    EXPECT_EQ(srv.commands(), QStringList({"USER alice", "PASS secret", "CWD /pub", "SIZE missing"}));
    EXPECT_EQ(h.lastRq(), ftpRqSize);
    EXPECT_EQ(h.lastError(), 550);
    EXPECT_EQ(h.ftp.StatusCode(), 550);
    EXPECT_EQ(h.ftp.LastResponse(), "550 Could not get file size.");
    EXPECT_TRUE(h.ftp.Connected());
}

TEST(FtpChain, ResultBeforeQuitIsReported)
{
    FakeFtpServer srv;
    srv.on("SIZE", "213 4242");
    FtpHarness h;
    h.target(srv.port());
    h.ftp.SetHostFileName("f");
    ASSERT_TRUE(h.run([&] { h.ftp.FileSize(); }));
    EXPECT_EQ(srv.commands(), QStringList({"USER alice", "PASS secret", "SIZE f", "QUIT"}));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_EQ(h.ftp.SizeResult(), 4242);
    EXPECT_EQ(h.ftp.StatusCode(), 213);
    EXPECT_EQ(h.ftp.LastResponse(), "213 4242");
    EXPECT_FALSE(h.ftp.Connected());
}

TEST(FtpChain, RestartGetResumesAtTheLocalSize)
{
    FakeFtpServer srv;
    const QByteArray tail = "the rest of the file";
    srv.setTransfer("RETR", {tail});
    FtpHarness h;
    writeFile(h.path("f"), QByteArray(1000, 'a'));
    h.connectTo(srv);
    h.ftp.SetLocalFileName(h.path("f"));
    h.ftp.SetHostFileName("f");
    h.ftp.SetStepProgress(10);
    std::vector<int> counts;
    h.ftp.OnProgress = [&](TCustomFtpCli*, int n, bool&) { counts.push_back(n); };
    ASSERT_TRUE(h.run([&] { h.ftp.RestartGet(); }));
    EXPECT_EQ(afterLogin(srv), QStringList({"PASV", "REST 1000", "RETR f"}));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_EQ(readAll(h.path("f")), QByteArray(1000, 'a') + tail);
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.front(), 100);
    EXPECT_EQ(h.ftp.ResumeAt(), 0);
}

TEST(FtpChain, AbortDuringACompositeReports426)
{
    FakeFtpServer srv;
    srv.on("PASS", QList<Reply>{{"230 ok", 0, false, true}});  // never sent
    FtpHarness h;
    h.target(srv.port());
    h.done.clear();
    h.ftp.Connect();
    ASSERT_TRUE(testenv::waitFor([&] { return srv.commands().size() == 2; }));
    h.ftp.Abort();
    ASSERT_TRUE(testenv::waitFor([&] { return !h.done.empty(); }));
    EXPECT_EQ(h.lastRq(), ftpRqConnect);
    EXPECT_EQ(h.lastError(), 426);
    EXPECT_EQ(h.ftp.ErrorMessage(), "426 Operation aborted.");
    EXPECT_EQ(h.ftp.State(), ftpStReady);
}

TEST(FtpChain, ProxyLoginNamesTheTargetHost)
{
    FakeFtpServer srv;
    FtpHarness h;
    h.ftp.SetConnectionType(ftpProxy);
    h.ftp.SetProxyServer("127.0.0.1");
    h.ftp.SetProxyPort(QString::number(srv.port()));
    h.ftp.SetHostName("ftp.example.org");
    h.ftp.SetPort("2121");
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_EQ(srv.commands(), QStringList({"USER alice@ftp.example.org:2121", "PASS secret"}));
    EXPECT_TRUE(h.ftp.Passive());
}

TEST(FtpChain, ProxyLoginPutsAnIPv6TargetInBrackets)
{
    const struct {
        const char* host;
        const char* port;
        const char* user;
    } rows[] = {
        {"::1", "2121", "USER alice@[::1]:2121"},
        {"[2001:db8::7]", "21", "USER alice@[2001:db8::7]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.host);
        FakeFtpServer srv;
        FtpHarness h;
        h.ftp.SetConnectionType(ftpProxy);
        h.ftp.SetProxyServer("127.0.0.1");
        h.ftp.SetProxyPort(QString::number(srv.port()));
        h.ftp.SetHostName(row.host);
        h.ftp.SetPort(row.port);
        ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
        EXPECT_EQ(srv.commands().value(0), row.user);
    }
}

// --- data connection -----------------------------------------------------

struct EndOrderCase {
    const char* name;
    bool finalBeforeClose;
    bool holdLaterEnd;  // the server gives the second end event only when told
};

TEST(FtpTransfer, DownloadEndsOnlyAfterBothTheReplyAndTheClose)
{
    const QList<EndOrderCase> cases = {
        {"226 after close", false, true}, {"226 before close", true, true}, {"immediate", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFtpServer srv;
        FakeFtpServer::Transfer t;
        t.content = QByteArray(100000, 'z');
        t.finalBeforeClose = c.finalBeforeClose;
        t.holdLaterEnd = c.holdLaterEnd;
        srv.setTransfer("RETR", t);
        FtpHarness h;
        h.connectTo(srv);
        h.ftp.SetHostFileName("big");
        h.ftp.SetLocalFileName(h.path("big"));
        if (c.holdLaterEnd) {
            h.done.clear();
            h.ftp.Get();
            // The client has taken in the first end event...
            ASSERT_TRUE(testenv::waitFor([&] {
                return c.finalBeforeClose ? h.display.contains("< 226 Transfer complete") : srv.dataClosedByClient();
            }));
            testenv::deliverPostedEvents();
            EXPECT_TRUE(h.done.empty()) << "ended on the first of the two events";
            // ...and the second one ends the download.
            srv.release();
            ASSERT_TRUE(testenv::waitFor([&] { return !h.done.empty(); }));
        } else {
            ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
        }
        EXPECT_EQ(h.lastError(), 0);
        EXPECT_EQ(readAll(h.path("big")), t.content);
        const QStringList stats = h.display.filter(QRegularExpression("^! 100000 bytes received in \\d+ seconds"));
        EXPECT_EQ(stats.size(), 1) << h.display.join('\n').toStdString();
    }
}

TEST(FtpTransfer, PassiveReplyForms)
{
    const QList<QByteArray> forms = {"227 Entering Passive Mode (10,0,0,5,%1,%2).",
                                     "227 Entering Passive Mode 10,0,0,5,%1,%2"};
    for (const QByteArray& form : forms) {
        SCOPED_TRACE(form.constData());
        FakeFtpServer srv;
        srv.setPasvReply(form);
        srv.setTransfer("RETR", {"payload"});
        FtpHarness h;
        h.prepareDownload(srv, true);
        ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
        EXPECT_EQ(h.lastError(), 0);  // went to 127.0.0.1 whatever the reply said
        EXPECT_EQ(readAll(h.path("down")), "payload");
        writeFile(h.path("up"), "uploaded bytes");
        h.ftp.SetLocalFileName(h.path("up"));
        ASSERT_TRUE(h.run([&] { h.ftp.Put(); }));
        EXPECT_EQ(h.lastError(), 0);
        EXPECT_EQ(srv.received("STOR"), "uploaded bytes");
    }
}

TEST(FtpTransfer, MalformedPassiveReplyRaisesAndSendsNothing)
{
    FakeFtpServer srv;
    srv.setPasvReply("227 Entering Passive Mode (1,2,3,4,x,y)");
    FtpHarness h;
    h.connectTo(srv);
    writeFile(h.path("keep"), "precious");
    h.ftp.SetHostFileName("f");
    h.ftp.SetLocalFileName(h.path("keep"));
    // The unusable reply makes the client try EPSV once, which this server refuses.
    ASSERT_TRUE(h.run([&] { h.ftp.Port(); }));
    EXPECT_EQ(h.lastError(), 502);
    EXPECT_THROW(h.ftp.Retr(), FtpException);
    EXPECT_EQ(afterLogin(srv), QStringList({"PASV", "EPSV"}));
    EXPECT_EQ(readAll(h.path("keep")), "precious");
    EXPECT_EQ(h.ftp.State(), ftpStReady);

    // Inside a composite the same fault ends the request with an error.
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
    EXPECT_NE(h.lastError(), 0);
    EXPECT_EQ(afterLogin(srv), QStringList({"PASV", "EPSV", "PASV"}));
    EXPECT_EQ(readAll(h.path("keep")), "precious");
}

TEST(FtpTransfer, ActiveModeAgainstLoopbackSendsPort127)
{
    FakeFtpServer srv;
    srv.setTransfer("LIST", {"line one\r\nline two\r\n"});
    FtpHarness h;
    h.ftp.SetPassive(false);
    h.connectTo(srv);
    h.ftp.SetLocalFileName(h.path("listing"));
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
    EXPECT_EQ(h.lastError(), 0);
    const QString port = afterLogin(srv).value(0);
    EXPECT_TRUE(port.startsWith("PORT 127,0,0,1,")) << port.toStdString();
    EXPECT_EQ(readAll(h.path("listing")), "line one\r\nline two\r\n");
    writeFile(h.path("up"), QByteArray(300000, 'u'));
    h.ftp.SetLocalFileName(h.path("up"));
    h.ftp.SetHostFileName("up");
    ASSERT_TRUE(h.run([&] { h.ftp.Put(); }));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_EQ(srv.received("STOR"), QByteArray(300000, 'u'));
}

TEST(FtpTransfer, ServerDroppingMidTransferKeepsThePartAndFails)
{
    FakeFtpServer srv;
    FakeFtpServer::Transfer t;
    t.content = QByteArray(50000, 'p');
    t.cutAfter = 20000;
    t.dropControlOnCut = true;
    srv.setTransfer("RETR", t);
    FtpHarness h;
    h.connectTo(srv);
    h.ftp.SetHostFileName("f");
    h.ftp.SetLocalFileName(h.path("part"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
    EXPECT_NE(h.lastError(), 0);
    EXPECT_FALSE(h.ftp.ErrorMessage().isEmpty());
    EXPECT_EQ(readAll(h.path("part")), QByteArray(20000, 'p'));
}

TEST(FtpTransfer, TruncatedDownloadWithAKnownSizeFailsEvenAfter226)
{
    FakeFtpServer srv;
    FakeFtpServer::Transfer t;
    t.content = QByteArray(50000, 'p');
    t.cutAfter = 20000;
    srv.setTransfer("RETR", t);
    srv.on("SIZE", "213 50000");
    FtpHarness h;
    h.connectTo(srv);
    h.ftp.SetHostFileName("f");
    h.ftp.SetLocalFileName(h.path("part"));
    ASSERT_TRUE(h.run([&] { h.ftp.Size(); }));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
    EXPECT_EQ(h.lastError(), 426);
    EXPECT_TRUE(h.ftp.ErrorMessage().startsWith("426 Transfer incomplete")) << h.ftp.ErrorMessage().toStdString();
}

TEST(FtpTransfer, LocalFileProblems)
{
    FakeFtpServer srv;
    FtpHarness h;
    h.connectTo(srv);
    const QString badDir = h.path("no/such/dir/file");
    h.ftp.SetHostFileName("f");
    h.ftp.SetLocalFileName(badDir);
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
    EXPECT_EQ(h.lastError(), 550);
    EXPECT_EQ(h.ftp.LastResponse(), "Unable to open local file " + badDir);
    ASSERT_TRUE(h.run([&] { h.ftp.Put(); }));
    EXPECT_EQ(h.lastError(), 426);
    EXPECT_EQ(h.ftp.ErrorMessage(), "426 Unable to open local file " + badDir);
    EXPECT_TRUE(h.display.contains("! 426 Unable to open local file " + badDir));
    EXPECT_EQ(afterLogin(srv), QStringList({"PASV", "PASV"}));
}

TEST(FtpTransfer, EmptyUploadAndCancelledUpload)
{
    FakeFtpServer srv;
    FtpHarness h;
    h.connectTo(srv);
    writeFile(h.path("empty"), "");
    h.ftp.SetLocalFileName(h.path("empty"));
    h.ftp.SetHostFileName("empty");
    ASSERT_TRUE(h.run([&] { h.ftp.Put(); }));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_EQ(srv.received("STOR"), QByteArray());
    EXPECT_TRUE(h.display.contains("! 0 bytes sent in 0 seconds") || h.display.filter("! 0 bytes sent in").size() == 1);

    h.ftp.OnReadyToTransmit = [](TCustomFtpCli*, bool& cancel) { cancel = true; };
    ASSERT_TRUE(h.run([&] { h.ftp.Put(); }));
    EXPECT_EQ(h.lastError(), 426);
    EXPECT_EQ(h.ftp.ErrorMessage(), "426 Transmit cancelled by application");
}

TEST(FtpTransfer, ProgressRunsFromZeroToAboutAThousand)
{
    FakeFtpServer srv;
    srv.setTransfer("RETR", {QByteArray(2'000'000, 'q')});
    FtpHarness h;
    h.connectTo(srv);
    h.ftp.SetSizeProgress(2'000'000);
    EXPECT_EQ(h.ftp.StepProgress(), 2000);
    int last = -1;
    bool increasing = true;
    h.ftp.OnProgress = [&](TCustomFtpCli*, int n, bool&) {
        increasing = increasing && n > last;
        last = n;
    };
    h.ftp.SetHostFileName("f");
    h.ftp.SetLocalFileName(h.path("f"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_TRUE(increasing);
    EXPECT_GT(last, 500);
    EXPECT_LE(last, 1000);
}
