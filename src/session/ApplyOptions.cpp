#include "session/ApplyOptions.h"

#include "ftp/FtpClient.h"
#include "session/ClientConfig.h"
#include "settings/Globals.h"

bool ApplyClientOptions(TFtpClient& client, const TFTPOptions& o)
{
    // Before a site is chosen: the target's port is left empty for the site
    // to fill, the proxy password stands in for the login's, and passive mode
    // follows the options' PassiveTransfer.
    TConnectionFields noSiteYet;
    noSiteYet.Port.clear();
    noSiteYet.Password = ConnectionTypeOf(o) == ftpProxy ? o.ProxyPsw : QString();
    noSiteYet.Passive = o.PassiveTransfer;
    return ConfigureClient(client, ClientConfigFor(o, noSiteYet), TConfigScope::Connection);
}

QString LogFilePath(const QString& logFile)
{
    const QString name = logFile.trimmed().isEmpty() ? QStringLiteral("brenlowi.log") : logFile;
    return name.contains('/') ? name : ProgramDir + name;
}

TLogSettings LogSettingsFromOptions(const TFTPOptions& o)
{
    TLogSettings s;
    s.Log = o.Log;
    s.LogFile = LogFilePath(o.LogFile);
    s.LogSize = o.LogSize;
    s.LogLines = o.LogLines;
    return s;
}

bool ApplyOptions(TFtpClient& client, TSessionLog& log, const TFTPOptions& o)
{
    const bool applied = ApplyClientOptions(client, o);
    log.Apply(LogSettingsFromOptions(o));
    return applied;
}
