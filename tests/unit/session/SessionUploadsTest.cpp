// Uploads against the scripted server: directories made by leaf or by
// path, a refused MKD, the time command learned per connection and its
// argument in the site's zone, resuming at the listed size, and files whose
// STOR fails or whose names cannot be sent.
#include "TransferHarness.h"

using namespace transfertest;

TEST(SessionUploads, AFailedUploadIsLoggedAsPossiblyIncompleteAndGetsNoTime)
{
    struct Case {
        const char* name;
        QList<Reply> stor;  // the replies to the STORs, in order
        Transfer data;      // how a STOR with a 150 ends
    };
    Transfer aborted;
    aborted.final = "426 Connection closed; transfer aborted";
    const QList<Case> cases = {
        {"451 at once", {{"451 Local error in processing"}, {"150 Ok"}}, Transfer{}},
        {"426 after the data", {{"150 Ok"}}, aborted},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({fileLine("other")});
        writeFile(c.local + "/a.bin", "aaaa", sentTime());
        writeFile(c.local + "/b.bin", "bbbb", sentTime());
        ASSERT_TRUE(c.start());
        c.srv.on("STOR", k.stor);
        if (k.data.final.startsWith("426"))
            c.srv.setTransfers("STOR", {k.data, Transfer{}});
        c.srv.on("MFMT", "213 Modify=20200110000000; b.bin");
        c.h.session.StartUpload({"a.bin", "b.bin"});
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sent(), QStringList({"TYPE I", "STOR a.bin", "STOR b.bin", "MFMT 20200110000000 b.bin", "CWD /x/",
                                         "TYPE A", "LIST"}))
            << c.log();
        EXPECT_EQ(c.logLinesWith("a.bin on the server may be incomplete"), 1) << c.log();
        EXPECT_EQ(c.batchesEnded, 1);
        c.expectCleared();
    }
}

TEST(SessionUploads, ARefusedMkdEndsTheUploadOnceAndListsTheStartAgain)
{
    struct Case {
        const char* name;
        QList<Reply> cwd;
        QList<Reply> mkd;
    };
    const QList<Case> cases = {
        {"MKD 450", {{"550 No such directory"}, {"250 Ok"}}, {{"450 Try again later"}}},
        {"MKD 550", {{"550 No such directory"}, {"250 Ok"}}, {{"550 Permission denied"}}},
        // Made, yet still not enterable: never a second MKD.
        {"CWD after MKD fails", {{"550 No such directory"}, {"550 No such directory"}, {"250 Ok"}},
         {{"257 \"/x/up\" created"}}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({fileLine("other")});
        writeFile(c.local + "/up/f", "ffff");
        ASSERT_TRUE(c.start());
        c.srv.on("CWD", k.cwd);
        c.srv.on("MKD", k.mkd);
        c.h.session.StartUpload({"up"});
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sentStarting("MKD").size(), 1) << c.sent().join(", ").toStdString();
        EXPECT_TRUE(c.sentStarting("STOR").isEmpty());
        EXPECT_EQ(c.sent().mid(c.sent().size() - 3), QStringList({"CWD /x/", "TYPE A", "LIST"}))
            << c.sent().join(", ").toStdString();
        EXPECT_EQ(c.batchesEnded, 1);
        c.expectCleared();
    }
}

