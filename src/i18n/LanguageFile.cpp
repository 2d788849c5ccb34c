#include "i18n/LanguageFile.h"

#include "settings/Globals.h"
#include "settings/IniFile.h"
#include "settings/ShippedData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

QString DefaultLanguageName() { return QStringLiteral("language"); }
QString LanguageExtension() { return QStringLiteral(".lan"); }

TTextKey ParseTextKey(const QString& key)
{
    TTextKey k;
    const int dot = key.indexOf('.');
    if (dot < 0) {
        k.Component = key;
        return k;
    }
    k.Component = key.left(dot);
    const QString rest = key.mid(dot + 1);
    const int dot2 = rest.indexOf('.');
    if (dot2 < 0) {
        k.Property = rest;
        return k;
    }
    k.Property = rest.left(dot2);
    k.HasIndex = true;
    QString indexPart = rest.mid(dot2 + 1);
    const int dot3 = indexPart.indexOf('.');
    if (dot3 >= 0) {
        k.SubProperty = indexPart.mid(dot3 + 1);
        indexPart = indexPart.left(dot3);
    }
    bool ok = false;
    const int n = indexPart.trimmed().toInt(&ok);
    k.Index = ok ? n : -1;
    return k;
}

QString DecodeLangValue(const QString& fileValue)
{
    QString v = fileValue;
    return v.replace(QStringLiteral("~~"), QStringLiteral("\n"));
}

QString EncodeLangValue(const QString& text)
{
    QString v = text;
    v.replace(QStringLiteral("\r\n"), QStringLiteral("~~"));
    v.replace('\n', QStringLiteral("~~"));
    v.replace('\r', QStringLiteral("~~"));
    return v;
}

static QString dirOrProgramDir(const QString& dir)
{
    return WithTrailingSlash(dir.isEmpty() ? ProgramDir : dir);
}

TLangPairs ReadLanguageSection(const QString& filePath, const QString& section)
{
    if (!QFileInfo::exists(filePath)) {
        // First use of a language name: leave an empty file for the translator.
        QFile f(filePath);
        if (f.open(QIODevice::WriteOnly))
            f.close();
        return {};
    }
    QFile f(filePath);
    if (QFileInfo(filePath).isDir() || !f.open(QIODevice::ReadOnly))
        return {};
    // Read line by line rather than through the INI parser: a line without
    // "=" must address nothing, and the parser hands such a line the value
    // of the line before it.
    // A lone CR ends a line too, as it does for the INI parser that writes
    // these files: a value never keeps one.
    QByteArray raw = f.readAll();
    raw.replace("\r\n", "\n");
    raw.replace('\r', '\n');
    TLangPairs out;
    // Keys seen so far, case-folded: folded keys are equal exactly when the
    // keys compare equal without regard to case.
    QSet<QString> seen;
    bool inSection = false;
    for (QByteArray line : raw.split('\n')) {
        line.replace('\0', QByteArray());
        QString text = QString::fromUtf8(line);
        if (text.contains(QChar::ReplacementCharacter) && !line.contains("\xef\xbf\xbd"))
            text = QString::fromLatin1(line); // not UTF-8: an older file
        text = text.trimmed();
        if (text.startsWith('[')) {
            const int close = int(text.indexOf(']'));
            if (close > 0)
                inSection = text.mid(1, close - 1).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection || text.startsWith(';') || text.startsWith('#'))
            continue;
        const int eq = int(text.indexOf('='));
        if (eq <= 0)
            continue;
        const QString key = text.left(eq).trimmed();
        if (key.isEmpty())
            continue;
        const QString folded = key.toCaseFolded();
        if (seen.contains(folded))
            continue; // the first of a doubled key counts
        seen.insert(folded);
        out.append({key, text.mid(eq + 1).trimmed()});
    }
    return out;
}

bool WriteLanguageSection(const QString& filePath, const QString& section, const TLangPairs& pairs)
{
    TIniFile ini(filePath);
    for (const auto& p : pairs)
        ini.WriteString(section, p.first, p.second);
    return ini.UpdateFile();
}

// The file of the language in base whatever the case of its name, or "".
static QString findLanguageIn(const QString& base, const QString& name)
{
    const QString exact = base + name + LanguageExtension();
    if (QFileInfo::exists(exact))
        return exact;
    const QString wanted = (name + LanguageExtension()).toLower();
    const QStringList files = QDir(base).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& f : files) {
        if (f.toLower() == wanted)
            return base + f;
    }
    return QString();
}

// Where languages are looked for: the given directory alone, or the program's
// directory (the user's own files win) and then the shipped files.
static QStringList languageDirs(const QString& dir)
{
    QStringList dirs{dirOrProgramDir(dir)};
    if (dir.isEmpty()) {
        const QString shipped = ShippedDataDir();
        if (QDir(shipped).canonicalPath() != QDir(dirs.first()).canonicalPath())
            dirs << shipped;
    }
    return dirs;
}

QString LanguageFilePath(const QString& name, const QString& dir)
{
    const QStringList dirs = languageDirs(dir);
    for (const QString& base : dirs) {
        const QString found = findLanguageIn(base, name);
        if (!found.isEmpty())
            return found;
    }
    // A new file goes into the first directory, never among the shipped files.
    return dirs.first() + name + LanguageExtension();
}

bool LanguageFileExists(const QString& name, const QString& dir)
{
    return QFileInfo(LanguageFilePath(name, dir)).isFile();
}

QStringList ListLanguages(const QString& dir)
{
    const QString ext = LanguageExtension();
    const QString deflt = DefaultLanguageName() + ext;
    QStringList names;
    for (const QString& base : languageDirs(dir)) {
        const QStringList files = QDir(base).entryList(QDir::Files, QDir::Name);
        for (const QString& f : files) {
            const QString lower = f.toLower();
            if (!lower.endsWith(ext) || lower == deflt || lower.size() <= ext.size())
                continue;
            names << lower.left(lower.size() - ext.size());
        }
    }
    names.sort();
    names.removeDuplicates();
    return names;
}
