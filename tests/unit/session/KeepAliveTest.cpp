// Keep-alive against the scriptable FTP server: commands in turn on idle
// ticks, nothing while a request runs, the duration ending it. The tests
// deliver the ticks by hand (manual ticks), so nothing waits for real time;
// one test checks that the timer's timeout is what delivers them otherwise.
#include "session/KeepAlive.h"

#include "FakeFtpServer.h"
#include "TestEnv.h"
#include "ftp/FtpClient.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A client logged in to the fake server, with a stand-in for the request
// dispatcher: it stops keep-alive on entry to every request-done event and
// re-arms it on the way out, as the session does.
struct KeepAliveRig {
    FakeFtpServer srv;
    TFtpClient ftp;
    TKeepAlive keep{&ftp};
    int done = 0, keepAliveDone = 0;
    bool connected = false;

    KeepAliveRig()
    {
        keep.SetManualTicks(true);
        ftp.SetUserName("alice");
        ftp.SetPassWord("secret");
        ftp.SetHostName("127.0.0.1");
        ftp.SetPort(QString::number(srv.port()));
        ftp.OnRequestDone = [this](TCustomFtpCli*, TFtpRequest rq, quint16 error) {
            keep.Stop();
            if (rq == ftpRqConnect)
                connected = error == 0;
            if (keep.TakeKeepAliveQuote())
                ++keepAliveDone; // the session would not refresh the listing
            ++done;
            keep.Restart();
        };
    }

    void open(int intervalMs, double durationMinutes, const QString& commands)
    {
        TKeepAliveSettings s;
        s.Keep = true;
        s.IntervalMs = intervalMs;
        s.DurationKeep = durationMinutes;
        s.CmdKeep = commands;
        keep.Apply(s);
        ftp.Connect();
        ASSERT_TRUE(testenv::waitFor([&] { return connected; }));
        keep.SessionOpened();
    }

    // One tick that must send a keep-alive command: waits for its completion.
    bool tickSends()
    {
        const int before = done;
        if (!keep.Tick() || !keep.KeepAliveQuote())
            return false;
        return testenv::waitFor([&] { return done > before; });
    }

    // A request of the user's own, run to its end: everything the client sent
    // before it has reached the server by then.
    bool roundTrip(const std::function<void()>& request)
    {
        const int before = done;
        request();
        return testenv::waitFor([&] { return done > before; });
    }

    QStringList afterLogin() const { return srv.commands().mid(2); }
};

} // namespace

