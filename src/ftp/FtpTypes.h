#pragma once
// Enumerations, request codes and the misuse exception of the FTP client.
#include <QString>
#include <stdexcept>

// Raised for misuse of the client (busy, not connected, empty names, bad
// passive reply). Network and protocol failures are reported through
// OnRequestDone instead.
class FtpException : public std::runtime_error {
public:
    explicit FtpException(const QString& msg) : std::runtime_error(msg.toStdString()), m_msg(msg) {}
    QString message() const { return m_msg; }

private:
    QString m_msg;
};

enum TFtpOption : unsigned {
    ftpAcceptLF = 1u << 0,        // a reply line may end with LF alone
    ftpNoAutoResumeAt = 1u << 1,  // REST does not take its offset from the local file size
};
using TFtpOptions = unsigned;

enum TFtpShareMode { ftpShareCompat, ftpShareExclusive, ftpShareDenyWrite, ftpShareDenyRead, ftpShareDenyNone };

enum TFtpConnectionType { ftpDirect = 0, ftpProxy = 1, ftpSocks4 = 2, ftpSocks4A = 3, ftpSocks5 = 4 };

// How the control and data connections are protected. The numbers are stored
// in site files: never renumber.
//   Plain: no TLS at all.
//   ExplicitIfOffered: AUTH TLS first; a server that refuses it is used in the clear.
//   ExplicitRequired: AUTH TLS first; a refusal ends the login before USER.
//   Implicit: TLS from the first byte (usually port 990).
enum TFtpSecurity : quint8 {
    ftpSecPlain = 0,
    ftpSecExplicitIfOffered = 1,
    ftpSecExplicitRequired = 2,
    ftpSecImplicit = 3,
};

enum TFtpClientState {
    ftpStNotConnected = 0,
    ftpStReady = 1,
    ftpStInternalReady = 2,
    ftpStDnsLookup = 3,
    ftpStConnected = 4,
    ftpStAbort = 5,
    ftpStWaitingBanner = 7,
    ftpStWaitingResponse = 8,
};

const char* ftpStateName(TFtpClientState s);

// The code OnRequestDone reports. A single command and a composite may share one.
enum TFtpRequest {
    ftpRqNone = 0,
    ftpRqOpen = 1,
    ftpRqUser = 2,
    ftpRqPass = 3,
    ftpRqCwd = 4,
    ftpRqConnect = 5,
    ftpRqReceive = 6,
    ftpRqDir = 7,
    ftpRqLs = 8,
    ftpRqPort = 9,
    ftpRqGet = 10,
    ftpRqDirAll = 11,
    ftpRqLsAll = 12,
    ftpRqSystemInfo = 13,
    ftpRqSyst = 14,
    ftpRqQuit = 15,
    ftpRqSize = 16,
    ftpRqPut = 17,
    ftpRqAppend = 18,
    ftpRqMkd = 21,
    ftpRqRmd = 22,
    ftpRqRenameFile = 23,
    ftpRqDele = 24,
    ftpRqRename = 25,
    ftpRqRenTo = 26,
    ftpRqRenFrom = 27,
    ftpRqDelete = 28,
    ftpRqMkDir = 29,
    ftpRqRmDir = 30,
    ftpRqPwd = 31,
    ftpRqQuote = 32,
    ftpRqCDup = 33,
    ftpRqDoQuote = 34,
    ftpRqTransmit = 35,
    ftpRqTypeSet = 36,
    ftpRqRest = 37,
    ftpRqRestartGet = 38,
    ftpRqRestartReceive = 39,
    ftpRqRestartPut = 40,
    ftpRqRestartTransmit = 41,
    ftpRqFeat = 42,
    ftpRqOpts = 43,
};

// Steps of a composite request; the value is the bit number in the step set.
enum TFtpStep : int {
    stepNone = 0,
    stepOpen = 1,
    stepUser = 2,
    stepPass = 3,
    stepCwd = 4,
    stepSize = 5,
    stepMkd = 6,
    stepRmd = 7,
    stepRnfr = 8,
    stepRnto = 9,
    stepRetr = 10,
    stepList = 11,
    stepQuit = 12,
    stepSyst = 13,
    stepDele = 14,
    stepPwd = 15,
    stepQuote = 16,
    stepStor = 17,
    stepType = 18,
    stepRest = 19,
    stepCdup = 20,
    stepNlst = 21,
    stepAppe = 22,
    stepPort = 23,
    stepFeat = 24,
    stepOpts = 25,
};
using TFtpStepSet = quint32;
constexpr TFtpStepSet stepBit(TFtpStep s) { return TFtpStepSet(1) << s; }
