#include "schedule/weekprogmarks.h"

#include "schedule/conflictwatch.h"
#include "schedule/daytablemodel.h"

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QStyle>

using namespace Qt::StringLiterals;

ConflictMarks::ConflictMarks(const ConflictWatch &watch, int day, DayTableModel *source,
                             QObject *parent)
    : QIdentityProxyModel(parent)
    , m_watch(watch)
    , m_day(source)
    , m_dayIndex(day)
{
    setSourceModel(source);
    connect(&watch, &ConflictWatch::conflictsChanged, this, &ConflictMarks::takeConflicts);
    takeConflicts();
}

void ConflictMarks::takeConflicts()
{
    QHash<int, Mark> marks;
    for (const EntryConflict &c : m_watch.conflicts(m_dayIndex)) {
        for (int row : {c.row, c.otherRow}) {
            if (row < 0)
                continue;
            Mark &mark = marks[row];
            mark.conflicts.append(c);
            const int other = c.partnerOf(row);
            if (other >= 0 && !mark.partners.contains(other))
                mark.partners.append(other);
        }
    }
    for (Mark &mark : marks)
        std::sort(mark.partners.begin(), mark.partners.end());
    if (marks.isEmpty() && m_marks.isEmpty())
        return;
    m_marks = std::move(marks);
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, DayTableModel::TimeColumn),
                           index(rowCount() - 1, DayTableModel::TimeColumn));
}

QStringList ConflictMarks::texts(int row) const
{
    // Worded when asked, so that the other entry's start time is the one it
    // has now, also after a change that left the conflict as it was.
    QStringList texts;
    const DayTable &entries = m_day->entries();
    for (const EntryConflict &c : m_marks.value(row).conflicts)
        texts.append(c.textFor(row, entries));
    return texts;
}

QVariant ConflictMarks::data(const QModelIndex &index, int role) const
{
    if (index.isValid() && index.column() == DayTableModel::TimeColumn) {
        const auto mark = m_marks.constFind(index.row());
        if (mark != m_marks.cend()) {
            switch (role) {
            case Qt::DecorationRole:
                return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
            case Qt::BackgroundRole:
                return QColor(255, 214, 204);
            case Qt::ToolTipRole:
                return QString(u"冲突：\n"_s + texts(index.row()).join(u'\n'));
            case PartnersRole:
                return QVariant::fromValue(mark->partners);
            default:
                break;
            }
        }
    }
    return QIdentityProxyModel::data(index, role);
}
