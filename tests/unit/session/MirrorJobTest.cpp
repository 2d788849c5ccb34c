// Mirror job files: real .cpf files in a temporary directory, read into and
// written from the process's one job. A damaged file must never turn on a
// more destructive setting than the job already has.
#include "session/MirrorJob.h"

#include "settings/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class MirrorJobTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("job.cpf"));
    TMirrorJob saved = MirrorJob;

    void SetUp() override { MirrorJob = TMirrorJob(); }
    void TearDown() override { MirrorJob = saved; }

    void write(const QByteArray& text) const
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
};

TEST_F(MirrorJobTest, StartsWithTheCautiousDefaults)
{
    const TMirrorJob job;
    EXPECT_TRUE(job.Local.isEmpty());
    EXPECT_TRUE(job.Remote.isEmpty());
    EXPECT_TRUE(job.Exclusions.isEmpty());
    EXPECT_EQ(job.Direction, mirror::MirrorLocal);
    EXPECT_EQ(job.FileExists, mirror::Overwrite);
    EXPECT_EQ(job.Params, 26);
    EXPECT_FALSE(job.Has(mirror::DeleteMissing));
    EXPECT_FALSE(job.Has(mirror::IncludeSubfolders));
}

TEST_F(MirrorJobTest, SavedJobReadsBackUnchangedAndKeepsOtherSections)
{
    write("[Other]\nKeep=me\n");
    MirrorJob = {"/home/u/site", "/pub/www", "*.bak|tmp", mirror::MirrorBoth, mirror::Ask, 31};
    const TMirrorJob written = MirrorJob;
    ASSERT_TRUE(SaveMirrorJob(file));

    const TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("Mirror", "File Exists", ""), QStringLiteral("3"));
    EXPECT_EQ(ini.ReadString("Mirror", "Params", ""), QStringLiteral("31"));
    EXPECT_EQ(ini.ReadString("Other", "Keep", ""), QStringLiteral("me"));

    MirrorJob = TMirrorJob();
    ASSERT_TRUE(LoadMirrorJob(file));
    EXPECT_EQ(MirrorJob, written);
}

TEST_F(MirrorJobTest, MissingFileOrKeysKeepTheCurrentValues)
{
    MirrorJob = {"/l", "/r", "x", mirror::MirrorRemote, mirror::Skip, 9};
    const TMirrorJob before = MirrorJob;
    EXPECT_FALSE(LoadMirrorJob(dir.filePath("absent.cpf")));
    EXPECT_EQ(MirrorJob, before);

    write("[Mirror]\nRemote=/other\n");
    ASSERT_TRUE(LoadMirrorJob(file));
    TMirrorJob expected = before;
    expected.Remote = "/other";
    EXPECT_EQ(MirrorJob, expected);
}

TEST_F(MirrorJobTest, DamagedNumbersCountAsMissingKeys)
{
    MirrorJob.Direction = mirror::MirrorLocal;
    MirrorJob.FileExists = mirror::Skip;
    MirrorJob.Params = 26;
    for (const char* text : {"[Mirror]\nDirection=7\nFile Exists=9\nParams=-1\n",
                             "[Mirror]\nDirection=-1\nFile Exists=-2\nParams=-5\n",
                             "[Mirror]\nDirection=one\nFile Exists=\nParams=31x\n",
                             "[Mirror]\nDirection=99999999999\nFile Exists=4\nParams=\n"}) {
        SCOPED_TRACE(text);
        write(text);
        ASSERT_TRUE(LoadMirrorJob(file));
        EXPECT_EQ(MirrorJob.Direction, mirror::MirrorLocal);
        EXPECT_EQ(MirrorJob.FileExists, mirror::Skip);
        EXPECT_EQ(MirrorJob.Params, 26);
    }
    // The highest valid values are taken.
    write("[Mirror]\nDirection=2\nFile Exists=3\nParams=0\n");
    ASSERT_TRUE(LoadMirrorJob(file));
    EXPECT_EQ(MirrorJob.Direction, mirror::MirrorBoth);
    EXPECT_EQ(MirrorJob.FileExists, mirror::Ask);
    EXPECT_EQ(MirrorJob.Params, 0);
}

TEST_F(MirrorJobTest, ParamsBitsAboveSixteenAreIgnored)
{
    write("[Mirror]\nParams=31\n");
    ASSERT_TRUE(LoadMirrorJob(file));
    for (int bit : {mirror::IncludeSubfolders, mirror::IgnoreLinks, mirror::DeleteMissing, mirror::PromptDelete,
                    mirror::AllBinary})
        EXPECT_TRUE(MirrorJob.Has(bit)) << bit;

    write("[Mirror]\nParams=26\n");
    ASSERT_TRUE(LoadMirrorJob(file));
    EXPECT_FALSE(MirrorJob.Has(mirror::IncludeSubfolders));
    EXPECT_FALSE(MirrorJob.Has(mirror::DeleteMissing));
    EXPECT_TRUE(MirrorJob.Has(mirror::IgnoreLinks));
    EXPECT_TRUE(MirrorJob.Has(mirror::PromptDelete));
    EXPECT_TRUE(MirrorJob.Has(mirror::AllBinary));

    write("[Mirror]\nParams=58\n"); // 32 + 26
    ASSERT_TRUE(LoadMirrorJob(file));
    EXPECT_EQ(MirrorJob.Params, 26);
}

TEST(MirrorExclusions, SplitTrimsAndDropsEmptyItems)
{
    EXPECT_EQ(SplitExclusions("a| |b|"), QStringList({"a", "b"}));
    EXPECT_EQ(SplitExclusions(" *.bak |  tmp dir  "), QStringList({"*.bak", "tmp dir"}));
    EXPECT_TRUE(SplitExclusions("").isEmpty());
    EXPECT_TRUE(SplitExclusions("||").isEmpty());
    EXPECT_EQ(JoinExclusions({" a", "", "  ", "b "}), QStringLiteral("a|b"));
    EXPECT_EQ(JoinExclusions({}), QString());
}

} // namespace
