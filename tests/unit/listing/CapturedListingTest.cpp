// Listings captured from the real pyftpdlib and vsftpd servers (see
// tests/data/listings/capture.sh): a tree with spaces in names, links to a
// file (listed before it), to a directory and to nothing, an old file shown
// with its year and recent ones shown with their times.
#include "ListingTestUtil.h"

#include "listing/ListingDate.h"

#include <QFile>

namespace {

QStringList capturedLines(const QString& name)
{
    QFile f(QStringLiteral(VARNOTH_SOURCE_DIR "/tests/data/listings/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Both servers list the same tree; only the size column differs per type
// (7 always reads the owner and group columns; 0 finds them itself).
std::vector<DirEntry> expectedTree(bool yearInDate)
{
    return {
        D("My Folder", "4096", "Nov 21", "08:05", "drwxr-xr-x"),
        D("Program Files", "4096", "Nov 21", "08:05", "drwxr-xr-x"),
        D("dangling", "", "Nov 20", "10:30", "lrwxrwxrwx", "nowhere"),
        D("dirlink", "", "Nov 20", "10:30", "lrwxrwxrwx", "My Folder"),
        F("file with spaces.txt", "29", "Nov 21", "08:05", "-rw-r--r--"),
        F("linkfile", "9", "Nov 20", "10:30", "lrwxrwxrwx", "plain.txt"),
        yearInDate ? F("old.txt", "4", "Jun 15 1999", "", "-rw-r--r--")
                   : F("old.txt", "4", "Jun 15", "1999", "-rw-r--r--"),
        F("plain.txt", "6", "Nov 20", "10:30", "-rw-r--r--"),
    };
}

class CapturedListing : public ::testing::TestWithParam<const char*> {};

TEST_P(CapturedListing, DefaultTypeReadsExactEntries)
{
    const QStringList lines = capturedLines(GetParam());
    ASSERT_EQ(lines.size(), 8) << GetParam();
    EXPECT_EQ(parse(0, lines), expectedTree(false));
}

TEST_P(CapturedListing, UnixTypeReadsExactEntries)
{
    const QStringList lines = capturedLines(GetParam());
    ASSERT_EQ(lines.size(), 8) << GetParam();
    const auto entries = parse(7, lines);
    EXPECT_EQ(entries, expectedTree(true));
    // Dates as the listing view shows them, read on the capture day.
    const QDate today(2026, 12, 8);
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(ParseListingDate(entries[6].date() + ' ' + entries[6].time(), 0.0, today).date, QDate(1999, 6, 15));
    const ListingDateTime plain = ParseListingDate(entries[7].date() + ' ' + entries[7].time(), 0.0, today);
    EXPECT_EQ(plain.date, QDate(2026, 11, 20));
    EXPECT_EQ(plain.time, QTime(10, 30));
}

INSTANTIATE_TEST_SUITE_P(Servers, CapturedListing, ::testing::Values("pyftpdlib.txt", "vsftpd.txt"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return QString::fromLatin1(info.param).section('.', 0, 0).toStdString();
                         });

} // namespace
