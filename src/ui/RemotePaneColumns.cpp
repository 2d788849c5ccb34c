#include "ui/RemotePaneColumns.h"

#include <QItemSelectionModel>
#include <QMimeData>

TRemotePaneColumns::TRemotePaneColumns(const QStringList& headers, QObject* parent)
    : QIdentityProxyModel(parent), headers_(headers)
{
}

int TRemotePaneColumns::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(headers_.size());
}

QModelIndex TRemotePaneColumns::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || !sourceModel() || row < 0 || row >= sourceModel()->rowCount() || column < 0
        || column >= columnCount())
        return {};
    if (column < sourceModel()->columnCount())
        return QIdentityProxyModel::index(row, column, parent);
    return createIndex(row, column);
}

QModelIndex TRemotePaneColumns::parent(const QModelIndex&) const
{
    return {}; // a flat list
}

QModelIndex TRemotePaneColumns::sibling(int row, int column, const QModelIndex&) const
{
    return index(row, column);
}

QModelIndex TRemotePaneColumns::mapToSource(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid() || !sourceModel() || proxyIndex.column() >= sourceModel()->columnCount())
        return {};
    return QIdentityProxyModel::mapToSource(proxyIndex);
}

QVariant TRemotePaneColumns::data(const QModelIndex& index, int role) const
{
    const QModelIndex src = mapToSource(index);
    return src.isValid() ? sourceModel()->data(src, role) : QVariant();
}

Qt::ItemFlags TRemotePaneColumns::flags(const QModelIndex& index) const
{
    const QModelIndex src = mapToSource(index);
    if (src.isValid())
        return sourceModel()->flags(src);
    if (!index.isValid())
        return Qt::NoItemFlags;
    // An added column takes drops where its row's name does, so a site can be
    // dropped anywhere on a folder's row.
    const QModelIndex name = mapToSource(this->index(index.row(), 0));
    const Qt::ItemFlags drop = name.isValid() ? sourceModel()->flags(name) & Qt::ItemIsDropEnabled : Qt::ItemFlags();
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | drop;
}

QModelIndex TRemotePaneColumns::rowName(const QModelIndex& index) const
{
    return index.isValid() ? this->index(index.row(), 0) : index;
}

bool TRemotePaneColumns::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                         const QModelIndex& parent) const
{
    return QIdentityProxyModel::canDropMimeData(data, action, row, column, rowName(parent));
}

bool TRemotePaneColumns::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                      const QModelIndex& parent)
{
    return QIdentityProxyModel::dropMimeData(data, action, row, column, rowName(parent));
}

QVariant TRemotePaneColumns::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::EditRole) && section >= 0
        && section < headers_.size())
        return headers_[section];
    return QIdentityProxyModel::headerData(section, o, role);
}

bool TRemotePaneColumns::setHeaderData(int section, Qt::Orientation o, const QVariant& value, int role)
{
    if (o != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::EditRole) || section < 0
        || section >= headers_.size())
        return false;
    headers_[section] = value.toString();
    emit headerDataChanged(o, section, section);
    return true;
}

void TRemotePaneColumns::LinkSelections(QItemSelectionModel* view, QItemSelectionModel* source)
{
    auto copyRows = [this](QItemSelectionModel* from, QItemSelectionModel* to, bool toSource) {
        if (syncing_)
            return;
        syncing_ = true;
        QItemSelection sel;
        for (const QModelIndex& r : from->selectedRows()) {
            const QModelIndex i = toSource ? mapToSource(index(r.row(), 0)) : index(r.row(), 0);
            if (i.isValid())
                sel.select(i, i);
        }
        to->select(sel, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        syncing_ = false;
    };
    connect(view, &QItemSelectionModel::selectionChanged, this,
            [view, source, copyRows] { copyRows(view, source, true); });
    // The view's selection model is replaced whenever the pane changes its
    // model: the link ends with it.
    connect(source, &QItemSelectionModel::selectionChanged, view,
            [view, source, copyRows] { copyRows(source, view, false); });
}
