// The list files and their folder tree on real files in a temporary
// program directory.
#include "settings/Globals.h"
#include "sites/SiteLine.h"
#include "sites/SiteListFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class SiteListFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ProgramDir = WithTrailingSlash(dir.path());
    }
    void write(const QString& relative, const QByteArray& content)
    {
        const QString path = ProgramDir + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray read(const QString& relative)
    {
        QFile f(ProgramDir + relative);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QByteArray siteLine(const QString& name, const QString& server = QStringLiteral("h"),
                               const QString& password = QString())
    {
        TFTPServerObj s = CreateSite(TSiteDefaults{});
        s.Name = name;
        s.Server = server;
        s.Password = password;
        return SiteLine(s).toUtf8() + "\r\n";
    }

    QTemporaryDir dir;
    TSiteDefaults defaults;
};

QStringList sitesOf(const QString& folder)
{
    QStringList out;
    for (const TSiteListItem& item : ReadSiteList(folder, TSiteDefaults{}))
        out += (item.IsFolder() ? QStringLiteral("dir:") : QStringLiteral("site:")) + item.Caption;
    return out;
}

} // namespace

TEST_F(SiteListFiles, FoldersSitesAndSkippedLines)
{
    write(QStringLiteral("ftplist.TXT"),
          siteLine(QStringLiteral("One"), QStringLiteral("h1"), QStringLiteral("pw")) + "DIR=Work\n"
          "\n   \n" + "dIr=lower\r" + QByteArray("\x01\x02\xff\xfe garbage\n") + siteLine(QStringLiteral("Two")));
    const auto items = ReadSiteList(QString(), defaults);
    QStringList got;
    for (const auto& i : items)
        got += i.Caption;
    EXPECT_EQ(got, (QStringList{"One", "Work", "lower", "Two"}));
    EXPECT_EQ(items[0].Site->Password, "pw") << "unscrambled after reading";
    EXPECT_TRUE(items[1].IsFolder());
    EXPECT_EQ(SiteListLine(items[1]), "DIR=Work");
    EXPECT_EQ(SiteListLine(items[0]).toUtf8() + "\r\n", siteLine(QStringLiteral("One"), "h1", "pw"));
}

TEST_F(SiteListFiles, MissingFileIsAnEmptyFolder)
{
    bool unreadable = true;
    EXPECT_TRUE(ReadSiteList(QStringLiteral("nowhere/"), defaults, &unreadable).empty());
    EXPECT_FALSE(unreadable);
}

TEST_F(SiteListFiles, Utf8AndOlderLatin1LinesBothRead)
{
    write(QStringLiteral("ftplist.TXT"),
          "Name=Caf\xc3\xa9;Server=a;\n"   // UTF-8
          "Name=Caf\xe9;Server=b;\n");     // Latin-1 from an older list
    EXPECT_EQ(sitesOf(QString()), (QStringList{QStringLiteral("site:Café"), QStringLiteral("site:Café")}));
}

TEST_F(SiteListFiles, ListFileNameMatchesWithoutRegardToCase)
{
    write(QStringLiteral("Old/FTPLIST.txt"), siteLine(QStringLiteral("Copied")));
    EXPECT_EQ(sitesOf(QStringLiteral("Old/")), QStringList{"site:Copied"});
    EXPECT_EQ(SiteListPath(ProgramDir + "Old"), ProgramDir + "Old/FTPLIST.txt");
    EXPECT_EQ(SiteListPath(ProgramDir + "New"), ProgramDir + "New/ftplist.TXT");
}

TEST_F(SiteListFiles, ReadingNeverTouchesTheFile)
{
    const QByteArray content = siteLine(QStringLiteral("A")) + "DIR=x\n" + "garbage\n";
    write(QStringLiteral("ftplist.TXT"), content);
    const QString path = ProgramDir + "ftplist.TXT";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
    f.setFileTime(old, QFileDevice::FileModificationTime);
    f.close();
    const QDateTime mtime = QFileInfo(path).lastModified();
    ReadSiteList(QString(), defaults);
    ForEachSavedSite([](const QString&, const TFTPServerObj&) {}, defaults);
    FindSavedSite(QStringLiteral("A"), defaults);
    EXPECT_EQ(QFileInfo(path).lastModified(), mtime);
    EXPECT_EQ(read(QStringLiteral("ftplist.TXT")), content);
}

