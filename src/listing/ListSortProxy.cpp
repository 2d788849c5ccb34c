#include "listing/ListSortProxy.h"

#include "listing/ListSort.h"
#include "listing/ListingDisplay.h"
#include "listing/LocalListModel.h"
#include "listing/RemoteListModel.h"

#include <QDate>

namespace {

// A row of a model without typed rows: its texts, kept alive for the views
// of the sort item.
struct TextRow {
    QString name, time, attributes;
    ListSortItem item;
};

void readTextRow(const QAbstractItemModel& m, int row, int dateType, TextRow& out)
{
    const auto cell = [&](int column, int role) {
        return column < m.columnCount() ? m.data(m.index(row, column), role) : QVariant();
    };
    const QVariant kind = cell(0, listrole::ImageKind);
    out.item.imageKind = kind.isValid() ? kind.toInt() : 2;
    out.name = cell(0, Qt::DisplayRole).toString();
    const QVariant size = cell(1, listrole::SortValue);
    if (size.isValid()) {
        out.item.hasSize = true;
        out.item.size = size.toLongLong();
    } else {
        out.item.hasSize = ParseGroupedSize(cell(1, Qt::DisplayRole).toString(), out.item.size);
    }
    const QVariant date = cell(2, listrole::SortValue);
    out.item.date = date.isValid() ? date.toDate() : ParseListDate(cell(2, Qt::DisplayRole).toString(), dateType);
    out.time = cell(3, Qt::DisplayRole).toString();
    out.attributes = cell(4, Qt::DisplayRole).toString();
    out.item.name = out.name;
    out.item.time = out.time;
    out.item.attributes = out.attributes;
    out.item.index = row;
}

} // namespace

TListSortProxy::TListSortProxy(QObject* parent) : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(true);
    // The key decides the order; the proxy sorts by column 0 ascending only
    // so that it sorts at all.
    sort(0, Qt::AscendingOrder);
}

void TListSortProxy::setSourceModel(QAbstractItemModel* source)
{
    remote_ = qobject_cast<const TRemoteListModel*>(source);
    local_ = qobject_cast<const TLocalListModel*>(source);
    QSortFilterProxyModel::setSourceModel(source);
    invalidate();
}

void TListSortProxy::SetSortKey(int key)
{
    key_ = key;
    invalidate();
}

void TListSortProxy::ColumnClick(int column)
{
    SetSortKey(NextSortKey(key_, SortTagOfColumn(column)));
}

void TListSortProxy::SetDateType(int dateType)
{
    dateType_ = dateType;
    invalidate();
}

bool TListSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    if (remote_)
        return CompareItems(remote_->SortItem(left.row()), remote_->SortItem(right.row()), key_) < 0;
    if (local_)
        return CompareItems(local_->SortItem(left.row()), local_->SortItem(right.row()), key_) < 0;
    TextRow a, b;
    readTextRow(*sourceModel(), left.row(), dateType_, a);
    readTextRow(*sourceModel(), right.row(), dateType_, b);
    return CompareItems(a.item, b.item, key_) < 0;
}

bool TListSortProxy::filterAcceptsRow(int, const QModelIndex&) const
{
    return true;  // the models hold only the rows to show
}
