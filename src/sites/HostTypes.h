#pragma once
// The server type and custom column layout of a site (its Answer code) and
// the user's named custom host types kept in "Answer.txt", without
// any widget: the site properties dialog shows what these functions compute.
//
// An Answer code is seven characters: the server type digit of the listing parser, then
// the 1-based token positions of Name, Size, Month, Day, Time and Attribute,
// each one lower-case hexadecimal digit ("0" for none).
#include <QList>
#include <QString>
#include <QStringList>

// The server type of the Custom layout, the one that uses the positions.
constexpr int CustomServerType = 4;
// The six position fields, in code order.
constexpr int AnswerPositions = 6;

// The code of a server type and six position fields as typed (decimal digits).
// A field that is empty, not a number or outside 0 to 15 gives "0"; 12 gives
// "c", which the listing parser treats as absent.
QString BuildAnswer(int serverType, const QStringList& positions);

// The six position fields of a code as decimal texts: characters 2 to 7, each
// a lower-case hexadecimal digit ("0" for anything else and for missing
// characters).
QStringList AnswerPositionTexts(const QString& code);

// The server type digit of a code, or -1 when the code is not exactly seven
// characters or does not start with a digit.
int AnswerServerType(const QString& code);

// One named custom host type.
struct THostType {
    QString Name;
    QString Code;
    bool operator==(const THostType&) const = default;
};

// The host types of "Answer.txt". Entry 0 is always the default type: named
// by the dialog's (translated) default name and holding DefaultAnswer; it can
// be neither renamed, re-coded nor removed.
class THostTypes {
public:
    explicit THostTypes(const QString& defaultName = QStringLiteral("Default"));

    int Count() const { return int(items_.size()); }
    const QList<THostType>& Items() const { return items_; }
    QString Name(int index) const;
    QString Code(int index) const;    // the default code outside the list
    int IndexOf(const QString& name) const; // first entry of that name, or -1

    // Appends a type with the default code; returns its index.
    int Add(const QString& name);
    // False (nothing changes) for entry 0 or an index outside the list.
    bool Rename(int index, const QString& name);
    bool Remove(int index);
    bool SetCode(int index, const QString& code);

    // The "Answer.txt" lines, read this way: the
    // first field of a line is a name, the second (if any) its code, else the
    // default code. The first entry becomes the default type (name and code);
    // with no lines there is just the default type. Codes that are not seven
    // characters become the default code; lines with an empty name are passed
    // by.
    void ReadLines(const QStringList& lines);
    // One line per type: the name in double quotes (a quote inside doubled),
    // a comma and the code.
    QStringList Lines() const;

    bool operator==(const THostTypes& other) const { return items_ == other.items_; }

private:
    QList<THostType> items_;
};

// Splits one "Answer.txt" line into its comma-separated fields. A field that
// starts with a double quote runs to the closing quote, two quotes inside it
// standing for one; other fields run to the next comma and are trimmed.
QStringList SplitAnswerLine(const QString& line);
// The quoted form of a name: "say ""hi""".
QString QuoteAnswerName(const QString& name);

// "Answer.txt" in the program's directory (an existing file whose name
// differs only in case is taken as it is).
QString AnswerFilePath();

// The host types file as one dialog run uses it: read once when the dialog
// opens, written back only when the types were changed, and never when the
// file is there but could not be read (that would lose the user's types).
class THostTypeFile {
public:
    // Reads path (default AnswerFilePath()). A missing file, or an empty
    // path, gives the default type alone.
    explicit THostTypeFile(const QString& defaultName, const QString& path = AnswerFilePath());

    THostTypes& Types() { return types_; }
    const THostTypes& Types() const { return types_; }
    const QString& Path() const { return path_; }
    bool Unreadable() const { return unreadable_; }
    // True when the types differ from what was read.
    bool Changed() const { return !(types_ == loaded_); }

    // Writes the types through a new file renamed over the old one when they
    // changed. True when the file holds the types afterwards (also when there
    // was nothing to write); false, writing nothing, for a file that could not
    // be read or a write that failed (error says why).
    bool Save(QString* error = nullptr);

private:
    QString path_;
    THostTypes types_, loaded_;
    bool unreadable_ = false;
};
