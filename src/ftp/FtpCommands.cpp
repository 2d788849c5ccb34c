// The single commands: one table row per command (text, accepted replies,
// request code), run by ExecCommand. Steps with their own logic (Open, QUIT,
// REST, PORT and the data transfers) name their starter in the row.
#include "ftp/FtpClient.h"

#include <QFileInfo>

struct TCustomFtpCli::CommandDef {
    TFtpStep step;
    TFtpRequest request;
    QString (*text)(const TCustomFtpCli&);  // command text; null for special steps
    std::vector<int> accepted;              // empty: 500 and above fail
    const char* emptyArgError;              // raised when the argument is empty
    QString (*argument)(const TCustomFtpCli&);
    Handler special;                        // starter of a step with its own logic
};

namespace {
using C = TCustomFtpCli;
QString hostDir(const C& c) { return c.HostDirName(); }
QString userName(const C& c) { return c.UserName(); }
QString passWord(const C& c) { return c.PassWord(); }
} // namespace

QString TCustomFtpCli::UserCommand() const
{
    QString cmd = "USER " + m_userName;
    if (m_connectionType == ftpProxy) {
        // The proxy learns the real server from the user name; an IPv6
        // address goes in brackets, so its colons are not read as the port's.
        const QString bare = WSocketStripBrackets(m_hostName.trimmed());
        cmd += "@" + (WSocketIsIPv6(bare) ? "[" + bare + "]" : m_hostName);
        if (m_port.compare("ftp", Qt::CaseInsensitive) != 0 && m_port != "21")
            cmd += ":" + m_port;
    }
    return cmd;
}

const std::vector<TCustomFtpCli::CommandDef>& TCustomFtpCli::CommandTable()
{
    static const std::vector<CommandDef> table = {
        {stepOpen, ftpRqOpen, nullptr, {220}, nullptr, nullptr, &C::Open},
        {stepUser, ftpRqUser, [](const C& c) { return c.UserCommand(); }, {331, 230}, "UserName emtpy", userName, nullptr},
        {stepPass, ftpRqPass, [](const C& c) { return "PASS " + c.PassWord(); }, {230}, "Password emtpy", passWord, nullptr},
        {stepCwd, ftpRqCwd, [](const C& c) { return "CWD " + c.HostDirName(); }, {200, 250, 257}, "HostDirName emtpy", hostDir, nullptr},
        {stepSize, ftpRqSize, [](const C& c) { return "SIZE " + c.HostFileName(); }, {213}, nullptr, nullptr, nullptr},
        {stepMkd, ftpRqMkd, [](const C& c) { return "MKD " + c.HostFileName(); }, {257}, nullptr, nullptr, nullptr},
        {stepRmd, ftpRqRmd, [](const C& c) { return "RMD " + c.HostFileName(); }, {250, 257}, nullptr, nullptr, nullptr},
        {stepRnfr, ftpRqRenFrom, [](const C& c) { return "RNFR " + c.HostFileName(); }, {350}, nullptr, nullptr, nullptr},
        {stepRnto, ftpRqRenTo, [](const C& c) { return "RNTO " + c.LocalFileName(); }, {200, 250, 257}, nullptr, nullptr, nullptr},
        {stepRetr, ftpRqGet, nullptr, {}, nullptr, nullptr, &C::Retr},
        {stepList, ftpRqDir, nullptr, {}, nullptr, nullptr, &C::List},
        {stepQuit, ftpRqQuit, nullptr, {221}, nullptr, nullptr, &C::Quit},
        {stepSyst, ftpRqSyst, [](const C&) { return QStringLiteral("SYST"); }, {215}, nullptr, nullptr, nullptr},
        {stepDele, ftpRqDele, [](const C& c) { return "DELE " + c.HostFileName(); }, {200, 250, 257}, nullptr, nullptr, nullptr},
        {stepPwd, ftpRqPwd, [](const C&) { return QStringLiteral("PWD"); }, {250, 257}, nullptr, nullptr, nullptr},
        {stepQuote, ftpRqQuote, [](const C& c) { return c.LocalFileName(); }, {}, nullptr, nullptr, nullptr},
        {stepStor, ftpRqPut, nullptr, {}, nullptr, nullptr, &C::Stor},
        {stepType, ftpRqTypeSet, [](const C& c) { return QStringLiteral("TYPE ") + (c.Binary() ? 'I' : 'A'); }, {200}, nullptr, nullptr, nullptr},
        {stepRest, ftpRqRest, nullptr, {}, nullptr, nullptr, &C::DoRest},
        {stepCdup, ftpRqCDup, [](const C&) { return QStringLiteral("CDUP"); }, {250}, nullptr, nullptr, nullptr},
        {stepNlst, ftpRqLs, nullptr, {}, nullptr, nullptr, &C::Nlst},
        {stepAppe, ftpRqAppend, nullptr, {}, nullptr, nullptr, &C::Appe},
        {stepPort, ftpRqPort, nullptr, {200, 227}, nullptr, nullptr, &C::DoPort},
        {stepFeat, ftpRqFeat, [](const C&) { return QStringLiteral("FEAT"); }, {211}, nullptr, nullptr, nullptr},
        {stepOpts, ftpRqOpts, [](const C& c) { return "OPTS " + c.m_optsArgument; }, {200}, nullptr, nullptr, nullptr},
    };
    return table;
}

const TCustomFtpCli::CommandDef* TCustomFtpCli::FindCommand(TFtpStep step)
{
    for (const CommandDef& row : CommandTable())
        if (row.step == step)
            return &row;
    return nullptr;
}

