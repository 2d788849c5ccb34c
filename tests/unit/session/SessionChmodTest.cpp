// File Attributes against the scripted server and real ones: which files are
// offered to the dialog, the SITE CHMOD commands of the batch one after
// another, the listing afterwards, and a refused command that must end the
// batch for good.
#include "FtpServers.h"
#include "SessionHarness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <pwd.h>
#include <unistd.h>

namespace {

// The dialog's part, scripted: sees the files offered and changes them.
struct ChmodUi : ScriptedUi {
    int asked = 0;
    TPermissionFiles offered;
    std::function<bool(TPermissionFiles&)> answer;
    bool ChangeAttributes(TPermissionFiles& files) override
    {
        ++asked;
        offered = files;
        return answer && answer(files);
    }
};

// What the user sets with the octal field; nothing was edited when edited
// is false.
std::function<bool(TPermissionFiles&)> setTo(const QString& text, bool edited = true)
{
    return [=](TPermissionFiles& files) { return ChangeAttributes(files, text, edited); };
}

const QByteArray kFiles = "-rw-r--r-- 1 o g 5 Jan 10 10:00 my file.txt\r\n"
                          "-rwxr-xr-x 1 o g 5 Jan 10 10:00 run\r\n"
                          "-rwsr-xr-x 1 o g 5 Jan 10 10:00 setuid\r\n"
                          "drwx------ 2 o g 4096 Jan 10 10:00 private\r\n";

struct Connected {
    FakeFtpServer srv;
    SessionHarness h;
    ChmodUi ui;
    int before = 0;

    explicit Connected(const QByteArray& listing = kFiles)
    {
        srv.setTransfer("LIST", {listing});
        setUserInterface(&ui);
        site = SessionHarness::site(srv.port(), "/x");
    }
    bool start()
    {
        h.session.ConnectTo(site);
        if (!h.idle())
            return false;
        before = int(srv.commands().size());
        return true;
    }
    QList<int> rows(const QStringList& names) const
    {
        QList<int> r;
        for (const QString& n : names)
            r << h.rowOf(n);
        return r;
    }
    // The batch is over and the listing that follows it is shown.
    bool relisted()
    {
        return testenv::waitFor([&] {
            return h.idle() && !h.session.Busy() && !(h.session.SessionFlags() & sessionflag::ChmodBatch)
                   && srv.commands().last() == "LIST";
        });
    }
    QStringList sent() const { return withoutData(srv.commands().mid(before)); }
    TFTPServerObj site;
};

} // namespace

TEST(SessionChmod, ChangedFilesGetOneSiteChmodEachThenTheListingComesAgain)
{
    Connected c;
    c.srv.on("SITE", "200 SITE CHMOD command ok.");
    ASSERT_TRUE(c.start());
    c.ui.answer = setTo("755");
    c.h.session.ChangeFileAttributes(c.rows({"my file.txt", "run", "setuid", "private"}));
    ASSERT_TRUE(c.relisted());
    // The dialog saw the files in list order with their values; the setuid
    // file keeps its owner execute, so it already is 755 and gets nothing.
    ASSERT_EQ(c.ui.asked, 1);
    ASSERT_EQ(c.ui.offered.size(), 4);
    EXPECT_EQ(c.ui.offered[0].name, "my file.txt");
    EXPECT_EQ(c.ui.offered[0].value, 644);
    EXPECT_EQ(c.ui.offered[2].value, 755);
    EXPECT_EQ(c.ui.offered[3].value, 700);
    // A name with spaces goes as it is after the value and one space.
    EXPECT_EQ(c.sent(), QStringList({"SITE CHMOD 755 my file.txt", "SITE CHMOD 755 private", "TYPE A", "LIST"}));
    EXPECT_EQ(c.h.session.SessionFlags(), 0);
}

TEST(SessionChmod, NothingIsSentWhenNothingChanges)
{
    Connected c;
    c.srv.on("SITE", "200 SITE CHMOD command ok.");
    ASSERT_TRUE(c.start());
    const QList<int> both = c.rows({"my file.txt", "run"});
    // Apply without an edit: the 644 file must not become the 755 that
    // the field shows for the first selected file.
    c.ui.answer = setTo("755", false);
    c.h.session.ChangeFileAttributes(c.rows({"run", "my file.txt"}));
    // A value every file already has, a value that is no permission, Cancel.
    c.ui.answer = setTo("755");
    c.h.session.ChangeFileAttributes(c.rows({"run", "setuid"}));
    c.ui.answer = setTo("999");
    c.h.session.ChangeFileAttributes(both);
    c.ui.answer = nullptr;
    c.h.session.ChangeFileAttributes(both);
    testenv::deliverPostedEvents();
    EXPECT_EQ(c.ui.asked, 4);
    EXPECT_TRUE(c.sent().isEmpty()) << c.sent().join(", ").toStdString();
    EXPECT_FALSE(c.h.session.Busy());
    EXPECT_EQ(c.h.session.SessionFlags(), 0);
}

