#include "settings/IniFile.h"

#include <QFile>
#include <QSaveFile>

// Text is UTF-8 throughout (normalised on reading), so the char interface
// needs no converter.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <algorithm>
#include <cmath>
#include <list>
#include <string>

struct TIniFile::Impl {
    // CSimpleIniA compares section and key names case-insensitively. Multi-key
    // mode keeps a doubled key as it is in the file; GetValue yields the first.
    CSimpleIniA ini{/*utf8*/ true, /*multiKey*/ true, /*multiLine*/ false};
};

namespace {

std::string toStd(const QString& s)
{
    return s.toUtf8().toStdString();
}

// A value must stay on its line: a line break in it would start a new key or
// section when the file is read again.
std::string valueToStd(const QString& value)
{
    QString v = value;
    for (QChar& c : v)
        if (c == '\r' || c == '\n' || c == QChar(0))
            c = ' ';
    return toStd(v);
}

bool isValidUtf8(const QByteArray& line)
{
    const auto* p = reinterpret_cast<const unsigned char*>(line.constData());
    const qsizetype n = line.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        int more = 0;
        quint32 cp = 0;
        if (c < 0x80) { ++i; continue; }
        if (c >= 0xC2 && c <= 0xDF) { more = 1; cp = c & 0x1F; }
        else if (c >= 0xE0 && c <= 0xEF) { more = 2; cp = c & 0x0F; }
        else if (c >= 0xF0 && c <= 0xF4) { more = 3; cp = c & 0x07; }
        else return false;
        if (i + more >= n) // the sequence runs past the end of the line
            return false;
        for (int k = 1; k <= more; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((more == 2 && cp < 0x800) || (more == 3 && (cp < 0x10000 || cp > 0x10FFFF))
            || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

// A line that is neither blank, a comment, a section header nor "key=value"
// becomes "line=": the parser's key-only mode would otherwise hand such a
// line the value of the key before it. The line survives a save as a key
// with an empty value.
void makeKeyOnlyExplicit(QByteArray& line)
{
    const bool cr = line.endsWith('\r');
    const QByteArray body = (cr ? line.left(line.size() - 1) : line).trimmed();
    if (body.startsWith('[') && !body.contains(']')) {
        // A header that never closes names no section: the parser would take
        // the lines after it as part of the name. It is left out.
        line.clear();
        return;
    }
    if (body.isEmpty() || body.contains('=') || body.startsWith(';') || body.startsWith('#')
        || body.startsWith('['))
        return;
    line.insert(cr ? line.size() - 1 : line.size(), '=');
}

// Turns the file's bytes into UTF-8 text for the parser: lines that are not
// valid UTF-8 are taken as Latin-1, NUL bytes (which would end the parser's
// text early and lose the rest of the file) are dropped.
QByteArray normalise(const QByteArray& file)
{
    // The parser ends a line at a lone CR as well: so does every rule here.
    QByteArray raw = file;
    raw.replace("\r\n", "\n");
    raw.replace('\r', '\n');
    QByteArray out;
    out.reserve(raw.size() + raw.size() / 8);
    qsizetype start = 0;
    while (start < raw.size()) {
        qsizetype end = raw.indexOf('\n', start);
        if (end < 0)
            end = raw.size();
        QByteArray line = raw.mid(start, end - start);
        line.replace('\0', QByteArray());
        makeKeyOnlyExplicit(line);
        if (isValidUtf8(line))
            out += line;
        else
            out += QString::fromLatin1(line).toUtf8();
        if (end < raw.size())
            out += '\n';
        start = end + 1;
    }
    return out;
}

// Reads an integer value. Blanks around it are ignored; then an optional "+"
// or "-"; then either decimal digits, whose signed value must lie in
// -2147483648..2147483647, or "$" or "0x"/"0X" and 1 to 8 hex digits (either
// case), taken as a 32-bit pattern ("$FFFFFFFF" is -1) that a "-" negates.
// Anything else (empty text, other characters, more hex digits, a decimal
// value out of range) is not an integer: false, and out is left alone.
bool parseIntegerText(const QString& text, int& out)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith('-') || t.startsWith('+')) {
        negative = t.startsWith('-');
        t.remove(0, 1);
    }
    bool hex = false;
    if (t.startsWith('$')) {
        hex = true;
        t.remove(0, 1);
    } else if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        hex = true;
        t.remove(0, 2);
    }
    if (t.isEmpty())
        return false;
    for (QChar c : t) {
        const bool ok = hex ? (c.isDigit() || QStringLiteral("abcdefABCDEF").contains(c))
                            : (c >= '0' && c <= '9');
        if (!ok)
            return false;
    }
    bool ok = false;
    if (hex) {
        if (t.size() > 8)
            return false;
        const quint32 v = t.toUInt(&ok, 16);
        if (!ok)
            return false;
        const qint64 s = negative ? -qint64(qint32(v)) : qint64(qint32(v));
        out = int(qint32(quint32(s)));
        return true;
    }
    const qint64 v = t.toLongLong(&ok, 10);
    if (!ok)
        return false;
    const qint64 s = negative ? -v : v;
    if (s < INT32_MIN || s > INT32_MAX)
        return false;
    out = int(s);
    return true;
}

} // namespace

