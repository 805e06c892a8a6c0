// The logic of the manual control window without widgets: the lists and
// their moves, the group boxes, the confirm frames and their order, the
// record of what was switched on, the volume, and the closing frames, read
// back from the link's queue; and, on a clock of the test's, the record after
// frames the port refused or never took because it went away.

#include "support/fakedialogs.h"
#include "support/fakeserialport.h"
#include "support/memoryuserstore.h"
#include "support/virtuallinkclock.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/manualcontrol.h"
#include "zonelink/zonelink.h"

#include <QItemSelectionModel>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using Kind = ManualControl::ListKind;

namespace {

// Channel 1 at 103.5 MHz, channel 2 at 87.5, channel 3 at 100.0.
constexpr std::array<int, 9> kFrequency {0, 1035, 875, 1000, 900, 910, 920, 930, 940};
const QString kAllEightItems = u"1.2.3.4.5.6.7.8."_s;
const QString kAllNodes = u"5.7.9.200.12."_s;

Kind kindOf(QStringView letter)
{
    return letter == u"A" ? Kind::AmpList : letter == u"D" ? Kind::DeviceList : Kind::NodeList;
}

// "0.1.2.3.7." → "0-3.7.": runs of three or more ascending numbers drawn short.
QString compact(const QString &list)
{
    const QStringList items = dotListItems(list);
    QString text;
    for (qsizetype i = 0; i < items.size();) {
        qsizetype j = i;
        while (j + 1 < items.size() && items.at(j + 1).toInt() == items.at(j).toInt() + 1)
            ++j;
        if (j - i >= 2) {
            text += items.at(i) + u'-' + items.at(j) + u'.';
            i = j + 1;
        } else {
            text += items.at(i) + u'.';
            ++i;
        }
    }
    return text;
}

// "5 7 0-3" → the numbers 5, 7, 0, 1, 2, 3 as texts.
QStringList expand(const QStringList &words)
{
    QStringList numbers;
    for (const QString &word : words) {
        const QStringList ends = word.split(u'-');
        for (int n = ends.at(0).toInt(); n <= ends.value(1, ends.at(0)).toInt(); ++n)
            numbers << QString::number(n);
    }
    return numbers;
}

// "AmpOpen 0 0 1.2."; "write " in front when it went without line handling.
QString describe(const QByteArray &bytes, bool lineHandling)
{
    const auto pieces = FrameDecoder().feed(bytes);
    if (pieces.size() != 1 || !pieces.at(0).isFrame)
        return u"not a frame"_s;
    const FrameDecoder::Frame &f = pieces.at(0).frame;
    QString list;
    for (const int value : f.values)
        list += QString::number(value) + u'.';
    return u"%1%2 %3 %4 %5"_s.arg(lineHandling ? QString() : u"write "_s, CommandCode::name(f.code),
                                  QString::number(f.p1), QString::number(f.p2), compact(list));
}

} // namespace

class tst_manualcontrol : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void sourceLists();
    void moves_data();
    void moves();
    void frames_data();
    void frames();
    void framesGoOutInOrderWithLineHandling();
    void framesDoneWhenDroppedToo();
    void recordAfterPartialSends_data();
    void recordAfterPartialSends();

private:
    void run(const QStringList &steps);
    QStringList queued() const;
    QStringList wire() const; // what the port took since the last "--" (after a "wait")
    QString lists() const;
    QString records() const;
    // Until the link rests; or until count more frames are wholly out.
    void settle();
    void framesOut(int count);

    std::unique_ptr<VirtualLinkClock> m_clock;
    qsizetype m_wireFrom = 0;
    std::unique_ptr<FakeSerialPort> m_port;
    MemoryUserStore m_store;
    FakeDialogs m_dialogs;
    std::unique_ptr<ZoneLink> m_link;
    std::unique_ptr<ManualControl> m_control;
    std::unique_ptr<QSignalSpy> m_queued;
};

