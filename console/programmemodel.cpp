#include "console/programmemodel.h"

#include "console/programmeicons.h"
#include "platform/appfolder.h"

#include <algorithm>

const QList<ProgrammeColumn> &ProgrammeModel::columns()
{
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    const Qt::Alignment centre = Qt::AlignCenter;
    static const QList<ProgrammeColumn> list = {
        {QStringLiteral("time"), QStringLiteral("播放时间"), 9, left},
        {QStringLiteral("channel"), QStringLiteral("节目源"), 6, centre},
        {QStringLiteral("detail"), QStringLiteral("内容概述"), 8, left},
        {QStringLiteral("filename"), QStringLiteral("    播放文件"), 24, left},
        {QStringLiteral("volume"), QStringLiteral("音量大小"), 8, centre},
        {QStringLiteral("plen"), QStringLiteral("播放时长"), 8, left},
        {QStringLiteral("zone"), QStringLiteral("分区设置"), 0, left},
        {QStringLiteral("amp"), QStringLiteral("功放设置"), 0, left},
        {QStringLiteral("device"), QStringLiteral("外设设置"), 0, left},
        {QStringLiteral("played"), QStringLiteral("已播"), 8, left},
        {QStringLiteral("file"), QStringLiteral("文件路径"), 0, left},
    };
    return list;
}

int ProgrammeModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int ProgrammeModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ProgrammeModel::playedText(RowState state)
{
    return state == RowState::Waiting ? QStringLiteral("否") : QStringLiteral("是");
}

QString ProgrammeModel::iconKey(RowState state)
{
    switch (state) {
    case RowState::Waiting:
        return QStringLiteral("clock3");
    case RowState::Done:
        return QStringLiteral("checkmark");
    case RowState::Cancelled:
        return QStringLiteral("remove");
    }
    return {};
}

QString ProgrammeModel::cellText(int row, int column) const
{
    const Row &r = m_rows.at(row);
    const ScheduleEntry &e = r.entry;
    switch (column) {
    case FileNameColumn:
        return fileTitle(e.filename);
    case PlayedColumn:
        return playedText(r.state);
    case FileColumn:
        return e.filename;
    default:
        return entryFieldText(e, column);
    }
}

QVariant ProgrammeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count() || index.column() >= ColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return cellText(index.row(), index.column());
    case Qt::DecorationRole:
        if (index.column() == TimeColumn)
            return ProgrammeIcons::icon(iconKey(m_rows.at(index.row()).state));
        return {};
    case Qt::TextAlignmentRole:
        return QVariant(columns().at(index.column()).alignment);
    default:
        return {};
    }
}

QVariant ProgrammeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return columns().at(section).caption;
    if (role == Qt::TextAlignmentRole)
        return QVariant(columns().at(section).alignment);
    return {};
}

void ProgrammeModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int ProgrammeModel::appendEntry(const ScheduleEntry &entry)
{
    const auto at
        = std::upper_bound(m_rows.cbegin(), m_rows.cend(), entry.time,
                           [](const QString &time, const Row &r) { return time < r.entry.time; });
    const int row = int(at - m_rows.cbegin());
    beginInsertRows({}, row, row);
    m_rows.insert(row, Row {entry, RowState::Waiting});
    endInsertRows();
    return row;
}

void ProgrammeModel::appendEntries(const QList<ScheduleEntry> &entries)
{
    if (entries.isEmpty())
        return;
    QList<Row> added;
    added.reserve(entries.size());
    for (const ScheduleEntry &e : entries)
        added.append(Row {e, RowState::Waiting});
    const auto byTime = [](const Row &a, const Row &b) { return a.entry.time < b.entry.time; };
    // A schedule file is mostly written in time order already: the list a
    // reload fills is then taken as it is.
    if (!std::is_sorted(added.cbegin(), added.cend(), byTime))
        std::stable_sort(added.begin(), added.end(), byTime);
    if (m_rows.isEmpty()) {
        beginResetModel();
        m_rows = std::move(added);
        endResetModel();
        return;
    }
    QList<Row> merged;
    merged.reserve(m_rows.size() + added.size());
    // Rows already in the list come first among rows of the same time, as
    // they would with one insertion after another.
    std::merge(m_rows.cbegin(), m_rows.cend(), added.cbegin(), added.cend(),
               std::back_inserter(merged), byTime);
    beginResetModel();
    m_rows = std::move(merged);
    endResetModel();
}

void ProgrammeModel::setState(int row, RowState state)
{
    if (row < 0 || row >= count() || m_rows.at(row).state == state)
        return;
    m_rows[row].state = state;
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void ProgrammeModel::markWaitingDone(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, count() - 1);
    bool changed = false;
    for (int row = first; row <= last; ++row) {
        if (m_rows.at(row).state == RowState::Waiting) {
            m_rows[row].state = RowState::Done;
            changed = true;
        }
    }
    if (changed)
        Q_EMIT dataChanged(index(first, 0), index(last, ColumnCount - 1));
}
