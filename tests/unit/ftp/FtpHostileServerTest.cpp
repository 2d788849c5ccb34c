// What a hostile or broken server (or a hostile name) must not achieve:
// smuggled commands, a wiped local file, a misread reply, a corrupted resume,
// an endless listing, and SOCKS failures without words.
#include "FtpHarness.h"
#include "SocksServers.h"

#include <QFile>

namespace {

using Reply = FakeFtpServer::Reply;

bool containsInjected(const FakeFtpServer& srv)
{
    for (const QString& c : srv.commands())
        if (c.contains("DELE") || c.contains("important"))
            return true;
    return false;
}

} // namespace

TEST(FtpHostile, LineBreaksInNamesAreRefusedBeforeAnythingIsSent)
{
    struct Case {
        const char* name;
        std::function<void(TFtpClient&)> prepare;
        std::function<void(TFtpClient&)> op;
    };
    const QString evil = QStringLiteral("x\r\nDELE important");
    const QList<Case> cases = {
        {"CWD", [&](TFtpClient& f) { f.SetHostDirName(evil); }, [](TFtpClient& f) { f.Cwd(); }},
        {"RETR through Get", [&](TFtpClient& f) { f.SetHostFileName(evil); }, [](TFtpClient& f) { f.Get(); }},
        {"LIST through Dir", [&](TFtpClient& f) { f.SetHostFileName("pub\nDELE important"); },
         [](TFtpClient& f) { f.Dir(); }},
        {"STOR through Put", [&](TFtpClient& f) { f.SetHostFileName(evil); }, [](TFtpClient& f) { f.Put(); }},
        {"RNTO through Rename", [&](TFtpClient& f) { f.SetHostFileName("a"); f.SetLocalFileName(evil); },
         [](TFtpClient& f) { f.Rename(); }},
        {"quoted command with NUL", [](TFtpClient& f) { f.SetLocalFileName(QStringLiteral("NOOP") + QChar(0) + "DELE important"); },
         [](TFtpClient& f) { f.Quote(); }},
        {"DELE single", [&](TFtpClient& f) { f.SetHostFileName("a\rDELE important"); }, [](TFtpClient& f) { f.Dele(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFtpServer srv;
        FtpHarness h;
        h.connectTo(srv);
        h.ftp.SetLocalFileName(h.path("local"));
        writeFile(h.path("local"), "kept");
        c.prepare(h.ftp);
        try {
            c.op(h.ftp);
            ADD_FAILURE() << "the request started";
        } catch (const FtpException& e) {
            EXPECT_TRUE(e.message().contains("line break or NUL")) << e.message().toStdString();
        }
        // A marker command proves the server has seen everything sent before it.
        h.ftp.SetHostFileName("marker");
        ASSERT_TRUE(h.run([&] { h.ftp.Size(); }));
        EXPECT_EQ(afterLogin(srv), QStringList({"SIZE marker"}));
        EXPECT_FALSE(containsInjected(srv));
        EXPECT_EQ(h.done.size(), 1u);
    }
}

TEST(FtpHostile, LineBreakInTheLoginRefusesTheConnection)
{
    FakeFtpServer srv;
    FtpHarness h;
    h.target(srv.port());
    h.ftp.SetUserName("alice\r\nDELE important");
    EXPECT_THROW(h.ftp.Connect(), FtpException);
    EXPECT_EQ(srv.connections(), 0);
    EXPECT_EQ(h.ftp.State(), ftpStReady);
    // The client stays usable for a sound login.
    h.ftp.SetUserName("alice");
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_EQ(srv.commands(), QStringList({"USER alice", "PASS secret"}));
}

TEST(FtpHostile, LineBreakInACompositeStepAfterLoginEndsTheRequestWithNothingSent)
{
    FakeFtpServer srv;
    FtpHarness h;
    h.target(srv.port());
    h.ftp.SetHostDirName("pub\r\nDELE important");
    EXPECT_THROW(h.ftp.DirAll(), FtpException);
    EXPECT_EQ(srv.connections(), 0);
}

TEST(FtpHostile, RefusedDownloadLeavesTheLocalFileAsItWas)
{
    struct Case {
        const char* name;
        bool passive;
        bool resume;
        bool existing;
    };
    for (const Case& c : {Case{"passive, existing file", true, false, true}, Case{"active, existing file", false, false, true},
                          Case{"resume refused at RETR", true, true, true}, Case{"passive, new file", true, false, false}}) {
        SCOPED_TRACE(c.name);
        FakeFtpServer srv;
        srv.on("RETR", "550 Permission denied");
        FtpHarness h;
        h.ftp.SetPassive(c.passive);
        h.connectTo(srv);
        const QString keep = h.path("keep.txt");
        if (c.existing)
            writeFile(keep, "precious content");
        h.ftp.SetHostFileName("f.bin");
        h.ftp.SetLocalFileName(keep);
        ASSERT_TRUE(h.run([&] { c.resume ? h.ftp.RestartGet() : h.ftp.Get(); }));
        EXPECT_EQ(h.lastError(), 550);
        EXPECT_EQ(h.ftp.ErrorMessage(), "550 Permission denied");
        if (c.existing)
            EXPECT_EQ(readAll(keep), "precious content");
        else
            EXPECT_FALSE(QFile::exists(keep));
    }
}

TEST(FtpHostile, AcceptedDownloadReplacesTheWholeFile)
{
    FakeFtpServer srv;
    srv.setTransfer("RETR", {"new"});
    FtpHarness h;
    h.connectTo(srv);
    writeFile(h.path("f"), "a much longer old content");
    h.ftp.SetHostFileName("f");
    h.ftp.SetLocalFileName(h.path("f"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_EQ(readAll(h.path("f")), "new");
}

TEST(FtpHostile, MultiLineRepliesEndOnlyAtTheirOwnCodeAndABlank)
{
    struct Case {
        const char* name;
        QByteArray banner;
        QByteArray pwd;
    };
    const QList<Case> cases = {
        {"line starting with four digits", "220-Welcome\r\n2024 maintenance window: none\r\n220 Ready\r\n",
         "257 \"/home\""},
        {"other code with a blank inside", "220-Welcome\r\n421 is not the end\r\n220-still going\r\n220 Ready\r\n",
         "257 \"/home\""},
        {"multi-line PWD reply", "220 ready", "257-Here it comes\r\n2570 not yet\r\n257 \"/home\"\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFtpServer srv;
        srv.setBanner(c.banner);
        srv.on("PWD", c.pwd);
        FtpHarness h;
        h.connectTo(srv);
        EXPECT_EQ(srv.commands(), QStringList({"USER alice", "PASS secret"}));
        ASSERT_TRUE(h.run([&] { h.ftp.Pwd(); }));
        EXPECT_EQ(h.lastError(), 0);
        EXPECT_EQ(h.ftp.DirResult(), "/home");
        EXPECT_EQ(h.ftp.StatusCode(), 257);
    }
}

TEST(FtpHostile, ResumeThatWouldCorruptTheFileFailsAndLeavesItAsItWas)
{
    const QByteArray remote = QByteArray(1000, 'a') + QByteArray(20, 'b');
    struct Case {
        const char* name;
        QByteArray local;
        QByteArray served;     // what RETR sends after REST
        QStringList commands;  // after SIZE
        QString message;
    };
    const QList<Case> cases = {
        {"server ignores REST and sends the whole file", QByteArray(1000, 'a'), remote, {"PASV", "REST 1000", "RETR f"},
         "426 Resume failed: the server sent more than the file's 1020 bytes"},
        {"local file longer than the remote one", QByteArray(2000, 'z'), remote, {"PASV"},
         "426 Nothing to resume: the local file (2000 bytes) is longer than the remote file (1020 bytes)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFtpServer srv;
        srv.on("SIZE", "213 1020");
        srv.setTransfer("RETR", {c.served});
        FtpHarness h;
        h.connectTo(srv);
        writeFile(h.path("f"), c.local);
        h.ftp.SetHostFileName("f");
        h.ftp.SetLocalFileName(h.path("f"));
        ASSERT_TRUE(h.run([&] { h.ftp.Size(); }));
        ASSERT_TRUE(h.run([&] { h.ftp.RestartGet(); }));
        EXPECT_EQ(h.lastError(), 426);
        EXPECT_TRUE(h.ftp.ErrorMessage().startsWith(c.message)) << h.ftp.ErrorMessage().toStdString();
        EXPECT_EQ(readAll(h.path("f")), c.local);
        EXPECT_EQ(afterLogin(srv).mid(1), c.commands);
        EXPECT_EQ(h.ftp.State(), ftpStReady);
    }
}

TEST(FtpHostile, MoreBytesThanTheKnownSizeFailAPlainDownload)
{
    FakeFtpServer srv;
    srv.on("SIZE", "213 10");
    srv.setTransfer("RETR", {QByteArray(5000, 'x')});
    FtpHarness h;
    h.connectTo(srv);
    h.ftp.SetHostFileName("f");
    h.ftp.SetLocalFileName(h.path("f"));
    ASSERT_TRUE(h.run([&] { h.ftp.Size(); }));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
    EXPECT_EQ(h.lastError(), 426);
    EXPECT_EQ(h.ftp.ErrorMessage(), "426 The server sent more than the file's 10 bytes");
}

TEST(FtpHostile, ListingPastTheLimitIsStoppedAndReported)
{
    FakeFtpServer srv;
    FakeFtpServer::Transfer t;
    t.content = QByteArray(2 * 1024 * 1024, 'l');
    srv.setTransfer("LIST", t);
    FtpHarness h;
    h.connectTo(srv);
    h.ftp.SetListingLimit(64 * 1024);
    qint64 delivered = 0;
    h.ftp.OnDownloadData = [&](TCustomFtpCli*, const char*, int n) {
        delivered += n;
        return true;
    };
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }, 20000));
    EXPECT_EQ(h.lastError(), 426);
    EXPECT_EQ(h.ftp.ErrorMessage(), "426 Listing stopped: it is larger than the limit of 65536 bytes");
    EXPECT_LE(delivered, 64 * 1024);
    EXPECT_EQ(h.done.size(), 1u);
    // The control connection is still usable afterwards.
    h.ftp.SetHostFileName("marker");
    ASSERT_TRUE(h.run([&] { h.ftp.Size(); }));
    EXPECT_EQ(srv.commands().last(), "SIZE marker");
}

TEST(FtpHostile, DownloadSinkReceivesTheBytesAndAFailingSinkStopsTheTransfer)
{
    FakeFtpServer srv;
    const QByteArray listing = "line one\r\nline two\r\n";
    srv.setTransfer("LIST", {listing});
    srv.setTransfer("RETR", {QByteArray(300000, 'r')});
    FtpHarness h;
    h.connectTo(srv);
    QByteArray got;
    h.ftp.SetLocalFileName(QString());
    h.ftp.OnDownloadData = [&](TCustomFtpCli*, const char* d, int n) {
        got.append(d, n);
        return true;
    };
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_EQ(got, listing);

    h.ftp.OnDownloadData = [&](TCustomFtpCli*, const char*, int) { return false; };
    h.ftp.SetHostFileName("big");
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }, 20000));
    EXPECT_EQ(h.lastError(), 426);
    EXPECT_EQ(h.ftp.ErrorMessage(), "426 Error writing local file");
}

TEST(FtpHostile, SocksFailuresNameTheirCause)
{
    REQUIRE_PROGRAM(microsocks, "microsocks");
    QString error;
    testsocks::SocksServer socks;
    if (!socks.startMicrosocks("alice", "right-password", &error)) {
        if (testenv::underCi())
            FAIL() << error.toStdString();
        GTEST_SKIP() << error.toStdString();
    }
    FtpHarness h;
    h.ftp.SetConnectionType(ftpSocks5);
    h.ftp.SetSocksServer("127.0.0.1");
    h.ftp.SetSocksPort(QString::number(socks.port()));
    h.ftp.SetSocksUserCode("alice");
    h.ftp.SetSocksPassword("wrong-password");
    h.target(testenv::freePort());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    EXPECT_NE(h.lastError(), 0);
    EXPECT_EQ(h.ftp.ErrorMessage(), "500 SOCKS authentication failed (Winsock error #20015)");
}
