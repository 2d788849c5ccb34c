// TCustomWSocket: readiness dispatch, the send queue, receiving, waiting,
// name lookup and the event triggers.
//
// One readiness notification is dispatched in the fixed order connect, read,
// write, accept, close. QSocketNotifier only says "readable" or "writable";
// connect completion (writability + SO_ERROR) and the peer's close (a receive
// of 0 bytes, POLLRDHUP/POLLHUP) are worked out here.
#include "net/TlsSession.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Fairness limits of one drain: a peer that sends without pause must not
// keep the event loop from other work.
constexpr int kMaxDrainPasses = 64;
constexpr qint64 kMaxDrainBytes = 8 * 1024 * 1024;
quint64 s_dnsCounter = 0;

bool isWouldBlock(int err) { return err == EAGAIN || err == EWOULDBLOCK; }
} // namespace

// --- notifiers -----------------------------------------------------------------

void TCustomWSocket::CreateNotifiers()
{
    DestroyNotifiers();
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    m_readNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, [this] { Dispatch(); });
    m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] { Dispatch(); });
    m_readSuspended = false;
}

void TCustomWSocket::DestroyNotifiers()
{
    // A notifier may be the one whose signal is running: delete it later.
    for (QSocketNotifier** n : {&m_readNotifier, &m_writeNotifier}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->disconnect(this);
            if (m_destroying)
                delete *n;
            else
                (*n)->deleteLater();
            *n = nullptr;
        }
    }
}

void TCustomWSocket::SetReadEnabled(bool on)
{
    if (on)
        m_readSuspended = false;
    if (m_readNotifier && m_readNotifier->isEnabled() != on)
        m_readNotifier->setEnabled(on);
}

void TCustomWSocket::SetWriteEnabled(bool on)
{
    if (m_writeNotifier && m_writeNotifier->isEnabled() != on)
        m_writeNotifier->setEnabled(on);
}

// --- dispatch ------------------------------------------------------------------

// One readiness notification, its events in the order connect, accept, read,
// write, close. Each step returns false once the socket has gone or moved
// to another handle (a handler may delete, close or reconnect it): nothing
// more is then reported for this notification.
void TCustomWSocket::Dispatch()
{
    if (m_fd == -1)
        return;
    const auto alive = m_alive;
    const quint64 gen = m_gen;
    try {
        DispatchEvents();
    } catch (const std::exception& e) {
        if (*alive)
            HandleBackGroundException(e);
    } catch (...) {
        if (*alive)
            HandleBackGroundException(std::runtime_error("unknown exception"));
    }
    // Bytes TLS has decrypted ahead wake no notifier: look again from the loop.
    if (StillOn(this, alive, gen) && m_tls && !m_readSuspended && TlsPending())
        TlsPostRead();
}

void TCustomWSocket::DispatchEvents()
{
    {
        short rev = PollReadiness();
        if (rev == 0)
            return;
        if (m_state == wsConnecting && !DispatchConnect(rev))
            return;
        if (TlsHandshaking()) {
            TlsHandshakeStep();
            return;
        }
        if (m_state == wsListening) {
            DispatchAccept(rev);  // a listening socket has nothing else to report
            return;
        }
        bool closeSeen = false;
        int closeError = 0;
        if (!DispatchRead(rev, closeSeen, closeError) || !DispatchWrite(rev))
            return;
        if (TlsHandshaking()) {
            // A reader started TLS on this very event: the handshake meets
            // the peer's close (or its bytes) itself and says what went wrong.
            TlsHandshakeStep();
            return;
        }
        if (closeSeen)
            DispatchClose(closeError);
    }
}

short TCustomWSocket::PollReadiness() const
{
    pollfd p { m_fd, short(POLLIN | POLLOUT | POLLRDHUP), 0 };
    const short rev = ::poll(&p, 1, 0) > 0 ? p.revents : 0;
    return TlsPending() ? short(rev | POLLIN) : rev;
}

