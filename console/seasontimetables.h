#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>

// Seasonal timetables: date ranges of the year, each naming the week file
// that runs while it lasts ("夏季作息" 05-01 to 09-30 runs summer.txt). In
// week mode the console runs the week file of the first range that holds
// the day, and the set week file when none does.
struct SeasonRange
{
    QString name; // what the caption shows, e.g. "夏季作息"
    QString from; // "MM-dd", the first day
    QString to; // "MM-dd", the last day; before from, the range runs over the new year
    QString weekFile; // the week file it runs
    bool operator==(const SeasonRange &) const = default;
};

namespace SeasonTimetables {

// The most ranges kept; more are no use in a year and would only slow the
// settings down.
inline constexpr int MaxRanges = 24;

// Whether text is a day of the year as "MM-dd" (02-29 included: a range
// may name it, and it simply holds no day in other years).
bool isMonthDay(QStringView text);

// Whether the range holds the day. A range whose last day comes before its
// first runs over the new year (12-01 to 02-28 holds 12-31 and 01-15).
bool holds(const SeasonRange &range, const QDate &day);

// Why a range cannot be used, in the operator's words, or empty when it can.
QString problemOf(const SeasonRange &range);

struct Choice
{
    QString weekFile; // the file to run; empty when none is set
    QString rangeName; // the range chosen; empty when the set week file runs
    // The first range holding the day named a file that cannot be read: it
    // is passed over for the set week file, and this says so.
    QString problem;
};

// The week file for the day. The first range listed that holds the day wins.
// readable says whether a file can be read (the file system in the
// console, a fake in tests).
Choice weekFileFor(const QDate &day, const QList<SeasonRange> &ranges, const QString &setWeekFile,
                   const std::function<bool(const QString &)> &readable);

// The ranges as kept in the user store (one JSON array) and back. Ranges
// that cannot be used are left out on reading, and beyond MaxRanges.
QString toStoreText(const QList<SeasonRange> &ranges);
QList<SeasonRange> fromStoreText(const QString &text);

} // namespace SeasonTimetables
