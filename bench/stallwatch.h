#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <algorithm>

// A 1 ms timer that keeps the longest time between two of its ticks: how
// long the event loop was held up at worst while it ran. A loop that is
// never held shows about 1 ms.
class StallWatch final : public QObject
{
public:
    StallWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_longest = 0;
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double longestMs() const { return double(m_longest) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// The median and the slowest of several timings in milliseconds.
inline QString medianAndSlowest(QList<double> ms, int decimals = 2)
{
    std::sort(ms.begin(), ms.end());
    return QStringLiteral("median %1 ms, slowest %2 ms")
        .arg(ms.at(ms.size() / 2), 0, 'f', decimals)
        .arg(ms.last(), 0, 'f', decimals);
}
