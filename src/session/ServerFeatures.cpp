#include "session/ServerFeatures.h"

#include "listing/ListingFormat.h"
#include "sites/SiteZones.h"

bool UseMachineListing(const TFtpFeatures& features, const QString& answer, bool listAll)
{
    if (!features.Has(u"MLST") && !features.Has(u"MLSD"))
        return false;
    if (ListingFormat::fromAnswer(answer).type == ListingFormat::Custom)
        return false;
    return !listAll;
}

int TimeCommandModeFrom(const TFtpFeatures& features)
{
    if (!features.Known())
        return 3;
    if (features.Has(u"MFMT"))
        return 0;
    return features.Has(u"MDTM") ? 1 : 2;
}

QStringList OptsAfterFeat(const TFtpFeatures& features)
{
    QStringList opts;
    if (features.Has(u"UTF8"))
        opts << QStringLiteral("UTF8 ON");
    static const QStringList kShown = {QStringLiteral("type"), QStringLiteral("size"), QStringLiteral("sizd"),
                                       QStringLiteral("modify"), QStringLiteral("perm"), QStringLiteral("UNIX.mode")};
    const QStringList enabled = features.MlstFactsEnabled();
    QStringList wanted;
    bool missing = false;
    for (const QString& fact : features.MlstFacts()) {
        if (!kShown.contains(fact, Qt::CaseInsensitive))
            continue;
        wanted << fact;
        missing = missing || !enabled.contains(fact, Qt::CaseInsensitive);
    }
    if (missing)
        opts << QStringLiteral("MLST ") + wanted.join(QLatin1Char(';')) + QLatin1Char(';');
    return opts;
}

int SiteZoneSeconds(double siteTimeZone)
{
    return TimeZoneMinutes(siteTimeZone) * 60;
}
