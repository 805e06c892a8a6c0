#pragma once

#include "platform/power.h"

#include <QList>

// Records power-off requests and clock settings instead of carrying them out.
class FakePower final : public Power
{
public:
    void powerOff() override { ++powerOffs; }
    bool setSystemDateTime(const QDateTime &moment) override
    {
        clockSettings.append(moment);
        return accept;
    }

    int powerOffs = 0;
    QList<QDateTime> clockSettings;
    bool accept = true;
};