TEST_F(SiteListFiles, WriteReplacesWholeOrNothing)
{
    const QString path = ProgramDir + "ftplist.TXT";
    ASSERT_TRUE(WriteTextLines(path, {QStringLiteral("DIR=a"), QStringLiteral("Name=é;")}));
    EXPECT_EQ(read("ftplist.TXT"), QByteArray("DIR=a\nName=\xc3\xa9;\n"));
    // A directory that refuses new files keeps the old list intact.
    QFile::setPermissions(ProgramDir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QString error;
    const bool written = WriteTextLines(path, {QStringLiteral("DIR=b")}, &error);
    QFile::setPermissions(ProgramDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (written)
        GTEST_SKIP() << "running with privileges that ignore permissions";
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(read("ftplist.TXT"), QByteArray("DIR=a\nName=\xc3\xa9;\n"));
}

TEST_F(SiteListFiles, NewListsAreOwnerOnlyExistingOnesKeepTheirPermissions)
{
    const auto ownerRw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto mask = ownerRw | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
                      QFileDevice::WriteOther;
    ASSERT_TRUE(WriteTextLines(ProgramDir + "new.TXT", {QStringLiteral("x")}));
    EXPECT_EQ(QFileInfo(ProgramDir + "new.TXT").permissions() & mask, ownerRw);
    write(QStringLiteral("shared.TXT"), "old\n");
    const auto shared = ownerRw | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(ProgramDir + "shared.TXT", shared));
    ASSERT_TRUE(WriteTextLines(ProgramDir + "shared.TXT", {QStringLiteral("y")}));
    EXPECT_EQ(QFileInfo(ProgramDir + "shared.TXT").permissions() & mask, shared);
}

TEST_F(SiteListFiles, WriteOverADirectoryFailsWithAReason)
{
    ASSERT_TRUE(QDir().mkpath(ProgramDir + "taken/ftplist.TXT"));
    QString error;
    EXPECT_FALSE(WriteTextLines(ProgramDir + "taken/ftplist.TXT", {QStringLiteral("DIR=a")}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(AppendSiteLine(ProgramDir + "taken", QStringLiteral("Name=x;")));
    EXPECT_TRUE(QFileInfo(ProgramDir + "taken/ftplist.TXT").isDir());
}

TEST_F(SiteListFiles, AppendKeepsEveryLineAlreadyThere)
{
    write(QStringLiteral("f/ftplist.TXT"), "DIR=x\nName=A;\ngarbage that is kept\n");
    ASSERT_TRUE(AppendSiteLine(ProgramDir + "f", QStringLiteral("Name=B;")));
    EXPECT_EQ(read("f/ftplist.TXT"), QByteArray("DIR=x\nName=A;\ngarbage that is kept\nName=B;\n"));
    ASSERT_TRUE(QDir().mkpath(ProgramDir + "g"));
    ASSERT_TRUE(AppendSiteLine(ProgramDir + "g", QStringLiteral("Name=C;"))) << "no file yet";
    EXPECT_EQ(read("g/ftplist.TXT"), QByteArray("Name=C;\n"));
}

TEST_F(SiteListFiles, AThousandSitesAndEnormousLinesLoad)
{
    QByteArray content;
    for (int i = 0; i < 1000; ++i)
        content += siteLine(QStringLiteral("site %1").arg(i, 4, 10, QChar('0')));
    content += "Name=" + QByteArray(MaxSiteListLine + 10, 'x') + ";\n";  // damage, skipped
    content += "Name=" + QByteArray(100000, 'y') + ";Server=big;\n";      // long but a site
    content += "Name=truncated;Serv";
    write(QStringLiteral("ftplist.TXT"), content);
    const auto items = ReadSiteList(QString(), defaults);
    ASSERT_EQ(items.size(), 1002u);
    EXPECT_EQ(items[999].Caption, "site 0999");
    EXPECT_EQ(items[1000].Caption, QString(50, QChar('y')));
    EXPECT_EQ(items[1001].Caption, "truncated");
}

TEST_F(SiteListFiles, FolderTreeIsWalkedAlongItsDirLines)
{
    write(QStringLiteral("ftplist.TXT"), siteLine("Top") + "DIR=work\nDIR=..\nDIR=/etc\nDIR=missing\n");
    write(QStringLiteral("work/ftplist.TXT"), siteLine("Client A", "a.example") + "DIR=deep\n");
    write(QStringLiteral("work/deep/ftplist.TXT"), siteLine("Deep one"));
    write(QStringLiteral("unlisted/ftplist.TXT"), siteLine("Not in the tree"));
    QStringList seen;
    ForEachSavedSite([&](const QString& folder, const TFTPServerObj& s) { seen += folder + s.Name; }, defaults);
    EXPECT_EQ(seen, (QStringList{"Top", "work/Client A", "work/deep/Deep one"}));
}

TEST_F(SiteListFiles, DeepTreeAndLinksBackUpDoNotLoopOrFail)
{
    QString folder;
    for (int i = 0; i < 60; ++i) {
        write(folder + "ftplist.TXT", siteLine(QStringLiteral("s%1").arg(i)) + "DIR=d\n");
        folder += "d/";
    }
    write(folder + "ftplist.TXT", siteLine("bottom") + "DIR=loop\n");
    ASSERT_TRUE(QFile::link(ProgramDir, ProgramDir + folder + "loop"));
    int count = 0;
    QString last;
    ForEachSavedSite([&](const QString& f, const TFTPServerObj& s) { ++count; last = f + s.Name; }, defaults);
    EXPECT_EQ(count, 61);
    EXPECT_EQ(last, folder + "bottom");
    EXPECT_EQ(FindSavedSite(folder + "bottom", defaults).value_or(TFTPServerObj{}).Name, "bottom");
}

TEST_F(SiteListFiles, FindSavedSiteByFolderAndName)
{
    write(QStringLiteral("ftplist.TXT"), siteLine("Home", "home.example", "pw1") + "DIR=work\n" +
                                             siteLine("work/odd", "slash.example"));
    write(QStringLiteral("work/ftplist.TXT"), siteLine("Client A", "a.example", "pw2"));
    write(QStringLiteral("hidden/ftplist.TXT"), siteLine("X"));
    const auto home = FindSavedSite(QStringLiteral("Home"), defaults);
    ASSERT_TRUE(home);
    EXPECT_EQ(home->Server, "home.example");
    EXPECT_EQ(home->Password, "pw1");
    const auto client = FindSavedSite(QStringLiteral("work/Client A"), defaults);
    ASSERT_TRUE(client);
    EXPECT_EQ(client->Password, "pw2");
    EXPECT_EQ(FindSavedSite(QStringLiteral("work/odd"), defaults).value_or(TFTPServerObj{}).Server,
              "slash.example");
    EXPECT_FALSE(FindSavedSite(QStringLiteral("hidden/X"), defaults)) << "folder not listed";
    EXPECT_FALSE(FindSavedSite(QStringLiteral("work/Nobody"), defaults));
    EXPECT_FALSE(FindSavedSite(QStringLiteral("../etc/x"), defaults));
    EXPECT_FALSE(FindSavedSite(QString(), defaults));
}

TEST(SiteFolderNames, OnlyOneRealDirectoryBelowItsParent)
{
    EXPECT_TRUE(IsSafeFolderName(QStringLiteral("work")));
    EXPECT_TRUE(IsSafeFolderName(QStringLiteral("a\\b")));
    EXPECT_TRUE(IsSafeFolderName(QStringLiteral("...")));
    EXPECT_FALSE(IsSafeFolderName(QString()));
    EXPECT_FALSE(IsSafeFolderName(QStringLiteral(".")));
    EXPECT_FALSE(IsSafeFolderName(QStringLiteral("..")));
    EXPECT_FALSE(IsSafeFolderName(QStringLiteral("a/b")));
    EXPECT_FALSE(IsSafeFolderName(QStringLiteral("/etc")));
    EXPECT_FALSE(IsSafeFolderName(QStringLiteral("a") + QChar(0)));
}
