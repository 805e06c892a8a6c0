// The emergency broadcast on the fake clock: the frames of its switch-on
// with the leads of a scheduled start, the scheduler held meanwhile (rows
// due are passed over and never started late), and its end switching off
// only what it added and taking up the item that played before.

#include "console/emergencybroadcast.h"
#include "consolerig.h"
#include "platform/asrunlog.h"
#include "schedulerrig.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QDate kDay(2026, 12, 7); // a Monday
QDateTime at(const QString &time)
{
    return QDateTime(kDay, QTime::fromString(time, u"HH:mm:ss"_s));
}

// The rig's scheduler with an emergency broadcast beside it, on channel 3
// (90.0 MHz), the all-nodes list 1.2.3.17.
struct Rig
{
    explicit Rig(const QString &start)
        : s(at(start))
    {
        song = s.dir.filePath(u"song.mp3"_s);
        alarm = s.dir.filePath(u"alarm.mp3"_s);
        for (const QString &path : {song, alarm}) {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly))
                qFatal("cannot write %s", qPrintable(path));
        }
        s.set(&AppSettings::EmergencyChannel, 3);
        s.set(&AppSettings::EmergencyFile, alarm);
        s.set(&AppSettings::AmpOpenLead, u"00:00:00"_s);
        emergency = std::make_unique<EmergencyBroadcast>(EmergencyBroadcast::Services {
            s.clock, s.settings, *s.scheduler, *s.link, *s.playback, *s.volume});
        QObject::connect(emergency.get(), &EmergencyBroadcast::logged, emergency.get(),
                         [this](const QString &text) { log << text; });
    }
    // One second of the console: the emergency while it runs, else the scheduler.
    void tickAt(const QString &time)
    {
        s.clock.set(at(time));
        if (emergency->active())
            emergency->tick();
        else
            s.scheduler->tick();
    }
    void tickThrough(const QString &time)
    {
        while (s.clock.now() < at(time))
            tickAt(s.clock.now().addSecs(1).toString(u"HH:mm:ss"_s));
    }

    SchedulerRig s;
    QString song;
    QString alarm;
    std::unique_ptr<EmergencyBroadcast> emergency;
    QStringList log;
};

const QString kEveryAmp = u"1.2.3.4.5.6.7.8."_s;
} // namespace

class tst_Emergency : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void timing_data();
    void timing();
    void switchOnFrames_data();
    void switchOnFrames();
    void endGivesBackWhatWasThere_data();
    void endGivesBackWhatWasThere();
    void rowsDueArePassedOver_data();
    void rowsDueArePassedOver();
    void fileLoopsAtFullVolume();
    void lineInPlaysNoFile();
    void elapsedText_data();
    void elapsedText();
    void consoleKeysAndLog();
    void consoleStopEndsIt();
};

void tst_Emergency::timing_data()
{
    QTest::addColumn<QString>("ampLead");
    QTest::addColumn<int>("device");
    QTest::addColumn<QString>("deviceLead");
    QTest::addColumn<int>("amps");
    QTest::addColumn<int>("deviceAt"); // of that device
    QTest::addColumn<int>("otherDevicesAt");
    QTest::addColumn<int>("terminals");
    QTest::newRow("no leads: all at once") << u"00:00:00"_s << 2 << u""_s << 0 << 0 << 0 << 0;
    QTest::newRow("amplifiers 5 s ahead") << u"00:00:05"_s << 2 << u""_s << 0 << 5 << 5 << 5;
    QTest::newRow("a device's longer lead sets the pace")
        << u"00:00:05"_s << 2 << u"00:00:08"_s << 3 << 0 << 8 << 8;
    QTest::newRow("a device's shorter lead")
        << u"00:00:09"_s << 7 << u"00:00:04"_s << 0 << 5 << 9 << 9;
    QTest::newRow("a device's lead of minutes waits 10 s at most")
        << u"00:00:05"_s << 2 << u"00:05:00"_s << 5 << 0 << 10 << 10;
    QTest::newRow("the amplifiers' too")
        << u"00:02:00"_s << 3 << u"00:00:04"_s << 0 << 6 << 10 << 10;
    QTest::newRow("a lead that is no time counts as none")
        << u"xx"_s << 4 << u"later"_s << 0 << 0 << 0 << 0;
}

