#include "session/ProgressText.h"

#include "listing/ListingDisplay.h"

#include <algorithm>

QString ElapsedText(qint64 seconds)
{
    const qint64 s = std::max<qint64>(0, seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2)
        .arg((s % 3600) / 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString RateText(qint64 bytesPerSecond, const QString& unit)
{
    const qint64 r = std::max<qint64>(0, bytesPerSecond);
    // The remainder keeps its leading zeros: 12005 is 12.005, not 12.5.
    return QStringLiteral("%1.%2 %3").arg(r / 1000).arg(r % 1000, 3, 10, QLatin1Char('0')).arg(unit);
}

QString FileNameOf(const QString& path)
{
    qsizetype cut = -1;
    for (QChar c : {QLatin1Char('/'), QLatin1Char('\\'), QLatin1Char(':')})
        cut = std::max(cut, path.lastIndexOf(c));
    return path.mid(cut + 1);
}

QString ProgressCaption(const QString& verb, const QString& path, qint64 size, const QString& bytesWord)
{
    return QStringLiteral("%1 %2 (%3 %4)").arg(verb, FileNameOf(path), GroupedByteCount(size), bytesWord);
}

TransferProgress::TransferProgress(ProgressClock clock) : clock_(std::move(clock))
{
    batchStart_ = clock_();
}

void TransferProgress::StartFile(qint64 size, qint64 step)
{
    finished_ = false;
    fileStart_ = clock_();
    size_ = std::max<qint64>(0, size);
    step_ = step > 0 ? step : 1;
    units_ = 0;
    transferred_ = 0;
    fileSeconds_ = 0;
    rate_ = 0;
    timeLeft_ = 0;
}

bool TransferProgress::SetProgress(qint64 units)
{
    if (finished_)
        return false;
    units_ = units;
    transferred_ = units * step_;
    const qint64 now = clock_();
    fileSeconds_ = (now - fileStart_) / 1000;
    rate_ = (transferred_ != 0 && fileSeconds_ > 0) ? transferred_ / fileSeconds_ : 0;
    // A file that grew past its announced size has nothing left to wait for.
    timeLeft_ = rate_ != 0 ? std::max<qint64>(0, size_ - transferred_) / rate_ : 0;
    batchSeconds_ = (now - batchStart_) / 1000;
    return true;
}

void TransferProgress::EndFile()
{
    if (finished_)
        return; // a second EndFile must not count the file twice
    units_ = 0;
    batchTotal_ += transferred_;
    transferred_ = 0; // now part of the total, not counted a second time
    finished_ = true;
}

QString TransferProgress::TransferText() const { return GroupedByteCount(transferred_); }

QString TransferProgress::TotTransferText() const { return GroupedByteCount(batchTotal_ + transferred_); }

QPoint ProgressPicture::Start(bool sending, int panelWidth, int panelHeight, int width, int height)
{
    sending_ = sending;
    W_ = panelWidth;
    H_ = panelHeight;
    w_ = width;
    h_ = height;
    y_ = (H_ - h_) / 2;
    x_ = sending ? 0 : W_ - w_;
    up_ = true;
    yStep_ = h_ / 3;
    return {x_, y_};
}

QPoint ProgressPicture::Step()
{
    int drawX = 0;
    if (sending_) {
        x_ += w_;
        if (x_ > W_ - w_) {
            drawX = W_ - w_;
            x_ = -w_; // the next step starts again at the left edge
        } else {
            drawX = x_;
        }
    } else {
        x_ -= w_;
        if (x_ < w_) {
            drawX = 0;
            x_ = W_; // the next step starts again at the right edge
        } else {
            drawX = x_;
        }
    }
    if (up_) {
        y_ -= yStep_;
        if (y_ < 0) {
            y_ = 0;
            up_ = false;
        }
    } else {
        y_ += yStep_;
        if (y_ + h_ > H_) {
            y_ = H_ - h_;
            up_ = true;
        }
    }
    return {drawX, y_};
}
