#pragma once

#include "schedule/scheduleentry.h"

#include <QAbstractTableModel>

// The state of one row of today's list.
enum class RowState {
    Waiting, // "否", "clock3"
    Done, // "是", "checkmark": started, or passed over
    Cancelled, // "是", "remove": taken out by the operator
};

struct ProgrammeColumn
{
    QString key;
    QString caption;
    int widthOf72; // share of the list's width in 72nds (W/8 = 9, W/9 = 8, W/12 = 6); 0 hides it
    Qt::Alignment alignment;
};

// Today's programme: one row per entry, always in ascending order of the start
// time compared as text; rows of the same time keep their loading order.
class ProgrammeModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The entry's fields in file order, the file name shown by its title;
    // then the row's state and the file's full path.
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
        PlayedColumn = EntryFieldCount,
        FileColumn,
        ColumnCount
    };
    static const QList<ProgrammeColumn> &columns();

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void clear();
    // Adds an entry as a waiting row at its place in time order; returns its row.
    int appendEntry(const ScheduleEntry &entry);
    // Adds many entries at once, each at its place in time order.
    void appendEntries(const QList<ScheduleEntry> &entries);

    int count() const { return int(m_rows.size()); }
    const ScheduleEntry &entry(int row) const { return m_rows.at(row).entry; }
    RowState state(int row) const { return m_rows.at(row).state; }
    void setState(int row, RowState state);
    // Marks the waiting rows among first..last (0-based) done in one change:
    // one dataChanged() for the whole range, however many rows it holds.
    void markWaitingDone(int first, int last);

    static QString playedText(RowState state); // "否" or "是"
    static QString iconKey(RowState state); // "clock3", "checkmark" or "remove"
    QString cellText(int row, int column) const;

private:
    struct Row
    {
        ScheduleEntry entry;
        RowState state = RowState::Waiting;
    };
    QList<Row> m_rows;
};
