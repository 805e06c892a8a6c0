#include "schedule/daytablemodel.h"

#include <algorithm>

using namespace Qt::StringLiterals;

int DayTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int DayTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString DayTableModel::caption(int column)
{
    // The leading blanks centre the two wide columns' captions over their text.
    static const QString captions[ColumnCount] = {
        u"播放时间"_s, u"节目源"_s,   u"      播放说明"_s, u"           播放文件"_s,
        u"音量大小"_s, u"播放时长"_s, u"接收终端"_s,       u"功放选择"_s,
        u"外设选择"_s,
    };
    return column >= 0 && column < ColumnCount ? captions[column] : QString();
}

QString DayTableModel::cellText(const ScheduleEntry &e, int column)
{
    return entryFieldText(e, column);
}

QVariant DayTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cellText(m_rows.at(index.row()), index.column());
    return {};
}

QVariant DayTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return caption(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void DayTableModel::setEntries(const DayTable &entries)
{
    beginResetModel();
    m_rows = entries;
    endResetModel();
}

void DayTableModel::append(const ScheduleEntry &entry)
{
    insert(count(), entry);
}

void DayTableModel::append(const DayTable &entries)
{
    if (entries.isEmpty())
        return;
    beginInsertRows({}, count(), count() + int(entries.size()) - 1);
    m_rows.append(entries);
    endInsertRows();
}

void DayTableModel::insert(int row, const ScheduleEntry &entry)
{
    beginInsertRows({}, row, row);
    m_rows.insert(row, entry);
    endInsertRows();
}

void DayTableModel::replace(int row, const ScheduleEntry &entry)
{
    m_rows[row] = entry;
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void DayTableModel::remove(int row)
{
    beginRemoveRows({}, row, row);
    m_rows.remove(row);
    endRemoveRows();
}

void DayTableModel::clear()
{
    setEntries({});
}

void DayTableModel::sortByColumn(int column)
{
    if (column < 0 || column >= ColumnCount)
        return;
    // By text, as the list shows it: a volume of 100 sorts before one of 80.
    DayTable sorted = m_rows;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [column](const ScheduleEntry &a, const ScheduleEntry &b) {
                         return cellText(a, column) < cellText(b, column);
                     });
    setEntries(sorted);
}
