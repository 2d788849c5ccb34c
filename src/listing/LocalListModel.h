#pragma once
// The rows of the local file list (the left pane's lvLoc): the entries of one
// directory with the columns Filename, Size, Date and Time. A QtCore table
// model, so the listing rules are testable headless; the window shows it
// through TListSortProxy, which orders it.
//
// Column 0 carries the name as display text, Qt::UserRole = true for a
// directory, listrole::ImageKind (1 directory, 2 file); the size and date
// columns carry listrole::SortValue.
#include "listing/ListSort.h"

#include "listing/PaneListModel.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QStringList>
#include <QVariantList>
#include <vector>

class TLocalListModel : public TPaneListModel {
    Q_OBJECT
public:
    enum Column { ColName, ColSize, ColDate, ColTime, ColumnCount };

    explicit TLocalListModel(QObject* parent = nullptr);

    // Rebuilds the rows from dir ("." and ".." left out, hidden entries
    // kept). Directories always show; files only when they match mask
    // (FileMask). A link shows as what it points to; a dangling link as a
    // file. Dates read "dd.mm.yyyy" (dateType 0) or "mm.dd.yyyy" (1), times
    // "hh:mm", both in local time. False, with no rows, when dir cannot be
    // read (LastError says why).
    bool Fill(const QString& dir, const QString& mask, int dateType);
    void Clear();

    QString Dir() const { return dir_; }
    QString LastError() const { return error_; }

    QString Name(int row) const { return rows_[size_t(row)].name; }
    bool IsDir(int row) const { return sortItems_[size_t(row)].imageKind == 1; }
    qint64 Size(int row) const { return IsDir(row) ? 0 : sortItems_[size_t(row)].size; }
    // The full path of a row's entry.
    QString Path(int row) const;
    // The row of an entry by its exact name, -1 if none.
    int RowOfName(const QString& name) const;
    QStringList Names() const;
    // Entries renamed on disk (row, new name): their captions follow.
    void SetNames(const QList<std::pair<int, QString>>& renamed);

    // What the ordering reads of a row (see ListSort.h).
    const ListSortItem& SortItem(int row) const { return sortItems_[size_t(row)]; }


    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    // One distinct modification minute, shared by the rows that have it.
    struct Stamp {
        QDate date;
        QString dateText, timeText;
    };
    struct Row {
        QString name;
        int stamp = -1;  // index into stamps_, -1 when the time is unknown
    };

    void clearRows();
    void pointSortItems();

    QString dir_, error_;
    std::vector<Row> rows_;
    std::vector<ListSortItem> sortItems_;  // one per row; views into rows_ and stamps_
    std::vector<Stamp> stamps_;
};
