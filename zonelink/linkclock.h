#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// The link's sense of time: a millisecond clock and the one single-shot timer
// that paces its steps. The console runs on the system's; a fuzzer or a test
// can run the link on a clock of its own and step through hours in no time.
class LinkClock
{
public:
    virtual ~LinkClock();
    // Milliseconds on a clock that never goes back.
    virtual qint64 nowMs() const = 0;
    // Calls due once after ms milliseconds; a start replaces a pending one.
    virtual void start(int ms) = 0;
    virtual void stop() = 0;

    std::function<void()> due;
};

// Qt's precise timer and monotonic clock.
class SystemLinkClock final : public LinkClock
{
public:
    SystemLinkClock();
    qint64 nowMs() const override { return m_clock.elapsed(); }
    void start(int ms) override { m_timer.start(ms); }
    void stop() override { m_timer.stop(); }

private:
    QElapsedTimer m_clock;
    QTimer m_timer;
};
