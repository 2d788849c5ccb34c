#pragma once
// Reading one listing line into the fields of an entry, one reader per server
// type. Internal to the listing parser.
#include "listing/DirEntry.h"
#include "listing/ListingFormat.h"

#include <QStringView>

namespace listing_detail {

// Fills e (which starts empty) from line as the given format reads it.
// Missing columns leave fields empty; nothing here fails.
void readLine(QStringView line, const ListingFormat& format, DirEntry& e);

} // namespace listing_detail
