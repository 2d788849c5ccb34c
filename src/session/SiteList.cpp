#include "session/SiteList.h"

#include <QMimeData>

#include "i18n/MainMessages.h"
#include "i18n/MsgLanguage.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "sites/SiteKeyring.h"
#include "sites/SiteLine.h"
#include "sites/SiteListFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <algorithm>
#include <numeric>

TSiteList::TSiteList(QObject* parent)
    : QAbstractListModel(parent), selection_(this), current_(CreateSite())
{
    path_.setStringList({RootCaption()});
}

TSiteList::~TSiteList() = default;

QString TSiteList::Text(int index) const
{
    if (msl_)
        return msl_->Text(index);
    return MainMessageTexts().value(index);
}

QString TSiteList::RootCaption() const
{
    return Text(mainmsg::ServerList) + QStringLiteral(" ...");
}

void TSiteList::SetMessages(const TMsgLanguage* msl)
{
    msl_ = msl;
    path_.setData(path_.index(0), RootCaption());
}

void TSiteList::ShowMessage(const QString& what, int messageIndex)
{
    userInterface()->ShowMessageBox(what + QLatin1Char(':') + Text(messageIndex),
                                    Text(mainmsg::Attention), mb::IconInformation);
}

// --- items ---

int TSiteList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

QVariant TSiteList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    const Row& row = rows_[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return row.Caption;
    case ImageIndexRole:
        return row.Image;
    default:
        return {};
    }
}

Qt::ItemFlags TSiteList::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int image = ImageIndex(index.row());
    if (image == imgSite)
        f |= Qt::ItemIsDragEnabled;
    if (CanDropOn(index.row()))
        f |= Qt::ItemIsDropEnabled;
    return f;
}

namespace {
const QString kSiteRowMime = QStringLiteral("application/x-varnoth-site-row");

// The dragged site's row, or -1 when the data did not come from a site row.
int draggedRow(const QMimeData* data)
{
    if (!data || !data->hasFormat(kSiteRowMime))
        return -1;
    bool ok = false;
    const int row = QString::fromLatin1(data->data(kSiteRowMime)).toInt(&ok);
    return ok ? row : -1;
}
} // namespace

QStringList TSiteList::mimeTypes() const
{
    return {kSiteRowMime};
}

QMimeData* TSiteList::mimeData(const QModelIndexList& indexes) const
{
    for (const QModelIndex& i : indexes) {
        if (i.isValid() && ImageIndex(i.row()) == imgSite) {
            auto* data = new QMimeData;
            data->setData(kSiteRowMime, QByteArray::number(i.row()));
            return data;
        }
    }
    return nullptr;
}

bool TSiteList::canDropMimeData(const QMimeData* data, Qt::DropAction action, int, int,
                                const QModelIndex& parent) const
{
    return action == Qt::MoveAction && parent.isValid() && CanDropOn(parent.row())
           && ImageIndex(draggedRow(data)) == imgSite;
}

bool TSiteList::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                             const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    return MoveSiteIntoFolder(draggedRow(data), parent.row());
}

QString TSiteList::Caption(int row) const
{
    return row >= 0 && row < Count() ? rows_[size_t(row)].Caption : QString();
}

int TSiteList::ImageIndex(int row) const
{
    return row >= 0 && row < Count() ? rows_[size_t(row)].Image : -1;
}

TFTPServerObj* TSiteList::Site(int row) const
{
    return row >= 0 && row < Count() ? rows_[size_t(row)].Site.get() : nullptr;
}

int TSiteList::FindCaption(const QString& caption) const
{
    for (int i = 0; i < Count(); ++i) {
        if (rows_[size_t(i)].Caption == caption)
            return i;
    }
    return -1;
}

int TSiteList::SelectedRow() const
{
    int best = -1;
    for (const QModelIndex& i : selection_.selectedIndexes()) {
        if (best < 0 || i.row() < best)
            best = i.row();
    }
    return best;
}

void TSiteList::SelectRow(int row)
{
    if (row < 0 || row >= Count()) {
        selection_.clearSelection();
        return;
    }
    selection_.setCurrentIndex(index(row), QItemSelectionModel::ClearAndSelect);
}

// --- navigation ---

