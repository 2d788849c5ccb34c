#include "session/CompareDirs.h"

#include "listing/ListingDisplay.h"

#include <QAbstractProxyModel>
#include <QHash>
#include <QItemSelectionModel>
#include <QSignalBlocker>

namespace {

enum { ColName, ColSize, ColDate, ColTime };

// What one list row is compared by.
struct Shown {
    QString name, size;
    qint64 when = -1;  // seconds since the Julian day 0; -1 when the date is unreadable
};

int digits(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// Seconds into the day of "h:mm", "hh:mm" or "hh:mm:ss"; -1 when the text is
// empty or not a time.
int secondsOfDay(QStringView text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 1 || colon > 2)
        return -1;
    const int h = digits(text, 0, colon);
    const qsizetype rest = text.size() - colon - 1;
    if (rest != 2 && !(rest == 5 && text[colon + 3] == QLatin1Char(':')))
        return -1;
    const int m = digits(text, colon + 1, 2);
    const int s = rest == 5 ? digits(text, colon + 4, 2) : 0;
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59)
        return -1;
    return (h * 60 + m) * 60 + s;
}

std::vector<Shown> readRows(const QAbstractItemModel& m, int dateType)
{
    const int rows = m.rowCount();
    std::vector<Shown> out(size_t(rows > 0 ? rows : 0));
    // A listing has few distinct dates: each text is read once.
    QHash<QString, qint64> days;
    for (int r = 0; r < rows; ++r) {
        Shown& s = out[size_t(r)];
        s.name = m.data(m.index(r, ColName)).toString();
        s.size = m.data(m.index(r, ColSize)).toString();
        const QString dateText = m.data(m.index(r, ColDate)).toString();
        auto day = days.constFind(dateText);
        if (day == days.cend()) {
            const QDate d = ParseListDate(dateText, dateType);
            day = days.insert(dateText, d.isValid() ? d.toJulianDay() : -1);
        }
        if (*day < 0)
            continue;
        const int time = secondsOfDay(m.data(m.index(r, ColTime)).toString());
        s.when = *day * 86400 + (time >= 0 ? time : 0);
    }
    return out;
}

// Marks every row of a that has no identical twin in b (the first row of b
// with its name).
int markDifferent(const std::vector<Shown>& a, const std::vector<Shown>& b, std::vector<bool>& differs)
{
    QHash<QStringView, int> firstOfName;
    firstOfName.reserve(qsizetype(b.size()));
    // Walking backwards, the first row of a name is the one inserted last.
    for (size_t i = b.size(); i-- > 0;)
        firstOfName.insert(b[i].name, int(i));
    differs.assign(a.size(), false);
    int count = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto twin = firstOfName.constFind(a[i].name);
        const bool same = twin != firstOfName.cend() && a[i].when >= 0 && a[i].when == b[size_t(*twin)].when
                          && a[i].size == b[size_t(*twin)].size;
        differs[i] = !same;
        count += same ? 0 : 1;
    }
    return count;
}

} // namespace

DirDifferences CompareDirectories(const QAbstractItemModel& local, const QAbstractItemModel& remote, int dateType)
{
    const std::vector<Shown> l = readRows(local, dateType);
    const std::vector<Shown> r = readRows(remote, dateType);
    DirDifferences d;
    d.localCount = markDifferent(l, r, d.local);
    d.remoteCount = markDifferent(r, l, d.remote);
    return d;
}

QItemSelection DifferingRows(const QAbstractItemModel& view, const QAbstractProxyModel* proxy,
                             const std::vector<bool>& differs)
{
    QItemSelection sel;
    const int rows = view.rowCount();
    const int last = view.columnCount() - 1;
    int runStart = -1;
    for (int r = 0; r <= rows; ++r) {
        bool marked = false;
        if (r < rows) {
            const int source = proxy ? proxy->mapToSource(view.index(r, 0)).row() : r;
            marked = source >= 0 && size_t(source) < differs.size() && differs[size_t(source)];
        }
        if (marked && runStart < 0)
            runStart = r;
        if (!marked && runStart >= 0) {
            sel.append(QItemSelectionRange(view.index(runStart, 0), view.index(r - 1, last)));
            runStart = -1;
        }
    }
    return sel;
}

void ReplaceSelection(QItemSelectionModel& sel, const QItemSelection& rows)
{
    const QSignalBlocker block(&sel);
    const QPersistentModelIndex current = sel.currentIndex();
    // Dropping the old selection first spares the comparison of the two.
    sel.reset();
    // No Rows flag: expanding each range to its row merges range by range.
    sel.select(rows, QItemSelectionModel::Select);
    if (current.isValid())
        sel.setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

QList<int> MarkedRows(const std::vector<bool>& marks)
{
    QList<int> rows;
    for (size_t i = 0; i < marks.size(); ++i)
        if (marks[i])
            rows << int(i);
    return rows;
}
