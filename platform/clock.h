#pragma once

#include <QDateTime>

// The one source of "now" for every rule that depends on the time of day.
// Tests substitute a clock they move by hand.
class Clock
{
public:
    virtual ~Clock();
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
};