// Captions compare as text without regard to case (then exactly, so the
// order is total); ".." stays on top, where going up is expected.
static bool rowBefore(const QString& a, int imageA, const QString& b, int imageB)
{
    if ((imageA == imgUp) != (imageB == imgUp))
        return imageA == imgUp;
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

bool TSiteList::ShowSiteList(const QString& folder)
{
    QStringList names = folder.split('/', Qt::SkipEmptyParts);
    for (const QString& name : names) {
        if (!IsSafeFolderName(name)) {
            ShowMessage(folder, mainmsg::OpenFileError);
            return false;
        }
    }
    const QString normalised = names.isEmpty() ? QString() : names.join('/') + '/';

    beginResetModel();
    selection_.clearSelection();
    rows_.clear();

    std::vector<Row> loaded;
    if (!normalised.isEmpty())
        loaded.push_back(Row{QStringLiteral(".."), imgUp, nullptr});
    std::vector<TSiteListItem> items = ReadSiteList(normalised, CurrentSiteDefaults(), &listUnreadable_);
    for (TSiteListItem& item : items) {
        Row row;
        row.Caption = item.Caption;
        row.Image = item.IsFolder() ? imgFolder : imgSite;
        row.Site = std::move(item.Site);
        loaded.push_back(std::move(row));
    }

    // The site in use, else the first site of the file.
    int chosen = -1;
    for (int i = 0; i < int(loaded.size()) && chosen < 0; ++i) {
        const TFTPServerObj* s = loaded[size_t(i)].Site.get();
        if (s && s->Name == current_.Name && s->Server == current_.Server)
            chosen = i;
    }
    for (int i = 0; i < int(loaded.size()) && chosen < 0; ++i) {
        if (loaded[size_t(i)].Site)
            chosen = i;
    }

    std::vector<int> order(loaded.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return rowBefore(loaded[size_t(a)].Caption, loaded[size_t(a)].Image,
                         loaded[size_t(b)].Caption, loaded[size_t(b)].Image);
    });
    int selectedRow = -1;
    rows_.reserve(loaded.size());
    for (int i : order) {
        if (i == chosen)
            selectedRow = int(rows_.size());
        rows_.push_back(std::move(loaded[size_t(i)]));
    }
    endResetModel();
    RebuildPath(names);
    SelectRow(selectedRow);
    return true;
}

void TSiteList::Clear()
{
    beginResetModel();
    selection_.clearSelection();
    rows_.clear();
    endResetModel();
}

void TSiteList::RebuildPath(const QStringList& names)
{
    // Keep the items that agree from the left, replace the rest.
    QStringList items = path_.stringList();
    const QStringList wanted = QStringList{RootCaption()} + names;
    int same = 0;
    while (same < items.size() && same < wanted.size() && items[same] == wanted[same])
        ++same;
    if (same < items.size())
        path_.removeRows(same, int(items.size()) - same);
    if (same < wanted.size()) {
        path_.insertRows(same, int(wanted.size()) - same);
        for (int i = same; i < wanted.size(); ++i)
            path_.setData(path_.index(i), wanted[i]);
    }
    pathIndex_ = int(wanted.size()) - 1;
    emit PathChanged();
}

QString TSiteList::CurrentSiteFolder() const
{
    const QStringList items = path_.stringList();
    QString folder;
    for (int i = 1; i <= pathIndex_ && i < items.size(); ++i)
        folder += items[i] + '/';
    return folder;
}

void TSiteList::ChoosePathItem(int index)
{
    const QStringList items = path_.stringList();
    if (index < 0 || index >= items.size())
        return;
    QString folder;
    for (int i = 1; i <= index; ++i)
        folder += items[i] + '/';
    ShowSiteList(folder);
}

void TSiteList::OneLevelUp()
{
    if (pathIndex_ > 0)
        ChoosePathItem(pathIndex_ - 1);
}

TSiteList::DblClick TSiteList::DoubleClick()
{
    const int row = SelectedRow();
    if (row < 0)
        return DblClick::NewServerWanted;
    const Row& item = rows_[size_t(row)];
    switch (item.Image) {
    case imgFolder:
        if (!IsSafeFolderName(item.Caption)) {
            ShowMessage(item.Caption, mainmsg::OpenFileError);
            return DblClick::Nothing;
        }
        return ShowSiteList(CurrentSiteFolder() + item.Caption + '/') ? DblClick::OpenedFolder
                                                                      : DblClick::Nothing;
    case imgUp:
        OneLevelUp();
        return DblClick::WentUp;
    case imgSite:
        CopySite(current_, *item.Site);
        NormaliseServerUrl(current_);
        emit SiteChosen();
        return DblClick::SiteChosen;
    default:
        return DblClick::Nothing;
    }
}

