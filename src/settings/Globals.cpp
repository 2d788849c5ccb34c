#include "settings/Globals.h"

#include "settings/ShippedData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

QString ProgramDir;
bool LangOn = false;
bool LangInit = false;
QString LangFile = QStringLiteral("language");

QString WithTrailingSlash(const QString& dir)
{
    QString d = dir;
    while (d.size() > 1 && d.endsWith('/'))
        d.chop(1);
    return d.endsWith('/') ? d : d + '/';
}

static bool isWritableDir(const QString& dir)
{
    // QFileInfo::isWritable() only looks at permission bits; a read-only mount
    // or an ACL can still refuse, so try to create a file for real.
    QTemporaryFile probe(WithTrailingSlash(dir) + QStringLiteral(".varnoth-probe-XXXXXX"));
    return probe.open();
}

// An installed program (its shipped files in ../share/varnoth) never writes
// beside itself, even where it could (root and /usr/bin).
static bool isInstalled(const QString& exeDir)
{
    return QDir(ShippedDataDirFor(exeDir)).canonicalPath() != QDir(exeDir).canonicalPath();
}

QString DefaultProgramDir()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (!exeDir.isEmpty() && !isInstalled(exeDir) && isWritableDir(exeDir))
        return WithTrailingSlash(exeDir);
    // One per-user directory for the window and varnoth-cli alike, so that an
    // installed varnoth-cli sees the window's settings and sites.
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    data = (data.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : data) + QStringLiteral("/varnoth");
    QDir().mkpath(data);
    return WithTrailingSlash(data);
}

void InitProgramDir()
{
    const QString fromEnv = qEnvironmentVariable("VARNOTH_PROGRAM_DIR");
    if (!fromEnv.isEmpty()) {
        QDir().mkpath(fromEnv);
        ProgramDir = WithTrailingSlash(QFileInfo(fromEnv).absoluteFilePath());
    } else {
        ProgramDir = DefaultProgramDir();
    }
}