TEST(SessionChmod, NoDialogForAnEmptySelectionOrTheParentEntryAlone)
{
    // A listing's "." and ".." lines never become rows, so ".." can never
    // be sent; rows that are no file (none, out of range) ask nothing.
    const QByteArray withParent = "drwxr-xr-x 2 o g 4096 Jan 10 10:00 .\r\n"
                                  "drwxr-xr-x 2 o g 4096 Jan 10 10:00 ..\r\n"
                                  "-rw------- 1 o g 5 Jan 10 10:00 file.txt\r\n";
    Connected c(withParent);
    ASSERT_TRUE(c.start());
    c.ui.answer = setTo("644");
    EXPECT_EQ(c.h.rowOf(".."), -1);
    c.h.session.ChangeFileAttributes({});
    c.h.session.ChangeFileAttributes({-1, 99});
    EXPECT_EQ(c.ui.asked, 0);
    c.srv.on("SITE", "200 ok");
    c.h.session.ChangeFileAttributes({-1, c.h.rowOf("file.txt")});
    ASSERT_TRUE(c.relisted());
    ASSERT_EQ(c.ui.offered.size(), 1);
    EXPECT_EQ(c.ui.offered[0].name, "file.txt");
    EXPECT_EQ(c.sent(), QStringList({"SITE CHMOD 644 file.txt", "TYPE A", "LIST"}));
}

TEST(SessionChmod, ARefusedSiteChmodEndsTheBatchAndNoLaterCommandResumesIt)
{
    Connected c;
    c.srv.on("SITE", QList<FakeFtpServer::Reply>{{"200 ok"}, {"550 Permission denied"}, {"200 ok"}});
    TFTPOptions o;
    o.Keep = true;
    o.CmdKeep = QStringLiteral("NOOP");
    o.StartKeep = 30;
    o.DurationKeep = 10;
    c.h.session.SetOptions(o);
    c.h.session.KeepAlive().SetManualTicks(true);
    ASSERT_TRUE(c.start());
    c.ui.answer = setTo("600");
    c.h.session.ChangeFileAttributes(c.rows({"my file.txt", "run", "setuid", "private"}));
    ASSERT_TRUE(c.relisted());
    EXPECT_EQ(c.sent(), QStringList({"SITE CHMOD 600 my file.txt", "SITE CHMOD 600 run", "TYPE A", "LIST"}));
    EXPECT_EQ(c.h.logCount("Error 550 Permission denied"), 1);
    EXPECT_EQ(c.h.session.SessionFlags(), 0);
    // A keep-alive NOOP later completes as a keep-alive, not as a step of
    // the batch: no SITE CHMOD for the files left.
    const int mark = int(c.srv.commands().size());
    ASSERT_TRUE(testenv::waitFor([&] { return c.h.session.KeepAlive().Active(); }));
    ASSERT_TRUE(c.h.session.KeepAlive().Tick());
    ASSERT_TRUE(testenv::waitFor([&] { return c.srv.commands().size() == mark + 1; }));
    ASSERT_TRUE(testenv::waitFor([&] { return c.h.session.KeepAlive().Active() && c.h.idle(); }));
    testenv::deliverPostedEvents();
    EXPECT_EQ(c.srv.commands().mid(mark), QStringList({"NOOP"}));
    EXPECT_EQ(c.h.session.SessionFlags(), 0);
}

TEST(SessionChmod, StopEndsTheBatchAfterTheCommandUnderWay)
{
    Connected c;
    FakeFtpServer::Reply held{"200 ok"};
    held.held = true;
    c.srv.on("SITE", QList<FakeFtpServer::Reply>{held, {"200 ok"}});
    ASSERT_TRUE(c.start());
    c.ui.answer = setTo("600");
    c.h.session.ChangeFileAttributes(c.rows({"my file.txt", "run", "setuid"}));
    ASSERT_TRUE(testenv::waitFor([&] { return c.srv.heldCount() == 1; }));
    c.h.session.StopTransfer();
    c.srv.release();
    ASSERT_TRUE(testenv::waitFor([&] { return c.h.idle() && c.srv.commands().last() == "LIST"; }));
    testenv::deliverPostedEvents();
    const QStringList sent = c.sent();
    EXPECT_EQ(sent.count("SITE CHMOD 600 my file.txt"), 1);
    for (const QString& cmd : sent)
        EXPECT_FALSE(cmd.startsWith("SITE CHMOD 600 run") || cmd.startsWith("SITE CHMOD 600 setuid"))
            << cmd.toStdString();
    EXPECT_EQ(c.h.session.SessionFlags(), 0);
}

// --- real servers ----------------------------------------------------------------

