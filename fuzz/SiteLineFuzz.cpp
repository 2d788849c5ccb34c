// One line of a site list file: what ReadSiteList makes of it, and the
// record written back and read again.
#include "FuzzSupport.h"

#include "sites/SiteLine.h"
#include "sites/SiteListFile.h"
#include "sites/SiteRecord.h"

#include <cmath>

namespace {
// The record as the list reader hands it on: the password unscrambled.
bool readAsList(TFTPServerObj& site, const QString& line, const TSiteDefaults& defaults)
{
    if (!ReadSiteLine(site, line, defaults))
        return false;
    site.Password = ScramblePassword(site.Password);
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input in(data, size);
    const uint8_t flags = in.byte();
    TSiteDefaults defaults;
    defaults.MailAno = flags & 1;
    defaults.Anonymous = QStringLiteral("guest@example.org");
    defaults.TimeZone = flags & 2 ? 5.30 : -3.0;
    const QString line = DecodeListLine(in.rest());

    TFTPServerObj site;
    if (!readAsList(site, line, defaults))
        return 0;
    FUZZ_CHECK(std::isfinite(site.TimeZone));
    FUZZ_CHECK(site.Name.size() <= sitelimits::Name);
    FUZZ_CHECK(site.Answer.size() <= sitelimits::Answer);

    // Written and read back, the line gives the same record.
    const QString written = SiteLine(site);
    FUZZ_CHECK(!written.contains(QLatin1Char('\n')) && !written.contains(QLatin1Char('\r')));
    TFTPServerObj again;
    FUZZ_CHECK(readAsList(again, written, defaults));
    if (!(again == site))
        std::fprintf(stderr, "read:    %s\nwritten: %s\nre-read: %s\n", qPrintable(line), qPrintable(written),
                     qPrintable(SiteLine(again)));
    FUZZ_CHECK(again == site);
    return 0;
}
