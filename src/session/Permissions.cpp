#include "session/Permissions.h"

namespace {

// Weights of the nine boxes, in box order, as decimal-digit values.
constexpr std::array<int, 9> kWeights = {400, 200, 100, 40, 20, 10, 4, 2, 1};

// The digit of owner (0), group (1) or public (2) of a value.
int digitOf(int value, int who)
{
    switch (who) {
    case 0: return (value % 1000) / 100;
    case 1: return (value % 100) / 10;
    default: return value % 10;
    }
}

bool bitSet(int value, int box)
{
    const int bit = 4 >> (box % 3);
    return (digitOf(value, box / 3) & bit) != 0;
}

} // namespace

int AttrTextToValue(QStringView text)
{
    int value = 0;
    // Position 2 of the text (index 1) is the owner's read bit.
    for (int box = 0; box < 9; ++box) {
        const qsizetype at = box + 1;
        if (at >= text.size())
            break;
        const QChar c = text[at];
        const QChar lower = c.toLower();
        bool set = false;
        switch (box % 3) {
        case 0: set = lower == QLatin1Char('r'); break;
        case 1: set = lower == QLatin1Char('w'); break;
        default:
            // setuid/setgid ("s") and sticky ("t") in lower case include
            // execute; their upper-case forms are the bit without execute.
            set = lower == QLatin1Char('x') || (box < 8 && c == QLatin1Char('s')) || (box == 8 && c == QLatin1Char('t'));
            break;
        }
        if (set)
            value += kWeights[box];
    }
    return value;
}

int PermissionTextToValue(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 3)
        return -1;
    int value = 0;
    for (QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('7'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

TPermissionBoxes PermissionBoxesOf(int value)
{
    value &= 0xFFF;  // the changed mark and other high bits are no permissions
    TPermissionBoxes boxes;
    for (int box = 0; box < 9; ++box)
        boxes[box] = bitSet(value, box) ? TPermissionBox::Checked : TPermissionBox::Unchecked;
    return boxes;
}

TPermissionBoxes PermissionBoxesOf(const TPermissionFiles& files)
{
    if (files.isEmpty())
        return PermissionBoxesOf(0);
    TPermissionBoxes boxes = PermissionBoxesOf(files.first().value);
    for (qsizetype i = 1; i < files.size(); ++i) {
        const TPermissionBoxes other = PermissionBoxesOf(files[i].value);
        for (int box = 0; box < 9; ++box)
            if (boxes[box] != TPermissionBox::Mixed && boxes[box] != other[box])
                boxes[box] = TPermissionBox::Mixed;
    }
    return boxes;
}

int PermissionValueOf(const TPermissionBoxes& boxes)
{
    int value = 0;
    for (int box = 0; box < 9; ++box)
        if (boxes[box] == TPermissionBox::Checked)
            value += kWeights[box];
    return value;
}

bool ChangeAttributes(TPermissionFiles& files, const QString& text, bool edited)
{
    const int v = PermissionTextToValue(text);
    if (!edited || v < 0)
        return false;
    bool changed = false;
    for (TPermissionFile& f : files) {
        if ((f.value & 0xFFF) == v)
            continue;
        f.value = (f.value & ~0xFFF) | v | kPermissionChanged;
        changed = true;
    }
    return changed;
}
