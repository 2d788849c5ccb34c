#include "ftp/FtpReplyReader.h"

#include <cstring>

FtpReplyReader::Received FtpReplyReader::ReceiveLines(bool acceptLF,
        const std::function<int(char*, int)>& receive, const std::function<bool(const QByteArray&)>& onLine)
{
    const int room = kBufSize - 1 - m_count;
    if (room <= 0) {
        m_count = 0;
        return Received::TooLong;
    }
    const int n = receive(m_buf + m_count, room);
    if (n == 0)
        return Received::Closed;
    if (n < 0)
        return Received::Nothing;
    m_count += n;
    QByteArray line;
    while (TakeLine(acceptLF, line)) {
        if (!onLine(line)) {
            m_count = 0;
            break;
        }
    }
    return Received::Lines;
}

bool FtpReplyReader::TakeLine(bool acceptLF, QByteArray& line)
{
    int end = -1;     // index of the first byte after the line end
    int textLen = 0;  // bytes of the line without its end
    for (int i = 0; i < m_count; ++i) {
        if (m_buf[i] != '\n')
            continue;
        if (acceptLF || (i > 0 && m_buf[i - 1] == '\r')) {
            end = i + 1;
            textLen = i;
            break;
        }
    }
    if (end < 0)
        return false;
    while (textLen > 0 && (m_buf[textLen - 1] == '\r' || m_buf[textLen - 1] == '\n'))
        --textLen;
    line = QByteArray(m_buf, textLen);
    m_count -= end;
    std::memmove(m_buf, m_buf + end, size_t(m_count));
    return true;
}

namespace {
// The code of a reply line: its first three characters when they are digits
// and the fourth is a blank, '-' or the line's end; 0 otherwise.
int replyCode(const QString& line, QChar* mark)
{
    if (line.size() < 3 || !line[0].isDigit() || !line[1].isDigit() || !line[2].isDigit())
        return 0;
    const QChar next = line.size() > 3 ? line[3] : QChar(' ');
    if (next != ' ' && next != '-')
        return 0;
    *mark = next;
    return line.left(3).toInt();
}
} // namespace

bool FtpReplyReader::EndsReply(const QString& line)
{
    QChar mark;
    const int code = replyCode(line, &mark);
    if (m_multiLineCode != 0) {
        if (code != m_multiLineCode || mark != ' ')
            return false;
        m_multiLineCode = 0;
        return true;
    }
    if (code == 0)
        return false;
    if (mark == '-') {
        m_multiLineCode = code;
        return false;
    }
    return true;
}

int FtpReplyReader::ParseStatus(const QString& line)
{
    int i = 0;
    const int n = line.size();
    while (i < n && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
        ++i;
    bool neg = false;
    if (i < n && (line[i] == '-' || line[i] == '+'))
        neg = line[i++] == '-';
    int value = 0;
    while (i < n && line[i].isDigit() && value < 100000)
        value = value * 10 + line[i++].digitValue();
    return neg ? -value : value;
}

std::optional<quint16> PassivePortOf(const QString& reply)
{
    QString s = reply;
    const int paren = s.indexOf('(');
    if (paren >= 0)
        s.remove(0, paren + 1);
    for (int i = 0; i < 4; ++i) {
        const int comma = s.indexOf(',');
        if (comma < 0)
            return std::nullopt;
        s.remove(0, comma + 1);
    }
    const int comma = s.indexOf(',');
    if (comma < 0)
        return std::nullopt;
    bool okHigh = false, okLow = false;
    const int high = s.left(comma).trimmed().toInt(&okHigh, 10);
    s.remove(0, comma + 1);
    const int close = s.indexOf(')');
    const int low = (close >= 0 ? s.left(close) : s).trimmed().toInt(&okLow, 10);
    // Each number is one byte of the port: anything else would wrap (or
    // overflow) into some other port.
    if (!okHigh || !okLow || high < 0 || high > 255 || low < 0 || low > 255)
        return std::nullopt;
    return quint16(high * 256 + low);
}
