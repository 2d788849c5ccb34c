// What the server offers: FEAT right after the login, the OPTS commands it
// calls for, and reading a finished listing in the form the client received
// it (MLSD facts or LIST lines).
#include "session/Session.h"

#include "listing/ListingFormat.h"
#include "listing/MlsdParser.h"
#include "session/ServerFeatures.h"

// Logged in: ask what the server offers. A refusal is no failure (the
// dispatcher goes on to SYST either way).
void TSession::RunFeat()
{
    SetPhase(Phase::Online);
    pendingOpts_.clear();
    Start(QStringLiteral("FEAT"), [this] { ftp_.Feat(); });
}

void TSession::AfterFeat()
{
    const TFtpFeatures& features = ftp_.Features();
    if (features.Known()) {
        const bool machine = UseMachineListing(features, CurrentSite().Answer, ftp_.ListAll());
        timeCmd_ = quint8(TimeCommandModeFrom(features));
        pendingOpts_ = OptsAfterFeat(features);
        Display(QStringLiteral("! Server features: %1%2")
                    .arg(features.Names().isEmpty() ? QStringLiteral("none") : features.Names().join(QLatin1Char(' ')),
                         machine ? QStringLiteral(" (the window lists through MLSD)") : QString()));
    }
    NextOpts();
}

// Each OPTS answer, accepted or refused, leads to the next; then SYST.
void TSession::NextOpts()
{
    while (!pendingOpts_.isEmpty()) {
        const QString argument = pendingOpts_.takeFirst();
        if (Start(QStringLiteral("OPTS"), [this, argument] { ftp_.Opts(argument); }))
            return;
    }
    RunSyst();
}

ParsedListing TSession::ParseListingLines(const QStringList& lines)
{
    const TFTPServerObj& site = CurrentSite();
    if (!ftp_.LastListingMachine())
        return parseListingEntries(lines, ListingFormat::fromAnswer(site.Answer));
    MlsdListing machine = ParseMlsdLines(lines, SiteZoneSeconds(site.TimeZone));
    const QString problems = machine.Summary();
    if (!problems.isEmpty())
        Display(QStringLiteral("! ") + problems);
    ParsedListing out;
    out.entries = std::move(machine.entries);
    out.linkSteps = machine.linkSteps;
    return out;
}
