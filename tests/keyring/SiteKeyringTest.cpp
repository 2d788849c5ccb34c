// Saved site passwords in the desktop keyring, against gnome-keyring's real
// Secret Service in a private D-Bus session. with-keyring.sh sets up each
// group's world and CTest runs the group in it:
//   KeyringUnlocked  a running, unlocked keyring
//   KeyringLocked    a running keyring that refuses every write
//   KeyringHung      a keyring that owns its bus name but never answers
//   KeyringAbsent    no D-Bus session at all (a site file copied from a
//                    machine with a keyring)
//   KeyringMarkerText the marker's own rules (no keyring needed)
// secret-tool (libsecret-tools) looks into the keyring from outside, and
// varnoth-cli reads the sites back in a process of its own.
#include "SessionHarness.h"

#include "FtpServers.h"
#include "ProcessRun.h"
#include "TestEnv.h"
#include "session/ClientConfig.h"
#include "settings/Options.h"
#include "sites/SiteKeyring.h"
#include "sites/SiteLine.h"
#include "sites/SiteListFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

const QString kPassword = QStringLiteral("pa;ss\"w\xf6rd `x");

ProcessRun run(const QString& program, const QStringList& args, const QByteArray& input = {},
        const QStringList& extraEnv = {})
{
    ProcessOptions o;
    o.env = environmentWith(extraEnv);
    o.input = input;
    return runProcess(program, args, o);
}

// What the keyring holds for a site id, seen by another client.
std::optional<QString> secretToolLookup(const QString& id)
{
    const ProcessRun r = run(QStringLiteral("secret-tool"), {QStringLiteral("lookup"), KeyringIdAttribute, id});
    if (r.exitCode != 0)
        return std::nullopt;
    return QString::fromUtf8(r.out);
}

class KeyringTest : public ::testing::Test {
protected:
    SessionHarness h;  // a program directory, a site list, a session, a scripted user

    void SetUp() override
    {
        FTPOptions = TFTPOptions{};
        FTPOptions.MailAno = false;
        KeyringTimeoutMs = 15000;
        h.sites.ShowSiteList(QString());
    }
    void TearDown() override { FTPOptions = TFTPOptions{}; }

