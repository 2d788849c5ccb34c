#include "session/MirrorJob.h"

#include "settings/Globals.h"
#include "settings/IniFile.h"

#include <QFileInfo>

TMirrorJob MirrorJob;

namespace {

const QString kSection = QStringLiteral("Mirror");

// The key's number when it is one from 0 to max, else current.
int readChoice(const TIniFile& ini, const char* key, int max, int current)
{
    const QString text = ini.ReadString(kSection, QLatin1String(key), QString()).trimmed();
    int value = 0;
    if (!TIniFile::ParseInteger(text, value) || value < 0 || value > max)
        return current;
    return value;
}

} // namespace

QString DefaultMirrorJobFile() { return ProgramDir + QStringLiteral("Default.cpf"); }

bool LoadMirrorJob(const QString& fileName)
{
    if (!QFileInfo(fileName).isFile())
        return false;
    const TIniFile ini(fileName);
    TMirrorJob& job = MirrorJob;
    job.Local = ini.ReadString(kSection, QStringLiteral("Local"), job.Local);
    job.Remote = ini.ReadString(kSection, QStringLiteral("Remote"), job.Remote);
    job.Exclusions = ini.ReadString(kSection, QStringLiteral("Exclusions"), job.Exclusions);
    job.Direction = readChoice(ini, "Direction", mirror::MirrorBoth, job.Direction);
    job.FileExists = readChoice(ini, "File Exists", mirror::Ask, job.FileExists);
    const QString params = ini.ReadString(kSection, QStringLiteral("Params"), QString()).trimmed();
    int value = 0;
    if (TIniFile::ParseInteger(params, value) && value >= 0)
        job.Params = value & mirror::AllParams;
    return true;
}

bool SaveMirrorJob(const QString& fileName)
{
    TIniFile ini(fileName);
    const TMirrorJob& job = MirrorJob;
    ini.WriteString(kSection, QStringLiteral("Local"), job.Local);
    ini.WriteString(kSection, QStringLiteral("Remote"), job.Remote);
    ini.WriteString(kSection, QStringLiteral("Exclusions"), job.Exclusions);
    ini.WriteInteger(kSection, QStringLiteral("Direction"), job.Direction);
    ini.WriteInteger(kSection, QStringLiteral("File Exists"), job.FileExists);
    ini.WriteInteger(kSection, QStringLiteral("Params"), job.Params & mirror::AllParams);
    return ini.UpdateFile();
}

QStringList SplitExclusions(const QString& text)
{
    QStringList items;
    for (const QString& piece : text.split(QLatin1Char('|'))) {
        const QString item = piece.trimmed();
        if (!item.isEmpty())
            items << item;
    }
    return items;
}

QString JoinExclusions(const QStringList& items)
{
    QStringList kept;
    for (const QString& item : items)
        if (!item.trimmed().isEmpty())
            kept << item.trimmed();
    return kept.join(QLatin1Char('|'));
}
