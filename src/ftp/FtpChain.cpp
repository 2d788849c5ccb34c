// Composite requests: each is a set of steps run in one fixed order by a
// single runner, with one OnRequestDone at the end.
#include "ftp/FtpClient.h"

#include <cstring>

struct TCustomFtpCli::CompositeDef {
    const char* name;
    TFtpRequest request;
    TFtpStepSet steps;
};

namespace {
constexpr TFtpStepSet S(std::initializer_list<TFtpStep> steps)
{
    TFtpStepSet set = 0;
    for (TFtpStep s : steps)
        set |= stepBit(s);
    return set;
}

// The order in which the runner takes the steps of a set.
constexpr TFtpStep kStepOrder[] = {stepOpen, stepUser, stepPass, stepCwd,  stepCdup, stepType, stepPort, stepRest,
                                   stepRetr, stepStor, stepAppe, stepList, stepNlst, stepSyst, stepMkd,  stepRmd,
                                   stepRnfr, stepRnto, stepSize, stepDele, stepPwd,  stepQuote, stepQuit};
} // namespace

const std::vector<TCustomFtpCli::CompositeDef>& TCustomFtpCli::CompositeTable()
{
    static const std::vector<CompositeDef> table = {
        {"Connect", ftpRqConnect, S({stepOpen, stepUser, stepPass})},
        {"Receive", ftpRqReceive, S({stepOpen, stepUser, stepPass, stepCwd, stepType, stepPort, stepRetr, stepQuit})},
        {"Dir", ftpRqDir, S({stepPort, stepList})},
        {"Ls", ftpRqLs, S({stepPort, stepNlst})},
        {"Get", ftpRqGet, S({stepPort, stepRetr})},
        {"DirAll", ftpRqDirAll, S({stepOpen, stepUser, stepPass, stepCwd, stepPort, stepList, stepQuit})},
        {"LsAll", ftpRqLsAll, S({stepOpen, stepUser, stepPass, stepCwd, stepPort, stepNlst, stepQuit})},
        {"SystemInfo", ftpRqSystemInfo, S({stepOpen, stepUser, stepPass, stepSyst, stepQuit})},
        {"FileSize", ftpRqSize, S({stepOpen, stepUser, stepPass, stepCwd, stepSize, stepQuit})},
        {"Put", ftpRqPut, S({stepPort, stepStor})},
        {"Append", ftpRqAppend, S({stepPort, stepAppe})},
        {"RenameFile", ftpRqRenameFile, S({stepOpen, stepUser, stepPass, stepCwd, stepRnfr, stepRnto, stepQuit})},
        {"Rename", ftpRqRename, S({stepRnfr, stepRnto})},
        {"Delete", ftpRqDelete, S({stepOpen, stepUser, stepPass, stepCwd, stepDele, stepQuit})},
        {"MkDir", ftpRqMkDir, S({stepOpen, stepUser, stepPass, stepCwd, stepMkd, stepQuit})},
        {"RmDir", ftpRqRmDir, S({stepOpen, stepUser, stepPass, stepCwd, stepRmd, stepQuit})},
        {"DoQuote", ftpRqDoQuote, S({stepOpen, stepUser, stepPass, stepCwd, stepQuote, stepQuit})},
        {"Transmit", ftpRqTransmit, S({stepOpen, stepUser, stepPass, stepCwd, stepType, stepPort, stepStor, stepQuit})},
        {"AppendFile", ftpRqTransmit, S({stepOpen, stepUser, stepPass, stepCwd, stepType, stepPort, stepAppe, stepQuit})},
        {"RestartGet", ftpRqRestartGet, S({stepPort, stepRest, stepRetr})},
        {"RestartReceive", ftpRqRestartReceive,
         S({stepOpen, stepUser, stepPass, stepCwd, stepType, stepPort, stepRest, stepRetr, stepQuit})},
        {"RestartPut", ftpRqRestartPut, S({stepPort, stepRest, stepStor})},
        {"RestartTransmit", ftpRqRestartTransmit,
         S({stepOpen, stepUser, stepPass, stepCwd, stepType, stepPort, stepRest, stepStor, stepQuit})},
    };
    return table;
}

