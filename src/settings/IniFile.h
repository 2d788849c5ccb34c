#pragma once
// A private-profile (INI) file held in memory, with the reading rules of the
// program's settings files:
//  - section and key names compare case-insensitively;
//  - values are the raw text after "=" (commas and quotes are kept);
//  - sections and keys the program does not know, comments and their order
//    survive a save; an existing key is updated in place, a new key goes to
//    the end of its section, a new section to the end of the file;
//  - the file is read as UTF-8, any line that is not valid UTF-8 as Latin-1;
//    binary garbage is tolerated (NUL bytes are dropped);
//  - a key that occurs twice yields its first value.
// Nothing is written until UpdateFile(), which replaces the file atomically.
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>

class TIniFile {
public:
    // Loads fileName at once. A missing or unreadable file is an empty file.
    explicit TIniFile(const QString& fileName);
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const QString& FileName() const { return m_fileName; }
    // True when the file existed and could be read.
    bool Loaded() const { return m_loaded; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Decimal, or hexadecimal with a "0x" or "$" prefix (up to 32 bits, taken
    // as a signed 32-bit value); anything else, including an out-of-range
    // number, gives def.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // Any non-zero integer is true; text that is not an integer gives def.
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    // Decimal text with "." (a "," is accepted too); anything else gives def.
    double ReadFloat(const QString& section, const QString& key, double def) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value); // "1" / "0"
    void WriteFloat(const QString& section, const QString& key, double value);

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    QStringList ReadSections() const;                     // in file order
    QStringList ReadSection(const QString& section) const; // key names, in file order
    // "key=value" lines of a section, in file order (first value of a doubled key).
    QStringList ReadSectionValues(const QString& section) const;
    QList<QPair<QString, QString>> ReadSectionPairs(const QString& section) const;

    void EraseSection(const QString& section);
    void DeleteKey(const QString& section, const QString& key);

    // Writes the whole file (UTF-8) to a temporary file beside it and renames
    // it over the old one, keeping the old file's permissions. Returns false,
    // leaving the old file untouched, when that fails.
    bool UpdateFile();
    // Text of the file as UpdateFile would write it.
    QByteArray ToBytes() const;

    // The integer reading rule of ReadInteger on a bare text.
    static bool ParseInteger(const QString& text, int& value);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    QString m_fileName;
    bool m_loaded = false;
};