TIniFile::TIniFile(const QString& fileName)
    : d(std::make_unique<Impl>())
    , m_fileName(fileName)
{
    d->ini.SetSpaces(false);       // "key=value", as the program always wrote it
    d->ini.SetAllowKeyOnly(false); // every key is written with "=", also when empty
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray text = normalise(f.readAll());
    if (f.error() != QFileDevice::NoError)
        return;
    m_loaded = d->ini.LoadData(text.constData(), size_t(text.size())) >= 0;
}

TIniFile::~TIniFile() = default;

bool TIniFile::ParseInteger(const QString& text, int& value)
{
    return parseIntegerText(text, value);
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    const char* v = d->ini.GetValue(toStd(section).c_str(), toStd(key).c_str(), nullptr);
    return v ? QString::fromUtf8(v) : def;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const
{
    int v = 0;
    return parseIntegerText(ReadString(section, key, QString()), v) ? v : def;
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(const QString& section, const QString& key, double def) const
{
    QString t = ReadString(section, key, QString()).trimmed();
    t.replace(',', '.');
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok && std::isfinite(v) ? v : def;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    const std::string sec = toStd(section);
    // An existing key keeps its spelling: the replacement below would
    // otherwise rename "Key" to the caller's "KEY".
    std::string name = toStd(key);
    CSimpleIniA::TNamesDepend keys;
    if (d->ini.GetAllKeys(sec.c_str(), keys)) {
        keys.sort(CSimpleIniA::Entry::LoadOrder());
        for (const auto& e : keys)
            if (QString::fromUtf8(e.pItem).compare(key, Qt::CaseInsensitive) == 0) {
                name = e.pItem; // a copy: the replacement frees the stored name
                break;
            }
    }
    // forceReplace: a doubled key collapses to one line at the first one's place.
    d->ini.SetValue(sec.c_str(), name.c_str(), valueToStd(value).c_str(), nullptr,
                    /*forceReplace*/ true);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::WriteFloat(const QString& section, const QString& key, double value)
{
    WriteString(section, key, QString::number(value, 'g', 15));
}

bool TIniFile::SectionExists(const QString& section) const
{
    return d->ini.GetSection(toStd(section).c_str()) != nullptr;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const
{
    return d->ini.GetValue(toStd(section).c_str(), toStd(key).c_str(), nullptr) != nullptr;
}

QStringList TIniFile::ReadSections() const
{
    CSimpleIniA::TNamesDepend names;
    d->ini.GetAllSections(names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    QStringList out;
    for (const auto& e : names)
        out << QString::fromUtf8(e.pItem);
    return out;
}

QStringList TIniFile::ReadSection(const QString& section) const
{
    QStringList out;
    for (const auto& kv : ReadSectionPairs(section))
        out << kv.first;
    return out;
}

QStringList TIniFile::ReadSectionValues(const QString& section) const
{
    QStringList out;
    for (const auto& kv : ReadSectionPairs(section))
        out << kv.first + '=' + kv.second;
    return out;
}

QList<QPair<QString, QString>> TIniFile::ReadSectionPairs(const QString& section) const
{
    QList<QPair<QString, QString>> out;
    CSimpleIniA::TNamesDepend keys;
    if (!d->ini.GetAllKeys(toStd(section).c_str(), keys))
        return out;
    keys.sort(CSimpleIniA::Entry::LoadOrder());
    QStringList seen;
    for (const auto& e : keys) {
        const QString key = QString::fromUtf8(e.pItem);
        if (seen.contains(key, Qt::CaseInsensitive))
            continue;
        seen << key;
        const char* v = d->ini.GetValue(toStd(section).c_str(), e.pItem, "");
        out.append({key, QString::fromUtf8(v)});
    }
    return out;
}

void TIniFile::EraseSection(const QString& section)
{
    d->ini.Delete(toStd(section).c_str(), nullptr);
}

void TIniFile::DeleteKey(const QString& section, const QString& key)
{
    d->ini.Delete(toStd(section).c_str(), toStd(key).c_str());
}

QByteArray TIniFile::ToBytes() const
{
    std::string out;
    if (d->ini.Save(out, /*addSignature*/ false) < 0)
        return QByteArray();
    return QByteArray::fromStdString(out);
}

bool TIniFile::UpdateFile()
{
    std::string out;
    if (d->ini.Save(out, false) < 0)
        return false;
    // QSaveFile writes a temporary file in the same directory and renames it
    // over the old one on commit, so a crash mid-save leaves the old file; it
    // gives the new file the old one's permissions. No direct-write fallback:
    // when the directory refuses new files the save fails instead.
    QSaveFile f(m_fileName);
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(out.data(), qint64(out.size())) != qint64(out.size())) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}