// The connect has completed (SO_ERROR says how); rev is polled again for the
// events that follow on the new connection.
bool TCustomWSocket::DispatchConnect(short& rev)
{
    if (!(rev & (POLLOUT | POLLERR | POLLHUP)))
        return false;
    const auto alive = m_alive;
    const quint64 gen = m_gen;
    int soerr = 0;
    socklen_t l = sizeof soerr;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soerr, &l);
    int err = WSocketErrnoToWinsock(soerr);
    // A name with several addresses: the next one is tried before the owner
    // hears of a failure.
    while (err != 0 && m_targetAt + 1 < m_targets.size()) {
        DestroyNotifiers();
        ::close(m_fd);
        m_fd = -1;
        ++m_targetAt;
        err = StartConnectAttempt();
        if (err <= 0)
            return false;  // under way, or a setup failure already reported
    }
    if (m_fd == -1) {
        // The last address was refused at once.
        const quint64 lastGen = m_gen;
        TriggerSessionConnected(quint16(err));
        if (*alive && m_gen == lastGen && m_fd == -1 && m_state != wsClosed)
            InternalClose(false, quint16(err));
        return false;
    }
    SetWriteEnabled(!m_allSent);
    ChangeState(wsConnected);
    if (!StillOn(this, alive, gen))
        return false;
    TriggerSessionConnected(quint16(err));
    if (!StillOn(this, alive, gen))
        return false;
    if (err != 0) {
        if (m_state != wsClosed)
            InternalClose(false, quint16(err));
        return false;
    }
    rev = PollReadiness();
    return rev != 0;
}

void TCustomWSocket::DispatchAccept(short rev)
{
    if (rev & POLLIN) {
        // Announced again once the owner accepts.
        SetReadEnabled(false);
        TriggerSessionAvailable(0);
    }
}

