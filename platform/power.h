#pragma once

#include <QDateTime>

#include <functional>

class QObject;

// Powering the PC off and setting its clock. Tests use a fake; no test may
// power off or re-clock the machine it runs on.
//
// Neither waits for the system: the request goes out and the answer comes
// later from the event loop, so the ticks, the link and the scheduler's start
// windows go on while the system thinks it over.
class Power
{
public:
    using ClockSet = std::function<void(bool accepted)>;

    virtual ~Power();
    // Asks the system to power off; a refusal is logged and otherwise ignored.
    virtual void powerOff() = 0;
    // Asks the system to set its date and time. done gets whether the system
    // took them (false for a refusal, an error or no answer), always from
    // the event loop after this call returned; it is not called once context
    // is gone.
    virtual void setSystemDateTime(const QDateTime &moment, QObject *context, ClockSet done) = 0;
};

// systemd-logind's PowerOff and timedated's SetTime over the system bus.
class LogindPower final : public Power
{
public:
    void powerOff() override;
    void setSystemDateTime(const QDateTime &moment, QObject *context, ClockSet done) override;

    // How long an answer is awaited before the call counts as failed.
    static constexpr int kAnswerTimeoutMs = 5000;
};
