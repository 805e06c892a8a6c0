#include "zonelink/linkclock.h"

LinkClock::~LinkClock() = default;

SystemLinkClock::SystemLinkClock()
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        if (due)
            due();
    });
}