// Offers waiting data to the reader and finds out whether the peer has
// closed (closeSeen, with the error of that end).
bool TCustomWSocket::DispatchRead(short rev, bool& closeSeen, int& closeError)
{
    if (m_readSuspended || !(rev & (POLLIN | POLLHUP | POLLERR | POLLRDHUP)))
        return true;
    const auto alive = m_alive;
    const quint64 gen = m_gen;
    if (m_sockType == 2) {
        if (rev & POLLIN)
            DrainRead();
        return StillOn(this, alive, gen);
    }
    const int waiting = RcvdCount();
    if (waiting > 0)
        DrainRead();
    if (!StillOn(this, alive, gen))
        return false;
    if (m_sawEof) {
        closeSeen = true;
        closeError = m_eofError;
    } else if (waiting <= 0 || (rev & (POLLHUP | POLLERR | POLLRDHUP))) {
        // Readable with nothing to read, or the peer signalled its end.
        char c;
        const ssize_t r = ::recv(m_fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (r == 0) {
            closeSeen = true;
            // Over TLS only close_notify is an orderly end: anything else
            // may be a cut stream. Records still held are read first.
            if (TlsPending())
                closeSeen = false;
            else if (TlsEstablished() && !m_tls->peerClosed)
                closeError = wsock::TLS_TRUNCATED;
        } else if (r < 0 && !isWouldBlock(errno)) {
            closeSeen = true;
            closeError = WSocketErrnoToWinsock(errno);
        } else if (r > 0 && m_readSuspended && (rev & (POLLRDHUP | POLLHUP))) {
            // The peer has gone and the reader declines the rest.
            closeSeen = true;
        }
    }
    return true;
}

// Sends what is queued; OnDataSent once the queue is empty.
bool TCustomWSocket::DispatchWrite(short rev)
{
    if (!(rev & POLLOUT) || m_allSent || m_state != wsConnected)
        return true;
    const auto alive = m_alive;
    const quint64 gen = m_gen;
    TryToSend();
    if (!StillOn(this, alive, gen))
        return false;
    if (m_allSent)
        TriggerDataSent(0);
    return StillOn(this, alive, gen);
}

// The peer's close: the data still waiting is offered first, then
// OnSessionClosed once, then the handle is released.
void TCustomWSocket::DispatchClose(int error)
{
    const auto alive = m_alive;
    const quint64 gen = m_gen;
    if (!m_readSuspended && RcvdCount() > 0) {
        DrainRead();
        if (!StillOn(this, alive, gen))
            return;
    }
    if (!m_closeInvoked) {
        m_closeInvoked = true;
        TriggerSessionClosed(quint16(error));
        if (!StillOn(this, alive, gen))
            return;
    }
    if (m_state != wsClosed)
        InternalClose(false, quint16(error));
}

void TCustomWSocket::DrainRead()
{
    const auto alive = m_alive;
    const quint64 gen = m_gen;
    int passes = 0;
    qint64 taken = 0;
    for (;;) {
        if (TlsHandshaking())
            return;  // the handshake reads for itself
        m_lastError = 0;
        const qint64 before = m_rxTotal;
        const bool had = TriggerDataAvailable(0);
        if (!*alive || m_gen != gen || m_fd == -1)
            return;
        if (!had) {
            // Nobody reads: take the bytes off the socket so the peer never stalls.
            char scratch[1024];
            if (m_tls) {
                if (DoRecv(scratch, sizeof scratch, 0) <= 0)
                    return;
                continue;
            }
            const ssize_t n = ::recv(m_fd, scratch, sizeof scratch, 0);
            if (n < 0) {
                if (isWouldBlock(errno)) {
                    m_lastError = 0;
                    return;
                }
                m_lastError = WSocketErrnoToWinsock(errno);
                if (m_sockType == 1) {
                    m_sawEof = true;
                    m_eofError = m_lastError;
                }
                return;
            }
            if (n == 0 && m_sockType == 1) {
                m_sawEof = true;
                return;
            }
            m_rxTotal += n;
        }
        if (m_options & wsoNoReceiveLoop)
            return;
        if (m_lastError != 0 || m_sawEof)
            return;
        const int avail = RcvdCount();
        if (avail <= 0)
            return;
        const qint64 progressed = m_rxTotal - before;
        if (progressed == 0) {
            // The reader left the data waiting: stay quiet until it reads again.
            SetReadEnabled(false);
            m_readSuspended = true;
            return;
        }
        taken += progressed;
        if (++passes >= kMaxDrainPasses || taken >= kMaxDrainBytes)
            return;
    }
}

// --- sending -------------------------------------------------------------------

int TCustomWSocket::Send(const void* data, int len)
{
    if (m_state != wsConnected) {
        SocketError(QStringLiteral("Send"), wsock::WSAENOTCONN);
        return -1;
    }
    if (len <= 0 || !data)
        return 0;
    m_allSent = false;
    const char* p = static_cast<const char*>(data);
    int left = len;
    while (left > 0) {
        if (m_queue.empty() || m_queue.back()->IsFull())
            m_queue.push_back(std::make_unique<TBuffer>(m_bufSize));
        const int n = m_queue.back()->Write(p, left);
        p += n;
        left -= n;
    }
    const auto alive = m_alive;
    const quint64 gen = m_gen;
    TryToSend();
    if (!*alive || m_gen != gen || m_fd == -1)
        return len;
    if (m_allSent)
        PostWriteNotification();
    return len;
}

int TCustomWSocket::SendStr(const QByteArray& s) { return Send(s.constData(), int(s.size())); }

void TCustomWSocket::PostWriteNotification()
{
    if (m_writePosted)
        return;
    m_writePosted = true;
    const quint64 gen = m_gen;
    QMetaObject::invokeMethod(this, [this, gen] {
        m_writePosted = false;
        if (m_gen != gen || m_fd == -1 || m_state != wsConnected)
            return;
        try {
            const auto alive = m_alive;
            TryToSend();
            if (*alive && m_gen == gen && m_allSent)
                TriggerDataSent(0);
        } catch (const std::exception& e) {
            HandleBackGroundException(e);
        }
    }, Qt::QueuedConnection);
}

void TCustomWSocket::TryToSend()
{
    if (m_fd == -1 || m_queue.empty() || TlsHandshaking())
        return;
    const auto alive = m_alive;
    const quint64 gen = m_gen;
    while (!m_queue.empty()) {
        TBuffer* b = m_queue.front().get();
        const int len = b->DataLen();
        if (len == 0) {
            if (m_queue.size() > 1) {
                m_queue.erase(m_queue.begin());
                continue;
            }
            m_allSent = true;
            break;
        }
        ssize_t n;
        int sendErr = 0;
        if (m_tls) {
            n = TlsWrite(b->Peek(), len, sendErr);
        } else if (m_sockType == 2) {
            sockaddr_storage to = m_targets.at(m_targetAt);
            reinterpret_cast<sockaddr_in*>(&to)->sin_port = m_sinPort; // same place for IPv6
            const socklen_t tl = to.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
            n = ::sendto(m_fd, b->Peek(), len, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to), tl);
        } else {
            n = ::send(m_fd, b->Peek(), len, MSG_NOSIGNAL | (m_sendFlags == wsSendUrgent ? MSG_OOB : 0));
        }
        if (n < 0 && !m_tls)
            sendErr = isWouldBlock(errno) ? wsock::WSAEWOULDBLOCK : WSocketErrnoToWinsock(errno);
        if (n == 0)
            break;
        if (n < 0) {
            if (sendErr == wsock::WSAEWOULDBLOCK)
                break;
            const int err = sendErr;
            if (err == wsock::WSAECONNRESET || err == wsock::WSAENOTSOCK || err == wsock::WSAENOTCONN
                || err == wsock::WSAEINVAL || err == wsock::WSAECONNABORTED || err == wsock::TLS_IO_ERROR) {
                m_lastError = err;
                const bool already = m_closeInvoked;
                m_closeInvoked = true;
                DeleteBufferedData();
                InternalClose(false, quint16(err));
                if (!already && *alive)
                    TriggerSessionClosed(quint16(err));
                return;
            }
            SocketError(QStringLiteral("TryToSend failed"), err);
            return;
        }
        if (OnSendData) {
            OnSendData(this, int(n));
            if (!*alive || m_gen != gen || m_fd == -1)
                return;
        }
        b->Remove(int(n));
        // A short send means the system's buffer is full, but TLS sends one
        // record (16 KiB) per call: it goes on until the buffer says so.
        if (n < len && !m_tls)
            break;
    }
    if (m_fd != -1 && m_state == wsConnected)
        SetWriteEnabled(!m_allSent);
}

