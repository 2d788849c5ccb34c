#pragma once
// TFtpClient: the asynchronous FTP client.
//
// TCustomFtpCli holds the logic, split by concern over several files:
//   FtpClient.cpp    construction, properties, Open, QUIT, Abort, completion
//   FtpReply.cpp     reading reply lines and judging them (FtpReplyReader.h)
//   FtpCommands.cpp  the single-command table and its operations
//   FtpChain.cpp     composite requests: the step-set table and its runner
//   FtpData.cpp      the data connection, downloads and uploads
//   FtpTls.cpp       TLS: AUTH TLS, PBSZ, PROT, the certificate decision
// TFtpClient adds the synchronous forms that pump the event loop.
//
// Every request that starts (does not raise FtpException) ends with exactly
// one OnRequestDone(request, error), always delivered from the event loop.
#include "ftp/FtpFeatures.h"
#include "ftp/FtpReplyReader.h"
#include "ftp/FtpTypes.h"
#include "net/WSocket.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class TCustomFtpCli;

using TFtpDisplay = std::function<void(TCustomFtpCli* Sender, QString& Msg)>;
using TFtpCommand = std::function<void(TCustomFtpCli* Sender, QString& Cmd)>;
using TFtpNotify = std::function<void(TCustomFtpCli* Sender)>;
using TFtpSessionEvent = std::function<void(TCustomFtpCli* Sender, quint16 Error)>;
using TFtpRequestDone = std::function<void(TCustomFtpCli* Sender, TFtpRequest RqType, quint16 Error)>;
using TFtpProgress = std::function<void(TCustomFtpCli* Sender, int Count, bool& Abort)>;
using TFtpReadyToTransmit = std::function<void(TCustomFtpCli* Sender, bool& bCancel)>;
using TFtpDataSink = std::function<bool(TCustomFtpCli* Sender, const char* Data, int Len)>;
using TFtpBgException = std::function<void(TCustomFtpCli* Sender, const std::exception& E, bool& CanClose)>;
// Decides whether the server's certificate is trusted: true goes on, false
// closes the connection. Why, when set, is shown in the log.
using TFtpCertificateCheck =
    std::function<bool(TCustomFtpCli* Sender, const TTlsCertificateInfo& Cert, QString& Why)>;

class TCustomFtpCli : public QObject {
    Q_OBJECT
public:
    explicit TCustomFtpCli(QObject* parent = nullptr);
    ~TCustomFtpCli() override;

    // --- properties ------------------------------------------------------
    QString HostName() const { return m_hostName; }
    void SetHostName(const QString& v) { m_hostName = v; }
    QString Port() const { return m_port; }
    void SetPort(const QString& v) { m_port = v; }
    QString UserName() const { return m_userName; }
    void SetUserName(const QString& v) { m_userName = v; }
    QString PassWord() const { return m_passWord; }
    void SetPassWord(const QString& v) { m_passWord = v; }
    QString HostDirName() const { return m_hostDirName; }
    void SetHostDirName(const QString& v) { m_hostDirName = v; }
    QString HostFileName() const { return m_hostFileName; }
    void SetHostFileName(const QString& v) { m_hostFileName = v; }
    QString LocalFileName() const { return m_localFileName; }
    void SetLocalFileName(const QString& v) { m_localFileName = v; }
    bool DisplayFileFlag() const { return m_displayFileFlag; }
    void SetDisplayFileFlag(bool v) { m_displayFileFlag = v; }
    bool Binary() const { return m_type == 'I'; }
    void SetBinary(bool v) { m_type = v ? 'I' : 'A'; }
    QString ErrorMessage() const { return m_errorMessage; }
    TFtpShareMode ShareMode() const;
    void SetShareMode(TFtpShareMode v);
    TFtpOptions Options() const { return m_options; }
    void SetOptions(TFtpOptions v) { m_options = v; }
    TFtpConnectionType ConnectionType() const { return m_connectionType; }
    void SetConnectionType(TFtpConnectionType v);
    QString ProxyServer() const { return m_proxyServer; }
    void SetProxyServer(const QString& v) { m_proxyServer = v; }
    QString ProxyPort() const { return m_proxyPort; }
    void SetProxyPort(const QString& v) { m_proxyPort = v; }
    QString SocksServer() const { return m_control->SocksServer(); }
    void SetSocksServer(const QString& v);
    QString SocksPort() const { return m_control->SocksPort(); }
    void SetSocksPort(const QString& v);
    QString SocksUserCode() const { return m_control->SocksUsercode(); }
    void SetSocksUserCode(const QString& v);
    QString SocksPassword() const { return m_control->SocksPassword(); }
    void SetSocksPassword(const QString& v);
    int StepProgress() const { return m_stepProgress; }
    void SetStepProgress(int v) { m_stepProgress = v < 1 ? 1 : v; }
    qint64 SizeProgress() const { return m_sizeProgress; }
    void SetSizeProgress(qint64 v);

