// options.ftp keeps the proxy, SOCKS and firewall passwords in plain text:
// a file the program creates is readable by its owner only, and a file that
// exists keeps the permissions its owner gave it.
#include "settings/IniFile.h"
#include "settings/Options.h"

#include "SettingsTestDir.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

// A umask that would leave a new file readable by everyone.
struct OpenUmask {
    mode_t old = ::umask(022);
    ~OpenUmask() { ::umask(old); }
};

} // namespace

TEST(OptionsFile, CreatedOwnerOnlyWithThePasswordsInPlainText)
{
    OpenUmask umask;
    SettingsTestDir dir;
    SetDefaultOptions();
    FTPOptions.ProxyPsw = "proxy secret";
    FTPOptions.SocksPsw = "socks-secret";
    FTPOptions.fwPsw = "fw";
    ASSERT_TRUE(SaveOptions(TWindowSnapshot{}));
    const QString file = dir.path("options.ftp");
    EXPECT_EQ(modeOf(file), mode_t(0600));
    const TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("Proxy", "Psw", ""), "proxy secret");
    EXPECT_EQ(ini.ReadString("Socks", "Psw", ""), "socks-secret");
    EXPECT_EQ(ini.ReadString("Common", "fwPsw", ""), "fw");

    // Saved again (a temporary file renamed over it): still owner-only.
    FTPOptions.ProxyPsw = "changed";
    ASSERT_TRUE(SaveOptions(TWindowSnapshot{}));
    EXPECT_EQ(modeOf(file), mode_t(0600));
    EXPECT_EQ(TIniFile(file).ReadString("Proxy", "Psw", ""), "changed");
}

TEST(OptionsFile, TheLayoutSaveCreatesItOwnerOnlyToo)
{
    OpenUmask umask;
    SettingsTestDir dir;
    ASSERT_TRUE(SaveLayouts(TLayouts{}));
    EXPECT_EQ(modeOf(dir.path("options.ftp")), mode_t(0600));
}

TEST(OptionsFile, AnExistingFileKeepsItsPermissions)
{
    OpenUmask umask;
    SettingsTestDir dir;
    dir.write("options.ftp", "[Common]\nTimeOut=20\n");
    ASSERT_TRUE(QFile::setPermissions(dir.path("options.ftp"), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                   | QFileDevice::ReadGroup));
    SetDefaultOptions();
    ASSERT_TRUE(SaveOptions(TWindowSnapshot{}));
    EXPECT_EQ(modeOf(dir.path("options.ftp")), mode_t(0640));
}
