#include "FakeSocksServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

FakeSocksServer::FakeSocksServer()
    : m_server(new QTcpServer(this))
{
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, &FakeSocksServer::onConnection);
}

FakeSocksServer::~FakeSocksServer() = default;

quint16 FakeSocksServer::port() const { return m_server->serverPort(); }

void FakeSocksServer::addStep(int afterBytes, const QByteArray& reply, bool close)
{
    m_steps.append(Step { afterBytes, reply, close });
}

void FakeSocksServer::onConnection()
{
    QTcpSocket* s = m_server->nextPendingConnection();
    if (!s)
        return;
    if (m_client) { // one client per script
        s->abort();
        s->deleteLater();
        return;
    }
    m_client = s;
    s->setParent(this);
    connect(s, &QTcpSocket::readyRead, this, &FakeSocksServer::onData);
    connect(s, &QTcpSocket::disconnected, this, [this] { m_gone = true; });
    connect(s, &QTcpSocket::bytesWritten, this, [this] {
        if (m_flood > 0 && m_next >= m_steps.size() && m_client && m_client->bytesToWrite() < 65536) {
            const QByteArray chunk(65536, 'x');
            m_client->write(chunk);
            m_flood -= chunk.size();
        }
    });
    runSteps();
}

void FakeSocksServer::onData()
{
    if (!m_client)
        return;
    m_received += m_client->readAll();
    runSteps();
}

void FakeSocksServer::runSteps()
{
    while (m_client && m_next < m_steps.size() && m_received.size() >= m_steps[m_next].afterBytes) {
        const Step st = m_steps[m_next++];
        if (!st.reply.isEmpty())
            m_client->write(st.reply);
        if (st.close) {
            m_client->flush();
            m_client->disconnectFromHost();
            return;
        }
    }
    if (m_client && m_next >= m_steps.size() && m_flood > 0) {
        const QByteArray chunk(65536, 'x');
        m_client->write(chunk);
        m_flood -= chunk.size();
    }
}
