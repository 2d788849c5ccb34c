// The data connection: the PORT/PASV step, downloads (RETR, LIST, NLST) and
// uploads (STOR, APPE), progress and the end-of-transfer rule.
#include "ftp/FtpClient.h"
#include "ftp/FtpExtended.h"

#include <QMetaObject>
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {
QString verbOf(TFtpStep step)
{
    switch (step) {
    case stepRetr: return QStringLiteral("RETR");
    case stepList: return QStringLiteral("LIST");
    case stepNlst: return QStringLiteral("NLST");
    case stepStor: return QStringLiteral("STOR");
    case stepAppe: return QStringLiteral("APPE");
    default: return QString();
    }
}
// An upload writes blocks that are no multiple of the segment size: without
// this, the short tail of each block waits for the receiver's delayed
// acknowledgement before it goes (over loopback, a 20-40% slower upload).
void SendWithoutDelay(int fd)
{
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}
} // namespace

void TCustomFtpCli::DoPort()
{
    ReadyCheck();
    if (!m_connected)
        throw FtpException(QStringLiteral("FTP component not connected"));
    CloseData();
    m_data->OnSessionAvailable = nullptr;
    m_data->OnSessionClosed = nullptr;
    m_data->OnDataAvailable = nullptr;
    m_data->OnDataSent = nullptr;
    m_data->OnSessionConnected = nullptr;
    const bool v6 = ControlIsIPv6();
    m_data->SetProto(QStringLiteral("tcp"));
    m_data->SetAddr(v6 ? QStringLiteral("::") : QStringLiteral("0.0.0.0"));
    m_data->SetPort(QStringLiteral("0"));
    m_data->SetBufSize(kSendBlock);
    QString cmd;
    if (m_passive) {
        cmd = m_extended || v6 ? QStringLiteral("EPSV") : QStringLiteral("PASV");
    } else {
        m_data->SetLingerOnOff(wsLingerOn);
        m_data->SetLingerTimeout(10);
        m_data->Listen();
        sockaddr_in bound{};
        m_data->GetSockName(bound);
        const quint16 port = ntohs(bound.sin_port);
        sockaddr_in local{};
        m_control->GetSockName(local);
        const quint32 a = ntohl(local.sin_addr.s_addr);
        if (v6 || m_extended)
            cmd = EprtCommand(m_control->GetXAddr(), port);
        else if (m_control->Addr() == QLatin1String("127.0.0.1"))
            cmd = QStringLiteral("PORT 127,0,0,1,%1,%2").arg(port >> 8).arg(port & 0xff);
        else
            cmd = QStringLiteral("PORT %1,%2,%3,%4,%5,%6")
                      .arg(a >> 24).arg((a >> 16) & 0xff).arg((a >> 8) & 0xff).arg(a & 0xff)
                      .arg(port >> 8).arg(port & 0xff);
    }
    m_byteCount = 0;
    m_currentStep = stepPort;
    ExecCommand(ftpRqPort, cmd, {200, 227, 229}, &TCustomFtpCli::PortDone);
}

// PASV and PORT carry IPv4 addresses only. Through SOCKS the target counts:
// the control connection itself goes to the SOCKS server.
bool TCustomFtpCli::ControlIsIPv6()
{
    const bool socks = m_connectionType == ftpSocks4 || m_connectionType == ftpSocks4A || m_connectionType == ftpSocks5;
    return socks ? WSocketIsIPv6(m_control->Addr()) : m_control->AddressFamily() == AF_INET6;
}

