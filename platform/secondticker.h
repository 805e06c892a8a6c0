#pragma once

#include <QObject>
#include <QTimer>

class Clock;

// Fires tick() just after each second of the clock turns, so that a rule due
// at a second runs within milliseconds of it rather than at a random phase.
class SecondTicker final : public QObject
{
    Q_OBJECT
public:
    explicit SecondTicker(const Clock &clock, QObject *parent = nullptr);

    void start();
    void stop();
    bool isActive() const { return m_timer.isActive(); }

    // Milliseconds from a moment with the given millisecond part to just after
    // the next second.
    static int delayToNextSecond(int millisecond);

Q_SIGNALS:
    void tick();

private:
    void arm();

    const Clock &m_clock;
    QTimer m_timer;
};
