#include "session/MainStateLocalFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

QList<LocalFileRow> ListLocalDirectory(const QString& dir, const QString& mask, int dateType)
{
    QList<LocalFileRow> rows;
    QDir d(dir);
    if (!d.exists())
        return rows;
    const QFileInfoList entries = d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                                  QDir::Name | QDir::IgnoreCase);
    const FileMask filter(mask);
    for (const QFileInfo& fi : entries) {
        LocalFileRow row;
        row.Name = fi.fileName();
        row.IsDir = fi.isDir();
        if (!row.IsDir && !filter.Matches(row.Name))
            continue;
        const QDateTime modified = fi.lastModified();
        row.Date = FormatListDate(modified.date(), dateType);
        row.Time = modified.toString(QStringLiteral("hh:mm"));
        if (!row.IsDir) {
            row.Size = fi.size();
            row.SizeText = GroupedByteCount(row.Size);
        }
        rows.append(row);
    }
    return rows;
}