TEST(SessionUploads, MissingDirectoriesAreMadeByLeafOrByFullPath)
{
    struct Case {
        const char* name;
        bool relative;  // the site's "Relative pathname"
        QStringList expected;
    };
    // A directory made by the batch is entered but not listed: it is empty.
    const QList<Case> cases = {
        {"relative: MKD of the leaf from its parent",
         true,
         {"CWD /x/up/", "MKD up", "CWD /x/up/", "CWD /x/up/a/", "MKD a", "CWD /x/up/a/", "TYPE I", "STOR f1",
          "MFMT 20200110000000 f1", "CWD /x/up/b/", "CWD /x/up", "MKD b", "CWD /x/up/b/", "STOR f2",
          "MFMT 20200110000000 f2", "CWD /x/", "TYPE A", "LIST"}},
        {"absolute: MKD of the full path",
         false,
         {"CWD /x/up/", "MKD /x/up/", "CWD /x/up/", "CWD /x/up/a/", "MKD /x/up/a/", "CWD /x/up/a/", "TYPE I",
          "STOR f1", "MFMT 20200110000000 f1", "CWD /x/up/b/", "MKD /x/up/b/", "CWD /x/up/b/", "STOR f2",
          "MFMT 20200110000000 f2", "CWD /x/", "TYPE A", "LIST"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({fileLine("other"), ""});
        c.siteRecord.MkDir = k.relative ? 1 : 0;
        writeFile(c.local + "/up/a/f1", "one", sentTime());
        writeFile(c.local + "/up/b/f2", "two", sentTime());
        ASSERT_TRUE(c.start());
        // Each directory is missing at the first CWD into it.
        c.srv.on("CWD", {{"550 No such directory"}, {"250 Ok"}, {"550 No such directory"}, {"250 Ok"},
                         {"550 No such directory"}, {"250 Ok"}, {"250 Ok"}, {"250 Ok"}});
        c.srv.on("MFMT", "213 Modified");
        c.h.session.StartUpload({"up"});
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sent().join(", ").toStdString(), k.expected.join(", ").toStdString());
        c.expectCleared();
    }
}

TEST(SessionUploads, AParentThatCannotBeEnteredToMakeALeafEndsTheUpload)
{
    Connected c({fileLine("other"), ""});
    writeFile(c.local + "/up/a/f1", "one", sentTime());
    writeFile(c.local + "/up/b/f2", "two", sentTime());
    ASSERT_TRUE(c.start());
    // up and up/a are made; for up/b the way back up into /x/up is refused.
    c.srv.on("CWD", {{"550 No such directory"}, {"250 Ok"}, {"550 No such directory"}, {"250 Ok"},
                     {"550 No such directory"}, {"550 Permission denied"}, {"250 Ok"}});
    c.srv.on("MFMT", "213 Modified");
    c.h.session.StartUpload({"up"});
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_EQ(c.sentStarting("MKD|STOR"), QStringList({"MKD up", "MKD a", "STOR f1"}));
    EXPECT_EQ(c.sent().mid(c.sent().size() - 5), QStringList({"CWD /x/up/b/", "CWD /x/up", "CWD /x/", "TYPE A", "LIST"}))
        << c.sent().join(", ").toStdString();
    EXPECT_EQ(c.logLinesWith("Error 550 Permission denied"), 1) << c.log();
    EXPECT_EQ(c.batchesEnded, 1);
    c.expectCleared();
}

TEST(SessionUploads, TheFirstUploadLearnsTheTimeCommandForTheConnection)
{
    struct Case {
        const char* name;
        QByteArray mfmt, mdtm;
        QStringList timeCommands;  // over two uploads
        int mode;
    };
    const QList<Case> cases = {
        {"MFMT taken", "213 Modify=20200110000000; a", "213 20200110000000",
         {"MFMT 20200110000000 a", "MFMT 20200110000000 b"}, 0},
        {"MFMT refused, MDTM taken", "500 Unknown command", "213 20200110000000",
         {"MFMT 20200110000000 a", "MDTM 20200110000000 a", "MDTM 20200110000000 b"}, 1},
        {"neither", "500 Unknown command", "550 Not a plain file",
         {"MFMT 20200110000000 a", "MDTM 20200110000000 a"}, 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c({fileLine("other")});
        writeFile(c.local + "/a", "1", sentTime());
        writeFile(c.local + "/b", "2", sentTime());
        ASSERT_TRUE(c.start());
        EXPECT_EQ(c.h.session.TimeCommandMode(), 3);
        c.srv.on("MFMT", k.mfmt);
        c.srv.on("MDTM", k.mdtm);
        c.h.session.StartUpload({"a"});
        ASSERT_TRUE(c.done()) << c.log();
        c.h.session.StartUpload({"b"});
        ASSERT_TRUE(c.done(2)) << c.log();
        EXPECT_EQ(c.sentStarting("MFMT|MDTM"), k.timeCommands);
        EXPECT_EQ(c.h.session.TimeCommandMode(), k.mode);

        // A new connection knows nothing yet.
        c.h.session.Disconnect();
        ASSERT_TRUE(c.h.backAtSiteList());
        ASSERT_TRUE(c.start());
        EXPECT_EQ(c.h.session.TimeCommandMode(), 3);
        c.h.session.StartUpload({"a"});
        ASSERT_TRUE(c.done(3)) << c.log();
        EXPECT_EQ(c.sentStarting("MFMT|MDTM").value(0), "MFMT 20200110000000 a");
    }
}

TEST(SessionUploads, TheTimeArgumentIsTheLocalTimeInTheSitesZone)
{
    struct Case {
        double zone;
        const char* argument;
    };
    const QDateTime modified(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc());
    for (const Case& k : {Case{0, "20210304050607"}, Case{5.30, "20210304103607"}, Case{-3.30, "20210304013607"}}) {
        SCOPED_TRACE(k.zone);
        Connected c({fileLine("other")});
        c.siteRecord.TimeZone = k.zone;
        writeFile(c.local + "/a", "1", modified);
        ASSERT_TRUE(c.start());
        c.srv.on("MFMT", "213 Modified");
        c.h.session.StartUpload({"a"});
        ASSERT_TRUE(c.done()) << c.log();
        EXPECT_EQ(c.sentStarting("MFMT"), QStringList({QStringLiteral("MFMT %1 a").arg(k.argument)}));
    }
}

TEST(SessionUploads, AnUploadResumesAtTheListedSizeOnlyWhenTheTargetIsListed)
{
    Connected c({fileLine("big.bin", 1000) + fileLine("other")});
    c.setOptions([](TFTPOptions& o) {
        o.PromptUpLoad = false;
        o.DefPrompt = 2;
    });
    QByteArray big(3000, 'a');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char('a' + i % 26);
    writeFile(c.local + "/big.bin", big);
    writeFile(c.local + "/new.bin", "whole");
    ASSERT_TRUE(c.start());
    c.h.session.StartUpload({"big.bin"});
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_EQ(c.sentStarting("REST|STOR|APPE"), QStringList({"REST 1000", "STOR big.bin"}));
    EXPECT_EQ(c.srv.received("STOR"), big.mid(1000));

    c.h.session.StartUpload({"new.bin"});
    ASSERT_TRUE(c.done(2)) << c.log();
    EXPECT_EQ(c.sentStarting("REST|STOR|APPE"), QStringList({"REST 1000", "STOR big.bin", "STOR new.bin"}));
    EXPECT_EQ(c.srv.received("STOR"), "whole");
}

TEST(SessionUploads, LocalNamesThatCannotBeSentAreLoggedAndNeverReachTheServer)
{
    Connected c({fileLine("other")});
    const QString injected = "evil\r\nDELE victim";
    writeFile(c.local + "/" + injected, "e");
    writeFile(c.local + "/back\\slash", "b");
    writeFile(c.local + "/ok", "o");
    ASSERT_TRUE(c.start());
    c.h.session.StartUpload({injected, "back\\slash", "ok"});
    ASSERT_TRUE(c.done()) << c.log();
    EXPECT_TRUE(c.sentStarting("DELE").isEmpty()) << c.sent().join(", ").toStdString();
    EXPECT_EQ(c.sentStarting("STOR"), QStringList({"STOR ok"}));
    EXPECT_EQ(c.srv.received("STOR"), "o");
    EXPECT_EQ(c.logLinesWith("! back\\slash is not uploaded: the name cannot be sent to a server"), 1) << c.log();
    EXPECT_EQ(c.logLinesWith("! evil\\r\\nDELE victim is not uploaded: the name cannot be sent to a server"), 1)
        << c.log();
    // Refused before the batch: never announced, no log line it could split.
    EXPECT_EQ(c.filesStarted, 1);
    EXPECT_EQ(c.logLinesWith("DELE victim"), 1) << c.log();
    EXPECT_EQ(c.logLinesWith("Error"), 0) << c.log();
    c.expectCleared();
}
