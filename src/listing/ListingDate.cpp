#include "listing/ListingDate.h"

#include "listing/ListingText.h"

#include <QDateTime>
#include <cmath>

namespace {

// Cuts the text before the next space; without a space the piece is the
// whole rest.
QStringView cutToken(QStringView& rest)
{
    const qsizetype at = rest.indexOf(QLatin1Char(' '));
    if (at < 0) {
        QStringView piece = rest;
        rest = QStringView();
        return piece;
    }
    QStringView piece = rest.left(at);
    rest = rest.mid(at + 1);
    return piece;
}

// "d.m.y" with one or two digit day and month: a day-first date.
bool readDottedDate(QStringView token, int& day, int& month, int& year)
{
    const QStringView t = token.trimmed();
    const qsizetype dot1 = t.indexOf(QLatin1Char('.'));
    const qsizetype dot2 = dot1 < 0 ? -1 : t.indexOf(QLatin1Char('.'), dot1 + 1);
    if (dot2 < 0)
        return false;
    bool okDay = false, okMonth = false, okYear = false;
    day = t.left(dot1).toInt(&okDay);
    month = t.mid(dot1 + 1, dot2 - dot1 - 1).toInt(&okMonth);
    year = t.mid(dot2 + 1).toInt(&okYear);
    return okDay && okMonth && okYear;
}

QTime readTime(QStringView text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    int hour = 0;
    if (!IsWholeInteger(text.left(colon), &hour))
        hour = 0;
    QStringView afterColon = text.mid(colon + 1);
    qsizetype digits = 0;
    const int minute = LeadingInteger(afterColon, &digits);
    // Seconds (":23") are kept: a machine listing gives them exactly, and a
    // time compared to the second must not lose them.
    QStringView suffix = afterColon.mid(digits);
    int second = 0;
    if (suffix.startsWith(QLatin1Char(':'))) {
        qsizetype secDigits = 0;
        second = LeadingInteger(suffix.mid(1), &secDigits);
        suffix = suffix.mid(1 + secDigits);
    }
    suffix = suffix.trimmed();
    if (suffix.size() >= 2) {
        const QStringView ampm = suffix.left(2);
        if (ampm.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0 && hour < 12)
            hour += 12;
        else if (ampm.compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0 && hour == 12)
            hour = 0;  // 12:xxAM is just after midnight
    }
    const QTime t(hour, minute, second);
    if (t.isValid())
        return t;
    const QTime withoutSeconds(hour, minute, 0);
    return withoutSeconds.isValid() ? withoutSeconds : QTime(0, 0);
}

} // namespace

int ExpandListingYear(int year, const QDate& today)
{
    if (year < 0 || year >= 100)
        return year;
    const int century = today.year() - today.year() % 100;
    int full = century + year;
    if (full > today.year() + 10)
        full -= 100;
    return full;
}

ListingDateTime ParseListingDate(const QString& text, double shiftDays, const QDate& today)
{
    ListingDateTime out;
    int year = today.year();
    int month = today.month();
    int day = today.day();

    QStringView rest(text);
    const QStringView a = cutToken(rest);
    const QStringView b = cutToken(rest);
    const QStringView c = cutToken(rest);

    QStringView timeText;
    int dottedDay = 0, dottedMonth = 0, dottedYear = 0;
    if (readDottedDate(a, dottedDay, dottedMonth, dottedYear)) {
        day = dottedDay;
        month = dottedMonth;
        year = ExpandListingYear(dottedYear, today);
        for (QStringView candidate : {b, c, rest})
            if (candidate.contains(QLatin1Char(':'))) {
                timeText = candidate;
                break;
            }
    } else {
        int m = MonthIndex(a.trimmed());
        if (m == 0)
            m = LeadingInteger(a.trimmed());
        if (today.month() < m)
            year = today.year() - 1;  // a later month than now lies in last year
        month = m;
        int value = 0;
        if (IsWholeInteger(b, &value))
            day = value;
        if (!c.isEmpty() && !c.contains(QLatin1Char(':')) && IsWholeInteger(c, &value))
            year = ExpandListingYear(value, today);
        if (c.contains(QLatin1Char(':')))
            timeText = c;
        else if (rest.contains(QLatin1Char(':')))
            timeText = rest;
    }

    // The date is the first of the month plus (day - 1) days; anything that
    // cannot form a date is today.
    const QDate first(year, month, 1);
    out.date = first.isValid() ? first.addDays(qint64(day) - 1) : QDate();
    if (!out.date.isValid())
        out.date = today;

    if (!timeText.isNull() && !timeText.isEmpty()) {
        out.hasTime = true;
        out.time = readTime(timeText.trimmed());
    } else {
        out.time = QTime(0, 0);
    }

    if (shiftDays != 0.0 && std::isfinite(shiftDays) && out.hasTime) {
        const qint64 seconds = qint64(std::llround(shiftDays * 86400.0));
        const QDateTime shifted =
            QDateTime(out.date, out.time, Qt::UTC).addSecs(-seconds);
        if (shifted.isValid()) {
            out.date = shifted.date();
            out.time = shifted.time();
        }
    }
    return out;
}

ListingDateTime ParseListingDate(const QString& text, double shiftDays)
{
    return ParseListingDate(text, shiftDays, QDate::currentDate());
}

bool ParseListingDate(const QString& text, QDate& date, QTime& time, double shiftDays,
                      const QDate& today)
{
    const ListingDateTime r = ParseListingDate(text, shiftDays, today);
    date = r.date;
    time = r.time;
    return r.hasTime;
}
