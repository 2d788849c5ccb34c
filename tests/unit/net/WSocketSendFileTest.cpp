// SendFile: a file's bytes read straight into the send queue, from the file's
// offset, in order with other sends and with Send's events.
#include "NetTestUtil.h"
#include "TestEnv.h"
#include "net/WSocket.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray pattern(int n, int seed)
{
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 31 + seed) % 251);
    return b;
}

// A connected socket and the server's end of it, which reads only when asked.
struct Link {
    QTcpServer server;
    TWSocket s;
    QTcpSocket* peer = nullptr;
    QStringList log;
    qint64 pieces = 0;

    bool open()
    {
        if (!server.listen(QHostAddress::LocalHost, 0))
            return false;
        nettest::recordEvents(&s, &log);
        s.OnSendData = [this](TCustomWSocket*, int n) { pieces += n; };
        s.SetAddr("127.0.0.1");
        s.SetPort(QString::number(server.serverPort()));
        s.Connect();
        if (!testenv::waitFor([&] { return s.State() == wsConnected && server.hasPendingConnections(); }))
            return false;
        peer = server.nextPendingConnection();
        return true;
    }
    // Reads until `size` bytes are in and the socket has reported "sent".
    QByteArray drain(qsizetype size)
    {
        QByteArray got;
        testenv::waitFor([&] {
            got += peer->readAll();
            return got.size() >= size && log.contains("sent 0");
        }, 20000);
        return got;
    }
};

struct TempFile {
    QTemporaryDir dir;
    int fd = -1;
    explicit TempFile(const QByteArray& content)
    {
        QFile f(dir.filePath("src"));
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
        f.close();
        fd = ::open(QFile::encodeName(dir.filePath("src")).constData(), O_RDONLY | O_CLOEXEC);
    }
    ~TempFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

TEST(WSocketSendFile, BlocksFromTheFileOffsetArriveWholeWithOneDataSentEach)
{
    Link l;
    ASSERT_TRUE(l.open());
    const QByteArray content = pattern(700000, 1);
    TempFile file(content);
    ASSERT_GE(file.fd, 0);
    ASSERT_EQ(::lseek(file.fd, 1000, SEEK_SET), 1000);  // a resumed upload starts inside the file

    // Three blocks as an upload sends them: the next once the last has gone.
    QByteArray got;
    QList<int> taken;
    for (int block = 0; block < 3; ++block) {
        l.log.clear();
        const int n = l.s.SendFile(file.fd, 262144);
        taken << n;
        EXPECT_FALSE(l.log.contains("sent 0"));  // never from inside the call
        got += l.drain(n);
        EXPECT_EQ(l.log.count("sent 0"), 1);
    }
    EXPECT_EQ(taken, QList<int>({262144, 262144, 700000 - 1000 - 2 * 262144}));
    EXPECT_EQ(l.s.SendFile(file.fd, 262144), 0);  // past the end: nothing, and no event
    EXPECT_EQ(got, content.mid(1000));
    EXPECT_EQ(l.pieces, content.size() - 1000);
    EXPECT_TRUE(l.s.AllSent());
}

TEST(WSocketSendFile, WhatTheSocketCannotTakeWaitsInTheQueueInOrder)
{
    Link l;
    ASSERT_TRUE(l.open());
    // The peer reads nothing yet: far more than the socket buffers hold.
    const QByteArray first = pattern(6 * 1024 * 1024, 2);
    const QByteArray second = pattern(3 * 1024 * 1024, 3);
    TempFile a(first), b(second);
    ASSERT_GE(a.fd, 0);
    ASSERT_GE(b.fd, 0);
    EXPECT_EQ(l.s.SendFile(a.fd, first.size()), first.size());
    EXPECT_FALSE(l.s.AllSent());
    EXPECT_EQ(l.s.SendStr("between"), 7);
    EXPECT_EQ(l.s.SendFile(b.fd, second.size()), second.size());  // behind queued bytes
    const QByteArray expected = first + "between" + second;
    const QByteArray got = l.drain(expected.size());
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    EXPECT_EQ(l.log.count("sent 0"), 1);
    EXPECT_EQ(l.pieces, expected.size());
}

TEST(WSocketSendFile, UnreadableFileAndClosedSocket)
{
    Link l;
    ASSERT_TRUE(l.open());
    // A directory opens but cannot be read: the call reports it.
    QTemporaryDir dir;
    const int fd = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(l.s.SendFile(fd, 4096), -1);
    EXPECT_EQ(l.s.LastError(), WSocketErrnoToWinsock(EISDIR));
    ::close(fd);

    TWSocket closed;
    int errors = 0;
    closed.OnError = [&](TCustomWSocket*) { ++errors; };
    TempFile file("abc");
    EXPECT_EQ(closed.SendFile(file.fd, 3), -1);
    EXPECT_EQ(closed.LastError(), 10057);
    EXPECT_EQ(errors, 1);
}
