#pragma once
// TProgress: the small non-modal window that shows the progress of a batch of
// transfers (this file and all files: bytes, times, rate, a bar and a moving
// picture for the direction).
//
// Lifetime: at most one exists; ShowProgress makes it, CloseProgress closes
// it, and closing frees it. The window manager may close it at any moment,
// so nobody keeps a plain pointer to it: take ProgressWindow() afresh for each
// call, or hold it in a QPointer<TProgress> and check it before each use.
#include "session/ProgressText.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class TMsgLanguage;

class TProgress : public QDialog {
    Q_OBJECT
public:
    // Translates the window and starts the batch clock (clock: milliseconds
    // of a steady clock; the default is the process's monotonic clock).
    explicit TProgress(QWidget* parent = nullptr, ProgressClock clock = {});

    // Announces the next file: FileName (a local or remote path), its
    // direction, the bytes per progress unit the FTP client reports in, and
    // its size in bytes.
    void StartFile(const QString& FileName, bool Sending, qint64 Step, qint64 Size);
    // The progress units of the current file moved so far (the FTP client's
    // progress event). Ignored between EndFile and the next StartFile.
    void setProgress(qint64 units);
    // The current file is done.
    void EndFile();

    const TransferProgress& Counts() const { return counts_; }

    QProgressBar* ProgressBar = nullptr;
    QGroupBox* GroupBox1 = nullptr; // "This File"
    QGroupBox* GroupBox2 = nullptr; // "All Files"
    QLabel *TransferLbl = nullptr, *TimeLbl = nullptr, *TimeLeftLbl = nullptr;
    QLabel *TotTransferLbl = nullptr, *TotTimeLbl = nullptr, *TransferRateLbl = nullptr;
    QWidget* pnlImage = nullptr; // the panel the picture moves on
    QLabel* BMP = nullptr;       // the moving picture
    QLabel *Image1 = nullptr, *Image2 = nullptr; // this computer, the server
    QPushButton* CancelBtn = nullptr;
    // Run-time texts: 0 "Sending", 1 "Receiving", 2 "bytes", 3 "K/sec".
    TMsgLanguage* msl = nullptr;

signals:
    // Cancel was pressed: the transfer should stop. The window stays open
    // until whoever runs the transfer closes it. Connect it queued (as
    // ShowProgress does), so the stop lands after the click has returned.
    void StopRequested();

public slots:
    // After a change of language: the caption and rate take the new words.
    void LanguageChanged();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void CancelBtnClick();
    void showTexts();
    void placePicture(QPoint p);

    TransferProgress counts_;
    ProgressPicture picture_;
    QString fileName_;
    bool sending_ = false;
    bool fileShown_ = false;
};

// Opens the window (non-modal, centred on the screen) unless one is open.
// onStop, when given, runs queued after each Cancel; it stays connected to
// the window it was given with. Returns the window.
TProgress* ShowProgress(QWidget* parent = nullptr, std::function<void()> onStop = {}, ProgressClock clock = {});
// The open window, or nullptr.
TProgress* ProgressWindow();
// Closes (and so frees) the open window, if any.
void CloseProgress();
