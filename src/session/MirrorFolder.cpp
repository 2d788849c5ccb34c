#include "session/MirrorFolder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

QString KindWord(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

} // namespace

bool PathAtOrBelow(const QString& path, const QString& base)
{
    if (base.isEmpty() || path.isEmpty())
        return false;
    if (path == base || base == QLatin1String("/"))
        return true;
    return path.startsWith(base) && path.at(base.size()) == QLatin1Char('/');
}

bool ScanMirrorFolder(const QString& dir, std::vector<MirrorLocalEntry>& entries, QString& error)
{
    entries.clear();
    const QByteArray path = QFile::encodeName(dir);
    DIR* d = ::opendir(path.constData());
    if (!d) {
        error = QStringLiteral("%1 cannot be opened: %2").arg(dir, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const QString self = QFileInfo(dir).canonicalFilePath();
    const int dfd = ::dirfd(d);
    bool ok = true;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(d);
        if (!e) {
            if (errno != 0) {
                error = QStringLiteral("%1 cannot be read: %2").arg(dir, QString::fromLocal8Bit(std::strerror(errno)));
                ok = false;
            }
            break;
        }
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        struct stat own;
        if (::fstatat(dfd, e->d_name, &own, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue;  // removed since it was read: it is not there
            error = QStringLiteral("%1 in %2 cannot be examined: %3")
                        .arg(QFile::decodeName(e->d_name), dir, QString::fromLocal8Bit(std::strerror(errno)));
            ok = false;
            break;
        }
        MirrorLocalEntry entry;
        entry.name = QFile::decodeName(e->d_name);
        entry.link = S_ISLNK(own.st_mode);
        if (QFile::encodeName(entry.name) != QByteArray(e->d_name)) {
            // Decoded with replacement characters: the name read back would
            // be another file's.
            entry.kind = MirrorLocalEntry::Other;
            entry.what = QStringLiteral("the name is not valid in this system's encoding");
            entries.push_back(std::move(entry));
            continue;
        }
        struct stat target = own;
        if (entry.link && ::fstatat(dfd, e->d_name, &target, 0) != 0) {
            entry.kind = MirrorLocalEntry::Other;
            entry.what = QStringLiteral("a link to nothing");
            entries.push_back(std::move(entry));
            continue;
        }
        entry.modified = QDateTime::fromSecsSinceEpoch(qint64(target.st_mtim.tv_sec));
        if (S_ISDIR(target.st_mode)) {
            entry.kind = MirrorLocalEntry::Directory;
            if (entry.link)
                entry.loops = PathAtOrBelow(self, QFileInfo(dir + QLatin1Char('/') + entry.name).canonicalFilePath());
        } else if (S_ISREG(target.st_mode)) {
            entry.kind = MirrorLocalEntry::File;
            entry.size = qint64(target.st_size);
        } else {
            entry.kind = MirrorLocalEntry::Other;
            entry.what = KindWord(target.st_mode);
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(d);
    if (!ok) {
        entries.clear();
        return false;
    }
    // By name, so a level's operations come in the same order on every run.
    std::sort(entries.begin(), entries.end(),
              [](const MirrorLocalEntry& a, const MirrorLocalEntry& b) { return a.name < b.name; });
    return true;
}
