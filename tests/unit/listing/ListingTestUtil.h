#pragma once
// Shared helpers of the listing tests: compact entry construction and
// readable printing of entries in failure messages.
#include "listing/DirEntry.h"
#include "listing/ListingParser.h"

#include <gtest/gtest.h>
#include <ostream>

inline DirEntry dirEntry(bool directory, const char* name, const char* size, const char* date,
                         const char* time, const char* attributes = "", const char* link = "")
{
    DirEntry e(directory, QString::fromUtf8(name), QString::fromUtf8(size), QString::fromUtf8(date),
               QString::fromUtf8(time), QString::fromUtf8(attributes), QString::fromUtf8(link));
    return e;
}
inline DirEntry D(const char* name, const char* size, const char* date, const char* time,
                  const char* attributes = "", const char* link = "")
{
    return dirEntry(true, name, size, date, time, attributes, link);
}
inline DirEntry F(const char* name, const char* size, const char* date, const char* time,
                  const char* attributes = "", const char* link = "")
{
    return dirEntry(false, name, size, date, time, attributes, link);
}

inline void PrintTo(const DirEntry& e, std::ostream* os)
{
    *os << '{' << (e.directory ? "dir" : "file") << " |" << e.name().toStdString() << "| size |"
        << e.size().toStdString() << "| date |" << e.date().toStdString() << "| time |"
        << e.time().toStdString() << "| attr |" << e.attributes().toStdString() << "| link |"
        << e.linkTarget().toStdString() << "|}";
}

inline std::vector<DirEntry> parse(int type, const QStringList& lines)
{
    return parseListingEntries(lines, ListingFormat::ofType(type)).entries;
}
