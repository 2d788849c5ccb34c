#include "sites/HostTypes.h"

#include "settings/Globals.h"
#include "sites/SiteListFile.h"
#include "sites/SiteRecord.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kAnswerFileName = QStringLiteral("Answer.txt");

} // namespace

QString BuildAnswer(int serverType, const QStringList& positions)
{
    QString code = QString::number(serverType);
    for (int i = 0; i < AnswerPositions; ++i) {
        bool ok = false;
        const int n = positions.value(i).trimmed().toInt(&ok);
        code += ok && n >= 0 && n <= 15 ? QString::number(n, 16) : QStringLiteral("0");
    }
    return code;
}

QStringList AnswerPositionTexts(const QString& code)
{
    QStringList out;
    for (int i = 1; i <= AnswerPositions; ++i) {
        const QChar c = i < code.size() ? code[i] : QChar('0');
        int n = 0;
        if (c >= '0' && c <= '9')
            n = c.unicode() - '0';
        else if (c >= 'a' && c <= 'f')
            n = c.unicode() - 'a' + 10;
        out << QString::number(n);
    }
    return out;
}

int AnswerServerType(const QString& code)
{
    if (code.size() != 7 || !code[0].isDigit() || code[0].unicode() > '9')
        return -1;
    return code[0].unicode() - '0';
}

// --- THostTypes ---

THostTypes::THostTypes(const QString& defaultName)
{
    items_.append({defaultName, DefaultAnswer});
}

QString THostTypes::Name(int index) const
{
    return index >= 0 && index < Count() ? items_[index].Name : QString();
}

QString THostTypes::Code(int index) const
{
    return index >= 0 && index < Count() ? items_[index].Code : DefaultAnswer;
}

int THostTypes::IndexOf(const QString& name) const
{
    for (int i = 0; i < Count(); ++i) {
        if (items_[i].Name == name)
            return i;
    }
    return -1;
}

int THostTypes::Add(const QString& name)
{
    items_.append({name, DefaultAnswer});
    return Count() - 1;
}

bool THostTypes::Rename(int index, const QString& name)
{
    if (index <= 0 || index >= Count())
        return false;
    items_[index].Name = name;
    return true;
}

bool THostTypes::Remove(int index)
{
    if (index <= 0 || index >= Count())
        return false;
    items_.removeAt(index);
    return true;
}

bool THostTypes::SetCode(int index, const QString& code)
{
    if (index <= 0 || index >= Count())
        return false;
    items_[index].Code = code;
    return true;
}

void THostTypes::ReadLines(const QStringList& lines)
{
    const QString defaultName = items_.first().Name;
    items_.clear();
    items_.append({defaultName, DefaultAnswer});
    bool first = true;
    for (const QString& line : lines) {
        const QStringList fields = SplitAnswerLine(line);
        if (fields.isEmpty() || fields[0].isEmpty())
            continue;
        if (first) {
            // The first line is the default type, whatever it says.
            first = false;
            continue;
        }
        QString code = fields.value(1, DefaultAnswer);
        if (code.size() != 7)
            code = DefaultAnswer;
        items_.append({fields[0], code});
    }
}

QStringList THostTypes::Lines() const
{
    QStringList out;
    for (const THostType& t : items_)
        out << QuoteAnswerName(t.Name) + ',' + t.Code;
    return out;
}

QStringList SplitAnswerLine(const QString& line)
{
    QStringList fields;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i <= n) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        QString field;
        if (i < n && line[i] == '"') {
            ++i;
            while (i < n) {
                if (line[i] == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            // Anything between the closing quote and the comma is dropped.
            while (i < n && line[i] != ',')
                ++i;
        } else {
            const qsizetype comma = line.indexOf(',', i);
            const qsizetype end = comma < 0 ? n : comma;
            field = line.mid(i, end - i).trimmed();
            i = end;
        }
        fields << field;
        if (i >= n)
            break;
        ++i; // the comma
        if (i == n) {
            fields << QString(); // a trailing comma ends an empty field
            break;
        }
    }
    return fields;
}

QString QuoteAnswerName(const QString& name)
{
    QString quoted = name;
    quoted.replace('"', QStringLiteral("\"\""));
    return '"' + quoted + '"';
}

QString AnswerFilePath()
{
    const QString exact = ProgramDir + kAnswerFileName;
    if (QFileInfo(exact).isFile())
        return exact;
    const QStringList found = QDir(ProgramDir).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : found) {
        if (name.compare(kAnswerFileName, Qt::CaseInsensitive) == 0)
            return ProgramDir + name;
    }
    return exact;
}

// --- THostTypeFile ---

THostTypeFile::THostTypeFile(const QString& defaultName, const QString& path)
    : path_(path), types_(defaultName), loaded_(defaultName)
{
    if (path_.isEmpty())
        return; // no file: the default type alone
    bool opened = false;
    const QStringList lines = ReadTextLines(path_, &opened);
    unreadable_ = !opened && QFileInfo::exists(path_);
    types_.ReadLines(lines);
    loaded_ = types_;
}

bool THostTypeFile::Save(QString* error)
{
    if (unreadable_) {
        if (error)
            *error = QStringLiteral("cannot read ") + path_;
        return false;
    }
    if (!Changed())
        return true;
    if (!WriteTextLines(path_, types_.Lines(), error))
        return false;
    loaded_ = types_;
    return true;
}
