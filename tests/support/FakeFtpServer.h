#pragma once
// A scriptable FTP server for exact reply sequences and failures no real
// server produces on demand. It runs on the Qt event loop of the test,
// listens on 127.0.0.1:0 and records every command line it receives, so a
// test can state the whole expected dialogue.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class QTcpServer;
class QTcpSocket;

class FakeFtpServer : public QObject {
    Q_OBJECT
public:
    // One scripted answer. `text` is sent as given when it already ends in a
    // line end (so multi-line and LF-only replies are possible), otherwise
    // CR LF is appended.
    struct Reply {
        QByteArray text;
        int delayMs = 0;
        bool closeAfter = false;  // drop the control connection after sending
        bool held = false;        // sent only by release(): the request runs until then
    };
    // How a data command (RETR, LIST, NLST, MLSD, STOR, APPE) is served.
    struct Transfer {
        QByteArray content;                          // sent for downloads
        QByteArray preliminary = "150 Opening data connection";
        QByteArray final = "226 Transfer complete";
        bool finalBeforeClose = false;               // 226 first, data close later
        int closeDelayMs = 0;                        // delay between the two end events
        qint64 cutAfter = -1;                        // abort data after this many bytes
        bool dropControlOnCut = false;               // and close the control connection too
        bool noFinal = false;                        // never send the final reply
        // The later of the two end events (the final reply, or the close of
        // the data connection) waits for release(). With the reply last, the
        // server only shuts down its sending side, so dataClosedByClient()
        // tells when the client has seen the end of the data and closed.
        bool holdLaterEnd = false;
    };

    explicit FakeFtpServer(QObject* parent = nullptr);
    ~FakeFtpServer() override;

    quint16 port() const;
    void setBanner(const QByteArray& banner) { m_banner = banner; }
    // Replies to a command verb (upper case). Several replies are used in
    // order; the last one then repeats.
    void on(const QByteArray& verb, const QList<Reply>& replies);
    void on(const QByteArray& verb, const QByteArray& text) { on(verb, QList<Reply>{Reply{text}}); }
    void setTransfer(const QByteArray& verb, const Transfer& t) { m_transfers[verb] = t; }
    // Transfers of one verb served in order (a LIST per directory visited);
    // the last one then repeats.
    void setTransfers(const QByteArray& verb, const QList<Transfer>& ts) { m_transferSequences[verb] = ts; }
    // Replaces the 227 text; "%1" and "%2" become the high and low port bytes.
    void setPasvReply(const QByteArray& text) { m_pasvText = text; }
    // Replaces the 229 text of EPSV (served like PASV); "%p" becomes the port.
    // Without a scripted EPSV reply the server answers 502, as an old one.
    void setEpsvReply(const QByteArray& text) { m_epsvText = text; }

    QStringList commands() const { return m_commands; }       // every line received, in order
    QList<QByteArray> rawCommands() const { return m_raw; }
    QByteArray received(const QByteArray& verb) const { return m_uploads.value(verb); }
    int connections() const { return m_connections; }
    bool clientConnected() const;
    // The port the client asked for with PORT (0 when none).
    quint16 activePort() const { return m_activePort; }

    // Held replies and end events waiting for release(), and sending them,
    // in the order they were held.
    int heldCount() const { return int(m_held.size()); }
    void release();
    // The client closed a download's data connection (see holdLaterEnd).
    bool dataClosedByClient() const { return m_dataClosedByClient; }

private:
    void onNewConnection();
    void onControlReadable();
    void handleLine(const QByteArray& line);
    void send(const Reply& r);
    void sendText(const QByteArray& text);
    void startTransfer(const QByteArray& verb, const QByteArray& arg);
    void takeActivePort(const QByteArray& verb, const QByteArray& arg);
    void withDataConnection(std::function<void(QTcpSocket*)> fn);
    void finishDownload(QTcpSocket* data, const Transfer& t);

    QTcpServer* m_server;
    QPointer<QTcpSocket> m_control;
    QTcpServer* m_pasvServer = nullptr;
    QPointer<QTcpSocket> m_data;
    QByteArray m_inbuf;
    QByteArray m_banner = "220 Fake FTP server ready";
    QByteArray m_pasvText;
    QByteArray m_epsvText;
    QHash<QByteArray, QList<Reply>> m_replies;
    QHash<QByteArray, Transfer> m_transfers;
    QHash<QByteArray, QList<Transfer>> m_transferSequences;
    QHash<QByteArray, QByteArray> m_uploads;
    QStringList m_commands;
    QList<QByteArray> m_raw;
    int m_connections = 0;
    quint16 m_activePort = 0;
    bool m_passive = false;
    bool m_dataClosedByClient = false;
    QList<std::function<void()>> m_held;
};