void TCustomWSocket::DeleteBufferedData()
{
    m_queue.clear();
    m_allSent = true;
    SetWriteEnabled(false);
}

void TCustomWSocket::Flush()
{
    const auto alive = m_alive;
    while (*alive && m_fd != -1 && !m_allSent) {
        pollfd p { m_fd, POLLOUT, 0 };
        ::poll(&p, 1, 50);
        TryToSend();
        if (!*alive)
            return;
        MessagePump();
    }
}

// --- receiving -----------------------------------------------------------------

int TCustomWSocket::DoRecv(void* buffer, int len, int flags)
{
    if (m_fd == -1) {
        m_lastError = wsock::WSAENOTSOCK;
        return -1;
    }
    if (m_readSuspended)
        SetReadEnabled(true);
    if (m_tls) {
        const int n = TlsRead(buffer, len);
        if (n < 0) {
            if (m_lastError != wsock::WSAEWOULDBLOCK && m_sockType == 1) {
                m_sawEof = true;
                m_eofError = m_lastError;
            }
            return -1;
        }
        if (n == 0 && len > 0)
            m_sawEof = true;
        m_rxTotal += n;
        return n;
    }
    const ssize_t r = ::recv(m_fd, buffer, size_t(len), flags);
    if (r < 0) {
        m_lastError = WSocketErrnoToWinsock(errno);
        if (!isWouldBlock(errno) && m_sockType == 1) {
            m_sawEof = true;
            m_eofError = m_lastError;
        }
        return -1;
    }
    if (r == 0 && len > 0 && m_sockType == 1)
        m_sawEof = true;
    m_rxTotal += r;
    return int(r);
}

int TCustomWSocket::Receive(void* buffer, int len)
{
    const int r = DoRecv(buffer, len, 0);
    if (r > 0)
        m_readCount += r;
    return r;
}

QByteArray TCustomWSocket::ReceiveStr()
{
    const int n = RcvdCount();
    if (n <= 0)
        return {};
    QByteArray s(n, '\0');
    const int r = Receive(s.data(), n);
    if (r <= 0)
        return {};
    s.truncate(r);
    return s;
}

int TCustomWSocket::RcvdCount()
{
    if (m_fd == -1)
        return 0;
    int n = 0;
    if (::ioctl(m_fd, FIONREAD, &n) < 0) {
        m_lastError = WSocketErrnoToWinsock(errno);
        return -1;
    }
    // Over TLS: what is decrypted and waiting, plus raw bytes that may hold more.
    if (TlsEstablished())
        n += TlsPending() ? 1 + SSL_pending(m_tls->ssl) : 0;
    return n;
}

void TCustomWSocket::WaitForClose()
{
    const auto alive = m_alive;
    while (*alive && m_fd != -1 && m_state != wsClosed) {
        MessagePump();
        if (!*alive || m_fd == -1)
            return;
        const int n = RcvdCount();
        if (n < 0)
            return;
        if (n > 0) {
            const qint64 before = m_rxTotal;
            TriggerDataAvailable(0);
            if (!*alive || m_fd == -1)
                return;
            if (m_rxTotal == before) {
                char scratch[1024];
                DoRecv(scratch, sizeof scratch, 0);
            }
            continue;
        }
        pollfd p { m_fd, short(POLLIN | POLLRDHUP), 0 };
        ::poll(&p, 1, 50);
        if (p.revents)
            Dispatch();
    }
}

