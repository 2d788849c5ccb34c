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

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include <optional>

// The keys in table order; it is also the order of the fields in a line.
// Security (the TLS setting) came last and is written only for a site that
// is not plain FTP.
const QStringList& SiteKeys();

// The raw text of each of keys found in line (nullopt where absent), by the
// two passes ReadSiteLine describes. A key not in keys is skipped, which is
// how a reader that predates a key treats it.
QList<std::optional<QString>> SiteLineFields(const QString& line, const QStringList& keys);

QString EscapeSiteValue(const QString& value);
QString UnescapeSiteValue(const QString& value);

// Fills site from a site line. The site is first reset to CreateSite(defaults).
// Each key is looked up as a field of its own (at the start of the line or
// after a ";", leading blanks allowed); a key that appears only elsewhere is
// taken from the first place where it is not the tail of a longer key
// ("Name=" inside "AnswerName=", "Password=" inside "SavePassword="), outside
// the fields already recognised. Unknown keys are ignored. Numbers that do
// not parse take field-specific values (see SiteLine.cpp). The Password is
// stored as written, still scrambled: the list reader unscrambles it; a
// keyring marker leaves it empty and sets SecretId instead.
// Returns false when the line holds none of the keys (a blank or garbage
// line), which the list reader skips. Security absent or not 0..3 reads as 0
// (plain), so a line written before TLS behaves as it always did.
bool ReadSiteLine(TFTPServerObj& site, const QString& line,
                  const TSiteDefaults& defaults = CurrentSiteDefaults());

// Builds the line in the file order; empty texts are left out, numbers are
// always written (Security only when not 0), the password is scrambled (a
// site whose password is in the keyring, SecretId set and Password empty,
// gets the marker). TimeCmd is never written.
bool WriteSiteLine(const TFTPServerObj& site, QString& line);
QString SiteLine(const TFTPServerObj& site);

// The Password value of a site whose password is in the desktop keyring:
// ESC "keyring:" and the item's id, written as it is (not escaped). The
// writer escapes every ESC of a value as ESC and two hex digits, and "k" is
// not a hex digit, so no scrambled password is ever written in this form and
// the marker can never be read as one. A version that does not know it reads
// a wrong password (the login fails) and loses nothing. SecretIdFromMarker
// takes the raw value as the line holds it; nothing when it is no marker.
QString KeyringMarker(const QString& id);
std::optional<QString> SecretIdFromMarker(const QString& rawValue);

// TimeZone values of 60 or more in magnitude are minutes (330 -> 5.30,
// -90 -> -1.30); smaller values are already hours + minutes/100.
double TimeZoneFromFile(double value);
