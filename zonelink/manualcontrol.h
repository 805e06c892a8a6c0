#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

class QItemSelectionModel;
class ZoneLink;

// One list of the manual control window: entries with a text and a number
// (node address, or amplifier or device number 1..8), in the order shown.
class ManualItemList final : public QAbstractListModel
{
    Q_OBJECT
public:
    struct Item
    {
        QString text;
        int number = 0;

        friend bool operator==(const Item &, const Item &) = default;
    };
    static constexpr int NumberRole = Qt::UserRole;

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    const QList<Item> &items() const { return m_items; }
    void append(const QList<Item> &items);
    // Takes out the rows (ascending, no repeats) and hands their entries back in list order.
    QList<Item> take(const QList<int> &rows);
    QList<Item> takeAll();
    // The numbers in list order as a DotList: "3.17.200.".
    QString dotList() const;

private:
    QList<Item> m_items;
};

// The logic of "播放控制中心": which amplifiers, devices and terminals the
// operator put on each programme channel, the moves between the lists, and
// the frames that bring the hardware into line with a channel. It keeps its
// own record of what it switched on, apart from the scheduler's, and sends
// everything through the zone link's one queue.
class ManualControl final : public QObject
{
    Q_OBJECT
public:
    // The kinds of list; a button acts on the kind last used, none at first.
    enum ListKind { NoList = 0, AmpList = 1, DeviceList = 2, NodeList = 3 };
    static constexpr int TabCount = 8; // tab t is programme channel t + 1
    static constexpr int GroupCount = 8;

    struct Node
    {
        QString name;
        int address = 0; // 0..255
        int group = 0; // 1..8; anything else belongs to no group box
    };
    // What this window switched on for one channel, as DotLists.
    struct ChannelRecord
    {
        QString Zones;
        QString Amps;
        QString Devices;

        friend bool operator==(const ChannelRecord &, const ChannelRecord &) = default;
    };

    explicit ManualControl(ZoneLink &link, QObject *parent = nullptr);
    ~ManualControl() override;

    // The source lists: amplifiers and devices 1..8 by their names (an empty
    // or missing name still gives its entry), the terminals in file order.
    // Nodes with an address outside 0..255 are left out: no frame could carry them.
    void fill(const QStringList &ampNames, const QStringList &deviceNames,
              const QList<Node> &nodes);

    ManualItemList *sourceList(ListKind kind) const;
    QItemSelectionModel *sourceSelection(ListKind kind) const;
    ManualItemList *targetList(int tab, ListKind kind) const;
    QItemSelectionModel *targetSelection(int tab, ListKind kind) const;

    // A list lost the focus or was double-clicked: the buttons act on its kind.
    void setLastSourceList(ListKind kind) { m_lastSourceList = kind; }
    void setLastTargetList(ListKind kind) { m_lastTargetList = kind; }
    ListKind LastSourceList() const { return m_lastSourceList; }
    ListKind LastTargetList() const { return m_lastTargetList; }

    // "增加选中", "增加全部", "删除选中", "删除全部" on the given tab.
    // Moving sends nothing.
    void addSelected(int tab);
    void addAll(int tab);
    void removeSelected(int tab);
    void removeAll(int tab);

    // A click on group box 0..7 that left it in this state.
    void groupClicked(int box, Qt::CheckState state, int tab);
    int groupOf(int address) const;

    // "当前确定" for one tab, with its channel's frequency in tenths of a MHz:
    // closes what the channel dropped, opens what it holds now, and takes
    // the channel's items out of the other channels' records. The record
    // follows the frames as they go out (see ManualState).
    void confirm(int tab, int frequencyTenths);
    // "调节音量": the tab's terminals, confirmed or not, get this volume.
    // Returns whether a frame was queued (an empty tab sends nothing).
    bool setVolume(int tab, int volume);
    // The window closes: everything recorded, or on its way to be, is
    // switched off. Each item leaves the record once its close is out; what
    // could not be closed stays recorded. Returns whether anything was to
    // be switched off.
    bool switchOffAll();

    // What this window has switched on for channel 1..8: only what frames
    // that went out switched on, less what frames that went out switched
    // off. A list the frames of one command split stays in the tab's order.
    const ChannelRecord &ManualState(int channel) const;
    bool hasRecord() const;
    // Frames of this window queued on the link and not yet out (or dropped).
    int framesUnderway() const { return m_underway; }

    // "打开终端 5.7.9." for a command; a list too long to read is cut short.
    static QString describe(int code, const QString &list);

Q_SIGNALS:
    // The last frame underway went out or was dropped.
    void framesSent();
    // Some commands of the frames that were underway did not go out, or
    // could not be built: one line each ("打开终端 5.7.9."). Said once
    // they are all through, just before framesSent.
    void notSent(const QStringList &commands);

private:
    struct Lists
    {
        ManualItemList *model = nullptr;
        QItemSelectionModel *selection = nullptr;
    };
    enum class Field { Zones, Amps, Devices };
    // One frame of this window's on its way, and what it does to the
    // record once it is out.
    struct Pending
    {
        quint64 id = 0;
        int channel = 0; // 1..8; 0 for every channel (closing the window); -1 none
        Field field = Field::Zones;
        bool open = false;
        QString values; // the frame's list
        QString order; // an open: the channel's whole new list, in the tab's order
        QString command; // for the operator, should it fail
    };
    using Records = std::array<ChannelRecord, TabCount + 1>; // [1..8]

    Lists makeList();
    static int slot(ListKind kind);
    static QString &fieldOf(ChannelRecord &record, Field field);
    static void apply(Records &records, const Pending &frame);
    // The record as it will be once every frame underway is out.
    Records planned() const;
    void move(const Lists &from, const Lists &to, bool selectedOnly);
    void selectGroup(const Lists &list, int group);
    // Queues the frames of a command; channel -1 leaves the record alone.
    void send(int channel, Field field, int code, const QString &p1, const QString &p2,
              const QString &list, const QString &order, bool lineHandling = true);
    void frameDone(quint64 id, bool sent);
    // A command holds off the end of the busy period until all its frames are queued.
    void hold() { ++m_underway; }
    void release();

    ZoneLink &m_link;
    std::array<Lists, 3> m_sources;
    std::array<std::array<Lists, 3>, TabCount> m_targets;
    std::array<int, 256> m_groupLookup {}; // NodeLookup's group, by address
    Records m_state;
    QList<Pending> m_pending; // in queue order
    QStringList m_unsent; // since the link was last idle for this window
    ListKind m_lastSourceList = NoList;
    ListKind m_lastTargetList = NoList;
    quint64 m_lastId = 0;
    int m_underway = 0;
    bool m_queuedSomething = false;
};
