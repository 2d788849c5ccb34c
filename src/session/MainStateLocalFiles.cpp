#include "session/MainStateLocalFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

QString GroupedByteCount(qint64 bytes)
{
    const bool negative = bytes < 0;
    QString digits = QString::number(negative ? -bytes : bytes);
    for (int i = int(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(' '));
    return negative ? QLatin1Char('-') + digits : digits;
}

bool MatchesLocalMask(const QString& name, const QString& mask)
{
    const QString m = mask.trimmed();
    if (m.isEmpty() || m == QLatin1String("*") || m == QLatin1String("*.*"))
        return true;
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(m),
                                QRegularExpression::CaseInsensitiveOption);
    return re.match(name).hasMatch();
}

QList<LocalFileRow> ListLocalDirectory(const QString& dir, const QString& mask, int dateType)
{
    QList<LocalFileRow> rows;
    QDir d(dir);
    if (!d.exists())
        return rows;
    const QString dateFormat = dateType == 1 ? QStringLiteral("MM.dd.yyyy") : QStringLiteral("dd.MM.yyyy");
    const QFileInfoList entries = d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                                  QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& fi : entries) {
        LocalFileRow row;
        row.Name = fi.fileName();
        row.IsDir = fi.isDir();
        if (!row.IsDir && !MatchesLocalMask(row.Name, mask))
            continue;
        const QDateTime modified = fi.lastModified();
        row.Date = modified.toString(dateFormat);
        row.Time = modified.toString(QStringLiteral("hh:mm"));
        if (!row.IsDir) {
            row.Size = fi.size();
            row.SizeText = GroupedByteCount(row.Size);
        }
        rows.append(row);
    }
    return rows;
}
