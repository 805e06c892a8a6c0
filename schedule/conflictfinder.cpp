#include "schedule/conflictfinder.h"

#include "schedule/timetext.h"
#include "schedule/weekeditor.h"
#include "zonelink/frames.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <array>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString kPeripheral = u"外设控制"_s;
constexpr int kDaySeconds = 24 * 3600;

QString channelName(const QString &channel)
{
    static const QStringList numerals
        = {u"一"_s, u"二"_s, u"三"_s, u"四"_s, u"五"_s, u"六"_s, u"七"_s, u"八"_s};
    const int n = channel.toInt();
    return u"节目"_s + (n >= 1 && n <= 8 ? numerals.at(n - 1) : channel);
}

// What two entries are said to do together, after "第 3 项与第 5 项" or
// "与第 5 项（08:00:00）".
QString pairPhrase(const EntryConflict &c)
{
    const QString items = c.items.join(u'、');
    switch (c.kind) {
    case EntryConflict::Kind::SameChannel:
        return u"同在%1，播放时间重叠"_s.arg(channelName(c.items.value(0)));
    case EntryConflict::Kind::Terminal:
        return u"在不同节目同时占用终端 %1"_s.arg(items);
    case EntryConflict::Kind::Amplifier:
        return u"在不同节目同时占用功放 %1"_s.arg(items);
    case EntryConflict::Kind::Device:
        return u"在不同节目同时占用外设 %1"_s.arg(items);
    default:
        return {};
    }
}

QString fileFault(EntryConflict::Kind kind)
{
    return kind == EntryConflict::Kind::MissingFile ? u"播放文件不存在"_s : u"播放文件无法读取"_s;
}

// The items of a DotList as the scheduler compares them: as text. Each text
// gets a number, so that two lists are compared as sorted numbers; the
// row's own order is kept for the text.
struct Items
{
    QStringList inOrder;
    std::vector<int> idsInOrder;
    std::vector<int> sortedIds;
};

// The lists of one day, each split once: a week repeats the same few lists
// on many rows.
class ListBook
{
public:
    int indexOf(const QString &list)
    {
        const auto found = m_index.constFind(list);
        if (found != m_index.cend())
            return *found;
        Items items;
        if (!list.isEmpty()) {
            items.inOrder = dotListItems(list);
            for (const QString &item : std::as_const(items.inOrder)) {
                const auto id = m_ids.constFind(item);
                items.idsInOrder.push_back(
                    id != m_ids.cend() ? *id : *m_ids.insert(item, int(m_ids.size())));
            }
            items.sortedIds = items.idsInOrder;
            std::sort(items.sortedIds.begin(), items.sortedIds.end());
        }
        m_lists.push_back(std::move(items));
        return *m_index.insert(list, int(m_lists.size()) - 1);
    }
    const Items &at(int index) const { return m_lists[std::size_t(index)]; }

private:
    QHash<QString, int> m_index;
    QHash<QString, int> m_ids;
    std::vector<Items> m_lists;
};

// The items of a that b also holds, in a's order.
QStringList shared(const Items &a, const Items &b)
{
    if (a.sortedIds.empty() || b.sortedIds.empty())
        return {};
    std::vector<int> common;
    std::set_intersection(a.sortedIds.cbegin(), a.sortedIds.cend(), b.sortedIds.cbegin(),
                          b.sortedIds.cend(), std::back_inserter(common));
    if (common.empty())
        return {};
    QStringList ordered;
    for (std::size_t i = 0; i < a.idsInOrder.size(); ++i) {
        const QString &item = a.inOrder.at(qsizetype(i));
        if (std::binary_search(common.cbegin(), common.cend(), a.idsInOrder[i])
            && !ordered.contains(item))
            ordered.append(item);
    }
    return ordered;
}

struct Prepared
{
    int row = 0;
    ConflictFinder::Window window;
    qint16 channel = 0;
    std::array<int, 3> equipment {}; // terminals, amplifiers, devices in the day's ListBook
};

} // namespace

int EntryConflict::partnerOf(int r) const
{
    if (!isPair())
        return -1;
    if (r == row)
        return otherRow;
    return r == otherRow ? row : -1;
}

QString EntryConflict::text() const
{
    if (!isPair())
        return u"第 %1 项%2：%3"_s.arg(row + 1).arg(fileFault(kind), items.value(0));
    return u"第 %1 项与第 %2 项"_s.arg(row + 1).arg(otherRow + 1) + pairPhrase(*this);
}

QString EntryConflict::textFor(int r, const DayTable &entries) const
{
    const int other = partnerOf(r);
    if (other < 0)
        return fileFault(kind) + u"："_s + items.value(0);
    const QString time = other < entries.size() ? entries.at(other).time : QString();
    return u"与第 %1 项（%2）"_s.arg(other + 1).arg(time) + pairPhrase(*this);
}

