// Reading reply lines from the control connection and judging them.
#include "ftp/FtpClient.h"
#include "ftp/FtpCodec.h"

#include <cstring>

int TCustomFtpCli::ParseStatus(const QString& line)
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

// A reply is one line "ddd text", or several lines from "ddd-text" up to the
// line that starts with the same code and a blank; the lines in between are
// free text, even when they start with digits ("2024 maintenance ...").
bool TCustomFtpCli::EndsReply(const QString& line)
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

void TCustomFtpCli::ControlDataAvailable(quint16)
{
    if (m_tlsGate)
        return;  // nothing is read before the certificate is trusted
    const int room = kReplyBufSize - 1 - m_replyCount;
    if (room <= 0) {
        // A line that fills the whole buffer without a line end ends the session.
        Display(QStringLiteral("! Reply line too long, closing the connection"));
        m_replyCount = 0;
        m_control->Close();
        return;
    }
    const int n = m_control->Receive(m_replyBuf + m_replyCount, room);
    if (n == 0) {
        m_control->Close();
        return;
    }
    if (n < 0)
        return;
    m_replyCount += n;
    const bool acceptLF = m_options & ftpAcceptLF;
    while (m_replyCount > 0) {
        int end = -1;     // index of the first byte after the line end
        int textLen = 0;  // bytes of the line without its end
        for (int i = 0; i < m_replyCount; ++i) {
            if (m_replyBuf[i] != '\n')
                continue;
            if (acceptLF || (i > 0 && m_replyBuf[i - 1] == '\r')) {
                end = i + 1;
                textLen = i;
                break;
            }
        }
        if (end < 0)
            break;
        while (textLen > 0 && (m_replyBuf[textLen - 1] == '\r' || m_replyBuf[textLen - 1] == '\n'))
            --textLen;
        bool latin1 = false;
        m_lastResponse = ftpcodec::decode(QByteArray(m_replyBuf, textLen), &latin1);
        if (latin1)
            m_latin1 = true;
        m_replyCount -= end;
        std::memmove(m_replyBuf, m_replyBuf + end, size_t(m_replyCount));
        if (OnResponse)
            OnResponse(this);
        HandleReplyLine();
        if (m_control->State() != wsConnected) {
            m_replyCount = 0;
            break;
        }
    }
}

void TCustomFtpCli::HandleReplyLine()
{
    const QString& line = m_lastResponse;
    const bool final = EndsReply(line);
    if (m_state == ftpStWaitingBanner) {
        Display("< " + line);
        if (!final)
            return;
        m_statusCode = ParseStatus(line);
        if (m_statusCode != 220) {
            SetErrorMessage(line);
            m_error = m_statusCode;
            m_control->Close();
            return;
        }
        SetState(ftpStConnected);
        if (OnSessionConnected)
            OnSessionConnected(this, quint16(m_control->LastError()));
        AfterWelcome();
        return;
    }
    if (m_state == ftpStWaitingResponse) {
        if (!final)
            return;
        m_statusCode = ParseStatus(line);
        if (!m_next)
            throw FtpException(QStringLiteral("Program error: FNext is nil"));
        (this->*m_next)();
        return;
    }
    Display("< " + line);
}

void TCustomFtpCli::NextReply()
{
    Display("< " + m_lastResponse);
    if (!m_okResponses.empty()) {
        const bool ok = std::find(m_okResponses.begin(), m_okResponses.end(), m_statusCode) != m_okResponses.end();
        m_error = ok ? 0 : m_statusCode;
    } else {
        m_error = m_statusCode >= 500 ? m_statusCode : 0;
    }
    if (m_error != 0)
        SetErrorMessage(m_lastResponse);
    if (m_passive && (m_statusCode == 227 || m_statusCode == 229))
        m_pasvResponse = m_lastResponse;
    if (m_error == 0)
        InterpretReply();
    if (m_done) {
        Handler h = m_done;
        (this->*h)();
    } else {
        RequestDone(m_error);
    }
}

void TCustomFtpCli::InterpretReply()
{
    if (m_currentStep == stepSize && m_statusCode == 213) {
        // "213 12345": the second number on the line.
        int i = 0;
        while (i < m_lastResponse.size() && m_lastResponse[i].isDigit())
            ++i;
        while (i < m_lastResponse.size() && m_lastResponse[i] == ' ')
            ++i;
        bool ok = false;
        int j = i;
        while (j < m_lastResponse.size() && m_lastResponse[j].isDigit())
            ++j;
        const qint64 v = m_lastResponse.mid(i, j - i).toLongLong(&ok);
        m_sizeResult = ok ? v : -1;
        m_sizeFile = m_hostFileName;
        return;
    }
    if (m_currentStep == stepCwd || m_currentStep == stepMkd || m_currentStep == stepPwd || m_currentStep == stepCdup) {
        // The text between the first pair of double quotes; "" stands for one quote.
        m_dirResult.clear();
        const int open = m_lastResponse.indexOf('"');
        if (open < 0)
            return;
        QString out;
        for (int i = open + 1; i < m_lastResponse.size(); ++i) {
            if (m_lastResponse[i] == '"') {
                if (i + 1 < m_lastResponse.size() && m_lastResponse[i + 1] == '"') {
                    out += '"';
                    ++i;
                    continue;
                }
                m_dirResult = out;
                return;
            }
            out += m_lastResponse[i];
        }
    }
}
