// The control connection's receive loop without a socket: bytes handed in
// receive by receive, whole lines out, and what a close, an empty receive, a
// stop and an endless line do to the buffer.
#include "ftp/FtpReplyReader.h"

#include <QList>
#include <gtest/gtest.h>

#include <cstring>

namespace {

// Hands out the queued chunks one receive at a time; an empty chunk is the
// peer's close, and receiving past the last is "nothing yet".
struct Feed {
    explicit Feed(QList<QByteArray> queued) : chunks(std::move(queued)) {}

    QList<QByteArray> chunks;
    QList<QByteArray> lines;
    int stopAfter = -1;  // onLine returns false on this line (0-based)

    FtpReplyReader::Received next(FtpReplyReader& reader, bool acceptLF = false)
    {
        return reader.ReceiveLines(
            acceptLF,
            [this](char* buffer, int room) {
                if (chunks.isEmpty())
                    return -1;
                const QByteArray c = chunks.takeFirst();
                EXPECT_LE(c.size(), room);
                std::memcpy(buffer, c.constData(), size_t(c.size()));
                return int(c.size());
            },
            [this](const QByteArray& line) {
                lines << line;
                return lines.size() - 1 != stopAfter;
            });
    }
};

using R = FtpReplyReader::Received;

} // namespace

TEST(FtpReplyReader, LinesSplitAcrossReceivesComeOutWholeWithoutTheirEnds)
{
    FtpReplyReader reader;
    Feed feed{{"220 he", "llo\r", "\n230-a\r\n230 b\r\n33", "1 x\r\n"}};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(feed.next(reader), R::Lines);
    EXPECT_EQ(feed.lines, (QList<QByteArray>{"220 hello", "230-a", "230 b", "331 x"}));
    EXPECT_EQ(reader.Pending(), 0);
    EXPECT_EQ(feed.next(reader), R::Nothing);
}

TEST(FtpReplyReader, ABareLineFeedEndsALineOnlyWhenAccepted)
{
    FtpReplyReader strict, lenient;
    Feed a{{"200 one\n200 two\r\n"}}, b{{"200 one\n200 two\r\n"}};
    a.next(strict, false);
    b.next(lenient, true);
    EXPECT_EQ(a.lines, (QList<QByteArray>{"200 one\n200 two"}));
    EXPECT_EQ(b.lines, (QList<QByteArray>{"200 one", "200 two"}));
}

TEST(FtpReplyReader, StopCloseAndAnEndlessLine)
{
    // A stop drops what is left in the buffer, whole lines included.
    FtpReplyReader reader;
    Feed stop{{"221 bye\r\n200 late\r\npart"}};
    stop.stopAfter = 0;
    EXPECT_EQ(stop.next(reader), R::Lines);
    EXPECT_EQ(stop.lines, (QList<QByteArray>{"221 bye"}));
    EXPECT_EQ(reader.Pending(), 0);

    // The peer's close is told apart from an empty receive.
    Feed close{{"200 half", QByteArray()}};
    EXPECT_EQ(close.next(reader), R::Lines);
    EXPECT_EQ(close.next(reader), R::Closed);
    EXPECT_TRUE(close.lines.isEmpty());

    // A line that fills the buffer without an end: the next receive is not
    // made, the buffer is dropped, and reading goes on afterwards.
    FtpReplyReader full;
    Feed endless{{QByteArray(FtpReplyReader::kBufSize - 1, 'x'), "200 ok\r\n"}};
    EXPECT_EQ(endless.next(full), R::Lines);
    EXPECT_EQ(endless.next(full), R::TooLong);
    EXPECT_EQ(full.Pending(), 0);
    EXPECT_EQ(endless.chunks.size(), 1);
    EXPECT_EQ(endless.next(full), R::Lines);
    EXPECT_EQ(endless.lines, (QList<QByteArray>{"200 ok"}));
}
