#pragma once
// Keep-alive: while a session is idle, sends the configured commands (NOOP,
// PWD, ...) in turn every StartKeep seconds so the server does not drop the
// connection, for at most DurationKeep minutes of the session.
//
// The request dispatcher drives it: Stop() on entry to every request-done
// event, Restart() on every way out, SessionOpened() when a session opens,
// Stop() when it closes or a running request is aborted.
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;
class TCustomFtpCli;
struct TFTPOptions;

struct TKeepAliveSettings {
    bool Keep = false;          // keep-alive on
    int IntervalMs = 100000;    // StartKeep seconds x 1000
    double DurationKeep = 10;   // minutes of keep-alive in total
    QString CmdKeep;            // commands as comma text ("NOOP,PWD", "\"SITE IDLE 60\"")

    static TKeepAliveSettings FromOptions(const TFTPOptions& o);
};

// Splits the keep-alive command text into items. Items are separated by
// commas and, outside double quotes, by blanks (any character up to the
// space); blanks around a separator do not count. An item in double quotes
// keeps its commas and blanks, and "" inside the quotes is one quote. Two
// commas in a row, or a comma at the end, give an empty item.
QStringList SplitCommaText(const QString& text);

class TKeepAlive : public QObject {
    Q_OBJECT
public:
    // timer: the window's keep-alive timer (cTimer) to drive, or nullptr to
    // use one of its own.
    explicit TKeepAlive(TCustomFtpCli* ftp, QTimer* timer = nullptr, QObject* parent = nullptr);

    void Apply(const TKeepAliveSettings& s);
    const TKeepAliveSettings& Settings() const { return settings_; }

    // A session opened: index and elapsed total start from 0; the timer runs
    // when keep-alive is on and there are commands.
    void SessionOpened();
    // Arms the timer afresh (a full interval from now) when keep-alive is on
    // and CmdKeep is not empty; otherwise leaves it off.
    void Restart();
    void Stop();
    // Armed: a tick is due one interval from the last (re)start.
    bool Active() const;

    // The timer's tick.
    void cTimerTimer();

    // Who delivers the ticks. By default the timer's timeout does. With manual
    // ticks on, the timer is never started and the owner (a test) delivers
    // them with Tick(), so nothing depends on real time passing; arming,
    // stopping and Active() behave exactly as with the timer.
    void SetManualTicks(bool manual);
    bool ManualTicks() const { return manualTicks_; }
    // One tick, as the timer's timeout would deliver it: only while armed (a
    // stopped timer does not fire). Returns whether a tick was delivered.
    bool Tick();

    // A keep-alive command is under way: the dispatcher must not refresh
    // the listing when it completes. TakeKeepAliveQuote returns and clears it.
    bool KeepAliveQuote() const { return keepAliveQuote_; }
    bool TakeKeepAliveQuote();

    int KeepAliveIndex() const { return keepAliveIndex_; }
    qint64 ElapsedMs() const { return elapsedMs_; }
    QTimer* Timer() const { return timer_; }

private:
    bool enabled() const;
    void arm();
    void disarm();

    TCustomFtpCli* ftp_;
    QTimer* timer_;
    TKeepAliveSettings settings_;
    qint64 elapsedMs_ = 0;
    int keepAliveIndex_ = 0;
    bool keepAliveQuote_ = false;
    bool manualTicks_ = false;
    bool manualArmed_ = false;  // Active() while ticks are manual
};
