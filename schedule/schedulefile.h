#pragma once

#include "schedule/scheduleentry.h"

#include <QByteArray>
#include <QString>

class FieldReader;

// Week and date schedule files: one entry a line, nine comma separated
// fields, GBK, CR LF. A week file holds seven sections, each opened by the
// header line of its weekday; a date file holds the entries of one day.
namespace ScheduleFile {

// What the editor shows when a file cannot be read.
QString editorReadErrorText(); // "所打开的文件格式不对，请重新选择。"
QString editorReadErrorTitle(); // "读文件错误"
// What any window shows when a schedule cannot be saved.
QString writeErrorText(const QString &path, const QString &reason);
QString writeErrorTitle();

QByteArray entryLine(const ScheduleEntry &entry);
QByteArray headerLine(int dayIndex);
QByteArray weekFileBytes(const WeekTables &days);
QByteArray dateFileBytes(const DayTable &entries);

// Why an entry cannot be written as it stands: a comma, double quote, line
// break, other control character or character without a GBK code in a text
// field, or a start time or play length the console would refuse to read
// (timeProblem); where names the entry in the message. Empty when it can.
// A text field with a blank at either end is written between double quotes,
// which the readers take off again, so the blank reads back too.
QString fieldsProblem(const ScheduleEntry &entry, const QString &where);

// Atomic saves; the empty text on success, else the reason. An entry that
// fieldsProblem refuses is refused before anything is written. On failure
// the file on disk is what it was before.
QString writeWeekFile(const QString &path, const WeekTables &days);
QString writeDateFile(const QString &path, const DayTable &entries);

// Reads the nine fields of one entry; startLine, when given, gets the line
// the entry starts on, for messages.
bool readEntry(FieldReader &reader, ScheduleEntry &entry, int *startLine = nullptr);
// Why an entry read from the given line cannot be played: a start time that
// is not "hh:mm:ss" or a play length that is no time. Empty when it can.
QString timeProblem(const ScheduleEntry &entry, int line);

struct WeekRead
{
    bool ok = false;
    WeekTables days;
    QString error; // reason for the log when !ok
};

struct DayRead
{
    bool ok = false;
    bool missing = false;
    DayTable entries;
    QString error;
};

// The editor's readers. A failed read returns nothing of the file.
// Lines before the first header go to Monday, a repeated header adds to its
// day, and reading ends at the eighth header.
WeekRead readWeekForEditor(const QString &path);
// Every line, headers included, as entries.
DayRead readDateForEditor(const QString &path);

// The console's readers: the entries between the header named weekdayName and
// the next line whose file name starts with "星期"; and a date file's entries
// up to such a line.
DayRead readDayOfWeekFile(const QString &path, const QString &weekdayName);
DayRead readDateFile(const QString &path);

} // namespace ScheduleFile
