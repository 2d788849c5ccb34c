#include "listing/DirEntry.h"

#include <cstring>

namespace {
constexpr QChar kEscape = QChar(0x0010);  // DLE: "data link escape"

bool needsEscape(QStringView field)
{
    return field.contains(kDirEntrySeparator) || field.contains(kEscape);
}

void appendEscaped(QString& out, QStringView field)
{
    if (!needsEscape(field)) {
        out += field;
        return;
    }
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
}
} // namespace

QString escapeDirEntryField(const QString& field)
{
    if (!needsEscape(field))
        return field;
    QString out;
    out.reserve(field.size() + 8);
    appendEscaped(out, field);
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

DirEntry::DirEntry(bool isDirectory, QStringView name, QStringView size, QStringView date,
                   QStringView time, QStringView attributes, QStringView linkTarget)
    : directory(isDirectory)
{
    const QStringView fields[FieldCount] = {name, size, date, time, attributes, linkTarget};
    assign(fields);
}

// Packs the fields into one new string. The old string is released only
// afterwards, so the fields may be views into it.
void DirEntry::assign(const QStringView (&fields)[FieldCount])
{
    qsizetype total = 0;
    for (QStringView f : fields)
        total += f.size();
    QString text;
    if (total > 0) {
        text = QString(total, Qt::Uninitialized);
        QChar* out = text.data();
        qsizetype at = 0;
        for (int i = 0; i < FieldCount; ++i) {
            if (!fields[i].isEmpty())
                std::memcpy(out + at, fields[i].data(), size_t(fields[i].size()) * sizeof(QChar));
            at += fields[i].size();
            if (i < FieldCount - 1)
                m_end[i] = std::uint32_t(at);
        }
    } else {
        for (std::uint32_t& end : m_end)
            end = 0;
    }
    m_text = std::move(text);
}

void DirEntry::setField(Field f, QStringView value)
{
    QStringView fields[FieldCount];
    for (int i = 0; i < FieldCount; ++i)
        fields[i] = i == f ? value : field(i);
    assign(fields);
}

QString DirEntry::toText() const
{
    QString out;
    out.reserve(m_text.size() + 8);
    out += directory ? QLatin1Char('0') : QLatin1Char('1');
    for (int i = 0; i < FieldCount; ++i) {
        out += kDirEntrySeparator;
        appendEscaped(out, field(i));
    }
    return out;
}

DirEntry DirEntry::fromText(QStringView text)
{
    QStringView views[FieldCount];
    QString unescaped[FieldCount];  // only for fields that carry escapes
    bool directory = false;
    int index = 0;
    qsizetype start = 0;
    while (index < 7) {
        qsizetype end = text.indexOf(kDirEntrySeparator, start);
        // The last field runs to the end of the text.
        if (end < 0 || index == 6)
            end = text.size();
        QStringView field = text.mid(start, end - start);
        if (index == 0) {
            directory = field == QLatin1String("0");
        } else if (field.contains(kEscape)) {
            unescaped[index - 1] = unescapeDirEntryField(field);
            views[index - 1] = unescaped[index - 1];
        } else {
            views[index - 1] = field;
        }
        ++index;
        if (end >= text.size())
            break;
        start = end + 1;
    }
    DirEntry e;
    e.directory = directory;
    e.assign(views);
    return e;
}
