#include "session/CustomCommands.h"

#include "session/KeepAlive.h"
#include "session/OptionsForm.h"
#include "sites/SiteListFile.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The lines of the file, a trailing CR of each removed (a file written on
// another system reads the same).
QStringList TextLines(const QByteArray& data)
{
    QStringList lines = QString::fromUtf8(data).split(QLatin1Char('\n'));
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the newline that ends the last line
    return lines;
}

} // namespace

bool TCustomCommands::LoadCommands(const QString& path)
{
    Labels.clear();
    Commands.clear();
    loadFailed_ = false;
    if (!QFileInfo::exists(path))
        return true;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || QFileInfo(path).isDir()) {
        loadFailed_ = true;
        return false;
    }
    const QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        loadFailed_ = true;
        return false;
    }
    const QStringList lines = TextLines(data);
    if (lines.size() < 2)
        return true;
    Labels = SplitCommaText(lines[0]);
    Commands = SplitCommaText(lines[1]);
    // One list shorter than the other (a file edited by hand): the missing
    // items are empty, so no entry is read past the end of its list.
    while (Labels.size() < Commands.size())
        Labels << QString();
    while (Commands.size() < Labels.size())
        Commands << QString();
    return true;
}

bool TCustomCommands::SaveCommands(const QString& path, QString* error) const
{
    if (loadFailed_) {
        if (error)
            *error = QStringLiteral("the file could not be read at start, so it is left as it is");
        return false;
    }
    const QByteArray data = (JoinCommaText(Labels) + '\n' + JoinCommaText(Commands) + '\n').toUtf8();
    return WriteTextFile(path, data, error);
}

QString CommandsFilePath(const QString& programDir) { return programDir + QStringLiteral("commands.txt"); }

QString TCommandHistory::DoIt(const QString& text)
{
    if (text.isEmpty())
        return QString();
    if (Items.isEmpty() || Selected < 0 || Selected >= Items.size() || Items[Selected] != text) {
        Items << text;
        Selected = int(Items.size()) - 1;
    }
    return Items[Selected];
}

bool TCommandHistory::AddChosen(const QString& command)
{
    if (command.trimmed().isEmpty())
        return false;
    Items << command;
    Selected = int(Items.size()) - 1;
    return true;
}
