#pragma once
// Reading and writing the translatable texts of a window through language
// files. A window's texts are addressed by the object names of its widgets
// and by property names of the form the language files use (Caption, Text,
// Hint, Items.N, Lines.N, Columns.N.Caption); FormTexts.cpp maps them onto
// the Qt widgets' own properties. A widget whose texts are data rather than
// wording (a drive list, a settings path) is left out when it carries the
// dynamic property "noTranslate" = true.
#include "i18n/LanguageFile.h"

#include <QString>

class QWidget;

// The section of a window in a language file: its class name in upper case
// ("T_MAIN", "TINPUTFORM").
QString FormSection(const QWidget* window);

// The texts WriteFormTexts would write, in order: "Self.Caption" first, then
// every named component in creation order. Values are encoded ("~~").
TLangPairs CollectFormTexts(QWidget* window);

// Applies key=value pairs (values as in the file, "~~" for a line break).
// Unknown components, unknown properties and indexes out of range are
// skipped; a string property that is empty stays empty. The first time a
// text is replaced its built-in value is remembered on the window, so that
// RestoreBuiltInTexts can bring the original language back.
void ApplyFormTexts(QWidget* window, const TLangPairs& pairs);

// Applies the window's section of a language file (a missing file is created
// empty and changes nothing).
void ReadFormTexts(QWidget* window, const QString& filePath);

// Writes the window's current texts into its section of the file (other
// lines of the file stay). False when the file could not be written.
bool WriteFormTexts(QWidget* window, const QString& filePath);

// Puts back every text a language file replaced since the window was made.
void RestoreBuiltInTexts(QWidget* window);