    TFtpClientState State() const { return m_state; }
    int StatusCode() const { return m_statusCode; }
    QString LastResponse() const { return m_lastResponse; }
    qint64 ResumeAt() const { return m_resumeAt; }
    void SetResumeAt(qint64 v) { m_resumeAt = v; }
    bool Passive() const { return m_passive; }
    void SetPassive(bool v) { m_passive = m_connectionType == ftpDirect ? v : true; }
    bool ListAll() const { return m_listAll; }
    void SetListAll(bool v) { m_listAll = v; }
    bool Connected() const { return m_control->State() != wsClosed; }
    qint64 SizeResult() const { return m_sizeResult; }
    QString DirResult() const { return m_dirResult; }
    qint64 ByteCount() const { return m_byteCount; }
    // Names go out in Latin-1 once the server has sent Latin-1 text.
    bool Latin1Mode() const { return m_latin1; }
    void SetLatin1Mode(bool v) { m_latin1 = v; }
    // Bytes a listing (LIST, NLST) may reach before it is stopped as failed;
    // 0 means no limit. An endless listing would otherwise fill the disk.
    qint64 ListingLimit() const { return m_listingLimit; }
    void SetListingLimit(qint64 v) { m_listingLimit = v < 0 ? 0 : v; }
    // What the server's FEAT reply listed; cleared by every new connection
    // (a refused FEAT leaves it empty and not Known).
    const TFtpFeatures& Features() const { return m_features; }
    // Every line of the last complete reply, the final one last (at most
    // kMaxReplyLines; a longer reply keeps its first lines and its last).
    const QStringList& ReplyLines() const { return m_replyLines; }
    static constexpr int kMaxReplyLines = 1000;
    // Listings (the LIST step) go as MLSD instead while this is set, until
    // the server refuses MLSD once on this connection: that listing is then
    // taken again with LIST, and so is every later one until the next
    // connection. Off after every Open.
    bool MachineListing() const { return m_machineListing; }
    void SetMachineListing(bool v) { m_machineListing = v; }
    bool MachineListingRefused() const { return m_mlsdRefused; }
    // The last listing was received through MLSD (its lines are facts).
    bool LastListingMachine() const { return m_listingMlsd; }
    TWSocket* ControlSocket() const { return m_control; }
    TWSocket* DataSocket() const { return m_data; }
    // TLS: plain, explicit (AUTH TLS) if offered or required, or implicit.
    TFtpSecurity Security() const { return m_security; }
    void SetSecurity(TFtpSecurity v) { m_security = v; }
    // A PEM file of certificates trusted besides the system's (may be empty).
    QString TlsCaFile() const { return m_tlsCaFile; }
    void SetTlsCaFile(const QString& v) { m_tlsCaFile = v; }
    // The server accepted PROT P: data connections run TLS too.
    bool DataProtected() const { return m_protP; }

    // --- single commands -------------------------------------------------
    virtual void Open();
    void User();
    void Pass();
    void Cwd();
    void Size();
    void Mkd();
    void Rmd();
    void RenFrom();
    void RenTo();
    void Retr();
    void List();
    void Nlst();
    void Stor();
    void Appe();
    void Syst();
    void Dele();
    void Pwd();
    void Quote();
    void TypeSet();
    void TypeBinary();
    void TypeAscii();
    void Rest();
    void CDup();
    void Port();
    void Feat();
    // OPTS with the given argument ("UTF8 ON").
    void Opts(const QString& argument);
    void Quit();
    virtual void Abort();

    // --- composites ------------------------------------------------------
    void Connect();
    void Receive();
    void Dir();
    void Ls();
    void Get();
    void DirAll();
    void LsAll();
    void SystemInfo();
    void FileSize();
    void Put();
    void Append();
    void RenameFile();
    void Rename();
    void Delete();
    void MkDir();
    void RmDir();
    void DoQuote();
    void Transmit();
    void AppendFile();
    void RestartGet();
    void RestartReceive();
    void RestartPut();
    void RestartTransmit();

    // --- events ----------------------------------------------------------
    TFtpDisplay OnDisplay;
    TFtpDisplay OnDisplayFile;
    TFtpCommand OnCommand;
    TFtpNotify OnResponse;
    TFtpSessionEvent OnSessionConnected;
    TFtpSessionEvent OnSessionClosed;
    TFtpNotify OnStateChange;
    TFtpRequestDone OnRequestDone;
    TFtpProgress OnProgress;
    TFtpReadyToTransmit OnReadyToTransmit;
    TFtpBgException OnBgException;
    // When assigned, downloaded bytes (RETR, LIST, NLST) are handed here
    // instead of being written to LocalFileName, which may then be empty.
    // Returning false stops the transfer as a local write error.
    TFtpDataSink OnDownloadData;
    // Asked once per login over TLS. Unassigned: only a certificate without
    // problems is trusted.
    TFtpCertificateCheck OnCertificate;

