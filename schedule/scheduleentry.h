#pragma once

#include <QList>
#include <QString>

#include <array>

// One programme item: the nine fields of a schedule line, in file order.
struct ScheduleEntry
{
    QString time; // "HH:mm:ss"
    qint16 channel = 0; // programme channel 1..8
    QString detail;
    QString filename; // full path, a folder, "外设控制", or a weekday name in a header
    qint16 volume = 0;
    QString plen; // play length "HH:mm:ss"
    QString zone; // DotList of node addresses
    QString amp; // DotList of amplifiers 1..8
    QString device; // DotList of devices 1..8

    friend bool operator==(const ScheduleEntry &, const ScheduleEntry &) = default;
};

// The fields of an entry in file order, as the columns of the lists that
// show entries.
enum EntryField {
    TimeField,
    ChannelField,
    DetailField,
    FileNameField,
    VolumeField,
    PlayLengthField,
    ZoneField,
    AmpField,
    DeviceField,
    EntryFieldCount
};
// The text of a field as the lists show it (integers as plain digits); empty
// for a number that is no field.
QString entryFieldText(const ScheduleEntry &entry, int field);

using DayTable = QList<ScheduleEntry>;
// Monday (0) to Sunday (6).
using WeekTables = std::array<DayTable, 7>;

namespace Weekdays {
// The weekday names of the files, Monday (index 0) to Sunday (index 6).
QString fileName(int index);
// The index of a weekday name of the files, or -1.
int indexOf(const QString &name);
// QDate::dayOfWeek() (Monday 1 .. Sunday 7) to the name in the files.
QString nameForDayOfWeek(int dayOfWeek);
// True when the text starts like a weekday header ("星期").
bool looksLikeHeader(const QString &filename);
} // namespace Weekdays
