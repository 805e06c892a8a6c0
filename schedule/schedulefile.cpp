#include "schedule/schedulefile.h"

#include "platform/fieldreader.h"
#include "platform/gbk.h"
#include "platform/textfile.h"
#include "schedule/timetext.h"

#include <utility>

namespace ScheduleFile {

QString editorReadErrorText()
{
    return QStringLiteral("所打开的文件格式不对，请重新选择。");
}

QString editorReadErrorTitle()
{
    return QStringLiteral("读文件错误");
}

QString writeErrorText(const QString &path, const QString &reason)
{
    return QStringLiteral("文件保存失败，原文件没有改动。\n文件：%1\n原因：%2").arg(path, reason);
}

QString writeErrorTitle()
{
    return QStringLiteral("写文件错误");
}

namespace {

// Numbers are written with a blank in place of a plus sign and a blank after.
QByteArray numberField(qint16 value)
{
    const QByteArray digits = QByteArray::number(value);
    return value < 0 ? QByteArray(digits + ' ') : QByteArray(' ' + digits + ' ');
}

// A text field as it is written. The readers drop blanks around an unquoted
// field but keep them between double quotes, so a text with a blank at an end
// (a path ending in one) is quoted; every other field stays plain, as the
// files have always been. The text holds no double quote: the writers refuse it.
QByteArray textField(const QString &text)
{
    const QByteArray bytes = toGbk(text);
    return hasEdgeBlanks(text) ? QByteArray('"' + bytes + '"') : bytes;
}

QByteArray joinLine(const QList<QByteArray> &fields)
{
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += fields.at(i);
    }
    line += "\r\n";
    return line;
}

} // namespace

QByteArray entryLine(const ScheduleEntry &e)
{
    return joinLine({textField(e.time), numberField(e.channel), textField(e.detail),
                     textField(e.filename), numberField(e.volume), textField(e.plen),
                     textField(e.zone), textField(e.amp), textField(e.device)});
}

QByteArray headerLine(int dayIndex)
{
    const QByteArray zero("00");
    return joinLine(
        {zero, zero, zero, toGbk(Weekdays::fileName(dayIndex)), zero, zero, zero, zero, zero});
}

QByteArray weekFileBytes(const WeekTables &days)
{
    QByteArray data;
    for (int day = 0; day < 7; ++day) {
        data += headerLine(day);
        for (const ScheduleEntry &e : days[std::size_t(day)])
            data += entryLine(e);
    }
    return data;
}

QByteArray dateFileBytes(const DayTable &entries)
{
    QByteArray data;
    for (const ScheduleEntry &e : entries)
        data += entryLine(e);
    return data;
}

namespace {

enum class TimeFault { None, Time, PlayLength };

// The scheduler compares start times as "hh:mm:ss" texts; any other form
// would only be found at the tick, by emptying the whole day. So the console
// refuses such a row as it reads it, and the writers refuse to write one.
TimeFault timeFault(const ScheduleEntry &e)
{
    if (!TimeText::isClockText(e.time))
        return TimeFault::Time;
    if (!e.plen.trimmed().isEmpty() && TimeText::seconds(e.plen) < 0)
        return TimeFault::PlayLength;
    return TimeFault::None;
}

QString timeFaultText(TimeFault fault, const ScheduleEntry &e)
{
    switch (fault) {
    case TimeFault::Time:
        return QStringLiteral("播放时间“%1”不是正确的时间（时:分:秒，如 08:30:00）").arg(e.time);
    case TimeFault::PlayLength:
        return QStringLiteral("播放时长“%1”不是正确的时长（时:分:秒，如 00:05:00）").arg(e.plen);
    case TimeFault::None:
        break;
    }
    return {};
}

} // namespace

QString fieldsProblem(const ScheduleEntry &e, const QString &where)
{
    // A comma would split the field, a double quote would open a quoted one,
    // a line break would end the entry, another control character would end
    // the file (0x1A) or make the console refuse it (NUL), a character without
    // a GBK code would come back as "?": the entry would not read back as written.
    const std::pair<const char16_t *, const QString *> fields[] = {
        {u"播放时间", &e.time}, {u"内容概述", &e.detail}, {u"播放文件", &e.filename},
        {u"播放时长", &e.plen}, {u"分区", &e.zone},       {u"功放", &e.amp},
        {u"外设", &e.device},
    };
    for (const auto &[name, text] : fields) {
        QString why;
        switch (textFault(*text, TextLayout::Unquoted)) {
        case TextFault::None:
            continue;
        case TextFault::Comma:
            why = QStringLiteral("逗号");
            break;
        case TextFault::Quote:
            why = QStringLiteral("双引号");
            break;
        case TextFault::LineBreak:
            why = QStringLiteral("换行");
            break;
        case TextFault::Control:
            why = controlCharacterText(*text);
            break;
        case TextFault::NotGbk:
            why = QStringLiteral("GBK编码没有的字符");
            break;
        }
        return QStringLiteral("%1的%2“%3”中含有%4，无法保存。")
            .arg(where, QString::fromUtf16(name), text->simplified(), why);
    }
    if (const TimeFault fault = timeFault(e); fault != TimeFault::None)
        return QStringLiteral("%1的%2，无法保存。").arg(where, timeFaultText(fault, e));
    // The console ends a day at a file name that starts like a weekday
    // header: the entry and those after it would never play.
    if (Weekdays::looksLikeHeader(e.filename))
        return QStringLiteral("%1的播放文件“%2”以“星期”开头，无法保存。")
            .arg(where, e.filename.simplified());
    return {};
}