void tst_Emergency::timing()
{
    QFETCH(QString, ampLead);
    QFETCH(int, device);
    QFETCH(QString, deviceLead);
    std::array<QString, 9> leads;
    leads[std::size_t(device)] = deviceLead;
    const EmergencyBroadcast::Timing t = EmergencyBroadcast::timingFor(ampLead, leads);
    QTEST(t.amps, "amps");
    QTEST(t.devices[std::size_t(device)], "deviceAt");
    QTEST(t.devices[std::size_t(device == 1 ? 2 : 1)], "otherDevicesAt");
    QTEST(t.terminals, "terminals");
}

void tst_Emergency::switchOnFrames_data()
{
    QTest::addColumn<QString>("ampLead");
    QTest::addColumn<int>("device");
    QTest::addColumn<QString>("deviceLead");
    QTest::addColumn<QStringList>("frames"); // "seconds after the start: frame"
    const QString zones = u"ZoneOpen 9 0 1.2.3.17."_s;
    const QString devices = u"DeviceOpen 0 0 "_s + kEveryAmp;
    const QString amps = u"AmpOpen 0 0 "_s + kEveryAmp;
    QTest::newRow("no leads: amplifiers, devices, terminals, then the repeats")
        << u"00:00:00"_s << 1 << u""_s
        << QStringList {u"0: "_s + amps,  u"0: "_s + devices, u"0: "_s + zones,
                        u"2: "_s + zones, u"2: "_s + devices, u"2: "_s + amps,
                        u"4: "_s + zones, u"4: "_s + devices, u"4: "_s + amps,
                        u"6: "_s + zones, u"6: "_s + devices, u"6: "_s + amps};
    QTest::newRow("amplifiers lead by 5 s")
        << u"00:00:05"_s << 1 << u""_s
        << QStringList {u"0: "_s + amps,   u"5: "_s + devices,  u"5: "_s + zones,
                        u"7: "_s + zones,  u"7: "_s + devices,  u"7: "_s + amps,
                        u"9: "_s + zones,  u"9: "_s + devices,  u"9: "_s + amps,
                        u"11: "_s + zones, u"11: "_s + devices, u"11: "_s + amps};
    QTest::newRow("device 2 leads by 10 s, amplifiers by 5 s")
        << u"00:00:05"_s << 2 << u"00:00:10"_s
        << QStringList {
               u"0: DeviceOpen 0 0 2."_s, u"5: "_s + amps,   u"10: DeviceOpen 0 0 1.3.4.5.6.7.8."_s,
               u"10: "_s + zones,         u"12: "_s + zones, u"12: "_s + devices,
               u"12: "_s + amps,          u"14: "_s + zones, u"14: "_s + devices,
               u"14: "_s + amps,          u"16: "_s + zones, u"16: "_s + devices,
               u"16: "_s + amps};
}

void tst_Emergency::switchOnFrames()
{
    QFETCH(QString, ampLead);
    QFETCH(int, device);
    QFETCH(QString, deviceLead);
    Rig rig(u"10:00:00"_s);
    rig.s.set(&AppSettings::AmpOpenLead, ampLead);
    rig.s.setDeviceLead(device, deviceLead);
    QVERIFY(rig.emergency->start());
    QVERIFY(!rig.emergency->start()); // one at a time
    rig.tickThrough(u"10:00:30"_s);
    QStringList frames;
    for (const SchedulerRig::Frame &f : std::as_const(rig.s.frames))
        frames << QString::number(at(u"10:00:00"_s).secsTo(at(f.at))) + u": "_s + f.text();
    QTEST(frames, "frames");
    // The file starts once the terminals are open, at full volume.
    QCOMPARE(rig.s.player.source, rig.alarm);
    QCOMPARE(rig.s.slider(), 32767);
}

void tst_Emergency::endGivesBackWhatWasThere_data()
{
    QTest::addColumn<QString>("endAt");
    QTest::addColumn<QStringList>("endFrames");
    QTest::addColumn<QStringList>("nextTickFrames");
    QTest::addColumn<QStringList>("loads"); // what the player is given after the end
    // The item: 08:00:00 on channel 1 (88.0 MHz), zones 1.2., amplifier 1.,
    // device 4., ten minutes.
    const QStringList closes {u"ZoneClose 0 0 3.17."_s, u"DeviceClose 0 0 1.2.3.5.6.7.8."_s,
                              u"AmpClose 0 0 2.3.4.5.6.7.8."_s};
    QTest::newRow("the item still runs: it is taken up where it would stand")
        << u"08:05:00"_s << closes + QStringList {u"ZoneClose 0 0 "_s,   u"ZoneOpen 8 80 1.2."_s,
                                                  u"DeviceClose 0 0 "_s, u"DeviceOpen 0 0 4."_s,
                                                  u"AmpClose 0 0 "_s,    u"AmpOpen 0 0 1."_s}
        << QStringList {} << QStringList {u"load %1 from 300000 ms"_s};
    QTest::newRow("the item's play length ran out: its own close follows")
        << u"08:12:00"_s << closes
        << QStringList {u"ZoneClose 0 0 1.2."_s, u"DeviceClose 0 0 4."_s, u"AmpClose 0 0 1."_s}
        << QStringList {};
}

