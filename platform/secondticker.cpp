#include "platform/secondticker.h"

#include "platform/clock.h"

namespace {
// How far past the second the tick lands: enough to be sure the clock has
// turned, small enough to keep the wire on time.
constexpr int kMarginMs = 5;
} // namespace

SecondTicker::SecondTicker(const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // A timer that fires a little early lands just before the second it
        // was meant for; wait for the turn instead of ticking twice in one second.
        const bool early = m_clock.now().time().msec() > 500;
        arm();
        if (!early)
            Q_EMIT tick();
    });
}

int SecondTicker::delayToNextSecond(int millisecond)
{
    return 1000 - millisecond + kMarginMs;
}

void SecondTicker::start()
{
    arm();
}

void SecondTicker::stop()
{
    m_timer.stop();
}

void SecondTicker::arm()
{
    m_timer.start(delayToNextSecond(m_clock.now().time().msec()));
}
