#include "session/NameCase.h"

QString ChangedCase(const QString& name, int mode)
{
    switch (mode) {
    case namecase::Upper:
        return name.toUpper();
    case namecase::Lower:
        return name.toLower();
    case namecase::Sentence: {
        QString s = name.toLower();
        if (!s.isEmpty())
            s.replace(0, 1, s.left(1).toUpper());
        return s;
    }
    default:
        return name;
    }
}
