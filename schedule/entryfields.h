#pragma once

#include "schedule/scheduleentry.h"

#include <QString>

// The schedule editor's input fields made into an entry, and the checks that
// keep every entry the editor writes readable by the console: a line has no
// quoting, so a comma, a double quote or a line break in a text field would
// shift or cut the fields that follow, another control character would end
// the file or make the console refuse it, and the file is GBK, so a character
// outside it would come back as a different one.
namespace EntryFields {

// The values of the input fields as the window reads them.
struct Input
{
    QString time; // the time picker, "HH:mm:ss"
    int channelIndex = -1; // position in "节目一".."节目八"; -1 for none chosen
    QString detail;
    QString file;
    int volume = 0; // the volume slider
    QString length; // the play-length picker, "HH:mm:ss"
    QString zone; // the DotLists of the target controls
    QString amp;
    QString device;
};

// The entry the input fields describe. Blanks and tabs around the
// description are dropped, so the list shows what is saved; the file is kept
// exactly as given.
ScheduleEntry entry(const Input &input);

// Which field of an entry is wrong.
enum class Field { None, Time, Channel, Detail, FileName, Volume, PlayLength, Zone, Amp, Device };

struct Problem
{
    Field field = Field::None;
    QString text; // what the operator is told, in Chinese

    explicit operator bool() const { return field != Field::None; }
};

// The first field of the entry that the editor must not write, or none.
Problem check(const ScheduleEntry &entry);

// The hint for an entry without a channel.
QString channelHintText(); // "请选择播放频道！"
QString channelHintTitle(); // "选择提示"
// The title of the other messages about an entry.
QString problemTitle(); // "输入错误"

// "HH:mm:ss" with two digits each, a time of day; the console's own rule for
// a start time (TimeText::isClockText), so that what the editor saves the
// console plays.
bool isTimeOfDay(const QString &text);
// Volumes are the slider's values, which a schedule file holds in 16 bits.
constexpr int kVolumeMaximum = 32767;

// A length for the play-length picker: a length of a day or more (three times
// a long recording) is cut to 23:59:59, the longest the console plays; text
// that is no length at all becomes "00:00:00".
QString pickerLength(const QString &lengthText);

} // namespace EntryFields
