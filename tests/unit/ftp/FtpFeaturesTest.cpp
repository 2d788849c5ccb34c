// What a server offers (FEAT) and machine listings (MLSD) in the client:
// the reply shapes servers really send, a refused FEAT, features forgotten
// on a new connection, and a refused MLSD taken again with LIST.
#include "FtpHarness.h"

namespace {

using Reply = FakeFtpServer::Reply;

struct FeatRow {
    const char* name;
    QStringList lines;
    bool known;
    QStringList names;
};

class FeatReplies : public ::testing::TestWithParam<FeatRow> {};

TEST_P(FeatReplies, GiveTheListedNames)
{
    const FeatRow& r = GetParam();
    const TFtpFeatures f = TFtpFeatures::FromReply(r.lines);
    EXPECT_EQ(f.Known(), r.known);
    EXPECT_EQ(f.Names(), r.names);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, FeatReplies,
    ::testing::Values(
        FeatRow{"Rfc2389", {"211-Extensions supported:", " MLST size*;create;modify*;", " SIZE", " UTF8", "211 END"},
                true, {"MLST", "SIZE", "UTF8"}},
        FeatRow{"NoLeadingSpace", {"211-Features:", "MDTM", "REST STREAM", "211 End"}, true, {"MDTM", "REST"}},
        FeatRow{"CodeOnEveryLine", {"211-Features:", "211-MFMT", "211- mdtm", "211 End"}, true, {"MFMT", "MDTM"}},
        FeatRow{"BlankLinesAndRepeats", {"211-x", "", "  ", " SIZE", " size 2", "211 End"}, true, {"SIZE"}},
        FeatRow{"SingleLineNoFeatures", {"211 No features"}, true, {}},
        FeatRow{"Refused", {"500 FEAT not understood"}, false, {}},
        FeatRow{"NoReplyAtAll", {}, false, {}}),
    [](const ::testing::TestParamInfo<FeatRow>& info) { return std::string(info.param.name); });

TEST(FtpFeatures, NamesAnyCaseParametersAndMlstFacts)
{
    const TFtpFeatures f = TFtpFeatures::FromReply(
        {"211-Features:", " MLST type*;perm*;size*;modify*;unique*;unix.mode;unix.uid;", " Utf8", "211 End"});
    EXPECT_TRUE(f.Has(u"utf8"));
    EXPECT_TRUE(f.Has(u"MLST"));
    EXPECT_FALSE(f.Has(u"MLSD")) << "MLSD is offered through the MLST line, not listed itself";
    EXPECT_EQ(f.Parameters(u"mlst"), "type*;perm*;size*;modify*;unique*;unix.mode;unix.uid;");
    EXPECT_EQ(f.MlstFacts(), QStringList({"type", "perm", "size", "modify", "unique", "unix.mode", "unix.uid"}));
    EXPECT_EQ(f.MlstFactsEnabled(), QStringList({"type", "perm", "size", "modify", "unique"}));
}

const QByteArray kFeat = "211-Features:\r\n MDTM\r\n MLST type*;size*;modify*;\r\n UTF8\r\n211 End\r\n";

TEST(FtpFeatures, FeatRepliesAreReadRefusalsKnowNothingAndANewConnectionForgets)
{
    FakeFtpServer offering;
    offering.on("FEAT", kFeat);
    FtpHarness h;
    h.connectTo(offering);
    ASSERT_TRUE(h.run([&] { h.ftp.Feat(); }));
    EXPECT_EQ(h.lastRq(), ftpRqFeat);
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_TRUE(h.ftp.Features().Known());
    EXPECT_EQ(h.ftp.Features().Names(), QStringList({"MDTM", "MLST", "UTF8"}));
    EXPECT_EQ(h.ftp.ReplyLines().size(), 5);
    ASSERT_TRUE(h.run([&] { h.ftp.Opts("UTF8 ON"); }));
    EXPECT_EQ(offering.commands().mid(2), QStringList({"FEAT", "OPTS UTF8 ON"}));
    EXPECT_EQ(h.lastRq(), ftpRqOpts);
    EXPECT_EQ(h.lastError(), 502);  // the fake server does not know OPTS: a refusal the caller may ignore
    EXPECT_EQ(h.ftp.ReplyLines(), QStringList({"502 Command not implemented"}));
    h.ftp.SetMachineListing(true);
    ASSERT_TRUE(h.run([&] { h.ftp.Quit(); }));

    // The next server refuses FEAT: nothing of the first one remains.
    FakeFtpServer refusing;
    h.connectTo(refusing);
    EXPECT_FALSE(h.ftp.Features().Known());
    EXPECT_FALSE(h.ftp.MachineListing());
    ASSERT_TRUE(h.run([&] { h.ftp.Feat(); }));
    EXPECT_EQ(h.lastError(), 502);
    EXPECT_FALSE(h.ftp.Features().Known());
    EXPECT_TRUE(h.ftp.Features().Names().isEmpty());
}

TEST(FtpFeatures, AnEndlessFeatReplyIsCappedNotHeld)
{
    QByteArray reply = "211-Features:\r\n";
    for (int i = 0; i < 3 * TFtpClient::kMaxReplyLines; ++i)
        reply += " X" + QByteArray::number(i) + "\r\n";
    reply += "211 End\r\n";
    FakeFtpServer srv;
    srv.on("FEAT", reply);
    FtpHarness h;
    h.connectTo(srv);
    ASSERT_TRUE(h.run([&] { h.ftp.Feat(); }, 20000));
    EXPECT_EQ(h.ftp.ReplyLines().size(), TFtpClient::kMaxReplyLines);
    EXPECT_EQ(h.ftp.ReplyLines().last(), "211 End");
    EXPECT_TRUE(h.ftp.Features().Has(u"X0"));
    EXPECT_FALSE(h.ftp.Features().Has(u"X2000"));
}

TEST(FtpMachineListing, IsSentInsteadOfListAndARefusalListsAgainWithList)
{
    FakeFtpServer srv;
    srv.on("MLSD", QList<Reply>{{"500 MLSD not understood"}});
    srv.setTransfer("LIST", {"-rw-r--r-- 1 o g 3 Jan 1 10:00 a\r\n"});
    FtpHarness h;
    h.connectTo(srv);
    h.ftp.SetMachineListing(true);
    h.ftp.SetLocalFileName(h.path("listing"));
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
    EXPECT_EQ(h.lastRq(), ftpRqDir);
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_EQ(h.done.size(), 1u) << "one request, one completion";
    EXPECT_EQ(srv.commands().mid(2), QStringList({"PASV", "MLSD", "PASV", "LIST"}));
    EXPECT_EQ(readAll(h.path("listing")), "-rw-r--r-- 1 o g 3 Jan 1 10:00 a\r\n");
    EXPECT_TRUE(h.ftp.MachineListingRefused());
    EXPECT_FALSE(h.ftp.LastListingMachine());
    EXPECT_TRUE(h.display.filter("refused MLSD").size() == 1) << h.display.join('\n').toStdString();

    // The rest of this connection lists with LIST at once.
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
    EXPECT_EQ(srv.commands().mid(6), QStringList({"PASV", "LIST"}));
    EXPECT_EQ(h.ftp.State(), ftpStReady);
}

TEST(FtpMachineListing, ServedListingsArriveAsSentAndOtherFailuresStayFailures)
{
    FakeFtpServer srv;
    srv.setTransfer("MLSD", {"type=file;size=3; a\r\n"});
    srv.on("MLSD", QList<Reply>{{"150 Here it comes"}, {"425 Cannot open data connection"}});
    FtpHarness h;
    h.connectTo(srv);
    h.ftp.SetMachineListing(true);
    h.ftp.SetListAll(true);  // MLSD has no hidden files to ask for: it stays MLSD
    h.ftp.SetLocalFileName(h.path("listing"));
    h.ftp.SetHostFileName("pub");
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
    EXPECT_EQ(h.lastError(), 0);
    EXPECT_TRUE(h.ftp.LastListingMachine());
    EXPECT_EQ(readAll(h.path("listing")), "type=file;size=3; a\r\n");
    ASSERT_TRUE(h.run([&] { h.ftp.Dir(); }));
    EXPECT_EQ(h.lastError(), 425) << "a 4xx is no refusal of MLSD";
    EXPECT_FALSE(h.ftp.MachineListingRefused());
    EXPECT_EQ(srv.commands().mid(2), QStringList({"PASV", "MLSD pub", "PASV", "MLSD pub"}));
}

} // namespace
