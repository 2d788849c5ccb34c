#pragma once
// Turns an entry's date and time text into a date and time: infers a missing
// year, reads two-digit years, and shifts by the site's time-zone difference.
#include <QDate>
#include <QString>
#include <QTime>

struct ListingDateTime {
    QDate date;
    QTime time;            // 00:00 when the entry has no time
    bool hasTime = false;  // the text carried a time (hh:mm, seconds kept when given)
};

// text is the entry's Date and Time joined by one space ("Jan 12 12:00",
// "12 24 03 02:15PM", "24.12.2003 10:00:23"). shiftDays is subtracted from the
// date and time when there is a time (see HoursToDayFraction). today is the
// reference for a missing year and the fallback for an unreadable date.
//
// Readings: a month name or number first, then the day, then a year or a time
// (month-first, as UNIX and Microsoft servers list); or day.month.year with
// dots (VMS entries, see VmsDate), day first. Without a year, a month later
// than today's lies in the previous year. A two-digit year is placed in the
// century that puts it at most ten years ahead of today (99 is 1999, 03 is 2003).
ListingDateTime ParseListingDate(const QString& text, double shiftDays, const QDate& today);

// The same, with today's date from the system clock.
ListingDateTime ParseListingDate(const QString& text, double shiftDays = 0.0);

// The same reading into separate date and time: fills both (time 00:00 when
// the text has none) and returns whether the text carried a time.
bool ParseListingDate(const QString& text, QDate& date, QTime& time, double shiftDays,
                      const QDate& today);

// The full year of a year read from a listing, given today.
int ExpandListingYear(int year, const QDate& today);
