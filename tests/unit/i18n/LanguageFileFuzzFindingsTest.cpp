// Language files the fuzzer found (tests/data/fuzz/language-*): a lone CR
// ends a line, as it does for the INI parser that writes the files, so what
// is read can be written and read back unchanged.
#include "i18n/LanguageFile.h"

#include "TestEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(LanguageFileFuzzFindings, LoneCarriageReturnsEndLinesAndPairsSurviveAWrite)
{
    const QString data = testenv::sourceDir() + "/tests/data/fuzz/language-lone-cr.lan";
    ASSERT_TRUE(QFile::exists(data));
    const TLangPairs main = ReadLanguageSection(data, "T_MAIN");
    EXPECT_EQ(main, TLangPairs({{"Self.Caption", "Varnoth"}, {"SpeedButton1.Caption", "H"}}));
    EXPECT_EQ(ReadLanguageSection(data, "T_ABOUT"), TLangPairs({{"label.Caption", "x"}}));

    QTemporaryDir dir;
    const QString copy = dir.filePath("copy.lan");
    ASSERT_TRUE(WriteLanguageSection(copy, "T_MAIN", main));
    EXPECT_EQ(ReadLanguageSection(copy, "T_MAIN"), main);
}