// The reply to PASV, EPSV, PORT or EPRT. A direct connection whose PASV is
// refused (5xx) or answered with a reply that cannot be used tries EPSV once;
// one whose PORT is refused as not understood or not implemented (500, 501,
// 502) tries EPRT once. When the extended command serves, it is used for the
// rest of the connection. A malformed EPSV reply fails the step here, before
// a transfer command goes out.
void TCustomFtpCli::PortDone()
{
    const bool portSent = !m_passive && !m_extended && !ControlIsIPv6();
    if (portSent && !m_extendedTried && m_connectionType == ftpDirect
        && (m_statusCode == 500 || m_statusCode == 501 || m_statusCode == 502)) {
        m_extendedTried = true;
        Display(QStringLiteral("! PORT failed (%1), trying EPRT").arg(m_lastResponse));
        m_errorMessage.clear();
        m_error = 0;
        m_extended = true;
        sockaddr_in bound{};
        m_data->GetSockName(bound);
        m_okResponses = {200};
        m_next = &TCustomFtpCli::NextReply;
        m_done = &TCustomFtpCli::PortDone;
        SendCommand(EprtCommand(m_control->GetXAddr(), ntohs(bound.sin_port)));
        return;
    }
    if (!m_passive && m_error != 0 && m_extended && m_extendedTried && !ControlIsIPv6()) {
        // The fallback did not serve either: PORT again next time.
        m_extended = false;
        m_errorMessage.clear();
        SetErrorMessage("PORT and EPRT both refused; the server takes no active data connection: " + m_lastResponse);
        Display("! " + m_errorMessage);
    }
    const bool pasvSent = m_passive && !m_extended && !ControlIsIPv6();
    bool unusable = false;
    if (pasvSent && m_error == 0 && m_statusCode == 227) {
        try {
            ParsePassivePort();
        } catch (const FtpException&) {
            unusable = true;
        }
    }
    if (pasvSent && !m_extendedTried && m_connectionType == ftpDirect && (m_error >= 500 || unusable)) {
        m_extendedTried = true;
        Display(QStringLiteral("! PASV failed (%1), trying EPSV").arg(m_lastResponse));
        m_errorMessage.clear();
        m_error = 0;
        m_extended = true;
        // Still the same request: the reply comes back here.
        m_okResponses = {229};
        m_next = &TCustomFtpCli::NextReply;
        m_done = &TCustomFtpCli::PortDone;
        SendCommand(QStringLiteral("EPSV"));
        return;
    }
    if (m_passive && m_error == 0 && m_statusCode == 229) {
        QString why;
        if (ParseEpsvPort(m_lastResponse, &why) == 0) {
            const QString msg = "Invalid extended passive mode reply, " + why + ": " + m_lastResponse;
            Display("! " + msg);
            SetErrorMessage(msg);
            m_error = 550;
        }
    }
    if (m_passive && m_error != 0 && m_extended && m_statusCode != 229 && m_extendedTried && !ControlIsIPv6())
        m_extended = false;  // the fallback did not serve: PASV again next time
    RequestDone(m_error);
}

// Where a passive data connection goes: the control connection's peer, never
// an address the server names (through SOCKS, the target the SOCKS server
// connected the control connection to).
QString TCustomFtpCli::PassiveDataHost()
{
    const bool socks = m_connectionType == ftpSocks4 || m_connectionType == ftpSocks4A || m_connectionType == ftpSocks5;
    if (socks)
        return m_control->Addr();
    const QString peer = m_control->State() == wsConnected ? m_control->PeerAddr() : QString();
    return peer.isEmpty() || peer == QLatin1String("error") ? m_control->Addr() : peer;
}

// The data port of the last 227 or 229 reply. Only the port is taken: the
// data connection always goes to the address of the control connection.
QString TCustomFtpCli::ParsePassivePort() const
{
    if (m_pasvResponse.startsWith(QLatin1String("229"))) {
        QString why;
        const int port = ParseEpsvPort(m_pasvResponse, &why);
        if (port == 0)
            throw FtpException("Invalid extended passive mode reply, " + why + ": " + m_pasvResponse);
        return QString::number(port);
    }
    const std::optional<quint16> port = PassivePortOf(m_pasvResponse);
    if (!port)
        throw FtpException("Invalid passive mode reply: " + m_pasvResponse);
    return QString::number(*port);
}

void TCustomFtpCli::ConnectPassive(bool upload)
{
    const QString port = ParsePassivePort();
    m_data->SetAddr(PassiveDataHost());
    m_data->SetPort(port);
    m_data->SetProto(QStringLiteral("tcp"));
    m_data->SetLingerOnOff(wsLingerOff);
    m_data->SetLingerTimeout(0);
    if (upload)
        m_data->OnSessionConnected = [this](TCustomWSocket*, quint16 e) { Guarded([&] { UploadConnected(e); }); };
    else
        m_data->OnSessionConnected = [this](TCustomWSocket*, quint16 e) { Guarded([&] { DownloadConnected(e); }); };
    m_data->Connect();
}

