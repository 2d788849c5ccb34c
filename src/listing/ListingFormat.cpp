#include "listing/ListingFormat.h"

namespace {
int positionOf(QChar c)
{
    bool ok = false;
    const int v = QString(c).toInt(&ok, 16);
    return ok && v >= 1 && v <= 9 ? v : 0;
}
} // namespace

void ListingFormat::setPositions(QStringView positions)
{
    int* fields[] = {&namePos, &sizePos, &monthPos, &dayPos, &timePos, &attributePos};
    for (int i = 0; i < 6; ++i)
        *fields[i] = i < positions.size() ? positionOf(positions[i]) : 0;
}

ListingFormat ListingFormat::fromAnswer(QStringView answer)
{
    ListingFormat f;
    if (!answer.isEmpty() && answer[0] >= QLatin1Char('0') && answer[0] <= QLatin1Char('9'))
        f.type = answer[0].unicode() - '0';
    f.setPositions(answer.mid(1));
    return f;
}
