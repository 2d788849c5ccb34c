#include "listing/ListSort.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

template <typename T>
int threeWay(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// A value that may be unreadable: the unreadable one goes first whatever the
// direction, two unreadable ones are equal, readable ones compare by cmp in
// the direction dir.
template <typename Cmp>
int readableFirst(bool aOk, bool bOk, int dir, Cmp cmp)
{
    if (aOk != bOk)
        return aOk ? 1 : -1;
    return aOk ? cmp() * dir : 0;
}

int compareNames(const ListSortItem& a, const ListSortItem& b)
{
    if (a.nameOrder >= 0 && b.nameOrder >= 0)
        return threeWay(a.nameOrder, b.nameOrder);
    return CompareUpper(a.name, b.name);
}

} // namespace

int CompareUpper(QStringView a, QStringView b)
{
    const qsizetype n = qMin(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x == y)
            continue;
        // ASCII first, without a table lookup: names are mostly ASCII.
        const char16_t ux = x < 0x80 ? (x >= 'a' && x <= 'z' ? x - 32 : x) : QChar::toUpper(x);
        const char16_t uy = y < 0x80 ? (y >= 'a' && y <= 'z' ? y - 32 : y) : QChar::toUpper(y);
        if (ux != uy)
            return ux < uy ? -1 : 1;
    }
    return threeWay(a.size(), b.size());
}

int CompareItems(const ListSortItem& a, const ListSortItem& b, int key)
{
    if (const int kind = threeWay(a.imageKind, b.imageKind))
        return kind;
    const int dir = key < 0 ? -1 : 1;
    int result = 0;
    switch (std::abs(key)) {
    case 2:
        // Larger first for a positive key.
        result = readableFirst(a.hasSize, b.hasSize, dir, [&] { return threeWay(b.size, a.size); });
        break;
    case 3:
        result = readableFirst(a.date.isValid(), b.date.isValid(), dir,
                               [&] { return threeWay(a.date, b.date); });
        break;
    case 4:
        result = CompareUpper(a.time, b.time) * dir;
        break;
    case 5:
        result = CompareUpper(a.attributes, b.attributes) * dir;
        break;
    default:
        result = compareNames(a, b) * dir;
        break;
    }
    if (result)
        return result;
    if (const int name = compareNames(a, b))
        return name;
    return threeWay(a.index, b.index);
}

int SortTagOfColumn(int column)
{
    return column >= 0 && column <= 4 ? column + 1 : 0;
}

int NextSortKey(int key, int tag)
{
    return std::abs(key) != tag ? -tag : -key;
}

void SetNameOrders(ListSortItem* items, size_t count)
{
    // Sorts the names beside their row numbers rather than row numbers
    // pointing at the items: one memory access less per comparison.
    struct Named {
        QStringView name;
        size_t item;
    };
    std::vector<Named> byName(count);
    for (size_t i = 0; i < count; ++i)
        byName[i] = {items[i].name, i};
    std::sort(byName.begin(), byName.end(),
              [](const Named& a, const Named& b) { return CompareUpper(a.name, b.name) < 0; });
    int order = -1;
    for (size_t i = 0; i < count; ++i) {
        if (i == 0 || CompareUpper(byName[i - 1].name, byName[i].name) != 0)
            ++order;
        items[byName[i].item].nameOrder = order;
    }
}
