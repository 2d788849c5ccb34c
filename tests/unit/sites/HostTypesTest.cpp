// The Answer code of a site and the user's host types in "Answer.txt": the
// code built from the position fields, the list operations that never touch
// the first entry, reading and quoting the file's lines, and writing the file
// in the program directory only when the types changed and could be read.
#include "settings/Globals.h"
#include "sites/HostTypes.h"
#include "sites/SiteRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

class AnswerFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        savedDir = ProgramDir;
        ProgramDir = WithTrailingSlash(dir.path());
    }
    void TearDown() override { ProgramDir = savedDir; }
    QString path() const { return dir.filePath(QStringLiteral("Answer.txt")); }

    QTemporaryDir dir;
    QString savedDir;
};

} // namespace

// --- the code ---

TEST(BuildAnswer, TypeDigitThenOneLowerCaseHexDigitPerField)
{
    EXPECT_EQ(BuildAnswer(0, {"9", "5", "7", "6", "8", "1"}), DefaultAnswer);
    EXPECT_EQ(BuildAnswer(4, {"1", "2", "3", "4", "5", "6"}), QStringLiteral("4123456"));
    // 12 is the digit "c", which the listing parser treats as absent; 15 is
    // the last one a single digit holds.
    EXPECT_EQ(BuildAnswer(4, {"12", "15", "10", "0", "9", "11"}), QStringLiteral("4cfa09b"));
}

TEST(BuildAnswer, EmptyUnreadableAndOutOfRangeFieldsGiveZero)
{
    EXPECT_EQ(BuildAnswer(4, {"", "16", "99", "-1", "x", " 3 "}), QStringLiteral("4000003"));
    // Missing fields count as empty.
    EXPECT_EQ(BuildAnswer(7, {"2"}), QStringLiteral("7200000"));
}

TEST(AnswerPositionTexts, LowerCaseHexDigitsBackToDecimalAnythingElseZero)
{
    EXPECT_EQ(AnswerPositionTexts(DefaultAnswer), QStringList({"9", "5", "7", "6", "8", "1"}));
    EXPECT_EQ(AnswerPositionTexts("4cfa09b"), QStringList({"12", "15", "10", "0", "9", "11"}));
    // Upper case is not a digit of the format; a short code ends in zeros.
    EXPECT_EQ(AnswerPositionTexts("4C1g"), QStringList({"0", "1", "0", "0", "0", "0"}));
    EXPECT_EQ(AnswerPositionTexts(""), QStringList({"0", "0", "0", "0", "0", "0"}));
}

TEST(AnswerServerType, OnlySevenCharacterCodesStartingWithADigit)
{
    EXPECT_EQ(AnswerServerType("4123456"), 4);
    EXPECT_EQ(AnswerServerType(DefaultAnswer), 0);
    EXPECT_EQ(AnswerServerType("9957681"), 9);
    EXPECT_EQ(AnswerServerType(""), -1);
    EXPECT_EQ(AnswerServerType("412345"), -1);
    EXPECT_EQ(AnswerServerType("41234567"), -1);
    EXPECT_EQ(AnswerServerType("x123456"), -1);
    EXPECT_EQ(AnswerServerType(QStringLiteral("\u0664123456")), -1); // an Arabic-Indic four
}

// --- the list ---

TEST(HostTypeList, TheFirstEntryCanBeNeitherRenamedRecodedNorRemoved)
{
    THostTypes types("Standard");
    ASSERT_EQ(types.Count(), 1);
    EXPECT_EQ(types.Name(0), QStringLiteral("Standard"));
    EXPECT_EQ(types.Code(0), DefaultAnswer);
    EXPECT_FALSE(types.Rename(0, "Mine"));
    EXPECT_FALSE(types.SetCode(0, "4123456"));
    EXPECT_FALSE(types.Remove(0));
    EXPECT_EQ(types.Name(0), QStringLiteral("Standard"));
    EXPECT_EQ(types.Code(0), DefaultAnswer);
    EXPECT_EQ(types.Count(), 1);
}

TEST(HostTypeList, AddRenameRecodeAndRemoveTheOthers)
{
    THostTypes types;
    EXPECT_EQ(types.Add("Odd server"), 1);
    EXPECT_EQ(types.Add("Other"), 2);
    EXPECT_EQ(types.Code(1), DefaultAnswer);
    EXPECT_TRUE(types.SetCode(1, "4123456"));
    EXPECT_TRUE(types.Rename(1, "Odd FTP"));
    EXPECT_EQ(types.IndexOf("Odd FTP"), 1);
    EXPECT_EQ(types.IndexOf("Odd server"), -1);
    EXPECT_EQ(types.Code(1), QStringLiteral("4123456"));
    EXPECT_TRUE(types.Remove(2));
    EXPECT_FALSE(types.Remove(2));
    EXPECT_FALSE(types.Rename(5, "x"));
    EXPECT_FALSE(types.SetCode(-1, "4123456"));
    EXPECT_EQ(types.Code(9), DefaultAnswer);
    EXPECT_EQ(types.Name(9), QString());
    EXPECT_EQ(types.Count(), 2);
}

