// Construction, properties, Open, QUIT, Abort and request completion.
#include "ftp/FtpClient.h"
#include "ftp/FtpCodec.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>

const char* ftpStateName(TFtpClientState s)
{
    switch (s) {
    case ftpStNotConnected: return "ftpStNotConnected";
    case ftpStReady: return "ftpStReady";
    case ftpStInternalReady: return "ftpStInternalReady";
    case ftpStDnsLookup: return "ftpStDnsLookup";
    case ftpStConnected: return "ftpStConnected";
    case ftpStAbort: return "ftpStAbort";
    case ftpStWaitingBanner: return "ftpStWaitingBanner";
    case ftpStWaitingResponse: return "ftpStWaitingResponse";
    }
    return "?";
}

TCustomFtpCli::TCustomFtpCli(QObject* parent)
    : QObject(parent), m_control(new TWSocket(this)), m_data(new TWSocket(this)), m_ioBuf(std::max(kRecvBlock, kSendBlock))
{
    m_clock.start();
    m_control->OnDnsLookupDone = [this](TCustomWSocket*, quint16 e) { Guarded([&] { ControlDnsLookupDone(e); }); };
    m_control->OnSessionConnected = [this](TCustomWSocket*, quint16 e) { Guarded([&] { ControlSessionConnected(e); }); };
    m_control->OnDataAvailable = [this](TCustomWSocket*, quint16 e) { Guarded([&] { ControlDataAvailable(e); }); };
    m_control->OnSessionClosed = [this](TCustomWSocket*, quint16 e) { Guarded([&] { ControlSessionClosed(e); }); };
}

TCustomFtpCli::~TCustomFtpCli()
{
    // The sockets must not call back into a half-destroyed client.
    for (TWSocket* s : {m_control, m_data}) {
        s->OnDnsLookupDone = nullptr;
        s->OnSessionConnected = nullptr;
        s->OnSessionAvailable = nullptr;
        s->OnDataAvailable = nullptr;
        s->OnDataSent = nullptr;
        s->OnSessionClosed = nullptr;
        s->OnTlsHandshakeDone = nullptr;
    }
    delete m_data;
    delete m_control;
}

void TCustomFtpCli::Guarded(const std::function<void()>& fn)
{
    // No exception may leave an event handler for the event loop.
    try {
        fn();
    } catch (const FtpException& e) {
        HandleBgException(e);
    } catch (const ESocketException& e) {
        HandleBgException(e);
    } catch (const std::exception& e) {
        HandleBgException(e);
    }
}

void TCustomFtpCli::HandleBgException(const std::exception& e)
{
    bool canClose = true;
    if (OnBgException)
        OnBgException(this, e, canClose);
    if (!canClose)
        return;
    // The request that was running cannot go on: end it with a local error
    // rather than leaving it open (or letting it report success).
    const QString msg = QString::fromUtf8(e.what());
    Display("! " + msg);
    SetErrorMessage(msg);
    if (m_error == 0)
        m_error = 550;
    m_next = nullptr;
    m_nextStepSet = false;
    m_transferActive = false;
    FreeStream();
    CloseData();
    if (m_state != ftpStReady) {
        m_requestDoneFlag = false;
        RequestDone(m_error);
    }
}

TFtpShareMode TCustomFtpCli::ShareMode() const
{
    switch (m_shareFlag) {
    case 0: return ftpShareCompat;
    case 32: return ftpShareDenyWrite;
    case 48: return ftpShareDenyRead;
    case 64: return ftpShareDenyNone;
    default: return ftpShareExclusive;
    }
}

void TCustomFtpCli::SetShareMode(TFtpShareMode v)
{
    static const quint16 flags[] = {0, 16, 32, 48, 64};
    m_shareFlag = (int(v) >= 0 && int(v) <= 4) ? flags[v] : 16;
}

