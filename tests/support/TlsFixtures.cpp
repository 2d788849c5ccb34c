#include "TlsFixtures.h"
#include "TestEnv.h"

namespace testtls {

bool makeCertificate(const QString& dir, const CertRecipe& recipe, QString* error)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(testenv::systemPython(),
            {testenv::sourceDir() + "/tests/support/helpers/make_cert.py", dir, recipe.name, recipe.cn, recipe.san,
             QString::number(recipe.notBeforeDays), QString::number(recipe.notAfterDays), recipe.byCa ? "ca" : "self"});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = "make_cert.py failed: " + QString::fromLocal8Bit(p.readAll());
        return false;
    }
    return true;
}

FaultServer::~FaultServer()
{
    if (m_proc) {
        m_proc->kill();
        m_proc->waitForFinished(3000);
    }
}

bool FaultServer::start(const QString& mode, const QString& cert, const QString& key, QString* error,
                        const QString& dataCert, const QString& dataKey)
{
    m_port = testenv::freePort();
    m_proc = std::make_unique<QProcess>();
    m_proc->setProcessChannelMode(QProcess::MergedChannels);
    QStringList args = {testenv::sourceDir() + "/tests/support/helpers/tls_fault_ftp.py", mode,
                        QString::number(m_port), cert, key};
    if (!dataCert.isEmpty())
        args << dataCert << dataKey;
    m_proc->start(testenv::systemPython(), args);
    if (!m_proc->waitForStarted(5000) || !testenv::waitForPort(m_port, 10000)) {
        *error = "tls_fault_ftp.py did not come up: " + QString::fromLocal8Bit(m_proc->readAll());
        return false;
    }
    return true;
}

bool FaultServer::start(const QString& mode, QString* error)
{
    return makeCertificate(m_certs.path(), {"server"}, error)
           && start(mode, m_certs.filePath("server.pem"), m_certs.filePath("server.key"), error);
}

} // namespace testtls
