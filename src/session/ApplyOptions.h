#pragma once
// Pushing the options record into the FTP client and the session log. The
// window applies its own part (fonts, local pane) after these.
#include "settings/Options.h"
#include "session/Log.h"

class TFtpClient;

// The client's connection settings from the record, through ClientConfigFor
// and ConfigureClient (session/ClientConfig.h) with no site chosen yet:
//  1. ConnectionType (a stored value above 4 counts as a direct connection);
//  2. proxy type: ProxyServer and the proxy's port (ProxyPort, DefaultProxyPort
//     when the record has none) and PassWord := the proxy password; other
//     types: these empty. The client's Port is left empty either way: it is
//     the target server's port, filled from the site when a connection starts;
//  3. SOCKS types: SocksServer, SocksPort, SocksPassword, SocksUserCode := the
//     SOCKS strings; other types: empty;
//  4. Passive := PassiveTransfer for a direct connection, else true;
//  5. Timeout := TimeOut, the listing limit := MaxListingMB.
// Steps 1-3 can only change while the client's sockets are closed: on an open
// connection they are left as they are (to be applied again after the session
// ends) and the function returns false; 4 and 5 are applied in any case.
bool ApplyClientOptions(TFtpClient& client, const TFTPOptions& o = FTPOptions);

// The log file path a LogFile value stands for: a name without a directory
// part lives in ProgramDir; an empty name means the default "brenlowi.log".
QString LogFilePath(const QString& logFile);

// The session log's settings from the record (LogFile resolved as above).
TLogSettings LogSettingsFromOptions(const TFTPOptions& o = FTPOptions);

// ApplyClientOptions, then the log settings; returns ApplyClientOptions' result.
bool ApplyOptions(TFtpClient& client, TSessionLog& log, const TFTPOptions& o = FTPOptions);