void TCustomFtpCli::SetConnectionType(TFtpConnectionType v)
{
    if (Connected())
        throw FtpException(QStringLiteral("FTP component connected"));
    m_connectionType = v;
    if (v == ftpSocks4 || v == ftpSocks4A || v == ftpSocks5)
        for (TWSocket* s : {m_control, m_data})
            s->SetSocksLevel(v == ftpSocks4 ? "4" : v == ftpSocks4A ? "4A" : "5");
    ApplySocksAuthentication();
    if (v != ftpDirect)
        m_passive = true;
}

// SOCKS connections offer user/password authentication when a user code is
// set; without one they offer "no authentication", which a server that asks
// for no login accepts (offering only user/password there would be refused).
void TCustomFtpCli::ApplySocksAuthentication()
{
    const bool socks = m_connectionType == ftpSocks4 || m_connectionType == ftpSocks4A
                       || m_connectionType == ftpSocks5;
    const bool withUser = socks && !m_control->SocksUsercode().isEmpty();
    for (TWSocket* s : {m_control, m_data})
        s->SetSocksAuthentication(withUser ? socksAuthenticateUsercode : socksNoAuthentication);
}

void TCustomFtpCli::SetSocksServer(const QString& v) { m_control->SetSocksServer(v); m_data->SetSocksServer(v); }
void TCustomFtpCli::SetSocksPort(const QString& v) { m_control->SetSocksPort(v); m_data->SetSocksPort(v); }
void TCustomFtpCli::SetSocksUserCode(const QString& v)
{
    m_control->SetSocksUsercode(v);
    m_data->SetSocksUsercode(v);
    ApplySocksAuthentication();
}
void TCustomFtpCli::SetSocksPassword(const QString& v) { m_control->SetSocksPassword(v); m_data->SetSocksPassword(v); }

void TCustomFtpCli::SetSizeProgress(qint64 v)
{
    m_sizeProgress = v;
    m_lastProgress = 0;
    m_stepProgress = int(qMax<qint64>(1, v / 1000));
}

void TCustomFtpCli::SetState(TFtpClientState s)
{
    if (s == m_state)
        return;
    m_state = s;
    if (OnStateChange)
        OnStateChange(this);
}

void TCustomFtpCli::Display(const QString& msg)
{
    if (OnDisplay) {
        QString m = msg;
        OnDisplay(this, m);
    }
}

void TCustomFtpCli::SendCommand(const QString& cmd)
{
    QString c = cmd;
    if (OnCommand)
        OnCommand(this, c);
    CheckCommandText(c);
    Display("> " + c);
    if (m_control->State() == wsConnected)
        m_control->SendStr(ftpcodec::encode(c, m_latin1) + "\r\n");
}

void TCustomFtpCli::ReadyCheck()
{
    if (m_state != ftpStReady && m_state != ftpStInternalReady)
        throw FtpException(QStringLiteral("Please wait! The program waits response from FTP host"));
}

void TCustomFtpCli::FreeStream()
{
    if (m_stream) {
        m_stream->close();
        m_stream.reset();
    }
    // A file created for a download the server never accepted goes again.
    if (!m_unacceptedPath.isEmpty()) {
        QFile::remove(m_unacceptedPath);
        m_unacceptedPath.clear();
    }
}

void TCustomFtpCli::CloseData()
{
    if (m_data->State() != wsClosed)
        m_data->Close();
}

void TCustomFtpCli::RequestDone(int error)
{
    if (m_requestDoneFlag)
        return;
    m_requestDoneFlag = true;
    if (error == 0 && m_nextStepSet) {
        if (m_state != ftpStAbort)
            SetState(ftpStInternalReady);
        NextStep();
        return;
    }
    SetState(ftpStReady);
    m_transferActive = false;
    CloseData();
    if (m_highLevelFlag && m_statusCodeSave >= 0) {
        m_lastResponse = m_lastResponseSave;
        m_statusCode = m_statusCodeSave;
    }
    m_highLevelFlag = false;
    m_fctSet = 0;
    m_nextStepSet = false;
    // Delivered from the event loop, so a handler may start the next request.
    // The code is taken now: by the time the event runs, a synchronous caller
    // may already have started the next request.
    const TFtpRequest request = m_requestType;
    QMetaObject::invokeMethod(this, [this, request, error] { DeliverRequestDone(request, error); },
                              Qt::QueuedConnection);
}

