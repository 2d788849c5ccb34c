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
        // What is taken from the reply, not the whole list: the log stays
        // about what this connection does.
        QStringList used;
        if (machine)
            used << QStringLiteral("listings through MLSD");
        if (timeCmd_ == 0 || timeCmd_ == 1)
            used << (timeCmd_ == 0 ? QStringLiteral("file times with MFMT") : QStringLiteral("file times with MDTM"));
        if (features.Has(u"UTF8"))
            used << QStringLiteral("UTF8");
        Display(QStringLiteral("! Server features used: %1")
                    .arg(used.isEmpty() ? QStringLiteral("none") : used.join(QStringLiteral(", "))));
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
