#include "CliTrust.h"

#include "CliText.h"

#include <cstdio>
#include <unistd.h>

int TerminalTrust::ShowMessageBox(const QString& text, const QString& caption, int)
{
    printErr("varnoth-cli: " + caption + ": " + text);
    return mb::IdOk;
}

int TerminalTrust::AskCertificate(const TTlsCertificateInfo& cert)
{
    const QString where = cert.Host + ':' + cert.Port;
    printErr("The certificate of " + where + " is not trusted: " + cert.Problems.join(QStringLiteral("; ")));
    printErr("  Subject:     " + cert.Subject);
    printErr("  Issuer:      " + cert.Issuer);
    printErr("  Valid:       " + cert.NotBefore.toString(Qt::ISODate) + " to " + cert.NotAfter.toString(Qt::ISODate));
    printErr("  SHA-256:     " + cert.Sha256);
    if (!isatty(STDIN_FILENO)) {
        printErr("varnoth-cli: refused. To trust this server without a question, give --fingerprint " + cert.Sha256
                 + " (after checking it with the server's owner), or --cacert FILE with its certificate or CA.");
        return certanswer::Reject;
    }
    fprintf(stderr, "Accept it? [o]nce, [a]lways (remembered), [N]o: ");
    fflush(stderr);
    char buf[64];
    if (!fgets(buf, sizeof buf, stdin))
        return certanswer::Reject;
    switch (buf[0]) {
    case 'o': case 'O': return certanswer::AcceptOnce;
    case 'a': case 'A': return certanswer::AcceptAlways;
    default: return certanswer::Reject;
    }
}
