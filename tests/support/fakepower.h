#pragma once

#include "platform/power.h"

#include <QList>
#include <QPointer>

// Records power-off requests and clock settings instead of carrying them
// out. The answer to a clock setting waits until the test gives it, as the
// system's answer comes later over the bus.
class FakePower final : public Power
{
public:
    void powerOff() override { ++powerOffs; }
    void setSystemDateTime(const QDateTime &moment, QObject *context, ClockSet done) override
    {
        clockSettings.append(moment);
        m_waiting.append({QPointer<QObject>(context), context != nullptr, std::move(done)});
    }

    // The system's answer to the oldest clock setting not answered yet
    // (accept when none is given); false when none waits. Nothing is called
    // when the setting's context is gone.
    bool answerClock() { return answerClock(accept); }
    bool answerClock(bool accepted)
    {
        if (m_waiting.isEmpty())
            return false;
        const Waiting w = m_waiting.takeFirst();
        if (!w.hadContext || w.context)
            w.done(accepted);
        return true;
    }
    int clockAnswersWaiting() const { return int(m_waiting.size()); }

    int powerOffs = 0;
    QList<QDateTime> clockSettings;
    bool accept = true;

private:
    struct Waiting
    {
        QPointer<QObject> context;
        bool hadContext = false;
        ClockSet done;
    };
    QList<Waiting> m_waiting;
};