void tst_manualcontrol::init()
{
    QLoggingCategory::setFilterRules(u"quellon.*=false"_s);
    m_queued.reset();
    m_control.reset();
    m_link.reset();
    m_port = std::make_unique<FakeSerialPort>();
    m_port->devices.insert(u"/dev/ttyS0"_s);
    // The frames take their time on the fake wire, on the test's own clock.
    m_clock = std::make_unique<VirtualLinkClock>();
    m_clock->useBy(*m_port);
    m_wireFrom = 0;
    m_link = std::make_unique<ZoneLink>(*m_port, m_store, m_dialogs, *m_clock);
    m_link->OpenZonePort(u"com1"_s);
    QVERIFY(m_link->isOpen());
    m_control = std::make_unique<ManualControl>(*m_link);
    m_control->fill({u"前台"_s, u"后台"_s, u"操场"_s, QString(), u"礼堂"_s},
                    {u"录音机"_s, u"电视"_s},
                    {{u"一楼"_s, 5, 1},
                     {u"二楼"_s, 7, 1},
                     {u"新节点"_s, -1, 0},
                     {u"操场"_s, 9, 2},
                     {u"礼堂"_s, 200, 3},
                     {u"门卫"_s, 12, 0}});
    m_queued = std::make_unique<QSignalSpy>(m_link.get(), &ZoneLink::frameQueued);
}

void tst_manualcontrol::settle()
{
    m_clock->runUntil();
}

void tst_manualcontrol::framesOut(int count)
{
    const auto ends = [this] {
        return std::count_if(m_port->events.cbegin(), m_port->events.cend(),
                             [](const FakeSerialPort::Event &e) { return e.what == u"rts off"; });
    };
    const qsizetype until = ends() + count;
    m_clock->runUntil([&] { return ends() >= until; });
}

QStringList tst_manualcontrol::wire() const
{
    QStringList frames;
    qsizetype seen = 0;
    for (const FakeSerialPort::Event &e : m_port->events) {
        if (e.what == u"write" && seen++ >= m_wireFrom)
            frames << describe(e.bytes, e.rts);
    }
    return frames;
}

QStringList tst_manualcontrol::queued() const
{
    QStringList frames;
    for (const QList<QVariant> &signal : *m_queued)
        frames << describe(signal.at(0).toByteArray(), signal.at(1).toBool());
    return frames;
}

// "sN7.200.12. 2N5.9.": the source lists that changed, then every filled tab list.
QString tst_manualcontrol::lists() const
{
    QStringList all;
    for (const QString &k : {u"A"_s, u"D"_s, u"N"_s}) {
        const QString items = m_control->sourceList(kindOf(k))->dotList();
        if (items != (k == u"N" ? kAllNodes : kAllEightItems))
            all << u's' + k + items;
    }
    for (int t = 0; t < ManualControl::TabCount; ++t) {
        for (const QString &k : {u"A"_s, u"D"_s, u"N"_s}) {
            const QString items = m_control->targetList(t, kindOf(k))->dotList();
            if (!items.isEmpty())
                all << QString::number(t) + k + items;
        }
    }
    return all.join(u' ');
}

// "1:Z5.7./A1.2./D3." for every channel with a record.
QString tst_manualcontrol::records() const
{
    QStringList all;
    for (int c = 1; c <= ManualControl::TabCount; ++c) {
        const ManualControl::ChannelRecord &r = m_control->ManualState(c);
        if (r != ManualControl::ChannelRecord {})
            all << u"%1:Z%2/A%3/D%4"_s.arg(QString::number(c), compact(r.Zones), compact(r.Amps),
                                           compact(r.Devices));
    }
    return all.join(u' ');
}

