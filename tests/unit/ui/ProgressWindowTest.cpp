// The transfer progress window against a clock the test moves: one window per
// batch, the caption and the labels of a file, reports after a file's end,
// the bar and the picture, Cancel as a queued stop that outlives the window,
// a close by the window manager, a change of language, and names for every
// control.
#include "i18n/LanguageFile.h"
#include "i18n/MsgLanguage.h"
#include "ui/FormTexts.h"
#include "ui/TProgress.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

struct ManualClock {
    qint64 now = 0;
    ProgressClock fn()
    {
        return [this] { return now; };
    }
};

// Lets the deferred deletion of a closed window happen.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class ProgressWindowTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        CloseProgress();
        settle();
    }
    QStringList labels(TProgress* p) const
    {
        return {p->TransferLbl->text(), p->TimeLbl->text(),    p->TimeLeftLbl->text(),
                p->TotTransferLbl->text(), p->TotTimeLbl->text(), p->TransferRateLbl->text()};
    }
    ManualClock clock;
};

} // namespace

TEST_F(ProgressWindowTest, OneWindowPerBatchAndAClosedWindowIsGone)
{
    ASSERT_EQ(ProgressWindow(), nullptr);
    TProgress* first = ShowProgress(nullptr, {}, clock.fn());
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(ShowProgress(nullptr, {}, clock.fn()), first); // already open: the same one
    EXPECT_EQ(ProgressWindow(), first);

    first->StartFile("/pub/a", false, 1, 100);
    first->setProgress(100);
    first->EndFile();
    CloseProgress();
    settle();
    EXPECT_EQ(ProgressWindow(), nullptr);
    CloseProgress(); // nothing open: nothing happens

    // A new batch starts from zero.
    clock.now = 50000;
    TProgress* second = ShowProgress(nullptr, {}, clock.fn());
    second->StartFile("/pub/b", false, 1, 10);
    second->setProgress(0);
    EXPECT_EQ(second->TotTransferLbl->text(), QStringLiteral("0"));
    EXPECT_EQ(second->TotTimeLbl->text(), QStringLiteral(" 0:00:00"));

    // The window manager may close it in the middle of a file; whoever holds
    // it by QPointer sees it gone and the next report goes nowhere.
    QPointer<TProgress> held = second;
    second->close();
    settle();
    EXPECT_TRUE(held.isNull());
    EXPECT_EQ(ProgressWindow(), nullptr);
}

TEST_F(ProgressWindowTest, AFileShowsItsCaptionBytesTimesRateBarAndPicture)
{
    clock.now = 1000;
    TProgress* p = ShowProgress(nullptr, {}, clock.fn());
    clock.now += 3000;
    p->StartFile("/pub/dir/a b.iso", false, 10, 240100);
    EXPECT_EQ(p->windowTitle(), QStringLiteral("Receiving a b.iso (240 100 bytes)"));
    EXPECT_EQ(p->ProgressBar->maximum(), 24010);
    EXPECT_EQ(p->ProgressBar->value(), 0);
    EXPECT_TRUE(p->BMP->isVisibleTo(p));
    EXPECT_EQ(p->BMP->x(), p->pnlImage->width() - p->BMP->width()); // receiving starts at the right
    const QPoint start = p->BMP->pos();

    clock.now += 10000;
    p->setProgress(12005);
    EXPECT_EQ(labels(p), QStringList({"120 050", " 0:00:10", " 0:00:10", "120 050", " 0:00:13", "12.005 K/sec"}));
    EXPECT_EQ(p->ProgressBar->value(), 12005);
    EXPECT_LT(p->BMP->x(), start.x()); // towards this computer
    p->EndFile();
    EXPECT_FALSE(p->BMP->isVisibleTo(p));
    EXPECT_EQ(p->ProgressBar->value(), 0);

    // Reports between files change nothing.
    clock.now += 5000;
    p->setProgress(20000);
    EXPECT_EQ(labels(p), QStringList({"120 050", " 0:00:10", " 0:00:10", "120 050", " 0:00:13", "12.005 K/sec"}));
    EXPECT_EQ(p->ProgressBar->value(), 0);

    // An upload, local path with backslashes: the caption cuts there too.
    p->StartFile("C:\\up\\z.txt", true, 1, 1234567);
    EXPECT_EQ(p->windowTitle(), QStringLiteral("Sending z.txt (1 234 567 bytes)"));
    EXPECT_EQ(p->BMP->x(), 0); // sending starts at the left
    clock.now += 500;
    p->setProgress(1000);
    // Within the first second: no rate, no time left; the batch goes on.
    EXPECT_EQ(labels(p), QStringList({"1 000", " 0:00:00", " 0:00:00", "121 050", " 0:00:18", "0.000 K/sec"}));
    EXPECT_GT(p->BMP->x(), 0); // towards the server
}

