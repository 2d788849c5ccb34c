#include "listing/DirEntry.h"

namespace {
constexpr QChar kEscape = QChar(0x0010);  // DLE: "data link escape"
}

QString escapeDirEntryField(const QString& field)
{
    if (!field.contains(kDirEntrySeparator) && !field.contains(kEscape))
        return field;
    QString out;
    out.reserve(field.size() + 8);
    for (QChar c : field) {
        if (c == kDirEntrySeparator) {
            out += kEscape;
            out += QLatin1Char('a');
        } else if (c == kEscape) {
            out += kEscape;
            out += kEscape;
        } else {
            out += c;
        }
    }
    return out;
}

QString unescapeDirEntryField(QStringView field)
{
    if (!field.contains(kEscape))
        return field.toString();
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        QChar c = field[i];
        if (c == kEscape && i + 1 < field.size()) {
            QChar next = field[++i];
            out += next == QLatin1Char('a') ? kDirEntrySeparator : next;
        } else {
            out += c;
        }
    }
    return out;
}

QString DirEntry::toText() const
{
    QString out;
    out.reserve(name.size() + size.size() + date.size() + time.size() + attributes.size()
                + linkTarget.size() + 8);
    out += directory ? QLatin1Char('0') : QLatin1Char('1');
    for (const QString* f : {&name, &size, &date, &time, &attributes, &linkTarget}) {
        out += kDirEntrySeparator;
        out += escapeDirEntryField(*f);
    }
    return out;
}

DirEntry DirEntry::fromText(QStringView text)
{
    DirEntry e;
    QString* fields[] = {nullptr, &e.name, &e.size, &e.date, &e.time, &e.attributes, &e.linkTarget};
    int index = 0;
    qsizetype start = 0;
    while (index < 7) {
        qsizetype end = text.indexOf(kDirEntrySeparator, start);
        // The last field runs to the end of the text.
        if (end < 0 || index == 6)
            end = text.size();
        QStringView field = text.mid(start, end - start);
        if (index == 0)
            e.directory = field == QLatin1String("0");
        else
            *fields[index] = unescapeDirEntryField(field);
        ++index;
        if (end >= text.size())
            break;
        start = end + 1;
    }
    return e;
}
