// The session's life: connecting to a site (with the login retries), the
// session opened and closed, Stop, Disconnect, and the client's display and
// progress events.
#include "session/Session.h"

#include "i18n/MainMessages.h"
#include "i18n/MsgLanguage.h"
#include "session/ClientConfig.h"
#include "session/RemotePaths.h"
#include "session/SiteList.h"
#include "session/UserInterface.h"
#include "sites/SiteKeyring.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QMetaObject>

TSession::TSession(TSiteList* sites, TSessionLog* log, const TMsgLanguage* msl, QObject* parent,
                   QTimer* keepAliveTimer)
    : QObject(parent), ftp_(this), keepAlive_(&ftp_, keepAliveTimer, this), sites_(sites), log_(log), msl_(msl),
      remoteModel_(new TRemoteListModel(this)), watchdog_(new QTimer(this))
{
    remoteModel_->setObjectName(QStringLiteral("FTPViewModel"));
    watchdog_->setObjectName(QStringLiteral("SessionWatchdog"));
    watchdog_->setSingleShot(true);
    connect(watchdog_, &QTimer::timeout, this, &TSession::ServerSilent);
    HookClient();
}

TSession::~TSession()
{
    // The client must not call back into a half-destroyed engine.
    ftp_.OnDisplay = nullptr;
    ftp_.OnRequestDone = nullptr;
    ftp_.OnSessionConnected = nullptr;
    ftp_.OnSessionClosed = nullptr;
    ftp_.OnProgress = nullptr;
}

void TSession::HookClient()
{
    ftp_.OnDisplay = [this](TCustomFtpCli*, QString& m) { Ftp1Display(m); };
    ftp_.OnProgress = [this](TCustomFtpCli*, int count, bool& abort) { Ftp1Progress(count, abort); };
    ftp_.OnSessionConnected = [this](TCustomFtpCli*, quint16 e) { Ftp1SessionConnected(e); };
    ftp_.OnSessionClosed = [this](TCustomFtpCli*, quint16 e) { Ftp1SessionClosed(e); };
    ftp_.OnRequestDone = [this](TCustomFtpCli*, TFtpRequest rq, quint16 e) { Ftp1RequestDone(rq, e); };
}

void TSession::SetOptions(const TFTPOptions& o)
{
    options_ = o;
    keepAlive_.Apply(TKeepAliveSettings::FromOptions(o));
}

const TFTPServerObj& TSession::CurrentSite() const { return sites_->CurrentSite(); }

QString TSession::Msg(int index) const
{
    if (msl_)
        return msl_->Text(index);
    return MainMessageTexts().value(index);
}

void TSession::Display(const QString& text)
{
    if (log_)
        log_->Display(text);
}

bool TSession::ClientReady() const
{
    return ftp_.State() == ftpStReady || ftp_.State() == ftpStInternalReady;
}

// A double click on a busy client is ignored; one left aborting is ended
// first, so the next click finds it ready.
bool TSession::ClientReadyForClick()
{
    if (ClientReady())
        return true;
    if (ftp_.State() == ftpStAbort)
        AbortClient();
    return false;
}

// A command of the user may start a request: connected, logged in, the
// client idle and no step of the engine under way (a keep-alive NOOP makes
// the client busy too).
bool TSession::ReadyForCommand() const
{
    return phase_ == Phase::Online && ftp_.Connected() && ClientReady() && !inFlight_;
}

// Starts one request; a refusal of the client (busy, a name it will not
// send) is logged and leaves the engine's state as it was.
bool TSession::Start(const QString& what, const std::function<void()>& op)
{
    try {
        op();
    } catch (const std::exception& e) {
        Display(Msg(mainmsg::Error) + " " + what + ": " + QString::fromUtf8(e.what()));
        return false;
    }
    inFlight_ = true;
    ArmWatchdog();
    return true;
}

// Every sign of life from the server (a line, transfer progress) gives the
// request another TimeOut seconds.
void TSession::ArmWatchdog()
{
    if (options_.TimeOut > 0)
        watchdog_->start(options_.TimeOut * 1000);
}

bool TSession::WatchdogArmed() const { return watchdog_->isActive(); }

void TSession::ServerSilent()
{
    watchdog_->stop();
    const bool waiting = phase_ == Phase::Connecting || phase_ == Phase::LoggingIn || inFlight_ || !ClientReady();
    if (phase_ == Phase::SiteList || !waiting)
        return;
    Display(QStringLiteral("! No answer from the server for %1 seconds: the connection is closed")
                .arg(options_.TimeOut));
    userEnded_ = true;
    AbortClient();
    SessionEnded();
}

