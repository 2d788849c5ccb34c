#include "session/KeepAlive.h"

#include "ftp/FtpClient.h"
#include "settings/Options.h"

#include <QTimer>

TKeepAliveSettings TKeepAliveSettings::FromOptions(const TFTPOptions& o)
{
    TKeepAliveSettings s;
    s.Keep = o.Keep;
    s.IntervalMs = qMax(0, o.StartKeep) * 1000;
    s.DurationKeep = o.DurationKeep;
    s.CmdKeep = o.CmdKeep;
    return s;
}

QStringList SplitCommaText(const QString& text)
{
    QStringList out;
    int i = 0;
    const int n = int(text.size());
    auto skipBlanks = [&] {
        while (i < n && text[i] <= QLatin1Char(' '))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        QString item;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') { // doubled quote
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < n && text[i] > QLatin1Char(' ') && text[i] != ',')
                item += text[i++];
        }
        out << item;
        skipBlanks();
        if (i < n && text[i] == ',') {
            ++i;
            skipBlanks();
            if (i == n)
                out << QString(); // a trailing comma ends with an empty item
        }
    }
    return out;
}

TKeepAlive::TKeepAlive(TCustomFtpCli* ftp, QTimer* timer, QObject* parent)
    : QObject(parent), ftp_(ftp), timer_(timer)
{
    if (!timer_) {
        timer_ = new QTimer(this);
        timer_->setObjectName(QStringLiteral("cTimer"));
    }
    timer_->setSingleShot(false);
    connect(timer_, &QTimer::timeout, this, &TKeepAlive::cTimerTimer);
}

void TKeepAlive::Apply(const TKeepAliveSettings& s)
{
    settings_ = s;
    timer_->setInterval(qMax(1, s.IntervalMs));
    if (!enabled())
        disarm();
}

void TKeepAlive::arm()
{
    if (manualTicks_)
        manualArmed_ = true;
    else
        timer_->start();
}

void TKeepAlive::disarm()
{
    manualArmed_ = false;
    timer_->stop();
}

void TKeepAlive::SetManualTicks(bool manual)
{
    if (manual == manualTicks_)
        return;
    const bool armed = Active();
    disarm();
    manualTicks_ = manual;
    if (armed)
        arm();
}

bool TKeepAlive::Tick()
{
    if (!Active())
        return false;
    cTimerTimer();
    return true;
}

bool TKeepAlive::enabled() const
{
    return settings_.Keep && !settings_.CmdKeep.trimmed().isEmpty();
}

void TKeepAlive::SessionOpened()
{
    keepAliveIndex_ = 0;
    elapsedMs_ = 0;
    keepAliveQuote_ = false;
    Restart();
}

void TKeepAlive::Restart()
{
    disarm();
    if (!enabled())
        return;
    timer_->setInterval(qMax(1, settings_.IntervalMs));
    arm();
}

void TKeepAlive::Stop() { disarm(); }

bool TKeepAlive::Active() const { return manualTicks_ ? manualArmed_ : timer_->isActive(); }

bool TKeepAlive::TakeKeepAliveQuote()
{
    const bool was = keepAliveQuote_;
    keepAliveQuote_ = false;
    return was;
}

void TKeepAlive::cTimerTimer()
{
    const qint64 elapsed = elapsedMs_ + timer_->interval();
    // Keep-alive has run for its duration: off for the rest of the session.
    if (settings_.DurationKeep < double(elapsed) / 60000.0) {
        disarm();
        return;
    }
    // A busy or closed client is left alone; the total does not grow.
    if (!ftp_ || ftp_->State() != ftpStReady || !ftp_->Connected())
        return;
    disarm();
    elapsedMs_ = elapsed;
    QStringList commands = SplitCommaText(settings_.CmdKeep);
    commands.removeAll(QString()); // an empty item would send an empty line
    if (commands.isEmpty())
        return;
    keepAliveQuote_ = true;
    if (keepAliveIndex_ >= commands.size())
        keepAliveIndex_ = 0;
    ftp_->SetLocalFileName(commands.at(keepAliveIndex_));
    try {
        ftp_->Quote();
    } catch (const std::exception&) {
        // The client refused (it became busy in between): nothing was sent.
        keepAliveQuote_ = false;
    }
    arm();
    ++keepAliveIndex_;
}
