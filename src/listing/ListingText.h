#pragma once
// Small text helpers of the listing parser and its date reading.
#include <QString>
#include <QStringList>
#include <QByteArray>
#include <QStringView>

// Cuts text at the first separator, trims the piece and adds it, trims the
// rest and repeats until the rest is empty. Runs of spaces therefore count as
// one separator; an empty text gives nothing; a text that starts with the
// separator gives an empty first piece. list is cleared first.
void Split(QChar separator, const QString& text, QStringList& list);

// 1 to 12 for "jan" ... "dec" (any case), otherwise 0.
int MonthIndex(QStringView token);

// "24-DEC-2003" -> "24.12.2003" (day, month number, year; day and month two
// digits). A token that does not have that shape is returned unchanged.
QString VmsDate(const QString& token);

// A zone difference held as hours and minutes in decimal form (5.30 is five
// hours thirty minutes) as a signed fraction of a day.
double HoursToDayFraction(double hoursMinutes);

// True when text, trimmed, is a whole (optionally signed) decimal integer that
// fits in an int; its value goes to *value.
bool IsWholeInteger(QStringView text, int* value = nullptr);

// The value of the leading decimal digits of text (0 when there are none).
int LeadingInteger(QStringView text, qsizetype* digits = nullptr);

// Splits the bytes of a listing into lines (LF ends a line, a CR before it is
// dropped) and decodes each line on its own: as UTF-8 when it is valid UTF-8,
// else as Latin-1, so every name round-trips whatever the server's encoding.
QStringList DecodeListingLines(const QByteArray& data);
