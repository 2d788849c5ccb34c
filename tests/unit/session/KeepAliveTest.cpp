// Keep-alive against the scriptable FTP server: commands in turn on idle
// ticks, nothing while a request runs, the duration ending it.
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

    QStringList afterLogin() const { return srv.commands().mid(2); }
};

} // namespace

TEST(KeepAliveCommands, CommaTextSplitsLikeAStringList)
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
    ASSERT_TRUE(testenv::waitFor([&] { return rig.afterLogin().size() >= 3; }));
    rig.keep.Stop();
    testenv::waitFor([&] { return rig.ftp.State() == ftpStReady; });
    EXPECT_EQ(rig.afterLogin().mid(0, 3), QStringList({"NOOP", "PWD", "NOOP"}));
    EXPECT_FALSE(rig.srv.commands().contains("LIST"));
    EXPECT_FALSE(rig.srv.commands().contains("CWD"));
    // Every keep-alive completion was marked as such for the dispatcher.
    EXPECT_EQ(rig.keepAliveDone, rig.afterLogin().size());
    EXPECT_EQ(rig.keep.ElapsedMs(), 100 * rig.afterLogin().size());
}

TEST(KeepAlive, QuotedCommandWithSpacesGoesOutAsOneLine)
{
    KeepAliveRig rig;
    rig.srv.on("SITE", "200 ok");
    rig.open(100, 10, "\"SITE IDLE 60\"");
    ASSERT_TRUE(testenv::waitFor([&] { return rig.afterLogin().size() >= 2; }));
    EXPECT_EQ(rig.afterLogin().mid(0, 2), QStringList({"SITE IDLE 60", "SITE IDLE 60"}));
}

TEST(KeepAlive, NothingIsSentWhileARequestRuns)
{
    KeepAliveRig rig;
    rig.srv.on("SYST", QList<FakeFtpServer::Reply>{{"215 UNIX Type: L8", 700}});
    rig.open(100, 10, "NOOP");
    rig.ftp.Syst(); // busy for 0.7 s: about seven ticks find the client busy
    const int before = rig.done;
    ASSERT_TRUE(testenv::waitFor([&] { return rig.done > before; }));
    EXPECT_EQ(rig.afterLogin(), QStringList({"SYST"}));
    EXPECT_EQ(rig.keep.ElapsedMs(), 0); // busy ticks do not count
    // Idle again: the next command follows one interval after SYST ended.
    ASSERT_TRUE(testenv::waitFor([&] { return rig.afterLogin().size() >= 2; }));
    EXPECT_EQ(rig.afterLogin().mid(0, 2), QStringList({"SYST", "NOOP"}));
}

TEST(KeepAlive, DurationEndsItForTheRestOfTheSession)
{
    KeepAliveRig rig;
    // 0.0055 minutes = 330 ms: ticks at 100, 200 and 300 ms send, 400 ends.
    rig.open(100, 0.0055, "NOOP,PWD");
    ASSERT_TRUE(testenv::waitFor([&] { return rig.afterLogin().size() >= 3 && !rig.keep.Active(); }, 8000));
    testenv::waitFor([] { return false; }, 500); // nothing more follows
    EXPECT_EQ(rig.afterLogin(), QStringList({"NOOP", "PWD", "NOOP"}));
    EXPECT_EQ(rig.keep.ElapsedMs(), 300);
}

TEST(KeepAlive, ZeroDurationEndsAtTheFirstTickAndEmptyCommandsNeverArm)
{
    KeepAliveRig rig;
    rig.open(50, 0, "NOOP");
    EXPECT_TRUE(rig.keep.Active());
    ASSERT_TRUE(testenv::waitFor([&] { return !rig.keep.Active(); }));
    testenv::waitFor([] { return false; }, 200);
    EXPECT_TRUE(rig.afterLogin().isEmpty());

    TKeepAliveSettings s = rig.keep.Settings();
    s.DurationKeep = 10;
    s.CmdKeep = " ";
    rig.keep.Apply(s);
    rig.keep.SessionOpened();
    EXPECT_FALSE(rig.keep.Active());
}

TEST(KeepAlive, ClosedConnectionIsLeftAlone)
{
    TFtpClient ftp;
    TKeepAlive keep(&ftp);
    TKeepAliveSettings s;
    s.Keep = true;
    s.IntervalMs = 30;
    s.CmdKeep = "NOOP";
    keep.Apply(s);
    keep.SessionOpened();
    testenv::waitFor([] { return false; }, 200);
    EXPECT_TRUE(keep.Active());
    EXPECT_EQ(keep.ElapsedMs(), 0);
    EXPECT_FALSE(keep.KeepAliveQuote());
}
