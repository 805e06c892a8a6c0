#include "zonelink/manualcontrol.h"

#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QItemSelectionModel>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

int ManualItemList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant ManualItemList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size())
        return {};
    const Item &item = m_items.at(index.row());
    if (role == Qt::DisplayRole)
        return item.text;
    if (role == NumberRole)
        return item.number;
    return {};
}

void ManualItemList::append(const QList<Item> &items)
{
    if (items.isEmpty())
        return;
    const int first = int(m_items.size());
    beginInsertRows({}, first, first + int(items.size()) - 1);
    m_items.append(items);
    endInsertRows();
}

QList<ManualItemList::Item> ManualItemList::take(const QList<int> &rows)
{
    QList<Item> taken;
    for (const int row : rows)
        taken.append(m_items.at(row));
    // From the last to the first, so the rows still to go keep their numbers.
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        beginRemoveRows({}, *it, *it);
        m_items.removeAt(*it);
        endRemoveRows();
    }
    return taken;
}

QList<ManualItemList::Item> ManualItemList::takeAll()
{
    if (m_items.isEmpty())
        return {};
    beginResetModel();
    QList<Item> taken = std::exchange(m_items, {});
    endResetModel();
    return taken;
}

QString ManualItemList::dotList() const
{
    QString list;
    for (const Item &item : m_items)
        list += QString::number(item.number) + u'.';
    return list;
}

ManualControl::ManualControl(ZoneLink &link, QObject *parent)
    : QObject(parent)
    , m_link(link)
{
    for (Lists &list : m_sources)
        list = makeList();
    for (auto &tab : m_targets) {
        for (Lists &list : tab)
            list = makeList();
    }
}

ManualControl::~ManualControl() = default;

ManualControl::Lists ManualControl::makeList()
{
    auto *model = new ManualItemList(this);
    return {model, new QItemSelectionModel(model, this)};
}

int ManualControl::slot(ListKind kind)
{
    Q_ASSERT(kind != NoList);
    return int(kind) - 1;
}

void ManualControl::fill(const QStringList &ampNames, const QStringList &deviceNames,
                         const QList<Node> &nodes)
{
    QList<ManualItemList::Item> amps;
    QList<ManualItemList::Item> devices;
    for (int i = 1; i <= 8; ++i) {
        const QString number = QString::number(i);
        amps.append({u"功放"_s + number + u'(' + ampNames.value(i - 1) + u')', i});
        devices.append({u"外设"_s + number + u'(' + deviceNames.value(i - 1) + u')', i});
    }
    QList<ManualItemList::Item> terminals;
    m_groupLookup.fill(0);
    for (const Node &node : nodes) {
        if (node.address < 0 || node.address > 255)
            continue;
        terminals.append({node.name, node.address});
        m_groupLookup[std::size_t(node.address)] = node.group;
    }
    sourceList(AmpList)->append(amps);
    sourceList(DeviceList)->append(devices);
    sourceList(NodeList)->append(terminals);
}

ManualItemList *ManualControl::sourceList(ListKind kind) const
{
    return m_sources.at(std::size_t(slot(kind))).model;
}

QItemSelectionModel *ManualControl::sourceSelection(ListKind kind) const
{
    return m_sources.at(std::size_t(slot(kind))).selection;
}

ManualItemList *ManualControl::targetList(int tab, ListKind kind) const
{
    return m_targets.at(std::size_t(tab)).at(std::size_t(slot(kind))).model;
}

QItemSelectionModel *ManualControl::targetSelection(int tab, ListKind kind) const
{
    return m_targets.at(std::size_t(tab)).at(std::size_t(slot(kind))).selection;
}

void ManualControl::move(const Lists &from, const Lists &to, bool selectedOnly)
{
    QList<ManualItemList::Item> items;
    if (selectedOnly) {
        QList<int> rows;
        for (const QModelIndex &index : from.selection->selectedRows())
            rows.append(index.row());
        std::sort(rows.begin(), rows.end());
        items = from.model->take(rows);
    } else {
        items = from.model->takeAll();
    }
    to.model->append(items);
}

void ManualControl::addSelected(int tab)
{
    if (m_lastSourceList == NoList)
        return;
    const std::size_t s = std::size_t(slot(m_lastSourceList));
    move(m_sources.at(s), m_targets.at(std::size_t(tab)).at(s), true);
}

void ManualControl::addAll(int tab)
{
    if (m_lastSourceList == NoList)
        return;
    const std::size_t s = std::size_t(slot(m_lastSourceList));
    move(m_sources.at(s), m_targets.at(std::size_t(tab)).at(s), false);
}

void ManualControl::removeSelected(int tab)
{
    if (m_lastTargetList == NoList)
        return;
    const std::size_t s = std::size_t(slot(m_lastTargetList));
    move(m_targets.at(std::size_t(tab)).at(s), m_sources.at(s), true);
}

void ManualControl::removeAll(int tab)
{
    if (m_lastTargetList == NoList)
        return;
    const std::size_t s = std::size_t(slot(m_lastTargetList));
    move(m_targets.at(std::size_t(tab)).at(s), m_sources.at(s), false);
}

int ManualControl::groupOf(int address) const
{
    return address >= 0 && address <= 255 ? m_groupLookup.at(std::size_t(address)) : 0;
}

