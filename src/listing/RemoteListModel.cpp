#include "listing/RemoteListModel.h"

#include "listing/FileMask.h"
#include "listing/ListingDate.h"
#include "listing/ListingDisplay.h"
#include "listing/ListingFormat.h"
#include "listing/ListingText.h"

#include <QHash>

namespace {

// Names that must never reach a path: the server could make a "file" called
// "../x" or "a/b" stand for something else, and NUL ends a path early.
bool unsafeName(QStringView name)
{
    return name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QChar(0));
}

QString formatTime(const QTime& t)
{
    QString out;
    out.reserve(5);
    out += QLatin1Char(char('0' + t.hour() / 10));
    out += QLatin1Char(char('0' + t.hour() % 10));
    out += QLatin1Char(':');
    out += QLatin1Char(char('0' + t.minute() / 10));
    out += QLatin1Char(char('0' + t.minute() % 10));
    return out;
}

} // namespace

int ViewKind(const QString& answer)
{
    return answer.isEmpty() ? 0 : ListingFormat::fromAnswer(answer).type;
}

TRemoteListModel::TRemoteListModel(QObject* parent)
    : TPaneListModel({QStringLiteral("Filename"), QStringLiteral("Size"), QStringLiteral("Date"), QStringLiteral("Time"),
                      QStringLiteral("Attributes"), QStringLiteral("Links")},
                     parent)
{
}

void TRemoteListModel::clearRows()
{
    rows_.clear();
    sortItems_.clear();
    firstFile_ = -1;
    widest_.clear();
    dropped_ = 0;
    droppedNames_.clear();
}

void TRemoteListModel::Clear()
{
    beginResetModel();
    clearRows();
    endResetModel();
}

void TRemoteListModel::Fill(const std::vector<DirEntry>& entries, const RemoteViewOptions& options)
{
    beginResetModel();
    clearRows();
    viewKind_ = ::ViewKind(options.answer);
    const bool namesOnly = viewKind_ == ListingFormat::Text;
    // Each zone to a day fraction first: their hours-and-minutes texts do not
    // subtract (5.30 - 0.45 is 4:45, not 4.85).
    const double shift = HoursToDayFraction(options.siteTimeZone) - HoursToDayFraction(options.localTimeZone);
    const QDate today = options.today.isNull() ? QDate::currentDate() : options.today;
    const FileMask mask(options.mask);

    struct ShownDate {
        QDate date;
        QString dateText, timeText;
    };
    QHash<QString, ShownDate> shownDates;
    rows_.reserve(entries.size());
    sortItems_.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const DirEntry& e = entries[i];
        if (unsafeName(e.nameView())) {
            if (droppedNames_.size() < kMaxDroppedNames)
                droppedNames_.append(EscapedName(e.name()));
            ++dropped_;
            continue;
        }
        if (!e.directory && !namesOnly && !mask.Matches(e.nameView()))
            continue;
        Row r;
        r.entry = e;
        r.source = int(i);
        ListSortItem k;
        k.imageKind = e.directory ? 1 : 2;
        k.index = int(rows_.size());
        if (!namesOnly) {
            if (!e.directory) {
                r.sizeText = FormatSize(e.sizeView());
                k.hasSize = ParseGroupedSize(e.sizeView(), k.size);
            }
            QString when;
            when.reserve(e.dateView().size() + 1 + e.timeView().size());
            when += e.dateView();
            when += QLatin1Char(' ');
            when += e.timeView();
            // Entries of one listing share few distinct dates: each is read
            // and formatted once, and its texts are shared by the rows.
            auto shown = shownDates.constFind(when);
            if (shown == shownDates.cend()) {
                const ListingDateTime dt = ParseListingDate(when, shift, today);
                shown = shownDates.insert(when, {dt.date, FormatListDate(dt.date, options.dateType), formatTime(dt.time)});
            }
            k.date = shown->date;
            r.dateText = shown->dateText;
            r.timeText = shown->timeText;
        }
        if (k.imageKind == 2 && firstFile_ < 0)
            firstFile_ = int(rows_.size());
        if (e.nameView().size() > widest_.size())
            widest_ = e.name();
        rows_.push_back(std::move(r));
        sortItems_.push_back(k);
    }
    // The texts no longer move: point the sort records at them.
    for (size_t row = 0; row < rows_.size(); ++row) {
        ListSortItem& k = sortItems_[row];
        k.name = rows_[row].entry.nameView();
        k.time = rows_[row].timeText;
        if (!namesOnly)
            k.attributes = rows_[row].entry.attributesView();
    }
    SetNameOrders(sortItems_.data(), sortItems_.size());
    endResetModel();
}

void TRemoteListModel::Fill(const QStringList& entryTexts, const RemoteViewOptions& options)
{
    std::vector<DirEntry> entries;
    entries.reserve(size_t(entryTexts.size()));
    for (const QString& t : entryTexts)
        entries.push_back(DirEntry::fromText(t));
    Fill(entries, options);
}

qint64 TRemoteListModel::Size(int row) const
{
    const ListSortItem& k = sortItems_[size_t(row)];
    return k.imageKind == 2 && k.hasSize && k.size > 0 ? k.size : 0;
}

void TRemoteListModel::SetColumnTitles(const QStringList& titles)
{
    for (int i = 0; i < ColumnCount && i < titles.size(); ++i)
        titles_[i] = titles[i];
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

int TRemoteListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant TRemoteListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const Row& r = rows_[size_t(index.row())];
    const ListSortItem& k = sortItems_[size_t(index.row())];
    const bool namesOnly = viewKind_ == ListingFormat::Text;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case ColName: return r.entry.name();
        case ColSize: return r.sizeText;
        case ColDate: return r.dateText;
        case ColTime: return r.timeText;
        case ColAttributes: return namesOnly ? QString() : r.entry.attributes();
        case ColLinks: return namesOnly ? QString() : r.entry.linkTarget();
        }
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == ColDate || index.column() == ColTime)
            return int(Qt::AlignCenter);
        break;
    }
    return CommonData(k, index.column(), role);
}

