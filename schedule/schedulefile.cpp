#include "schedule/schedulefile.h"

#include "platform/fieldreader.h"
#include "platform/gbk.h"
#include "platform/textfile.h"

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
    return joinLine({toGbk(e.time), numberField(e.channel), toGbk(e.detail), toGbk(e.filename),
                     numberField(e.volume), toGbk(e.plen), toGbk(e.zone), toGbk(e.amp),
                     toGbk(e.device)});
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

QString writeWeekFile(const QString &path, const WeekTables &days)
{
    return saveFileAtomically(path, weekFileBytes(days));
}

QString writeDateFile(const QString &path, const DayTable &entries)
{
    return saveFileAtomically(path, dateFileBytes(entries));
}

bool readEntry(FieldReader &r, ScheduleEntry &e)
{
    return r.readText(e.time) && r.readInt16(e.channel) && r.readText(e.detail)
        && r.readText(e.filename) && r.readInt16(e.volume) && r.readText(e.plen)
        && r.readText(e.zone) && r.readText(e.amp) && r.readText(e.device);
}

namespace {

enum class AtHeader { Stop, Keep };

// Appends entries up to the end, or up to the next header-like line. After a
// read error nothing of the file is kept.
bool readEntries(FieldReader &reader, DayRead &result, AtHeader atHeader)
{
    while (!reader.atEnd()) {
        ScheduleEntry e;
        if (!readEntry(reader, e)) {
            result.error = reader.errorText();
            result.entries.clear();
            return false;
        }
        if (atHeader == AtHeader::Stop && Weekdays::looksLikeHeader(e.filename))
            break;
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
        ScheduleEntry e;
        if (!readEntry(reader, e)) {
            result.error = reader.errorText();
            return result;
        }
        found = (e.filename == weekdayName);
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
