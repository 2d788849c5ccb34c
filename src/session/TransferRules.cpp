#include "session/TransferRules.h"

#include "listing/ListingDate.h"

#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <cerrno>
#include <cmath>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

bool IsSafeEntryName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

QString PathInside(const QString& base, const QString& path)
{
    if (base.isEmpty() || path.contains(QChar(0)))
        return QString();
    const QString cleanBase = QDir::cleanPath(QDir(base).absolutePath());
    const QString cleanPath = QDir::cleanPath(QDir(cleanBase).absoluteFilePath(path));
    if (cleanPath == cleanBase)
        return cleanPath;
    const QString prefix = cleanBase.endsWith(QLatin1Char('/')) ? cleanBase : cleanBase + QLatin1Char('/');
    return cleanPath.startsWith(prefix) ? cleanPath : QString();
}

bool IsTextByExtension(const QString& fileName, const QString& ext)
{
    const QString leaf = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = leaf.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot == leaf.size() - 1)
        return false;
    const QStringView own = QStringView(leaf).mid(dot + 1);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= ext.size(); ++i) {
        const bool end = i == ext.size();
        if (!end && ext[i] != QLatin1Char(',') && ext[i] != QLatin1Char(';') && ext[i] != QLatin1Char(' '))
            continue;
        QStringView item = QStringView(ext).mid(start, i - start).trimmed();
        if (item.startsWith(QLatin1Char('.')))
            item = item.mid(1);
        if (!item.isEmpty() && item == own)
            return true;
        start = i + 1;
    }
    return false;
}

namespace {

// A zone stored as hours + minutes/100 ("5.30", "-3.30") in seconds.
int ZoneSeconds(double zone)
{
    const double hours = std::trunc(zone);
    const int minutes = int(std::lround((zone - hours) * 100.0));
    return int(hours) * 3600 + minutes * 60;
}

} // namespace

QDateTime ListedFileTime(const QString& date, const QString& time, double siteTimeZone, const QDate& today)
{
    QString text = date.trimmed();
    if (text.isEmpty())
        return QDateTime();
    if (!time.trimmed().isEmpty())
        text += QLatin1Char(' ') + time.trimmed();
    QDate d;
    QTime t;
    const bool hasTime = ParseListingDate(text, d, t, 0.0, today);
    if (!d.isValid())
        return QDateTime();
    if (!hasTime)
        return QDateTime(d, QTime(0, 0));
    return QDateTime(d, t, QTimeZone(ZoneSeconds(siteTimeZone))).toLocalTime();
}

QString RemoteTimeArgument(const QDateTime& localTime, double siteTimeZone)
{
    return localTime.toUTC()
        .addSecs(ZoneSeconds(siteTimeZone))
        .toString(QStringLiteral("yyyyMMddHHmmss"));
}

bool SetLocalModificationTime(const QString& path, const QDateTime& time)
{
    if (!time.isValid())
        return false;
    const QByteArray p = QFile::encodeName(path);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(time.toSecsSinceEpoch());
    times[1].tv_nsec = 0;
    // Never through a link: the copy is the file itself.
    return ::utimensat(AT_FDCWD, p.constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

namespace {

QDateTime ModifiedOf(const struct stat& st)
{
    return QDateTime::fromSecsSinceEpoch(qint64(st.st_mtim.tv_sec));
}

const char* KindWord(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

} // namespace

int UploadKindOf(const QString& path, qint64* size, QDateTime* modified)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    if (size)
        *size = S_ISREG(st.st_mode) ? qint64(st.st_size) : 0;
    if (modified)
        *modified = ModifiedOf(st);
    if (S_ISREG(st.st_mode))
        return 1;
    return S_ISDIR(st.st_mode) ? 2 : 0;
}

bool ScanUploadFolder(const QString& dir, std::vector<LocalUploadEntry>& entries, QStringList& skipped)
{
    const QByteArray path = QFile::encodeName(dir);
    DIR* d = ::opendir(path.constData());
    if (!d)
        return false;
    const int dfd = ::dirfd(d);
    while (dirent* e = ::readdir(d)) {
        const QString name = QFile::decodeName(e->d_name);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        if (!IsSafeEntryName(name) || name.contains(QLatin1Char('\r')) || name.contains(QLatin1Char('\n'))) {
            skipped << QStringLiteral("%1: the name cannot be sent to a server").arg(name);
            continue;
        }
        struct stat own;
        if (::fstatat(dfd, e->d_name, &own, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(own.st_mode)) {
            entries.push_back({name, true, 0, ModifiedOf(own)});
            continue;
        }
        struct stat target = own;
        if (S_ISLNK(own.st_mode) && ::fstatat(dfd, e->d_name, &target, 0) != 0) {
            skipped << QStringLiteral("%1: a link to nothing").arg(name);
            continue;
        }
        if (S_ISDIR(target.st_mode)) {
            skipped << QStringLiteral("%1: a link to a directory, not followed").arg(name);
            continue;
        }
        if (!S_ISREG(target.st_mode)) {
            skipped << QStringLiteral("%1: %2").arg(name, QLatin1String(KindWord(target.st_mode)));
            continue;
        }
        entries.push_back({name, false, qint64(target.st_size), ModifiedOf(target)});
    }
    ::closedir(d);
    return true;
}
