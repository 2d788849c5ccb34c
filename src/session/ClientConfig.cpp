#include "session/ClientConfig.h"

#include "ftp/FtpClient.h"
#include "session/CertificateTrust.h"
#include "session/UserInterface.h"

TConnectionFields ConnectionFieldsFromSite(const TFTPServerObj& stored)
{
    TFTPServerObj site = stored;
    NormaliseServerUrl(site);
    TConnectionFields t;
    t.Host = site.Server.trimmed();
    if (!site.Port.trimmed().isEmpty())
        t.Port = site.Port.trimmed();
    if (site.Anonymous) {
        t.User = QStringLiteral("anonymous");
        t.Password = site.EMail;
        t.PasswordKnown = true;
    } else {
        t.User = site.User;
        t.Password = site.SavePassword ? site.Password : QString();
        // A password kept in the keyring and not read back is not known.
        t.PasswordKnown = site.SavePassword != 0 && (site.SecretId.isEmpty() || !site.Password.isEmpty());
    }
    t.InitialDir = site.InitialDir;
    t.Passive = site.Pasv != 0;
    t.ListAll = site.ShowHidden != 0;
    t.Security = site.Security <= ftpSecImplicit ? TFtpSecurity(site.Security) : ftpSecPlain;
    return t;
}

TFtpConnectionType ConnectionTypeOf(const TFTPOptions& o)
{
    return o.ConnectionType <= ftpSocks5 ? TFtpConnectionType(o.ConnectionType) : ftpDirect;
}

TClientConfig ClientConfigFor(const TFTPOptions& o, const TConnectionFields& target)
{
    TClientConfig cfg;
    cfg.ConnectionType = ConnectionTypeOf(o);
    cfg.Target = target;
    if (cfg.ConnectionType == ftpProxy) {
        cfg.ProxyServer = o.ProxyServer.trimmed();
        cfg.ProxyPort = o.ProxyPort.trimmed().isEmpty() ? DefaultProxyPort : o.ProxyPort.trimmed();
    } else if (cfg.ConnectionType >= ftpSocks4) {
        cfg.SocksServer = o.SocksServer.trimmed();
        cfg.SocksPort = o.SocksPort.trimmed();
        cfg.SocksUser = o.SocksUC;
        cfg.SocksPassword = o.SocksPsw;
    }
    cfg.TimeoutSeconds = o.TimeOut;
    cfg.ListingLimit = qint64(o.MaxListingMB) << 20;
    return cfg;
}

namespace {

bool socketsClosed(const TFtpClient& client)
{
    return client.ControlSocket()->State() == wsClosed && client.DataSocket()->State() == wsClosed;
}

} // namespace

bool ConfigureClient(TFtpClient& client, const TClientConfig& cfg, TConfigScope scope)
{
    bool applied = false;
    if (socketsClosed(client)) {
        try {
            client.SetConnectionType(cfg.ConnectionType);
            client.SetProxyServer(cfg.ProxyServer);
            client.SetProxyPort(cfg.ProxyPort);
            client.SetSocksServer(cfg.SocksServer);
            client.SetSocksPort(cfg.SocksPort);
            client.SetSocksUserCode(cfg.SocksUser);
            client.SetSocksPassword(cfg.SocksPassword);
            client.SetPort(cfg.Target.Port);
            client.SetPassWord(cfg.Target.Password);
            client.SetSecurity(cfg.Target.Security);
            client.SetTlsCaFile(cfg.TlsCaFile);
            client.OnCertificate = [fingerprint = cfg.TlsFingerprint](TCustomFtpCli*, const TTlsCertificateInfo& cert,
                                                                      QString& why) {
                const TTrustDecision d = DecideCertificateTrust(cert, CertificateStorePath(), userInterface(), fingerprint);
                why = d.Log.join(QStringLiteral("\n! "));
                return d.Go;
            };
            if (scope == TConfigScope::Everything) {
                client.SetHostName(cfg.Target.Host);
                client.SetUserName(cfg.Target.User);
                client.SetHostDirName(cfg.Target.InitialDir);
                client.SetListAll(cfg.Target.ListAll);
            }
            applied = true;
        } catch (const std::exception&) {
            // A socket that is not closed refuses the change; the check above
            // makes this a race that cannot happen on the one event thread.
            applied = false;
        }
    }
    // The client itself forces passive mode for proxy and SOCKS connections.
    client.SetPassive(cfg.Target.Passive);
    client.SetTimeout(cfg.TimeoutSeconds);
    client.SetListingLimit(cfg.ListingLimit);
    return applied;
}

bool ConfigureClient(TFtpClient& client, const TFTPOptions& o, const TFTPServerObj& site)
{
    return ConfigureClient(client, ClientConfigFor(o, ConnectionFieldsFromSite(site)));
}
