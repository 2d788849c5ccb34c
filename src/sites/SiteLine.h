#pragma once
// The text form of one site in a list file: "Key=value;" pairs.
//
// Values are written as they are, except the few characters the format
// cannot carry: ";" (ends a value), the line breaks CR and LF, NUL, and the
// escape character itself. Those are written as ESC (U+001B) followed by two
// upper-case hex digits (";" -> ESC "3B"). Lines written before the escape
// existed never contain ESC (no edit field lets it in), so they read exactly
// as before; an ESC that is not followed by two hex digits stays literal.
#include "sites/SiteRecord.h"

#include <QString>
#include <QStringList>

// The 23 keys in table order; it is also the order of the fields in a line.
const QStringList& SiteKeys();

QString EscapeSiteValue(const QString& value);
QString UnescapeSiteValue(const QString& value);

// Fills site from a site line. The site is first reset to CreateSite(defaults).
// Each key is looked up as a field of its own (at the start of the line or
// after a ";", leading blanks allowed); a key that appears only elsewhere is
// taken from the first place where it is not the tail of a longer key
// ("Name=" inside "AnswerName=", "Password=" inside "SavePassword="), outside
// the fields already recognised. Unknown keys are ignored. Numbers that do
// not parse take field-specific values (see SiteLine.cpp). The Password is
// stored as written, still scrambled: the list reader unscrambles it.
// Returns false when the line holds none of the keys (a blank or garbage
// line), which the list reader skips.
bool ReadSiteLine(TFTPServerObj& site, const QString& line,
                  const TSiteDefaults& defaults = CurrentSiteDefaults());

// Builds the line in the file order; empty texts are left out, numbers are
// always written, the password is scrambled. TimeCmd is never written.
bool WriteSiteLine(const TFTPServerObj& site, QString& line);
QString SiteLine(const TFTPServerObj& site);

// TimeZone values of 60 or more in magnitude are minutes (330 -> 5.30,
// -90 -> -1.30); smaller values are already hours + minutes/100.
double TimeZoneFromFile(double value);
