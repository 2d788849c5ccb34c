// TCustomWSocket::SendFile: a file's bytes onto the socket. With nothing
// queued the kernel moves them (sendfile) and they never pass through this
// process; otherwise, and for what the socket cannot take at once, they are
// read straight into the blocks of the send queue.
#include "net/WSocket.h"

#include <cerrno>
#include <sys/sendfile.h>
#include <unistd.h>

int TBuffer::ReadFrom(int fd, int len)
{
    const int room = m_size - m_wr;
    const int want = len < room ? len : room;
    if (want <= 0)
        return 0;
    ssize_t n;
    do
        n = ::read(fd, m_data + m_wr, size_t(want));
    while (n < 0 && errno == EINTR);
    if (n > 0)
        m_wr += int(n);
    return int(n);
}

int TCustomWSocket::SendFile(int fileFd, int len)
{
    if (m_state != wsConnected) {
        SocketError(QStringLiteral("Send"), wsock::WSAENOTCONN);
        return -1;
    }
    if (len <= 0)
        return 0;
    const auto alive = m_alive;
    const quint64 gen = m_gen;
    // Bytes leave in order, so only an empty queue lets the kernel send
    // straight from the file; urgent and datagram sends need send(2).
    int taken = 0;
    if (m_allSent && m_sockType == 1 && m_sendFlags == wsSendNormal) {
        bool fileEnded = false;
        taken = SendFileDirect(fileFd, len, fileEnded);
        if (!*alive || m_gen != gen || m_fd == -1)
            return taken;
        if (taken == len || fileEnded) {
            if (taken > 0)
                PostWriteNotification();  // OnDataSent comes from the loop, as after Send
            return taken;
        }
    }
    bool readFailed = false;
    const int queued = QueueFromFile(fileFd, len - taken, readFailed);
    if (queued > 0) {
        // Sent when the socket reports room, never from inside this call: a
        // failing send closes the socket, and the caller first counts what
        // it handed over.
        m_allSent = false;
        SetWriteEnabled(true);
    } else if (taken > 0) {
        PostWriteNotification();  // the file ended within this piece
    }
    return readFailed ? -1 : taken + queued;
}

// Sends from the file until len bytes are gone, the socket is full or the
// file ends; returns the bytes sent. Any failure stops here: the queue path
// that follows reads the file itself and reports a read error, and a socket
// error shows when the queue is sent.
int TCustomWSocket::SendFileDirect(int fileFd, int len, bool& fileEnded)
{
    const auto alive = m_alive;
    const quint64 gen = m_gen;
    int sent = 0;
    while (sent < len) {
        const ssize_t n = ::sendfile(m_fd, fileFd, nullptr, size_t(len - sent));
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0) {
            fileEnded = true;
            break;
        }
        if (n < 0)
            break;
        sent += int(n);
        if (OnSendData) {
            OnSendData(this, int(n));
            if (!*alive || m_gen != gen || m_fd == -1)
                return sent;
        }
    }
    return sent;
}

// Reads up to len bytes of the file into the send queue; returns how many.
int TCustomWSocket::QueueFromFile(int fileFd, int len, bool& failed)
{
    int got = 0;
    while (got < len) {
        if (m_queue.empty() || m_queue.back()->IsFull())
            m_queue.push_back(std::make_unique<TBuffer>(m_bufSize));
        const int n = m_queue.back()->ReadFrom(fileFd, len - got);
        if (n < 0) {
            m_lastError = WSocketErrnoToWinsock(errno);
            failed = true;
            break;
        }
        if (n == 0)
            break;
        got += n;
    }
    return got;
}
