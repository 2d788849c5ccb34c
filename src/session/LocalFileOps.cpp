#include "session/LocalFileOps.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("LocalFileOps", text);
}

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString joined(const QString& dir, const QString& name)
{
    return dir.endsWith(QLatin1Char('/')) ? dir + name : dir + QLatin1Char('/') + name;
}

// The entry itself, never what a link points to.
bool entryStat(const QString& path, struct stat& st)
{
    return lstat(native(path).constData(), &st) == 0;
}

// A rename that fails rather than replace an entry that exists. Where the
// file system lacks the flag, the check just before is the best there is.
int renameNoReplace(const QByteArray& from, const QByteArray& to)
{
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    struct stat st {};
    if (lstat(to.constData(), &st) == 0)
        return EEXIST;
    return std::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

// A name that stays inside the directory: no separator, not "." or "..".
bool plainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

} // namespace

LocalDeletePlan CollectLocalDelete(const QStringList& files, const QStringList& dirs)
{
    LocalDeletePlan plan;
    plan.files = files;
    // Real directories only; the device and inode pairs already taken keep a
    // directory reached twice (a bind mount) from being listed twice.
    QSet<QPair<quint64, quint64>> seen;
    for (const QString& d : dirs) {
        struct stat st {};
        if (entryStat(d, st) && !S_ISDIR(st.st_mode))
            plan.files << d;  // a link to a directory: unlinked, not entered
        else
            plan.dirs << d;
    }
    for (qsizetype i = 0; i < plan.dirs.size(); ++i) {
        const QString dir = plan.dirs[i];
        DIR* d = opendir(native(dir).constData());
        if (!d)
            continue;  // unreadable: removing it will fail and say so
        const int fd = dirfd(d);
        struct stat self {};
        if (fstat(fd, &self) == 0 && !seen.contains({quint64(self.st_dev), quint64(self.st_ino)})) {
            seen.insert({quint64(self.st_dev), quint64(self.st_ino)});
            while (const dirent* e = readdir(d)) {
                const char* n = e->d_name;
                if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                    continue;
                struct stat st {};
                if (fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                const QString path = joined(dir, QFile::decodeName(n));
                if (S_ISDIR(st.st_mode))
                    plan.dirs << path;
                else
                    plan.files << path;
            }
        }
        closedir(d);
    }
    return plan;
}

QString LocalDeleteQuestion(const QString& doYouWishToRemove, const QString& files, const QString& andWord,
                            const QString& folders, qsizetype fileCount, qsizetype dirCount)
{
    QString text = doYouWishToRemove + QLatin1Char(' ') + QString::number(fileCount) + QLatin1Char(' ') + files;
    if (dirCount > 0)
        text += QLatin1Char(' ') + andWord + QLatin1Char(' ') + QString::number(dirCount) + QLatin1Char(' ') + folders;
    return text;
}

QStringList ExecuteLocalDelete(const LocalDeletePlan& plan)
{
    QStringList failures;
    for (const QString& f : plan.files)
        if (unlink(native(f).constData()) != 0 && errno != ENOENT)
            failures << tr("Could not delete %1: %2").arg(f, systemError(errno));
    for (qsizetype i = plan.dirs.size() - 1; i >= 0; --i)
        if (rmdir(native(plan.dirs[i]).constData()) != 0 && errno != ENOENT)
            failures << tr("Could not remove the folder %1: %2").arg(plan.dirs[i], systemError(errno));
    return failures;
}

bool MakeLocalDir(const QString& dir, const QString& name, QString& path, QString& error)
{
    if (!plainName(name)) {
        error = tr("Could not create the folder \"%1\": a folder name cannot be empty, \".\", \"..\" or hold \"/\".")
                    .arg(name);
        return false;
    }
    const QString target = joined(dir, name);
    if (mkdir(native(target).constData(), 0777) != 0) {
        error = tr("Could not create the folder %1: %2").arg(target, systemError(errno));
        return false;
    }
    path = target;
    return true;
}

LocalRenameResult RenameLocal(const QString& dir, const QString& oldName, const QString& newText,
                              const std::function<bool(const QString& newName)>& confirmReplace, QString& error)
{
    if (newText.compare(oldName, Qt::CaseInsensitive) == 0)
        return LocalRenameResult::Unchanged;
    const QString newName = QFileInfo(newText).fileName();
    if (!plainName(newName)) {
        error = tr("Could not rename %1: \"%2\" is not a name.").arg(oldName, newText);
        return LocalRenameResult::Refused;
    }
    if (newName == oldName)
        return LocalRenameResult::Unchanged;
    const QString source = joined(dir, oldName), target = joined(dir, newName);
    struct stat from {}, to {};
    if (!entryStat(source, from)) {
        error = tr("Could not rename %1: %2").arg(source, systemError(errno));
        return LocalRenameResult::Failed;
    }
    if (entryStat(target, to)) {
        if (S_ISDIR(to.st_mode)) {
            error = tr("Could not rename %1 to %2: a folder of that name exists, and a folder is never replaced.")
                        .arg(oldName, newName);
            return LocalRenameResult::Refused;
        }
        if (S_ISDIR(from.st_mode)) {
            error = tr("Could not rename the folder %1 to %2: a file of that name exists.").arg(oldName, newName);
            return LocalRenameResult::Refused;
        }
        if (!confirmReplace(newName))
            return LocalRenameResult::Declined;
        // One rename: the old target is replaced only when the new one is in.
        if (std::rename(native(source).constData(), native(target).constData()) != 0) {
            error = tr("Could not rename %1 to %2: %3").arg(oldName, newName, systemError(errno));
            return LocalRenameResult::Failed;
        }
        return LocalRenameResult::Renamed;
    }
    if (const int err = renameNoReplace(native(source), native(target))) {
        error = tr("Could not rename %1 to %2: %3").arg(oldName, newName, systemError(err));
        return LocalRenameResult::Failed;
    }
    return LocalRenameResult::Renamed;
}

LocalRenameResult ChangeCaseLocal(const QString& dir, const QString& oldName, const QString& newName,
                                  const QSet<QString>& siblings, QString& error)
{
    if (newName == oldName)
        return LocalRenameResult::Unchanged;
    if (siblings.contains(newName) || !plainName(newName)) {
        error = tr("Could not rename %1 to %2: another entry already has that name.").arg(oldName, newName);
        return LocalRenameResult::Refused;
    }
    const int err = renameNoReplace(native(joined(dir, oldName)), native(joined(dir, newName)));
    if (err == EEXIST) {
        error = tr("Could not rename %1 to %2: another entry already has that name.").arg(oldName, newName);
        return LocalRenameResult::Refused;
    }
    if (err) {
        error = tr("Could not rename %1 to %2: %3").arg(oldName, newName, systemError(err));
        return LocalRenameResult::Failed;
    }
    return LocalRenameResult::Renamed;
}