// A step that runs from the event loop once the current event has returned.
// The engine counts as busy meanwhile, so no command slips in between.
void TSession::Post(void (TSession::*step)())
{
    inFlight_ = true;
    QMetaObject::invokeMethod(this, [this, step] {
        inFlight_ = false;
        if (phase_ != Phase::SiteList)
            (this->*step)();
    }, Qt::QueuedConnection);
}

void TSession::SetPhase(Phase p)
{
    const bool wasShown = SiteListShown();
    phase_ = p;
    if (wasShown != SiteListShown())
        emit SiteListShownChanged(SiteListShown());
}

void TSession::SetBusy(bool b)
{
    if (busy_ == b)
        return;
    busy_ = b;
    emit BusyChanged(b);
}

void TSession::SetInfoLine(const QString& text)
{
    infoLine_ = text;
    emit InfoLineChanged(text);
}

void TSession::UpdateSessionControls(bool connected)
{
    stopRequested_ = false;
    emit SessionControlsChanged(connected);
}

// --- connecting --------------------------------------------------------------

void TSession::ConnectToSite()
{
    if (ftp_.Connected() || phase_ != Phase::SiteList)
        return;
    loginAttempts_ = 0;
    if (sites_->SelectedRow() < 0) {
        emit NewSiteWanted();
        if (sites_->SelectedRow() < 0)
            return;
    }
    SiteListDoubleClick();
}

void TSession::SiteListDoubleClick()
{
    if (phase_ != Phase::SiteList || !ClientReadyForClick())
        return;
    switch (sites_->DoubleClick()) {
    case TSiteList::DblClick::SiteChosen:
        ConnectSite();
        break;
    case TSiteList::DblClick::NewServerWanted:
        emit NewSiteWanted();
        break;
    default:
        break;
    }
}

void TSession::ConnectTo(const TFTPServerObj& site)
{
    if (phase_ != Phase::SiteList || ftp_.Connected() || !ClientReady())
        return;
    CopySite(sites_->CurrentSite(), site);
    NormaliseServerUrl(sites_->CurrentSite());
    ConnectSite();
}

// The chosen site (now CurrentSite) becomes the client's target.
void TSession::ConnectSite()
{
    const TFTPServerObj& site = CurrentSite();
    TFTPServerObj withPassword = site;
    QString keyringError;
    if (!FetchSitePassword(withPassword, &keyringError))
        Display(QStringLiteral("%1: %2").arg(site.Name, keyringError));  // the password is asked instead
    TConnectionFields target = ConnectionFieldsFromSite(withPassword);
    if (!target.PasswordKnown) {
        QString password;
        IUserInterface* ui = userInterface();
        if (!ui || !ui->InputLine(Msg(mainmsg::EnterPassword), Msg(mainmsg::Password) + ":", password, true, 255))
            return;  // cancelled: no connection
        target.Password = password;
        target.PasswordKnown = true;
    }
    // The question was modal: whatever happened meanwhile, only an idle
    // client without a session starts a connection.
    if (phase_ != Phase::SiteList || ftp_.Connected() || !ClientReady())
        return;
    TClientConfig cfg = ClientConfigFor(options_, target);
    cfg.TlsCaFile = tlsCaFile_;
    cfg.TlsFingerprint = tlsFingerprint_;
    cfg.Target.InitialDir = RemoteDirPath(site.InitialDir, site.CheckVHost != 0);
    if (!ConfigureClient(ftp_, cfg, TConfigScope::Everything)) {
        Display(Msg(mainmsg::Error) + " " + ftp_.HostName());
        return;
    }
    ftp_.SetBinary(true);
    if (!site.LocalDir.trimmed().isEmpty()) {
        const QString dir = site.LocalDir.trimmed();
        if (QDir(dir).exists() || QDir().mkpath(dir))
            emit LocalDirWanted(dir);
    }
    flags_ = 0;
    timeCmd_ = 3;  // learned afresh on every connection
    userEnded_ = false;
    loginAttempts_ = 0;
    Display(QString());
    Display(Msg(mainmsg::ConnectingTo) + " " + ftp_.HostName()
            + QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral(" , dd MMM yyyy hh:mm:ss")));
    StartConnect();
}

void TSession::StartConnect()
{
    try {
        ftp_.Connect();
    } catch (const std::exception& e) {
        Display(Msg(mainmsg::Error) + " " + QString::fromUtf8(e.what()));
        SessionEnded();
        return;
    }
    ++connectsPending_;
    ++attempt_;
    ArmWatchdog();
    SetPhase(Phase::Connecting);
    emit SessionControlsChanged(true);  // Stop and Disconnect work while connecting
}

// A posted reconnection: the completion of the attempt that failed arrives
// after it and is recognised as stale (connectsPending_ stays above 0).
void TSession::Reconnect()
{
    if (userEnded_ || phase_ != Phase::Connecting || ftp_.Connected())
        return;
    StartConnect();
}

