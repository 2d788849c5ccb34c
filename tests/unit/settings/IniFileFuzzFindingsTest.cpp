// INI files the fuzzer found (tests/data/fuzz/ini-*): a section header that
// never closes, and lone CRs, which the parser takes as line ends. Whatever
// such a file holds, it reads as sections of one-line names, and a save
// writes back exactly what was read.
#include "settings/IniFile.h"

#include "SettingsTestDir.h"
#include "TestEnv.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

QByteArray dataFile(const char* name)
{
    QFile f(testenv::sourceDir() + "/tests/data/fuzz/" + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << "missing data file " << name;
    return f.readAll();
}

using Pairs = QList<QPair<QString, QString>>;

QList<Pairs> everything(const TIniFile& ini)
{
    QList<Pairs> out;
    for (const QString& s : ini.ReadSections())
        out << ini.ReadSectionPairs(s);
    return out;
}

} // namespace

TEST(IniFileFuzzFindings, UnclosedHeadersAndLoneCrsReadAsLinesAndSurviveASave)
{
    SettingsTestDir dir;
    dir.write("broken.ini", dataFile("ini-broken-headers.ini"));
    TIniFile ini(dir.path("broken.ini"));

    // A header without "]" names no section; its lines stay where they were.
    EXPECT_EQ(ini.ReadSections(), QStringList({"Known", "Other", "cr section"}));
    EXPECT_EQ(ini.ReadString("Known", "UC", "-"), "me");
    EXPECT_EQ(ini.ReadString("Known", "after", "-"), "2");
    // A lone CR ends a line: "orphan" is a key of its own, not a copy of k.
    EXPECT_EQ(ini.ReadString("Other", "k", "-"), "v");
    EXPECT_EQ(ini.ReadString("Other", "orphan", "-"), "");
    EXPECT_EQ(ini.ReadString("cr section", "z", "-"), "3");

    dir.write("saved.ini", ini.ToBytes());
    TIniFile saved(dir.path("saved.ini"));
    EXPECT_EQ(saved.ReadSections(), ini.ReadSections());
    EXPECT_EQ(everything(saved), everything(ini));
}
