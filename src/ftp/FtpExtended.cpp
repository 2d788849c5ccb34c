// EPSV reply parsing and the EPRT command text.
#include "ftp/FtpExtended.h"

#include <QStringList>

int ParseEpsvPort(const QString& reply, QString* why)
{
    auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return 0;
    };
    const int open = reply.indexOf(u'(');
    const int close = open < 0 ? -1 : reply.indexOf(u')', open + 1);
    if (open < 0 || close < 0)
        return fail(QStringLiteral("no (|||port|) in the reply"));
    const QString inner = reply.mid(open + 1, close - open - 1);
    if (inner.isEmpty())
        return fail(QStringLiteral("no (|||port|) in the reply"));
    const QChar d = inner[0];
    if (d.unicode() < 33 || d.unicode() > 126 || d.isDigit())
        return fail(QStringLiteral("'%1' cannot delimit the fields").arg(d));
    const QStringList fields = inner.split(d);
    // "|||port|" splits into five: three empty fields, the port, the empty tail.
    if (fields.size() != 5 || !fields[4].isEmpty() || !fields[0].isEmpty())
        return fail(QStringLiteral("the fields are not delimited by four '%1'").arg(d));
    const QString& portText = fields[3];
    if (portText.isEmpty())
        return fail(QStringLiteral("the port is missing"));
    for (const QChar c : portText)
        if (!c.isDigit() || c.unicode() > 127)
            return fail(QStringLiteral("the port '%1' is not a number").arg(portText));
    if (portText.size() > 5 || portText.toInt() > 65535 || portText.toInt() == 0)
        return fail(QStringLiteral("the port %1 is outside 1..65535").arg(portText));
    return portText.toInt();
}

QString EprtCommand(const QString& address, quint16 port)
{
    const QChar family = address.contains(u':') ? u'2' : u'1';
    return QStringLiteral("EPRT |%1|%2|%3|").arg(family).arg(address).arg(port);
}
