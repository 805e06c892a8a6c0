#pragma once

#include "schedule/scheduleentry.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// What would clash on air in a week of entries: two entries of one channel
// playing at once, a terminal, amplifier or device wanted by two channels at
// once, and entries whose file cannot be played. Found per day, with the
// scheduler's notion of an entry's window: it plays from its start time for
// its play length; a length of 00:00:00 (or no time) holds no second, and a
// window that runs past midnight ends with the day.
struct EntryConflict
{
    enum class Kind {
        SameChannel, // two entries of one channel play at once
        Terminal, // two channels want one terminal at once
        Amplifier,
        Device,
        MissingFile,
        UnreadableFile,
    };

    int day = -1; // Monday (0) to Sunday (6)
    int row = -1; // the earlier row of a pair; the entry of a file problem
    int otherRow = -1; // the later row of a pair; -1 for a file problem
    Kind kind = Kind::SameChannel;
    // The terminals, amplifiers or devices both want, in the row's order;
    // the channel of a SameChannel pair; the path of a file problem.
    QStringList items;

    bool isPair() const { return otherRow >= 0; }
    // The row at the other end of the pair, seen from row r; -1 for none.
    int partnerOf(int r) const;
    // "第 3 项与第 5 项同在节目二，播放时间重叠": rows counted from 1.
    QString text() const;
    // The same seen from row r, naming the other entry by its row and
    // start time: "与第 5 项（08:00:00）同在节目二，播放时间重叠".
    QString textFor(int r, const DayTable &entries) const;

    friend bool operator==(const EntryConflict &, const EntryConflict &) = default;
};

namespace ConflictFinder {

// The seconds of the day an entry plays: [begin, end), end capped at the
// end of the day; begin == end for an entry that holds no second.
struct Window
{
    int begin = 0;
    int end = 0;
};
Window windowOf(const ScheduleEntry &entry);

// Entries of one day that play at once on one channel or want one terminal,
// amplifier or device from two channels, ordered by row, then partner row,
// then kind. A pair of one channel is never also an equipment conflict.
QList<EntryConflict> overlaps(int day, const DayTable &entries);
QList<EntryConflict> overlaps(const WeekTables &week);

// What the disk says about the file of an entry.
enum class FileState { Present, Missing, Unreadable };
// Asked on a worker thread: must be safe to call from any thread.
using FileInfo = std::function<FileState(const QString &path)>;
// The real disk: a readable file, or a folder that exists (folder entries
// play what it holds), is present.
FileState fileOnDisk(const QString &path);

// Whether an entry plays a file or folder at all (a peripheral-only entry
// does not).
bool playsFile(const ScheduleEntry &entry);
// The files and folders the entries play, each once.
QStringList playedPaths(const WeekTables &week);
// The entries whose file is missing or unreadable according to states; a
// path states does not hold is taken as present.
QList<EntryConflict> fileProblems(const WeekTables &week, const QHash<QString, FileState> &states);
// Asks info about every path once.
QHash<QString, FileState> fileStates(const QStringList &paths, const FileInfo &info);

// "星期二：" before each conflict's text, one a line, for a question that
// names them all; at most limit lines, then how many more there are.
QString listText(const QList<EntryConflict> &conflicts, int limit);

} // namespace ConflictFinder
