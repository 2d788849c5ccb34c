#include "sites/SiteListFile.h"

#include "settings/Globals.h"
#include "sites/SiteKeyring.h"
#include "sites/SiteLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>

QString DecodeListLine(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

QStringList ReadTextLines(const QString& path, bool* exists)
{
    QStringList lines;
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    if (exists)
        *exists = opened;
    if (!opened)
        return lines;
    const QByteArray data = file.readAll();
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = start;
        while (end < data.size() && data[end] != '\n' && data[end] != '\r')
            ++end;
        const qsizetype length = end - start;
        if (length > 0 && length <= MaxSiteListLine)
            lines += DecodeListLine(QByteArrayView(data.constData() + start, length));
        if (end < data.size() && data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

bool WriteTextLines(const QString& path, const QStringList& lines, QString* error)
{
    QByteArray data;
    for (const QString& line : lines) {
        data += line.toUtf8();
        data += '\n';
    }
    return WriteTextFile(path, data, error);
}

bool WriteTextFile(const QString& path, const QByteArray& data, QString* error)
{
    const bool isNew = !QFileInfo::exists(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // A new list holds passwords (scrambled, not encrypted): only its owner
    // may read it. An existing file keeps the permissions it has.
    if (isNew)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(data) != data.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool IsSafeFolderName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains('/') && !name.contains(QChar(0));
}

QString SiteFolderDir(const QString& folder)
{
    return ProgramDir + folder;
}

QString SiteListPath(const QString& dir)
{
    const QString exact = WithTrailingSlash(dir) + SiteListFileName;
    if (QFileInfo(exact).isFile())
        return exact;
    const QStringList found = QDir(dir).entryList({SiteListFileName}, QDir::Files | QDir::Hidden);
    for (const QString& name : found) {
        if (name.compare(SiteListFileName, Qt::CaseInsensitive) == 0)
            return WithTrailingSlash(dir) + name;
    }
    return exact;
}

static bool isFolderLine(const QString& line)
{
    return line.left(4).toLower() == QLatin1String("dir=");
}

std::vector<TSiteListItem> ReadSiteList(const QString& folder, const TSiteDefaults& defaults,
                                        bool* unreadable)
{
    std::vector<TSiteListItem> items;
    const QString path = SiteListPath(SiteFolderDir(folder));
    bool opened = false;
    const QStringList lines = ReadTextLines(path, &opened);
    if (unreadable)
        *unreadable = !opened && QFileInfo::exists(path);
    for (const QString& line : lines) {
        TSiteListItem item;
        if (isFolderLine(line)) {
            item.Caption = line.mid(4);
        } else {
            auto site = std::make_unique<TFTPServerObj>();
            if (!ReadSiteLine(*site, line, defaults))
                continue;
            site->Password = ScramblePassword(site->Password);
            item.Caption = site->Name;
            item.Site = std::move(site);
        }
        items.push_back(std::move(item));
    }
    return items;
}

QString SiteListLine(const TSiteListItem& item)
{
    return item.IsFolder() ? QStringLiteral("DIR=") + item.Caption : SiteLine(*item.Site);
}

bool AppendSiteLine(const QString& dir, const QString& line, QString* error)
{
    const QString path = SiteListPath(dir);
    bool exists = false;
    QStringList lines = ReadTextLines(path, &exists);
    if (!exists && QFileInfo::exists(path)) {
        // There, but unreadable: rewriting it would drop its sites.
        if (error)
            *error = QStringLiteral("cannot read ") + path;
        return false;
    }
    lines += line;
    return WriteTextLines(path, lines, error);
}

static void walkFolder(const QString& folder, int depth, QSet<QString>& seen,
                       const std::function<void(const QString&, const TFTPServerObj&)>& visit,
                       const TSiteDefaults& defaults)
{
    const QString real = QFileInfo(SiteFolderDir(folder)).canonicalFilePath();
    if (real.isEmpty() || seen.contains(real))
        return;
    seen.insert(real);
    const std::vector<TSiteListItem> items = ReadSiteList(folder, defaults);
    for (const TSiteListItem& item : items) {
        if (!item.IsFolder())
            visit(folder, *item.Site);
    }
    if (depth >= MaxSiteFolderDepth)
        return;
    for (const TSiteListItem& item : items) {
        if (item.IsFolder() && IsSafeFolderName(item.Caption))
            walkFolder(folder + item.Caption + '/', depth + 1, seen, visit, defaults);
    }
}

void ForEachSavedSite(const std::function<void(const QString&, const TFTPServerObj&)>& visit,
                      const TSiteDefaults& defaults)
{
    QSet<QString> seen;
    walkFolder(QString(), 0, seen, visit, defaults);
}

std::optional<TFTPServerObj> FindSavedSite(const QString& path, const TSiteDefaults& defaults)
{
    QString rest = path;
    while (rest.startsWith('/'))
        rest.remove(0, 1);
    QString folder;
    for (int depth = 0; !rest.isEmpty() && depth <= MaxSiteFolderDepth; ++depth) {
        const std::vector<TSiteListItem> items = ReadSiteList(folder, defaults);
        for (const TSiteListItem& item : items) {
            if (!item.IsFolder() && item.Site->Name == rest) {
                TFTPServerObj site = *item.Site;
                FetchSitePassword(site);  // when it fails the password is asked
                return site;
            }
        }
        const qsizetype slash = rest.indexOf('/');
        if (slash < 0)
            return std::nullopt;
        const QString name = rest.left(slash);
        const bool listed = std::any_of(items.begin(), items.end(), [&](const TSiteListItem& item) {
            return item.IsFolder() && item.Caption == name;
        });
        if (!listed || !IsSafeFolderName(name))
            return std::nullopt;
        folder += name + '/';
        rest.remove(0, slash + 1);
    }
    return std::nullopt;
}