// Steps as the window drives the logic:
//   "sel s N 5 7", "sel 3 A 1"   select exactly these numbers in a source or tab list
//   "used s N", "used t A"       a source or destination list lost the focus
//   "add 0", "addall 0", "del 0", "delall 0"   a move button while tab 0 is in view
//   "put 0 N 5 7"   select in the source list, leave it, "增加选中" on tab 0
//   "take 0 N 5"    select on tab 0, leave the list, "删除选中"
//   "group 0 on 1"  box 0 clicked to checked ("off", "grey") while tab 1 is in view
//   "ok 0", "ok 0 30000" (at a frequency of its own), "vol 2 12", "close"
//   "wait"          until every frame is out
//   "refuse 2"      the second write from now on is refused by the port
//   "lose 1"        the device goes once one more frame is wholly out
//   "--"            the frames so far are not expected
// Numbers may be given as ranges: "put 0 N 0-199".
void tst_manualcontrol::run(const QStringList &steps)
{
    const auto select = [](QItemSelectionModel *selection, const QStringList &numbers) {
        selection->clearSelection();
        for (int row = 0; row < selection->model()->rowCount(); ++row) {
            const QModelIndex index = selection->model()->index(row, 0);
            if (numbers.contains(index.data(ManualItemList::NumberRole).toString()))
                selection->select(index, QItemSelectionModel::Select);
        }
    };
    for (const QString &step : steps) {
        const QStringList w = step.split(u' ');
        const QString &verb = w.at(0);
        const int tab = w.value(1).toInt();
        if (verb == u"--") {
            m_queued->clear();
            m_wireFrom = m_port->writes().size();
        } else if (verb == u"wait") {
            settle();
        } else if (verb == u"refuse") {
            m_port->writeLimits.clear();
            for (int i = 1; i < w.at(1).toInt(); ++i)
                m_port->writeLimits << 100000;
            m_port->writeLimits << -1;
        } else if (verb == u"lose") {
            framesOut(w.at(1).toInt());
            m_port->loseDevice();
        } else if (verb == u"sel" || verb == u"put" || verb == u"take") {
            const bool source = verb == u"put" || w.at(1) == u"s";
            select(source ? m_control->sourceSelection(kindOf(w.at(2)))
                          : m_control->targetSelection(tab, kindOf(w.at(2))),
                   expand(w.mid(3)));
            if (verb == u"put") {
                m_control->setLastSourceList(kindOf(w.at(2)));
                m_control->addSelected(tab);
            } else if (verb == u"take") {
                m_control->setLastTargetList(kindOf(w.at(2)));
                m_control->removeSelected(tab);
            }
        } else if (verb == u"used" && w.at(1) == u"s") {
            m_control->setLastSourceList(kindOf(w.at(2)));
        } else if (verb == u"used") {
            m_control->setLastTargetList(kindOf(w.at(2)));
        } else if (verb == u"add") {
            m_control->addSelected(tab);
        } else if (verb == u"addall") {
            m_control->addAll(tab);
        } else if (verb == u"del") {
            m_control->removeSelected(tab);
        } else if (verb == u"delall") {
            m_control->removeAll(tab);
        } else if (verb == u"group") {
            const Qt::CheckState state = w.at(2) == u"on" ? Qt::Checked
                : w.at(2) == u"off"                       ? Qt::Unchecked
                                                          : Qt::PartiallyChecked;
            m_control->groupClicked(tab, state, w.at(3).toInt());
        } else if (verb == u"ok") {
            m_control->confirm(
                tab, w.size() > 2 ? w.at(2).toInt() : kFrequency.at(std::size_t(tab + 1)));
        } else if (verb == u"vol") {
            m_control->setVolume(tab, w.at(2).toInt());
        } else if (verb == u"close") {
            m_control->switchOffAll();
        } else {
            QFAIL(qPrintable(u"unknown step "_s + step));
        }
    }
}

