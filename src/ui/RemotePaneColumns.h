#pragma once
// The right pane always has the six columns of a server directory (Filename,
// Size, Date, Time, Attributes, Links), also while it shows the site list,
// whose model has one. This proxy adds the missing, empty columns and holds
// the header texts (language files translate them), and keeps the view's
// selection and the list model's own selection the same.
#include <QIdentityProxyModel>
#include <QStringList>

class QItemSelectionModel;

class TRemotePaneColumns : public QIdentityProxyModel {
    Q_OBJECT
public:
    TRemotePaneColumns(const QStringList& headers, QObject* parent = nullptr);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& idx) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Drops on any column of a row go to the row's name item.
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation o, const QVariant& value, int role = Qt::EditRole) override;

    // Mirrors selections row by row between the view's selection model (over
    // this proxy) and the source model's own one, in both directions.
    void LinkSelections(QItemSelectionModel* view, QItemSelectionModel* source);

private:
    QModelIndex rowName(const QModelIndex& index) const;

    QStringList headers_;
    bool syncing_ = false;
};
