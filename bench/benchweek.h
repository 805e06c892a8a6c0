#pragma once

#include "schedule/scheduleentry.h"
#include "schedule/timetext.h"

#include <QString>

// A week for the benchmarks: rowsPerDay bells a day, their times scattered
// over the day, on channels 1 to 8, at the given volume.
inline WeekTables benchWeek(int rowsPerDay, qint16 volume)
{
    WeekTables week;
    for (DayTable &day : week) {
        day.reserve(rowsPerDay);
        for (int i = 0; i < rowsPerDay; ++i) {
            day.append({TimeText::fromSeconds((i * 7919) % 86400), qint16(1 + i % 8),
                        QStringLiteral("上课铃"), QStringLiteral("/srv/song/上课铃.mp3"), volume,
                        QStringLiteral("00:00:30"), QStringLiteral("1.2.3.4.5.6.7.8.9.10."),
                        QStringLiteral("1.2."), QStringLiteral("1.")});
        }
    }
    return week;
}
