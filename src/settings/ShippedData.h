#pragma once
// Where the files shipped with the program are: the language files and the
// help page (help/index.html). They are read from here, never written.
#include <QString>

// The shipped data directory of an executable living in exeDir, with a
// trailing "/": exeDir itself when the files are beside the executable (the
// build tree, a portable install), else <exeDir>/../share/varnoth when that
// exists (an installed program), else exeDir.
QString ShippedDataDirFor(const QString& exeDir);

// The shipped data directory of the running program. The environment
// variable VARNOTH_DATA_DIR overrides it.
QString ShippedDataDir();

// The help page opened by Help.
QString HelpPagePath();
