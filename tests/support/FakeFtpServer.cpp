#include "FakeFtpServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace {
const QList<QByteArray> kDataVerbs = {"RETR", "LIST", "NLST", "MLSD", "STOR", "APPE"};

QHash<QByteArray, QByteArray> defaultReplies()
{
    return {
        {"USER", "331 Password required"}, {"PASS", "230 Logged in"}, {"TYPE", "200 Type set"},
        {"SYST", "215 UNIX Type: L8"}, {"PWD", "257 \"/\" is the current directory"},
        {"CWD", "250 Directory changed"}, {"CDUP", "250 Directory changed"}, {"SIZE", "213 100"},
        {"REST", "350 Restarting"}, {"PORT", "200 PORT command successful"},
        {"MKD", "257 \"new\" created"}, {"RMD", "250 Removed"}, {"DELE", "250 Deleted"},
        {"RNFR", "350 Ready for RNTO"}, {"RNTO", "250 Renamed"}, {"NOOP", "200 NOOP ok"},
    };
}
} // namespace

FakeFtpServer::FakeFtpServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, &FakeFtpServer::onNewConnection);
}

FakeFtpServer::~FakeFtpServer() = default;

quint16 FakeFtpServer::port() const { return m_server->serverPort(); }

bool FakeFtpServer::clientConnected() const
{
    return m_control && m_control->state() == QAbstractSocket::ConnectedState;
}

void FakeFtpServer::on(const QByteArray& verb, const QList<Reply>& replies) { m_replies[verb] = replies; }

void FakeFtpServer::onNewConnection()
{
    while (QTcpSocket* s = m_server->nextPendingConnection()) {
        ++m_connections;
        if (m_control)
            m_control->abort();
        m_control = s;
        m_inbuf.clear();
        connect(s, &QTcpSocket::readyRead, this, &FakeFtpServer::onControlReadable);
        if (!m_replies.contains("BANNER"))
            sendText(m_banner);
        else
            send(m_replies["BANNER"].first());
    }
}