void tst_manualcontrol::sourceLists()
{
    const auto texts = [](ManualItemList *list) {
        QStringList all;
        for (const auto &item : list->items())
            all << item.text + u'=' + QString::number(item.number);
        return all.join(u' ');
    };
    // An empty name and a name the file did not have still give their entry.
    QCOMPARE(texts(m_control->sourceList(Kind::AmpList)),
             u"功放1(前台)=1 功放2(后台)=2 功放3(操场)=3 功放4()=4 功放5(礼堂)=5 功放6()=6 "
             u"功放7()=7 功放8()=8"_s);
    QCOMPARE(texts(m_control->sourceList(Kind::DeviceList)),
             u"外设1(录音机)=1 外设2(电视)=2 外设3()=3 外设4()=4 外设5()=5 外设6()=6 外设7()=7 "
             u"外设8()=8"_s);
    // File order; the placeholder without an address cannot be switched and is left out.
    QCOMPARE(texts(m_control->sourceList(Kind::NodeList)),
             u"一楼=5 二楼=7 操场=9 礼堂=200 门卫=12"_s);
    QCOMPARE(lists(), QString());
    QCOMPARE(m_control->LastSourceList(), Kind::NoList);
    QCOMPARE(m_control->LastTargetList(), Kind::NoList);
    QVERIFY(!m_control->hasRecord());
}

void tst_manualcontrol::moves_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("lists");
    QTest::newRow("buttons idle before a list was used")
        << QStringList {u"sel s N 5"_s, u"add 0"_s, u"addall 0"_s, u"delall 0"_s} << QString();
    QTest::newRow("add selected keeps list order")
        << QStringList {u"sel s N 9 5"_s, u"used s N"_s, u"add 2"_s} << u"sN7.200.12. 2N5.9."_s;
    QTest::newRow("add all of the kind last left")
        << QStringList {u"used s N"_s, u"used s A"_s, u"addall 1"_s} << u"sA 1A1.2.3.4.5.6.7.8."_s;
    QTest::newRow("delete selected goes to the end of the source")
        << QStringList {u"put 0 N 5 7 9"_s, u"take 0 N 7 5"_s} << u"sN200.12.5.7. 0N9."_s;
    QTest::newRow("delete acts on the destination kind")
        << QStringList {u"put 0 A 1 2"_s, u"put 0 N 5"_s, u"used t A"_s, u"delall 0"_s}
        << u"sA3.4.5.6.7.8.1.2. sN7.9.200.12. 0N5."_s;
    QTest::newRow("delete acts on the tab in view")
        << QStringList {u"put 0 N 5"_s, u"put 3 N 9"_s, u"sel 3 N 9"_s, u"used t N"_s, u"del 0"_s}
        << u"sN7.200.12. 0N5. 3N9."_s;
    QTest::newRow("group checked takes exactly its free terminals")
        << QStringList {u"sel s N 9"_s, u"group 0 on 1"_s} << u"sN9.200.12. 1N5.7."_s;
    QTest::newRow("group checked with all its terminals taken")
        << QStringList {u"put 2 N 5 7"_s, u"group 0 on 1"_s} << u"sN9.200.12. 2N5.7."_s;
    QTest::newRow("group unchecked leaves the tab in view only")
        << QStringList {u"put 0 N 5 9"_s, u"put 1 N 7"_s, u"group 0 off 0"_s}
        << u"sN200.12.5. 0N9. 1N7."_s;
    QTest::newRow("grey group moves nothing but makes terminals the kind")
        << QStringList {u"used s A"_s, u"sel s N 9"_s, u"group 0 grey 0"_s, u"add 0"_s}
        << u"sN5.7.200.12. 0N9."_s;
    QTest::newRow("group box makes terminals the destination kind too")
        << QStringList {u"put 0 A 3"_s, u"group 2 on 0"_s, u"used t A"_s, u"group 2 off 0"_s}
        << u"sA1.2.4.5.6.7.8. sN5.7.9.12.200. 0A3."_s;
}

void tst_manualcontrol::moves()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, lists);
    run(steps);
    QCOMPARE(this->lists(), lists);
    QCOMPARE(queued(), QStringList()); // moving sends nothing
}

