#pragma once
// The one path from the options record and a site (or plain connection
// fields) to a configured FTP client, shared by the window, varnoth-cli and
// the session engine:
//
//   TClientConfig cfg = ClientConfigFor(options, ConnectionFieldsFromSite(site));
//   ... a caller's own overrides (the command line) change cfg here ...
//   ConfigureClient(client, cfg);
#include "ftp/FtpTypes.h"
#include "settings/Options.h"
#include "sites/SiteRecord.h"

#include <QString>
#include <QtGlobal>

class TFtpClient;

// The port a proxy listens on when the options name none.
inline const QString DefaultProxyPort = QStringLiteral("21");
// The target server's port when a site or URL names none.
inline const QString DefaultFtpPort = QStringLiteral("21");

// The server one connection goes to and the login it uses.
struct TConnectionFields {
    QString Host;
    QString Port = DefaultFtpPort;
    QString User = QStringLiteral("anonymous");
    QString Password;
    bool PasswordKnown = false;  // false: still to be asked (or found elsewhere)
    QString InitialDir;          // changed into after login when not empty
    bool Passive = true;         // the site's wish; proxy and SOCKS force passive
    bool ListAll = false;        // LIST -a style listings (the site's ShowHidden)
    TFtpSecurity Security = ftpSecPlain;  // the site's TLS setting
};

// A site as a double click on it connects: the server field read as a URL
// when it is one, the anonymous rule (user "anonymous", the e-mail as
// password), the saved password only when the site keeps it, its passive and
// show-hidden flags and its initial directory. An empty port is the FTP port.
TConnectionFields ConnectionFieldsFromSite(const TFTPServerObj& site);

// Everything the client is set from, as one value a caller may adjust.
struct TClientConfig {
    TFtpConnectionType ConnectionType = ftpDirect;
    QString ProxyServer, ProxyPort;
    QString SocksServer, SocksPort, SocksUser, SocksPassword;
    int TimeoutSeconds = 15;     // 0: a request may take forever
    qint64 ListingLimit = 0;     // bytes; 0: no limit
    QString TlsCaFile;           // PEM certificates trusted besides the system's
    QString TlsFingerprint;      // a certificate accepted up front (SHA-256)
    TConnectionFields Target;
};

// The connection type a stored value stands for; a value above SOCKS 5 (a
// damaged file) counts as a direct connection.
TFtpConnectionType ConnectionTypeOf(const TFTPOptions& o);

// The record's settings with the given target:
//  - proxy: ProxyServer and ProxyPort (DefaultProxyPort when empty);
//  - SOCKS 4, 4A, 5: the four SOCKS strings;
//  - other types leave the fields of the types not chosen empty;
//  - TimeOut seconds and MaxListingMB megabytes.
TClientConfig ClientConfigFor(const TFTPOptions& o, const TConnectionFields& target = {});

// What ConfigureClient sets besides the connection type, proxy and SOCKS.
enum class TConfigScope {
    Connection,  // of the target only Port and PassWord (before a site is chosen)
    Everything,  // also host, user, initial directory and show-hidden
};

// Sets the client from the configuration: connection type, proxy, SOCKS,
// the target's fields (per scope), the TLS setting with the certificate
// decision (CertificateTrust.h, asking through userInterface()), passive mode (forced on for proxy and
// SOCKS), time-out and listing limit. The connection fields can only change
// while the client's sockets are closed: on an open connection they are left
// as they are and the function returns false; passive mode, time-out and
// listing limit apply in any case.
bool ConfigureClient(TFtpClient& client, const TClientConfig& cfg, TConfigScope scope = TConfigScope::Everything);

// Both steps for the common case of a saved site.
bool ConfigureClient(TFtpClient& client, const TFTPOptions& o, const TFTPServerObj& site);
