#include "listing/PaneListModel.h"

#include <QMimeData>
#include <algorithm>

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
    return index.isValid()
               ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled
               : Qt::NoItemFlags;
}

QStringList TPaneListModel::mimeTypes() const { return {QLatin1String(kPaneRowsMimeType)}; }

QMimeData* TPaneListModel::mimeData(const QModelIndexList& indexes) const
{
    QList<int> rows;
    for (const QModelIndex& i : indexes)
        if (i.isValid() && i.model() == this && !rows.contains(i.row()))
            rows << i.row();
    std::sort(rows.begin(), rows.end());
    QStringList text{objectName()};
    for (int r : rows)
        text << QString::number(r);
    auto* data = new QMimeData;
    data->setData(QLatin1String(kPaneRowsMimeType), text.join(QLatin1Char('\n')).toUtf8());
    return data;
}

QList<int> DraggedRows(const QMimeData* data, QString* model)
{
    QList<int> rows;
    if (model)
        model->clear();
    if (!data || !data->hasFormat(QLatin1String(kPaneRowsMimeType)))
        return rows;
    const QStringList text = QString::fromUtf8(data->data(QLatin1String(kPaneRowsMimeType))).split(QLatin1Char('\n'));
    for (qsizetype i = 1; i < text.size(); ++i) {
        bool ok = false;
        const int r = text[i].toInt(&ok);
        if (ok && r >= 0)
            rows << r;
    }
    if (model)
        *model = text.value(0);
    return rows;
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