void TCustomFtpCli::StartComposite(const char* name)
{
    const CompositeDef* def = nullptr;
    for (const CompositeDef& row : CompositeTable())
        if (std::strcmp(row.name, name) == 0)
            def = &row;
    if (!def)
        throw FtpException(QStringLiteral("Program error: unknown request %1").arg(QLatin1String(name)));
    if (m_connected && (def->steps & stepBit(stepOpen)))
        throw FtpException(QStringLiteral("FTP component already connected"));
    ReadyCheck();
    CheckStepTexts(def->steps);
    m_lastResponseSave = m_lastResponse;
    m_statusCodeSave = -1;
    m_requestType = def->request;
    m_error = 0;
    m_fctSet = def->steps;
    m_fctPrv = stepNone;
    m_highLevelResult = 0;
    m_highLevelFlag = true;
    m_lastResponse.clear();
    m_errorMessage.clear();
    try {
        NextStep();
    } catch (...) {
        // The first step refused to start: nothing was sent, the client stays usable.
        m_highLevelFlag = false;
        m_fctSet = 0;
        m_nextStepSet = false;
        m_requestDoneFlag = true;
        SetState(ftpStReady);
        throw;
    }
}

void TCustomFtpCli::NextStep()
{
    if (m_state == ftpStAbort) {
        m_fctSet = 0;
        m_highLevelResult = 426;
        m_errorMessage = QStringLiteral("426 Operation aborted.");
    }
    m_nextStepSet = true;
    if (m_fctPrv != stepNone && m_error == 0)
        InterpretReply();
    for (TFtpStep step : kStepOrder) {
        if (!(m_fctSet & stepBit(step)))
            continue;
        m_fctSet &= ~stepBit(step);
        if (step == stepPass && m_fctPrv == stepUser && m_statusCode != 331)
            continue;  // logged in by USER alone
        if (step == stepCwd && m_hostDirName.isEmpty())
            continue;
        if (step == stepRetr && !(m_fctPrv == stepRest && m_statusCode == 350 && m_resumeAt >= 0))
            m_resumeAt = 0;
        if (step == stepQuit) {
            // The result reported is that of the last real step, not of QUIT.
            m_statusCodeSave = m_statusCode;
            m_lastResponseSave = m_lastResponse;
        }
        m_fctPrv = step;
        StartStep(step);
        return;
    }
    m_fctSet = 0;
    m_nextStepSet = false;
    m_requestDoneFlag = false;
    RequestDone(m_highLevelResult);
}

void TCustomFtpCli::Connect() { StartComposite("Connect"); }
void TCustomFtpCli::Receive() { StartComposite("Receive"); }
void TCustomFtpCli::Dir() { StartComposite("Dir"); }
void TCustomFtpCli::Ls() { StartComposite("Ls"); }
void TCustomFtpCli::Get() { StartComposite("Get"); }
void TCustomFtpCli::DirAll() { StartComposite("DirAll"); }
void TCustomFtpCli::LsAll() { StartComposite("LsAll"); }
void TCustomFtpCli::SystemInfo() { StartComposite("SystemInfo"); }
void TCustomFtpCli::FileSize() { StartComposite("FileSize"); }
void TCustomFtpCli::Put() { StartComposite("Put"); }
void TCustomFtpCli::Append() { StartComposite("Append"); }
void TCustomFtpCli::RenameFile() { StartComposite("RenameFile"); }
void TCustomFtpCli::Rename() { StartComposite("Rename"); }
void TCustomFtpCli::Delete() { StartComposite("Delete"); }
void TCustomFtpCli::MkDir() { StartComposite("MkDir"); }
void TCustomFtpCli::RmDir() { StartComposite("RmDir"); }
void TCustomFtpCli::DoQuote() { StartComposite("DoQuote"); }
void TCustomFtpCli::Transmit() { StartComposite("Transmit"); }
void TCustomFtpCli::AppendFile() { StartComposite("AppendFile"); }
void TCustomFtpCli::RestartGet() { StartComposite("RestartGet"); }
void TCustomFtpCli::RestartReceive() { StartComposite("RestartReceive"); }
void TCustomFtpCli::RestartPut() { StartComposite("RestartPut"); }
void TCustomFtpCli::RestartTransmit() { StartComposite("RestartTransmit"); }
