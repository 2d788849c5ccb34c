#pragma once
// Texts the two file lists show: byte counts, sizes, dates, the selection
// summary line, and names made safe for a log line.
#include <QDate>
#include <QString>
#include <QStringView>

// Digits grouped by three from the right, groups separated by one space
// ("1 234 567"); a negative count keeps its sign in front.
QString GroupedByteCount(qint64 bytes);

// A whole 64-bit integer text (digits with an optional leading '-') becomes
// its digits grouped as GroupedByteCount does; any other text is returned
// unchanged ("<DIR>", "12.5", "", a number beyond 64 bits).
QString FormatSize(QStringView text);

// Reads a size as a list shows it: a whole 64-bit integer, the single spaces
// between digit groups ignored ("1 048 576"). Returns false for anything else
// (an empty cell, "<DIR>", a number beyond 64 bits).
bool ParseGroupedSize(QStringView text, qint64& value);

// The date of a list row: "dd.mm.yyyy" for dateType 0, "mm.dd.yyyy" for 1.
// An invalid date gives an empty text.
QString FormatListDate(const QDate& date, int dateType);

// Reads a date text written by FormatListDate with the same dateType; an
// unreadable text gives an invalid date.
QDate ParseListDate(QStringView text, int dateType);

// The words of the selection summary, taken from the window's message list.
struct SelectionWords {
    QString byte;   // "byte"
    QString in;     // "in"
    QString files;  // "file(s)"
};

// The selection summary line of a list: "<total> byte (<total/1024> Kb) in
// <count> file(s)", the total grouped by three. Empty for a count of 0 or less;
// a negative total counts as 0.
QString SelectionSummary(qint64 count, qint64 totalBytes, const SelectionWords& words);

// A name as a log line may show it: control characters, NUL and the
// backslash written as escapes (\0, \n, \x1b, \\), the rest unchanged.
QString EscapedName(const QString& name);
