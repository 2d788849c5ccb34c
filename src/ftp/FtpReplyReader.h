#pragma once
// The control connection's reply reading without the socket: bytes in, reply
// lines out, and where a multi-line reply ends. The client and the fuzz
// harness both receive through ReceiveLines, the one receive loop.
#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class FtpReplyReader {
public:
    static constexpr int kBufSize = 4096;

    // What one receive came to.
    enum class Received {
        Lines,    // bytes arrived (whole lines, if any, went to onLine)
        Nothing,  // no bytes yet
        Closed,   // the peer closed the connection
        TooLong,  // one line without its end fills the whole buffer: the
                  // buffer is dropped and nothing was received
    };

    // One receive into the reader's buffer, then every whole line off the
    // front. receive(buffer, room) reads up to room bytes and returns their
    // count (0: the peer closed, below 0: nothing there yet). onLine gets each
    // line without its CR/LF (a line ends with CR LF, or with a bare LF when
    // acceptLF) and returns false to stop: the rest of the buffer is dropped.
    Received ReceiveLines(bool acceptLF, const std::function<int(char* buffer, int room)>& receive,
                          const std::function<bool(const QByteArray& line)>& onLine);

    int Pending() const { return m_count; }

    // Tracks multi-line replies: true when line is the last line of a reply.
    // A reply is "ddd text", or "ddd-text" ... up to the line that starts
    // with the same code and a blank; the lines between are free text.
    bool EndsReply(const QString& line);

    void ClearBuffer() { m_count = 0; }
    void Clear() { m_count = 0; m_multiLineCode = 0; }

    // The number at the start of a line (blanks, then an optional sign, then
    // digits, capped); 0 when there is none.
    static int ParseStatus(const QString& line);

private:
    // Takes the next whole line off the front; false while no line is whole.
    bool TakeLine(bool acceptLF, QByteArray& line);

    char m_buf[kBufSize];
    int m_count = 0;
    int m_multiLineCode = 0;  // code of the multi-line reply being read
};

// The data port of a 227 reply ("227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)"),
// or nothing when the reply does not carry one in 0..255 pairs.
std::optional<quint16> PassivePortOf(const QString& reply);