namespace {

enum class Kind { Pyftpdlib, Vsftpd };

class SessionChmodServers : public ::testing::TestWithParam<Kind> {
protected:
    testftp::FtpServer server;
    SessionHarness h;
    ChmodUi ui;
    QString root;

    bool connect()
    {
        QString error;
        const bool ok = GetParam() == Kind::Pyftpdlib ? server.startPyftpdlib(&error) : server.startVsftpd(&error);
        if (!ok) {
            ADD_FAILURE() << error.toStdString();
            return false;
        }
        setUserInterface(&ui);
        root = server.dataDir();
        TFTPServerObj s = SessionHarness::site(server.port(), QStringLiteral("/") + server.remotePrefix());
        server.applyLogin(s);
        s.Pasv = GetParam() == Kind::Pyftpdlib ? 1 : 0;
        h.session.ConnectTo(s);
        return h.idle(15000);
    }
    QString attributesOf(const QString& name) const
    {
        const int row = h.rowOf(name);
        return row < 0 ? QString() : h.session.RemoteModel()->Entry(row).attributes();
    }
};

// A file of the server's login: only its owner may change its permissions
// (vsftpd's anonymous sessions run as an account of their own).
void writeFile(const QString& path, QFileDevice::Permissions perms, Kind kind)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    ASSERT_TRUE(f.setPermissions(perms));
    if (kind == Kind::Vsftpd) {
        const passwd* pw = getpwnam(testftp::FtpServer::vsftpdUser().toLatin1().constData());
        ASSERT_NE(pw, nullptr);
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid), 0);
    }
}

} // namespace

TEST_P(SessionChmodServers, PermissionsOfSeveralFilesChangeAndShowInTheNewListing)
{
    const auto rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    ASSERT_TRUE(connect());
    writeFile(root + "/plain.txt", rw | QFileDevice::ReadGroup | QFileDevice::ReadOther, GetParam());
    writeFile(root + "/with space.sh", rw, GetParam());
    h.session.Refresh();
    ASSERT_TRUE(h.idle(15000));
    ASSERT_EQ(attributesOf("plain.txt"), "-rw-r--r--");
    ui.answer = setTo("750");
    h.session.ChangeFileAttributes({h.rowOf("plain.txt"), h.rowOf("with space.sh")});
    ASSERT_TRUE(testenv::waitFor([&] {
        return h.idle() && !h.session.Busy() && !(h.session.SessionFlags() & sessionflag::ChmodBatch);
    }, 20000));
    const auto mask = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                      | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                      | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (GetParam() == Kind::Vsftpd) {
        // vsftpd never lets an anonymous login use SITE CHMOD: the first
        // refusal ends the batch, the second file is not tried, the new
        // listing shows the permissions unchanged.
        EXPECT_EQ(h.logCount("> SITE CHMOD"), 1);
        EXPECT_EQ(h.logCount("Error 550"), 1);
        EXPECT_EQ(attributesOf("plain.txt"), "-rw-r--r--");
        EXPECT_EQ(attributesOf("with space.sh"), "-rw-------");
        EXPECT_EQ(QFileInfo(root + "/with space.sh").permissions() & mask, rw);
        return;
    }
    EXPECT_EQ(h.logCount("Error"), 0) << h.pane.Lines().join("\n").toStdString();
    EXPECT_EQ(attributesOf("plain.txt"), "-rwxr-x---");
    EXPECT_EQ(attributesOf("with space.sh"), "-rwxr-x---");
    const auto want = rw | QFileDevice::ExeOwner | QFileDevice::ReadGroup | QFileDevice::ExeGroup;
    EXPECT_EQ(QFileInfo(root + "/plain.txt").permissions() & mask, want);
    EXPECT_EQ(QFileInfo(root + "/with space.sh").permissions() & mask, want);
}

INSTANTIATE_TEST_SUITE_P(Servers, SessionChmodServers, ::testing::Values(Kind::Pyftpdlib, Kind::Vsftpd),
                         [](const auto& info) { return info.param == Kind::Pyftpdlib ? "pyftpdlib" : "vsftpd"; });

// --- vsftpd with a local login -------------------------------------------------