void TCustomFtpCli::StartStep(TFtpStep step)
{
    const CommandDef* row = FindCommand(step);
    if (!row)
        throw FtpException(QStringLiteral("Program error: unknown step %1").arg(int(step)));
    m_currentStep = step;
    if (row->special) {
        (this->*(row->special))();
        return;
    }
    if (row->argument && row->argument(*this).isEmpty())
        throw FtpException(QString::fromLatin1(row->emptyArgError));
    ExecCommand(row->request, row->text(*this), row->accepted);
}

void TCustomFtpCli::RunSingle(TFtpStep step) { StartStep(step); }

void TCustomFtpCli::CheckCommandText(const QString& cmd)
{
    for (const QChar c : cmd) {
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n') && c != QChar(0))
            continue;
        QString shown = cmd.startsWith(QLatin1String("PASS "), Qt::CaseInsensitive) ? QStringLiteral("PASS ****") : cmd;
        shown.replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n"))
            .replace(QChar(0), QLatin1String("\\0"));
        throw FtpException("Command refused, it contains a line break or NUL character: " + shown);
    }
}

// Every command a composite will send is checked before the first goes out:
// a name with a line break refuses the whole request with nothing sent.
void TCustomFtpCli::CheckStepTexts(TFtpStepSet steps) const
{
    for (const CommandDef& row : CommandTable()) {
        if (!(steps & stepBit(row.step)))
            continue;
        if (row.text)
            CheckCommandText(row.text(*this));
        else if (row.step == stepRetr || row.step == stepStor || row.step == stepAppe || row.step == stepList
                 || row.step == stepNlst)
            CheckCommandText(m_hostFileName);
    }
}

void TCustomFtpCli::ExecCommand(TFtpRequest rq, const QString& cmd, std::vector<int> codes, Handler done)
{
    CheckCommandText(cmd);
    const QString verb = cmd.section(' ', 0, 0).toUpper();
    if (verb != "ABOR" && verb != "STAT" && verb != "QUIT") {
        ReadyCheck();
        if (!m_connected)
            throw FtpException(QStringLiteral("FTP component not connected"));
    }
    if (!m_highLevelFlag) {
        m_requestType = rq;
        m_errorMessage.clear();  // ErrorMessage belongs to the request that runs
    }
    m_okResponses = std::move(codes);
    m_requestDoneFlag = false;
    m_next = &TCustomFtpCli::NextReply;
    m_done = done;
    SetState(ftpStWaitingResponse);
    SendCommand(cmd);
}

void TCustomFtpCli::DoRest()
{
    ReadyCheck();
    if (!m_connected)
        throw FtpException(QStringLiteral("FTP component not connected"));
    const bool uploadRestart = m_requestType == ftpRqRestartPut || m_requestType == ftpRqRestartTransmit;
    if (!uploadRestart && !(m_options & ftpNoAutoResumeAt)) {
        const QFileInfo info(m_localFileName);
        m_resumeAt = info.exists() ? info.size() : -1;
    }
    const qint64 remoteSize = KnownRemoteSize();
    if (!uploadRestart && remoteSize >= 0 && m_resumeAt > remoteSize) {
        // A local file longer than the remote one is no partial download of it:
        // refuse before REST, so the server holds no stray restart offset.
        m_lastResponse = QStringLiteral("426 Nothing to resume: the local file (%1 bytes) is longer than the "
                                        "remote file (%2 bytes)").arg(m_resumeAt).arg(remoteSize);
        m_statusCode = 426;
        m_error = 426;
        SetErrorMessage(m_lastResponse);
        Display("! " + m_lastResponse);
        m_nextStepSet = false;
        m_requestDoneFlag = false;
        RequestDone(426);
        return;
    }
    if (m_resumeAt < 1) {
        // Nothing to restart from: the step ends at once without a command.
        if (!m_highLevelFlag) {
            m_requestType = ftpRqRest;
            m_errorMessage.clear();
        }
        m_requestDoneFlag = false;
        m_error = 0;
        RequestDone(0);
        return;
    }
    ExecCommand(ftpRqRest, "REST " + QString::number(m_resumeAt), {});
}

void TCustomFtpCli::User() { RunSingle(stepUser); }
void TCustomFtpCli::Pass() { RunSingle(stepPass); }
void TCustomFtpCli::Cwd() { RunSingle(stepCwd); }
void TCustomFtpCli::Size() { RunSingle(stepSize); }
void TCustomFtpCli::Mkd() { RunSingle(stepMkd); }
void TCustomFtpCli::Rmd() { RunSingle(stepRmd); }
void TCustomFtpCli::RenFrom() { RunSingle(stepRnfr); }
void TCustomFtpCli::RenTo() { RunSingle(stepRnto); }
void TCustomFtpCli::Syst() { RunSingle(stepSyst); }
void TCustomFtpCli::Dele() { RunSingle(stepDele); }
void TCustomFtpCli::Pwd() { RunSingle(stepPwd); }
void TCustomFtpCli::Quote() { RunSingle(stepQuote); }
void TCustomFtpCli::TypeSet() { RunSingle(stepType); }
void TCustomFtpCli::CDup() { RunSingle(stepCdup); }
void TCustomFtpCli::Port() { RunSingle(stepPort); }
void TCustomFtpCli::Feat() { RunSingle(stepFeat); }
void TCustomFtpCli::Opts(const QString& argument)
{
    m_optsArgument = argument;
    RunSingle(stepOpts);
}
void TCustomFtpCli::Rest() { m_currentStep = stepRest; DoRest(); }
void TCustomFtpCli::TypeBinary() { SetBinary(true); TypeSet(); }
void TCustomFtpCli::TypeAscii() { SetBinary(false); TypeSet(); }
