#pragma once
// Reading one listing line into the fields of an entry, one reader per server
// type. Internal to the listing parser.
#include "listing/DirEntry.h"
#include "listing/ListingFormat.h"

#include <QStringView>
#include <vector>

namespace listing_detail {

// Shares the texts that repeat from line to line (attributes, dates, times)
// between entries instead of allocating each one again: a fixed-size table,
// so a listing of a million lines costs far fewer allocations and far less
// memory, and a text that does not fit is simply copied.
class FieldCache {
public:
    QString get(QStringView text);

private:
    static constexpr size_t kSlots = 4096;  // a power of two
    std::vector<QString> m_slots = std::vector<QString>(kSlots);
};

// Fills e (which starts empty) from line as the given format reads it.
// Missing columns leave fields empty; nothing here fails.
void readLine(QStringView line, const ListingFormat& format, FieldCache& cache, DirEntry& e);

} // namespace listing_detail