void tst_manualcontrol::frames_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("frames"); // queued after the last "--"
    QTest::addColumn<QString>("records");

    QTest::newRow("first confirm: amplifiers, devices, terminals")
        << QStringList {u"put 0 N 5 7"_s, u"put 0 D 3"_s, u"put 0 A 2 1"_s, u"ok 0"_s}
        << QStringList {u"AmpOpen 0 0 1.2."_s, u"DeviceOpen 0 0 3."_s, u"ZoneOpen 10 35 5.7."_s}
        << u"1:Z5.7./A1.2./D3."_s;
    QTest::newRow("empty tab after amplifiers 1 and 2")
        << QStringList {u"put 0 A 1 2"_s, u"ok 0"_s,     u"--"_s,
                        u"used t A"_s,    u"delall 0"_s, u"ok 0"_s}
        << QStringList {u"AmpClose 0 0 1.2."_s} << QString();
    QTest::newRow("unchanged tab opens again")
        << QStringList {u"put 0 A 1"_s, u"put 0 D 3"_s, u"put 0 N 5"_s,
                        u"ok 0"_s,      u"--"_s,        u"ok 0"_s}
        << QStringList {u"AmpOpen 0 0 1."_s, u"DeviceOpen 0 0 3."_s, u"ZoneOpen 10 35 5."_s}
        << u"1:Z5./A1./D3."_s;
    QTest::newRow("each close before its open")
        << QStringList {u"put 0 A 1 2"_s, u"put 0 D 3 4"_s, u"put 0 N 5 7"_s, u"ok 0"_s,
                        u"--"_s,          u"take 0 A 1"_s,  u"take 0 D 4"_s,  u"take 0 N 7"_s,
                        u"put 0 N 9"_s,   u"ok 0"_s}
        << QStringList {u"AmpClose 0 0 1."_s,   u"AmpOpen 0 0 2."_s,   u"DeviceClose 0 0 4."_s,
                        u"DeviceOpen 0 0 3."_s, u"ZoneClose 0 0 7."_s, u"ZoneOpen 10 35 5.9."_s}
        << u"1:Z5.9./A2./D3."_s;
    QTest::newRow("terminal 5 moved from tab 1 to tab 2")
        << QStringList {u"put 0 N 5 7"_s, u"ok 0"_s, u"--"_s,  u"take 0 N 5"_s,
                        u"put 1 N 5"_s,   u"ok 1"_s, u"ok 0"_s}
        << QStringList {u"ZoneOpen 8 75 5."_s, u"ZoneOpen 10 35 7."_s} << u"1:Z7./A/D 2:Z5./A/D"_s;
    QTest::newRow("amplifier and device moved to another channel are not closed")
        << QStringList {u"put 0 A 1"_s,  u"put 0 D 4"_s, u"ok 0"_s,      u"--"_s,   u"take 0 A 1"_s,
                        u"take 0 D 4"_s, u"put 2 A 1"_s, u"put 2 D 4"_s, u"ok 2"_s, u"ok 0"_s}
        << QStringList {u"AmpOpen 0 0 1."_s, u"DeviceOpen 0 0 4."_s} << u"3:Z/A1./D4."_s;
    QTest::newRow("frequency 100.0 on channel 3")
        << QStringList {u"put 2 N 200"_s, u"ok 2"_s} << QStringList {u"ZoneOpen 10 0 200."_s}
        << u"3:Z200./A/D"_s;
    QTest::newRow("empty tab without a record sends nothing")
        << QStringList {u"put 0 N 5"_s, u"ok 0"_s, u"--"_s, u"ok 4"_s} << QStringList {}
        << u"1:Z5./A/D"_s;
    QTest::newRow("volume on an unconfirmed tab")
        << QStringList {u"put 2 N 9 5"_s, u"vol 2 12"_s}
        << QStringList {u"write VolumeSet 12 0 5.9."_s} << QString();
    QTest::newRow("volume on an empty tab")
        << QStringList {u"put 0 N 5"_s, u"put 1 A 1"_s, u"vol 1 20"_s} << QStringList {}
        << QString();
    QTest::newRow("volume changes no record")
        << QStringList {u"put 0 N 5"_s, u"ok 0"_s, u"put 0 N 7"_s, u"--"_s, u"vol 0 32"_s}
        << QStringList {u"write VolumeSet 32 0 5.7."_s} << u"1:Z5./A/D"_s;
    QTest::newRow("closing switches off every record")
        << QStringList {u"put 0 A 1 2"_s, u"put 0 N 5"_s, u"ok 0"_s, u"put 1 D 3"_s,
                        u"put 1 N 7 9"_s, u"ok 1"_s,      u"--"_s,   u"close"_s}
        << QStringList {u"AmpClose 0 0 1.2."_s, u"DeviceClose 0 0 3."_s, u"ZoneClose 0 0 5.7.9."_s}
        << QString();
    QTest::newRow("closing takes channel 1 first")
        << QStringList {u"put 1 N 7"_s, u"ok 1"_s, u"put 0 N 5"_s, u"ok 0"_s, u"--"_s, u"close"_s}
        << QStringList {u"ZoneClose 0 0 5.7."_s} << QString();
    QTest::newRow("closing leaves unconfirmed items alone")
        << QStringList {u"put 0 N 5"_s, u"ok 0"_s, u"put 0 N 7"_s,
                        u"put 0 A 4"_s, u"--"_s,   u"close"_s}
        << QStringList {u"ZoneClose 0 0 5."_s} << QString();
    QTest::newRow("closing again sends nothing")
        << QStringList {u"put 0 A 1"_s, u"ok 0"_s, u"close"_s, u"--"_s, u"close"_s}
        << QStringList {} << QString();
    // The scheduler may have switched amplifiers 1 and 2 on since: they stay on.
    QTest::newRow("confirm after closing sends no stale close")
        << QStringList {u"put 0 A 1 2"_s, u"ok 0"_s,     u"close"_s, u"--"_s,
                        u"used t A"_s,    u"delall 0"_s, u"ok 0"_s}
        << QStringList {} << QString();
}

