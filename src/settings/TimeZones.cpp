#include "settings/TimeZones.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>

namespace {

// The zone's standard offset (no daylight saving), the way the zone list of
// the program has always shown it.
int standardOffsetSeconds(const QTimeZone& tz)
{
    return tz.standardTimeOffset(QDateTime::currentDateTimeUtc());
}

QString offsetText(int seconds)
{
    if (seconds == 0)
        return QStringLiteral("(GMT)");
    const QChar sign = seconds < 0 ? '-' : '+';
    const int minutes = qAbs(seconds) / 60;
    return QStringLiteral("(GMT%1%2:%3)")
        .arg(sign)
        .arg(minutes / 60, 2, 10, QChar('0'))
        .arg(minutes % 60, 2, 10, QChar('0'));
}

} // namespace

QString TimeZoneDisplay(const QString& id)
{
    const QTimeZone tz(id.toUtf8());
    if (id.isEmpty() || !tz.isValid())
        return QString();
    return offsetText(standardOffsetSeconds(tz)) + ' ' + id;
}

QList<TTimeZoneEntry> TimeZoneList()
{
    struct Row {
        int offset;
        TTimeZoneEntry entry;
    };
    QList<Row> rows;
    const auto ids = QTimeZone::availableTimeZoneIds();
    for (const QByteArray& rawId : ids) {
        const QTimeZone tz(rawId);
        if (!tz.isValid())
            continue;
        const QString id = QString::fromUtf8(rawId);
        const int offset = standardOffsetSeconds(tz);
        rows.append({offset, {id, offsetText(offset) + ' ' + id}});
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return a.offset != b.offset ? a.offset < b.offset : a.entry.Id < b.entry.Id;
    });
    QList<TTimeZoneEntry> out;
    out.reserve(rows.size());
    for (const Row& r : rows)
        out.append(r.entry);
    return out;
}

QString CurrentTimeZoneId()
{
    return QString::fromUtf8(QTimeZone::systemTimeZoneId());
}

double GMTOffsetHours(const QString& display)
{
    // "(GMT+05:30) Name": the offset in parentheses at the head of the text.
    const QString text = display.trimmed();
    if (!text.startsWith(QStringLiteral("(GMT")))
        return 0;
    const qsizetype close = text.indexOf(')');
    if (close < 0)
        return 0;
    QString s = text.mid(4, close - 4).trimmed();
    bool negative = false;
    if (s.startsWith('+') || s.startsWith('-')) {
        negative = s.startsWith('-');
        s.remove(0, 1);
    }
    s = s.trimmed();
    if (s.isEmpty())
        return 0;
    const qsizetype colon = s.indexOf(':');
    double result = 0;
    bool ok = false;
    const int hours = (colon < 0 ? s : s.left(colon)).toInt(&ok);
    if (ok)
        result += negative ? -hours : hours;
    // Minutes are the two characters after the colon of a two-digit hour.
    const int minutes = s.mid(3, 2).toInt(&ok);
    if (ok)
        result += (negative ? -minutes : minutes) / 100.0;
    return result;
}

double LocalGMTOffsetHours()
{
    return GMTOffsetHours(TimeZoneDisplay(CurrentTimeZoneId()));
}
