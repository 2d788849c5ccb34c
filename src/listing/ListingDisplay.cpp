#include "listing/ListingDisplay.h"

#include <charconv>

namespace {

// Groups a run of digits (an optional '-' first) by three from the right.
QString groupDigits(QStringView digits)
{
    const bool negative = digits.startsWith(QLatin1Char('-'));
    const QStringView body = negative ? digits.mid(1) : digits;
    const qsizetype n = body.size();
    QString out;
    out.reserve(n + n / 3 + 1);
    if (negative)
        out += QLatin1Char('-');
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += QLatin1Char(' ');
        out += body[i];
    }
    return out;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Two digits of a date field; -1 when they are not digits.
int twoDigits(QStringView t, qsizetype at)
{
    if (!isDigit(t[at]) || !isDigit(t[at + 1]))
        return -1;
    return (t[at].unicode() - '0') * 10 + (t[at + 1].unicode() - '0');
}

void appendTwo(QString& out, int v)
{
    out += QLatin1Char(char('0' + v / 10 % 10));
    out += QLatin1Char(char('0' + v % 10));
}

} // namespace

QString GroupedByteCount(qint64 bytes)
{
    return groupDigits(QString::number(bytes));
}

QString FormatSize(QStringView text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || text.isEmpty())
        return text.toString();
    // toLongLong also takes a '+' or surrounding blanks; only a plain run of
    // digits (with a '-') is a whole number here.
    const qsizetype first = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    for (qsizetype i = first; i < text.size(); ++i)
        if (!isDigit(text[i]))
            return text.toString();
    if (first == text.size())
        return text.toString();
    return GroupedByteCount(value);
}

bool ParseGroupedSize(QStringView text, qint64& value)
{
    // Up to 19 digits and a sign without the separators fit a small buffer.
    char buf[32];
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char(' '))
            continue;
        if (n >= int(sizeof buf) - 1 || (!isDigit(c) && !(c == QLatin1Char('-') && n == 0)))
            return false;
        buf[n++] = char(c.unicode());
    }
    if (n == 0 || (n == 1 && buf[0] == '-'))
        return false;
    const auto [end, ec] = std::from_chars(buf, buf + n, value);
    return ec == std::errc() && end == buf + n;
}

QString FormatListDate(const QDate& date, int dateType)
{
    if (!date.isValid() || date.year() < 0 || date.year() > 9999)
        return QString();
    const int first = dateType == 1 ? date.month() : date.day();
    const int second = dateType == 1 ? date.day() : date.month();
    QString out;
    out.reserve(10);
    appendTwo(out, first);
    out += QLatin1Char('.');
    appendTwo(out, second);
    out += QLatin1Char('.');
    appendTwo(out, date.year() / 100);
    appendTwo(out, date.year() % 100);
    return out;
}

QDate ParseListDate(QStringView text, int dateType)
{
    if (text.size() != 10 || text[2] != QLatin1Char('.') || text[5] != QLatin1Char('.'))
        return QDate();
    const int a = twoDigits(text, 0), b = twoDigits(text, 3);
    const int hi = twoDigits(text, 6), lo = twoDigits(text, 8);
    if (a < 0 || b < 0 || hi < 0 || lo < 0)
        return QDate();
    const int year = hi * 100 + lo;
    return dateType == 1 ? QDate(year, a, b) : QDate(year, b, a);  // invalid when out of range
}

QString SelectionSummary(qint64 count, qint64 totalBytes, const SelectionWords& words)
{
    if (count <= 0)
        return QString();
    const qint64 total = totalBytes < 0 ? 0 : totalBytes;
    return QStringLiteral("%1 %2 (%3 Kb) %4 %5 %6")
        .arg(GroupedByteCount(total), words.byte, QString::number(total / 1024), words.in,
             QString::number(count), words.files);
}

QString EscapedName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u == 0)
            out += QLatin1String("\\0");
        else if (u == '\\')
            out += QLatin1String("\\\\");
        else if (u == '\n')
            out += QLatin1String("\\n");
        else if (u == '\r')
            out += QLatin1String("\\r");
        else if (u == '\t')
            out += QLatin1String("\\t");
        else if (u < 0x20 || u == 0x7f)
            out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}
