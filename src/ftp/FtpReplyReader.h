#pragma once
// The control connection's reply reading without the socket: bytes in, reply
// lines out, and where a multi-line reply ends. The client receives straight
// into the reader's buffer; the fuzz harness feeds the same reader.
#include <QByteArray>
#include <QString>

#include <optional>

class FtpReplyReader {
public:
    static constexpr int kBufSize = 4096;

    // Bytes the next receive may add; 0 or less when one line without its
    // end fills the whole buffer (the client then ends the session).
    int Room() const { return kBufSize - 1 - m_count; }
    char* FreeSpace() { return m_buf + m_count; }
    void Added(int n) { m_count += n; }
    int Pending() const { return m_count; }

    // Takes the next whole line off the front, without its CR/LF. A line ends
    // with CR LF, or with a bare LF when acceptLF. False while no line is whole.
    bool TakeLine(bool acceptLF, QByteArray& line);

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
    char m_buf[kBufSize];
    int m_count = 0;
    int m_multiLineCode = 0;  // code of the multi-line reply being read
};

// The data port of a 227 reply ("227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)"),
// or nothing when the reply does not carry one in 0..255 pairs.
std::optional<quint16> PassivePortOf(const QString& reply);
