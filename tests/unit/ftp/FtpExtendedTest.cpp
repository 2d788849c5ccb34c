// Extended passive mode (EPSV) against the scripted server: the reply
// parser's table, the fallback from a refused or unusable PASV, and
// malformed EPSV replies failing the request before a transfer command.
#include "FtpHarness.h"
#include "ftp/FtpExtended.h"

namespace {

void connectTo(FakeFtpServer& srv, FtpHarness& h)
{
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    ASSERT_EQ(h.lastError(), 0);
}

QStringList afterLogin(const FakeFtpServer& srv) { return srv.commands().mid(2); }

const QByteArray kEpsv = "229 Entering Extended Passive Mode (|||%p|)";

} // namespace

TEST(EpsvReply, PortsAndMalformedReplies)
{
    struct Case {
        const char* reply;
        int port;
        const char* why;  // part of the reason given for a malformed reply
    };
    const Case cases[] = {
        {"229 Entering Extended Passive Mode (|||2121|)", 2121, ""},
        {"229 Entering Extended Passive Mode (|||1|).", 1, ""},
        {"229 (!!!65535!)", 65535, ""},
        {"229 Extended (|1|::9|40000|)", 40000, ""},  // named fields are ignored, never used
        {"229 Entering Extended Passive Mode", 0, "no (|||port|)"},
        {"229 Entering Extended Passive Mode (|||2121|", 0, "no (|||port|)"},
        {"229 (||2121|)", 0, "not delimited"},
        {"229 (|||2121!)", 0, "not delimited"},
        {"229 (|||21|21|)", 0, "not delimited"},
        {"229 (1112121 1)", 0, "cannot delimit"},
        {"229 (|||0|)", 0, "outside 1..65535"},
        {"229 (|||65536|)", 0, "outside 1..65535"},
        {"229 (|||000000002121|)", 0, "outside 1..65535"},
        {"229 (|||-21|)", 0, "not a number"},
        {"229 (||| 2121|)", 0, "not a number"},
        {"229 (|||port|)", 0, "not a number"},
        {"229 (||||)", 0, "missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        QString why;
        EXPECT_EQ(ParseEpsvPort(QString::fromLatin1(c.reply), &why), c.port);
        EXPECT_TRUE(why.contains(QLatin1String(c.why))) << why.toStdString();
        EXPECT_EQ(why.isEmpty(), c.port != 0);
    }
    EXPECT_EQ(EprtCommand("::1", 2121), "EPRT |2|::1|2121|");
    EXPECT_EQ(EprtCommand("127.0.0.1", 80), "EPRT |1|127.0.0.1|80|");
}

TEST(EpsvFallback, RefusedPasvFallsBackToEpsvAndRemembersIt)
{
    for (const QByteArray refusal : {"500 PASV not understood", "502 Command not implemented"}) {
        SCOPED_TRACE(refusal.toStdString());
        FakeFtpServer srv;
        srv.on("PASV", refusal);
        srv.setEpsvReply(kEpsv);
        srv.setTransfer("LIST", {"line one\r\n"});
        FtpHarness h;
        connectTo(srv, h);
        h.ftp.SetLocalFileName(h.path("listing"));
        ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
        EXPECT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
        EXPECT_EQ(readAll(h.path("listing")), "line one\r\n");
        EXPECT_TRUE(h.display.contains("! PASV failed (" + QString::fromLatin1(refusal) + "), trying EPSV"))
            << h.display.join('\n').toStdString();
        // The next transfer goes straight to EPSV.
        ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
        EXPECT_EQ(h.lastError(), 0);
        EXPECT_EQ(afterLogin(srv), QStringList({"PASV", "EPSV", "LIST", "EPSV", "LIST"}));
        // A new connection asks PASV first again.
        ASSERT_TRUE(h.run([&] { h.ftp.Quit(); }));
        connectTo(srv, h);
        ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
        EXPECT_EQ(srv.commands().mid(srv.commands().size() - 3), QStringList({"PASV", "EPSV", "LIST"}));
    }
}

TEST(EpsvFallback, UnusablePasvReplyFallsBackUploadsAndDownloads)
{
    FakeFtpServer srv;
    srv.setPasvReply("227 Entering Passive Mode (1,2,3,4,x,y)");
    srv.setEpsvReply(kEpsv);
    srv.setTransfer("RETR", {"payload"});
    FtpHarness h;
    connectTo(srv, h);
    h.ftp.SetHostFileName("f");
    h.ftp.SetLocalFileName(h.path("down"));
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
    EXPECT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_EQ(readAll(h.path("down")), "payload");
    writeFile(h.path("up"), "uploaded bytes");
    h.ftp.SetLocalFileName(h.path("up"));
    h.ftp.SetHostFileName("up");
    ASSERT_TRUE(h.run([&] { h.ftp.Put(); }));
    EXPECT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
    EXPECT_EQ(srv.received("STOR"), "uploaded bytes");
    EXPECT_EQ(afterLogin(srv), QStringList({"PASV", "EPSV", "RETR f", "EPSV", "STOR up"}));
}

TEST(EpsvFallback, EpsvRefusedTooFailsOnceThenPasvAgain)
{
    FakeFtpServer srv;  // answers EPSV with 502, as an old server does
    srv.on("PASV", "502 Command not implemented");
    FtpHarness h;
    connectTo(srv, h);
    h.ftp.SetLocalFileName(h.path("listing"));
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
    EXPECT_EQ(h.lastError(), 502);
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
    EXPECT_EQ(h.lastError(), 502);
    // EPSV is tried once per connection, never on every transfer.
    EXPECT_EQ(afterLogin(srv), QStringList({"PASV", "EPSV", "PASV"}));
    EXPECT_FALSE(QFile::exists(h.path("listing")));
}

TEST(EpsvFallback, MalformedEpsvReplyFailsTheRequestWithItsReason)
{
    const char* const replies[] = {
        "229 Entering Extended Passive Mode",      "229 Entering Extended Passive Mode (|||0|)",
        "229 Entering Extended Passive Mode (|||70000|)", "229 Entering Extended Passive Mode (|||%p!)",
        "229 Entering Extended Passive Mode (|||abc|)",
    };
    for (const char* reply : replies) {
        SCOPED_TRACE(reply);
        FakeFtpServer srv;
        srv.on("PASV", "500 PASV not understood");
        srv.setEpsvReply(reply);
        FtpHarness h;
        connectTo(srv, h);
        writeFile(h.path("keep"), "precious");
        h.ftp.SetHostFileName("f");
        h.ftp.SetLocalFileName(h.path("keep"));
        ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
        EXPECT_EQ(h.lastError(), 550);
        EXPECT_TRUE(h.ftp.ErrorMessage().startsWith("Invalid extended passive mode reply"))
            << h.ftp.ErrorMessage().toStdString();
        EXPECT_TRUE(h.ftp.ErrorMessage().contains("229 Entering")) << h.ftp.ErrorMessage().toStdString();
        EXPECT_TRUE(h.display.contains("! " + h.ftp.ErrorMessage()));
        // No transfer command went out and the local file is untouched.
        EXPECT_EQ(afterLogin(srv), QStringList({"PASV", "EPSV"}));
        EXPECT_EQ(readAll(h.path("keep")), "precious");
        EXPECT_EQ(h.ftp.State(), ftpStReady);
    }
}
