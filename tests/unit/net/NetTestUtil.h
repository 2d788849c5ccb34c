#pragma once
// Small helpers for the socket tests: an event log, and a plain blocking
// POSIX listener so a test can set up exact conditions (data and close
// already waiting) before the socket under test sees any notification.
#include "net/WSocket.h"

#include <QString>
#include <QStringList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nettest {

class RawListener {
public:
    RawListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in sin {};
        sin.sin_family = AF_INET;
        sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin);
        ::listen(m_fd, 5);
        socklen_t len = sizeof sin;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sin), &len);
        m_port = ntohs(sin.sin_port);
    }
    ~RawListener()
    {
        if (m_peer >= 0)
            ::close(m_peer);
        ::close(m_fd);
    }
    quint16 port() const { return m_port; }
    QString portText() const { return QString::number(m_port); }
    // Blocking accept of the one connection.
    int accept()
    {
        m_peer = ::accept(m_fd, nullptr, nullptr);
        return m_peer;
    }
    void send(const QByteArray& b) { ::send(m_peer, b.constData(), b.size(), MSG_NOSIGNAL); }
    void closePeer()
    {
        ::close(m_peer);
        m_peer = -1;
    }
    int peer() const { return m_peer; }

private:
    int m_fd = -1;
    int m_peer = -1;
    quint16 m_port = 0;
};

// Records every event of a socket as one line ("connected 0", "data", ...).
inline void recordEvents(TCustomWSocket* s, QStringList* log)
{
    s->OnSessionConnected = [log](TCustomWSocket*, quint16 e) { log->append(QStringLiteral("connected %1").arg(e)); };
    s->OnSessionClosed = [log](TCustomWSocket*, quint16 e) { log->append(QStringLiteral("closed %1").arg(e)); };
    s->OnDataSent = [log](TCustomWSocket*, quint16 e) { log->append(QStringLiteral("sent %1").arg(e)); };
}

} // namespace nettest
