#include "sites/SiteZones.h"

#include "settings/TimeZones.h"

#include <QList>
#include <algorithm>
#include <cmath>
#include <numeric>

int ZoneMinutes(const QString& text)
{
    if (!text.startsWith(QLatin1String("(GMT")) || text.startsWith(QLatin1String("(GMT)")))
        return 0;
    const qsizetype close = text.indexOf(')', 4);
    if (close < 0)
        return 0;
    QString s = text.mid(4, close - 4).trimmed();
    int sign = 1;
    if (s.startsWith('-')) {
        sign = -1;
        s.remove(0, 1);
    } else if (s.startsWith('+')) {
        s.remove(0, 1);
    }
    // Without ":" the hours are 0 and the whole text counts as minutes.
    const qsizetype colon = s.indexOf(':');
    bool ok = false;
    int hours = colon < 0 ? 0 : s.left(colon).trimmed().toInt(&ok);
    if (!ok)
        hours = 0;
    int minutes = s.mid(colon + 1).trimmed().toInt(&ok);
    if (!ok)
        minutes = 0;
    return (hours * 60 + minutes) * sign;
}

int TimeZoneMinutes(double hoursMinutes)
{
    const double magnitude = std::fabs(hoursMinutes);
    const int hours = int(std::floor(magnitude + 1e-9));
    const int minutes = int(std::lround((magnitude - hours) * 100));
    const int total = hours * 60 + minutes;
    return hoursMinutes < 0 ? -total : total;
}

double TimeZoneFromMinutes(int minutes)
{
    const int magnitude = std::abs(minutes);
    const double value = magnitude / 60 + (magnitude % 60) / 100.0;
    return minutes < 0 ? -value : value;
}

void SortZoneList(QStringList& zones, int& systemIndex)
{
    QList<int> order(zones.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int ma = ZoneMinutes(zones[a]), mb = ZoneMinutes(zones[b]);
        if (ma != mb)
            return ma < mb;
        return zones[a].compare(zones[b], Qt::CaseInsensitive) < 0;
    });
    QStringList sorted;
    sorted.reserve(zones.size());
    int movedSystem = -1;
    for (int i = 0; i < order.size(); ++i) {
        if (order[i] == systemIndex)
            movedSystem = i;
        sorted << zones[order[i]];
    }
    zones = sorted;
    systemIndex = movedSystem;
}

void FillZoneList(QStringList& zones, int& systemIndex)
{
    zones.clear();
    systemIndex = -1;
    const QString current = CurrentTimeZoneId();
    for (const TTimeZoneEntry& e : TimeZoneList()) {
        const QString display = e.Display.trimmed();
        if (display.isEmpty())
            continue;
        if (systemIndex < 0 && e.Id.compare(current, Qt::CaseInsensitive) == 0)
            systemIndex = int(zones.size());
        zones << display;
    }
    // The system may run in a zone the list leaves out (Etc/UTC is in no
    // region table): it is added, so that it can be shown and chosen.
    if (systemIndex < 0) {
        const QString display = TimeZoneDisplay(current).trimmed();
        if (!display.isEmpty()) {
            systemIndex = int(zones.size());
            zones << display;
        }
    }
    SortZoneList(zones, systemIndex);
}

int ChooseZoneIndex(const QStringList& zones, int timeZoneV, double timeZone, int systemIndex)
{
    const int wanted = TimeZoneMinutes(timeZone);
    const auto valid = [&](int i) { return i >= 0 && i < zones.size(); };
    const auto fits = [&](int i) { return valid(i) && ZoneMinutes(zones[i]) == wanted; };
    if (fits(timeZoneV))
        return timeZoneV;
    if (fits(systemIndex))
        return systemIndex;
    for (int i = 0; i < zones.size(); ++i) {
        if (fits(i))
            return i;
    }
    if (valid(timeZoneV))
        return timeZoneV;
    return valid(systemIndex) ? systemIndex : -1;
}

double SavedTimeZone(double stored, int openedIndex, int chosenIndex, const QString& chosenText)
{
    if (chosenIndex == openedIndex)
        return stored;
    return chosenIndex < 0 ? 0 : GMTOffsetHours(chosenText);
}
