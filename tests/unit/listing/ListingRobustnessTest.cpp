// Bad input never crashes the parser: garbage, binary bytes, enormous and
// truncated lines give entries with missing fields or are skipped. Link
// classification takes a number of steps linear in the listing's length.
#include "ListingTestUtil.h"

#include "listing/ListingDate.h"

#include <cstddef>
#include <random>

namespace {

const QStringList kSamples = {
    "-rw-r--r--   1 owner   group   1234 Jan 12 12:00 my file.txt",
    "lrwxrwxrwx 1 o g 7 Jan 1 10:00 docs -> pub/docs",
    "12-24-03  02:15PM       <DIR>          My Dir",
    "12-24-03  02:15PM           3221225472 big.iso",
    "FOO.DIR;1              1/3      24-DEC-2003 10:00:23  [SMITH]   (RWE,RWE,RE,RE)",
    "DISK$ARCHIVE:[USERS.SMITH]",
    "Directory USERS:[SMITH.PUB]",
    "-------r--         326  1391972  1392298 Nov 22  1995 MegaPhone.sit",
};

// Every entry must survive its own text form and give some date.
void expectSane(const ParsedListing& parsed)
{
    for (const DirEntry& e : parsed.entries) {
        EXPECT_EQ(DirEntry::fromText(e.toText()), e);
        EXPECT_TRUE(ParseListingDate(e.date() + ' ' + e.time(), 0.0, QDate(2026, 12, 8)).date.isValid());
    }
}

ParsedListing parseAs(int type, const QStringList& lines)
{
    return parseListingEntries(lines, ListingFormat::fromAnswer(QString::number(type) + "957681"));
}

TEST(ListingBadInput, TruncatedLinesOfEveryShape)
{
    for (int type = 0; type <= 9; ++type) {
        for (const QString& sample : kSamples) {
            QStringList prefixes;
            for (qsizetype n = 0; n <= sample.size(); ++n)
                prefixes.append(sample.left(n));
            const ParsedListing parsed = parseAs(type, prefixes);
            EXPECT_LE(parsed.entries.size(), size_t(prefixes.size()));
            expectSane(parsed);
        }
    }
}

TEST(ListingBadInput, RandomBinaryBytes)
{
    std::mt19937 rng(20261208);
    QStringList latin1, utf8;
    for (int i = 0; i < 1500; ++i) {
        QByteArray bytes(int(rng() % 200), '\0');
        for (char& c : bytes)
            c = char(rng() % 256);
        latin1.append(QString::fromLatin1(bytes));
        utf8.append(QString::fromUtf8(bytes));
    }
    for (int type = 0; type <= 9; ++type) {
        expectSane(parseAs(type, latin1));
        expectSane(parseAs(type, utf8));
    }
}

TEST(ListingBadInput, EnormousLines)
{
    const QString spaces(2'000'000, ' ');
    const QString word(2'000'000, 'x');
    const QStringList lines = {"-rw-r--r-- 1 o g 12 Jan 1 10:00 " + word, spaces + "x y z", word,
                               "lrwxrwxrwx 1 o g 1 Jan 1 10:00 a ->" + spaces};
    for (int type = 0; type <= 9; ++type)
        expectSane(parseAs(type, lines));
    EXPECT_EQ(parse(0, lines).at(0).name().size(), word.size());
}

TEST(ListingBadInput, GarbageLinesAndOddVmsEndings)
{
    const QStringList garbage = {"", "x", "ab", "   ", "\t\t\t", "-> ->", "l ->", "total", "Total of ",
                                 "%", "DISK$ARCHIVE:[", "Directory USERS:[", "Directory x", "<DIR>",
                                 "12-24-03", "-- -- -- -- -- -- -- --", "NAME_ONLY;1"};
    for (int type = 0; type <= 9; ++type)
        expectSane(parseAs(type, garbage));
    // A VMS name-only line at the very end has nothing to join with.
    const auto vms = parse(5, {"LONG_NAME.TXT;1"});
    ASSERT_EQ(vms.size(), 1u);
    EXPECT_EQ(vms[0].name(), "LONG_NAME.TXT");
    EXPECT_TRUE(parse(5, {"DISK$ARCHIVE:["}).empty());
}

TEST(ListingBadInput, CustomPositionsOutOfRange)
{
    // Positions beyond the token count, hex digits above 9, and no name at all.
    for (const char* answer : {"4999999", "4FFFFFF", "4", "4000000", "41111111"}) {
        const ParsedListing parsed = parseListingEntries(kSamples, ListingFormat::fromAnswer(QString(answer)));
        expectSane(parsed);
    }
    const ListingFormat f = ListingFormat::fromAnswer(u"4A1B2C3");
    EXPECT_EQ(f.namePos, 0);
    EXPECT_EQ(f.sizePos, 1);
    EXPECT_EQ(f.monthPos, 0);
    EXPECT_EQ(f.dayPos, 2);
    EXPECT_EQ(f.timePos, 0);
    EXPECT_EQ(f.attributePos, 3);
}

// Half the entries are links whose targets are listed after them (or, for
// the comparison, plain files in their place).
QStringList linkListing(int entries, bool links = true)
{
    QStringList lines;
    lines.reserve(entries);
    const int files = entries / 2;
    for (int i = 0; i < files; ++i)
        lines.append(links ? QStringLiteral("lrwxrwxrwx 1 o g 12 Jan 1 10:00 link%1 -> file%2.dat").arg(i).arg(files - 1 - i)
                           : QStringLiteral("-rw-r--r-- 1 o g 12 Jan 1 10:00 other%1 -> x%2.dat").arg(i).arg(i));
    for (int i = 0; i < files; ++i)
        lines.append(QStringLiteral("-rw-r--r-- 1 o g 12 Jan 1 10:00 file%1.dat").arg(i));
    return lines;
}

// Links that point at the next link, the last one at a file: resolving the
// first link follows the whole chain, and every other link must reuse it.
QStringList linkChain(int links)
{
    QStringList lines;
    for (int i = 0; i < links; ++i)
        lines.append(QStringLiteral("lrwxrwxrwx 1 o g 12 Jan 1 10:00 hop%1 -> hop%2").arg(i).arg(i + 1));
    lines.append(QStringLiteral("-rw-r--r-- 1 o g 12 Jan 1 10:00 hop%1").arg(links));
    return lines;
}

std::size_t linkSteps(const QStringList& lines)
{
    const ParsedListing parsed = parseListingEntries(lines, ListingFormat::ofType(7));
    EXPECT_EQ(parsed.entries.size(), size_t(lines.size()));
    return parsed.linkSteps;
}

// Linear without a clock: the parser counts its steps (table insertions,
// look-ups, links followed). Linear work doubles with the listing and stays
// under a few steps per entry; searching the names for every link would take
// on the order of entries x links steps, and following each chain afresh
// about links^2 / 2. The time it takes is measured in bench/listing_parse.cpp.
TEST(ListingPerformance, LinksClassifyInLinearSteps)
{
    const QStringList large = linkListing(200'000);
    const ParsedListing parsed = parseListingEntries(large, ListingFormat::ofType(7));
    ASSERT_EQ(parsed.entries.size(), 200'000u);
    EXPECT_FALSE(parsed.entries.front().directory) << "the first link points at a file listed last";
    EXPECT_EQ(parsed.entries.front().linkTarget(), "file99999.dat");
    EXPECT_LE(parsed.linkSteps, 4u * 200'000);

    const std::size_t n = linkSteps(linkListing(20'000));
    const std::size_t twice = linkSteps(linkListing(40'000));
    EXPECT_GT(n, 0u);
    EXPECT_LE(n, 4u * 20'000);
    EXPECT_LE(twice, 2 * n + 2) << "20k entries: " << n << " steps, 40k: " << twice;
    EXPECT_GE(twice, 2 * n - 2) << "20k entries: " << n << " steps, 40k: " << twice;

    // Without links nothing is classified at all.
    EXPECT_EQ(linkSteps(linkListing(200'000, false)), 0u);
}

TEST(ListingPerformance, ChainsOfLinksAreFollowedOnce)
{
    const QStringList chain = linkChain(10'000);
    const ParsedListing parsed = parseListingEntries(chain, ListingFormat::ofType(7));
    ASSERT_EQ(parsed.entries.size(), 10'001u);
    for (const DirEntry& e : parsed.entries)
        ASSERT_FALSE(e.directory) << e.name().toStdString() << ": every hop ends at the file";
    EXPECT_LE(parsed.linkSteps, 4u * 10'001) << "a chain followed again for every link takes 50 million steps";
    EXPECT_LE(linkSteps(linkChain(20'000)), 2 * parsed.linkSteps + 2);

    // The same chain closed into a cycle: every link stays a directory, and
    // the cycle is walked once.
    QStringList cycle = linkChain(10'000);
    cycle.last() = QStringLiteral("lrwxrwxrwx 1 o g 12 Jan 1 10:00 hop10000 -> hop0");
    const ParsedListing looped = parseListingEntries(cycle, ListingFormat::ofType(7));
    for (const DirEntry& e : looped.entries)
        ASSERT_TRUE(e.directory) << e.name().toStdString();
    EXPECT_LE(looped.linkSteps, 4u * 10'001);
}

} // namespace
