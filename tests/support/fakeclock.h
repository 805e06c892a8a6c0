#pragma once

#include "platform/clock.h"

// A clock that stands still until the test moves it.
class FakeClock final : public Clock
{
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(8, 0)))
        : m_now(std::move(start))
    {
    }
    QDateTime now() const override { return m_now; }
    void set(const QDateTime &moment) { m_now = moment; }
    void advanceSeconds(int s) { m_now = m_now.addSecs(s); }
    void advanceMs(int ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};
