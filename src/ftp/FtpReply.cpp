// Reading reply lines from the control connection and judging them.
#include "ftp/FtpClient.h"
#include "ftp/FtpCodec.h"


int TCustomFtpCli::ParseStatus(const QString& line)
{
    return FtpReplyReader::ParseStatus(line);
}

void TCustomFtpCli::ControlDataAvailable(quint16)
{
    if (m_tlsGate)
        return;  // nothing is read before the certificate is trusted
    const auto receive = [this](char* buffer, int room) { return m_control->Receive(buffer, room); };
    const auto onLine = [this](const QByteArray& bytes) {
        bool latin1 = false;
        m_lastResponse = ftpcodec::decode(bytes, &latin1);
        if (latin1)
            m_latin1 = true;
        if (OnResponse)
            OnResponse(this);
        HandleReplyLine();
        return m_control->State() == wsConnected;  // a closed session reads no further
    };
    switch (m_reply.ReceiveLines(m_options & ftpAcceptLF, receive, onLine)) {
    case FtpReplyReader::Received::TooLong:
        Display(QStringLiteral("! Reply line too long, closing the connection"));
        m_control->Close();
        break;
    case FtpReplyReader::Received::Closed:
        m_control->Close();
        break;
    case FtpReplyReader::Received::Lines:
    case FtpReplyReader::Received::Nothing:
        break;
    }
}

void TCustomFtpCli::HandleReplyLine()
{
    const QString& line = m_lastResponse;
    const bool final = m_reply.EndsReply(line);
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
        KeepReplyLine(line, final);
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

// Every line of a reply is kept until the next reply starts (FEAT lists its
// features on the lines before the last). A reply longer than the cap keeps
// its first lines and its final one.
void TCustomFtpCli::KeepReplyLine(const QString& line, bool final)
{
    if (m_replyEnded) {
        m_replyLines.clear();
        m_replyEnded = false;
    }
    if (final || m_replyLines.size() < kMaxReplyLines - 1)
        m_replyLines.append(line);
    m_replyEnded = final;
}

void TCustomFtpCli::InterpretReply()
{
    if (m_currentStep == stepFeat) {
        m_features = m_statusCode == 211 ? TFtpFeatures::FromReply(m_replyLines) : TFtpFeatures();
        return;
    }
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