void ManualControl::selectGroup(const Lists &list, int group)
{
    QItemSelection members;
    const QList<ManualItemList::Item> &items = list.model->items();
    for (int row = 0; row < items.size(); ++row) {
        if (groupOf(items.at(row).number) == group) {
            const QModelIndex index = list.model->index(row);
            members.select(index, index);
        }
    }
    list.selection->clearSelection();
    list.selection->select(members, QItemSelectionModel::Select);
}

void ManualControl::groupClicked(int box, Qt::CheckState state, int tab)
{
    m_lastSourceList = NodeList;
    m_lastTargetList = NodeList;
    const int group = box + 1;
    const std::size_t nodes = std::size_t(slot(NodeList));
    switch (state) {
    case Qt::Checked:
        selectGroup(m_sources.at(nodes), group);
        addSelected(tab);
        return;
    case Qt::Unchecked:
        selectGroup(m_targets.at(std::size_t(tab)).at(nodes), group);
        removeSelected(tab);
        return;
    case Qt::PartiallyChecked:
        return;
    }
}

void ManualControl::sendCommand(int code, const QString &p1, const QString &p2, const QString &list)
{
    // Counted before it is queued: a frame that cannot go out is done at once.
    ++m_underway;
    m_link.sendCommand(code, p1, p2, list, this, [this](bool) { frameDone(); });
}

void ManualControl::frameDone()
{
    if (--m_underway == 0)
        Q_EMIT framesSent();
}

void ManualControl::confirm(int tab, int frequencyTenths)
{
    const int channel = tab + 1;
    ChannelRecord &record = m_state.at(std::size_t(channel));
    const QString zero = u"0"_s;
    const QString amps = targetList(tab, AmpList)->dotList();
    const QString devices = targetList(tab, DeviceList)->dotList();
    const QString zones = targetList(tab, NodeList)->dotList();

    // Each kind closes what the channel dropped before it opens what it holds;
    // the opens go out on every confirm, so a confirm also repairs hardware
    // that was switched off behind the window's back.
    const QString ampsDropped = ListMinus(record.Amps, amps);
    if (!ampsDropped.isEmpty())
        sendCommand(CommandCode::AmpClose, zero, zero, ampsDropped);
    record.Amps = amps;
    if (!amps.isEmpty())
        sendCommand(CommandCode::AmpOpen, zero, zero, amps);

    const QString devicesDropped = ListMinus(record.Devices, devices);
    if (!devicesDropped.isEmpty())
        sendCommand(CommandCode::DeviceClose, zero, zero, devicesDropped);
    record.Devices = devices;
    if (!devices.isEmpty())
        sendCommand(CommandCode::DeviceOpen, zero, zero, devices);

    const QString zonesDropped = ListMinus(record.Zones, zones);
    if (!zonesDropped.isEmpty())
        sendCommand(CommandCode::ZoneClose, zero, zero, zonesDropped);
    record.Zones = zones;
    if (!zones.isEmpty()) {
        const FrequencyParameters frequency = splitFrequency(frequencyTenths);
        sendCommand(CommandCode::ZoneOpen, frequency.FreqHigh, frequency.FreqLow, zones);
    }

    // What this channel holds now was switched over to it, not off: the other
    // channels forget it without a close, so their next confirm leaves it on.
    for (int other = 1; other <= TabCount; ++other) {
        if (other == channel)
            continue;
        ChannelRecord &theirs = m_state.at(std::size_t(other));
        theirs.Amps = ListMinus(theirs.Amps, amps);
        theirs.Devices = ListMinus(theirs.Devices, devices);
        theirs.Zones = ListMinus(theirs.Zones, zones);
    }
}

bool ManualControl::setVolume(int tab, int volume)
{
    const QString zones = targetList(tab, NodeList)->dotList();
    if (zones.isEmpty())
        return false;
    ++m_underway;
    return m_link.writeCommand(CommandCode::VolumeSet, QString::number(volume), u"0"_s, zones, this,
                               [this](bool) { frameDone(); });
}

bool ManualControl::switchOffAll()
{
    QString amps;
    QString devices;
    QString zones;
    for (int channel = 1; channel <= TabCount; ++channel) {
        const ChannelRecord &record = m_state.at(std::size_t(channel));
        amps += record.Amps;
        devices += record.Devices;
        zones += record.Zones;
    }
    const QString zero = u"0"_s;
    if (!amps.isEmpty())
        sendCommand(CommandCode::AmpClose, zero, zero, amps);
    if (!devices.isEmpty())
        sendCommand(CommandCode::DeviceClose, zero, zero, devices);
    if (!zones.isEmpty())
        sendCommand(CommandCode::ZoneClose, zero, zero, zones);
    // Forgotten once switched off: a later confirm must not close again what
    // the scheduler may have switched on since.
    m_state.fill({});
    return !amps.isEmpty() || !devices.isEmpty() || !zones.isEmpty();
}

const ManualControl::ChannelRecord &ManualControl::ManualState(int channel) const
{
    return m_state.at(std::size_t(channel));
}

bool ManualControl::hasRecord() const
{
    return std::any_of(m_state.cbegin(), m_state.cend(),
                       [](const ChannelRecord &record) { return record != ChannelRecord {}; });
}