namespace {

// vsftpd lets only local logins use SITE CHMOD. This one logs in the
// fixture's own account through a PAM service that admits that account
// alone, with any password; the service file exists while the server runs.
class LocalVsftpd {
public:
    ~LocalVsftpd()
    {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(5000);
        }
        if (!pamFile_.isEmpty())
            QFile::remove(pamFile_);
    }
    bool start(QString* error)
    {
        const QString vsftpd = testenv::findProgram("vsftpd");
        if (vsftpd.isEmpty()) {
            *error = "vsftpd not installed";
            return false;
        }
        if (::geteuid() != 0) {
            *error = "a local vsftpd login needs root to add its PAM service";
            return false;
        }
        if (!testftp::FtpServer::ensureVsftpdUser(error))
            return false;
        const QByteArray user = testftp::FtpServer::vsftpdUser().toLatin1();
        const passwd* pw = getpwnam(user.constData());
        if (!pw || !dir_.isValid()) {
            *error = "no account or no temporary directory for the local login";
            return false;
        }
        data = dir_.filePath("data");
        QDir().mkpath(data);
        QFile::setPermissions(dir_.path(), QFileDevice::Permissions(0x7755));
        if (::chown(QFile::encodeName(data).constData(), pw->pw_uid, pw->pw_gid) != 0) {
            *error = "cannot hand the data directory to " + QString::fromLatin1(user);
            return false;
        }
        const QString service = QStringLiteral("varnoth-test-chmod-%1").arg(::getpid());
        pamFile_ = "/etc/pam.d/" + service;
        QFile pam(pamFile_);
        if (!pam.open(QIODevice::WriteOnly)) {
            *error = "cannot write " + pamFile_;
            pamFile_.clear();
            return false;
        }
        pam.write("auth required pam_succeed_if.so quiet user = " + user + "\nauth required pam_permit.so\n"
                  "account required pam_permit.so\nsession required pam_permit.so\n");
        pam.close();
        QDir().mkpath("/var/run/vsftpd/empty");
        port = testenv::freePort();
        const QString conf = dir_.filePath("vsftpd.conf");
        QFile c(conf);
        if (!c.open(QIODevice::WriteOnly)) {
            *error = "cannot write " + conf;
            return false;
        }
        c.write(QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                               "background=NO\nanonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\n"
                               "chmod_enable=YES\nlocal_umask=022\nlocal_root=%2\npam_service_name=%3\n"
                               "userlist_enable=NO\npasv_enable=YES\npasv_address=127.0.0.1\n"
                               "connect_from_port_20=NO\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                               "secure_chroot_dir=/var/run/vsftpd/empty\nxferlog_enable=NO\n")
                    .arg(port)
                    .arg(data, service)
                    .toUtf8());
        c.close();
        proc_.setProcessChannelMode(QProcess::MergedChannels);
        proc_.setWorkingDirectory(dir_.path());
        proc_.start(vsftpd, {conf});
        if (!proc_.waitForStarted(5000) || !testenv::waitForPort(port, 10000)) {
            *error = "vsftpd did not come up: " + QString::fromLocal8Bit(proc_.readAll());
            return false;
        }
        return true;
    }
    QString data;
    quint16 port = 0;

private:
    QTemporaryDir dir_;
    QProcess proc_;
    QString pamFile_;
};

} // namespace

TEST(SessionChmodVsftpd, ALocalLoginChangesPermissionsReadBackFromTheListing)
{
    LocalVsftpd server;
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();
    const auto rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    writeFile(server.data + "/a.txt", rw | QFileDevice::ReadGroup | QFileDevice::ReadOther, Kind::Vsftpd);
    writeFile(server.data + "/b c.txt", rw | QFileDevice::ReadGroup | QFileDevice::ReadOther, Kind::Vsftpd);
    writeFile(server.data + "/other.txt", rw, Kind::Vsftpd);
    SessionHarness h;
    ChmodUi ui;
    setUserInterface(&ui);
    TFTPServerObj s = SessionHarness::site(server.port, server.data);
    s.User = testftp::FtpServer::vsftpdUser();
    s.Pasv = 0;
    h.session.ConnectTo(s);
    ASSERT_TRUE(h.idle(15000)) << h.pane.Lines().join("\n").toStdString();
    auto attributes = [&](const QString& name) {
        const int row = h.rowOf(name);
        return row < 0 ? QString() : h.session.RemoteModel()->Entry(row).attributes();
    };
    ASSERT_EQ(attributes("a.txt"), "-rw-r--r--");
    ui.answer = setTo("751");
    h.session.ChangeFileAttributes({h.rowOf("a.txt"), h.rowOf("b c.txt")});
    ASSERT_TRUE(testenv::waitFor([&] {
        return h.idle() && !h.session.Busy() && !(h.session.SessionFlags() & sessionflag::ChmodBatch)
               && attributes("b c.txt") == "-rwxr-x--x";
    }, 20000)) << h.pane.Lines().join("\n").toStdString();
    EXPECT_EQ(h.logCount("Error"), 0);
    EXPECT_EQ(h.logCount("> SITE CHMOD 751 "), 2);
    EXPECT_EQ(attributes("a.txt"), "-rwxr-x--x");
    EXPECT_EQ(attributes("other.txt"), "-rw-------");  // not selected
    EXPECT_EQ(QFileInfo(server.data + "/a.txt").permissions() & QFileDevice::ExeOther, QFileDevice::ExeOther);
}