bool TCustomFtpCli::OpenLocalFile(bool download)
{
    // The share-mode flag has no counterpart on this platform; files are
    // opened unbuffered because the transfer reads and writes large blocks.
    FreeStream();
    m_stream = std::make_unique<QFile>(m_localFileName);
    bool ok;
    if (!download)
        ok = m_stream->open(QIODevice::ReadOnly | QIODevice::Unbuffered)
             && (m_resumeAt <= 0 || m_stream->seek(m_resumeAt));
    else
        ok = OpenDownloadTarget();
    if (!ok)
        m_stream.reset();
    return ok;
}

// A download opens its file without cutting it: what was there stays intact
// until the server has accepted the transfer (AcceptDownload). A file that
// did not exist before is removed again when the server refuses.
bool TCustomFtpCli::OpenDownloadTarget()
{
    const QByteArray path = QFile::encodeName(m_localFileName);
    const bool existed = ::access(path.constData(), F_OK) == 0;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    if (!m_stream->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    m_downloadAccepted = false;
    m_downloadRefused = false;
    m_unacceptedPath = existed ? QString() : m_localFileName;
    return true;
}

// The server has accepted the download (a 1xx reply, or data arriving first):
// the local file is now cut to the resume offset (0 for a new download).
void TCustomFtpCli::AcceptDownload()
{
    if (m_downloadAccepted)
        return;
    m_downloadAccepted = true;
    m_unacceptedPath.clear();
    if (!m_stream)
        return;
    const qint64 at = qMax<qint64>(0, m_resumeAt);
    // A file already of that size (a new one is empty) is not cut: ext4
    // writes out a file cut to nothing at once when it is closed, which
    // stalls the close for as long as the whole file takes to reach the disk.
    if ((m_stream->size() != at && !m_stream->resize(at)) || !m_stream->seek(at)) {
        Display(QStringLiteral("! Error writing local file"));
        m_localIoError = true;
        m_downloadRefused = true;
        m_data->ShutDown(2);
    }
}

// The remote file's size: SIZE's answer for this very file in binary type,
// or -1 when unknown (another file, ASCII, no SIZE).
qint64 TCustomFtpCli::KnownRemoteSize() const
{
    const bool known = Binary() && m_sizeResult >= 0 && m_sizeFile == m_hostFileName && !m_hostFileName.isEmpty();
    return known ? m_sizeResult : -1;
}

void TCustomFtpCli::DataConnectFailed(int error)
{
    m_lastResponse = "Unable to establish data connection, error #" + QString::number(error) + " ("
                     + WSocketErrorDesc(error) + ")";
    m_statusCode = 550;
    SetErrorMessage(m_lastResponse);
    CloseData();
    FreeStream();
    m_transferActive = false;
    m_next = nullptr;
    m_error = 550;
    RequestDone(550);
}

bool TCustomFtpCli::ProgressCheck()
{
    bool abort = false;
    if (OnProgress) {
        const qint64 value = (qint64(m_resumeAt) + m_byteCount) / m_stepProgress;
        if (value != m_lastProgress) {
            m_lastProgress = value;
            OnProgress(this, int(value), abort);
        }
    }
    ProgressMoved();
    if (abort) {
        Display(QStringLiteral("! Abort requested"));
        m_stoppedByProgress = true;
        CloseData();
    }
    return abort;
}

void TCustomFtpCli::TransferStats()
{
    const bool upload = m_currentStep == stepStor || m_currentStep == stepAppe;
    const qint64 elapsed = m_clock.elapsed() - m_startTime;
    QString msg = "! " + QString::number(m_byteCount) + (upload ? " bytes sent in " : " bytes received in ")
                  + QString::number(elapsed / 1000) + " seconds";
    if (elapsed != 0) {
        const qint64 rate = m_byteCount >= 32768 ? (m_byteCount / elapsed) * 1000 : (m_byteCount * 1000) / elapsed;
        msg += " (" + QString::number(rate) + " Bytes/sec)";
    }
    Display(msg);
}

// --- downloads -------------------------------------------------------------

void TCustomFtpCli::Retr() { StartDownload(stepRetr); }
void TCustomFtpCli::List() { StartDownload(stepList); }
void TCustomFtpCli::Nlst() { StartDownload(stepNlst); }

void TCustomFtpCli::StartDownload(TFtpStep step)
{
    const QString verb = verbOf(step);
    if (!m_connected)
        throw FtpException(verb + ": not connected");
    const bool toFile = !m_displayFileFlag && !OnDownloadData;
    if (m_localFileName.isEmpty() && toFile)
        throw FtpException(QStringLiteral("LocalFileName empty"));
    const bool mlsd = step == stepList && m_machineListing && !m_mlsdRefused;
    const QString dataCommand = mlsd ? QStringLiteral("MLSD") : step == stepList && m_listAll ? verb + " -aL" : verb;
    CheckCommandText(m_hostFileName.isEmpty() ? dataCommand : dataCommand + " " + m_hostFileName);
    if (m_passive)
        ParsePassivePort();  // a bad reply raises here, before anything is touched
    if (!m_highLevelFlag) {
        m_requestType = step == stepRetr ? ftpRqGet : step == stepList ? ftpRqDir : ftpRqLs;
        m_errorMessage.clear();
    }
    m_dataCommand = dataCommand;
    m_listingMlsd = mlsd;
    m_currentStep = step;
    m_expectedSize = step == stepRetr ? KnownRemoteSize() : -1;
    m_finalReplySeen = false;
    m_downloadClosed = false;
    m_requestDoneFlag = false;
    m_localIoError = false;
    m_downloadAccepted = false;
    m_downloadRefused = false;
    m_overflow = false;
    m_stoppedByProgress = false;
    m_listingTooLong = false;
    m_byteCount = 0;
    m_dataError = 0;
    m_startTime = m_clock.elapsed();
    m_data->OnSessionAvailable = [this](TCustomWSocket*, quint16 e) { Guarded([&] { DownloadAccept(e); }); };
    if (toFile && !OpenLocalFile(true)) {
        m_lastResponse = "Unable to open local file " + m_localFileName;
        m_statusCode = 550;
        SetErrorMessage(m_lastResponse);
        CloseData();
        m_error = 550;
        RequestDone(550);
        return;
    }
    m_transferActive = true;
    if (m_passive)
        ConnectPassive(false);
    SetState(ftpStWaitingResponse);
    m_next = &TCustomFtpCli::DownloadReply1;
    m_done = nullptr;
    SendCommand(m_hostFileName.isEmpty() ? m_dataCommand : m_dataCommand + " " + m_hostFileName);
    AcceptEarlyConnection();
}

void TCustomFtpCli::DownloadReply1()
{
    Display("< " + m_lastResponse);
    if (m_statusCode == 150 || m_statusCode == 125) {
        m_next = &TCustomFtpCli::DownloadReply2;
        AcceptDownload();
        if (m_downloadClosed)
            FreeStream();  // the data ended before this reply (DownloadClosed)
        return;
    }
    if (m_listingMlsd && m_statusCode >= 500 && m_statusCode < 600 && m_highLevelFlag) {
        ListAgainWithList();
        return;
    }
    SetErrorMessage(m_lastResponse);
    m_next = nullptr;
    CloseData();
    FreeStream();
    m_resumeAt = 0;
    m_transferActive = false;
    m_error = m_statusCode;
    RequestDone(m_error);
}

// The server refused MLSD: this connection lists with LIST from now on, and
// the listing under way is taken again that way, on a new data connection,
// within the same request.
void TCustomFtpCli::ListAgainWithList()
{
    m_mlsdRefused = true;
    Display(QStringLiteral("! The server refused MLSD (%1): listing with LIST").arg(m_lastResponse));
    m_next = nullptr;
    CloseData();
    FreeStream();
    m_transferActive = false;
    m_fctSet |= stepBit(stepPort) | stepBit(stepList);
    if (m_state != ftpStAbort)
        SetState(ftpStInternalReady);
    NextStep();
}

void TCustomFtpCli::DownloadReply2()
{
    Display("< " + m_lastResponse);
    // A transfer this side stopped is judged by why it was stopped, whatever
    // the server's final word on the cut data connection.
    if (m_statusCode == 125 || m_statusCode == 226 || m_statusCode == 250 || m_downloadRefused) {
        m_finalReplySeen = true;
        CheckDownloadEnd();
        return;
    }
    SetErrorMessage(m_lastResponse);
    FreeStream();
    CloseData();
    Display("! " + m_dataCommand.section(' ', 0, 0) + " Failed");
    m_transferActive = false;
    m_error = m_statusCode;
    RequestDone(m_error);
}

void TCustomFtpCli::DownloadConnected(quint16 error)
{
    if (error != 0) {
        DataConnectFailed(error);
        return;
    }
    if (m_protP)
        StartDataTls(&TCustomFtpCli::DownloadSecured);
    else
        DownloadSecured();
}

void TCustomFtpCli::DownloadAccept(quint16 error)
{
    const int handle = m_data->Accept();
    m_data->OnSessionAvailable = nullptr;
    m_data->Close();  // the listening socket serves one connection only
    if (handle < 0) {
        DataConnectFailed(error ? error : m_data->LastError());
        return;
    }
    if (m_protP) {
        m_data->Dup(handle);
        StartDataTls(&TCustomFtpCli::DownloadSecured);
        return;
    }
    InstallDownloadHandlers();
    m_data->Dup(handle);
    m_startTime = m_clock.elapsed();
}

void TCustomFtpCli::InstallDownloadHandlers()
{
    m_data->OnSessionClosed = [this](TCustomWSocket*, quint16 e) { Guarded([&] { DownloadClosed(e); }); };
    m_data->OnDataAvailable = [this](TCustomWSocket*, quint16 e) { Guarded([&] { DownloadData(e); }); };
    m_data->OnDataSent = nullptr;
}

void TCustomFtpCli::DownloadData(quint16)
{
    if (ProgressCheck())
        return;
    const int n = m_data->Receive(m_ioBuf.data(), kRecvBlock);
    if (n < 0) {
        const int err = m_data->LastError();
        if (m_data->State() == wsConnected && err != wsock::WSAEWOULDBLOCK) {
            Display("! Data: Receive error " + QString::number(err));
            m_data->ShutDown(2);
        }
        return;
    }
    // Once the transfer is being stopped, whatever still arrives is dropped.
    if (n == 0 || m_downloadRefused || !LimitDownloadBlock(n))
        return;
    AcceptDownload();
    if (m_downloadRefused)
        return;
    m_byteCount += n;
    if (m_displayFileFlag) {
        // One display per line; a line cut by a block boundary comes in two pieces.
        const QByteArray block(m_ioBuf.data(), n);
        for (const QByteArray& piece : block.split('\n')) {
            QByteArray line = piece;
            while (line.endsWith('\r'))
                line.chop(1);
            if (line.isEmpty() || !OnDisplayFile)
                continue;
            QString text = QString::fromUtf8(line);
            OnDisplayFile(this, text);
        }
        return;
    }
    const bool written = OnDownloadData ? OnDownloadData(this, m_ioBuf.data(), n)
                                        : !m_stream || m_stream->write(m_ioBuf.data(), n) == n;
    if (!written) {
        Display(QStringLiteral("! Error writing local file"));
        m_localIoError = true;
        m_downloadRefused = true;
        m_data->ShutDown(2);
    }
}

// False when a block would take the download past what it may hold: more
// than SIZE announced (a server that ignored REST sends the whole file again),
// or a listing past the listing limit. The transfer is then stopped.
bool TCustomFtpCli::LimitDownloadBlock(int n)
{
    const qint64 after = qint64(m_resumeAt) + m_byteCount + n;
    const bool listing = m_currentStep == stepList || m_currentStep == stepNlst;
    if (m_expectedSize >= 0 && after > m_expectedSize)
        m_overflow = true;
    else if (listing && m_listingLimit > 0 && m_byteCount + n > m_listingLimit)
        m_listingTooLong = true;
    else
        return true;
    m_byteCount += n;
    m_downloadRefused = true;
    m_data->ShutDown(2);
    return false;
}

void TCustomFtpCli::DownloadClosed(quint16 error)
{
    // The data may end (an empty file or folder) before the server's 1xx
    // reply is read: the file then stays open until that reply says whether
    // it is the download's (cut to the start) or goes again.
    if (m_downloadAccepted || m_downloadRefused)
        FreeStream();
    m_downloadClosed = true;
    m_dataError = error;
    CheckDownloadEnd();
}

void TCustomFtpCli::CheckDownloadEnd()
{
    if (!(m_finalReplySeen && m_downloadClosed) || m_requestDoneFlag)
        return;
    TransferStats();
    const qint64 received = qint64(m_resumeAt) + m_byteCount;
    const qint64 resumedAt = qMax<qint64>(0, m_resumeAt);
    const qint64 expected = m_expectedSize;
    m_resumeAt = 0;
    m_transferActive = false;
    m_error = m_dataError;
    if (m_overflow) {
        // The bytes are not the file: leave the local file as it was before.
        if (!m_displayFileFlag && !OnDownloadData)
            QFile::resize(m_localFileName, resumedAt);
        m_error = 426;
        SetErrorMessage(resumedAt > 0 ? QStringLiteral("426 Resume failed: the server sent more than the file's "
                                                       "%1 bytes (it may have ignored REST %2); the local file "
                                                       "is left as it was").arg(expected).arg(resumedAt)
                                      : QStringLiteral("426 The server sent more than the file's %1 bytes")
                                            .arg(expected));
    } else if (m_listingTooLong) {
        m_error = 426;
        SetErrorMessage(QStringLiteral("426 Listing stopped: it is larger than the limit of %1 bytes")
                            .arg(m_listingLimit));
    } else if (m_stoppedByProgress) {
        // The server may have sent the whole file into the connection and
        // said 226 before the stop: what arrived is still only part of it.
        m_error = 426;
        SetErrorMessage(QStringLiteral("426 Transfer stopped: %1 bytes received").arg(received));
    } else if (m_error != 0) {
        SetErrorMessage("426 Data connection closed with error #" + QString::number(m_error) + " ("
                        + WSocketErrorDesc(m_error) + ")");
    } else if (m_localIoError) {
        m_error = 426;
        SetErrorMessage(QStringLiteral("426 Error writing local file"));
    } else if (expected >= 0 && received < expected) {
        // The server's size says the file is longer than what arrived.
        m_error = 426;
        SetErrorMessage(QStringLiteral("426 Transfer incomplete: %1 of %2 bytes received").arg(received).arg(expected));
    }
    RequestDone(m_error);
}

// --- uploads -----------------------------------------------------------------

void TCustomFtpCli::Stor() { StartUpload(stepStor); }
void TCustomFtpCli::Appe() { StartUpload(stepAppe); }

void TCustomFtpCli::StartUpload(TFtpStep step)
{
    const QString verb = verbOf(step);
    if (!m_connected)
        throw FtpException(verb + ": not connected");
    if (m_localFileName.isEmpty())
        throw FtpException(QStringLiteral("LocalFileName empty"));
    CheckCommandText(verb + " " + m_hostFileName);
    if (m_passive)
        ParsePassivePort();
    m_appendFlag = step == stepAppe;
    m_requestType = m_appendFlag ? ftpRqAppend : ftpRqPut;
    if (!m_highLevelFlag)
        m_errorMessage.clear();
    m_currentStep = step;
    m_finalReplySeen = false;
    m_uploadClosed = false;
    m_stoppedByProgress = false;
    m_requestDoneFlag = false;
    m_uploadReplySeen = false;
    m_uploadConnOpen = false;
    m_uploadStarted = false;
    m_localIoError = false;
    m_startTime = m_clock.elapsed();
    m_byteCount = 0;
    m_dataError = 0;
    bool cancel = false;
    if (OnReadyToTransmit)
        OnReadyToTransmit(this, cancel);
    if (cancel) {
        m_errorMessage = QStringLiteral("426 Transmit cancelled by application");
        m_statusCode = 426;
        Display("! " + m_errorMessage);
        m_error = 426;
        RequestDone(426);
        return;
    }
    m_data->OnSessionAvailable = [this](TCustomWSocket*, quint16 e) { Guarded([&] { UploadAccept(e); }); };
    if (!OpenLocalFile(false)) {
        m_errorMessage = "426 Unable to open local file " + m_localFileName;
        m_statusCode = 426;
        Display("! " + m_errorMessage);
        CloseData();
        m_error = 426;
        RequestDone(426);
        return;
    }
    m_eofReached = false;
    m_transferActive = true;
    m_next = &TCustomFtpCli::UploadReply1;
    m_done = nullptr;
    SetState(ftpStWaitingResponse);
    if (m_passive)
        ConnectPassive(true);  // the command goes out once the connection is up
    else
        SendCommand(verb + " " + m_hostFileName);
    AcceptEarlyConnection();
}

// Some servers connect back as soon as PORT is accepted, before the transfer
// command (and between PORT and RETR there may be a REST). A connection that
// is already waiting on the listening socket is taken now.
void TCustomFtpCli::AcceptEarlyConnection()
{
    if (m_passive || m_data->State() != wsListening || !m_data->OnSessionAvailable)
        return;
    pollfd p{m_data->HSocket(), POLLIN, 0};
    if (poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
        auto accept = m_data->OnSessionAvailable;
        accept(m_data, 0);
    }
}

void TCustomFtpCli::UploadConnected(quint16 error)
{
    if (error != 0) {
        DataConnectFailed(error);
        return;
    }
    m_data->OnSessionClosed = [this](TCustomWSocket*, quint16 e) { Guarded([&] { UploadClosed(e); }); };
    m_data->OnDataAvailable = nullptr;
    m_data->OnDataSent = nullptr;
    SendWithoutDelay(m_data->HSocket());
    // Over TLS the sending waits for the handshake as well; the command goes
    // now, as the server starts its side of the handshake once it has it.
    m_uploadConnOpen = !m_protP;
    if (m_protP)
        StartDataTls(&TCustomFtpCli::UploadSecured);
    m_uploadStarted = true;
    m_startTime = m_clock.elapsed();
    SetState(ftpStWaitingResponse);
    m_next = &TCustomFtpCli::UploadReply1;
    SendCommand(verbOf(m_currentStep) + " " + m_hostFileName);
}

void TCustomFtpCli::UploadAccept(quint16 error)
{
    const int handle = m_data->Accept();
    m_data->OnSessionAvailable = nullptr;
    m_data->Close();
    if (handle < 0) {
        DataConnectFailed(error ? error : m_data->LastError());
        return;
    }
    m_data->OnSessionClosed = [this](TCustomWSocket*, quint16 e) { Guarded([&] { UploadClosed(e); }); };
    m_data->OnDataAvailable = [this](TCustomWSocket* s, quint16) {
        char scratch[2048];
        s->Receive(scratch, sizeof scratch);  // nothing is expected: read and discard
    };
    m_data->OnDataSent = [this](TCustomWSocket*, quint16 e) { Guarded([&] { SendNextBlock(e); }); };
    m_data->SetLingerOnOff(wsLingerOff);
    m_data->SetLingerTimeout(10);
    m_data->Dup(handle);
    SendWithoutDelay(m_data->HSocket());
    int sndbuf = 0;
    socklen_t len = sizeof sndbuf;
    if (getsockopt(m_data->HSocket(), SOL_SOCKET, SO_SNDBUF, &sndbuf, &len) != 0)
        throw FtpException(QStringLiteral("winsock.getsockopt(SO_SNDBUF) failed"));
    if (m_protP) {
        StartDataTls(&TCustomFtpCli::UploadSecured);
        return;
    }
    m_uploadConnOpen = true;
    if (m_uploadReplySeen && !m_uploadStarted)
        PostStartUpload();
}

void TCustomFtpCli::PostStartUpload()
{
    m_uploadStarted = true;
    QMetaObject::invokeMethod(this, [this] {
        Guarded([&] {
            m_startTime = m_clock.elapsed();
            SendNextBlock(0);
        });
    }, Qt::QueuedConnection);
}

void TCustomFtpCli::UploadReply1()
{
    Display("< " + m_lastResponse);
    if (m_statusCode != 150 && m_statusCode != 125) {
        SetErrorMessage(m_lastResponse);
        m_next = nullptr;
        CloseData();
        FreeStream();
        m_resumeAt = 0;
        m_transferActive = false;
        m_error = m_statusCode;
        RequestDone(m_error);
        return;
    }
    m_uploadReplySeen = true;
    m_next = &TCustomFtpCli::UploadReply2;
    if (m_passive) {
        m_data->OnDataSent = [this](TCustomWSocket*, quint16 e) { Guarded([&] { SendNextBlock(e); }); };
        SendNextBlock(0);
    } else if (m_uploadConnOpen && !m_uploadStarted) {
        PostStartUpload();
    }
}

void TCustomFtpCli::SendNextBlock(quint16 error)
{
    if (!m_stream)
        return;
    if (ProgressCheck())
        return;
    if (error != 0) {
        Display("! Error #" + QString::number(error) + " sending data");
        CloseData();
        return;
    }
    if (m_eofReached || !m_uploadReplySeen || !m_uploadConnOpen)
        return;
    // A binary upload has the socket read the file straight into its send
    // queue, with no copy through this buffer; the blocks and events stay.
    qint64 n;
    if (Binary()) {
        n = m_data->SendFile(m_stream->handle(), kSendBlock);
        if (n > 0)
            m_byteCount += n;
    } else {
        n = m_stream->read(m_ioBuf.data(), kSendBlock);
        if (n > 0) {
            m_byteCount += n;
            m_data->Send(m_ioBuf.data(), int(n));
        }
    }
    if (n == 0) {
        m_eofReached = true;
        CloseData();
    } else if (n < 0) {
        Display(QStringLiteral("! Error reading file"));
        m_localIoError = true;
        CloseData();
    }
}

void TCustomFtpCli::UploadReply2()
{
    Display("< " + m_lastResponse);
    if (m_statusCode == 226 || m_statusCode == 250) {
        m_finalReplySeen = true;
        CheckUploadEnd();
        return;
    }
    SetErrorMessage(m_lastResponse);
    FreeStream();
    CloseData();
    Display(QStringLiteral("! STOR Failed"));
    m_transferActive = false;
    // A data connection the client refused (its TLS failed or stalled): the
    // server's reply only confirms it, and the request keeps the TLS error,
    // as a download does.
    const bool refused = m_uploadClosed && m_dataError >= wsock::TLS_HANDSHAKE_FAILED
                         && m_dataError <= wsock::TLS_SETUP_FAILED;
    m_error = refused ? m_dataError : m_statusCode;
    RequestDone(m_error);
}

void TCustomFtpCli::UploadClosed(quint16 error)
{
    FreeStream();
    m_uploadClosed = true;
    m_dataError = error;
    CheckUploadEnd();
}

void TCustomFtpCli::CheckUploadEnd()
{
    if (!(m_finalReplySeen && m_uploadClosed) || m_requestDoneFlag)
        return;
    TransferStats();
    m_resumeAt = 0;
    m_transferActive = false;
    m_error = m_dataError;
    if (m_stoppedByProgress) {
        m_error = 426;
        SetErrorMessage(QStringLiteral("426 Transfer stopped: %1 bytes sent").arg(m_byteCount));
    } else if (m_error != 0) {
        SetErrorMessage("426 Data connection closed with error #" + QString::number(m_error) + " ("
                        + WSocketErrorDesc(m_error) + ")");
    } else if (m_localIoError) {
        m_error = 426;
        SetErrorMessage(QStringLiteral("426 Error reading file"));
    } else if (!m_eofReached) {
        // The data connection ended before the whole file was sent.
        m_error = 426;
        SetErrorMessage(QStringLiteral("426 Data connection closed before the whole file was sent"));
    }
    RequestDone(m_error);
}
