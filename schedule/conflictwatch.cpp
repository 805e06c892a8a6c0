#include "schedule/conflictwatch.h"

#include "schedule/daytablemodel.h"
#include "schedule/weekeditor.h"

#include <QtConcurrent/QtConcurrentRun>

using namespace Qt::StringLiterals;

ConflictWatch::ConflictWatch(const WeekEditor &editor, QObject *parent)
    : ConflictWatch(editor, &ConflictFinder::fileOnDisk, parent)
{
}

ConflictWatch::ConflictWatch(const WeekEditor &editor, ConflictFinder::FileInfo info,
                             QObject *parent)
    : QObject(parent)
    , m_editor(editor)
    , m_info(std::move(info))
{
    // The watcher's signal is delivered on this object's thread.
    connect(&m_check, &QFutureWatcherBase::finished, this, &ConflictWatch::fileCheckDone);
    connectDays();
    scheduleUpdate();
}

ConflictWatch::~ConflictWatch()
{
    // A look at the files still running is not waited for: it holds copies
    // of what it needs, and its answer goes nowhere.
    m_check.disconnect(this);
}

void ConflictWatch::connectDays()
{
    for (int d = 0; d < WeekEditor::DayCount; ++d) {
        const DayTableModel *day = m_editor.day(d);
        // Only the days that changed are looked at again.
        const auto changed = [this, d] {
            m_dirtyDays[std::size_t(d)] = true;
            scheduleUpdate();
        };
        connect(day, &QAbstractItemModel::rowsInserted, this, changed);
        connect(day, &QAbstractItemModel::rowsRemoved, this, changed);
        connect(day, &QAbstractItemModel::rowsMoved, this, changed);
        connect(day, &QAbstractItemModel::dataChanged, this, changed);
        connect(day, &QAbstractItemModel::modelReset, this, changed);
        connect(day, &QAbstractItemModel::layoutChanged, this, changed);
    }
}

void ConflictWatch::scheduleUpdate()
{
    // A batch of entries added one by one is looked at once, after it.
    if (m_updateQueued)
        return;
    m_updateQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            // Taken in already by refresh().
            if (!m_updateQueued)
                return;
            m_updateQueued = false;
            update();
        },
        Qt::QueuedConnection);
}

QList<EntryConflict> ConflictWatch::allConflicts(const WeekTables &week)
{
    QList<EntryConflict> found;
    for (std::size_t d = 0; d < week.size(); ++d) {
        if (m_dirtyDays[d]) {
            m_dayOverlaps[d] = ConflictFinder::overlaps(int(d), week[d]);
            m_dirtyDays[d] = false;
        }
        found.append(m_dayOverlaps[d]);
    }
    found.append(ConflictFinder::fileProblems(week, m_fileStates));
    // By day and row, pairs before a file problem of the same row.
    std::stable_sort(found.begin(), found.end(),
                     [](const EntryConflict &a, const EntryConflict &b) {
                         if (a.day != b.day)
                             return a.day < b.day;
                         return a.row < b.row;
                     });
    return found;
}

void ConflictWatch::update()
{
    QList<EntryConflict> found = allConflicts(m_editor.tables());
    if (found != m_conflicts) {
        m_conflicts = std::move(found);
        Q_EMIT conflictsChanged();
    }
    startFileCheck();
}

void ConflictWatch::refresh()
{
    if (!m_updateQueued)
        return;
    m_updateQueued = false;
    update();
}

void ConflictWatch::recheckFiles()
{
    startFileCheck();
}

bool ConflictWatch::isCheckingFiles() const
{
    return m_updateQueued || m_checking;
}

void ConflictWatch::startFileCheck()
{
    // One look at a time: a change meanwhile is looked at after it.
    if (m_checking) {
        m_checkAgain = true;
        return;
    }
    m_checking = true;
    m_checkAgain = false;
    const QStringList paths = ConflictFinder::playedPaths(m_editor.tables());
    m_check.setFuture(QtConcurrent::run(
        [paths, info = m_info] { return ConflictFinder::fileStates(paths, info); }));
}

void ConflictWatch::fileCheckDone()
{
    m_checking = false;
    m_fileStates = m_check.result();
    QList<EntryConflict> found = allConflicts(m_editor.tables());
    if (found != m_conflicts) {
        m_conflicts = std::move(found);
        Q_EMIT conflictsChanged();
    }
    // What changed while the files were looked at is looked at again; the
    // answer just taken in stands until then.
    if (m_checkAgain) {
        startFileCheck();
        return;
    }
    Q_EMIT filesChecked();
}

QList<EntryConflict> ConflictWatch::conflicts(int day) const
{
    QList<EntryConflict> found;
    for (const EntryConflict &c : m_conflicts) {
        if (c.day == day)
            found.append(c);
    }
    return found;
}

QList<EntryConflict> ConflictWatch::conflictsOf(int day, int row) const
{
    QList<EntryConflict> found;
    for (const EntryConflict &c : m_conflicts) {
        if (c.day == day && (c.row == row || c.otherRow == row))
            found.append(c);
    }
    return found;
}

QString ConflictWatch::summary() const
{
    return m_conflicts.isEmpty() ? QString() : u"%1 处冲突"_s.arg(m_conflicts.size());
}
