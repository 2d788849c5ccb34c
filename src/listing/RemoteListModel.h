#pragma once
// The rows of the remote file list: one row per shown entry of the current
// listing, with the columns Filename, Size, Date, Time, Attribute and Links.
// A table model of QtCore, so the session engine fills it headless and the
// window only shows it (through TListSortProxy, which orders it).
#include "listing/DirEntry.h"
#include "listing/ListSort.h"

#include "listing/PaneListModel.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QStringList>
#include <QVariantList>
#include <vector>

// How a listing is shown: from the current site and the options.
struct RemoteViewOptions {
    QString answer;              // the site's Answer: its first digit is the ViewKind
    double siteTimeZone = 0.0;   // the site's zone, hours + minutes/100 (5.30)
    double localTimeZone = 0.0;  // the local zone, the same way
    QString mask;                // the remote filter mask (files only)
    int dateType = 0;            // 0 dd.mm.yyyy, 1 mm.dd.yyyy
    QDate today;                 // the reference for entries without a year; null: the system date
};

// The server type digit of a site's Answer (0 when empty or not a digit).
// Type 1 ("Text") lists names only.
int ViewKind(const QString& answer);

class TRemoteListModel : public TPaneListModel {
    Q_OBJECT
public:
    enum Column { ColName, ColSize, ColDate, ColTime, ColAttributes, ColLinks, ColumnCount };

    explicit TRemoteListModel(QObject* parent = nullptr);

    // Rebuilds the rows from a parsed listing, in listing order (the proxy
    // sorts). Directories always show; files only when they match the mask,
    // except for ViewKind 1, which shows every name and nothing else.
    // Sizes are grouped, dates and times moved by the site's zone difference
    // from the local zone. Entries whose name is empty or holds "/" or NUL
    // are shown nowhere (see DroppedCount). The text form is the one the
    // session keeps of a listing (DirEntry::toText per line).
    void Fill(const std::vector<DirEntry>& entries, const RemoteViewOptions& options);
    void Fill(const QStringList& entryTexts, const RemoteViewOptions& options);
    // Removes every row; the column titles stay.
    void Clear();

    int ViewKind() const { return viewKind_; }
    // The entry shown in a row (a row of this model, not of a proxy).
    const DirEntry& Entry(int row) const { return rows_[size_t(row)].entry; }
    // The entry's place in the list given to Fill.
    int SourceIndex(int row) const { return rows_[size_t(row)].source; }
    // The file's size as a number, 0 for a directory or a size that is not one.
    qint64 Size(int row) const;
    // The first file row in listing order (the one to select), -1 if none.
    int FirstFileRow() const { return firstFile_; }
    // The longest caption, for the first column's width: the view measures
    // it in its font and adds its margin. Empty when there are no rows.
    QString WidestCaption() const { return widest_; }

    // Entries of the last Fill that were left out for an unsafe name, and
    // their names escaped for the log (at most kMaxDroppedNames of them).
    int DroppedCount() const { return dropped_; }
    QStringList DroppedNames() const { return droppedNames_; }
    static constexpr int kMaxDroppedNames = 20;

    // Column titles. The window's language files translate them through
    // setHeaderData; they survive Fill and Clear.
    void SetColumnTitles(const QStringList& titles);

    // What the ordering reads of a row, kept beside the rows (with the name
    // orders set) so a sort reads small records and no texts.
    const ListSortItem& SortItem(int row) const { return sortItems_[size_t(row)]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        DirEntry entry;
        int source = 0;
        QString sizeText, dateText, timeText;
    };

    void clearRows();

    std::vector<Row> rows_;
    std::vector<ListSortItem> sortItems_;  // one per row; views into rows_' texts
    int viewKind_ = 0;
    int firstFile_ = -1;
    QString widest_;
    int dropped_ = 0;
    QStringList droppedNames_;
};
