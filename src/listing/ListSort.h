#pragma once
// The one ordering of the file lists (the remote list and the local one) and
// the rule by which a column click changes it.
//
// A sort key is a signed number: its absolute value is the tag of the column
// sorted by (1 name, 2 size, 3 date, 4 time, 5 attributes; 0 also means
// name), its sign the direction (negative reverses). Both lists start at 0.
#include <QDate>
#include <QStringView>
#include <Qt>
#include <cstddef>

// Item data roles the lists' models provide for sorting and for the view.
namespace listrole {
// Column 0: 0 for "..", 1 for a directory (or site folder), 2 for a file.
inline constexpr int ImageKind = Qt::UserRole + 1;
// The typed value of a cell when the model has one: qint64 in the size
// column, QDate in the date column. Without it the shown text is read.
inline constexpr int SortValue = Qt::UserRole + 2;
} // namespace listrole

// What the ordering reads of one row.
struct ListSortItem {
    // The numbers first, the texts last: a sort of many rows mostly reads
    // the first 32 bytes.
    int imageKind = 2;
    // The place of the upper-cased name among all rows of the list, equal
    // names sharing one (-1: not known, the name text is compared instead).
    // A model that keeps it spares the sort every name comparison; the items
    // of one sort either all have it or none does.
    int nameOrder = -1;
    int index = 0;         // the row's place in the model, the last tie-break
    bool hasSize = false;  // the size is a whole number
    qint64 size = 0;
    QDate date;            // invalid when the date cannot be read
    QStringView name;
    QStringView time;
    QStringView attributes;
};

// Negative when a goes before b, positive when after; 0 only for the same
// row (same index). In order of precedence:
//  1. image kind, ascending in either direction ("..", directories, files);
//  2. the key's column, in the key's direction:
//     size  - larger first for a positive key; a size that is not a number
//             goes first in either direction,
//     date  - earlier first for a positive key; an unreadable date goes first
//             in either direction,
//     time, attributes, name - the texts upper-cased, by character code;
//  3. the name upper-cased, ascending, then the index: rows equal by the key
//     keep one order however often they are re-sorted.
// It is a strict weak ordering for every key (std::sort and Qt's sorting
// rely on that).
int CompareItems(const ListSortItem& a, const ListSortItem& b, int key);

// Compares two texts upper-cased, by character code (-1, 0, 1).
int CompareUpper(QStringView a, QStringView b);

// Sets nameOrder of every item from its name (a sort of the names).
void SetNameOrders(ListSortItem* items, size_t count);

// The sort column tag of a list column: columns 0 to 4 have tags 1 to 5; any
// other column (Links) has none (0).
int SortTagOfColumn(int column);

// The new key after a click on the column with this tag: a different column
// sorts by it reversed first (-tag), the same column flips the direction.
int NextSortKey(int key, int tag);
