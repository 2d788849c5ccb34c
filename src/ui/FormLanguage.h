#pragma once
// Choosing the user interface language: translating a window when it is
// made, the "Language" menu of the main window and re-translating the main
// window when another language is picked.
class QAction;
class QMenu;
class QWidget;

// Called by the creation code of every window. With "LangInit" set and the
// default language chosen, writes the window's texts into "language.lan";
// with "LangOn" set, applies the chosen language file to the window.
void TranslateForm(QWidget* window);

// The re-translation message of the main window (a queued call, so the menu
// handler returns first). Param 1 always re-translates; any other value only
// when "LangOn" is set.
void PostRetranslate(QWidget* mainWindow, int param = 1);

// What the message does: puts back the built-in texts, then applies the file
// of "LangFile" ("language.lan" for the default language) to the window and
// to the windows it has open. A window that has a slot "LanguageChanged()"
// gets it called afterwards, to refresh texts it composed from its messages.
void RetranslateForm(QWidget* mainWindow, int param);

// Fills the language menu miLang: its first two entries are "Default
// (English)" (object name "miEnglish", data -1; made here when missing) and
// a separator; one entry per available language follows. Settles "LangFile"
// and "LangOn" on what exists and translates the window when "LangOn" is set.
void BuildLanguageMenu(QWidget* mainWindow, QMenu* miLang);

// The handler of every entry of the language menu.
void miEnglishClick(QWidget* mainWindow, QMenu* miLang, QAction* clicked);
