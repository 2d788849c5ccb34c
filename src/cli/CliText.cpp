#include "CliText.h"

#include <QCommandLineParser>
#include <cstdio>

QString maskUrlPassword(const QString& url)
{
    // Without a scheme ("user:pass@host/x") the authority starts the text.
    const int scheme = url.indexOf(QStringLiteral("://"));
    const int start = scheme < 0 ? 0 : scheme + 3;
    int end = url.indexOf('/', start);
    if (end < 0)
        end = url.size();
    // The last '@' of the authority ends the user part: a password may hold '@'.
    const int at = url.lastIndexOf('@', end - 1);
    if (at < start)
        return url;
    const int colon = url.indexOf(':', start);
    if (colon < 0 || colon > at)
        return url;
    return url.left(colon + 1) + QStringLiteral("****") + url.mid(at);
}

QString printableText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != '\t')
            out += QLatin1Char('^') + QChar(char16_t(u + 0x40));
        else if (u == 0x7f)
            out += QStringLiteral("^?");
        else if (u >= 0x80 && u <= 0x9f)
            out += QStringLiteral("\\x") + QString::number(u, 16);
        else
            out += c;
    }
    return out;
}

void printErr(const QString& line)
{
    fprintf(stderr, "%s\n", printableText(line).toLocal8Bit().constData());
}

QString commandHelpText(const QCommandLineParser& parser, const QString& command, const QString& syntax)
{
    QString help = parser.helpText();
    const int firstLineEnd = help.indexOf('\n');
    const QString usage = QStringLiteral("Usage: varnoth-cli %1 [options]%2%3")
                              .arg(command, syntax.isEmpty() ? QString() : QStringLiteral(" "), syntax);
    return usage + (firstLineEnd < 0 ? QStringLiteral("\n") : help.mid(firstLineEnd));
}