void TCustomWSocket::MessagePump() { QCoreApplication::processEvents(); }

// --- name lookup ------------------------------------------------------------------

void TCustomWSocket::DnsLookup(const QString& hostName)
{
    if (hostName.trimmed().isEmpty()) {
        TriggerDnsLookupDone(wsock::WSAEINVAL);
        RaiseException(QStringLiteral("DNS lookup: invalid host name."));
        return;
    }
    if (m_dnsId != 0 && m_qtDnsId >= 0)
        QHostInfo::abortHostLookup(m_qtDnsId);
    m_dnsId = 0;
    m_qtDnsId = -1;
    m_dnsResult.clear();
    m_dnsResultList.clear();

    in_addr a;
    if (inet_aton(hostName.trimmed().toLatin1().constData(), &a) != 0) {
        char buf[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &a, buf, sizeof buf);
        m_dnsResult = QString::fromLatin1(buf);
        TriggerDnsLookupDone(0);
        return;
    }
    const QString bare = WSocketStripBrackets(hostName.trimmed());
    in6_addr a6;
    if (inet_pton(AF_INET6, bare.toLatin1().constData(), &a6) == 1) {
        char buf[INET6_ADDRSTRLEN] = {};
        inet_ntop(AF_INET6, &a6, buf, sizeof buf);
        m_dnsResult = QString::fromLatin1(buf);
        m_dnsResultList = {m_dnsResult};
        TriggerDnsLookupDone(0);
        return;
    }
    const quint64 id = ++s_dnsCounter;
    m_dnsId = id;
    m_qtDnsId = QHostInfo::lookupHost(hostName.trimmed(), this, [this, id](const QHostInfo& info) {
        int err = 0;
        QStringList addrs;
        if (info.error() == QHostInfo::HostNotFound)
            err = wsock::WSAHOST_NOT_FOUND;
        else if (info.error() != QHostInfo::NoError)
            err = wsock::WSANO_RECOVERY;
        else {
            // IPv4 first, as Connect orders a name's addresses.
            for (auto proto : {QAbstractSocket::IPv4Protocol, QAbstractSocket::IPv6Protocol})
                for (const QHostAddress& h : info.addresses())
                    if (h.protocol() == proto && !addrs.contains(h.toString()))
                        addrs << h.toString();
            if (addrs.isEmpty())
                err = wsock::WSANO_DATA;
        }
        DnsWorkerDone(id, err, addrs);
    });
}

void TCustomWSocket::DnsWorkerDone(quint64 id, int error, const QStringList& addrs)
{
    if (id != m_dnsId)
        return;
    m_dnsId = 0;
    m_qtDnsId = -1;
    if (error == 0) {
        m_dnsResultList = addrs;
        m_dnsResult = addrs.value(0);
    }
    try {
        TriggerDnsLookupDone(quint16(error));
    } catch (const std::exception& e) {
        HandleBackGroundException(e);
    }
}

void TCustomWSocket::CancelDnsLookup()
{
    if (m_dnsId == 0)
        return;
    if (m_qtDnsId >= 0)
        QHostInfo::abortHostLookup(m_qtDnsId);
    m_dnsId = 0;
    m_qtDnsId = -1;
    if (!m_destroying)
        TriggerDnsLookupDone(wsock::WSAEINTR);
}

// --- triggers ---------------------------------------------------------------------

void TCustomWSocket::TriggerSessionConnected(quint16 error)
{
    if (OnSessionConnected)
        OnSessionConnected(this, error);
}

void TCustomWSocket::TriggerSessionClosed(quint16 error)
{
    if (OnSessionClosed)
        OnSessionClosed(this, error);
}

bool TCustomWSocket::TriggerDataAvailable(quint16 error)
{
    if (!OnDataAvailable)
        return false;
    OnDataAvailable(this, error);
    return true;
}

void TCustomWSocket::TriggerDataSent(quint16 error)
{
    if (OnDataSent)
        OnDataSent(this, error);
}

void TCustomWSocket::TriggerSessionAvailable(quint16 error)
{
    if (OnSessionAvailable)
        OnSessionAvailable(this, error);
}

void TCustomWSocket::TriggerDnsLookupDone(quint16 error)
{
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, error);
}

void TCustomWSocket::TriggerChangeState(TSocketState oldState, TSocketState newState)
{
    if (OnChangeState)
        OnChangeState(this, oldState, newState);
}
