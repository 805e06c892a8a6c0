#pragma once

#include <QDateTime>

// Powering the PC off and setting its clock. Tests use a fake; no test may
// power off or re-clock the machine it runs on.
class Power
{
public:
    virtual ~Power();
    // Asks the system to power off; failures are logged and otherwise ignored.
    virtual void powerOff() = 0;
    // Sets the system date and time; false when the system refused.
    virtual bool setSystemDateTime(const QDateTime &moment) = 0;
};

// systemd-logind's PowerOff and timedated's SetTime over the system bus.
class LogindPower final : public Power
{
public:
    void powerOff() override;
    bool setSystemDateTime(const QDateTime &moment) override;
};
