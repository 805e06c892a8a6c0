#pragma once

#include "schedule/conflictfinder.h"

#include <QIdentityProxyModel>
#include <QList>
#include <QStringList>

class ConflictWatch;
class DayTableModel;

// One day's entry list as the editor shows it: the rows of the day with the
// conflicts they take part in marked on their start time (an icon, a
// coloured cell and a tool tip naming the other entry and what clashes).
class ConflictMarks final : public QIdentityProxyModel
{
    Q_OBJECT
public:
    // The rows a marked row clashes with (QList<int>, rows of this list).
    static constexpr int PartnersRole = Qt::UserRole + 1;

    ConflictMarks(const ConflictWatch &watch, int day, DayTableModel *source,
                  QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role) const override;

    // Whether row is marked; the rows it clashes with, first to last.
    bool isMarked(int row) const { return m_marks.contains(row); }
    QList<int> partners(int row) const { return m_marks.value(row).partners; }
    // What row clashes with, one text a conflict.
    QStringList texts(int row) const;

private:
    void takeConflicts();

    struct Mark
    {
        QList<EntryConflict> conflicts;
        QList<int> partners;
    };
    const ConflictWatch &m_watch;
    const DayTableModel *m_day;
    int m_dayIndex;
    QHash<int, Mark> m_marks;
};
