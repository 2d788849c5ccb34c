#pragma once
// Process-wide values that live outside the options record.
#include <QString>

// The program's own directory, with a trailing "/": the base of options.ftp,
// the site lists, language files, the log file and the listing file.
extern QString ProgramDir;

// Localization switches, overwritten by the options file at start.
extern bool LangOn;     // use a language file
extern bool LangInit;   // (re)write the translators' template "language.lan"
extern QString LangFile; // base name of the language file ("language")

// Where the program keeps its data: the executable's directory when it can be
// written and is not an installed program's bin/ (a portable install or the
// build tree), otherwise the per-user data directory (~/.local/share/varnoth,
// shared by varnoth and varnoth-cli).
// The result ends with "/" and the directory exists.
QString DefaultProgramDir();

// Sets ProgramDir from the VARNOTH_PROGRAM_DIR environment variable when it
// is set (tests and the command-line tool use it), else DefaultProgramDir().
void InitProgramDir();

// Returns dir with exactly one trailing "/".
QString WithTrailingSlash(const QString& dir);