void tst_Emergency::endGivesBackWhatWasThere()
{
    QFETCH(QString, endAt);
    Rig rig(u"07:59:59"_s);
    rig.s.setEveryDay({entry("08:00:00", 1, rig.song, "00:10:00", "1.2.", "1.", "4.")});
    rig.s.load();
    rig.tickThrough(u"08:00:10"_s);
    QCOMPARE(rig.s.framesAt(u"08:00:00"_s).size(), 6);
    rig.tickThrough(u"08:02:00"_s);
    QVERIFY(rig.emergency->start());
    rig.tickThrough(endAt);
    const qsizetype before = rig.s.frames.size();
    const qsizetype callsBefore = rig.s.player.calls.size();
    QVERIFY(rig.emergency->end());
    QVERIFY(!rig.emergency->active());
    QTEST(rig.s.framesText(before), "endFrames");
    QCOMPARE(rig.s.slider(), 20000); // the item's volume again
    const QStringList calls = rig.s.player.calls.mid(callsBefore);
    QCOMPARE(calls.value(0), u"stop"_s); // the emergency's file
    QFETCH(QStringList, loads);
    loads.replaceInStrings(u"%1"_s, rig.song);
    QCOMPARE(calls.filter(u"load"_s), loads);
    const qsizetype afterEnd = rig.s.frames.size();
    rig.tickAt(rig.s.clock.now().addSecs(1).toString(u"HH:mm:ss"_s));
    QStringList next = rig.s.framesText(afterEnd);
    // A taken-up item repeats its switch-on as at its start; leave those out.
    next.removeIf(
        [](const QString &f) { return f.startsWith(u"ZoneOpen"_s) || f.contains(u"Open 0 0"_s); });
    QTEST(next, "nextTickFrames");
    QVERIFY(!rig.log.filter(u"结束"_s).isEmpty());
}

void tst_Emergency::rowsDueArePassedOver_data()
{
    QTest::addColumn<bool>("reload"); // settings applied while it runs reload the list
    QTest::newRow("as it is") << false;
    QTest::newRow("the list reloaded meanwhile") << true;
}

void tst_Emergency::rowsDueArePassedOver()
{
    QFETCH(bool, reload);
    Rig rig(u"07:59:59"_s);
    rig.s.setEveryDay({entry("08:00:00", 1, rig.song, "00:10:00"),
                       entry("08:03:00", 2, rig.song, "00:01:00", "3."),
                       entry("08:04:58", 2, rig.song, "00:20:00", "17."),
                       entry("08:20:00", 1, rig.song, "00:01:00")});
    rig.s.load();
    rig.tickThrough(u"08:02:00"_s);
    QVERIFY(rig.emergency->start());
    rig.tickThrough(u"08:04:57"_s);
    // The last one comes due in the very second it ends.
    rig.s.clock.set(at(u"08:04:58"_s));
    if (reload)
        rig.s.state.setReloadSchedule(true);
    QSignalSpy missed(rig.s.scheduler.get(), &Scheduler::rowsPassedOver);
    rig.emergency->end();
    const qsizetype before = rig.s.frames.size();
    const qsizetype played = rig.s.played.size();
    // 08:04:58's start window still runs, yet it does not start late.
    rig.tickThrough(u"08:06:00"_s);
    QCOMPARE(missed.size(), 0); // passed over for the emergency, not missed
    for (const QString &f : rig.s.framesText(before))
        QVERIFY2(!f.contains(u"3."_s) && !f.contains(u"17."_s), qPrintable(f));
    QCOMPARE(rig.s.played.size(), played);
    QCOMPARE(rig.log.filter(u"因紧急广播未播放"_s),
             (QStringList {u"08:03:00 song.mp3 因紧急广播未播放"_s,
                           u"08:04:58 song.mp3 因紧急广播未播放"_s}));
    QCOMPARE(rig.s.model.state(1), RowState::Done);
    QCOMPARE(rig.s.model.state(2), RowState::Done);
    // The next row starts as always.
    rig.tickThrough(u"08:20:00"_s);
    QCOMPARE(rig.s.framesAt(u"08:20:00"_s).value(1), u"ZoneOpen 8 80 1.2."_s);
}

