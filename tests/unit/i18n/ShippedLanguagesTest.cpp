// The shipped data directory of an installed, a portable and a build-tree
// program, and languages found among the shipped files and the user's own.
#include "i18n/LanguageFile.h"
#include "settings/Globals.h"
#include "settings/ShippedData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[T_MAIN]\n");
}

// A prefix with bin/ and share/varnoth/ holding a language, as installed;
// ProgramDir and VARNOTH_DATA_DIR point at a user directory and share/varnoth
// while the object lives.
class InstalledLayout {
public:
    InstalledLayout()
        : m_savedProgramDir(ProgramDir)
    {
        QDir(m_prefix.path()).mkpath("bin");
        touch(shared() + "Deutsch.lan");
        ProgramDir = WithTrailingSlash(m_user.path());
        qputenv("VARNOTH_DATA_DIR", shared().toUtf8());
    }
    ~InstalledLayout()
    {
        qunsetenv("VARNOTH_DATA_DIR");
        ProgramDir = m_savedProgramDir;
    }
    QString bin() const { return m_prefix.path() + "/bin"; }
    QString shared() const { return m_prefix.path() + "/share/varnoth/"; }
    QString user() const { return WithTrailingSlash(m_user.path()); }

private:
    QTemporaryDir m_prefix;
    QTemporaryDir m_user;
    QString m_savedProgramDir;
};

} // namespace

TEST(ShippedDataDir, BesideTheExecutableWhenTheFilesAreThereElseShareVarnoth)
{
    QTemporaryDir root;
    const QString base = QDir(root.path()).canonicalPath();

    // Installed: nothing beside bin/varnoth, the files in share/varnoth.
    QDir(base).mkpath("usr/bin");
    QDir(base).mkpath("usr/share/varnoth");
    EXPECT_EQ(ShippedDataDirFor(base + "/usr/bin"), base + "/usr/share/varnoth/");

    // Portable: a language file (or the help page) beside the executable wins.
    touch(base + "/usr/bin/Francais.lan");
    EXPECT_EQ(ShippedDataDirFor(base + "/usr/bin"), base + "/usr/bin/");
    touch(base + "/app/help/index.html");
    EXPECT_EQ(ShippedDataDirFor(base + "/app"), base + "/app/");

    // Neither: the executable's own directory.
    QDir(base).mkpath("lonely");
    EXPECT_EQ(ShippedDataDirFor(base + "/lonely"), base + "/lonely/");
}

TEST(ShippedDataDir, HelpPageAndOverrideFollowTheDataDirectory)
{
    InstalledLayout layout;
    EXPECT_EQ(ShippedDataDir(), layout.shared());
    EXPECT_EQ(HelpPagePath(), layout.shared() + "help/index.html");
}

TEST(ShippedLanguages, ListedWithTheUsersOwnAndTheUsersFileWins)
{
    InstalledLayout layout;
    touch(layout.user() + "klingon.lan");
    touch(layout.user() + "language.lan"); // the template is never a language
    EXPECT_EQ(ListLanguages(), QStringList({"deutsch", "klingon"}));
    EXPECT_EQ(LanguageFilePath("deutsch"), layout.shared() + "Deutsch.lan");
    EXPECT_TRUE(LanguageFileExists("DEUTSCH"));

    // A translator's own copy in the program's directory replaces the shipped one.
    touch(layout.user() + "deutsch.lan");
    EXPECT_EQ(LanguageFilePath("Deutsch"), layout.user() + "deutsch.lan");
    EXPECT_EQ(ListLanguages(), QStringList({"deutsch", "klingon"}));

    // An explicit directory means that directory alone.
    EXPECT_EQ(ListLanguages(layout.shared()), QStringList({"deutsch"}));
}

TEST(ShippedLanguages, ANewLanguageFileIsMadeInTheProgramDirectoryNeverAmongTheShippedFiles)
{
    InstalledLayout layout;
    EXPECT_EQ(LanguageFilePath(DefaultLanguageName()), layout.user() + "language.lan");
    EXPECT_EQ(LanguageFilePath("espanol"), layout.user() + "espanol.lan");
    // Reading a missing language leaves an empty file for the translator: in
    // the user's directory.
    EXPECT_TRUE(ReadLanguageSection(LanguageFilePath("espanol"), "T_MAIN").isEmpty());
    EXPECT_TRUE(QFileInfo::exists(layout.user() + "espanol.lan"));
    EXPECT_EQ(QDir(layout.shared()).entryList(QDir::Files), QStringList({"Deutsch.lan"}));
}
