#pragma once
// The arithmetic and the texts of the transfer progress window: bytes moved,
// elapsed and remaining times, the rate, the bar, and the path of the small
// picture that shows the direction. Kept apart from the window so that it
// runs without a screen and against a clock the caller controls.
#include <QPoint>
#include <QString>

#include <functional>

// Milliseconds since any fixed moment. The window passes a steady clock;
// tests pass a counter they move by hand.
using ProgressClock = std::function<qint64()>;

// Whole seconds as " h:mm:ss" (hours right-aligned in two places, more
// digits when needed); negative values show as 0.
QString ElapsedText(qint64 seconds);

// A rate in bytes per second as thousands with all three remaining digits,
// followed by unit: 12005 gives "12.005 K/sec", 0 gives "0.000 K/sec".
QString RateText(qint64 bytesPerSecond, const QString& unit);

// The last component of a local or remote path: the text after the last
// "/", "\" or ":".
QString FileNameOf(const QString& path);

// The window's caption for one file: "<verb> <name> (<size> <bytesWord>)",
// the size with its digits grouped by three ("Receiving a.txt (1 234 bytes)").
QString ProgressCaption(const QString& verb, const QString& path, qint64 size, const QString& bytesWord);

// Bytes and times of one batch of files. All counts are 64-bit: a loopback
// transfer passes 2 GiB per second, and a file may be far larger than 4 GiB.
class TransferProgress {
public:
    // The batch clock starts now.
    explicit TransferProgress(ProgressClock clock);

    // A new file of size bytes whose progress arrives in units of step bytes
    // (0 or less counts as 1). Restarts the file clock and the file's counts.
    void StartFile(qint64 size, qint64 step);
    // units of the current file moved so far. Ignored (false) after EndFile
    // until the next StartFile, and before the first file.
    bool SetProgress(qint64 units);
    // The current file is done: its bytes join the batch total.
    void EndFile();

    qint64 Size() const { return size_; }
    qint64 Step() const { return step_; }
    qint64 BarMax() const { return size_ / step_; }
    qint64 BarPosition() const { return units_; }
    qint64 Transferred() const { return transferred_; }
    qint64 BatchTotal() const { return batchTotal_; } // finished files only
    qint64 FileSeconds() const { return fileSeconds_; }
    qint64 BatchSeconds() const { return batchSeconds_; }
    // Bytes per second of the current file; 0 until a whole second has passed
    // and something has moved.
    qint64 Rate() const { return rate_; }
    // Seconds left at that rate; 0 while the rate is 0.
    qint64 TimeLeft() const { return timeLeft_; }
    bool Finished() const { return finished_; }

    QString TransferText() const;    // bytes of this file, grouped
    QString TotTransferText() const; // bytes of the batch so far, grouped
    QString TimeText() const { return ElapsedText(fileSeconds_); }
    QString TimeLeftText() const { return ElapsedText(timeLeft_); }
    QString TotTimeText() const { return ElapsedText(batchSeconds_); }

private:
    ProgressClock clock_;
    qint64 batchStart_ = 0;
    qint64 fileStart_ = 0;
    qint64 size_ = 0;
    qint64 step_ = 1;
    qint64 units_ = 0;
    qint64 transferred_ = 0;
    qint64 batchTotal_ = 0;
    qint64 fileSeconds_ = 0;
    qint64 batchSeconds_ = 0;
    qint64 rate_ = 0;
    qint64 timeLeft_ = 0;
    bool finished_ = true;
};

// Where the direction picture is drawn, step by step, inside its panel: it
// runs left to right while sending (towards the server), right to left while
// receiving, and bobs up and down by a third of its height.
class ProgressPicture {
public:
    // panel and picture sizes; returns the first position.
    QPoint Start(bool sending, int panelWidth, int panelHeight, int width, int height);
    // One step; returns the position to draw the picture at.
    QPoint Step();

private:
    bool sending_ = false;
    int W_ = 0, H_ = 0, w_ = 0, h_ = 0;
    int x_ = 0, y_ = 0;
    bool up_ = true;
    int yStep_ = 0;
};
