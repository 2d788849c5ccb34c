#include "listing/PaneListModel.h"

namespace {
constexpr int kSizeColumn = 1;
} // namespace

TPaneListModel::TPaneListModel(const QStringList& titles, QObject* parent)
    : QAbstractTableModel(parent), titles_(titles)
{
}

void TPaneListModel::SetImageDecorations(const QVariantList& decorations)
{
    decorations_ = decorations;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

int TPaneListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(titles_.size());
}

Qt::ItemFlags TPaneListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

QVariant TPaneListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::EditRole) && section >= 0
        && section < titles_.size())
        return titles_[section];
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole && section == kSizeColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool TPaneListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role)
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::EditRole) || section < 0
        || section >= titles_.size())
        return false;
    titles_[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}
