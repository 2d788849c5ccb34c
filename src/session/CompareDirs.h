#pragma once
// Compare Directories: which entries of the local list and of the remote
// list have no identical twin in the other list. Only the texts the two lists
// show take part (name, size, date, time); nothing is fetched or listed.
//
// Both lists show local time: the local list by nature, the remote list
// because its model already moved every date and time by the site's zone
// difference from the local zone. The texts are therefore compared without
// any further zone shift.
#include <QItemSelection>
#include <vector>

class QAbstractItemModel;
class QAbstractProxyModel;
class QItemSelectionModel;

// Per model row of each list: true when the entry differs (no entry of the
// same name on the other side, or a different size or modification time).
struct DirDifferences {
    std::vector<bool> local, remote;
    int localCount = 0, remoteCount = 0;  // how many rows differ on each side
};

// Compares two file lists given as flat models with the columns name, size,
// date and time (0 to 3), as TLocalListModel and TRemoteListModel have them.
//  - An entry is paired with the first entry of the other list whose name is
//    equal, letter case included.
//  - A pair is identical when the size texts are equal and both date-time
//    values are equal and known. Dates are read in the pattern the lists
//    write them in (dateType 0 "dd.mm.yyyy", 1 "mm.dd.yyyy"); times as
//    "hh:mm" or "hh:mm:ss". An unreadable date makes the entry's value
//    unknown (so it differs); an empty or unreadable time means the date alone.
// Directories and files take part alike, by their shown texts.
DirDifferences CompareDirectories(const QAbstractItemModel& local, const QAbstractItemModel& remote, int dateType);

// The rows of a view that are marked in differs (indexed by source row), as
// whole rows in runs of neighbouring view rows: one selection to hand to the
// view's selection model in a single call. view is the model the view shows;
// proxy maps its rows to the source rows (null when view is the source).
QItemSelection DifferingRows(const QAbstractItemModel& view, const QAbstractProxyModel* proxy,
                             const std::vector<bool>& differs);

// Replaces the whole selection of sel by rows (whole rows already) with its
// signals blocked, keeping the current index. Qt would compare the old
// selection against the new one range by range and its listeners read the
// selection back row by row, both quadratic in the number of ranges; the
// caller therefore repaints the view and hands the rows it knows to whoever
// shows the selection.
void ReplaceSelection(QItemSelectionModel& sel, const QItemSelection& rows);

// The marked rows' numbers, in order.
QList<int> MarkedRows(const std::vector<bool>& marks);
