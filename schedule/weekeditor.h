#pragma once

#include "schedule/entryfields.h"
#include "schedule/scheduleentry.h"

#include <QObject>

#include <array>

class DayTableModel;
class SavedFiles;

// The week the schedule editor works on: seven day lists, Monday (0) to
// Sunday (6), the commands that change them and whether they changed since
// the week was last saved, loaded or started. Commands take the day and the
// list's selected row (-1 for none); with no selected row in a list that has
// rows, the row commands do nothing.
class WeekEditor final : public QObject
{
    Q_OBJECT
public:
    static constexpr int DayCount = 7;
    // The captions of the editor's tabs: "星期一" .. "星期六", "星期天".
    static QString dayCaption(int day);

    explicit WeekEditor(QObject *parent = nullptr);
    ~WeekEditor() override;

    DayTableModel *day(int index) const { return m_days.at(std::size_t(index)); }
    WeekTables tables() const;
    int entryCount() const;

    // "Modified": set by every command that changes a day's rows, so that
    // quitting always asks before a change is thrown away; cleared by saving
    // and by discarding the changes. Delete all, the consecutive arrangement,
    // the sort and a day's import set it only when they changed something
    // (the old editor left it alone and lost such edits without a word).
    // Add, Modify, Move up, Move down and Copy set it even when the rows end
    // up as they were, as they always did: one question too many loses
    // nothing.
    bool isModified() const { return m_modified; }
    void setModified(bool on);

    void add(int day, const ScheduleEntry &entry);
    // Overwrites the selected row; on an empty list appends. False when
    // nothing was written (rows but none selected).
    bool modify(int day, int row, const ScheduleEntry &entry);
    bool remove(int day, int row);
    // False when the day was empty already.
    bool removeAll(int day);
    // The row now holding the selected entry (the same row when it could not
    // move, -1 without one). The week counts as changed in every case.
    int moveUp(int day, int row);
    int moveDown(int day, int row);
    // "接前一曲": the start time right after the entry above the row; empty
    // for the first row or no row.
    QString startAfterPrevious(int day, int row) const;
    // "连续编排": rewrites the start times from the row (from the second when
    // the first is selected) to the last, each right after the one above.
    // True when a start time changed.
    bool arrangeFrom(int day, int row);
    // "复制": appends the rows of day from to day to. False (nothing copied)
    // for no day or the same day.
    bool copyDay(int from, int to);
    // True when the rows came out in another order.
    bool sort(int day, int column);

    // The second after an entry starting at time and lasting length ends,
    // taken modulo one day: 08:00:00 and 00:05:30 give 08:05:31.
    static QString startAfter(const QString &time, const QString &length);

    // Where an entry that must not be written is.
    struct Problem
    {
        int day = -1;
        int row = -1;
        EntryFields::Problem problem;
        // "星期二第 3 项：" and what is wrong.
        QString text() const;
        explicit operator bool() const { return bool(problem); }
    };
    Problem firstProblem() const;
    Problem firstProblem(int day) const;

    // Files. A week read replaces all seven lists; a file that cannot be read
    // leaves them empty: nothing of a failing file is kept. Returns the reason
    // of a failure, the empty text on success.
    QString loadWeek(const QString &path);
    // "调日期": appends the entries of a date file to a day; a file that
    // cannot be read (or holds no entry) adds nothing and changes nothing.
    QString importDay(int day, const QString &path);
    // Write the week, or one day as a date file; a file written is announced
    // to saved (the console reloads today's list from it).
    QString saveWeek(const QString &path, SavedFiles &saved) const;
    QString saveDay(int day, const QString &path, SavedFiles &saved) const;
    // The path with ".txt" added when its name has no extension, as the
    // file dialogs of the editor add their default extension.
    static QString withDefaultExtension(const QString &path);
    // Empties every list: a new week.
    void clear();

Q_SIGNALS:
    void modifiedChanged(bool on);

private:
    bool hasRow(int day, int row) const;

    std::array<DayTableModel *, DayCount> m_days {};
    bool m_modified = false;
};
