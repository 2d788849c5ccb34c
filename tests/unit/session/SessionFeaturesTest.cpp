// What the session does with a server's FEAT reply: the whole login
// dialogue for servers that offer MLSD, UTF8 and time commands, a refused
// MLSD, sites that keep LIST, and real servers with and without MLSD.
#include "RealServerSession.h"
#include "session/ServerFeatures.h"
#include "session/TransferRules.h"

#include <QDateTime>
#include <QRegularExpression>

namespace {

using Reply = FakeFtpServer::Reply;

const QByteArray kFeatMlst =
    "211-Features:\r\n MDTM\r\n MLST type*;size*;modify*;\r\n UTF8\r\n SIZE\r\n211 End\r\n";
const QByteArray kMlsd = "type=cdir;modify=20240101000000; /\r\n"
                         "type=dir;modify=20240615081530; sub dir\r\n"
                         "type=file;size=5000000000;modify=20240615081530; big;file.bin\r\n"
                         "type=file;size=-1; odd\r\n";
const QByteArray kList = "-rw-r--r-- 1 o g 12 Jan 10 10:00 from-list.txt\r\n";

// A session logged in at "/" of the fake server; commands after the login.
struct Login {
    FakeFtpServer srv;
    SessionHarness h;
    TFTPServerObj site = SessionHarness::site(0);

    Login()
    {
        srv.setTransfer("MLSD", {kMlsd});
        srv.setTransfer("LIST", {kList});
        site = SessionHarness::site(srv.port());
        site.TimeZone = 2.00;  // the site's zone: the pane's times are read from here
    }
    bool connect()
    {
        h.session.ConnectTo(site);
        return h.idle();
    }
    QStringList afterLogin() const { return withoutData(srv.commands().mid(2)); }
    std::string log() const { return h.pane.Lines().join('\n').toStdString(); }
};

} // namespace

TEST(SessionFeatures, AnOfferingServerGetsOptsAndListsThroughMlsd)
{
    Login l;
    l.srv.on("FEAT", kFeatMlst);
    l.srv.on("OPTS", "200 UTF8 set to on");
    ASSERT_TRUE(l.connect()) << l.log();
    EXPECT_EQ(l.afterLogin(), QStringList({"FEAT", "OPTS UTF8 ON", "SYST", "PWD", "TYPE A", "MLSD"}));
    EXPECT_EQ(l.h.session.TimeCommandMode(), 1) << "MDTM listed, MFMT not";

    // cdir is left out; the names keep their spaces and ';'; sizes beyond
    // 32 bits are exact; a size that is no byte count is dropped, and said.
    const TRemoteListModel* m = l.h.session.RemoteModel();
    ASSERT_EQ(m->rowCount(), 3) << l.log();
    const int big = l.h.rowOf("big;file.bin");
    ASSERT_GE(big, 0);
    EXPECT_EQ(m->Size(big), 5000000000LL);
    EXPECT_TRUE(m->Entry(l.h.rowOf("sub dir")).directory);
    EXPECT_TRUE(m->Entry(l.h.rowOf("odd")).sizeView().isEmpty());
    EXPECT_EQ(l.h.pane.Lines().filter("line 4: the size is no byte count").size(), 1) << l.log();
    // 08:15:30 UTC is 10:15:30 in the site's zone; the file's time is exact.
    const DirEntry& e = m->Entry(big);
    EXPECT_EQ(ListedFileTime(e.date(), e.time(), l.site.TimeZone),
              QDateTime(QDate(2024, 6, 15), QTime(8, 15, 30), Qt::UTC));
    EXPECT_EQ(l.h.pane.Lines().filter("! Server features used: listings through MLSD, file times with MDTM, UTF8").size(),
              1)
        << l.log();

    // Refresh lists through MLSD again.
    const int mark = int(l.srv.commands().size());
    l.h.session.Refresh();
    ASSERT_TRUE(testenv::waitFor([&] { return l.h.idle(50) && l.srv.commands().size() > mark + 1; }));
    EXPECT_EQ(withoutData(l.srv.commands().mid(mark)), QStringList({"MLSD"}));
}

TEST(SessionFeatures, ARefusedMlsdListsWithListForTheRestOfTheConnection)
{
    Login l;
    l.srv.on("FEAT", "211-Features:\r\n MLST type*;size*;modify*;\r\n211 End\r\n");
    l.srv.on("MLSD", "500 Unknown command");
    ASSERT_TRUE(l.connect()) << l.log();
    EXPECT_EQ(l.afterLogin(), QStringList({"FEAT", "SYST", "PWD", "TYPE A", "MLSD", "LIST"}));
    EXPECT_GE(l.h.rowOf("from-list.txt"), 0) << l.log();
    EXPECT_EQ(l.h.pane.Lines().filter("refused MLSD (500 Unknown command)").size(), 1) << l.log();
    EXPECT_EQ(l.h.session.TimeCommandMode(), 2) << "FEAT answered without MFMT or MDTM: none is tried";

    const int mark = int(l.srv.commands().size());
    l.h.session.Refresh();
    ASSERT_TRUE(testenv::waitFor([&] { return l.h.idle(50) && l.srv.commands().size() > mark + 1; }));
    EXPECT_EQ(withoutData(l.srv.commands().mid(mark)), QStringList({"LIST"}));
}

