#include "session/RemotePaths.h"

#include <QDir>

QString RemoteDirPath(const QString& s, bool vhost)
{
    QString p = s.endsWith('/') ? s : s + '/';
    if (vhost && p.startsWith('/'))
        p.remove(0, 1);
    return p;
}

QString LocalDirPath(const QString& s)
{
    const QChar sep = QDir::separator();
    return s.endsWith(sep) ? s : s + sep;
}

static QString withoutTrailingSlash(const QString& p)
{
    return p.endsWith('/') ? p.left(p.size() - 1) : p;
}

QString RemoteParentOf(const QString& p)
{
    const QString s = withoutTrailingSlash(p);
    const int slash = s.lastIndexOf('/');
    return slash < 0 ? QString() : s.left(slash);
}

QString RemoteLeafOf(const QString& p)
{
    const QString s = withoutTrailingSlash(p);
    return s.mid(s.lastIndexOf('/') + 1);
}

QString WithSlash(const QString& p) { return p.endsWith('/') ? p : p + '/'; }

QString RemoteParentDir(const QString& dir)
{
    const QString parent = RemoteParentOf(dir);
    return parent.isEmpty() ? QStringLiteral("/") : parent;
}

QString VmsDirToPath(const QString& s)
{
    QString t = s.trimmed();
    if (!t.startsWith(QLatin1String("users:"), Qt::CaseInsensitive))
        return t;
    t.remove(0, 6);
    t.remove(0, t.indexOf('[') + 1);
    const int close = t.indexOf(']');
    if (close >= 0)
        t.truncate(close);
    return t.replace('.', '/');
}

bool IsOutsideHome(const QString& path, const QString& home)
{
    const bool below = !home.isEmpty() && home.size() < path.size()
                       && path.startsWith(home, Qt::CaseInsensitive) && path.at(home.size()) == '/';
    return !below;
}

QString QuotedDirectory(const QString& reply)
{
    const int open = reply.indexOf('"');
    if (open < 0)
        return QString();
    QString out;
    for (int i = open + 1; i < reply.size(); ++i) {
        if (reply[i] != '"') {
            out += reply[i];
            continue;
        }
        if (i + 1 < reply.size() && reply[i + 1] == '"') {
            out += '"';
            ++i;
            continue;
        }
        return out;
    }
    return out;  // no closing quote: the rest of the line
}

QStringList RemotePathComponents(const QString& dir)
{
    QString d = dir.startsWith('/') ? dir.mid(1) : dir;
    if (d.isEmpty())
        return {};
    if (d.endsWith('/'))
        d.chop(1);
    return d.split('/');
}

QString RemotePathOfItem(const QStringList& items, int i, bool vhost)
{
    QString path;
    for (int k = 2; k <= i && k < items.size(); ++k)
        path += (vhost && k == 2 ? QString() : QStringLiteral("/")) + items[k];
    return path;
}
