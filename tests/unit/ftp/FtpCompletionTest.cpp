// Every request ends with exactly one OnRequestDone carrying its own code,
// also when a synchronous request is followed at once by another one, and
// ErrorMessage always belongs to the request that ran last.
#include "FtpHarness.h"

TEST(FtpCompletion, SynchronousRequestFollowedByAnotherGivesOneCompletionEach)
{
    FakeFtpServer srv;
    srv.setTransfer("LIST", {"drwxr-xr-x 2 o g 0 Jan 1 2024 pub\r\n"});
    FtpHarness h;
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    h.done.clear();
    // The synchronous form returns before its completion event has run.
    ASSERT_TRUE(h.ftp.TypeAsciiSync());
    h.ftp.SetLocalFileName(h.path("listing"));
    h.ftp.Dir();
    ASSERT_TRUE(testenv::waitFor([&] { return h.done.size() >= 2; }));
    testenv::deliverPostedEvents();
    ASSERT_EQ(h.done.size(), 2u);
    EXPECT_EQ(h.done[0].rq, ftpRqTypeSet);
    EXPECT_EQ(h.done[1].rq, ftpRqDir);
    EXPECT_EQ(h.done[1].error, 0);
    EXPECT_EQ(srv.commands().mid(2), QStringList({"TYPE A", "PASV", "LIST"}));
}

TEST(FtpCompletion, ErrorMessageIsThatOfTheLastRequest)
{
    FakeFtpServer srv;
    srv.on("CWD", QList<FakeFtpServer::Reply>{{"550 No such directory"}, {"250 ok"}});
    srv.on("MKD", "553 Not allowed");
    FtpHarness h;
    h.target(srv.port());
    ASSERT_TRUE(h.run([&] { h.ftp.Connect(); }));
    h.ftp.SetHostDirName("/missing");
    ASSERT_TRUE(h.run([&] { h.ftp.Cwd(); }));
    EXPECT_EQ(h.ftp.ErrorMessage(), "550 No such directory");
    h.ftp.SetHostFileName("new");
    ASSERT_TRUE(h.run([&] { h.ftp.Mkd(); }));
    EXPECT_EQ(h.ftp.ErrorMessage(), "553 Not allowed");
    ASSERT_TRUE(h.run([&] { h.ftp.Cwd(); }));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_EQ(h.ftp.ErrorMessage(), "");
}
