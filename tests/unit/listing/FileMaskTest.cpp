// File-name masks: the comma list, the equal-piece-count rule, wildcards
// inside a piece.
#include "listing/FileMask.h"

#include <gtest/gtest.h>

namespace {

struct MaskRow {
    const char* name;
    const char* mask;
    const char* file;
    bool matches;
};

void PrintTo(const MaskRow& r, std::ostream* os) { *os << r.name; }

class FileMasks : public ::testing::TestWithParam<MaskRow> {};

TEST_P(FileMasks, Match)
{
    const MaskRow& r = GetParam();
    EXPECT_EQ(MatchesFilter(QString::fromUtf8(r.file), QString::fromUtf8(r.mask)), r.matches)
        << "mask '" << r.mask << "' name '" << r.file << "'";
}

INSTANTIATE_TEST_SUITE_P(
    EveryName, FileMasks,
    ::testing::Values(MaskRow{"StarDotStar", "*.*", "README", true},
                      MaskRow{"StarDotStarPadded", "  *.*  ", "a.b.c", true},
                      MaskRow{"Star", "*", "archive.tar.gz", true}, MaskRow{"Empty", "", "x", true}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Pieces, FileMasks,
    ::testing::Values(MaskRow{"Extension", "*.txt", "notes.txt", true},
                      MaskRow{"ThreePiecesAgainstTwo", "*.txt", "archive.tar.txt", false},
                      MaskRow{"NoDotAgainstTwo", "*.txt", "README", false},
                      MaskRow{"IgnoresCase", "*.TXT", "Notes.txt", true},
                      MaskRow{"OtherExtension", "*.txt", "notes.doc", false},
                      MaskRow{"LongerExtension", "*.txt", "notes.txt2", false},
                      MaskRow{"TrailingDotDropped", "*.txt", "notes.txt.", true},
                      MaskRow{"PiecesTrimmed", "*.txt", "notes . txt ", true},
                      MaskRow{"TwoStarPieces", "*.*.*", "a..b", true},
                      MaskRow{"StarDotStarInAListCountsPieces", "*.*,*.log", "README", false},
                      MaskRow{"HiddenFileKeepsItsDot", "*.txt", ".notes.txt", true},
                      MaskRow{"HiddenNamesOnly", ".*", ".profile", true},
                      MaskRow{"HiddenMaskSkipsPlainNames", ".*", "profile", false},
                      MaskRow{"StarPieceMatchesHiddenName", "*", ".profile", true},
                      MaskRow{"NonAsciiCase", "ÜBER.*", "über.txt", true}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Lists, FileMasks,
    ::testing::Values(MaskRow{"SecondMask", "*.doc, *.txt", "notes.txt", true},
                      MaskRow{"NeitherMask", "*.doc,*.pdf", "notes.txt", false},
                      MaskRow{"MasksTrimmed", " *.doc ,  *.txt  ", "a.txt", true},
                      MaskRow{"EmptyMaskInListMatchesNothing", "*.doc,", "a.txt", false}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Wildcards, FileMasks,
    ::testing::Values(MaskRow{"QuestionMarkOneCharacter", "file?", "file1", true},
                      MaskRow{"QuestionMarkNotZero", "file?", "file", false},
                      MaskRow{"QuestionMarkNotTwo", "file?", "file12", false},
                      MaskRow{"QuestionMarkWithExtension", "a?.log", "a1.log", true},
                      MaskRow{"QuestionMarkWithExtensionTooLong", "a?.log", "ab1.log", false},
                      MaskRow{"LeadingStar", "*p.txt", "app.txt", true},
                      MaskRow{"LeadingStarPiece", "*p", "app", true},
                      MaskRow{"LeadingStarMustEndRight", "*p", "apple", false},
                      MaskRow{"Backtracking", "a*c*e", "abcde", true},
                      MaskRow{"BacktrackingRepeats", "a*b*c", "aXbYbZc", true},
                      MaskRow{"BacktrackingFails", "a*c*e", "abcdf", false},
                      MaskRow{"TrailingStar", "rep*", "report", true},
                      MaskRow{"TrailingStarEmpty", "rep*", "rep", true},
                      MaskRow{"TrailingQuestionMark", "re?", "re", false},
                      MaskRow{"StarThenQuestionMark", "*?", "x", true},
                      MaskRow{"StarThenQuestionMarkNeedsOne", "a*?", "a", false},
                      MaskRow{"DoubleStar", "**x", "abx", true},
                      MaskRow{"RegexCharactersLiteral", "x(1)+.*", "x(1)+.txt", true},
                      MaskRow{"RegexCharactersNotSpecial", "x(1)+.*", "xx1.txt", false},
                      MaskRow{"QuestionMarkTakesSurrogatePair", "?.txt", "\xF0\x9F\x98\x80.txt", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileMask, CompiledOnceMatchesManyNames)
{
    const FileMask mask(QStringLiteral("*.txt,data??.*"));
    EXPECT_FALSE(mask.MatchesEverything());
    EXPECT_TRUE(mask.Matches(u"a.txt"));
    EXPECT_TRUE(mask.Matches(u"data01.csv"));
    EXPECT_FALSE(mask.Matches(u"data1.csv"));
    EXPECT_TRUE(FileMask().MatchesEverything());
    EXPECT_TRUE(FileMask(QStringLiteral("*.*")).MatchesEverything());
}

TEST(FileMask, LongStarRunsStayCheap)
{
    // A pattern that makes naive recursive matching exponential.
    const QString name = QString(200, QLatin1Char('a'));
    EXPECT_FALSE(MatchesFilter(name, QStringLiteral("*a*a*a*a*a*a*a*a*a*a*b")));
    EXPECT_TRUE(MatchesFilter(name, QStringLiteral("*a*a*a*a*a*a*a*a*a*a")));
}

} // namespace
