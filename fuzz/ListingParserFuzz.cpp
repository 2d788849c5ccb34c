// The listing parser and the date reading behind the remote pane: the first
// byte picks the server type (and, for the custom type, the next six bytes
// are the column positions) and the time-zone shift; the rest is the bytes of
// a listing as the data connection delivers them.
#include "FuzzSupport.h"

#include "listing/DirEntry.h"
#include "listing/ListingDate.h"
#include "listing/ListingParser.h"
#include "listing/ListingText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input in(data, size);
    const uint8_t pick = in.byte();
    QString answer(QChar(u'0' + pick % 10));
    if (pick % 10 == ListingFormat::Custom)
        answer += QString::fromLatin1(in.bytes(6));
    const ListingFormat format = ListingFormat::fromAnswer(answer);
    // A zone difference from -12.45 to +12.45 hours.
    const int zone = int(pick / 10) - 12;
    const double shift = HoursToDayFraction(zone + (pick & 1 ? 0.45 : 0.0));
    const QDate today(2024, 3, 15);

    QStringList lines = DecodeListingLines(in.rest());
    const ParsedListing parsed = parseListingEntries(lines, format);

    for (const DirEntry& e : parsed.entries) {
        // The text form every other part of the program passes around reads
        // back to the same entry.
        FUZZ_CHECK(DirEntry::fromText(e.toText()) == e);
        // The date reading always ends with a real date and time.
        const ListingDateTime when = ParseListingDate(e.date() + QLatin1Char(' ') + e.time(), shift, today);
        FUZZ_CHECK(when.date.isValid());
        FUZZ_CHECK(when.time.isValid());
    }
    // Link classification stays linear in the listing.
    FUZZ_CHECK(parsed.linkSteps <= 4 * parsed.entries.size() + 4);

    // The in-place form gives the same entries as text.
    QString directory;
    const qsizetype rawLines = lines.size();
    ParseListing(lines, directory, format);
    FUZZ_CHECK(size_t(lines.size()) == parsed.entries.size());
    FUZZ_CHECK(lines.size() <= rawLines);
    FUZZ_CHECK(directory == parsed.directory);
    return 0;
}