QString writeWeekFile(const QString &path, const WeekTables &days)
{
    for (int day = 0; day < 7; ++day) {
        const DayTable &entries = days[std::size_t(day)];
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const QString where
                = QStringLiteral("%1第%2条").arg(Weekdays::fileName(day)).arg(i + 1);
            if (QString problem = fieldsProblem(entries.at(i), where); !problem.isEmpty())
                return problem;
        }
    }
    return saveFileAtomically(path, weekFileBytes(days));
}

QString writeDateFile(const QString &path, const DayTable &entries)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString where = QStringLiteral("第%1条").arg(i + 1);
        if (QString problem = fieldsProblem(entries.at(i), where); !problem.isEmpty())
            return problem;
    }
    return saveFileAtomically(path, dateFileBytes(entries));
}

bool readEntry(FieldReader &r, ScheduleEntry &e, int *startLine)
{
    if (!r.readText(e.time))
        return false;
    if (startLine)
        *startLine = r.line();
    return r.readInt16(e.channel) && r.readText(e.detail) && r.readText(e.filename)
        && r.readInt16(e.volume) && r.readText(e.plen) && r.readText(e.zone) && r.readText(e.amp)
        && r.readText(e.device);
}

QString timeProblem(const ScheduleEntry &e, int line)
{
    const TimeFault fault = timeFault(e);
    if (fault == TimeFault::None)
        return {};
    return QStringLiteral("第%1行：%2").arg(line).arg(timeFaultText(fault, e));
}

namespace {

enum class AtHeader { Stop, Keep };

// Appends entries up to the end, or up to the next header-like line. After a
// read error nothing of the file is kept.
bool readEntries(FieldReader &reader, DayRead &result, AtHeader atHeader)
{
    while (!reader.atEnd()) {
        ScheduleEntry e;
        int line = 0;
        if (!readEntry(reader, e, &line)) {
            result.error = reader.errorText();
            result.entries.clear();
            return false;
        }
        if (atHeader == AtHeader::Stop && Weekdays::looksLikeHeader(e.filename))
            break;
        // The console's day is checked as it is read. The editor shows such a
        // row as it stands so that the operator can mend it; it checks every
        // entry again before it saves.
        if (atHeader == AtHeader::Stop) {
            result.error = timeProblem(e, line);
            if (!result.error.isEmpty()) {
                result.entries.clear();
                return false;
            }
        }
        result.entries.append(e);
    }
    return true;
}

} // namespace

WeekRead readWeekForEditor(const QString &path)
{
    WeekRead result;
    auto opened = openFieldFile(path, result.error);
    if (!opened)
        return result;
    FieldReader &reader = *opened;
    int current = 0;
    int headers = 0;
    while (!reader.atEnd()) {
        ScheduleEntry e;
        if (!readEntry(reader, e)) {
            result.error = reader.errorText();
            result.days = {};
            return result;
        }
        const int day = Weekdays::indexOf(e.filename);
        if (day >= 0) {
            if (++headers > 7)
                break;
            current = day;
            continue;
        }
        result.days[std::size_t(current)].append(e);
    }
    result.ok = true;
    return result;
}

DayRead readDateForEditor(const QString &path)
{
    DayRead result;
    auto opened = openFieldFile(path, result.error, &result.missing);
    if (!opened)
        return result;
    result.ok = readEntries(*opened, result, AtHeader::Keep);
    return result;
}

DayRead readDayOfWeekFile(const QString &path, const QString &weekdayName)
{
    DayRead result;
    auto opened = openFieldFile(path, result.error, &result.missing);
    if (!opened)
        return result;
    FieldReader &reader = *opened;
    bool found = false;
    while (!found && !reader.atEnd()) {
        // Rows of other days are walked, not kept: only the file field, where
        // a header names its day, is read as text. Their numbers are still
        // read, so a broken row is found wherever it stands.
        QString filename;
        qint16 number = 0;
        if (!(reader.skip() && reader.readInt16(number) && reader.skip()
              && reader.readText(filename) && reader.readInt16(number) && reader.skip()
              && reader.skip() && reader.skip() && reader.skip())) {
            result.error = reader.errorText();
            return result;
        }
        found = (filename == weekdayName);
    }
    result.ok = !found || readEntries(reader, result, AtHeader::Stop);
    return result;
}

DayRead readDateFile(const QString &path)
{
    DayRead result;
    auto opened = openFieldFile(path, result.error, &result.missing);
    if (!opened)
        return result;
    result.ok = readEntries(*opened, result, AtHeader::Stop);
    return result;
}

} // namespace ScheduleFile