void tst_manualcontrol::frames()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, frames);
    QFETCH(QString, records);
    run(steps);
    QCOMPARE(queued(), frames);
    // The record follows the frames as they go out.
    settle();
    QCOMPARE(this->records(), records);
}

void tst_manualcontrol::framesGoOutInOrderWithLineHandling()
{
    QSignalSpy done(m_control.get(), &ManualControl::framesSent);
    run({u"put 0 A 1"_s, u"put 0 N 5 7"_s, u"ok 0"_s, u"close"_s});
    QCOMPARE(m_control->framesUnderway(), 4);
    settle();
    QCOMPARE(done.size(), 1);
    QCOMPARE(m_control->framesUnderway(), 0);
    QStringList wire;
    for (const FakeSerialPort::Event &e : m_port->events) {
        if (e.what == u"write") {
            QVERIFY(e.rts); // request-to-send up while the bytes go out
            wire << describe(e.bytes, true);
        }
    }
    QCOMPARE(wire,
             (QStringList {u"AmpOpen 0 0 1."_s, u"ZoneOpen 10 35 5.7."_s, u"AmpClose 0 0 1."_s,
                           u"ZoneClose 0 0 5.7."_s}));
}

void tst_manualcontrol::framesDoneWhenDroppedToo()
{
    QSignalSpy done(m_control.get(), &ManualControl::framesSent);
    run({u"put 1 N 9"_s});
    m_link->closePort();
    run({u"vol 1 3"_s});
    // A frame that cannot go out is done at once; nothing is left waiting.
    QCOMPARE(m_control->framesUnderway(), 0);
    QCOMPARE(done.size(), 1);
    run({u"ok 1"_s});
    QCOMPARE(done.size(), 2);
}

