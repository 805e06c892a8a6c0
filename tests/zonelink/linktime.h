#pragma once

#include "support/fakeserialport.h"
#include "zonelink/linkclock.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <functional>
#include <limits>
#include <vector>

// Virtual time for the link and for what the test makes happen on the wire:
// the link's pacing steps and the test's own events (a reply that comes
// 20 ms into a window, a second sender 50 ms later) run in the order of
// their times, each at its time, without a test waiting for real time.
// Frames of 263 bytes take their 2.2 s on the fake wire in no time, and the
// durations the fake port records are exact. Events due at the same moment
// run in the order they were set.
class LinkTime final : public LinkClock
{
public:
    qint64 nowMs() const override { return m_now; }
    void start(int ms) override
    {
        m_stepAt = m_now + std::max(ms, 0);
        m_stepOrder = ++m_order;
        m_stepPending = true;
    }
    void stop() override { m_stepPending = false; }

    // The port's drain and its recorded times follow this clock.
    void useBy(FakeSerialPort &port)
    {
        port.clock = [this] { return m_now; };
    }

    // Runs what after ms milliseconds from now, unless context is gone by then.
    void after(qint64 ms, const QObject *context, std::function<void()> what)
    {
        m_events.push_back({m_now + std::max<qint64>(ms, 0), ++m_order,
                            QPointer<const QObject>(context), context != nullptr, std::move(what)});
    }
    void after(qint64 ms, std::function<void()> what) { after(ms, nullptr, std::move(what)); }

    bool linkStepPending() const { return m_stepPending; }

    // Runs the next step or event at its time; false when nothing is due at all.
    bool next()
    {
        const auto event = std::min_element(
            m_events.begin(), m_events.end(), [](const Event &a, const Event &b) {
                return a.at != b.at ? a.at < b.at : a.order < b.order;
            });
        const bool haveEvent = event != m_events.end();
        const bool stepFirst = m_stepPending
            && (!haveEvent || m_stepAt < event->at
                || (m_stepAt == event->at && m_stepOrder < event->order));
        if (stepFirst) {
            m_stepPending = false;
            m_now = std::max(m_now, m_stepAt);
            if (due)
                due();
        } else if (haveEvent) {
            const Event e = std::move(*event);
            m_events.erase(event);
            m_now = std::max(m_now, e.at);
            if (!e.guarded || e.context)
                e.what();
        } else {
            return false;
        }
        // What the step or event posted (queued calls, say) runs before the next.
        QCoreApplication::sendPostedEvents();
        return true;
    }

    // Runs steps and events in time order until done says so; false when
    // everything ran, or a virtual hour went by, first.
    bool runUntil(const std::function<bool()> &done, qint64 limitMs = 3600 * 1000)
    {
        const qint64 end = m_now + limitMs;
        while (!done()) {
            if (m_now > end || !next())
                return false;
        }
        return true;
    }

    // Lets ms milliseconds pass: everything due by then runs at its time.
    void advance(qint64 ms)
    {
        const qint64 end = m_now + std::max<qint64>(ms, 0);
        while (nextAt() <= end)
            next();
        m_now = end;
    }

private:
    struct Event
    {
        qint64 at;
        quint64 order;
        QPointer<const QObject> context;
        bool guarded;
        std::function<void()> what;
    };

    qint64 nextAt() const
    {
        qint64 at = m_stepPending ? m_stepAt : std::numeric_limits<qint64>::max();
        for (const Event &e : m_events)
            at = std::min(at, e.at);
        return at;
    }

    qint64 m_now = 0;
    qint64 m_stepAt = 0;
    quint64 m_stepOrder = 0;
    bool m_stepPending = false;
    quint64 m_order = 0;
    std::vector<Event> m_events;
};
