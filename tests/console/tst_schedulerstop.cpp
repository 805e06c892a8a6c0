// The operator's stop of the items playing, on the scheduler's fake clock:
// what the channels switched on is closed at once, with the frames and in
// the order of the end of a play length, and nothing is sent for them later.

#include "schedulerrig.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QDate kDay(2026, 12, 7); // a Monday
QDateTime at(const QString &time)
{
    return QDateTime(kDay, QTime::fromString(time, u"HH:mm:ss"_s));
}
const QString kSong = u"/srv/song/a.mp3"_s;
const QString kOther = u"/srv/song/b.mp3"_s;
const QString kPeripheral = u"外设控制"_s;
} // namespace

class tst_SchedulerStop : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void switchOffNow_data();
    void switchOffNow();
    void leadOfAComingRowStaysOn();
};

void tst_SchedulerStop::switchOffNow_data()
{
    QTest::addColumn<DayTable>("entries");
    QTest::addColumn<QString>("stopAt");
    QTest::addColumn<QStringList>("frames"); // sent by the stop, in order
    QTest::addColumn<QList<int>>("ended"); // channels announced as ended

    QTest::newRow("one item") << DayTable {entry("08:00:00", 3, kSong, "00:05:00", "3.17.200.",
                                                 "1.3.", "2.")}
                              << "08:00:20"
                              << QStringList {u"ZoneClose 0 0 3.17.200."_s, u"DeviceClose 0 0 2."_s,
                                              u"AmpClose 0 0 1.3."_s}
                              << QList<int> {3};
    // Within the first six ticks the item's frames are repeated: the stop
    // ends the repeats too.
    QTest::newRow("during the repeats")
        << DayTable {entry("08:00:00", 1, kSong, "00:05:00", "1.2.", "1.", "")} << "08:00:01"
        << QStringList {u"ZoneClose 0 0 1.2."_s, u"DeviceClose 0 0 "_s, u"AmpClose 0 0 1."_s}
        << QList<int> {1};
    QTest::newRow("two channels, in channel order")
        << DayTable {entry("08:00:00", 2, kOther, "00:05:00", "2.", "2.", "4."),
                     entry("08:00:00", 1, kPeripheral, "00:05:00", "1.", "1.", "", kPeripheral)}
        << "08:00:30"
        << QStringList {u"ZoneClose 0 0 1."_s, u"DeviceClose 0 0 "_s,   u"AmpClose 0 0 1."_s,
                        u"ZoneClose 0 0 2."_s, u"DeviceClose 0 0 4."_s, u"AmpClose 0 0 2."_s}
        << QList<int> {1, 2};
    // Its zones closed at the end of the play length; the amplifiers wait
    // for the close delay. The stop closes only what is still on.
    QTest::newRow("amplifiers still on after the end")
        << DayTable {entry("08:00:00", 4, kSong, "00:00:10", "5.", "6.", "7.")} << "08:00:25"
        << QStringList {u"AmpClose 0 0 6."_s} << QList<int> {4};
    QTest::newRow("nothing playing")
        << DayTable {entry("09:00:00", 1, kSong)} << "08:00:30" << QStringList {} << QList<int> {};
}

void tst_SchedulerStop::switchOffNow()
{
    QFETCH(DayTable, entries);
    QFETCH(QString, stopAt);
    QFETCH(QStringList, frames);
    QFETCH(QList<int>, ended);
    SchedulerRig rig(at(u"07:59:59"_s));
    rig.set(&AppSettings::AmpOpenLead, u"00:00:00"_s);
    rig.set(&AppSettings::AmpCloseDelay, u"00:01:00"_s);
    rig.setEveryDay(entries);
    rig.load();
    rig.tickThrough(at(stopAt));
    QSignalSpy endedSpy(rig.scheduler.get(), &Scheduler::itemEnded);
    QSignalSpy outputs(rig.scheduler.get(), &Scheduler::outputsActiveChanged);
    const bool wasActive = rig.scheduler->outputsActive();
    const qsizetype before = rig.frames.size();
    rig.scheduler->switchOffNow();
    QCOMPARE(rig.framesText(before), frames);
    QList<int> endedChannels;
    for (const auto &args : endedSpy)
        endedChannels << args.at(0).toInt();
    QCOMPARE(endedChannels, ended);
    QVERIFY(!rig.scheduler->outputsActive());
    QCOMPARE(outputs.size(), wasActive ? 1 : 0);
    for (int c = 1; c <= 8; ++c) {
        const ChannelStateRecord &ch = rig.scheduler->channelState(c);
        QVERIFY(!ch.ZonesOn && !ch.DevicesOn && !ch.AmpsOn && !ch.RepeatOpen);
        QVERIFY(ch.Zones.isEmpty() && ch.Amps.isEmpty() && ch.Devices.isEmpty());
    }
    // Nothing follows for the items stopped: no repeat, no second close.
    const qsizetype after = rig.frames.size();
    rig.tickThrough(at(stopAt).addSecs(180));
    QCOMPARE(rig.framesText(after), QStringList {});
    // A second stop has nothing left to close.
    rig.scheduler->switchOffNow();
    QCOMPARE(rig.frames.size(), after);
}

void tst_SchedulerStop::leadOfAComingRowStaysOn()
{
    SchedulerRig rig(at(u"07:59:59"_s));
    rig.set(&AppSettings::AmpOpenLead, u"00:00:30"_s);
    rig.setEveryDay({entry("08:00:00", 1, kSong, "00:05:00", "1.", "1.", ""),
                     entry("08:01:00", 2, kOther, "00:05:00", "2.", "2.", "")});
    rig.load();
    rig.tickThrough(at(u"08:00:40"_s));
    QVERIFY(rig.scheduler->AmpLeadSent());
    const qsizetype before = rig.frames.size();
    rig.scheduler->switchOffNow();
    // Only channel 1's item closes; amplifier 2, on for the coming row, stays.
    QCOMPARE(rig.framesText(before),
             (QStringList {u"ZoneClose 0 0 1."_s, u"DeviceClose 0 0 "_s, u"AmpClose 0 0 1."_s}));
    QVERIFY(rig.scheduler->AmpLeadSent());
    // The coming row starts as it would have.
    rig.tickThrough(at(u"08:01:00"_s));
    QVERIFY(rig.framesText(before).contains(u"ZoneOpen 8 90 2."_s));
}

QTEST_GUILESS_MAIN(tst_SchedulerStop)
#include "tst_schedulerstop.moc"