namespace ConflictFinder {

Window windowOf(const ScheduleEntry &entry)
{
    const int begin = TimeValue(entry.time);
    if (begin < 0)
        return {};
    // As the scheduler: a length that is no time counts as none.
    const int length = std::max(TimeValue(entry.plen), 0);
    return {begin, std::min(begin + length, kDaySeconds)};
}

QList<EntryConflict> overlaps(int day, const DayTable &entries)
{
    std::vector<Prepared> rows;
    rows.reserve(std::size_t(entries.size()));
    ListBook lists;
    for (qsizetype r = 0; r < entries.size(); ++r) {
        const ScheduleEntry &e = entries.at(r);
        const Window w = windowOf(e);
        if (w.end <= w.begin)
            continue; // holds no second: nothing can overlap it
        Prepared p;
        p.row = int(r);
        p.window = w;
        p.channel = e.channel;
        p.equipment = {lists.indexOf(e.zone), lists.indexOf(e.amp), lists.indexOf(e.device)};
        rows.push_back(std::move(p));
    }
    std::sort(rows.begin(), rows.end(), [](const Prepared &a, const Prepared &b) {
        return a.window.begin != b.window.begin ? a.window.begin < b.window.begin : a.row < b.row;
    });

    static constexpr EntryConflict::Kind kEquipment[3] = {
        EntryConflict::Kind::Terminal, EntryConflict::Kind::Amplifier, EntryConflict::Kind::Device};
    QList<EntryConflict> found;
    // A sweep by start time: the entries still playing when the next one
    // starts are the ones it overlaps (windows that only touch do not).
    std::vector<const Prepared *> playing;
    for (const Prepared &p : rows) {
        std::erase_if(playing, [&p](const Prepared *q) { return q->window.end <= p.window.begin; });
        for (const Prepared *q : playing) {
            const Prepared &first = q->row < p.row ? *q : p;
            const Prepared &second = q->row < p.row ? p : *q;
            if (first.channel == second.channel) {
                found.append({day,
                              first.row,
                              second.row,
                              EntryConflict::Kind::SameChannel,
                              {QString::number(first.channel)}});
                continue;
            }
            for (std::size_t k = 0; k < 3; ++k) {
                const QStringList both
                    = shared(lists.at(first.equipment[k]), lists.at(second.equipment[k]));
                if (!both.isEmpty())
                    found.append({day, first.row, second.row, kEquipment[k], both});
            }
        }
        playing.push_back(&p);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const EntryConflict &a, const EntryConflict &b) {
                         if (a.row != b.row)
                             return a.row < b.row;
                         if (a.otherRow != b.otherRow)
                             return a.otherRow < b.otherRow;
                         return a.kind < b.kind;
                     });
    return found;
}

QList<EntryConflict> overlaps(const WeekTables &week)
{
    QList<EntryConflict> found;
    for (std::size_t d = 0; d < week.size(); ++d)
        found.append(overlaps(int(d), week[d]));
    return found;
}

FileState fileOnDisk(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return FileState::Missing;
    // A folder entry plays the files the folder holds; that it exists is
    // all that can be said before it plays.
    if (info.isDir())
        return FileState::Present;
    return info.isReadable() ? FileState::Present : FileState::Unreadable;
}

bool playsFile(const ScheduleEntry &entry)
{
    return !entry.filename.isEmpty() && entry.filename != kPeripheral;
}

QStringList playedPaths(const WeekTables &week)
{
    QStringList paths;
    QSet<QString> seen;
    for (const DayTable &day : week) {
        for (const ScheduleEntry &e : day) {
            if (playsFile(e) && !seen.contains(e.filename)) {
                seen.insert(e.filename);
                paths.append(e.filename);
            }
        }
    }
    return paths;
}

QList<EntryConflict> fileProblems(const WeekTables &week, const QHash<QString, FileState> &states)
{
    QList<EntryConflict> found;
    if (states.isEmpty())
        return found;
    for (std::size_t d = 0; d < week.size(); ++d) {
        const DayTable &day = week[d];
        for (qsizetype r = 0; r < day.size(); ++r) {
            const ScheduleEntry &e = day.at(r);
            if (!playsFile(e))
                continue;
            const FileState state = states.value(e.filename, FileState::Present);
            if (state == FileState::Present)
                continue;
            found.append({int(d),
                          int(r),
                          -1,
                          state == FileState::Missing ? EntryConflict::Kind::MissingFile
                                                      : EntryConflict::Kind::UnreadableFile,
                          {e.filename}});
        }
    }
    return found;
}

QHash<QString, FileState> fileStates(const QStringList &paths, const FileInfo &info)
{
    QHash<QString, FileState> states;
    states.reserve(paths.size());
    for (const QString &path : paths)
        states.insert(path, info(path));
    return states;
}

QString listText(const QList<EntryConflict> &conflicts, int limit)
{
    QStringList lines;
    for (const EntryConflict &c : conflicts) {
        if (lines.size() == limit)
            break;
        lines.append(WeekEditor::dayCaption(c.day) + u"："_s + c.text());
    }
    if (conflicts.size() > lines.size())
        lines.append(u"……另有 %1 处"_s.arg(conflicts.size() - lines.size()));
    return lines.join(u'\n');
}

} // namespace ConflictFinder
