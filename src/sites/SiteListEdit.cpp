#include "sites/SiteListEdit.h"

#include "settings/Globals.h"
#include "sites/SiteLine.h"
#include "sites/SiteListFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// A list file's bytes and where its lines lie, split the way ReadTextLines
// splits them.
struct RawList {
    QByteArray data;
    struct Line {
        qsizetype start, length;
    };
    QList<Line> lines;

    // The line end the file already uses, for lines added to it.
    QByteArray lineEnd() const { return data.contains("\r\n") ? "\r\n" : "\n"; }
    QString text(const Line& l) const { return DecodeListLine(QByteArrayView(data.constData() + l.start, l.length)); }
};

bool readRaw(const QString& path, RawList& list, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!file.exists())
            return true;  // no list yet: an empty one
        // There, but unreadable: writing it would drop its sites.
        if (error)
            *error = QStringLiteral("cannot read ") + path;
        return false;
    }
    list.data = file.readAll();
    const QByteArray& d = list.data;
    qsizetype start = 0;
    while (start < d.size()) {
        qsizetype end = start;
        while (end < d.size() && d[end] != '\n' && d[end] != '\r')
            ++end;
        if (end > start && end - start <= MaxSiteListLine)
            list.lines.append({start, end - start});
        if (end < d.size() && d[end] == '\r' && end + 1 < d.size() && d[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return true;
}

bool isFolderLine(const QString& line)
{
    return line.left(4).compare(QLatin1String("dir="), Qt::CaseInsensitive) == 0;
}

bool appendLine(const QString& path, RawList& list, const QString& line, QString* error)
{
    QByteArray data = list.data;
    if (!data.isEmpty() && !data.endsWith('\n') && !data.endsWith('\r'))
        data += list.lineEnd();
    data += line.toUtf8() + list.lineEnd();
    return WriteTextFile(path, data, error);
}

} // namespace

bool EnsureSiteFolder(const QString& folder, QString* error)
{
    QString parent;
    const QStringList names = folder.split('/', Qt::SkipEmptyParts);
    for (const QString& name : names) {
        if (!IsSafeFolderName(name)) {
            if (error)
                *error = QStringLiteral("not a folder name: ") + name;
            return false;
        }
        const QString parentDir = SiteFolderDir(parent);
        const QString path = SiteListPath(parentDir);
        RawList list;
        if (!readRaw(path, list, error))
            return false;
        bool listed = false;
        for (const RawList::Line& l : list.lines) {
            const QString text = list.text(l);
            listed = listed || (isFolderLine(text) && text.mid(4) == name);
        }
        const QString dir = parentDir + name;
        if (!QDir().mkpath(dir)) {
            if (error)
                *error = QStringLiteral("cannot create ") + dir;
            return false;
        }
        if (!listed && !appendLine(path, list, QStringLiteral("DIR=") + name, error))
            return false;
        parent += name + '/';
    }
    return true;
}

TEnsureSiteResult EnsureSavedSite(const QString& folder, const TFTPServerObj& site, QString* error)
{
    const QString path = SiteListPath(SiteFolderDir(folder));
    RawList list;
    if (!readRaw(path, list, error))
        return TEnsureSiteResult::Failed;
    // Names are read back cut to their field size: compare what a read gives.
    const QString name = site.Name.left(sitelimits::Name);
    for (const RawList::Line& l : list.lines) {
        const QString text = list.text(l);
        TFTPServerObj stored;
        if (isFolderLine(text) || !ReadSiteLine(stored, text) || stored.Name != name)
            continue;
        if (stored.Port == site.Port)
            return TEnsureSiteResult::Unchanged;
        stored.Password = ScramblePassword(stored.Password);  // SiteLine scrambles it again
        stored.Port = site.Port;
        QByteArray data = list.data;
        data.replace(l.start, l.length, SiteLine(stored).toUtf8());
        return WriteTextFile(path, data, error) ? TEnsureSiteResult::PortChanged : TEnsureSiteResult::Failed;
    }
    return appendLine(path, list, SiteLine(site), error) ? TEnsureSiteResult::Added : TEnsureSiteResult::Failed;
}