TEST(KeepAliveCommands, CommaTextSplitsAtCommasAndAtBlanksOutsideQuotes)
{
    struct Row { const char* text; QStringList items; };
    const Row rows[] = {
        {"NOOP,PWD", {"NOOP", "PWD"}},
        {"NOOP, PWD", {"NOOP", "PWD"}},
        {"SITE IDLE", {"SITE", "IDLE"}},
        {"\"SITE IDLE 60\",NOOP", {"SITE IDLE 60", "NOOP"}},
        {"\"a,b\" c", {"a,b", "c"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"NOOP,,PWD", {"NOOP", "", "PWD"}},
        {"NOOP,", {"NOOP", ""}},
        {"", {}},
        {"   ", {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(SplitCommaText(QString::fromLatin1(r.text)), r.items);
    }
}

TEST(KeepAlive, IdleTicksSendTheCommandsInTurnWithoutTouchingTheListing)
{
    KeepAliveRig rig;
    rig.open(100, 10, "NOOP,PWD");
    EXPECT_TRUE(rig.keep.Active());
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(rig.tickSends()) << "tick " << i;
        EXPECT_TRUE(rig.keep.Active()) << "re-armed after command " << i;
    }
    EXPECT_EQ(rig.afterLogin(), QStringList({"NOOP", "PWD", "NOOP"}));
    // Every keep-alive completion was marked as such for the dispatcher.
    EXPECT_EQ(rig.keepAliveDone, 3);
    EXPECT_EQ(rig.keep.ElapsedMs(), 300);
    EXPECT_EQ(rig.keep.KeepAliveIndex(), 1); // PWD comes next
}

TEST(KeepAlive, QuotedCommandWithSpacesGoesOutAsOneLine)
{
    KeepAliveRig rig;
    rig.srv.on("SITE", "200 ok");
    rig.open(100, 10, "\"SITE IDLE 60\"");
    ASSERT_TRUE(rig.tickSends());
    ASSERT_TRUE(rig.tickSends());
    EXPECT_EQ(rig.afterLogin(), QStringList({"SITE IDLE 60", "SITE IDLE 60"}));
}

TEST(KeepAlive, NothingIsSentWhileARequestRuns)
{
    KeepAliveRig rig;
    rig.srv.on("SYST", QList<FakeFtpServer::Reply>{{"215 UNIX Type: L8", 0, false, true}});
    rig.open(100, 10, "NOOP");
    const int before = rig.done;
    rig.ftp.Syst(); // runs until the server is told to answer
    ASSERT_TRUE(testenv::waitFor([&] { return rig.srv.heldCount() == 1; }));
    // The keep-alive stays armed while the request runs; its ticks find the
    // client busy, send nothing and do not count towards the duration.
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(rig.keep.Tick());
    EXPECT_TRUE(rig.keep.Active());
    EXPECT_FALSE(rig.keep.KeepAliveQuote());
    EXPECT_EQ(rig.keep.ElapsedMs(), 0);
    rig.srv.release();
    ASSERT_TRUE(testenv::waitFor([&] { return rig.done > before; }));
    EXPECT_EQ(rig.keepAliveDone, 0);
    // Idle again: the next tick sends. Anything the busy ticks had sent would
    // have reached the server before it, on the same connection.
    ASSERT_TRUE(rig.tickSends());
    EXPECT_EQ(rig.afterLogin(), QStringList({"SYST", "NOOP"}));
    EXPECT_EQ(rig.keep.ElapsedMs(), 100);
}

TEST(KeepAlive, DurationEndsItForTheRestOfTheSession)
{
    KeepAliveRig rig;
    // 0.0055 minutes = 330 ms: ticks at 100, 200 and 300 ms send, 400 ends.
    rig.open(100, 0.0055, "NOOP,PWD");
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(rig.tickSends()) << "tick " << i;
    ASSERT_TRUE(rig.keep.Tick());
    EXPECT_FALSE(rig.keep.KeepAliveQuote());
    EXPECT_FALSE(rig.keep.Active());
    EXPECT_FALSE(rig.keep.Tick()) << "a stopped keep-alive gets no ticks";
    EXPECT_EQ(rig.keep.ElapsedMs(), 300);

    // The dispatcher re-arms it after every request; the next tick ends it
    // again without sending.
    ASSERT_TRUE(rig.roundTrip([&] { rig.ftp.Syst(); }));
    EXPECT_TRUE(rig.keep.Active());
    ASSERT_TRUE(rig.keep.Tick());
    EXPECT_FALSE(rig.keep.Active());
    ASSERT_TRUE(rig.roundTrip([&] { rig.ftp.Pwd(); }));
    EXPECT_EQ(rig.afterLogin(), QStringList({"NOOP", "PWD", "NOOP", "SYST", "PWD"}));
    EXPECT_EQ(rig.keepAliveDone, 3);
    EXPECT_EQ(rig.keep.ElapsedMs(), 300);
}

TEST(KeepAlive, ZeroDurationEndsAtTheFirstTickAndEmptyCommandsNeverArm)
{
    KeepAliveRig rig;
    rig.open(50, 0, "NOOP");
    EXPECT_TRUE(rig.keep.Active());
    ASSERT_TRUE(rig.keep.Tick());
    EXPECT_FALSE(rig.keep.Active());
    EXPECT_FALSE(rig.keep.KeepAliveQuote());
    // Only the user's own request reaches the server.
    ASSERT_TRUE(rig.roundTrip([&] { rig.ftp.Pwd(); }));
    EXPECT_EQ(rig.afterLogin(), QStringList({"PWD"}));
    EXPECT_EQ(rig.keepAliveDone, 0);

    TKeepAliveSettings s = rig.keep.Settings();
    s.DurationKeep = 10;
    s.CmdKeep = " ";
    rig.keep.Apply(s);
    rig.keep.SessionOpened();
    EXPECT_FALSE(rig.keep.Active());
    EXPECT_FALSE(rig.keep.Tick());
}

TEST(KeepAlive, ClosedConnectionIsLeftAlone)
{
    TFtpClient ftp;
    TKeepAlive keep(&ftp);
    keep.SetManualTicks(true);
    TKeepAliveSettings s;
    s.Keep = true;
    s.IntervalMs = 30;
    s.CmdKeep = "NOOP";
    keep.Apply(s);
    keep.SessionOpened();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(keep.Tick());
    EXPECT_TRUE(keep.Active());
    EXPECT_EQ(keep.ElapsedMs(), 0);
    EXPECT_FALSE(keep.KeepAliveQuote());
}

// Without manual ticks the timer runs, and its timeout is the tick. The
// interval is a minute so that only the timeout fired here can count.
TEST(KeepAlive, TheTimersTimeoutDeliversTheTicks)
{
    KeepAliveRig rig;
    rig.keep.SetManualTicks(false);
    rig.open(60000, 10, "NOOP");
    ASSERT_TRUE(rig.keep.Timer()->isActive());
    EXPECT_EQ(rig.keep.Timer()->interval(), 60000);
    const int before = rig.done;
    ASSERT_TRUE(QMetaObject::invokeMethod(rig.keep.Timer(), "timeout", Qt::DirectConnection));
    EXPECT_TRUE(rig.keep.KeepAliveQuote());
    ASSERT_TRUE(testenv::waitFor([&] { return rig.done > before; }));
    EXPECT_EQ(rig.afterLogin(), QStringList({"NOOP"}));
    EXPECT_TRUE(rig.keep.Timer()->isActive());

    // Switching to manual ticks carries the armed state over and stops the timer.
    rig.keep.SetManualTicks(true);
    EXPECT_FALSE(rig.keep.Timer()->isActive());
    EXPECT_TRUE(rig.keep.Active());
    rig.keep.Stop();
    rig.keep.SetManualTicks(false);
    EXPECT_FALSE(rig.keep.Timer()->isActive());
}
