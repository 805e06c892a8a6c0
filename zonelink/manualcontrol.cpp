#include "zonelink/manualcontrol.h"

#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QItemSelectionModel>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
// An empty DotList in a log line.
QString orNone(const QString &list)
{
    return list.isEmpty() ? u"无"_s : list;
}
} // namespace

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

QString ManualControl::describe(int code, const QString &list)
{
    QString what;
    switch (code) {
    case CommandCode::ZoneOpen:
        what = u"打开终端"_s;
        break;
    case CommandCode::ZoneClose:
        what = u"关闭终端"_s;
        break;
    case CommandCode::AmpOpen:
        what = u"打开功放"_s;
        break;
    case CommandCode::AmpClose:
        what = u"关闭功放"_s;
        break;
    case CommandCode::DeviceOpen:
        what = u"打开外设"_s;
        break;
    case CommandCode::DeviceClose:
        what = u"关闭外设"_s;
        break;
    case CommandCode::VolumeSet:
        what = u"调节终端音量"_s;
        break;
    default:
        what = CommandCode::name(code);
        break;
    }
    // A message box of 256 addresses helps nobody: the first few and the count.
    constexpr qsizetype kShown = 12;
    const QStringList items = dotListItems(list);
    if (items.size() <= kShown)
        return what + u' ' + list;
    QString shown;
    for (qsizetype i = 0; i < kShown - 2; ++i)
        shown += items.at(i) + u'.';
    return u"%1 %2…（共 %3 个）"_s.arg(what, shown).arg(items.size());
}

QString &ManualControl::fieldOf(ChannelRecord &record, Field field)
{
    switch (field) {
    case Field::Amps:
        return record.Amps;
    case Field::Devices:
        return record.Devices;
    case Field::Zones:
        break;
    }
    return record.Zones;
}

void ManualControl::apply(Records &records, const Pending &frame)
{
    if (frame.channel < 0)
        return;
    if (!frame.open) {
        for (int c = 1; c <= TabCount; ++c) {
            if (frame.channel == 0 || frame.channel == c) {
                QString &list = fieldOf(records.at(std::size_t(c)), frame.field);
                list = ListMinus(list, frame.values);
            }
        }
        return;
    }
    // The frame's items join the channel in the tab's order. What the channel
    // had and the tab no longer holds stays behind them: its close did not
    // go out, so it is still on.
    QString &mine = fieldOf(records.at(std::size_t(frame.channel)), frame.field);
    const QStringList had = dotListItems(mine);
    const QStringList opened = dotListItems(frame.values);
    QString list;
    for (const QString &item : dotListItems(frame.order)) {
        if (had.contains(item) || opened.contains(item))
            list += item + u'.';
    }
    mine = list + ListMinus(mine, frame.order);
    // Switched over to this channel, not off: the other channels forget
    // these items without a close, so their next confirm leaves them on.
    for (int other = 1; other <= TabCount; ++other) {
        if (other == frame.channel)
            continue;
        QString &theirs = fieldOf(records.at(std::size_t(other)), frame.field);
        theirs = ListMinus(theirs, frame.values);
    }
}

ManualControl::Records ManualControl::planned() const
{
    Records records = m_state;
    for (const Pending &frame : m_pending)
        apply(records, frame);
    return records;
}

void ManualControl::send(int channel, Field field, int code, const QString &p1, const QString &p2,
                         const QString &list, const QString &order, bool lineHandling)
{
    const auto frames = BuildFrames(QString::number(code), p1, p2, list);
    if (!frames) {
        m_unsent << describe(code, list) + u"（命令无法生成）"_s;
        return;
    }
    const bool open = code == CommandCode::ZoneOpen || code == CommandCode::AmpOpen
        || code == CommandCode::DeviceOpen;
    for (const QByteArray &frame : *frames) {
        const QString values = frameList(frame);
        const quint64 id = ++m_lastId;
        // Noted before it is queued: a frame that cannot go out is done at once.
        m_pending.append({id, channel, field, open, values, order, describe(code, values)});
        ++m_underway;
        m_queuedSomething = true;
        auto done = [this, id](bool sent) { frameDone(id, sent); };
        if (lineHandling)
            m_link.SendFrame(frame, this, std::move(done));
        else
            m_link.WriteFrame(frame, this, std::move(done));
    }
}

void ManualControl::frameDone(quint64 id, bool sent)
{
    const auto it = std::find_if(m_pending.begin(), m_pending.end(),
                                 [id](const Pending &frame) { return frame.id == id; });
    if (it == m_pending.end())
        return;
    const Pending frame = *it;
    m_pending.erase(it);
    // The record holds what reached the controller: a frame that did not go
    // out neither switched its items on nor off.
    if (sent)
        apply(m_state, frame);
    else
        m_unsent << frame.command;
    release();
}