TEST_F(ProgressWindowTest, AZeroByteFileAndAHugeOne)
{
    TProgress* p = ShowProgress(nullptr, {}, clock.fn());
    p->StartFile("/e", false, 0, 0);
    EXPECT_EQ(p->Counts().Step(), 1);
    EXPECT_EQ(p->ProgressBar->maximum(), 0);
    clock.now = 3000;
    p->setProgress(0);
    EXPECT_EQ(p->TransferLbl->text(), QStringLiteral("0"));
    EXPECT_EQ(p->TimeLeftLbl->text(), QStringLiteral(" 0:00:00"));
    EXPECT_EQ(p->TransferRateLbl->text(), QStringLiteral("0.000 K/sec"));
    p->EndFile();

    // 16 GiB in steps of one byte: the bar cannot count that far and scales.
    const qint64 size = qint64(16) << 30;
    p->StartFile("/big", false, 1, size);
    EXPECT_EQ(p->ProgressBar->maximum(), INT_MAX);
    clock.now += 2000;
    p->setProgress(size / 2);
    EXPECT_NEAR(p->ProgressBar->value(), INT_MAX / 2, 2);
    EXPECT_EQ(p->TransferRateLbl->text(), QStringLiteral("4294967.296 K/sec"));
}

TEST_F(ProgressWindowTest, CancelAsksToStopAfterTheClickReturnsEvenWhenTheWindowIsClosedMeanwhile)
{
    int stops = 0;
    TProgress* p = ShowProgress(nullptr, [&stops] { ++stops; }, clock.fn());
    p->StartFile("/f", true, 1, 100);
    p->CancelBtn->click();
    EXPECT_EQ(stops, 0); // not inside the click
    QCoreApplication::processEvents();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(ProgressWindow(), p); // stays open until the transfer closes it

    p->CancelBtn->click();
    p->close();
    settle();
    EXPECT_EQ(ProgressWindow(), nullptr);
    EXPECT_EQ(stops, 2);
}

TEST_F(ProgressWindowTest, ANewLanguageRewritesTheCaptionAndRateWords)
{
    TProgress* p = ShowProgress(nullptr, {}, clock.fn());
    p->StartFile("/pub/x.zip", false, 1, 2000);
    ApplyFormTexts(p, {{"GroupBox1.Caption", "Diese Datei"}, {"msl.Items.1", "Empfangen"},
                       {"msl.Items.2", "Bytes"}, {"msl.Items.3", "KB/s"}});
    QMetaObject::invokeMethod(p, "LanguageChanged");
    EXPECT_EQ(p->windowTitle(), QStringLiteral("Empfangen x.zip (2 000 Bytes)"));
    EXPECT_EQ(p->TransferRateLbl->text(), QStringLiteral("0.000 KB/s"));
    EXPECT_EQ(p->GroupBox1->title(), QStringLiteral("Diese Datei"));
}

TEST_F(ProgressWindowTest, EveryControlHasAVisibleTextOrAnAccessibleName)
{
    TProgress* p = ShowProgress(nullptr, {}, clock.fn());
    int checked = 0;
    for (QWidget* w : p->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
            continue;
        QString text = w->accessibleName();
        if (auto* b = qobject_cast<QAbstractButton*>(w); b && text.isEmpty())
            text = b->text();
        if (auto* l = qobject_cast<QLabel*>(w); l && text.isEmpty())
            text = l->text();
        if (auto* g = qobject_cast<QGroupBox*>(w); g && text.isEmpty())
            text = g->title();
        EXPECT_FALSE(text.isEmpty()) << w->objectName().toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 18);
}
