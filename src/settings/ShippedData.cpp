#include "settings/ShippedData.h"

#include "settings/Globals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

static bool holdsShippedFiles(const QDir& dir)
{
    return QFileInfo(dir.filePath(QStringLiteral("help/index.html"))).isFile()
        || !dir.entryList({QStringLiteral("*.lan")}, QDir::Files).isEmpty();
}

QString ShippedDataDirFor(const QString& exeDir)
{
    const QDir beside(exeDir);
    if (holdsShippedFiles(beside))
        return WithTrailingSlash(beside.absolutePath());
    // The layout of an installed program: <prefix>/bin and <prefix>/share/varnoth.
    const QFileInfo shared(beside.filePath(QStringLiteral("../share/varnoth")));
    if (shared.isDir())
        return WithTrailingSlash(shared.canonicalFilePath());
    return WithTrailingSlash(beside.absolutePath());
}

QString ShippedDataDir()
{
    const QString fromEnv = qEnvironmentVariable("VARNOTH_DATA_DIR");
    if (!fromEnv.isEmpty())
        return WithTrailingSlash(QFileInfo(fromEnv).absoluteFilePath());
    return ShippedDataDirFor(QCoreApplication::applicationDirPath());
}

QString HelpPagePath()
{
    return ShippedDataDir() + QStringLiteral("help/index.html");
}
