// Custom commands through the session engine against the scripted server:
// the exact dialogue a command produces, and the commands that must never
// reach the server.
#include "SessionHarness.h"

namespace {

struct Online {
    FakeFtpServer srv;
    SessionHarness h;
    int before = 0;

    bool start()
    {
        srv.setTransfer("LIST", FakeFtpServer::Transfer{"-rw-r--r-- 1 o g 12 Jan 10 10:00 top.txt\r\n"});
        h.session.ConnectTo(SessionHarness::site(srv.port(), "/x"));
        if (!h.idle())
            return false;
        before = int(srv.commands().size());
        return true;
    }
    QStringList sent() const { return withoutData(srv.commands().mid(before)); }
    bool logHas(const QString& part) const
    {
        for (const QString& l : h.pane.Lines())
            if (l.contains(part))
                return true;
        return false;
    }
};

} // namespace

TEST(SessionCommands, ACommandIsSentAsItStandsAndTheDirectoryIsListedAgain)
{
    Online o;
    ASSERT_TRUE(o.start());
    o.srv.on("SITE", "200 Idle time set to 60 seconds");
    ASSERT_TRUE(o.h.session.CanSendCommand());
    ASSERT_TRUE(o.h.session.SendCustomCommand("SITE IDLE 60"));
    // While it runs, no second command may start.
    EXPECT_FALSE(o.h.session.CanSendCommand());
    EXPECT_FALSE(o.h.session.SendCustomCommand("NOOP"));
    ASSERT_TRUE(testenv::waitFor([&] { return o.h.idle() && o.sent().endsWith("LIST"); }));
    EXPECT_EQ(o.sent().join(", "), QStringList({"SITE IDLE 60", "CWD /x/", "TYPE A", "LIST"}).join(", "));
    EXPECT_TRUE(o.logHas("200 Idle time set to 60 seconds"));
}

TEST(SessionCommands, ARefusedCommandIsLoggedAndTheSessionStaysUsable)
{
    Online o;
    ASSERT_TRUE(o.start());
    o.srv.on("SITE", "500 SITE FOO not understood");
    ASSERT_TRUE(o.h.session.SendCustomCommand("SITE FOO"));
    ASSERT_TRUE(testenv::waitFor([&] { return o.logHas("500 SITE FOO not understood") && o.h.idle(); }));
    EXPECT_EQ(o.h.session.SessionFlags(), 0);
    ASSERT_TRUE(o.h.session.SendCustomCommand("NOOP"));
    ASSERT_TRUE(testenv::waitFor([&] { return o.h.idle() && o.sent().endsWith("LIST"); }));
    EXPECT_EQ(o.sent().first(), QString("SITE FOO"));
    EXPECT_TRUE(o.sent().contains("NOOP"));
}

TEST(SessionCommands, ALineBreakIsRefusedBeforeAnythingIsSent)
{
    Online o;
    ASSERT_TRUE(o.start());
    for (const QString& text : {QString("SYST\r\nDELE top.txt"), QString("SYST\nNOOP"), QString("SYST\r"),
                                QString("NOOP") + QChar(0) + "X"}) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_FALSE(o.h.session.SendCustomCommand(text));
        EXPECT_TRUE(o.h.session.CanSendCommand());
    }
    EXPECT_EQ(o.h.logCount("! The command was not sent: it contains a line break"), 4);
    // The next command goes out alone and gets its own reply.
    o.srv.on("SYST", "215 UNIX Type: L8");
    ASSERT_TRUE(o.h.session.SendCustomCommand("SYST"));
    ASSERT_TRUE(testenv::waitFor([&] { return o.h.idle() && o.sent().endsWith("LIST"); }));
    EXPECT_EQ(o.sent().join(", "), QStringList({"SYST", "CWD /x/", "TYPE A", "LIST"}).join(", "));
}

TEST(SessionCommands, NothingIsSentWithoutASession)
{
    SessionHarness h;
    EXPECT_FALSE(h.session.CanSendCommand());
    EXPECT_FALSE(h.session.SendCustomCommand("SYST"));
    EXPECT_TRUE(h.pane.Lines().isEmpty());
}