    // Size of one receive and one sent block on the data connection.
    static constexpr int kRecvBlock = 256 * 1024;
    static constexpr int kSendBlock = 256 * 1024;
    static constexpr int kReplyBufSize = FtpReplyReader::kBufSize;

protected:
    // Chooses the SOCKS authentication from the connection type and user code.
    void ApplySocksAuthentication();
    using Handler = void (TCustomFtpCli::*)();
    struct CommandDef;
    struct CompositeDef;

    // FtpClient.cpp
    void SetState(TFtpClientState s);
    void Display(const QString& msg);
    void SendCommand(const QString& cmd);
    void ReadyCheck();
    void SetErrorMessage(const QString& msg) { if (m_errorMessage.isEmpty()) m_errorMessage = msg; }
    void RequestDone(int error);
    void DeliverRequestDone(TFtpRequest request, int error);
    void ControlDnsLookupDone(quint16 error);
    void ControlSessionConnected(quint16 error);
    void ControlSessionClosed(quint16 error);
    void QuitDone();
    void FreeStream();
    void HandleBgException(const std::exception& e);
    void Guarded(const std::function<void()>& fn);
    virtual void ProgressMoved() {}

    // FtpReply.cpp
    void ControlDataAvailable(quint16 error);
    void HandleReplyLine();
    void NextReply();            // standard evaluation of a final reply line
    void InterpretReply();       // size and directory results
    static int ParseStatus(const QString& line);
    void KeepReplyLine(const QString& line, bool final);

    // FtpCommands.cpp
    static const std::vector<CommandDef>& CommandTable();
    static const CommandDef* FindCommand(TFtpStep step);
    void StartStep(TFtpStep step);
    // Raises FtpException for a command text holding CR, LF or NUL: such a
    // name would smuggle further commands onto the control connection.
    static void CheckCommandText(const QString& cmd);
    void ExecCommand(TFtpRequest rq, const QString& cmd, std::vector<int> codes, Handler done = nullptr);
    void RunSingle(TFtpStep step);
    QString UserCommand() const;
    void DoRest();

    // FtpChain.cpp
    static const std::vector<CompositeDef>& CompositeTable();
    void StartComposite(const char* name);
    void CheckStepTexts(TFtpStepSet steps) const;
    void NextStep();

    // FtpTls.cpp
    void AfterWelcome();
    void SendLoginCommand(const QString& cmd, Handler next);
    void StartControlTls();
    void ControlTlsDone(quint16 error);
    void DecideCertificate();
    void AuthTlsReply();
    void PbszReply();
    void ProtReply();
    void TlsLoginFailed(int code, const QString& msg);
    void StartDataTls(Handler secured);
    void DataTlsFailed(quint16 error, const QString& why);
    void DownloadSecured();
    void UploadSecured();

    // FtpData.cpp
    void DoPort();
    void StartDownload(TFtpStep step);
    void StartUpload(TFtpStep step);
    void ConnectPassive(bool upload);
    QString ParsePassivePort() const;
    // EPSV and EPRT: on an IPv6 control connection, and after a failed PASV.
    bool ControlIsIPv6();
    void PortDone();
    QString PassiveDataHost();
    bool OpenLocalFile(bool download);
    bool OpenDownloadTarget();
    void AcceptDownload();
    qint64 KnownRemoteSize() const;
    bool LimitDownloadBlock(int n);
    void DownloadReply1();
    void DownloadReply2();
    void ListAgainWithList();
    void DownloadConnected(quint16 error);
    void DownloadAccept(quint16 error);
    void InstallDownloadHandlers();
    void DownloadData(quint16 error);
    void DownloadClosed(quint16 error);
    void CheckDownloadEnd();
    void UploadReply1();
    void UploadReply2();
    void UploadConnected(quint16 error);
    void UploadAccept(quint16 error);
    void UploadClosed(quint16 error);
    void CheckUploadEnd();
    void SendNextBlock(quint16 error);
    void PostStartUpload();
    void DataConnectFailed(int error);
    void AcceptEarlyConnection();
    bool ProgressCheck();
    void TransferStats();
    void CloseData();

