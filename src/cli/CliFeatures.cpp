#include "CliFeatures.h"

#include "ftp/FtpClient.h"
#include "session/ServerFeatures.h"

#include <functional>

namespace {

// One request whose failure only means "not offered".
bool tryRequest(TFtpClient& ftp, const std::function<void()>& op)
{
    try {
        return ftp.Synchronize(op);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

CliServerFeatures AskServerFeatures(TFtpClient& ftp)
{
    CliServerFeatures out;
    tryRequest(ftp, [&] { ftp.Feat(); });
    const TFtpFeatures& features = ftp.Features();
    if (!features.Known() || !ftp.Connected())
        return out;
    out.known = true;
    out.size = features.Has(u"SIZE");
    if (out.size)
        out.used << QStringLiteral("SIZE");
    // The session's rule decides the OPTS; of them the tool needs UTF8 only
    // (its listings are LIST, so the MLST facts do not matter here).
    for (const QString& argument : OptsAfterFeat(features)) {
        if (!argument.startsWith(QLatin1String("UTF8"), Qt::CaseInsensitive))
            continue;
        tryRequest(ftp, [&] { ftp.Opts(argument); });
        out.used << QStringLiteral("UTF8");
    }
    return out;
}