// --- changes ---

bool TSiteList::SaveSiteList()
{
    const QString dir = SiteFolderDir(CurrentSiteFolder());
    if (!QDir().mkpath(dir)) {
        ShowMessage(dir, mainmsg::CanNotCreateDir);
        return false;
    }
    const QString path = SiteListPath(dir);
    if (listUnreadable_) {
        // Writing now would replace sites that were never shown.
        ShowMessage(path, mainmsg::ReadFileError);
        return false;
    }
    QStringList lines;
    for (const Row& row : rows_) {
        if (row.Image == imgFolder) {
            lines += QStringLiteral("DIR=") + row.Caption;
        } else if (row.Image == imgSite) {
            // The keyring first: the line carries the marker only once the
            // keyring holds the password, else the scrambled form as before.
            MoveSitePasswordToKeyring(*row.Site);
            lines += SiteLine(*row.Site);
        }
    }
    if (!WriteTextLines(path, lines)) {
        ShowMessage(path, mainmsg::OpenFileError);
        return false;
    }
    return true;
}

int TSiteList::AddSite(const TFTPServerObj& site)
{
    Row row;
    row.Caption = site.Name;
    row.Image = imgSite;
    row.Site = std::make_unique<TFTPServerObj>(site);
    if (!row.Site->SecretId.isEmpty()) {
        // A copy of a saved site takes the password along, never the
        // original's keyring item: it gets an item of its own when saved.
        FetchSitePassword(*row.Site);
        row.Site->SecretId.clear();
    }
    int at = 0;
    while (at < Count() && !rowBefore(row.Caption, row.Image, rows_[size_t(at)].Caption, rows_[size_t(at)].Image))
        ++at;
    beginInsertRows(QModelIndex(), at, at);
    rows_.insert(rows_.begin() + at, std::move(row));
    endInsertRows();
    SelectRow(at);
    return at;
}

int TSiteList::ReplaceSite(int row, const TFTPServerObj& site)
{
    if (!Site(row))
        return -1;
    CopySite(*rows_[size_t(row)].Site, site);
    rows_[size_t(row)].Caption = site.Name;
    emit dataChanged(index(row), index(row));
    // The place among the others: after every row that sorts before it.
    int at = 0;
    for (int i = 0; i < Count(); ++i) {
        if (i != row && rowBefore(rows_[size_t(i)].Caption, rows_[size_t(i)].Image, site.Name, imgSite))
            ++at;
    }
    if (at != row) {
        // beginMoveRows takes the destination before the move.
        beginMoveRows(QModelIndex(), row, row, QModelIndex(), at > row ? at + 1 : at);
        Row moved = std::move(rows_[size_t(row)]);
        rows_.erase(rows_.begin() + row);
        rows_.insert(rows_.begin() + at, std::move(moved));
        endMoveRows();
    }
    SelectRow(at);
    return at;
}

bool TSiteList::CanDropOn(int row) const
{
    return ImageIndex(row) == imgFolder && IsSafeFolderName(Caption(row));
}

bool TSiteList::MoveSiteIntoFolder(int siteRow, int folderRow)
{
    if (ImageIndex(siteRow) != imgSite || !CanDropOn(folderRow))
        return false;
    if (listUnreadable_) {
        // The site could be added there but not removed here.
        ShowMessage(SiteListPath(SiteFolderDir(CurrentSiteFolder())), mainmsg::ReadFileError);
        return false;
    }
    const QString dir = SiteFolderDir(CurrentSiteFolder() + Caption(folderRow));
    if (!QDir().mkpath(dir)) {
        ShowMessage(dir, mainmsg::CanNotCreateDir);
        return false;
    }
    MoveSitePasswordToKeyring(*Site(siteRow));
    if (!AppendSiteLine(dir, SiteLine(*Site(siteRow)))) {
        ShowMessage(SiteListPath(dir), mainmsg::OpenFileError);
        return false;
    }
    beginRemoveRows(QModelIndex(), siteRow, siteRow);
    rows_.erase(rows_.begin() + siteRow);
    endRemoveRows();
    SaveSiteList();
    return true;
}

bool TSiteList::MoveSelectedIntoFolder(int folderRow)
{
    return MoveSiteIntoFolder(SelectedRow(), folderRow);
}

bool TSiteList::ConvertOldServerList()
{
    for (Row& row : rows_) {
        if (row.Site)
            row.Site->Password = ScramblePassword(row.Site->Password);
    }
    return SaveSiteList();
}

