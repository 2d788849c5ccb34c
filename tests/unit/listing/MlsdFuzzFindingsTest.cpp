// MLSD listings the fuzzer found (tests/data/fuzz/mlsd-*): a modify time may
// carry any number of fraction digits; however many, the time is read (and
// no digit count makes the reading overflow).
#include "TestEnv.h"
#include "listing/MlsdParser.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(MlsdFuzzFindings, LongSecondFractionsKeepTheTime)
{
    QFile f(testenv::sourceDir() + "/tests/data/fuzz/mlsd-long-fraction.txt");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const MlsdListing listing = ParseMlsd(f.readAll());
    ASSERT_EQ(listing.entries.size(), 2u) << qPrintable(listing.Summary());
    for (const DirEntry& e : listing.entries) {
        EXPECT_EQ(e.date(), "31.01.2024") << qPrintable(e.name());
        EXPECT_EQ(e.time(), "23:59:59") << qPrintable(e.name());
    }
    EXPECT_EQ(listing.badFacts, 0u) << qPrintable(listing.Summary());
}