void TCustomFtpCli::DeliverRequestDone(TFtpRequest request, int error)
{
    if (!OnRequestDone)
        return;
    try {
        OnRequestDone(this, request, quint16(error));
    } catch (const std::exception& e) {
        bool canClose = true;
        if (OnBgException)
            OnBgException(this, e, canClose);
        if (canClose)
            Display("! " + QString::fromUtf8(e.what()));
    }
}

static QString winsockLine(int n)
{
    return "500 " + WSocketErrorDesc(n) + " (Winsock error #" + QString::number(n) + ")";
}

void TCustomFtpCli::Open()
{
    ReadyCheck();
    if (m_connected)
        throw FtpException(QStringLiteral("FTP component already connected"));
    if (!m_highLevelFlag) {
        m_requestType = ftpRqOpen;
        m_errorMessage.clear();
    }
    m_requestDoneFlag = false;
    m_reply.Clear();
    m_error = 0;
    m_protP = false;
    m_tlsGate = false;
    m_tlsPool.clear();
    m_tlsLastUsed.reset();
    for (TWSocket* s : {m_control, m_data})
        s->TakeTlsSessions();
    m_dnsResult.clear();
    m_extended = false;
    m_extendedTried = false;
    // What the last server offered says nothing about the next one.
    m_features = TFtpFeatures();
    m_replyLines.clear();
    m_replyEnded = true;
    m_machineListing = m_mlsdRefused = m_listingMlsd = false;
    m_currentStep = stepOpen;
    SetState(ftpStDnsLookup);
    const QString host = m_connectionType == ftpProxy ? m_proxyServer : m_hostName;
    if (host.trimmed().isEmpty()) {
        // Nothing to look up: the same failure path as a lookup error.
        QMetaObject::invokeMethod(this, [this] { Guarded([&] { ControlDnsLookupDone(wsock::WSAEINVAL); }); },
                                  Qt::QueuedConnection);
        return;
    }
    m_control->DnsLookup(host.trimmed());
}

void TCustomFtpCli::ControlDnsLookupDone(quint16 error)
{
    if (m_state != ftpStDnsLookup)
        return;
    if (error == 0) {
        m_dnsResult = m_control->DnsResult();
        const bool viaProxy = m_connectionType == ftpProxy && !m_proxyPort.isEmpty();
        try {
            m_control->SetAddr(m_dnsResult);
            // Direct: every address of the name is tried in turn. Through
            // SOCKS the server is told the one address, as before.
            const bool socks = m_connectionType == ftpSocks4 || m_connectionType == ftpSocks4A
                               || m_connectionType == ftpSocks5;
            if (!socks && m_control->DnsResultList().size() > 1)
                m_control->SetAddrList(m_control->DnsResultList());
            m_control->SetProto(QStringLiteral("tcp"));
            m_control->SetPort(viaProxy ? m_proxyPort : m_port);
            SetState(ftpStWaitingBanner);
            m_control->Connect();
            return;
        } catch (const ESocketException& e) {
            Display("! " + e.Message());  // the cause in words ("SOCKS 4 cannot carry ...")
            error = quint16(m_control->LastError() ? m_control->LastError() : wsock::WSAEINVAL);
        }
    }
    m_lastResponse = winsockLine(error);
    m_statusCode = 500;
    m_error = 500;
    SetErrorMessage(m_lastResponse);
    m_nextStepSet = false;
    RequestDone(error);
}

