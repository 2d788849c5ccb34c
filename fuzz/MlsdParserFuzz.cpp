// The MLSD listing reader: the first byte picks the site's zone (-12 to +14
// hours in quarter hours); the rest is the bytes of an MLSD data connection.
// Every entry's text form reads back to the same entry, its date and time
// read as a real date, and the problem list stays bounded.
#include "FuzzSupport.h"

#include "listing/ListingDate.h"
#include "listing/MlsdParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input in(data, size);
    const int zoneSeconds = (int(in.byte()) % 105 - 48) * 900;
    const MlsdListing listing = ParseMlsd(in.rest(), zoneSeconds);

    const QDate today(2024, 3, 15);
    for (const DirEntry& e : listing.entries) {
        FUZZ_CHECK(DirEntry::fromText(e.toText()) == e);
        FUZZ_CHECK(!e.nameView().isEmpty());
        const ListingDateTime when = ParseListingDate(e.date() + QLatin1Char(' ') + e.time(), 0.0, today);
        FUZZ_CHECK(when.date.isValid() && when.time.isValid());
        // A size is a whole byte count or nothing.
        for (QChar c : e.sizeView())
            FUZZ_CHECK(c.isDigit());
    }
    FUZZ_CHECK(listing.problems.size() <= MlsdListing::kMaxProblems);
    FUZZ_CHECK(listing.linkSteps <= 4 * listing.entries.size() + 4);
    listing.Summary();
    return 0;
}