TEST(SessionFeatures, SitesThatKeepListAndServersWithoutFeat)
{
    struct Case {
        const char* name;
        QByteArray feat;  // empty: FEAT refused
        QString answer;
        quint8 showHidden;
        QStringList commands;
        int timeMode;
    };
    const QList<Case> cases = {
        {"custom layout", kFeatMlst, "4957681", 0, {"FEAT", "OPTS UTF8 ON", "SYST", "PWD", "TYPE A", "LIST"}, 1},
        {"hidden files asked for", kFeatMlst, DefaultAnswer, 1,
         {"FEAT", "OPTS UTF8 ON", "SYST", "PWD", "TYPE A", "LIST -aL"}, 1},
        {"FEAT refused", QByteArray(), DefaultAnswer, 0, {"FEAT", "SYST", "PWD", "TYPE A", "LIST"}, 3},
        {"MFMT listed", "211-Features:\r\n MFMT\r\n MDTM\r\n211 End\r\n", DefaultAnswer, 0,
         {"FEAT", "SYST", "PWD", "TYPE A", "LIST"}, 0},
        {"no features at all", "211 No features", DefaultAnswer, 0, {"FEAT", "SYST", "PWD", "TYPE A", "LIST"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Login l;
        if (!c.feat.isEmpty())
            l.srv.on("FEAT", c.feat);
        l.site.Answer = c.answer;
        l.site.ShowHidden = c.showHidden;
        ASSERT_TRUE(l.connect()) << l.log();
        EXPECT_EQ(l.afterLogin(), c.commands);
        EXPECT_EQ(l.h.session.TimeCommandMode(), c.timeMode);
    }
}

TEST(SessionFeatures, OptsAskForTheFactsTheListShows)
{
    TFtpFeatures f = TFtpFeatures::FromReply(
        {"211-Features:", " MLST type*;perm*;size*;modify*;unique*;unix.mode;unix.uid;", " UTF8", "211 End"});
    EXPECT_EQ(OptsAfterFeat(f), QStringList({"UTF8 ON", "MLST type;perm;size;modify;unix.mode;"}));
    // Everything shown is sent already: no OPTS MLST.
    f = TFtpFeatures::FromReply({"211-Features:", " MLST type*;size*;modify*;UNIX.mode*;unique;", "211 End"});
    EXPECT_TRUE(OptsAfterFeat(f).isEmpty());
    EXPECT_TRUE(OptsAfterFeat(TFtpFeatures()).isEmpty());
    // MLSD comes with MLST; a custom layout or hidden files keep LIST.
    EXPECT_TRUE(UseMachineListing(f, DefaultAnswer, false));
    EXPECT_FALSE(UseMachineListing(f, "4957681", false));
    EXPECT_FALSE(UseMachineListing(f, DefaultAnswer, true));
    EXPECT_FALSE(UseMachineListing(TFtpFeatures::FromReply({"211-x", " MDTM", "211 End"}), DefaultAnswer, false));
    EXPECT_EQ(SiteZoneSeconds(5.30), 19800);
    EXPECT_EQ(SiteZoneSeconds(-1.30), -5400);
}

// --- real servers ------------------------------------------------------------

namespace {

using namespace realserver;

class SessionFeaturesServers : public ::testing::TestWithParam<Kind> {
protected:
    testftp::FtpServer server;
    SessionHarness h;
    QTemporaryDir local;
    QString root;
    std::string log() const { return h.pane.Lines().join('\n').toStdString(); }
};

} // namespace

TEST_P(SessionFeaturesServers, BrowseAndDownloadWithExactSizesAndTimes)
{
    const bool mlsd = GetParam() == Kind::Pyftpdlib;
    ASSERT_TRUE(realserver::connect(server, h, {GetParam(), true}, local.path(), root));
    // A time with seconds, an odd size and a folder.
    const QDateTime when(QDate(2024, 3, 9), QTime(17, 45, 31), Qt::UTC);
    writeFile(root + "/exact.bin", QByteArray(123457, 'x'), when.toLocalTime());
    QDir().mkpath(root + "/folder");
    h.session.Refresh();
    ASSERT_TRUE(testenv::waitFor([&] { return h.idle(50) && h.rowOf("exact.bin") >= 0; }, 15000)) << log();

    const QStringList sent = h.pane.Lines().filter(QRegularExpression("^> (LIST|MLSD)"));
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_TRUE(sent.last().startsWith(mlsd ? "> MLSD" : "> LIST")) << log();
    const TRemoteListModel* m = h.session.RemoteModel();
    const int row = h.rowOf("exact.bin");
    EXPECT_EQ(m->Size(row), 123457);
    EXPECT_TRUE(m->Entry(h.rowOf("folder")).directory);
    const DirEntry& e = m->Entry(row);
    const QDateTime listed = ListedFileTime(e.date(), e.time(), h.session.CurrentSite().TimeZone);
    if (mlsd) {
        EXPECT_EQ(listed, when) << "to the second";
        EXPECT_EQ(e.attributes(), "-rw-r--r--") << "UNIX.mode asked for with OPTS MLST";
    } else {
        EXPECT_EQ(listed.date(), when.date()) << "LIST: the day only, as the server's clock has it";
    }

    h.session.StartDownload({row});
    ASSERT_TRUE(testenv::waitFor([&] {
        return h.session.RunningTransfer() == TSession::TransferKind::None && !h.session.Busy() && h.idle(50);
    }, 30000)) << log();
    const QFileInfo copy(local.filePath("exact.bin"));
    EXPECT_EQ(copy.size(), 123457);
    if (mlsd)
        EXPECT_EQ(copy.lastModified().toUTC(), when) << log();
}

INSTANTIATE_TEST_SUITE_P(RealServers, SessionFeaturesServers, ::testing::Values(Kind::Pyftpdlib, Kind::Vsftpd),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             return std::string(info.param == Kind::Pyftpdlib ? "pyftpdlib" : "vsftpd");
                         });