void TCustomFtpCli::ControlSessionConnected(quint16 error)
{
    if (error != 0) {
        m_lastResponse = winsockLine(error);
        m_statusCode = 500;
        m_error = 500;
        SetErrorMessage(m_lastResponse);
        m_nextStepSet = false;
        RequestDone(error);
        if (m_control->State() != wsClosed)
            m_control->Close();
        SetState(ftpStReady);
        return;
    }
    m_connected = true;
    // Implicit TLS: the handshake comes before the welcome.
    if (m_security == ftpSecImplicit)
        StartControlTls();
}

void TCustomFtpCli::ControlSessionClosed(quint16 error)
{
    const bool aborting = m_state == ftpStAbort;
    // Many servers end the control connection after QUIT (and its 221)
    // without TLS's closing message: nothing more was to come, so that is a
    // normal end, not a cut one.
    if (error == wsock::TLS_TRUNCATED && (m_currentStep == stepQuit || m_statusCode == 221))
        error = 0;
    m_tlsGate = false;
    const bool wasWaiting = m_state == ftpStWaitingResponse || m_state == ftpStWaitingBanner;
    if (m_connected) {
        m_connected = false;
        if (!aborting)
            SetState(ftpStNotConnected);
        if (OnSessionClosed)
            OnSessionClosed(this, error);
    }
    // A request whose reply or data never came must not end as a success.
    if (!m_requestDoneFlag && m_error == 0 && m_currentStep != stepQuit && (wasWaiting || m_transferActive)) {
        m_error = error ? int(error) : 426;
        m_lastResponse = aborting ? QStringLiteral("426 Operation aborted.")
                                  : QStringLiteral("426 Connection closed by server");
        m_statusCode = 426;
        SetErrorMessage(m_lastResponse);
        m_nextStepSet = false;
    }
    m_transferActive = false;
    m_next = nullptr;
    FreeStream();
    if (!aborting)
        SetState(ftpStInternalReady);
    RequestDone(m_error);
}

void TCustomFtpCli::Quit()
{
    FreeStream();
    m_currentStep = stepQuit;
    ExecCommand(ftpRqQuit, QStringLiteral("QUIT"), {221}, &TCustomFtpCli::QuitDone);
}

void TCustomFtpCli::QuitDone()
{
    if (m_control->State() != wsClosed)
        m_control->Close();
    else
        ControlSessionClosed(0);
}

void TCustomFtpCli::Abort()
{
    const bool lookup = m_state == ftpStDnsLookup;
    SetState(ftpStAbort);
    FreeStream();
    if (lookup)
        m_control->CancelDnsLookup();
    if (m_control->State() != wsClosed)
        m_control->Close();
    if (m_data->State() != wsClosed)
        m_data->Close();
    FreeStream();
    m_connected = false;
    SetState(ftpStReady);
}

// --- TFtpClient: synchronous forms ---------------------------------------

TFtpClient::TFtpClient(QObject* parent) : TCustomFtpCli(parent) {}

void TFtpClient::ProgressMoved()
{
    m_deadline = m_clock.elapsed() + qint64(m_timeout) * 1000;
}

bool TFtpClient::Synchronize(const std::function<void()>& op)
{
    m_deadline = m_clock.elapsed() + qint64(m_timeout) * 1000;
    op();
    return WaitUntilReady();
}

bool TFtpClient::WaitUntilReady()
{
    // A timer wakes the blocking pump so the deadline is seen even when the
    // server stays silent; there is no busy waiting.
    QTimer tick;
    tick.start(50);
    for (;;) {
        if (m_state == ftpStReady)
            return m_error == 0;
        const bool late = m_timeout > 0 && m_clock.elapsed() > m_deadline;
        if (QCoreApplication::closingDown() || late) {
            Abort();
            m_errorMessage = QStringLiteral("426 Timeout");
            m_statusCode = 426;
            return false;
        }
        // The overload with a time limit drops WaitForMoreEvents and would
        // spin; this one sleeps until an event (at the latest the tick).
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
    }
}
