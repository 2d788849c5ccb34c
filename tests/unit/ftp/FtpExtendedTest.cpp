// Extended passive mode (EPSV) against the scripted server: the reply
// parser's table, the fallback from a refused or unusable PASV, and
// malformed EPSV replies failing the request before a transfer command; the
// fallback from a refused PORT to EPRT in active mode.
#include "FtpHarness.h"
#include "ftp/FtpExtended.h"

namespace {

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
        h.connectTo(srv);
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
        h.connectTo(srv);
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
    h.prepareDownload(srv, true);
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
    h.connectTo(srv);
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
        h.connectTo(srv);
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

// Active mode on IPv4: a PORT refused as not understood or not implemented
// is followed once by EPRT (family 1, the control connection's own address,
// the same listening port), and EPRT then serves the rest of the connection.
TEST(EprtFallback, RefusedPortFallsBackToEprtAndRemembersIt)
{
    for (const QByteArray refusal : {"500 PORT not understood", "501 Syntax error", "502 Command not implemented"}) {
        SCOPED_TRACE(refusal.toStdString());
        FakeFtpServer srv;
        srv.on("PORT", refusal);
        srv.on("EPRT", "200 EPRT command successful");
        srv.setTransfer("RETR", {"active payload"});
        srv.setTransfer("LIST", {"line one\r\n"});
        FtpHarness h;
        h.prepareDownload(srv, false);
        ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
        EXPECT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
        EXPECT_EQ(readAll(h.path("down")), "active payload");
        EXPECT_TRUE(h.display.contains("! PORT failed (" + QString::fromLatin1(refusal) + "), trying EPRT"))
            << h.display.join('\n').toStdString();
        const QStringList first = afterLogin(srv);
        ASSERT_GE(first.size(), 3);
        EXPECT_TRUE(first[0].startsWith("PORT 127,0,0,1,")) << first[0].toStdString();
        EXPECT_EQ(first[1], QStringLiteral("EPRT |1|127.0.0.1|%1|").arg(srv.activePort()));
        EXPECT_EQ(first.mid(2).join(" / "), "RETR f") << first.join(" / ").toStdString();
        // The next transfer goes straight to EPRT.
        h.ftp.SetHostFileName("");
        h.ftp.SetLocalFileName(h.path("listing"));
        ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
        EXPECT_EQ(h.lastError(), 0) << h.ftp.ErrorMessage().toStdString();
        EXPECT_EQ(readAll(h.path("listing")), "line one\r\n");
        const QStringList all = afterLogin(srv);
        EXPECT_EQ(all.size(), 5);
        EXPECT_TRUE(all.value(3).startsWith("EPRT |1|127.0.0.1|")) << all.join(" / ").toStdString();
        EXPECT_EQ(all.value(4), "LIST");
    }
}

// EPRT refused too: the transfer fails at once with both refusals named,
// no transfer command goes out, and the next transfer asks PORT again
// (EPRT was tried once for the connection, not on every transfer).
TEST(EprtFallback, EprtRefusedTooFailsClearlyThenPortAgain)
{
    FakeFtpServer srv;
    srv.on("PORT", "502 Command not implemented");
    srv.on("EPRT", "522 Network protocol not supported, use (2)");
    FtpHarness h;
    h.prepareDownload(srv, false);
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
    EXPECT_EQ(h.lastError(), 522);
    EXPECT_EQ(h.ftp.ErrorMessage(), "PORT and EPRT both refused; the server takes no active data connection: "
                                    "522 Network protocol not supported, use (2)");
    ASSERT_TRUE(h.run([&] { h.ftp.Get(); }));
    EXPECT_EQ(h.lastError(), 502);
    const QStringList sent = afterLogin(srv);
    ASSERT_EQ(sent.size(), 3) << sent.join(" / ").toStdString();
    EXPECT_TRUE(sent[0].startsWith("PORT ") && sent[1].startsWith("EPRT |1|127.0.0.1|") && sent[2].startsWith("PORT "))
        << sent.join(" / ").toStdString();
    EXPECT_FALSE(QFile::exists(h.path("down")));
    // A PORT refused for another reason (not allowed here) is no cue for EPRT.
    FakeFtpServer other;
    other.on("PORT", "425 Cannot open data connection");
    FtpHarness h2;
    h2.prepareDownload(other, false);
    ASSERT_TRUE(h2.run([&] { h2.ftp.Get(); }));
    EXPECT_EQ(h2.lastError(), 425);
    EXPECT_EQ(afterLogin(other).size(), 1);
}