    // --- fields ----------------------------------------------------------
    qint64 m_listingLimit = 0;
    qint64 m_sizeProgress = 0;
    qint64 m_lastProgress = 0;
    int m_stepProgress = 1;
    bool m_listAll = false;
    QString m_hostName, m_port = QStringLiteral("ftp"), m_userName, m_passWord;
    QString m_localFileName, m_hostFileName, m_hostDirName, m_dnsResult;
    char m_type = 'I';
    quint16 m_shareFlag = 16;
    TFtpConnectionType m_connectionType = ftpDirect;
    QString m_proxyServer, m_proxyPort = QStringLiteral("ftp");
    bool m_appendFlag = false;
    bool m_displayFileFlag = false;
    TWSocket* m_control;
    TWSocket* m_data;
    QElapsedTimer m_clock;
    qint64 m_startTime = 0;
    TFtpClientState m_state = ftpStReady;
    int m_statusCode = 0;
    int m_error = 0;
    TFtpStepSet m_fctSet = 0;
    TFtpStep m_fctPrv = stepNone;
    int m_highLevelResult = 0;
    bool m_highLevelFlag = false;
    TFtpOptions m_options = ftpAcceptLF;
    std::unique_ptr<QFile> m_stream;
    TFtpRequest m_requestType = ftpRqNone;
    bool m_requestDoneFlag = false;
    FtpReplyReader m_reply;      // reply lines from the control connection
    QString m_lastResponse, m_lastResponseSave, m_pasvResponse, m_errorMessage;
    int m_statusCodeSave = 0;
    int m_dataError = 0;
    QString m_dataCommand;
    bool m_connected = false;
    std::vector<char> m_ioBuf;
    qint64 m_byteCount = 0;
    qint64 m_sizeResult = -1;
    QString m_sizeFile;          // HostFileName the size result belongs to
    QString m_dirResult;
    qint64 m_resumeAt = 0;
    Handler m_next = nullptr;
    Handler m_done = nullptr;
    std::vector<int> m_okResponses;
    bool m_nextStepSet = false;  // the composite runner continues after this step
    TFtpStep m_currentStep = stepNone;
    bool m_finalReplySeen = false, m_downloadClosed = false, m_uploadClosed = false;
    bool m_passive = false, m_eofReached = false, m_uploadReplySeen = false, m_uploadConnOpen = false;
    bool m_transferActive = false;
    bool m_uploadStarted = false;
    bool m_localIoError = false;  // the local file failed during a transfer
    bool m_downloadAccepted = false;  // 1xx or data seen: the local file may be cut
    bool m_downloadRefused = false;   // the download is being stopped; data is dropped
    bool m_overflow = false;          // more bytes than SIZE announced
    bool m_stoppedByProgress = false; // OnProgress asked to abort the transfer
    qint64 m_expectedSize = -1;       // what a RETR must deliver in all, -1 unknown
    bool m_listingTooLong = false;    // the listing passed ListingLimit
    QString m_unacceptedPath;         // created for a download not yet accepted
    bool m_latin1 = false;
    bool m_inEvent = false;
    bool m_extended = false;       // EPSV instead of PASV on this connection
    bool m_extendedTried = false;  // the fallback from PASV to EPSV has been tried
    TFtpSecurity m_security = ftpSecPlain;
    QString m_tlsCaFile;
    bool m_protP = false;
    bool m_tlsGate = false;  // the control connection waits for the certificate decision
    std::vector<TTlsResumable> m_tlsPool;  // sessions not yet resumed, newest last
    TTlsResumable m_tlsLastUsed;
    TTlsResumable NextDataSession();
    TFtpFeatures m_features;
    QStringList m_replyLines;
    bool m_replyEnded = true;      // the next line starts a new reply
    QString m_optsArgument;
    bool m_machineListing = false;
    bool m_mlsdRefused = false;
    bool m_listingMlsd = false;
};

// The client the program uses: the logic above plus the synchronous forms,
// which pump the Qt event loop until the request is done or the deadline passes.
class TFtpClient : public TCustomFtpCli {
    Q_OBJECT
public:
    explicit TFtpClient(QObject* parent = nullptr);

    int Timeout() const { return m_timeout; }
    void SetTimeout(int seconds) { m_timeout = seconds; }
    bool MultiThreaded() const { return m_multiThreaded; }
    void SetMultiThreaded(bool v) { m_multiThreaded = v; }

    // Runs an operation and waits; true when it ended with error 0.
    bool Synchronize(const std::function<void()>& op);
    bool WaitUntilReady();
    bool CwdSync() { return Synchronize([this] { Cwd(); }); }
    bool TypeSetSync() { return Synchronize([this] { TypeSet(); }); }
    bool TypeBinarySync() { return Synchronize([this] { TypeBinary(); }); }
    bool TypeAsciiSync() { return Synchronize([this] { TypeAscii(); }); }
    bool RmdSync() { return Synchronize([this] { Rmd(); }); }
    bool QuoteSync() { return Synchronize([this] { Quote(); }); }
    bool AbortSync() { return Synchronize([this] { Abort(); }); }

protected:
    void ProgressMoved() override;

private:
    int m_timeout = 15;
    qint64 m_deadline = 0;
    bool m_multiThreaded = false;
};
