#pragma once

#include "schedule/conflictfinder.h"

#include <QFutureWatcher>
#include <QObject>

#include <array>

class WeekEditor;

// Keeps the conflicts of the week an editor holds up to date as its rows
// change. Overlaps are found at once, after the change's event; whether the
// files are there is asked on a worker thread, since a path on a slow or
// gone network share can take seconds, and the answer is taken in on this
// object's thread. Until the first answer arrives no file counts as missing.
class ConflictWatch final : public QObject
{
    Q_OBJECT
public:
    explicit ConflictWatch(const WeekEditor &editor, QObject *parent = nullptr);
    // With another view of the disk (tests and benchmarks).
    ConflictWatch(const WeekEditor &editor, ConflictFinder::FileInfo info,
                  QObject *parent = nullptr);
    ~ConflictWatch() override;

    // Every conflict known, by day and row.
    const QList<EntryConflict> &conflicts() const { return m_conflicts; }
    QList<EntryConflict> conflicts(int day) const;
    // The conflicts row r of day takes part in.
    QList<EntryConflict> conflictsOf(int day, int row) const;
    // "3 处冲突"; empty when there is none.
    QString summary() const;
    // Whether the files are being looked at (again), or will be once a
    // change of the rows is taken in.
    bool isCheckingFiles() const;

    // Takes in a change of the rows now rather than after its event (before
    // the conflicts are named to the operator).
    void refresh();
    // Looks at the files again, as after a change: one may have been copied
    // or removed meanwhile.
    void recheckFiles();

Q_SIGNALS:
    void conflictsChanged();
    // A look at the files has ended and its answer is taken in.
    void filesChecked();

private:
    void connectDays();
    void scheduleUpdate();
    void update();
    void startFileCheck();
    void fileCheckDone();
    QList<EntryConflict> allConflicts(const WeekTables &week);

    const WeekEditor &m_editor;
    ConflictFinder::FileInfo m_info;
    QList<EntryConflict> m_conflicts;
    // The overlaps of each day as last found, and the days changed since.
    std::array<QList<EntryConflict>, 7> m_dayOverlaps;
    std::array<bool, 7> m_dirtyDays {true, true, true, true, true, true, true};
    QHash<QString, ConflictFinder::FileState> m_fileStates;
    QFutureWatcher<QHash<QString, ConflictFinder::FileState>> m_check;
    bool m_updateQueued = false;
    bool m_checking = false; // until the answer is taken in
    bool m_checkAgain = false; // a change came while the files were being looked at
};
