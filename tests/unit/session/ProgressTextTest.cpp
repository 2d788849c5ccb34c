// The progress window's arithmetic against a clock the test moves: times,
// rates (beyond 32 bits), remaining time, batch totals across files, ignored
// reports, the caption and the path of the direction picture.
#include "session/ProgressText.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A clock in milliseconds that only the test moves.
struct ManualClock {
    qint64 now = 0;
    ProgressClock fn()
    {
        return [this] { return now; };
    }
};

} // namespace

TEST(ProgressTexts, TimesRatesNamesAndCaption)
{
    EXPECT_EQ(ElapsedText(0), QStringLiteral(" 0:00:00"));
    EXPECT_EQ(ElapsedText(3725), QStringLiteral(" 1:02:05"));
    EXPECT_EQ(ElapsedText(12 * 3600 + 59), QStringLiteral("12:00:59"));
    EXPECT_EQ(ElapsedText(123 * 3600), QStringLiteral("123:00:00"));
    EXPECT_EQ(ElapsedText(-5), QStringLiteral(" 0:00:00"));

    // The remainder keeps its zeros: 12 005 bytes/s is not 12.5 K/sec.
    EXPECT_EQ(RateText(12005, "K/sec"), QStringLiteral("12.005 K/sec"));
    EXPECT_EQ(RateText(12050, "K/sec"), QStringLiteral("12.050 K/sec"));
    EXPECT_EQ(RateText(12500, "K/sec"), QStringLiteral("12.500 K/sec"));
    EXPECT_EQ(RateText(0, "K/sec"), QStringLiteral("0.000 K/sec"));
    EXPECT_EQ(RateText(999, "Ko/s"), QStringLiteral("0.999 Ko/s"));
    EXPECT_EQ(RateText(qint64(5) << 30, "K/sec"), QStringLiteral("5368709.120 K/sec"));

    EXPECT_EQ(FileNameOf("/pub/dir/a.txt"), QStringLiteral("a.txt"));
    EXPECT_EQ(FileNameOf("C:\\dir\\b.bin"), QStringLiteral("b.bin"));
    EXPECT_EQ(FileNameOf("C:c.bin"), QStringLiteral("c.bin"));
    EXPECT_EQ(FileNameOf("dir\\sub/mixed name.txt"), QStringLiteral("mixed name.txt"));
    EXPECT_EQ(FileNameOf("plain"), QStringLiteral("plain"));

    EXPECT_EQ(ProgressCaption("Receiving", "/pub/big file.iso", 1234567, "bytes"),
              QStringLiteral("Receiving big file.iso (1 234 567 bytes)"));
    EXPECT_EQ(ProgressCaption("Sending", "/home/u/ä.txt", 0, "bytes"), QStringLiteral("Sending ä.txt (0 bytes)"));
}

TEST(TransferProgress, ZeroByteFileAndTheFirstSecondShowNoRate)
{
    ManualClock clock;
    TransferProgress t(clock.fn());
    t.StartFile(0, 0);
    EXPECT_EQ(t.Step(), 1);
    EXPECT_EQ(t.BarMax(), 0);
    clock.now = 5000;
    ASSERT_TRUE(t.SetProgress(0));
    EXPECT_EQ(t.Transferred(), 0);
    EXPECT_EQ(t.Rate(), 0);
    EXPECT_EQ(t.TimeLeft(), 0);
    EXPECT_EQ(t.TimeText(), QStringLiteral(" 0:00:05"));
    EXPECT_EQ(t.TransferText(), QStringLiteral("0"));
    t.EndFile();

    // Bytes have moved, but not yet for a whole second.
    t.StartFile(1000000, -3);
    EXPECT_EQ(t.Step(), 1);
    clock.now += 999;
    ASSERT_TRUE(t.SetProgress(400000));
    EXPECT_EQ(t.Transferred(), 400000);
    EXPECT_EQ(t.FileSeconds(), 0);
    EXPECT_EQ(t.Rate(), 0);
    EXPECT_EQ(t.TimeLeft(), 0);
    EXPECT_EQ(RateText(t.Rate(), "K/sec"), QStringLiteral("0.000 K/sec"));
}

TEST(TransferProgress, RateAndTimeLeftOfTheCurrentFile)
{
    ManualClock clock;
    clock.now = 777; // the clock's origin is of no concern
    TransferProgress t(clock.fn());
    t.StartFile(240100, 10);
    EXPECT_EQ(t.BarMax(), 24010);
    clock.now += 10000;
    ASSERT_TRUE(t.SetProgress(12005));
    EXPECT_EQ(t.BarPosition(), 12005);
    EXPECT_EQ(t.Transferred(), 120050);
    EXPECT_EQ(t.TransferText(), QStringLiteral("120 050"));
    EXPECT_EQ(t.Rate(), 12005);
    EXPECT_EQ(t.TimeLeft(), 10);
    EXPECT_EQ(t.TimeText(), QStringLiteral(" 0:00:10"));
    EXPECT_EQ(t.TimeLeftText(), QStringLiteral(" 0:00:10"));

    // A file that grows past its announced size leaves nothing to wait for.
    clock.now += 10000;
    ASSERT_TRUE(t.SetProgress(30000));
    EXPECT_EQ(t.TimeLeft(), 0);
}

