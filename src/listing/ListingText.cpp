#include "listing/ListingText.h"

#include <QStringDecoder>
#include <cmath>
#include <limits>

void Split(QChar separator, const QString& text, QStringList& list)
{
    list.clear();
    QStringView rest = QStringView(text).trimmed();
    // A text that starts with the separator yields an empty first piece, as
    // cutting at the first separator does.
    if (!text.isEmpty() && text.front() == separator)
        list.append(QString());
    while (!rest.isEmpty()) {
        qsizetype at = rest.indexOf(separator);
        if (at < 0) {
            list.append(rest.toString());
            break;
        }
        list.append(rest.left(at).trimmed().toString());
        rest = rest.mid(at + 1).trimmed();
    }
}

int MonthIndex(QStringView token)
{
    static const char* const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() != 3)
        return 0;
    for (int i = 0; i < 12; ++i)
        if (token.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0)
            return i + 1;
    return 0;
}

QString VmsDate(const QString& token)
{
    const QString lower = token.toLower();
    const qsizetype dash1 = lower.indexOf(QLatin1Char('-'));
    if (dash1 < 0)
        return token;
    const qsizetype dash2 = lower.indexOf(QLatin1Char('-'), dash1 + 1);
    if (dash2 < 0)
        return token;
    const QString day = lower.left(dash1);
    const QString monthText = lower.mid(dash1 + 1, dash2 - dash1 - 1);
    const QString year = lower.mid(dash2 + 1);
    static const QString months = QStringLiteral("janfebmaraprmayjunjulaugsepoctnovdec");
    if (monthText.size() != 3)
        return token;
    const qsizetype pos = months.indexOf(monthText);
    if (pos < 0 || pos % 3 != 0)
        return token;
    const int month = int(pos / 3) + 1;
    if (month < 1 || month > 12)
        return token;
    QString out = QStringLiteral("%1.%2.%3")
                      .arg(day, 2)
                      .arg(QString::number(month), 2)
                      .arg(year, 4);
    out.replace(QLatin1Char(' '), QLatin1Char('0'));
    return out;
}

double HoursToDayFraction(double hoursMinutes)
{
    if (!std::isfinite(hoursMinutes))
        return 0.0;
    const double magnitude = std::fabs(hoursMinutes);
    const double hours = std::floor(magnitude);
    const double minutes = std::round((magnitude - hours) * 100.0);
    const double days = (hours * 60.0 + minutes) / (24.0 * 60.0);
    return hoursMinutes < 0 ? -days : days;
}

bool IsWholeInteger(QStringView text, int* value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok && value)
        *value = v;
    return ok;
}

int LeadingInteger(QStringView text, qsizetype* digits)
{
    qint64 v = 0;
    qsizetype i = 0;
    while (i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
        if (v < std::numeric_limits<int>::max())
            v = std::min<qint64>(v * 10 + (text[i].unicode() - '0'), std::numeric_limits<int>::max());
        ++i;
    }
    if (digits)
        *digits = i;
    return int(v);
}

QStringList DecodeListingLines(const QByteArray& data)
{
    QStringList lines;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        QByteArrayView line(data.constData() + start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        utf8.resetState();
        QString text = utf8.decode(line);
        lines.append(utf8.hasError() ? QString::fromLatin1(line) : text);
        start = end + 1;
    }
    return lines;
}
