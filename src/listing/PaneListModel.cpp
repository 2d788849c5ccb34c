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

QVariant TPaneListModel::CommonData(const ListSortItem& k, int column, int role) const
{
    constexpr int kDateColumn = 2;
    switch (role) {
    case Qt::DecorationRole:
        if (column == 0)
            return decorations_.value(k.imageKind);
        break;
    case Qt::TextAlignmentRole:
        if (column == kSizeColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case listrole::ImageKind:
        return k.imageKind;
    case listrole::SortValue:
        if (column == kSizeColumn && k.hasSize)
            return k.size;
        if (column == kDateColumn && k.date.isValid())
            return k.date;
        break;
    }
    return {};
}
