#include "session/CertificateTrust.h"

#include "session/UserInterface.h"
#include "settings/Globals.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

QString CertificateStorePath()
{
    // A run without a program directory of its own (varnoth-cli on its own)
    // uses the default one rather than the current directory.
    return (ProgramDir.isEmpty() ? DefaultProgramDir() : ProgramDir) + QStringLiteral("certificates.txt");
}

QString NormalisedFingerprint(const QString& text)
{
    QString hex = text.trimmed().toUpper();
    hex.remove(QLatin1Char(':'));
    static const QRegularExpression sha256(QStringLiteral("^[0-9A-F]{64}$"));
    if (!sha256.match(hex).hasMatch())
        return {};
    QStringList pairs;
    for (int i = 0; i < hex.size(); i += 2)
        pairs << hex.mid(i, 2);
    return pairs.join(QLatin1Char(':'));
}

QStringList TCertificateStore::Load()
{
    m_entries.clear();
    m_lines.clear();
    QStringList damaged;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return damaged;
    int number = 0;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        ++number;
        if (line.isEmpty())
            continue;
        m_lines << line;
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")));
        bool portOk = false;
        const int port = fields.value(1).toInt(&portOk);
        const QString sha = fields.size() == 3 ? NormalisedFingerprint(fields[2]) : QString();
        if (fields.size() != 3 || !portOk || port <= 0 || port > 65535 || sha.isEmpty()) {
            m_lines.removeLast();
            damaged << QStringLiteral("%1 line %2 is damaged and ignored: %3").arg(m_path).arg(number).arg(line.left(120));
            continue;
        }
        m_entries.insert(Key(fields[0], QString::number(port)), sha);
    }
    return damaged;
}

QString TCertificateStore::Fingerprint(const QString& host, const QString& port) const
{
    return m_entries.value(Key(host, port));
}

bool TCertificateStore::Remember(const QString& host, const QString& port, const QString& sha256, QString* error)
{
    const QString key = Key(host, port);
    m_entries.insert(key, sha256);
    // The line of this host and port is replaced; the others stay as they were.
    QStringList out;
    for (const QString& line : m_lines) {
        const QStringList f = line.split(QRegularExpression(QStringLiteral("\\s+")));
        if (!line.startsWith(QLatin1Char('#')) && f.size() == 3 && Key(f[0], f[1]) == key)
            continue;
        out << line;
    }
    if (m_lines.isEmpty())
        out << QStringLiteral("# Server certificates accepted \"always\": HOST PORT SHA-256 fingerprint");
    out << host.toLower() + ' ' + port + ' ' + sha256;
    m_lines = out;
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly) || f.write((out.join('\n') + '\n').toUtf8()) < 0 || !f.commit()) {
        *error = f.errorString();
        return false;
    }
    return true;
}

TTrustDecision DecideCertificateTrust(const TTlsCertificateInfo& cert, const QString& storePath, IUserInterface* ui,
                                      const QString& acceptedFingerprint)
{
    TTrustDecision d;
    const QString where = cert.Host + ':' + cert.Port;
    if (cert.Problems.isEmpty()) {
        d.Go = true;
        d.Log << "Certificate of " + where + " trusted: " + cert.Subject + ", issued by " + cert.Issuer;
        return d;
    }
    const QString problems = cert.Problems.join(QStringLiteral("; "));
    if (!acceptedFingerprint.isEmpty() && NormalisedFingerprint(acceptedFingerprint) == cert.Sha256) {
        d.Go = true;
        d.Log << "Certificate of " + where + " (" + problems + ") accepted: its fingerprint is the one given";
        return d;
    }
    TCertificateStore store(storePath);
    for (const QString& damaged : store.Load())
        d.Log << damaged;
    const QString remembered = store.Fingerprint(cert.Host, cert.Port);
    if (remembered == cert.Sha256) {
        d.Go = true;
        d.Log << "Certificate of " + where + " (" + problems + ") accepted: remembered";
        return d;
    }
    if (!remembered.isEmpty()) {
        const QString warning = "The certificate of " + where + " has CHANGED since it was accepted. Remembered "
                                "SHA-256 fingerprint " + remembered + ", now " + cert.Sha256 + " (" + problems
                                + "). This may be an attack: the connection is refused. If the server really has a "
                                  "new certificate, remove its line from " + storePath + ".";
        d.Log << warning;
        if (ui)
            ui->ShowMessageBox(warning, QStringLiteral("Certificate changed"), mb::Ok | mb::IconWarning);
        return d;
    }
    const int answer = ui ? ui->AskCertificate(cert) : certanswer::Reject;
    if (answer == certanswer::AcceptAlways) {
        d.Go = true;
        QString error;
        if (store.Remember(cert.Host, cert.Port, cert.Sha256, &error))
            d.Log << "Certificate of " + where + " (" + problems + ") accepted and remembered in " + storePath;
        else
            d.Log << "Certificate of " + where + " accepted, but it cannot be remembered: " + storePath + ": " + error;
    } else if (answer == certanswer::AcceptOnce) {
        d.Go = true;
        d.Log << "Certificate of " + where + " (" + problems + ") accepted for this connection";
    } else {
        d.Log << "Certificate of " + where + " (" + problems + ") rejected";
    }
    return d;
}
