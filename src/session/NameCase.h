#pragma once
// The Change Case command's three forms of a name.
#include <QString>

namespace namecase {
enum Mode : int { Upper = 0, Lower = 1, Sentence = 2 };
}

// Upper: the whole name upper-cased; Lower: lower-cased; Sentence: lower-cased
// with its first character upper-cased ("MY FILE.TXT" -> "My file.txt").
// Any other mode leaves the name as it is.
QString ChangedCase(const QString& name, int mode);