TEST(TransferProgress, CountsBeyondThirtyTwoBits)
{
    ManualClock clock;
    TransferProgress t(clock.fn());
    const qint64 size = qint64(16) << 30; // 16 GiB
    const qint64 step = size / 1000;
    t.StartFile(size, step);
    EXPECT_EQ(t.BarMax(), 1000);
    clock.now = 1000;
    ASSERT_TRUE(t.SetProgress(300)); // 4.8 GiB in one second over loopback
    EXPECT_EQ(t.Transferred(), 300 * step);
    EXPECT_EQ(t.Rate(), 5153960700);
    EXPECT_GT(t.Rate(), qint64(0xFFFFFFFF));
    EXPECT_EQ(t.TimeLeft(), 2);
    EXPECT_EQ(RateText(t.Rate(), "K/sec"), QStringLiteral("5153960.700 K/sec"));
    t.EndFile();
    EXPECT_EQ(t.BatchTotal(), 5153960700);
    EXPECT_EQ(t.TotTransferText(), QStringLiteral("5 153 960 700"));
}

TEST(TransferProgress, ReportsOutsideAFileChangeNothing)
{
    ManualClock clock;
    TransferProgress t(clock.fn());
    EXPECT_FALSE(t.SetProgress(10)); // before the first file
    EXPECT_EQ(t.Transferred(), 0);

    t.StartFile(1000, 1);
    clock.now = 2000;
    ASSERT_TRUE(t.SetProgress(600));
    t.EndFile();
    EXPECT_EQ(t.BatchTotal(), 600);
    EXPECT_EQ(t.BarPosition(), 0);

    clock.now = 9000;
    EXPECT_FALSE(t.SetProgress(900));
    EXPECT_EQ(t.FileSeconds(), 2);
    EXPECT_EQ(t.Rate(), 300);
    EXPECT_EQ(t.TotTransferText(), QStringLiteral("600")); // the ended file counted once
    t.EndFile(); // ending twice does not count the file twice
    EXPECT_EQ(t.BatchTotal(), 600);
}

TEST(TransferProgress, TheBatchClockAndTotalRunAcrossFilesAndRestartWithANewBatch)
{
    ManualClock clock;
    clock.now = 100000;
    TransferProgress t(clock.fn());
    t.StartFile(1000, 1);
    clock.now += 2000;
    ASSERT_TRUE(t.SetProgress(1000));
    t.EndFile();

    clock.now += 1000;
    t.StartFile(5000, 1);
    EXPECT_EQ(t.Transferred(), 0);
    clock.now += 2000;
    ASSERT_TRUE(t.SetProgress(2500));
    EXPECT_EQ(t.FileSeconds(), 2);
    EXPECT_EQ(t.BatchSeconds(), 5);
    EXPECT_EQ(t.TotTimeText(), QStringLiteral(" 0:00:05"));
    EXPECT_EQ(t.TotTransferText(), QStringLiteral("3 500"));
    EXPECT_EQ(t.Rate(), 1250); // this file's rate, not the batch's

    TransferProgress next(clock.fn());
    next.StartFile(10, 1);
    ASSERT_TRUE(next.SetProgress(0));
    EXPECT_EQ(next.BatchTotal(), 0);
    EXPECT_EQ(next.BatchSeconds(), 0);
    EXPECT_EQ(next.TotTransferText(), QStringLiteral("0"));
}

TEST(ProgressPicture, RunsTowardsTheServerWhileSendingAndBack)
{
    ProgressPicture p;
    EXPECT_EQ(p.Start(true, 200, 40, 24, 24), QPoint(0, 8));
    std::vector<QPoint> sent;
    for (int i = 0; i < 10; ++i)
        sent.push_back(p.Step());
    const std::vector<QPoint> expectSent = {{24, 0},  {48, 0},  {72, 8},   {96, 16}, {120, 16},
                                            {144, 8}, {168, 0}, {176, 0}, {0, 8},    {24, 16}};
    EXPECT_EQ(sent, expectSent);

    EXPECT_EQ(p.Start(false, 200, 40, 24, 24), QPoint(176, 8));
    std::vector<QPoint> received;
    for (int i = 0; i < 9; ++i)
        received.push_back(p.Step());
    std::vector<int> xs;
    for (QPoint q : received)
        xs.push_back(q.x());
    EXPECT_EQ(xs, (std::vector<int>{152, 128, 104, 80, 56, 32, 0, 176, 152}));
}

TEST(ProgressPicture, NeverLeavesItsPanel)
{
    for (bool sending : {true, false}) {
        for (int h : {1, 2, 9, 24, 40}) {
            ProgressPicture p;
            p.Start(sending, 200, 40, 24, h);
            for (int i = 0; i < 200; ++i) {
                const QPoint q = p.Step();
                ASSERT_GE(q.x(), 0) << sending << " h " << h << " step " << i;
                ASSERT_LE(q.x(), 200 - 24) << sending << " h " << h << " step " << i;
                ASSERT_GE(q.y(), 0) << sending << " h " << h << " step " << i;
                ASSERT_LE(q.y() + h, 40) << sending << " h " << h << " step " << i;
            }
        }
    }
}
