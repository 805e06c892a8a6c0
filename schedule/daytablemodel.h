#pragma once

#include "schedule/scheduleentry.h"

#include <QAbstractTableModel>

// One day's entry list of the schedule editor: a row per entry, in the order
// the operator built it (nothing keeps the rows in time order), the nine
// fields as the columns' texts.
class DayTableModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The entry's fields, in file order.
    enum Column {
        TimeColumn = TimeField,
        ChannelColumn = ChannelField,
        DetailColumn = DetailField,
        FileNameColumn = FileNameField,
        VolumeColumn = VolumeField,
        PlayLengthColumn = PlayLengthField,
        ZoneColumn = ZoneField,
        AmpColumn = AmpField,
        DeviceColumn = DeviceField,
        ColumnCount = EntryFieldCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static QString caption(int column);
    // The text of a field as the list shows it (integers as plain digits).
    static QString cellText(const ScheduleEntry &entry, int column);

    int count() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    const ScheduleEntry &entry(int row) const { return m_rows.at(row); }
    const DayTable &entries() const { return m_rows; }

    void setEntries(const DayTable &entries);
    void append(const ScheduleEntry &entry);
    void append(const DayTable &entries);
    void insert(int row, const ScheduleEntry &entry);
    void replace(int row, const ScheduleEntry &entry);
    void remove(int row);
    void clear();
    // Ascending by the column's text, once; equal texts keep their order.
    void sortByColumn(int column);

private:
    DayTable m_rows;
};
