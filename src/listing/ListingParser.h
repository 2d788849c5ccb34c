#pragma once
// The listing parser: raw LIST lines in, directory entries out, for the ten
// server types. No user-interface dependency.
#include "listing/DirEntry.h"
#include "listing/ListingFormat.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <vector>

struct ParsedListing {
    std::vector<DirEntry> entries;  // in listing order, "." and ".." left out
    QString directory;              // set by a VMS directory header, else empty
    // Steps taken to classify the symbolic links: one per link target put in
    // the name table, one per entry name looked up in it and one per link
    // followed. It stays within a small multiple of the number of entries
    // (zero without links), which tests check to show the classification is
    // linear without timing it.
    std::size_t linkSteps = 0;
};

// Parses raw listing lines (line ends may still carry a CR). Lines that do not
// fit the layout give entries with missing fields; nothing here fails.
//
// Symbolic links count as directories unless their target names a file listed
// in the same listing (before or after the link, following links to links);
// a link counted as a directory has an empty size.
ParsedListing parseListingEntries(const QStringList& lines, const ListingFormat& format);

// In-place form: on return lines holds the entries' text forms and nothing
// else; directory is cleared, then set by a VMS header.
void ParseListing(QStringList& lines, QString& directory, const ListingFormat& format);
