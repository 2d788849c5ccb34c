#pragma once
// The time-zone list of the site properties dialog (cbZones) and the rules
// that tie a site's TimeZoneV (an index into that list) and TimeZone (its
// offset, hours + minutes/100) to it.
//
// The list is the system's, so it differs between machines and changes with
// tz updates: an index saved elsewhere may name another zone here. The offset
// is what the listing parser uses, so it is the value that has to survive.
#include <QString>
#include <QStringList>

// The minutes of a zone text's offset: "(GMT-03:30) ..." gives -210,
// "(GMT+05:45) ..." 345. 0 unless the text begins with "(GMT", not "(GMT)",
// and has a ")" after position 4; a part that is not a whole number counts 0,
// and without ":" the hours are 0 (the whole text is taken as minutes).
int ZoneMinutes(const QString& text);

// An hours-and-minutes value (5.30, -3.30) as minutes (330, -210).
int TimeZoneMinutes(double hoursMinutes);
// Minutes as the hours-and-minutes value (-210 gives -3.30).
double TimeZoneFromMinutes(int minutes);

// Fills zones with the display texts of the system's zones, sorted by
// ZoneMinutes, equal offsets by text without regard to case; systemIndex is
// the position of the zone the system runs in (added when the system's list
// leaves it out, as it does Etc/UTC), or -1 when it is unknown.
void FillZoneList(QStringList& zones, int& systemIndex);
// The same order on a given list (systemIndex follows its zone).
void SortZoneList(QStringList& zones, int& systemIndex);

// The entry to select when the dialog opens a site:
//  - the entry at timeZoneV when it is a valid index and has the site's
//    offset;
//  - otherwise an entry with the site's offset: the system's zone if it has
//    it, else the first such entry;
//  - when no entry has the offset: the entry at timeZoneV if valid, else the
//    system's zone, else -1 (the offset itself is kept, see SavedTimeZone).
int ChooseZoneIndex(const QStringList& zones, int timeZoneV, double timeZone, int systemIndex);

// The site's TimeZone after a save: the stored value unless the user chose
// another entry than the one the dialog opened with; then the chosen entry's
// offset (GMTOffsetHours; 0 for "(GMT)" and for no entry).
double SavedTimeZone(double stored, int openedIndex, int chosenIndex, const QString& chosenText);