// --- site folders ---

int TSiteList::FindFolder(const QString& caption) const
{
    for (int i = 0; i < Count(); ++i)
        if (rows_[size_t(i)].Image == imgFolder && rows_[size_t(i)].Caption.compare(caption, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool TSiteList::MakeFolder(const QString& name)
{
    const QString dir = SiteFolderDir(CurrentSiteFolder() + name);
    if (!IsSafeFolderName(name) || !QDir().mkpath(dir)) {
        ShowMessage(name, mainmsg::CanNotCreateDir2);
        return false;
    }
    const int existing = FindFolder(name);
    if (existing >= 0) {
        SelectRow(existing);
        return true;
    }
    int at = 0;
    while (at < Count() && !rowBefore(name, imgFolder, rows_[size_t(at)].Caption, rows_[size_t(at)].Image))
        ++at;
    beginInsertRows(QModelIndex(), at, at);
    rows_.insert(rows_.begin() + at, Row{name, imgFolder, nullptr});
    endInsertRows();
    SelectRow(at);
    return SaveSiteList();
}

bool TSiteList::RenameFolder(int row, const QString& newName)
{
    if (ImageIndex(row) != imgFolder)
        return false;
    const QString oldName = Caption(row);
    if (newName == oldName)
        return true;
    const QString oldDir = SiteFolderDir(CurrentSiteFolder() + oldName);
    const QString newDir = SiteFolderDir(CurrentSiteFolder() + newName);
    const int other = FindFolder(newName);
    // A different folder of that name (or a directory left on disk) would be
    // merged with this one or replaced: refused.
    if (!IsSafeFolderName(newName) || !IsSafeFolderName(oldName) || (other >= 0 && other != row)
        || (QFileInfo::exists(newDir) && oldName.compare(newName, Qt::CaseInsensitive) != 0)) {
        ShowMessage(newName, mainmsg::FileAlreadyExists);
        return false;
    }
    if (QFileInfo::exists(oldDir) && !QDir().rename(oldDir, newDir)) {
        ShowMessage(newName, mainmsg::CanNotCreateDir2);
        return false;
    }
    rows_[size_t(row)].Caption = newName;
    if (!SaveSiteList())
        return false;
    Refresh();
    SelectRow(FindFolder(newName));
    return true;
}

bool TSiteList::RemoveSelected()
{
    QList<int> rows;
    for (const QModelIndex& i : selection_.selectedIndexes())
        if (!rows.contains(i.row()) && ImageIndex(i.row()) != imgUp)
            rows << i.row();
    if (rows.isEmpty())
        return false;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    QStringList folders, secrets;
    for (int r : rows) {
        if (rows_[size_t(r)].Image == imgFolder)
            folders << rows_[size_t(r)].Caption;
        else if (const TFTPServerObj* site = rows_[size_t(r)].Site.get(); site && !site->SecretId.isEmpty())
            secrets << site->SecretId;
        beginRemoveRows(QModelIndex(), r, r);
        rows_.erase(rows_.begin() + r);
        endRemoveRows();
    }
    if (!SaveSiteList())
        return false;
    ForgetSecrets(secrets);
    for (const QString& folder : folders) {
        if (!IsSafeFolderName(folder))
            continue;
        // Only an empty folder goes from disk: its list (if any) names no
        // site or folder, and nothing else lies beside it.
        const QString dir = SiteFolderDir(CurrentSiteFolder() + folder);
        const QStringList left = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        const QString list = SiteListPath(dir);
        bool empty = left.isEmpty();
        if (left.size() == 1 && QFileInfo(list).fileName() == left.first()) {
            bool unreadable = false;
            empty = ReadSiteList(CurrentSiteFolder() + folder + '/', CurrentSiteDefaults(), &unreadable).empty() && !unreadable;
            if (empty)
                QFile::remove(list);
        }
        if (empty)
            QDir().rmdir(dir);
    }
    return true;
}

void TSiteList::ForgetSecrets(QStringList ids)
{
    if (ids.isEmpty())
        return;
    // A site list copied by hand may name the same item twice: it goes only
    // when no saved site still uses it.
    ForEachSavedSite([&](const QString&, const TFTPServerObj& site) { ids.removeAll(site.SecretId); });
    for (const QString& id : ids) {
        QString error;
        if (!ClearKeyringSecret(id, &error))
            ShowMessage(error, mainmsg::Error);
    }
}
