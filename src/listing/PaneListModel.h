#pragma once
// What the file lists of both panes share: column titles that a language
// file may translate (they survive every refill), the icon column 0 shows
// for each image kind, and plain selectable rows without children.
#include "listing/ListSort.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariantList>

class QMimeData;

// The type of a drag of pane rows.
inline constexpr char kPaneRowsMimeType[] = "application/x-varnoth-pane-rows";

// The rows a drag of pane rows carries, and the object name of the model
// they came from (empty when data is no such drag).
QList<int> DraggedRows(const QMimeData* data, QString* model);

class TPaneListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    QStringList ColumnTitles() const { return titles_; }
    // What column 0 shows as decoration for each image kind (index 0 "..",
    // 1 directory, 2 file): the window hands in its icons.
    void SetImageDecorations(const QVariantList& decorations);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // Rows may be dragged to the other pane: the drag carries the model's
    // object name and the source rows (see DraggedRows).
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    // The size column's title is right-aligned, as its cells are.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

protected:
    // One column per title; column 1 holds sizes.
    TPaneListModel(const QStringList& titles, QObject* parent);
    // The roles both lists answer alike from a row's sort record: column 0's
    // icon, the image kind, the size and date columns' sort values and the
    // size column's alignment. Empty for any other role.
    QVariant CommonData(const ListSortItem& k, int column, int role) const;

    QStringList titles_;

private:
    QVariantList decorations_;
};
