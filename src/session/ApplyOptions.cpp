#include "session/ApplyOptions.h"

#include "ftp/FtpClient.h"
#include "settings/Globals.h"

namespace {

bool socketsClosed(const TFtpClient& client)
{
    return client.ControlSocket()->State() == wsClosed && client.DataSocket()->State() == wsClosed;
}

} // namespace

bool ApplyClientOptions(TFtpClient& client, const TFTPOptions& o)
{
    const TFtpConnectionType type =
        o.ConnectionType <= ftpSocks5 ? TFtpConnectionType(o.ConnectionType) : ftpDirect;
    bool applied = false;
    if (socketsClosed(client)) {
        try {
            client.SetConnectionType(type);
            const bool proxy = type == ftpProxy;
            client.SetProxyServer(proxy ? o.ProxyServer : QString());
            client.SetProxyPort(proxy && !o.ProxyPort.trimmed().isEmpty() ? o.ProxyPort.trimmed()
                                                                          : QStringLiteral("ftp"));
            client.SetPort(QString());
            client.SetPassWord(proxy ? o.ProxyPsw : QString());
            const bool socks = type >= ftpSocks4;
            client.SetSocksServer(socks ? o.SocksServer : QString());
            client.SetSocksPort(socks ? o.SocksPort : QString());
            client.SetSocksPassword(socks ? o.SocksPsw : QString());
            client.SetSocksUserCode(socks ? o.SocksUC : QString());
            applied = true;
        } catch (const std::exception&) {
            // A socket that is not closed refuses the change; the check above
            // makes this a race that cannot happen on the one GUI thread.
            applied = false;
        }
    }
    client.SetPassive(client.ConnectionType() == ftpDirect ? o.PassiveTransfer : true);
    client.SetTimeout(o.TimeOut);
    return applied;
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
