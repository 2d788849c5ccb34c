#pragma once
// A one-line progress bar on stderr, drawn only when stderr is a terminal.
#include <QtGlobal>

class ProgressBar {
public:
    explicit ProgressBar(qint64 total);
    // count runs from 0 to 1000 (the client's SizeProgress scale) or, with
    // an unknown total, is the raw byte position.
    void update(qint64 position);
    void finish();
    bool enabled() const { return m_enabled; }

private:
    qint64 m_total;
    bool m_enabled;
    int m_lastPercent = -1;
    qint64 m_lastMb = -1;
};

// "1 234 567": digits grouped by three, the groups separated by a space.
QString groupDigits(qint64 n);