void ManualControl::release()
{
    if (--m_underway > 0)
        return;
    const QStringList unsent = std::exchange(m_unsent, {});
    if (!unsent.isEmpty())
        Q_EMIT notSent(unsent);
    if (std::exchange(m_queuedSomething, false))
        Q_EMIT framesSent();
}

void ManualControl::confirm(int tab, int frequencyTenths)
{
    const int channel = tab + 1;
    // Compared with the record as the frames still underway will leave it,
    // so a confirm made while an earlier one goes out neither misses a close
    // nor sends one twice.
    const ChannelRecord was = planned().at(std::size_t(channel));
    const QString zero = u"0"_s;
    const QString amps = targetList(tab, AmpList)->dotList();
    const QString devices = targetList(tab, DeviceList)->dotList();
    const QString zones = targetList(tab, NodeList)->dotList();
    m_link.announceCommand(u"手动控制"_s,
                           u"第 %1 路确定，频率 %2.%3 MHz：终端 %4 功放 %5 外设 %6"_s.arg(channel)
                               .arg(frequencyTenths / 10)
                               .arg(frequencyTenths % 10)
                               .arg(orNone(zones), orNone(amps), orNone(devices)));

    // Each kind closes what the channel dropped before it opens what it holds;
    // the opens go out on every confirm, so a confirm also repairs hardware
    // that was switched off behind the window's back.
    hold();
    const QString ampsDropped = ListMinus(was.Amps, amps);
    if (!ampsDropped.isEmpty())
        send(channel, Field::Amps, CommandCode::AmpClose, zero, zero, ampsDropped, {});
    if (!amps.isEmpty())
        send(channel, Field::Amps, CommandCode::AmpOpen, zero, zero, amps, amps);

    const QString devicesDropped = ListMinus(was.Devices, devices);
    if (!devicesDropped.isEmpty())
        send(channel, Field::Devices, CommandCode::DeviceClose, zero, zero, devicesDropped, {});
    if (!devices.isEmpty())
        send(channel, Field::Devices, CommandCode::DeviceOpen, zero, zero, devices, devices);

    const QString zonesDropped = ListMinus(was.Zones, zones);
    if (!zonesDropped.isEmpty())
        send(channel, Field::Zones, CommandCode::ZoneClose, zero, zero, zonesDropped, {});
    if (!zones.isEmpty()) {
        const FrequencyParameters frequency = splitFrequency(frequencyTenths);
        send(channel, Field::Zones, CommandCode::ZoneOpen, frequency.FreqHigh, frequency.FreqLow,
             zones, zones);
    }
    release();
}

bool ManualControl::setVolume(int tab, int volume)
{
    const QString zones = targetList(tab, NodeList)->dotList();
    if (zones.isEmpty())
        return false;
    const quint64 before = m_lastId;
    m_link.announceCommand(u"手动控制"_s,
                           u"第 %1 路调节音量 %2：终端 %3"_s.arg(tab + 1).arg(volume).arg(zones));
    hold();
    send(-1, Field::Zones, CommandCode::VolumeSet, QString::number(volume), u"0"_s, zones, {},
         false);
    release();
    return m_lastId != before;
}

bool ManualControl::switchOffAll()
{
    QString amps;
    QString devices;
    QString zones;
    const Records records = planned();
    for (int channel = 1; channel <= TabCount; ++channel) {
        const ChannelRecord &record = records.at(std::size_t(channel));
        amps += record.Amps;
        devices += record.Devices;
        zones += record.Zones;
    }
    const QString zero = u"0"_s;
    if (!amps.isEmpty() || !devices.isEmpty() || !zones.isEmpty())
        m_link.announceCommand(u"手动控制"_s,
                               u"窗口关闭，全部关闭：终端 %1 功放 %2 外设 %3"_s.arg(
                                   orNone(zones), orNone(amps), orNone(devices)));
    // Each item is forgotten once its close is out: a later confirm must not
    // close again what the scheduler may have switched on since. What did
    // not go out stays recorded, to be closed the next time.
    hold();
    if (!amps.isEmpty())
        send(0, Field::Amps, CommandCode::AmpClose, zero, zero, amps, {});
    if (!devices.isEmpty())
        send(0, Field::Devices, CommandCode::DeviceClose, zero, zero, devices, {});
    if (!zones.isEmpty())
        send(0, Field::Zones, CommandCode::ZoneClose, zero, zero, zones, {});
    release();
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
