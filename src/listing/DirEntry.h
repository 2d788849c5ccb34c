#pragma once
// One parsed listing line. The rest of the program passes entries around as
// text: seven fields (Kind, Name, Size, Date, Time, Attributes, LinkTarget)
// separated by U+00A6. DirEntry is the typed form of that text.
//
// A listing can hold a million entries, so an entry is kept small: the six
// text fields live back to back in one string (one allocation per entry,
// none for an entry without text) and are told apart by their end offsets.
// The fields are read as views (cheap, for sorting, filtering and display)
// or as QStrings (a copy).
#include <QString>
#include <QStringView>
#include <cstdint>

// The field separator of an entry's text form (the broken bar).
inline constexpr QChar kDirEntrySeparator = QChar(0x00A6);

class DirEntry {
public:
    bool directory = false;  // Kind: "0" directory (or a link counted as one), "1" file

    DirEntry() = default;
    DirEntry(bool directory, QStringView name, QStringView size = {}, QStringView date = {},
             QStringView time = {}, QStringView attributes = {}, QStringView linkTarget = {});

    QStringView nameView() const { return field(Name); }
    QStringView sizeView() const { return field(Size); }
    QStringView dateView() const { return field(Date); }
    QStringView timeView() const { return field(Time); }
    QStringView attributesView() const { return field(Attributes); }
    QStringView linkTargetView() const { return field(LinkTarget); }

    QString name() const { return nameView().toString(); }
    QString size() const { return sizeView().toString(); }
    QString date() const { return dateView().toString(); }
    QString time() const { return timeView().toString(); }
    QString attributes() const { return attributesView().toString(); }
    QString linkTarget() const { return linkTargetView().toString(); }

    // Each setter rebuilds the one string; the value may be a view into this
    // entry itself.
    void setName(QStringView value) { setField(Name, value); }
    void setSize(QStringView value) { setField(Size, value); }
    void setDate(QStringView value) { setField(Date, value); }
    void setTime(QStringView value) { setField(Time, value); }
    void setAttributes(QStringView value) { setField(Attributes, value); }
    void setLinkTarget(QStringView value) { setField(LinkTarget, value); }

    // "Kind¦Name¦Size¦Date¦Time¦Attributes¦LinkTarget". A field holding the
    // separator itself (or the escape character U+0010) is escaped so the text
    // still splits into seven fields; for every other entry the text is the
    // plain seven-field form, byte for byte.
    QString toText() const;

    // Reads the text form back, undoing the escapes. Missing trailing fields
    // stay empty; a Kind other than "0" is a file.
    static DirEntry fromText(QStringView text);

    // The fields are packed the same way for equal values, so comparing the
    // members compares the fields.
    bool operator==(const DirEntry&) const = default;

private:
    enum Field { Name, Size, Date, Time, Attributes, LinkTarget, FieldCount };

    QStringView field(int f) const
    {
        const qsizetype begin = f == 0 ? 0 : m_end[f - 1];
        const qsizetype end = f == FieldCount - 1 ? m_text.size() : m_end[f];
        return QStringView(m_text.constData() + begin, end - begin);
    }
    void setField(Field f, QStringView value);
    void assign(const QStringView (&fields)[FieldCount]);

    // End of each field but the last in m_text (the last ends with it). 32
    // bits: a field may be longer than 65,535 characters.
    std::uint32_t m_end[FieldCount - 1] = {};
    QString m_text;
};

// Escaping used inside one field of the text form: U+0010 followed by 'a'
// stands for U+00A6, U+0010 twice for U+0010. Exposed for consumers that
// split the text themselves.
QString escapeDirEntryField(const QString& field);
QString unescapeDirEntryField(QStringView field);