    static TFTPServerObj site(const QString& name, const QString& password = kPassword)
    {
        TFTPServerObj s = CreateSite(TSiteDefaults{});
        s.Name = name;
        s.Server = QStringLiteral("127.0.0.1");
        s.User = QStringLiteral("alice");
        s.Password = password;
        return s;
    }
    QByteArray fileText(const QString& folder = QString()) const
    {
        QFile f(SiteListPath(SiteFolderDir(folder)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The site as the folder's list file holds it (password not fetched).
    std::optional<TFTPServerObj> stored(const QString& name, const QString& folder = QString()) const
    {
        for (const TSiteListItem& item : ReadSiteList(folder, TSiteDefaults{}))
            if (!item.IsFolder() && item.Site->Name == name)
                return *item.Site;
        return std::nullopt;
    }
    // Adds a site to the shown folder and saves the folder's list.
    void save(const TFTPServerObj& s)
    {
        h.sites.AddSite(s);
        ASSERT_TRUE(h.sites.SaveSiteList());
    }
    static QString cli() { return testenv::buildDir() + QStringLiteral("/src/cli/varnoth-cli"); }
    QStringList cliEnv() const { return {QStringLiteral("VARNOTH_PROGRAM_DIR=") + h.dir.path()}; }
};

using KeyringUnlocked = KeyringTest;
using KeyringLocked = KeyringTest;
using KeyringHung = KeyringTest;
using KeyringAbsent = KeyringTest;
using KeyringMarkerText = KeyringTest;

// --- a running, unlocked keyring ---

TEST_F(KeyringUnlocked, ASavedPasswordLivesInTheKeyringAndTheFileHoldsOnlyTheMarker)
{
    save(site(QStringLiteral("Home")));
    const QByteArray text = fileText();
    EXPECT_FALSE(text.contains(kPassword.toUtf8()));
    EXPECT_FALSE(text.contains(EscapeSiteValue(ScramblePassword(kPassword)).toUtf8()));
    EXPECT_TRUE(text.contains("Password=\x1Bkeyring:")) << text.constData();

    const auto s = stored(QStringLiteral("Home"));
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->Password.isEmpty());
    ASSERT_FALSE(s->SecretId.isEmpty());
    EXPECT_EQ(secretToolLookup(s->SecretId), kPassword);
    // The pane's own copy gave the password up as well.
    EXPECT_TRUE(h.sites.Site(h.sites.FindCaption(QStringLiteral("Home")))->Password.isEmpty());

    // Read back as a connection reads it, every field intact.
    const auto found = FindSavedSite(QStringLiteral("Home"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Password, kPassword);
    EXPECT_EQ(found->User, QStringLiteral("alice"));
    EXPECT_TRUE(ConnectionFieldsFromSite(*found).PasswordKnown);

    // Saving again (any change to the folder) stores nothing twice and keeps
    // the marker as it was.
    const QByteArray before = fileText();
    save(site(QStringLiteral("Other"), QString()));
    EXPECT_TRUE(fileText().contains(before.left(before.indexOf('\n'))));
    EXPECT_EQ(stored(QStringLiteral("Home"))->SecretId, s->SecretId);
}

TEST_F(KeyringUnlocked, AnotherProcessAndTheSessionLogInWithThePasswordFromTheKeyring)
{
    testftp::FtpServer server;
    QString error;
    ASSERT_TRUE(server.startPyftpdlib(&error)) << error.toStdString();
    QDir().mkpath(server.dataDir() + QStringLiteral("/dir"));
    QFile(server.dataDir() + QStringLiteral("/dir/inside.txt")).open(QIODevice::WriteOnly);
    TFTPServerObj s = site(QStringLiteral("Real"), server.password());
    s.Port = QString::number(server.port());
    s.Pasv = 1;
    save(s);
    ASSERT_FALSE(stored(QStringLiteral("Real"))->SecretId.isEmpty());

    // A new process (the command-line tool) finds the password in the keyring.
    const ProcessRun r = run(cli(), {QStringLiteral("ls"), QStringLiteral("--site"), QStringLiteral("Real"),
                              QStringLiteral("/dir")}, {}, cliEnv());
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("inside.txt")) << r.out.constData();

    // The window's session reads it at connect: no password is asked.
    h.sites.ShowSiteList(QString());
    h.sites.SelectRow(h.sites.FindCaption(QStringLiteral("Real")));
    h.session.SiteListDoubleClick();
    ASSERT_TRUE(testenv::waitFor([&] { return h.session.CurrentPhase() == TSession::Phase::Online; }, 15000));
    EXPECT_TRUE(h.ui.prompts.isEmpty());
}

TEST_F(KeyringUnlocked, MovingRenamingAndDeletingASiteKeepTheKeyringInStep)
{
    ASSERT_TRUE(h.sites.MakeFolder(QStringLiteral("work")));
    save(site(QStringLiteral("Home")));
    const QString id = stored(QStringLiteral("Home"))->SecretId;
    ASSERT_FALSE(id.isEmpty());

    // Moved into a folder: the line goes along with its id.
    ASSERT_TRUE(h.sites.MoveSiteIntoFolder(h.sites.FindCaption(QStringLiteral("Home")),
                                           h.sites.FindCaption(QStringLiteral("work"))));
    EXPECT_FALSE(stored(QStringLiteral("Home")));
    ASSERT_TRUE(stored(QStringLiteral("Home"), QStringLiteral("work/")));
    EXPECT_EQ(stored(QStringLiteral("Home"), QStringLiteral("work/"))->SecretId, id);
    EXPECT_EQ(FindSavedSite(QStringLiteral("work/Home"))->Password, kPassword);

    // Renamed: the same item.
    ASSERT_TRUE(h.sites.ShowSiteList(QStringLiteral("work/")));
    const int row = h.sites.FindCaption(QStringLiteral("Home"));
    TFTPServerObj renamed = *h.sites.Site(row);
    renamed.Name = QStringLiteral("Office");
    h.sites.ReplaceSite(row, renamed);
    ASSERT_TRUE(h.sites.SaveSiteList());
    EXPECT_EQ(stored(QStringLiteral("Office"), QStringLiteral("work/"))->SecretId, id);
    EXPECT_EQ(FindSavedSite(QStringLiteral("work/Office"))->Password, kPassword);

    // Deleted: the keyring forgets the password.
    h.sites.SelectRow(h.sites.FindCaption(QStringLiteral("Office")));
    ASSERT_TRUE(h.sites.RemoveSelected());
    EXPECT_FALSE(stored(QStringLiteral("Office"), QStringLiteral("work/")));
    EXPECT_EQ(secretToolLookup(id), std::nullopt);
    EXPECT_TRUE(h.ui.boxes.isEmpty()) << h.ui.boxes.join('\n').toStdString();
}

TEST_F(KeyringUnlocked, ACopiedSiteGetsASecretOfItsOwn)
{
    save(site(QStringLiteral("Home")));
    const TFTPServerObj original = *stored(QStringLiteral("Home"));

    // A copy made from the pane's site (password not in memory) keeps the
    // password but not the item.
    TFTPServerObj copy = *h.sites.Site(h.sites.FindCaption(QStringLiteral("Home")));
    copy.Name = QStringLiteral("Home 2");
    save(copy);
    const TFTPServerObj second = *stored(QStringLiteral("Home 2"));
    ASSERT_FALSE(second.SecretId.isEmpty());
    EXPECT_NE(second.SecretId, original.SecretId);
    EXPECT_EQ(secretToolLookup(second.SecretId), kPassword);

    // Changing the copy's password leaves the original's alone.
    const int row = h.sites.FindCaption(QStringLiteral("Home 2"));
    TFTPServerObj changed = *h.sites.Site(row);
    changed.Password = QStringLiteral("new one");
    h.sites.ReplaceSite(row, changed);
    ASSERT_TRUE(h.sites.SaveSiteList());
    EXPECT_EQ(secretToolLookup(second.SecretId), QStringLiteral("new one"));
    EXPECT_EQ(secretToolLookup(original.SecretId), kPassword);

    // Deleting the copy keeps the original's password.
    h.sites.SelectRow(h.sites.FindCaption(QStringLiteral("Home 2")));
    ASSERT_TRUE(h.sites.RemoveSelected());
    EXPECT_EQ(secretToolLookup(second.SecretId), std::nullopt);
    EXPECT_EQ(FindSavedSite(QStringLiteral("Home"))->Password, kPassword);
}

TEST_F(KeyringUnlocked, AnItemTwoListsNameStaysUntilTheLastOfThemIsDeleted)
{
    // A list file copied by hand into a second folder: both lines carry one id.
    const QString id = NewSecretId();
    ASSERT_TRUE(StoreKeyringSecret(id, QStringLiteral("test"), kPassword));
    TFTPServerObj s = site(QStringLiteral("Twin"), QString());
    s.SecretId = id;
    ASSERT_TRUE(h.sites.MakeFolder(QStringLiteral("copy")));
    save(s);
    ASSERT_TRUE(WriteTextLines(SiteFolderDir(QStringLiteral("copy/")) + SiteListFileName, {SiteLine(s)}));

    h.sites.SelectRow(h.sites.FindCaption(QStringLiteral("Twin")));
    ASSERT_TRUE(h.sites.RemoveSelected());
    EXPECT_EQ(secretToolLookup(id), kPassword);
    EXPECT_EQ(FindSavedSite(QStringLiteral("copy/Twin"))->Password, kPassword);

    ASSERT_TRUE(h.sites.ShowSiteList(QStringLiteral("copy/")));
    h.sites.SelectRow(h.sites.FindCaption(QStringLiteral("Twin")));
    ASSERT_TRUE(h.sites.RemoveSelected());
    EXPECT_EQ(secretToolLookup(id), std::nullopt);
}

TEST_F(KeyringUnlocked, TurnedOffInTheOptionsNewPasswordsStayInTheFileAndOldOnesStillRead)
{
    save(site(QStringLiteral("Before")));
    FTPOptions.UseKeyring = false;
    save(site(QStringLiteral("After"), QStringLiteral("plain one")));
    const auto after = stored(QStringLiteral("After"));
    EXPECT_TRUE(after->SecretId.isEmpty());
    EXPECT_EQ(after->Password, QStringLiteral("plain one"));
    EXPECT_FALSE(stored(QStringLiteral("Before"))->SecretId.isEmpty());
    EXPECT_EQ(FindSavedSite(QStringLiteral("Before"))->Password, kPassword);
}

// --- a keyring that refuses writes ---

TEST_F(KeyringLocked, AFailedKeyringWriteKeepsTheScrambledPassword)
{
    TFTPServerObj s = site(QStringLiteral("Home"));
    QString error;
    EXPECT_FALSE(MoveSitePasswordToKeyring(s, &error));
    EXPECT_EQ(s.Password, kPassword);
    EXPECT_TRUE(s.SecretId.isEmpty());
    EXPECT_TRUE(error.contains(QStringLiteral("keyring"))) << error.toStdString();

    save(site(QStringLiteral("Home")));
    EXPECT_TRUE(fileText().contains(EscapeSiteValue(ScramblePassword(kPassword)).toUtf8()));
    EXPECT_FALSE(fileText().contains("\x1Bkeyring:"));
    EXPECT_EQ(FindSavedSite(QStringLiteral("Home"))->Password, kPassword);
}

// --- a keyring that never answers ---

TEST_F(KeyringHung, EveryCallIsGivenUpAndThePasswordStaysInTheFile)
{
    KeyringTimeoutMs = 1000;
    save(site(QStringLiteral("Home")));
    EXPECT_TRUE(stored(QStringLiteral("Home"))->SecretId.isEmpty());
    EXPECT_EQ(stored(QStringLiteral("Home"))->Password, kPassword);

    TFTPServerObj s = site(QStringLiteral("Other"));
    QString error;
    EXPECT_FALSE(MoveSitePasswordToKeyring(s, &error));
    EXPECT_EQ(s.Password, kPassword);
    EXPECT_TRUE(error.contains(QStringLiteral("did not answer"))) << error.toStdString();

    // Reading gives up too, and the password is then asked.
    TFTPServerObj kept = site(QStringLiteral("Kept"), QString());
    kept.SecretId = NewSecretId();
    error.clear();
    EXPECT_FALSE(FetchSitePassword(kept, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("did not answer"))) << error.toStdString();
}

// --- no D-Bus session ---

TEST_F(KeyringAbsent, ASiteFileFromAKeyringMachineLoadsAndThePasswordIsAsked)
{
    testftp::FtpServer server;
    QString error;
    ASSERT_TRUE(server.startPyftpdlib(&error)) << error.toStdString();
    TFTPServerObj s = site(QStringLiteral("Moved here"), QString());
    s.Port = QString::number(server.port());
    s.Pasv = 1;
    s.SecretId = NewSecretId();
    ASSERT_TRUE(WriteTextLines(SiteFolderDir(QString()) + SiteListFileName, {SiteLine(s)}));
    const QByteArray markerLine = fileText().trimmed();

    // It loads with every field, the password unknown.
    h.sites.ShowSiteList(QString());
    const TFTPServerObj* loaded = h.sites.Site(h.sites.FindCaption(QStringLiteral("Moved here")));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(*loaded, s);
    TFTPServerObj fetched = *loaded;
    EXPECT_FALSE(FetchSitePassword(fetched, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("D-Bus"))) << error.toStdString();
    EXPECT_FALSE(ConnectionFieldsFromSite(fetched).PasswordKnown);

    // Saving on this machine keeps the marker (the password is still in the
    // keyring the file came from) and writes a new site's password scrambled.
    save(site(QStringLiteral("New"), QStringLiteral("typed here")));
    EXPECT_TRUE(fileText().contains(markerLine));
    EXPECT_EQ(stored(QStringLiteral("New"))->Password, QStringLiteral("typed here"));

    // Connecting asks for the password and logs in with the answer.
    h.ui.answers << server.password();
    h.sites.SelectRow(h.sites.FindCaption(QStringLiteral("Moved here")));
    h.session.SiteListDoubleClick();
    ASSERT_TRUE(testenv::waitFor([&] { return h.session.CurrentPhase() == TSession::Phase::Online; }, 15000));
    EXPECT_EQ(h.ui.prompts.size(), 1);

    // So does the command-line tool, from its password sources.
    const ProcessRun r = run(cli(), {QStringLiteral("ls"), QStringLiteral("--site"), QStringLiteral("Moved here")}, {},
                      cliEnv() + QStringList{QStringLiteral("VARNOTH_PASSWORD=") + server.password()});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
}

// --- the marker itself ---

TEST_F(KeyringMarkerText, APasswordThatScramblesToMarkerTextStaysAPassword)
{
    // Every text is some password's scrambled form; this one's is the marker.
    const QString tricky = ScramblePassword(KeyringMarker(QStringLiteral("0123-abcd")));
    for (const QString& password : {tricky, KeyringMarker(QStringLiteral("x")), QStringLiteral("\x1b")}) {
        TFTPServerObj s = site(QStringLiteral("T"), password);
        TFTPServerObj back;
        ASSERT_TRUE(ReadSiteLine(back, SiteLine(s), TSiteDefaults{}));
        EXPECT_TRUE(back.SecretId.isEmpty());
        EXPECT_EQ(ScramblePassword(back.Password), password);
    }
    // A damaged marker (not an id) is read as a password, never as an id.
    TFTPServerObj back;
    ASSERT_TRUE(ReadSiteLine(back, QStringLiteral("Name=T;Password=\x1bkeyring:a/../c;"), TSiteDefaults{}));
    EXPECT_TRUE(back.SecretId.isEmpty());
    ASSERT_TRUE(ReadSiteLine(back, QStringLiteral("Name=T;Password=\x1bkeyring:;"), TSiteDefaults{}));
    EXPECT_TRUE(back.SecretId.isEmpty());
    EXPECT_FALSE(back.Password.isEmpty());
}

} // namespace
