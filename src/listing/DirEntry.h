#pragma once
// One parsed listing line. The rest of the program passes entries around as
// text: seven fields (Kind, Name, Size, Date, Time, Attributes, LinkTarget)
// separated by U+00A6. DirEntry is the typed form of that text.
#include <QString>
#include <QStringView>

// The field separator of an entry's text form (the broken bar).
inline constexpr QChar kDirEntrySeparator = QChar(0x00A6);

struct DirEntry {
    bool directory = false;  // Kind: "0" directory (or a link counted as one), "1" file
    QString name;
    QString size;
    QString date;
    QString time;
    QString attributes;
    QString linkTarget;

    // "Kind¦Name¦Size¦Date¦Time¦Attributes¦LinkTarget". A field holding the
    // separator itself (or the escape character U+0010) is escaped so the text
    // still splits into seven fields; for every other entry the text is the
    // plain seven-field form, byte for byte.
    QString toText() const;

    // Reads the text form back, undoing the escapes. Missing trailing fields
    // stay empty; a Kind other than "0" is a file.
    static DirEntry fromText(QStringView text);

    bool operator==(const DirEntry&) const = default;
};

// Escaping used inside one field of the text form: U+0010 followed by 'a'
// stands for U+00A6, U+0010 twice for U+0010. Exposed for consumers that
// split the text themselves.
QString escapeDirEntryField(const QString& field);
QString unescapeDirEntryField(QStringView field);
