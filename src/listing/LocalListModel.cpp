#include "listing/LocalListModel.h"

#include "listing/FileMask.h"
#include "listing/ListingDisplay.h"

#include <QFile>
#include <QHash>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString twoDigits(int a, int b)
{
    QString out;
    out.reserve(5);
    out += QLatin1Char(char('0' + a / 10));
    out += QLatin1Char(char('0' + a % 10));
    out += QLatin1Char(':');
    out += QLatin1Char(char('0' + b / 10));
    out += QLatin1Char(char('0' + b % 10));
    return out;
}

// Closes a directory stream on every way out.
struct DirCloser {
    DIR* d;
    ~DirCloser()
    {
        if (d)
            closedir(d);
    }
};

} // namespace

TLocalListModel::TLocalListModel(QObject* parent)
    : TPaneListModel({QStringLiteral("Filename"), QStringLiteral("Size"), QStringLiteral("Date"), QStringLiteral("Time")},
                     parent)
{
}

void TLocalListModel::clearRows()
{
    rows_.clear();
    sortItems_.clear();
    stamps_.clear();
}

void TLocalListModel::Clear()
{
    beginResetModel();
    clearRows();
    endResetModel();
}

bool TLocalListModel::Fill(const QString& dir, const QString& mask, int dateType)
{
    beginResetModel();
    clearRows();
    dir_ = dir;
    error_.clear();
    DIR* d = opendir(QFile::encodeName(dir).constData());
    const DirCloser closer{d};
    if (!d) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        endResetModel();
        return false;
    }
    const int fd = dirfd(d);
    const FileMask filter(mask);
    // A directory's entries share few distinct minutes: each is converted to
    // local time and formatted once.
    QHash<qint64, int> stampOfMinute;
    while (const dirent* e = readdir(d)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        struct stat st {};
        // A link shows as what it points to; a dangling one as itself.
        if (fstatat(fd, n, &st, 0) != 0 && fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // gone since it was read
        const bool isDir = S_ISDIR(st.st_mode);
        Row r;
        r.name = QFile::decodeName(n);
        if (!isDir && !filter.MatchesEverything() && !filter.Matches(r.name))
            continue;
        const qint64 minute = qint64(st.st_mtime) / 60 - (st.st_mtime < 0 && st.st_mtime % 60 ? 1 : 0);
        auto found = stampOfMinute.constFind(minute);
        if (found == stampOfMinute.cend()) {
            const time_t t = time_t(st.st_mtime);
            struct tm local {};
            int at = -1;
            if (localtime_r(&t, &local)) {
                const QDate date(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
                at = int(stamps_.size());
                stamps_.push_back({date, FormatListDate(date, dateType), twoDigits(local.tm_hour, local.tm_min)});
            }
            found = stampOfMinute.insert(minute, at);
        }
        r.stamp = *found;
        ListSortItem k;
        k.imageKind = isDir ? 1 : 2;
        k.index = int(rows_.size());
        if (!isDir) {
            k.hasSize = true;
            k.size = qint64(st.st_size);
        }
        rows_.push_back(std::move(r));
        sortItems_.push_back(k);
    }
    pointSortItems();
    endResetModel();
    return true;
}

void TLocalListModel::pointSortItems()
{
    // The texts no longer move: point the sort records at them.
    for (size_t row = 0; row < rows_.size(); ++row) {
        ListSortItem& k = sortItems_[row];
        k.name = rows_[row].name;
        const int s = rows_[row].stamp;
        k.date = s >= 0 ? stamps_[size_t(s)].date : QDate();
        k.time = s >= 0 ? QStringView(stamps_[size_t(s)].timeText) : QStringView();
    }
    SetNameOrders(sortItems_.data(), sortItems_.size());
}

QString TLocalListModel::Path(int row) const
{
    return dir_.endsWith(QLatin1Char('/')) ? dir_ + Name(row) : dir_ + QLatin1Char('/') + Name(row);
}

int TLocalListModel::RowOfName(const QString& name) const
{
    for (size_t row = 0; row < rows_.size(); ++row)
        if (rows_[row].name == name)
            return int(row);
    return -1;
}

QStringList TLocalListModel::Names() const
{
    QStringList names;
    names.reserve(qsizetype(rows_.size()));
    for (const Row& r : rows_)
        names << r.name;
    return names;
}

void TLocalListModel::SetNames(const QList<std::pair<int, QString>>& renamed)
{
    for (const auto& [row, name] : renamed)
        if (row >= 0 && row < rowCount())
            rows_[size_t(row)].name = name;
    pointSortItems();  // the strings moved, and the name orders change
    for (const auto& [row, name] : renamed)
        if (row >= 0 && row < rowCount())
            emit dataChanged(index(row, ColName), index(row, ColName));
}

int TLocalListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant TLocalListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row& r = rows_[size_t(index.row())];
    const ListSortItem& k = sortItems_[size_t(index.row())];
    const Stamp* s = r.stamp >= 0 ? &stamps_[size_t(r.stamp)] : nullptr;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case ColName: return r.name;
        // Sizes are grouped only for the rows a view shows.
        case ColSize: return k.imageKind == 2 ? GroupedByteCount(k.size) : QString();
        case ColDate: return s ? s->dateText : QString();
        case ColTime: return s ? s->timeText : QString();
        }
        break;
    case Qt::UserRole:
        if (index.column() == ColName)
            return k.imageKind == 1;
        break;
    }
    return CommonData(k, index.column(), role);
}

