// The texts and masks of the local file list: grouped sizes, mask matching.
#include "listing/FileMask.h"
#include "listing/ListingDisplay.h"

#include <gtest/gtest.h>

TEST(LocalFiles, ByteCountsAreGroupedByThreeWithSpaces)
{
    EXPECT_EQ(GroupedByteCount(0), "0");
    EXPECT_EQ(GroupedByteCount(999), "999");
    EXPECT_EQ(GroupedByteCount(1000), "1 000");
    EXPECT_EQ(GroupedByteCount(1234567), "1 234 567");
    EXPECT_EQ(GroupedByteCount(5000000000LL), "5 000 000 000");
}

TEST(LocalFiles, MasksMatchWithoutRegardToCase)
{
    EXPECT_TRUE(MatchesFilter("README", "*.*"));
    EXPECT_TRUE(MatchesFilter("notes.TXT", "*.txt"));
    EXPECT_FALSE(MatchesFilter("notes.txt.bak", "*.txt"));
    EXPECT_TRUE(MatchesFilter("a1.log", "a?.log"));
    EXPECT_FALSE(MatchesFilter("ab1.log", "a?.log"));
    // Regular-expression characters in a name or mask are literal.
    EXPECT_TRUE(MatchesFilter("x(1)+.txt", "x(1)+.*"));
    EXPECT_FALSE(MatchesFilter("xx1.txt", "x(1)+.*"));
}

// How a folder becomes rows (filter, sizes, dates, an unreadable folder) is
// tested on the local list model, tests/unit/listing/LocalListModelTest.cpp.