void tst_manualcontrol::recordAfterPartialSends_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("wire"); // frames the port took after the last "--"
    QTest::addColumn<QString>("records");
    QTest::addColumn<QStringList>("unsent"); // what the operator is told, over the whole row

    const QStringList twoTabs {u"put 0 N 0-199"_s, u"ok 0"_s, u"put 1 N 200-255"_s, u"ok 1"_s,
                               u"wait"_s};
    QTest::newRow("200 and 56 on two channels, all out")
        << twoTabs << QStringList {u"ZoneOpen 10 35 0-199."_s, u"ZoneOpen 8 75 200-255."_s}
        << u"1:Z0-199./A/D 2:Z200-255./A/D"_s << QStringList {};
    QTest::newRow("closing them: every channel's record in two frames")
        << twoTabs + QStringList {u"--"_s, u"close"_s, u"wait"_s}
        << QStringList {u"ZoneClose 0 0 0-254."_s, u"ZoneClose 0 0 255."_s} << QString()
        << QStringList {};
    QTest::newRow("closing: the second frame refused, 255 stays recorded")
        << twoTabs + QStringList {u"--"_s, u"refuse 2"_s, u"close"_s, u"wait"_s}
        << QStringList {u"ZoneClose 0 0 0-254."_s} << u"2:Z255./A/D"_s
        << QStringList {u"关闭终端 255."_s};
    QTest::newRow("closing again closes only what stayed")
        << twoTabs
            + QStringList {u"refuse 2"_s, u"close"_s, u"wait"_s, u"--"_s, u"close"_s, u"wait"_s}
        << QStringList {u"ZoneClose 0 0 255."_s} << QString() << QStringList {u"关闭终端 255."_s};
    QTest::newRow("closing: the first frame refused")
        << twoTabs + QStringList {u"--"_s, u"refuse 1"_s, u"close"_s, u"wait"_s}
        << QStringList {u"ZoneClose 0 0 255."_s} << u"1:Z0-199./A/D 2:Z200-254./A/D"_s
        << QStringList {u"关闭终端 0.1.2.3.4.5.6.7.8.9.…（共 255 个）"_s};
    QTest::newRow("closing: the port gone after the first frame")
        << twoTabs + QStringList {u"--"_s, u"close"_s, u"lose 1"_s, u"wait"_s}
        << QStringList {u"ZoneClose 0 0 0-254."_s} << u"2:Z255./A/D"_s
        << QStringList {u"关闭终端 255."_s};

    const QStringList allOnOne {u"put 0 N 0-255"_s};
    QTest::newRow("256 on one tab: the second open frame refused")
        << allOnOne + QStringList {u"refuse 2"_s, u"ok 0"_s, u"wait"_s}
        << QStringList {u"ZoneOpen 10 35 0-254."_s} << u"1:Z0-254./A/D"_s
        << QStringList {u"打开终端 255."_s};
    QTest::newRow("256 on one tab: the first open frame refused")
        << allOnOne + QStringList {u"refuse 1"_s, u"ok 0"_s, u"wait"_s}
        << QStringList {u"ZoneOpen 10 35 255."_s} << u"1:Z255./A/D"_s
        << QStringList {u"打开终端 0.1.2.3.4.5.6.7.8.9.…（共 255 个）"_s};
    QTest::newRow("256 on one tab: the port gone after the first open frame")
        << allOnOne + QStringList {u"ok 0"_s, u"lose 1"_s, u"wait"_s}
        << QStringList {u"ZoneOpen 10 35 0-254."_s} << u"1:Z0-254./A/D"_s
        << QStringList {u"打开终端 255."_s};
    QTest::newRow("256 on one tab: the volume's second frame refused")
        << allOnOne + QStringList {u"refuse 2"_s, u"vol 0 12"_s, u"wait"_s}
        << QStringList {u"write VolumeSet 12 0 0-254."_s} << QString()
        << QStringList {u"调节终端音量 255."_s};

    const QStringList tenOn {u"put 0 N 0-9"_s, u"ok 0"_s, u"wait"_s, u"take 0 N 0-4"_s};
    QTest::newRow("a close refused: the terminals stay recorded behind the tab's")
        << tenOn + QStringList {u"--"_s, u"refuse 1"_s, u"ok 0"_s, u"wait"_s}
        << QStringList {u"ZoneOpen 10 35 5-9."_s} << u"1:Z5-9.0-4./A/D"_s
        << QStringList {u"关闭终端 0.1.2.3.4."_s};
    QTest::newRow("the next confirm closes them again")
        << tenOn + QStringList {u"refuse 1"_s, u"ok 0"_s, u"wait"_s, u"--"_s, u"ok 0"_s, u"wait"_s}
        << QStringList {u"ZoneClose 0 0 0-4."_s, u"ZoneOpen 10 35 5-9."_s} << u"1:Z5-9./A/D"_s
        << QStringList {u"关闭终端 0.1.2.3.4."_s};
    QTest::newRow("a confirm while the last one goes out closes what that one opens")
        << QStringList {u"put 0 N 0-9"_s, u"ok 0"_s, u"take 0 N 0-4"_s, u"ok 0"_s, u"wait"_s}
        << QStringList {u"ZoneOpen 10 35 0-9."_s, u"ZoneClose 0 0 0-4."_s, u"ZoneOpen 10 35 5-9."_s}
        << u"1:Z5-9./A/D"_s << QStringList {};
    QTest::newRow("a terminal moved whose open is refused stays with its channel")
        << QStringList {u"put 0 N 5"_s, u"ok 0"_s,     u"wait"_s, u"take 0 N 5"_s,
                        u"put 1 N 5"_s, u"refuse 1"_s, u"ok 1"_s, u"wait"_s}
        << QStringList {u"ZoneOpen 10 35 5."_s} << u"1:Z5./A/D"_s << QStringList {u"打开终端 5."_s};
    QTest::newRow("amplifiers refused, terminals recorded")
        << QStringList {u"put 0 A 1 2"_s, u"put 0 N 7"_s, u"refuse 1"_s, u"ok 0"_s, u"wait"_s}
        << QStringList {u"ZoneOpen 10 35 7."_s} << u"1:Z7./A/D"_s
        << QStringList {u"打开功放 1.2."_s};
    QTest::newRow("a frequency no frame can carry: nothing sent or recorded")
        << QStringList {u"put 0 A 3"_s, u"put 0 N 5"_s, u"ok 0 30000"_s, u"wait"_s}
        << QStringList {u"AmpOpen 0 0 3."_s} << u"1:Z/A3./D"_s
        << QStringList {u"打开终端 5.（命令无法生成）"_s};
}

void tst_manualcontrol::recordAfterPartialSends()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, wire);
    QFETCH(QString, records);
    QFETCH(QStringList, unsent);
    // All 256 addresses to choose from.
    m_control = std::make_unique<ManualControl>(*m_link);
    QList<ManualControl::Node> nodes;
    for (int address = 0; address < 256; ++address)
        nodes.append({u"终端"_s + QString::number(address), address, 1 + address % 8});
    m_control->fill({}, {}, nodes);
    QSignalSpy told(m_control.get(), &ManualControl::notSent);
    QSignalSpy done(m_control.get(), &ManualControl::framesSent);

    run(steps);
    QCOMPARE(m_control->framesUnderway(), 0);
    QCOMPARE(this->wire(), wire);
    QCOMPARE(this->records(), records);
    QStringList lines;
    for (const QList<QVariant> &signal : told)
        lines << signal.at(0).toStringList();
    QCOMPARE(lines, unsent);
    // Told once per busy period at most, before its end is announced.
    QVERIFY(told.size() <= done.size() + 1);
}

QTEST_GUILESS_MAIN(tst_manualcontrol)
#include "tst_manualcontrol.moc"
