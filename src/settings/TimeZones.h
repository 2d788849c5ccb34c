#pragma once
// The system's time zones as the program shows them: one entry per zone,
// its display text beginning with the offset from UTC ("(GMT+05:30) Asia/Kolkata").
#include <QList>
#include <QString>

struct TTimeZoneEntry {
    QString Id;       // standard name: the zone id ("Asia/Kolkata")
    QString Display;  // "(GMT+05:30) Asia/Kolkata", "(GMT) UTC"
};

// Every zone the system knows, ordered by offset, then id.
QList<TTimeZoneEntry> TimeZoneList();
// The id of the zone the system runs in.
QString CurrentTimeZoneId();
// Display text of one zone (its current standard offset), "" for an unknown id.
QString TimeZoneDisplay(const QString& id);
// The offset at the head of a display text as hours plus minutes/100:
// "(GMT+05:30) ..." gives 5.30, "(GMT-03:30) ..." -3.30, "(GMT) ..." or no
// parenthesised offset 0. A part that is not a whole number adds nothing.
double GMTOffsetHours(const QString& display);
// GMTOffsetHours of the current zone's display text.
double LocalGMTOffsetHours();
