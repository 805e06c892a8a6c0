#pragma once

#include <QDateTime>
#include <QString>

// What one programme channel has switched on for its current item.
struct ChannelStateRecord
{
    bool ZonesOn = false;
    bool AmpsOn = false;
    bool DevicesOn = false;
    bool RepeatOpen = false; // the switch-on commands are still being repeated
    qint16 RepeatCount = 0;
    QString Detail; // detail of the last started item, or "外设控制"
    QString StartTime; // "hh:mm:ss" of the current item
    QString PlayLength; // "hh:mm:ss"
    QString Zones; // DotList of node addresses now open for this channel
    QString Amps;
    QString Devices;
    // The date and time the item was due, so that an item running past
    // midnight ends at the right moment the next morning.
    QDateTime StartMoment;
};
