#include "Progress.h"

#include <QString>
#include <cstdio>
#include <unistd.h>

QString groupDigits(qint64 n)
{
    QString digits = QString::number(n < 0 ? -n : n);
    for (int i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, ' ');
    return n < 0 ? "-" + digits : digits;
}

ProgressBar::ProgressBar(qint64 total) : m_total(total), m_enabled(isatty(STDERR_FILENO)) {}

void ProgressBar::update(qint64 position)
{
    if (!m_enabled)
        return;
    if (m_total > 0) {
        const int percent = int(qBound(qint64(0), position * 100 / m_total, qint64(100)));
        if (percent == m_lastPercent)
            return;
        m_lastPercent = percent;
        const int width = 40, filled = percent * width / 100;
        fprintf(stderr, "\r[%s%s] %3d%% %s bytes", QString(filled, '#').toLatin1().constData(),
                QString(width - filled, ' ').toLatin1().constData(), percent,
                groupDigits(position).toLatin1().constData());
    } else {
        const qint64 mb = position >> 20;
        if (mb == m_lastMb)
            return;
        m_lastMb = mb;
        fprintf(stderr, "\r%s bytes", groupDigits(position).toLatin1().constData());
    }
    fflush(stderr);
}

void ProgressBar::finish()
{
    if (m_enabled && (m_lastPercent >= 0 || m_lastMb >= 0))
        fprintf(stderr, "\n");
}
