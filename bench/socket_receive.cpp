// Receive throughput of TWSocket against a plain blocking recv() loop.
//
// A sender thread pushes the same amount of data (default 1 GiB) over
// loopback twice: once into a TWSocket reader (OnDataAvailable calling
// Receive into a buffer, on the Qt event loop) and once into a blocking
// recv() loop with a 64 KiB buffer. Prints both rates and their ratio.
//
//   bench_socket_receive [bytes] [reader-buffer-bytes]
#include "net/WSocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

int listenLoopback(quint16* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sin {};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin);
    ::listen(fd, 1);
    socklen_t len = sizeof sin;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &len);
    *port = ntohs(sin.sin_port);
    return fd;
}

// Accepts one connection and writes `total` bytes into it, then closes.
std::thread startSender(int listenFd, qint64 total)
{
    return std::thread([listenFd, total] {
        const int c = ::accept(listenFd, nullptr, nullptr);
        std::vector<char> chunk(256 * 1024, 'v');
        qint64 left = total;
        while (left > 0) {
            const ssize_t n = ::send(c, chunk.data(), size_t(std::min<qint64>(left, qint64(chunk.size()))), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            left -= n;
        }
        ::close(c);
    });
}

double plainLoop(qint64 total)
{
    quint16 port;
    const int l = listenLoopback(&port);
    std::thread sender = startSender(l, total);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sin {};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sin.sin_port = htons(port);
    QElapsedTimer t;
    t.start();
    ::connect(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin);
    std::vector<char> buf(64 * 1024);
    qint64 got = 0;
    for (;;) {
        const ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
        if (n <= 0)
            break;
        got += n;
    }
    const double secs = t.nsecsElapsed() / 1e9;
    ::close(fd);
    sender.join();
    ::close(l);
    if (got != total)
        std::fprintf(stderr, "plain loop received %lld of %lld bytes\n", (long long)got, (long long)total);
    return got / secs;
}

double wsocketReader(qint64 total, int bufSize)
{
    quint16 port;
    const int l = listenLoopback(&port);
    std::thread sender = startSender(l, total);
    TWSocket s;
    std::vector<char> buf(static_cast<size_t>(bufSize));
    qint64 got = 0;
    bool closed = false;
    s.OnDataAvailable = [&](TCustomWSocket* so, quint16) {
        const int n = so->Receive(buf.data(), int(buf.size()));
        if (n > 0)
            got += n;
    };
    s.OnSessionClosed = [&](TCustomWSocket*, quint16) { closed = true; };
    s.SetAddr("127.0.0.1");
    s.SetPort(QString::number(port));
    QElapsedTimer t;
    t.start();
    s.Connect();
    while (!closed)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double secs = t.nsecsElapsed() / 1e9;
    sender.join();
    ::close(l);
    if (got != total)
        std::fprintf(stderr, "TWSocket received %lld of %lld bytes\n", (long long)got, (long long)total);
    return got / secs;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 total = argc > 1 ? std::atoll(argv[1]) : (qint64(1) << 30);
    const int bufSize = argc > 2 ? std::atoi(argv[2]) : 256 * 1024;
    // Alternate the two readers and keep the best of three of each, so a
    // neighbour's burst on the shared machine does not decide the result.
    double bestPlain = 0, bestSock = 0;
    for (int round = 0; round < 3; ++round) {
        bestPlain = std::max(bestPlain, plainLoop(total));
        bestSock = std::max(bestSock, wsocketReader(total, bufSize));
    }
    const double mib = 1024.0 * 1024.0;
    std::printf("bytes per run:            %lld\n", (long long)total);
    std::printf("plain recv loop (64 KiB): %.1f MiB/s\n", bestPlain / mib);
    std::printf("TWSocket reader (%d B): %.1f MiB/s\n", bufSize, bestSock / mib);
    std::printf("ratio plain/TWSocket:     %.2f\n", bestPlain / bestSock);
    return 0;
}