TEST(HostTypeList, ReadingTakesNamesAndCodesAndMakesTheFirstEntryTheDefault)
{
    THostTypes types("Default");
    types.ReadLines({"\"Whatever\",4111111", "\"Odd\",4123456", "Plain name", "\"Short code\",41", " Bare , 4654321 ",
                     ",4777777"});
    // The first line is the default type whatever it held; a line with no
    // code or a code of another length gets the default code; an unnamed one
    // is passed by.
    ASSERT_EQ(types.Count(), 5);
    EXPECT_EQ(types.Items()[0], (THostType{"Default", DefaultAnswer}));
    EXPECT_EQ(types.Items()[1], (THostType{"Odd", "4123456"}));
    EXPECT_EQ(types.Items()[2], (THostType{"Plain name", DefaultAnswer}));
    EXPECT_EQ(types.Items()[3], (THostType{"Short code", DefaultAnswer}));
    EXPECT_EQ(types.Items()[4], (THostType{"Bare", "4654321"}));

    THostTypes none("Default");
    none.ReadLines({});
    EXPECT_EQ(none.Items(), QList<THostType>({{"Default", DefaultAnswer}}));
}

TEST(HostTypeList, NamesWithQuotesAndCommasSurviveWritingAndReading)
{
    THostTypes types;
    types.SetCode(types.Add("say \"hi\""), "4123456");
    types.SetCode(types.Add("a, b"), "4654321");
    types.Add("\"");
    const QStringList lines = types.Lines();
    EXPECT_EQ(lines, QStringList({"\"Default\",0957681", "\"say \"\"hi\"\"\",4123456", "\"a, b\",4654321",
                                  "\"\"\"\",0957681"}));
    THostTypes back;
    back.ReadLines(lines);
    EXPECT_EQ(back, types);
}

TEST(SplitAnswerLine, QuotedAndBareFields)
{
    EXPECT_EQ(SplitAnswerLine("\"a \"\"b\"\"\",4123456"), QStringList({"a \"b\"", "4123456"}));
    EXPECT_EQ(SplitAnswerLine("name"), QStringList({"name"}));
    EXPECT_EQ(SplitAnswerLine("name,"), QStringList({"name", ""}));
    EXPECT_EQ(SplitAnswerLine("\"open quote,4123456"), QStringList({"open quote,4123456"}));
    EXPECT_EQ(SplitAnswerLine("\"x\" junk,4123456,more"), QStringList({"x", "4123456", "more"}));
    EXPECT_EQ(QuoteAnswerName("a\"b"), QStringLiteral("\"a\"\"b\""));
}

// --- the file ---

TEST_F(AnswerFile, LivesInTheProgramDirectoryNotTheCurrentOne)
{
    EXPECT_EQ(AnswerFilePath(), ProgramDir + "Answer.txt");
    QTemporaryDir elsewhere;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    EXPECT_EQ(AnswerFilePath(), ProgramDir + "Answer.txt");
    QDir::setCurrent(before);
    // A file copied from a system that ignores case is found as it is named.
    writeFile(dir.filePath("ANSWER.TXT"), "\"Default\",0957681\n");
    EXPECT_EQ(AnswerFilePath(), ProgramDir + "ANSWER.TXT");
}

TEST_F(AnswerFile, AMissingFileGivesTheDefaultTypeAndIsNotCreatedForNothing)
{
    THostTypeFile file("Default", path());
    EXPECT_FALSE(file.Unreadable());
    EXPECT_EQ(file.Types().Count(), 1);
    EXPECT_FALSE(file.Changed());
    EXPECT_TRUE(file.Save());
    EXPECT_FALSE(QFileInfo::exists(path()));
}

TEST_F(AnswerFile, ChangedTypesAreWrittenThroughANewFileRenamedOverTheOld)
{
    writeFile(path(), "\"Default\",0957681\r\n\"Odd\",4123456\r\n");
    THostTypeFile file("Default", path());
    EXPECT_TRUE(file.Save()); // unchanged: not rewritten
    EXPECT_EQ(readFile(path()), QByteArray("\"Default\",0957681\r\n\"Odd\",4123456\r\n"));

    file.Types().SetCode(file.Types().Add("New \"one\""), "4222222");
    EXPECT_TRUE(file.Changed());
    ASSERT_TRUE(file.Save());
    EXPECT_FALSE(file.Changed());
    EXPECT_EQ(readFile(path()), QByteArray("\"Default\",0957681\n\"Odd\",4123456\n\"New \"\"one\"\"\",4222222\n"));
    // Nothing but the file itself is left in the directory.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"Answer.txt"}));

    THostTypeFile again("Default", path());
    EXPECT_EQ(again.Types(), file.Types());
}

TEST_F(AnswerFile, AFileThatCannotBeReadIsNeverRewritten)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads any file";
    writeFile(path(), "\"Default\",0957681\n\"Precious\",4123456\n");
    ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::WriteOwner));
    THostTypeFile file("Default", path());
    EXPECT_TRUE(file.Unreadable());
    file.Types().Add("New");
    QString error;
    EXPECT_FALSE(file.Save(&error));
    EXPECT_FALSE(error.isEmpty());
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(readFile(path()), QByteArray("\"Default\",0957681\n\"Precious\",4123456\n"));
}

TEST_F(AnswerFile, ADirectoryInPlaceOfTheFileIsNotReplaced)
{
    // Also unreadable as a file, whoever runs the test.
    ASSERT_TRUE(QDir().mkpath(path()));
    THostTypeFile file("Default", path());
    EXPECT_TRUE(file.Unreadable());
    file.Types().Add("New");
    EXPECT_FALSE(file.Save());
    EXPECT_TRUE(QFileInfo(path()).isDir());
}