void TSession::Ftp1SessionConnected(quint16 error)
{
    if (error != 0 || phase_ != Phase::Connecting)
        return;
    const bool vhost = VirtualHost();
    remoteBase_ = RemoteDirPath(ftp_.HostDirName(), vhost);
    localBase_ = LocalDirPath(localDir_.isEmpty() ? QDir::currentPath() : localDir_);
    SetBusy(false);
    SetPhase(Phase::LoggingIn);
    sites_->Clear();
    remoteModel_->Clear();
    keepAlive_.SessionOpened();
    UpdateSessionControls(true);
    loginAttempts_ = -1;
    SetInfoLine(QString());
    emit InfoLineVisibleChanged(true);
}

void TSession::Ftp1SessionClosed(quint16)
{
    SessionEnded();
}

// The connection is gone (or never came up). Before a session was opened a
// new attempt follows while the retry setting allows: a retry setting of N
// gives N further attempts, numbered 2 to N + 1 in the log. Otherwise the
// site list returns.
void TSession::SessionEnded()
{
    // The close event and the engine's own abort may both report the end of
    // one attempt: it counts once.
    if (phase_ == Phase::SiteList || endedAttempt_ == attempt_)
        return;
    endedAttempt_ = attempt_;
    const int retry = options_.retry;
    if (!userEnded_ && retry > 0 && loginAttempts_ >= 0 && loginAttempts_ < retry) {
        ++loginAttempts_;
        SetPhase(Phase::Connecting);
        Display(Msg(mainmsg::ConnectingTo) + QStringLiteral(" %1 [Attempt %2]").arg(ftp_.HostName()).arg(loginAttempts_ + 1));
        QMetaObject::invokeMethod(this, &TSession::Reconnect, Qt::QueuedConnection);
        return;
    }
    keepAlive_.Stop();
    watchdog_->stop();
    inFlight_ = false;
    afterType_ = nullptr;
    flags_ = 0;
    deleteRunning_ = false;
    renameBatch_ = false;
    ClearQueues();
    const bool downloading = transfer_ == TransferKind::Download;
    EndTransferState();
    if (mirror_) {
        mirror_->Stop();
        MirrorFinish();  // the report says how far the run came
    }
    if (downloading)
        emit LocalRefreshWanted();
    SetBusy(false);
    SetPhase(Phase::SiteList);
    remoteModel_->Clear();
    sites_->ShowSiteList(QString());
    UpdateSessionControls(false);
    emit InfoLineVisibleChanged(false);
    SetInfoLine(QString());
    Display(Msg(mainmsg::ConnectionClosed));
}

// --- ending ------------------------------------------------------------------

// Ends whatever the client does now; the control connection closes at once.
// The caller then ends the session (SessionEnded), which counts once even
// when the client reports the close as well.
void TSession::AbortClient()
{
    keepAlive_.Stop();
    ftp_.Abort();
}

void TSession::Disconnect()
{
    if (phase_ == Phase::SiteList)
        return;
    userEnded_ = true;
    if (ftp_.Connected() && ClientReady() && phase_ == Phase::Online && !inFlight_) {
        Start(QStringLiteral("QUIT"), [this] { ftp_.Quit(); });
        return;
    }
    AbortClient();
    SessionEnded();
}

void TSession::StopTransfer()
{
    if (phase_ == Phase::Connecting || ftp_.State() == ftpStDnsLookup || ftp_.State() == ftpStWaitingBanner) {
        // The connection is still being made: give it up, no new attempt.
        userEnded_ = true;
        AbortClient();
        SessionEnded();
        return;
    }
    // Nothing runs: a Stop now must not cut the next listing.
    if (ClientReady() && !inFlight_ && flags_ == 0 && !busy_)
        return;
    flags_ = 0;
    stopRequested_ = true;
}

void TSession::AbortForExit()
{
    userEnded_ = true;
    if (ftp_.State() == ftpStWaitingResponse && ftp_.ControlSocket()->State() == wsClosed)
        return;
    keepAlive_.Stop();
    ftp_.Abort();
}

// --- the client's reports ----------------------------------------------------

void TSession::Ftp1Display(QString& msg)
{
    // The password never reaches the log.
    if (watchdog_->isActive())
        ArmWatchdog();
    if (msg.contains(QLatin1String("PASS "), Qt::CaseInsensitive))
        Display(QStringLiteral("> PASS (hidden)"));
    else
        Display(msg);
}

void TSession::Ftp1Progress(int count, bool& abort)
{
    if (watchdog_->isActive())
        ArmWatchdog();
    emit TransferProgress(count);
    abort = stopRequested_;
}