void tst_Emergency::fileLoopsAtFullVolume()
{
    Rig rig(u"10:00:00"_s);
    rig.s.volume->setValue(12000);
    QVERIFY(rig.emergency->start());
    QCOMPARE(rig.s.player.calls.filter(u"load"_s), QStringList {u"load "_s + rig.alarm});
    rig.s.player.finish();
    // Not in the same instant: at the next second.
    QCOMPARE(rig.s.player.calls.filter(u"load"_s).size(), 1);
    rig.tickAt(u"10:00:01"_s);
    QCOMPARE(rig.s.player.calls.filter(u"load"_s).size(), 2);
    rig.tickAt(u"10:00:02"_s);
    QCOMPARE(rig.s.player.calls.filter(u"load"_s).size(), 2);
    QCOMPARE(rig.s.slider(), 32767);
    const qsizetype callsBefore = rig.s.player.calls.size();
    rig.emergency->end();
    QCOMPARE(rig.s.player.calls.value(callsBefore), u"stop"_s);
    QCOMPARE(rig.s.slider(), 12000);
    // Nothing plays it again once it is over.
    rig.s.player.finish();
    rig.tickAt(u"10:00:03"_s);
    QCOMPARE(rig.s.player.calls.filter(u"load"_s).size(), 2);
}

void tst_Emergency::lineInPlaysNoFile()
{
    Rig rig(u"10:00:00"_s);
    rig.s.set(&AppSettings::EmergencyLineIn, true);
    QVERIFY(rig.emergency->start());
    rig.tickThrough(u"10:00:10"_s);
    QVERIFY(rig.s.player.calls.filter(u"load"_s).isEmpty());
    QCOMPARE(rig.s.framesAt(u"10:00:00"_s).value(2), u"ZoneOpen 9 0 1.2.3.17."_s);
    QVERIFY(!rig.log.filter(u"线路输入"_s).isEmpty());
}

void tst_Emergency::elapsedText_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("start") << 0 << u"00:00"_s;
    QTest::newRow("a minute and a bit") << 75 << u"01:15"_s;
    QTest::newRow("just under the hour") << 3599 << u"59:59"_s;
    QTest::newRow("past the hour") << 3661 << u"1:01:01"_s;
}

void tst_Emergency::elapsedText()
{
    QFETCH(int, seconds);
    QTEST(EmergencyBroadcast::elapsedText(seconds), "text");
}

void tst_Emergency::consoleKeysAndLog()
{
    ConsoleRig rig;
    Console &console = rig.start();
    QSignalSpy sent(&console.link(), &ZoneLink::frameQueued);
    QVERIFY(console.emergency().start());
    QCOMPARE(sent.size(), 1); // the amplifiers, their lead ahead of the rest
    sent.clear();
    // Every key but stop is ignored: all off, volume down, play.
    for (int key : {4, 8, 1})
        rig.port.receive(QByteArray(1, char(key)));
    QCoreApplication::processEvents();
    QCOMPARE(sent.size(), 0);
    QCOMPARE(console.volume().value(), 32767);
    QVERIFY(console.emergency().active());
    QVERIFY(!console.state().ManualMode());
    rig.port.receive(QByteArray(1, char(3)));
    QTRY_VERIFY(!console.emergency().active());
    QVERIFY(sent.size() > 0); // its end switched off what it added
    QFile day(console.asRunLog().fileFor(rig.clock.now().date()));
    QVERIFY(day.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(day.readAll());
    QVERIFY2(text.contains(u"紧急广播"_s) && text.contains(u"结束"_s), qPrintable(text));
}

void tst_Emergency::consoleStopEndsIt()
{
    ConsoleRig rig;
    Console &console = rig.start();
    QVERIFY(console.emergency().start());
    QSignalSpy sent(&console.link(), &ZoneLink::frameQueued);
    console.stopItemsNow();
    QVERIFY(!console.emergency().active());
    QVERIFY(!console.scheduler().held());
    // Its end closed the amplifiers it had switched on.
    QCOMPARE(sent.size(), 1);
    FrameDecoder decoder;
    const auto pieces = decoder.feed(sent.at(0).at(0).toByteArray());
    QCOMPARE(pieces.size(), 1);
    QCOMPARE(pieces.at(0).frame.code, int(CommandCode::AmpClose));
}

QTEST_GUILESS_MAIN(tst_Emergency)
#include "tst_emergency.moc"
