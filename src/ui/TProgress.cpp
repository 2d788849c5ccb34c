#include "ui/TProgress.h"

#include "i18n/MsgLanguage.h"
#include "settings/Options.h"
#include "ui/FontRec.h"
#include "ui/FormLanguage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

QPointer<TProgress> current;

constexpr int kPanelWidth = 200;
constexpr int kPanelHeight = 40;
constexpr int kPictureSize = 24;

qint64 steadyMilliseconds()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

QPixmap stylePixmap(QStyle::StandardPixmap which, int size)
{
    return QApplication::style()->standardIcon(which).pixmap(size, size);
}

// A value label: its text is a number, not wording, so language files skip it.
QLabel* valueLabel(QWidget* parent, const char* name, const char* accessible)
{
    auto* l = new QLabel(QStringLiteral("0"), parent);
    l->setObjectName(QLatin1String(name));
    l->setProperty("noTranslate", true);
    l->setAccessibleName(QLatin1String(accessible));
    l->setMinimumWidth(110);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLabel* captionLabel(QWidget* parent, const char* name, const char* text)
{
    auto* l = new QLabel(QLatin1String(text), parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

TProgress::TProgress(QWidget* parent, ProgressClock clock)
    : QDialog(parent), counts_(clock ? std::move(clock) : ProgressClock(steadyMilliseconds))
{
    setObjectName(QStringLiteral("TProgress"));
    setWindowTitle(QStringLiteral("Transfer"));
    // A title bar without buttons, kept above the main window, and never
    // taking the keyboard away from what the user is doing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose);
    msl = new TMsgLanguage(this, {QStringLiteral("Sending"), QStringLiteral("Receiving"), QStringLiteral("bytes"),
                                  QStringLiteral("K/sec")});

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(stylePixmap(QStyle::SP_ComputerIcon, 32));
    Image1->setAccessibleName(QStringLiteral("This computer"));
    pnlImage = new QWidget(this);
    pnlImage->setObjectName(QStringLiteral("pnlImage"));
    pnlImage->setFixedSize(kPanelWidth, kPanelHeight);
    pnlImage->setAccessibleName(QStringLiteral("Direction of the transfer"));
    BMP = new QLabel(pnlImage);
    BMP->setObjectName(QStringLiteral("BMP"));
    BMP->setPixmap(stylePixmap(QStyle::SP_FileIcon, kPictureSize));
    BMP->setFixedSize(kPictureSize, kPictureSize);
    BMP->setAccessibleName(QStringLiteral("File"));
    BMP->hide();
    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(stylePixmap(QStyle::SP_DriveNetIcon, 32));
    Image2->setAccessibleName(QStringLiteral("Server"));

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setAccessibleName(QStringLiteral("Progress of this file"));
    ProgressBar->setRange(0, 0);
    ProgressBar->setTextVisible(false);

    GroupBox1 = new QGroupBox(QStringLiteral("This File"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* file = new QGridLayout(GroupBox1);
    file->addWidget(captionLabel(GroupBox1, "Label1", "Transferred:"), 0, 0);
    file->addWidget(TransferLbl = valueLabel(GroupBox1, "TransferLbl", "Bytes of this file"), 0, 1);
    file->addWidget(captionLabel(GroupBox1, "Label2", "Time:"), 1, 0);
    file->addWidget(TimeLbl = valueLabel(GroupBox1, "TimeLbl", "Time of this file"), 1, 1);
    file->addWidget(captionLabel(GroupBox1, "Label3", "Time Left:"), 2, 0);
    file->addWidget(TimeLeftLbl = valueLabel(GroupBox1, "TimeLeftLbl", "Time left"), 2, 1);

    GroupBox2 = new QGroupBox(QStringLiteral("All Files"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    auto* all = new QGridLayout(GroupBox2);
    all->addWidget(captionLabel(GroupBox2, "Label4", "Transferred:"), 0, 0);
    all->addWidget(TotTransferLbl = valueLabel(GroupBox2, "TotTransferLbl", "Bytes of all files"), 0, 1);
    all->addWidget(captionLabel(GroupBox2, "Label5", "Time:"), 1, 0);
    all->addWidget(TotTimeLbl = valueLabel(GroupBox2, "TotTimeLbl", "Time of all files"), 1, 1);
    all->addWidget(captionLabel(GroupBox2, "Label6", "Transfer Rate:"), 2, 0);
    all->addWidget(TransferRateLbl = valueLabel(GroupBox2, "TransferRateLbl", "Transfer rate"), 2, 1);

    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setFlat(true);
    CancelBtn->setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogCancelButton));
    CancelBtn->setAutoDefault(false);
    connect(CancelBtn, &QPushButton::clicked, this, &TProgress::CancelBtnClick);

    auto* pictures = new QHBoxLayout;
    pictures->addWidget(Image1);
    pictures->addWidget(pnlImage, 1, Qt::AlignCenter);
    pictures->addWidget(Image2);
    auto* groups = new QHBoxLayout;
    groups->addWidget(GroupBox1);
    groups->addWidget(GroupBox2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pictures);
    layout->addWidget(ProgressBar);
    layout->addLayout(groups);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    TranslateForm(this);
    if (!FTPOptions.Font.Name.isEmpty())
        ApplyFontRec(this, FTPOptions.Font); // the common font setting
    showTexts();
}

void TProgress::StartFile(const QString& FileName, bool Sending, qint64 Step, qint64 Size)
{
    counts_.StartFile(Size, Step);
    fileName_ = FileName;
    sending_ = Sending;
    fileShown_ = true;
    // The bar counts in the client's units; a bar holds 32-bit values, so
    // units beyond that (a step of 1 on a huge file) are scaled down.
    const qint64 max = counts_.BarMax();
    ProgressBar->setRange(0, int(std::min<qint64>(max, INT_MAX)));
    ProgressBar->setValue(0);
    setWindowTitle(ProgressCaption(msl->Text(Sending ? 0 : 1), FileName, counts_.Size(), msl->Text(2)));
    placePicture(picture_.Start(Sending, pnlImage->width(), pnlImage->height(), BMP->width(), BMP->height()));
    BMP->show();
    showTexts();
}

void TProgress::setProgress(qint64 units)
{
    if (!counts_.SetProgress(units))
        return;
    if (!isActiveWindow())
        raise(); // back on top, without taking the focus
    const qint64 max = counts_.BarMax();
    const qint64 pos = std::clamp<qint64>(units, 0, max);
    ProgressBar->setValue(max > INT_MAX ? int(pos * double(INT_MAX) / double(max)) : int(pos));
    showTexts();
    placePicture(picture_.Step());
}

void TProgress::EndFile()
{
    BMP->hide();
    ProgressBar->setValue(0);
    counts_.EndFile();
}

void TProgress::LanguageChanged()
{
    if (fileShown_)
        setWindowTitle(ProgressCaption(msl->Text(sending_ ? 0 : 1), fileName_, counts_.Size(), msl->Text(2)));
    showTexts();
}

void TProgress::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        QRect r = frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}

void TProgress::CancelBtnClick() { emit StopRequested(); }

void TProgress::showTexts()
{
    TransferLbl->setText(counts_.TransferText());
    TotTransferLbl->setText(counts_.TotTransferText());
    TimeLbl->setText(counts_.TimeText());
    TimeLeftLbl->setText(counts_.TimeLeftText());
    TotTimeLbl->setText(counts_.TotTimeText());
    TransferRateLbl->setText(RateText(counts_.Rate(), msl->Text(3)));
}

void TProgress::placePicture(QPoint p)
{
    BMP->move(p);
    pnlImage->update();
}

TProgress* ShowProgress(QWidget* parent, std::function<void()> onStop, ProgressClock clock)
{
    if (current)
        return current;
    current = new TProgress(parent, std::move(clock));
    if (onStop) {
        // The context is the application, not the window: a stop already
        // asked for still arrives when the window is closed meanwhile.
        QObject::connect(current, &TProgress::StopRequested, qApp, std::move(onStop), Qt::QueuedConnection);
    }
    current->show();
    return current;
}

TProgress* ProgressWindow() { return current; }

void CloseProgress()
{
    if (current)
        current->close();
}
