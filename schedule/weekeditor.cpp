#include "schedule/weekeditor.h"

#include "platform/dialogs.h"
#include "platform/savedfiles.h"
#include "schedule/daytablemodel.h"
#include "schedule/schedulefile.h"
#include "schedule/timetext.h"

using namespace Qt::StringLiterals;

WeekEditor::WeekEditor(QObject *parent)
    : QObject(parent)
{
    for (DayTableModel *&model : m_days)
        model = new DayTableModel(this);
}

WeekEditor::~WeekEditor() = default;

QString WeekEditor::dayCaption(int day)
{
    return day == 6 ? u"星期天"_s : Weekdays::fileName(day);
}

WeekTables WeekEditor::tables() const
{
    WeekTables week;
    for (int d = 0; d < DayCount; ++d)
        week[std::size_t(d)] = day(d)->entries();
    return week;
}

int WeekEditor::entryCount() const
{
    int n = 0;
    for (const DayTableModel *model : m_days)
        n += model->count();
    return n;
}

void WeekEditor::setModified(bool on)
{
    if (m_modified == on)
        return;
    m_modified = on;
    Q_EMIT modifiedChanged(on);
}

bool WeekEditor::hasRow(int d, int row) const
{
    return row >= 0 && row < day(d)->count();
}

void WeekEditor::add(int d, const ScheduleEntry &entry)
{
    day(d)->append(entry);
    setModified(true);
}

bool WeekEditor::modify(int d, int row, const ScheduleEntry &entry)
{
    DayTableModel *list = day(d);
    if (list->isEmpty())
        list->append(entry);
    else if (hasRow(d, row))
        list->replace(row, entry);
    else
        return false;
    setModified(true);
    return true;
}

bool WeekEditor::remove(int d, int row)
{
    if (!hasRow(d, row))
        return false;
    day(d)->remove(row);
    setModified(true);
    return true;
}

bool WeekEditor::removeAll(int d)
{
    DayTableModel *list = day(d);
    if (list->isEmpty())
        return false;
    list->clear();
    setModified(true);
    return true;
}

int WeekEditor::moveUp(int d, int row)
{
    setModified(true);
    if (!hasRow(d, row))
        return -1;
    if (row == 0)
        return row;
    DayTableModel *list = day(d);
    const ScheduleEntry entry = list->entry(row);
    list->remove(row);
    list->insert(row - 1, entry);
    return row - 1;
}

int WeekEditor::moveDown(int d, int row)
{
    setModified(true);
    if (!hasRow(d, row))
        return -1;
    DayTableModel *list = day(d);
    if (row == list->count() - 1)
        return row;
    const ScheduleEntry entry = list->entry(row);
    list->remove(row);
    list->insert(row + 1, entry);
    return row + 1;
}

QString WeekEditor::startAfter(const QString &time, const QString &length)
{
    // Field by field, as the operator reads them: a field that is no number
    // counts as 0, and the hours of the sum wrap around midnight.
    const auto field = [](const QString &text, int at) { return text.mid(at, 2).toInt(); };
    const int end = (field(time, 0) + field(length, 0)) * 3600
        + (field(time, 3) + field(length, 3)) * 60 + field(time, 6) + field(length, 6);
    return TimeText::fromSeconds(end + 1);
}

QString WeekEditor::startAfterPrevious(int d, int row) const
{
    if (!hasRow(d, row) || row == 0)
        return {};
    const ScheduleEntry &previous = day(d)->entry(row - 1);
    return startAfter(previous.time, previous.plen);
}

bool WeekEditor::arrangeFrom(int d, int row)
{
    DayTableModel *list = day(d);
    if (list->count() < 2 || !hasRow(d, row))
        return false;
    // Each row builds on the time just written for the row above. Times
    // that were chained already are no change, and need no saving.
    bool changed = false;
    for (int i = std::max(row, 1); i < list->count(); ++i) {
        ScheduleEntry entry = list->entry(i);
        const QString time = startAfterPrevious(d, i);
        if (entry.time == time)
            continue;
        entry.time = time;
        list->replace(i, entry);
        changed = true;
    }
    if (changed)
        setModified(true);
    return changed;
}

bool WeekEditor::copyDay(int from, int to)
{
    if (from < 0 || from >= DayCount || to < 0 || to >= DayCount || from == to)
        return false;
    day(to)->append(day(from)->entries());
    setModified(true);
    return true;
}

bool WeekEditor::sort(int d, int column)
{
    // The sorted order is the order that is saved: a new order is a change.
    DayTableModel *list = day(d);
    const DayTable before = list->entries();
    list->sortByColumn(column);
    if (list->entries() == before)
        return false;
    setModified(true);
    return true;
}

QString WeekEditor::Problem::text() const
{
    return dayCaption(day) + u"第 %1 项："_s.arg(row + 1) + problem.text;
}

WeekEditor::Problem WeekEditor::firstProblem(int d) const
{
    const DayTable &rows = day(d)->entries();
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (EntryFields::Problem p = EntryFields::check(rows.at(r)))
            return {d, int(r), p};
    }
    return {};
}

WeekEditor::Problem WeekEditor::firstProblem() const
{
    for (int d = 0; d < DayCount; ++d) {
        if (Problem p = firstProblem(d))
            return p;
    }
    return {};
}

void WeekEditor::clear()
{
    for (DayTableModel *model : m_days)
        model->clear();
}

QString WeekEditor::loadWeek(const QString &path)
{
    const ScheduleFile::WeekRead read = ScheduleFile::readWeekForEditor(path);
    // The reader hands over nothing of a file it could not read, so a
    // failure leaves every list empty.
    for (int d = 0; d < DayCount; ++d)
        day(d)->setEntries(read.days[std::size_t(d)]);
    if (!read.ok)
        return read.error.isEmpty() ? u"read error"_s : read.error;
    return {};
}

QString WeekEditor::importDay(int d, const QString &path)
{
    const ScheduleFile::DayRead read = ScheduleFile::readDateForEditor(path);
    if (!read.ok)
        return read.error.isEmpty() ? u"read error"_s : read.error;
    if (!read.entries.isEmpty()) {
        day(d)->append(read.entries);
        setModified(true);
    }
    return {};
}

QString WeekEditor::saveWeek(const QString &path, SavedFiles &saved) const
{
    const QString error = ScheduleFile::writeWeekFile(path, tables());
    if (error.isEmpty())
        saved.announce(SavedFiles::Kind::WeekSchedule, path);
    return error;
}

QString WeekEditor::saveDay(int d, const QString &path, SavedFiles &saved) const
{
    const QString error = ScheduleFile::writeDateFile(path, day(d)->entries());
    if (error.isEmpty())
        saved.announce(SavedFiles::Kind::DateSchedule, path);
    return error;
}

QString WeekEditor::withDefaultExtension(const QString &path)
{
    return withDefaultSuffix(path, u"txt"_s);
}
