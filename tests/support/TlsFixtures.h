#pragma once
// Certificates made for a test (any name, any validity, self-signed or
// issued by a CA of the test) and a misbehaving FTP-over-TLS server
// (helpers/tls_fault_ftp.py) for failures no real server produces.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace testtls {

struct CertRecipe {
    QString name;                  // files NAME.pem and NAME.key; "ca" makes the CA
    QString cn = QStringLiteral("127.0.0.1");
    QString san = QStringLiteral("IP:127.0.0.1");
    int notBeforeDays = -1;        // relative to now
    int notAfterDays = 30;
    bool byCa = false;             // issued by DIR/ca.pem (make it first)
};

// Writes DIR/NAME.pem and DIR/NAME.key; false with the reason.
bool makeCertificate(const QString& dir, const CertRecipe& recipe, QString* error);

class FaultServer {
public:
    ~FaultServer();
    // mode: garbage, close, plain-data, truncate, serve, other-cert,
    // quit-silent, stall-control, stall-implicit, stall-data (see the
    // script). dataCert and dataKey: the certificate of the data connections
    // in mode other-cert.
    bool start(const QString& mode, const QString& cert, const QString& key, QString* error,
               const QString& dataCert = {}, const QString& dataKey = {});
    // The same with a self-signed certificate for 127.0.0.1 made for it.
    bool start(const QString& mode, QString* error);
    quint16 port() const { return m_port; }

private:
    QTemporaryDir m_certs;
    std::unique_ptr<QProcess> m_proc;
    quint16 m_port = 0;
};

} // namespace testtls
