#pragma once
// A scripted SOCKS server for the replies and failures no real server sends
// on demand: it accepts one connection on 127.0.0.1, records every byte it
// receives, and answers by script: once the client has sent a given number
// of bytes in all, the step's reply goes out (and the connection may close).
#include <QByteArray>
#include <QList>
#include <QObject>

class QTcpServer;
class QTcpSocket;

class FakeSocksServer : public QObject {
public:
    struct Step {
        int afterBytes;     // total bytes received from the client before replying
        QByteArray reply;   // sent at once when the count is reached
        bool close = false; // close the connection after the reply
    };

    FakeSocksServer();
    ~FakeSocksServer() override;

    quint16 port() const;
    void addStep(int afterBytes, const QByteArray& reply, bool close = false);
    // After the script: push this many bytes of filler without pause.
    void floodAfterScript(qint64 bytes) { m_flood = bytes; }

    QByteArray received() const { return m_received; }
    bool clientGone() const { return m_gone; }

private:
    void onConnection();
    void onData();
    void runSteps();

    QTcpServer* m_server;
    QTcpSocket* m_client = nullptr;
    QList<Step> m_steps;
    int m_next = 0;
    QByteArray m_received;
    qint64 m_flood = 0;
    bool m_gone = false;
};