void FakeFtpServer::onControlReadable()
{
    if (!m_control)
        return;
    m_inbuf += m_control->readAll();
    for (;;) {
        const int eol = m_inbuf.indexOf('\n');
        if (eol < 0)
            break;
        QByteArray line = m_inbuf.left(eol);
        m_inbuf.remove(0, eol + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        handleLine(line);
    }
}

void FakeFtpServer::sendText(const QByteArray& text)
{
    if (!m_control)
        return;
    QByteArray out = text;
    if (!out.endsWith('\n'))
        out += "\r\n";
    m_control->write(out);
    m_control->flush();
}

void FakeFtpServer::send(const Reply& r)
{
    auto go = [this, r] {
        sendText(r.text);
        if (r.closeAfter && m_control)
            m_control->disconnectFromHost();
    };
    if (r.held)
        m_held.append(go);
    else if (r.delayMs > 0)
        QTimer::singleShot(r.delayMs, this, go);
    else
        go();
}

void FakeFtpServer::release()
{
    const QList<std::function<void()>> held = std::move(m_held);
    m_held.clear();
    for (const auto& go : held)
        go();
}

void FakeFtpServer::handleLine(const QByteArray& line)
{
    m_raw << line;
    m_commands << QString::fromLatin1(line);
    const int sp = line.indexOf(' ');
    const QByteArray verb = (sp < 0 ? line : line.left(sp)).toUpper();
    const QByteArray arg = sp < 0 ? QByteArray() : line.mid(sp + 1);

    if (m_replies.contains(verb)) {
        QList<Reply>& list = m_replies[verb];
        const Reply r = list.first();
        if (list.size() > 1)
            list.removeFirst();
        const bool preliminary = r.text.startsWith('1');
        if (kDataVerbs.contains(verb) && preliminary) {
            Transfer t = m_transfers.value(verb);
            t.preliminary = r.text;
            m_transfers[verb] = t;
            startTransfer(verb, arg);
            return;
        }
        if (verb == "PASV" && r.text.startsWith("227")) {
            m_pasvText = r.text;
        } else if (verb == "EPSV" && r.text.startsWith("229")) {
            m_epsvText = r.text;
        } else {
            if (verb == "PORT" || verb == "EPRT")
                takeActivePort(verb, arg);
            send(r);
            return;
        }
    }
    if (verb == "PASV" || (verb == "EPSV" && !m_epsvText.isEmpty())) {
        delete m_pasvServer;
        m_pasvServer = new QTcpServer(this);
        m_pasvServer->listen(QHostAddress::LocalHost, 0);
        m_passive = true;
        if (m_data)
            m_data->abort();
        m_data = nullptr;
        const quint16 p = m_pasvServer->serverPort();
        connect(m_pasvServer, &QTcpServer::newConnection, this, [this] {
            if (QTcpSocket* s = m_pasvServer->nextPendingConnection())
                m_data = s;
        });
        QByteArray text = m_pasvText.isEmpty() ? QByteArray("227 Entering Passive Mode (127,0,0,1,%1,%2).") : m_pasvText;
        text.replace("%1", QByteArray::number(p >> 8)).replace("%2", QByteArray::number(p & 0xff));
        if (verb == "EPSV") {
            text = m_epsvText;
            text.replace("%p", QByteArray::number(p));
        }
        sendText(text);
        return;
    }
    if (verb == "PORT")
        takeActivePort(verb, arg);
    if (verb == "QUIT") {
        send(Reply{"221 Goodbye", 0, true});
        return;
    }
    if (kDataVerbs.contains(verb)) {
        startTransfer(verb, arg);
        return;
    }
    const auto defaults = defaultReplies();
    sendText(defaults.value(verb, "502 Command not implemented"));
}

// The port a PORT ("h1,h2,h3,h4,p1,p2") or an EPRT ("|1|127.0.0.1|port|")
// names, where the next transfer connects to.
void FakeFtpServer::takeActivePort(const QByteArray& verb, const QByteArray& arg)
{
    if (verb == "PORT") {
        const QList<QByteArray> parts = arg.split(',');
        if (parts.size() == 6)
            m_activePort = quint16(parts[4].toInt() * 256 + parts[5].toInt());
    } else if (!arg.isEmpty()) {
        const QList<QByteArray> fields = arg.split(arg[0]);
        if (fields.size() == 5)
            m_activePort = quint16(fields[3].toInt());
    }
    m_passive = false;
}

void FakeFtpServer::withDataConnection(std::function<void(QTcpSocket*)> fn)
{
    if (!m_passive) {
        auto* s = new QTcpSocket(this);
        m_data = s;
        connect(s, &QTcpSocket::connected, this, [s, fn] { fn(s); });
        s->connectToHost(QHostAddress::LocalHost, m_activePort);
        return;
    }
    if (m_data) {
        fn(m_data);
        return;
    }
    if (!m_pasvServer)
        return;
    auto conn = std::make_shared<QMetaObject::Connection>();
    *conn = connect(m_pasvServer, &QTcpServer::newConnection, this, [this, fn, conn] {
        QObject::disconnect(*conn);
        if (m_data)
            fn(m_data);
    });
}

void FakeFtpServer::startTransfer(const QByteArray& verb, const QByteArray& arg)
{
    QList<Transfer>& sequence = m_transferSequences[verb];
    if (!sequence.isEmpty()) {
        m_transfers[verb] = sequence.first();
        if (sequence.size() > 1)
            sequence.removeFirst();
    }
    const Transfer t = m_transfers.value(verb);
    sendText(t.preliminary);
    const bool upload = verb == "STOR" || verb == "APPE";
    if (upload) {
        m_uploads[verb].clear();
        withDataConnection([this, verb, t](QTcpSocket* d) {
            auto drain = [this, verb, d] { m_uploads[verb] += d->readAll(); };
            connect(d, &QTcpSocket::readyRead, this, drain);
            auto finish = [this, drain, t] {
                drain();
                if (!t.noFinal)
                    sendText(t.final);
            };
            connect(d, &QTcpSocket::disconnected, this, finish);
            drain();
            if (d->state() != QAbstractSocket::ConnectedState)
                finish();
        });
        return;
    }
    withDataConnection([this, t](QTcpSocket* d) { finishDownload(d, t); });
}

void FakeFtpServer::finishDownload(QTcpSocket* d, const Transfer& t)
{
    const bool cut = t.cutAfter >= 0 && t.cutAfter < t.content.size();
    d->write(cut ? t.content.left(t.cutAfter) : t.content);
    if (cut) {
        d->flush();
        QTimer::singleShot(50, this, [this, d, t] {
            d->abort();
            if (t.dropControlOnCut) {
                if (m_control)
                    m_control->abort();
            } else if (!t.noFinal) {
                sendText(t.final);
            }
        });
        return;
    }
    if (t.finalBeforeClose) {
        if (!t.noFinal)
            sendText(t.final);
        if (t.holdLaterEnd) {
            QPointer<QTcpSocket> data(d);
            m_held.append([data] {
                if (data)
                    data->disconnectFromHost();
            });
            return;
        }
        QTimer::singleShot(t.closeDelayMs, this, [d] { d->disconnectFromHost(); });
        return;
    }
    if (t.holdLaterEnd) {
        // Shut down the sending side once everything is written, keep reading:
        // the client's own close then shows as the end of what it sends.
        m_dataClosedByClient = false;
        connect(d, &QTcpSocket::readChannelFinished, this, [this] { m_dataClosedByClient = true; });
        auto shutWhenWritten = [d] {
            if (d->bytesToWrite() == 0)
                ::shutdown(int(d->socketDescriptor()), SHUT_WR);
        };
        connect(d, &QTcpSocket::bytesWritten, d, shutWhenWritten);
        shutWhenWritten();
        m_held.append([this, t] {
            if (!t.noFinal)
                sendText(t.final);
        });
        return;
    }
    connect(d, &QTcpSocket::disconnected, this, [this, t] {
        QTimer::singleShot(t.closeDelayMs, this, [this, t] {
            if (!t.noFinal)
                sendText(t.final);
        });
    });
    d->disconnectFromHost();
}
