#pragma once

#include "support/fakeserialport.h"
#include "zonelink/linkclock.h"

#include <algorithm>
#include <functional>

// A clock for the link that only moves when the test says so: frames of
// 263 bytes take their 2.2 s on the fake wire without a test waiting for
// them. Give the fake port the same clock (useBy) so its drain follows.
class VirtualLinkClock final : public LinkClock
{
public:
    qint64 nowMs() const override { return m_now; }
    void start(int ms) override
    {
        m_dueAt = m_now + std::max(ms, 0);
        m_pending = true;
    }
    void stop() override { m_pending = false; }

    void useBy(FakeSerialPort &port)
    {
        port.clock = [this] { return m_now; };
    }
    bool isPending() const { return m_pending; }
    // Moves time to the pending step and runs it; false when none is pending.
    bool fire()
    {
        if (!m_pending)
            return false;
        m_pending = false;
        m_now = std::max(m_now, m_dueAt);
        if (due)
            due();
        return true;
    }
    // Runs the steps until the link rests, or until stop says so.
    void runUntil(const std::function<bool()> &stop = {})
    {
        for (int i = 0; i < 1000000 && !(stop && stop()) && fire(); ++i) { }
    }

private:
    qint64 m_now = 0;
    qint64 m_dueAt = 0;
    bool m_pending = false;
};
