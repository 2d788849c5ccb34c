#pragma once
// Reading one listing line into the fields of an entry, one reader per server
// type. Internal to the listing parser.
#include "listing/ListingFormat.h"

#include <QString>
#include <QStringView>
#include <QVarLengthArray>

namespace listing_detail {

// The fields of one line as views: into the line where a field is a piece of
// it, else into this record's own buffers (a date joined from two columns).
// The entry is then built from the views in one step. Not copyable: the
// views may point into the record itself.
struct LineFields {
    bool directory = false;
    QStringView name, size, date, time, attributes, linkTarget;

    LineFields() = default;
    LineFields(const LineFields&) = delete;
    LineFields& operator=(const LineFields&) = delete;

    // Empties the fields; the buffers keep their room for the next line.
    void clear()
    {
        directory = false;
        name = size = date = time = attributes = linkTarget = QStringView();
        dateBuffer.clear();
    }
    // Sets date to the pieces joined by single spaces (null pieces left out).
    void joinDate(QStringView month, QStringView day, QStringView year = {});

    QVarLengthArray<QChar, 48> dateBuffer;
    QString owned;  // a field rewritten as a whole (a VMS date)
};

// Fills f (cleared) from line as the given format reads it. Missing columns
// leave fields empty; nothing here fails.
void readLine(QStringView line, const ListingFormat& format, LineFields& f);

} // namespace listing_detail
