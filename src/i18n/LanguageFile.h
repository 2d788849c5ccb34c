#pragma once
// Language files: one INI file per language in the program's directory,
// "<name>.lan", with one section per window class (upper case) and one line
// per translated text. This layer knows the file format and the key syntax;
// applying texts to widgets is the window layer's business (ui/FormTexts.h).
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

using TLangPairs = QList<QPair<QString, QString>>;

// The default language: its file "language.lan" is the translators' template.
QString DefaultLanguageName(); // "language"
QString LanguageExtension();   // ".lan"

// A key of a language file, split into its parts:
//   "Self.Caption", "Label1.Caption", "msl.Items.2", "lvLoc.Columns.1.Caption".
struct TTextKey {
    QString Component;   // before the first "."
    QString Property;    // up to the next "." (the whole rest when no index)
    bool HasIndex = false;
    int Index = -1;      // -1 when the index part is not a number
    QString SubProperty; // after the index, for collection items
};
TTextKey ParseTextKey(const QString& key);

// "~~" in a file stands for a line break; inside the program a line break is
// "\n" (the widgets' own convention), and CR LF, LF and lone CR all become "~~"
// when a text is written.
QString DecodeLangValue(const QString& fileValue);
QString EncodeLangValue(const QString& text);

// The key=value lines of one section. A missing file is created empty and
// yields nothing; unreadable or binary content yields whatever lines parse.
TLangPairs ReadLanguageSection(const QString& filePath, const QString& section);

// Writes the pairs into the section (existing keys are overwritten in place,
// other keys stay) and saves the file. Values are written as given (encode
// them first). False when the file could not be written.
bool WriteLanguageSection(const QString& filePath, const QString& section, const TLangPairs& pairs);

// The file of a language in dir; without a dir, in the program's directory and
// then among the shipped files (ShippedDataDir). The name is matched without
// regard to case, as the menu shows names in lower case while the files may
// be named "Deutsch.lan"; when no file exists the plain "<dir><name>.lan" is
// returned (the program's directory without a dir: never a shipped file).
QString LanguageFilePath(const QString& name, const QString& dir = QString());
bool LanguageFileExists(const QString& name, const QString& dir = QString());

// The available languages: every "*.lan" file of dir (without a dir: of the
// program's directory and the shipped files) except "language.lan",
// its name without the extension, in lower case, sorted, without duplicates.
QStringList ListLanguages(const QString& dir = QString());
