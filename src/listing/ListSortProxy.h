#pragma once
// Orders a file list for its view by the list's sort key (see ListSort.h):
// the remote list over TRemoteListModel and the local list over any flat
// model whose column 0 carries listrole::ImageKind. The view keeps its own
// sorting off and sends header clicks to ColumnClick.
#include <QSortFilterProxyModel>

class TLocalListModel;
class TRemoteListModel;

class TListSortProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TListSortProxy(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override;

    int SortKey() const { return key_; }
    // Sets the key and re-sorts (also when it is unchanged). Selections and
    // the current row stay on their rows.
    void SetSortKey(int key);
    // A click on a column header, or a "By name/size/date" item as a click on
    // column 0/1/2: the key follows NextSortKey, then the list re-sorts.
    void ColumnClick(int column);

    // How date texts read when the model gives no typed date (0 dd.mm.yyyy,
    // 1 mm.dd.yyyy). Re-sorts.
    void SetDateType(int dateType);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    // The fast paths: typed rows, no texts read.
    const TRemoteListModel* remote_ = nullptr;
    const TLocalListModel* local_ = nullptr;
    int key_ = 0;
    int dateType_ = 0;
};
