#pragma once
// The right pane while it shows the saved sites (SiteListShown): a flat item
// model of one site folder, its selection, the path box items (FTPPath) and
// the commands on them: opening a folder, going up, double click, moving a
// site into a folder, saving the folder's list and "Convert old server list".
// The view in ui/ only displays the model and forwards the user's actions.
#include "sites/SiteRecord.h"

#include <QAbstractListModel>
#include <QItemSelectionModel>
#include <QStringListModel>
#include <memory>
#include <vector>

class TMsgLanguage;

// Image indexes of the pane's items.
enum TPaneImage : int { imgUp = 0, imgFolder = 1, imgFile = 2, imgSite = 3 };

class TSiteList : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role : int {
        ImageIndexRole = Qt::UserRole + 1,  // int, a TPaneImage
    };

    // What a double click did.
    enum class DblClick { Nothing, OpenedFolder, WentUp, NewServerWanted, SiteChosen };

    explicit TSiteList(QObject* parent = nullptr);
    ~TSiteList() override;

    // --- the items ---
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    // Drag and drop in the view: a dragged site carries its row; dropping it
    // on a folder item moves it there (MoveSiteIntoFolder). The model has no
    // removeRows, so the view's own clean-up after a move removes nothing.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    int Count() const { return int(rows_.size()); }
    QString Caption(int row) const;
    int ImageIndex(int row) const;                // -1 outside the list
    TFTPServerObj* Site(int row) const;           // null for folders and ".."
    int FindCaption(const QString& caption) const; // first row, or -1

    // The selection the view shares (setSelectionModel). SelectedRow is the
    // first selected row, -1 when none.
    QItemSelectionModel* SelectionModel() { return &selection_; }
    int SelectedRow() const;
    void SelectRow(int row);                      // only this row; -1 clears

    // The message list the texts come from (the main window's "msl"); the
    // built-in English texts while none is set.
    void SetMessages(const TMsgLanguage* msl);

    // --- navigation ---
    // Shows folder ("" the top, "a/b/" below): the list file's folders and
    // sites, ".." below the top, sorted by caption with ".." first. Selects
    // the site matching CurrentSite by Name and Server, else the first site
    // of the file. A folder path with an unsafe name is refused (message,
    // false) and the pane keeps what it shows.
    bool ShowSiteList(const QString& folder);
    // Shows the current folder again from its file.
    void Refresh() { ShowSiteList(CurrentSiteFolder()); }
    // Frees every item (a session takes over the pane).
    void Clear();

    // The path box: item 0 the site-list root ("SERVER LIST ..."), then one
    // item per folder of the current path. The selected item is the last.
    QStringListModel* PathModel() { return &path_; }
    QStringList PathItems() const { return path_.stringList(); }
    int PathIndex() const { return pathIndex_; }
    // The folder path up to the selected path item, each name followed by "/".
    QString CurrentSiteFolder() const;
    // Choosing item k of the path box shows the folder of items 1 to k.
    void ChoosePathItem(int index);
    // The up-one-level button: the path box moves one item up.
    void OneLevelUp();

    // Double click on the selected item: a folder opens, ".." goes up, a site
    // is copied into CurrentSite and normalised (SiteChosen is emitted), and
    // with nothing selected the New Server command is wanted.
    DblClick DoubleClick();

    // The copy of the site in use.
    TFTPServerObj& CurrentSite() { return current_; }
    const TFTPServerObj& CurrentSite() const { return current_; }

    // --- changes ---
    // Writes the shown items in their order ("DIR=" lines and site lines) to
    // the current folder's list file, creating its directory if needed.
    // Failures are shown in a message box and return false.
    bool SaveSiteList();
    // New Server / Properties: adds an item owning a copy of site (caption its
    // Name) at its sorted place, selects only it and returns its row. The
    // file is not written: SaveSiteList does that.
    int AddSite(const TFTPServerObj& site);
    // Properties saved: the row's site takes the edited values and its caption
    // the Name; the row moves to its sorted place and stays selected. Returns
    // the new row, or -1 (nothing changes) when row owns no site.
    int ReplaceSite(int row, const TFTPServerObj& site);
    // Drag and drop of a site onto a folder item: the site's line is appended
    // to that folder's list (its directory is created if needed), then the
    // item leaves this folder and the folder's list is saved. Returns false,
    // moving nothing, for anything but a site dropped on a folder or when the
    // folder's list cannot be written.
    bool CanDropOn(int row) const;
    bool MoveSiteIntoFolder(int siteRow, int folderRow);
    bool MoveSelectedIntoFolder(int folderRow);
    // Site folders. MakeFolder: a folder of that name below the current one
    // (its directory and a "DIR=" line; an existing folder is only
    // selected). RenameFolder: the folder item at row and its directory get
    // the new name; refused when another item or directory has it.
    // RemoveSelected: the selected sites and folders leave the list (with
    // the keyring items of the sites); a
    // folder's directory goes only when it holds no sites or folders, so no
    // saved site is lost with it. Each writes the current list; failures are
    // shown in a message box and return false.
    bool MakeFolder(const QString& name);
    bool RenameFolder(int row, const QString& newName);
    bool RemoveSelected();

    // The hidden "Convert old server list" command: scrambles the in-memory
    // password of every site once and saves, so a list whose passwords were
    // saved in plain text reads correctly from then on.
    bool ConvertOldServerList();

signals:
    // CurrentSite now holds the double-clicked site, ready to connect.
    void SiteChosen();
    // The path box items or the selected path item changed.
    void PathChanged();

private:
    struct Row {
        QString Caption;
        int Image = imgSite;
        std::unique_ptr<TFTPServerObj> Site;
    };

    QString Text(int index) const;
    QString RootCaption() const;
    void RebuildPath(const QStringList& names);
    void ShowMessage(const QString& what, int messageIndex);
    int FindFolder(const QString& caption) const;  // a folder item, -1 when none
    // Removes the keyring items of deleted sites that no saved site uses.
    void ForgetSecrets(QStringList ids);

    std::vector<Row> rows_;
    QItemSelectionModel selection_;
    QStringListModel path_;
    int pathIndex_ = 0;
    bool listUnreadable_ = false;  // the shown file exists but could not be read
    TFTPServerObj current_;
    const TMsgLanguage* msl_ = nullptr;
};
