// Bad input never crashes the parser: garbage, binary bytes, enormous and
// truncated lines give entries with missing fields or are skipped. Link
// classification stays linear on large listings.
#include "ListingTestUtil.h"

#include "listing/ListingDate.h"

#include <ctime>
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
        EXPECT_TRUE(ParseListingDate(e.date + ' ' + e.time, 0.0, QDate(2026, 12, 8)).date.isValid());
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
    EXPECT_EQ(parse(0, lines).at(0).name.size(), word.size());
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
    EXPECT_EQ(vms[0].name, "LONG_NAME.TXT");
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

// CPU time of this thread: the machine may be busy with other work, and wall
// time would then measure the load rather than the parser.
qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

qint64 bestParseTimeNs(const QStringList& lines)
{
    qint64 best = std::numeric_limits<qint64>::max();
    for (int r = 0; r < 3; ++r) {
        const qint64 start = threadCpuNs();
        const ParsedListing parsed = parseListingEntries(lines, ListingFormat::ofType(7));
        best = std::min(best, threadCpuNs() - start);
        EXPECT_EQ(parsed.entries.size(), size_t(lines.size()));
    }
    return best;
}

TEST(ListingPerformance, LinksClassifyInLinearTime)
{
    const QStringList large = linkListing(200'000);
    const auto entries = parse(7, large);
    ASSERT_EQ(entries.size(), 200'000u);
    EXPECT_FALSE(entries.front().directory) << "the first link points at a file listed last";
    EXPECT_EQ(entries.front().linkTarget, "file99999.dat");

    const qint64 largeNs = bestParseTimeNs(large);
    const qint64 smallNs = bestParseTimeNs(linkListing(20'000));
    const qint64 noLinksNs = bestParseTimeNs(linkListing(200'000, false));
    const auto ms = [](qint64 ns) { return ns / 1'000'000; };
    // Classifying 100,000 links costs about as much as reading the lines; a
    // search through the names per link would cost fifty times more.
    EXPECT_LT(largeNs, noLinksNs * 4) << "with links " << ms(largeNs) << " ms, without " << ms(noLinksNs) << " ms";
    // Ten times the entries: linear is about 10x (more with cache misses);
    // quadratic would be about 100x.
    EXPECT_LT(largeNs, smallNs * 60) << "20k: " << ms(smallNs) << " ms, 200k: " << ms(largeNs) << " ms";
}

} // namespace
