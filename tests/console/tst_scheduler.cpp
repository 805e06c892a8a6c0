// The scheduler's rules on a clock the test moves, one tick at a time.

#include "schedulerrig.h"
#include "support/gbkfiles.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
const QDate kDay(2026, 12, 7); // a Monday
QDateTime at(const char *time, QDate day = kDay)
{
    return QDateTime(day, QTime::fromString(QString::fromLatin1(time), QStringLiteral("HH:mm:ss")));
}
const QString kSong = QStringLiteral("/srv/song/a.mp3");
const QString kOther = QStringLiteral("/srv/song/b.mp3");
const QString kPeripheral = QStringLiteral("外设控制");

// "0.1.…255.": every address a terminal can have.
QByteArray allAddresses()
{
    QByteArray list;
    for (int a = 0; a < 256; ++a)
        list += QByteArray::number(a) + '.';
    return list;
}

// "ZoneOpen 9 0 0.1.2.…254." → "ZoneOpen 9 0 0-254.": runs drawn short to read.
QStringList compact(const QStringList &frames)
{
    QStringList out;
    for (const QString &frame : frames) {
        const QString head = frame.section(u' ', 0, 2);
        const QStringList items = frame.section(u' ', 3).split(u'.', Qt::SkipEmptyParts);
        QString list;
        for (qsizetype i = 0; i < items.size();) {
            qsizetype j = i;
            while (j + 1 < items.size() && items.at(j + 1).toInt() == items.at(j).toInt() + 1)
                ++j;
            if (j - i >= 2) {
                list += items.at(i) + u'-' + items.at(j) + u'.';
                i = j + 1;
            } else {
                list += items.at(i) + u'.';
                ++i;
            }
        }
        out << head + u' ' + list;
    }
    return out;
}
} // namespace

class tst_Scheduler : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void ampLeadWindow_data();
    void ampLeadWindow();
    void startSendsSixFramesThenPlays();
    void startOnAWorkingLink();
    void unsentFramesAreLoggedAndShown();
    void shortWriteOnAnOpenLink();
    void allTerminalsStartInSplitFrames_data();
    void allTerminalsStartInSplitFrames();
    void allTerminalsRepeatAndCloseInSplitFrames();
    void passedOverAt080006();
    void twoChannelsInOneTick();
    void peripheralOnlyItem_data();
    void peripheralOnlyItem();
    void zeroPlayLength();
    void repeatsAtTwoFourSixTicks();
    void deviceLeadWindow();
    void dailyVolumeOnceAtFirstTickAfter();
    void itemRunningPastMidnight();
    void dateChangeReloadsWhenMidnightIsMissed();
    void passedOverLeadIsSwitchedOff();
    void cancelledRowIsLeftAlone();
    void badRowShowsOneMessage_data();
    void badRowShowsOneMessage();
    void everyChannelChangeIsAnnouncedOnce_data();
    void everyChannelChangeIsAnnouncedOnce();
    void manyPastRowsArePassedOverAtOnce_data();
    void manyPastRowsArePassedOverAtOnce();
};

void tst_Scheduler::ampLeadWindow_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("lead");
    QTest::addColumn<QString>("from"); // first tick
    QTest::addColumn<QString>("to"); // last tick
    QTest::addColumn<QStringList>("ampOpenAt"); // ticks that send AmpOpen 1. before the start
    QTest::newRow("08:00:00, 5 s")
        << "08:00:00"
        << "00:00:05"
        << "07:59:50"
        << "08:00:00" << QStringList {u"07:59:55"_s, u"07:59:56"_s, u"07:59:57"_s,
                                      u"07:59:58"_s, u"07:59:59"_s, u"08:00:00"_s};
    QTest::newRow("00:00:03, a minute, across midnight")
        << "00:00:03"
        << "00:01:00"
        << "23:59:58"
        << "00:00:03" << QStringList {u"00:00:00"_s, u"00:00:01"_s, u"00:00:02"_s, u"00:00:03"_s};
}

void tst_Scheduler::ampLeadWindow()
{
    QFETCH(QString, item);
    QFETCH(QString, lead);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, ampOpenAt);
    const QDateTime start(kDay, QTime::fromString(from));
    QDateTime end(kDay, QTime::fromString(to));
    if (end < start)
        end = end.addDays(1);
    SchedulerRig rig(start.addSecs(-1));
    rig.set(&AppSettings::AmpOpenLead, lead);
    rig.setEveryDay({entry(item.toLatin1().constData(), 1, kSong, "00:01:00", "1.", "1.")});
    rig.load();
    rig.tickThrough(end);
    QStringList leadTicks;
    for (const auto &f : rig.frames) {
        // The lead's AmpOpen comes before the start's ZoneClose in the tick.
        if (f.name == u"AmpOpen" && f.list == u"1." && !leadTicks.contains(f.at))
            leadTicks << f.at;
    }
    QCOMPARE(leadTicks, ampOpenAt);
    QCOMPARE(rig.played, QStringList {kSong});
}

void tst_Scheduler::startSendsSixFramesThenPlays()
{
    SchedulerRig rig(at("07:59:59"));
    rig.set(&AppSettings::AmpOpenLead, QStringLiteral("00:00:00"));
    rig.setEveryDay({entry("08:00:00", 3, kSong, "00:01:00", "3.17.200.", "1.3.", "2.",
                           QStringLiteral("上课"), 12345)});
    rig.load();
    rig.tickAt(QTime(8, 0, 2));
    QCOMPARE(rig.framesText(),
             (QStringList {u"ZoneClose 0 0 "_s, u"ZoneOpen 9 0 3.17.200."_s, u"DeviceClose 0 0 "_s,
                           u"DeviceOpen 0 0 2."_s, u"AmpClose 0 0 "_s, u"AmpOpen 0 0 1.3."_s}));
    QCOMPARE(rig.model.cellText(0, ProgrammeModel::PlayedColumn), QStringLiteral("是"));
    QCOMPARE(ProgrammeModel::iconKey(rig.model.state(0)), QStringLiteral("checkmark"));
    QCOMPARE(rig.today->currentIndex(), 1);
    QCOMPARE(rig.slider(), 12345);
    QVERIFY(!rig.playback->manualPlayback());
    QCOMPARE(rig.actions, (QStringList {u"title a.mp3"_s, u"play "_s + kSong}));
    // The rig's link is down: the file plays all the same and the status says
    // the controller was not told.
    QCOMPARE(rig.status(), QStringLiteral("外设状态：与分区控制器的连接中断，命令未能发送"));
    const ChannelStateRecord &ch = rig.scheduler->channelState(3);
    QVERIFY(ch.ZonesOn && ch.AmpsOn && ch.DevicesOn && ch.RepeatOpen);
    QCOMPARE(ch.Zones, QStringLiteral("3.17.200."));
    QCOMPARE(ch.StartTime, QStringLiteral("08:00:00"));
    QVERIFY(rig.scheduler->outputsActive());
    // The next tick does not start it again.
    rig.tickAt(QTime(8, 0, 3));
    QCOMPARE(rig.played.size(), 1);
}

void tst_Scheduler::startOnAWorkingLink()
{
    SchedulerRig rig(at("07:59:59"));
    rig.openLink();
    rig.set(&AppSettings::AmpOpenLead, QStringLiteral("00:00:00"));
    rig.setEveryDay({entry("08:00:00", 3, kSong, "00:01:00", "3.17.", "1.", "2.")});
    rig.load();
    rig.tickAt(QTime(8, 0, 1));
    QCOMPARE(rig.status(), QStringLiteral("外设状态：设备已打开"));
    // The file plays once the six frames are on the wire, not before.
    QVERIFY(rig.played.isEmpty());
    QVERIFY(QTest::qWaitFor([&rig] { return !rig.played.isEmpty(); }, 10000));
    QCOMPARE(rig.port.writes().size(), 6);
    QCOMPARE(rig.link->queuedFrames(), 0);
    QCOMPARE(rig.status(), QStringLiteral("外设状态：设备已打开"));
}

void tst_Scheduler::unsentFramesAreLoggedAndShown()
{
    SchedulerRig rig(at("07:59:59"));
    rig.openLink();
    rig.set(&AppSettings::AmpOpenLead, QStringLiteral("00:00:00"));
    rig.setEveryDay({entry("08:00:00", 3, kSong, "00:00:05", "3.17.", "1.", "2.")});
    rig.load();
    rig.tickAt(QTime(8, 0, 1));
    // The device goes away while the frames wait their turn.
    rig.port.loseDevice();
    QCOMPARE(rig.status(), QStringLiteral("外设状态：与分区控制器的连接中断，命令未能发送"));
    QCOMPARE(rig.played, QStringList {kSong});
    QCOMPARE(rig.link->queuedFrames(), 0);
    // The console carries on: the item's end still closes what it opened.
    const qsizetype before = rig.frames.size();
    rig.tickThrough(at("08:01:10"));
    QVERIFY(rig.framesText(before).contains(u"ZoneClose 0 0 3.17."_s));
    QVERIFY(!rig.scheduler->outputsActive());
}

void tst_Scheduler::shortWriteOnAnOpenLink()
{
    SchedulerRig rig(at("07:59:59"));
    rig.openLink();
    rig.set(&AppSettings::AmpOpenLead, QStringLiteral("00:00:00"));
    rig.setEveryDay({entry("08:00:00", 3, kSong, "00:01:00", "3.17.", "1.", "2.")});
    rig.load();
    rig.port.writeLimits = {-1}; // the port refuses the first frame, takes the rest
    rig.tickAt(QTime(8, 0, 1));
    QVERIFY(QTest::qWaitFor([&rig] { return !rig.played.isEmpty(); }, 10000));
    QCOMPARE(rig.port.writes().size(), 5);
    QCOMPARE(rig.status(), QStringLiteral("外设状态：命令未能发送到分区控制器"));
}

void tst_Scheduler::allTerminalsStartInSplitFrames_data()
{
    QTest::addColumn<bool>("linkUp");
    QTest::addColumn<int>("refused"); // the write the port refuses; -1: none
    QTest::addColumn<int>("writes"); // frames on the wire when the file plays
    QTest::addColumn<QString>("status");
    QTest::newRow("link down") << false << -1 << 0
                               << u"外设状态：与分区控制器的连接中断，命令未能发送"_s;
    QTest::newRow("link up") << true << -1 << 7 << u"外设状态：设备已打开"_s;
    QTest::newRow("link up, the second frame of the terminals refused")
        << true << 2 << 6 << u"外设状态：命令未能发送到分区控制器"_s;
}

void tst_Scheduler::allTerminalsStartInSplitFrames()
{
    QFETCH(bool, linkUp);
    QFETCH(int, refused);
    QFETCH(int, writes);
    QFETCH(QString, status);
    SchedulerRig rig(at("07:59:59"));
    if (linkUp)
        rig.openLink();
    for (int i = 0; i < 7; ++i)
        rig.port.writeLimits << (i == refused ? -1 : 100000);
    rig.set(&AppSettings::AmpOpenLead, QStringLiteral("00:00:00"));
    const QByteArray all = allAddresses();
    rig.setEveryDay({entry("08:00:00", 3, kSong, "00:01:00", all.constData(), "1.", "2.")});
    rig.load();
    qsizetype writesWhenPlayed = -1;
    QObject::connect(rig.scheduler.get(), &Scheduler::filePlayed, rig.scheduler.get(),
                     [&] { writesWhenPlayed = rig.port.writes().size(); });
    rig.tickAt(QTime(8, 0, 1));
    // The row is started, not refused: the terminals take two frames of ZoneOpen.
    QCOMPARE(compact(rig.framesText()),
             (QStringList {u"ZoneClose 0 0 "_s, u"ZoneOpen 9 0 0-254."_s, u"ZoneOpen 9 0 255."_s,
                           u"DeviceClose 0 0 "_s, u"DeviceOpen 0 0 2."_s, u"AmpClose 0 0 "_s,
                           u"AmpOpen 0 0 1."_s}));
    QVERIFY(rig.dialogs.shown.isEmpty());
    QCOMPARE(rig.model.state(0), RowState::Done);
    QVERIFY(QTest::qWaitFor([&rig] { return !rig.played.isEmpty(); }, 20000));
    // The file plays after the last frame of the last command.
    QCOMPARE(writesWhenPlayed, writes);
    QCOMPARE(rig.played, QStringList {kSong});
    QCOMPARE(rig.status(), status);
    QCOMPARE(rig.scheduler->channelState(3).Zones, QString::fromLatin1(all));
}

void tst_Scheduler::allTerminalsRepeatAndCloseInSplitFrames()
{
    SchedulerRig rig(at("07:59:59"));
    rig.set(&AppSettings::AmpOpenLead, QStringLiteral("00:00:00"));
    rig.set(&AppSettings::AllNodeList, QString::fromLatin1(allAddresses()));
    rig.set(&AppSettings::VolumeAdjustTime, QStringLiteral("08:00"));
    rig.set(&AppSettings::TerminalVolume, QStringLiteral("15"));
    rig.setEveryDay(
        {entry("08:00:00", 2, kPeripheral, "00:00:05", allAddresses().constData(), "1.", "2.")});
    rig.load();
    rig.tickThrough(at("08:00:20"));
    // The daily volume reaches every terminal, in two frames.
    QCOMPARE(compact(rig.framesAt(u"08:00:00"_s)).mid(0, 2),
             (QStringList {u"VolumeSet 15 0 0-254."_s, u"VolumeSet 15 0 255."_s}));
    const QStringList repeat {u"ZoneOpen 8 90 0-254."_s, u"ZoneOpen 8 90 255."_s,
                              u"DeviceOpen 0 0 2."_s, u"AmpOpen 0 0 1."_s};
    for (const char *t : {"08:00:02", "08:00:04", "08:00:06"})
        QCOMPARE(compact(rig.framesAt(QString::fromLatin1(t))), repeat);
    // Ten seconds after its end the item closes every terminal it opened.
    QCOMPARE(compact(rig.framesAt(u"08:00:15"_s)),
             (QStringList {u"ZoneClose 0 0 0-254."_s, u"ZoneClose 0 0 255."_s}));
    QVERIFY(!rig.scheduler->channelState(2).ZonesOn);
}

void tst_Scheduler::passedOverAt080006()
{
    SchedulerRig rig(at("08:00:06"));
    rig.set(&AppSettings::AmpOpenLead, QStringLiteral("00:00:00"));
    rig.setEveryDay({entry("08:00:00", 1, kSong), entry("09:00:00", 1, kOther)});
    rig.load();
    rig.tickAt(QTime(8, 0, 6));
    QVERIFY(rig.frames.isEmpty());
    QVERIFY(rig.played.isEmpty());
    QCOMPARE(rig.model.state(0), RowState::Done);
    QCOMPARE(rig.model.state(1), RowState::Waiting);
    QCOMPARE(rig.today->currentIndex(), 1);
    // At 08:00:05 it would still have started.
    SchedulerRig late(at("08:00:05"));
    late.setEveryDay({entry("08:00:00", 1, kSong)});
    late.load();
    late.tickAt(QTime(8, 0, 5));
    QCOMPARE(late.played, QStringList {kSong});
    // No amplifier lead ("00:00:00") switches nothing on ahead of the 09:00 row.
    QVERIFY(rig.framesText().isEmpty());
}

void tst_Scheduler::twoChannelsInOneTick()
{
    SchedulerRig rig(at("07:00:00"));
    rig.setEveryDay({entry("08:00:00", 1, kSong, "00:01:00", "1.", "1."),
                     entry("08:00:00", 2, kOther, "00:05:00", "2.", "2.")});
    rig.load();
    rig.tickAt(QTime(8, 0, 0));
    QCOMPARE(rig.played, (QStringList {kSong, kOther})); // the second one's file plays last
    QCOMPARE(rig.scheduler->channelState(1).Detail, QStringLiteral("外设控制"));
    QCOMPARE(rig.scheduler->channelState(2).Detail, QStringLiteral("节目"));
    QCOMPARE(rig.framesText().filter(QStringLiteral("ZoneOpen")),
             (QStringList {u"ZoneOpen 8 80 1."_s, u"ZoneOpen 8 90 2."_s}));
    // Channel 1's end does not stop the player that channel 2 owns.
    rig.actions.clear();
    rig.tickThrough(at("08:01:03"));
    QVERIFY(!rig.actions.contains(QStringLiteral("stop")));
}

void tst_Scheduler::peripheralOnlyItem_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<bool>("stops");
    QTest::newRow("on the channel whose file plays") << 1 << true;
    QTest::newRow("on another channel") << 2 << false;
}

void tst_Scheduler::peripheralOnlyItem()
{
    QFETCH(int, channel);
    QFETCH(bool, stops);
    SchedulerRig rig(at("07:00:00"));
    rig.setEveryDay(
        {entry("08:00:00", 1, kSong, "00:10:00", "1.", "1."),
         entry("08:01:00", channel, kPeripheral, "00:05:00", "", "", "3.", kPeripheral)});
    rig.load();
    rig.tickAt(QTime(8, 0, 0));
    rig.actions.clear();
    rig.tickAt(QTime(8, 1, 0));
    QCOMPARE(rig.actions.contains(QStringLiteral("stop")), stops);
    QCOMPARE(rig.played, QStringList {kSong}); // the peripheral item plays nothing
    QVERIFY(rig.framesAt(QStringLiteral("08:01:00")).contains(QStringLiteral("DeviceOpen 0 0 3.")));
}

void tst_Scheduler::zeroPlayLength()
{
    SchedulerRig rig(at("07:00:00"));
    rig.setEveryDay({entry("08:00:00", 1, kSong, "00:00:00", "1.2.", "1.", "4.")});
    rig.load();
    rig.tickAt(QTime(8, 0, 0));
    rig.actions.clear();
    QStringList stops;
    for (int s = 1; s <= 70; ++s) {
        const qsizetype before = rig.actions.size();
        rig.tickAt(QTime(8, 0, 0).addSecs(s));
        if (rig.actions.mid(before).contains(QStringLiteral("stop")))
            stops << QTime(8, 0, 0).addSecs(s).toString(QStringLiteral("HH:mm:ss"));
    }
    QCOMPARE(stops.first(),
             QStringLiteral("08:00:02")); // stopped from 2 s on, until the zones close
    QCOMPARE(stops.last(), QStringLiteral("08:00:10"));
    const auto when = [&rig](const QString &frame) {
        for (const auto &f : rig.frames) {
            if (f.text() == frame)
                return f.at;
        }
        return QString();
    };
    QCOMPARE(when(QStringLiteral("DeviceClose 0 0 4.")), QStringLiteral("08:00:05"));
    QCOMPARE(when(QStringLiteral("ZoneClose 0 0 1.2.")), QStringLiteral("08:00:10"));
    QCOMPARE(when(QStringLiteral("AmpClose 0 0 1.")), QStringLiteral("08:01:00"));
    QVERIFY(!rig.scheduler->outputsActive());
}

void tst_Scheduler::repeatsAtTwoFourSixTicks()
{
    SchedulerRig rig(at("07:00:00"));
    rig.setEveryDay({entry("08:00:00", 4, kSong, "00:10:00", "5.", "2.", "6.")});
    rig.load();
    rig.tickAt(QTime(8, 0, 0));
    for (int s = 1; s <= 9; ++s)
        rig.tickAt(QTime(8, 0, s));
    const QStringList repeat = {u"ZoneOpen 9 10 5."_s, u"DeviceOpen 0 0 6."_s, u"AmpOpen 0 0 2."_s};
    for (const char *t : {"08:00:02", "08:00:04", "08:00:06"})
        QCOMPARE(rig.framesAt(QString::fromLatin1(t)), repeat);
    for (const char *t : {"08:00:01", "08:00:03", "08:00:05", "08:00:07", "08:00:08"})
        QVERIFY(rig.framesAt(QString::fromLatin1(t)).isEmpty());
    QVERIFY(!rig.scheduler->channelState(4).RepeatOpen);
}

void tst_Scheduler::deviceLeadWindow()
{
    SchedulerRig rig(at("07:58:58"));
    rig.setDeviceLead(2, QStringLiteral("00:01:00"));
    rig.set(&AppSettings::AmpOpenLead, QStringLiteral("00:00:00"));
    // The row must be reached by the scan: an earlier row keeps it in view.
    rig.setEveryDay({entry("07:00:00", 1, kOther),
                     entry("08:00:00", 1, kSong, "00:01:00", "1.", "1.", "2.3.")});
    rig.load();
    rig.tickThrough(at("07:59:59"));
    QStringList leadTicks;
    for (const auto &f : rig.frames) {
        if (f.text() == u"DeviceOpen 0 0 2.")
            leadTicks << f.at;
    }
    QCOMPARE(leadTicks.size(), 60);
    QCOMPARE(leadTicks.first(), QStringLiteral("07:59:00"));
    QCOMPARE(leadTicks.last(), QStringLiteral("07:59:59"));
    // The start second itself is no longer ahead: the start's own six frames
    // open the devices, with their close first.
    rig.frames.clear();
    rig.tickAt(QTime(8, 0, 0));
    QCOMPARE(rig.framesText(),
             (QStringList {u"ZoneClose 0 0 "_s, u"ZoneOpen 8 80 1."_s, u"DeviceClose 0 0 "_s,
                           u"DeviceOpen 0 0 2.3."_s, u"AmpClose 0 0 "_s, u"AmpOpen 0 0 1."_s}));
}

void tst_Scheduler::dailyVolumeOnceAtFirstTickAfter()
{
    SchedulerRig rig(at("09:00:00"));
    rig.set(&AppSettings::VolumeAdjustTime, QStringLiteral("07:30"));
    rig.set(&AppSettings::TerminalVolume, QStringLiteral("15"));
    rig.setEveryDay({});
    rig.load();
    rig.tickAt(QTime(9, 0, 0));
    rig.tickAt(QTime(9, 0, 1));
    rig.tickAt(QTime(23, 0, 0));
    QCOMPARE(rig.framesText(), QStringList {QStringLiteral("VolumeSet 15 0 1.2.3.17.")});
    QCOMPARE(GbkFiles::readText(rig.dir.filePath(QStringLiteral("log.txt"))),
             QStringLiteral("2026-12-07 09:00:00,自动调整音量15\r\n"));
    QCOMPARE(rig.settings.values().VolumeAdjustTime, QStringLiteral("33:33:33"));
}

void tst_Scheduler::itemRunningPastMidnight()
{
    SchedulerRig rig(at("23:59:00"));
    rig.set(&AppSettings::AmpCloseDelay, QStringLiteral("00:01:00"));
    rig.setEveryDay({entry("23:59:50", 1, kSong, "00:02:00", "1.", "1.", "2.")});
    rig.load();
    rig.tickThrough(at("00:03:00", kDay.addDays(1)));
    const auto when = [&rig](const QString &name) {
        for (const auto &f : rig.frames) {
            if (f.name == name && f.at != u"23:59:50")
                return f.at;
        }
        return QString();
    };
    // Ends at 00:01:50 the next morning: devices +5 s, zones +10 s, amplifiers +1 min.
    QCOMPARE(when(QStringLiteral("DeviceClose")), QStringLiteral("00:01:55"));
    QCOMPARE(when(QStringLiteral("ZoneClose")), QStringLiteral("00:02:00"));
    QCOMPARE(when(QStringLiteral("AmpClose")), QStringLiteral("00:02:50"));
    QVERIFY(!rig.scheduler->outputsActive());
}

void tst_Scheduler::dateChangeReloadsWhenMidnightIsMissed()
{
    SchedulerRig rig(at("23:59:58"));
    WeekTables week;
    week[0] = {entry("10:00:00", 1, kSong)}; // Monday
    week[1] = {entry("00:00:30", 1, kOther)}; // Tuesday
    rig.setWeek(week);
    rig.load();
    rig.tickAt(at("23:59:58"));
    QCOMPARE(rig.model.entry(0).time, QStringLiteral("10:00:00"));
    rig.tickAt(at("00:00:02", kDay.addDays(1))); // 00:00:00 and 00:00:01 never ticked
    QCOMPARE(rig.model.count(), 1);
    QCOMPARE(rig.model.entry(0).time, QStringLiteral("00:00:30"));
    rig.tickAt(at("00:00:30", kDay.addDays(1)));
    QCOMPARE(rig.played, QStringList {kOther});
}

void tst_Scheduler::passedOverLeadIsSwitchedOff()
{
    SchedulerRig rig(at("07:59:55"));
    rig.setEveryDay({entry("08:00:00", 1, kSong, "00:01:00", "1.", "5.6.")});
    rig.load();
    rig.tickAt(QTime(7, 59, 55));
    QVERIFY(rig.scheduler->AmpLeadSent());
    // The ticks of the start window are lost (a busy machine); the row is passed over.
    rig.tickAt(QTime(8, 0, 6));
    QCOMPARE(rig.model.state(0), RowState::Done);
    QVERIFY(!rig.scheduler->AmpLeadSent());
    QCOMPARE(rig.framesAt(QStringLiteral("08:00:06")),
             QStringList {QStringLiteral("AmpClose 0 0 5.6.")});
}

void tst_Scheduler::cancelledRowIsLeftAlone()
{
    SchedulerRig rig(at("07:59:55"));
    rig.setEveryDay({entry("08:00:00", 1, kSong, "00:01:00", "1.", "5.")});
    rig.load();
    rig.tickAt(QTime(7, 59, 56));
    QVERIFY(rig.scheduler->AmpLeadSent());
    rig.today->cancelRow(0);
    rig.tickAt(QTime(7, 59, 57));
    QCOMPARE(rig.framesAt(QStringLiteral("07:59:57")),
             QStringList {QStringLiteral("AmpClose 0 0 5.")});
    QVERIFY(!rig.scheduler->AmpLeadSent());
    rig.tickThrough(at("08:00:10"));
    QVERIFY(rig.played.isEmpty());
    QCOMPARE(rig.model.state(0), RowState::Cancelled);
    QCOMPARE(rig.today->currentIndex(), 0);
    // Restored before its window ends, it still starts.
    SchedulerRig again(at("07:59:59"));
    again.setEveryDay({entry("08:00:00", 1, kSong)});
    again.load();
    again.today->cancelRow(0);
    again.tickAt(QTime(8, 0, 1));
    again.today->restoreRow(0);
    again.tickAt(QTime(8, 0, 2));
    QCOMPARE(again.played, QStringList {kSong});
}

void tst_Scheduler::badRowShowsOneMessage_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("zone");
    QTest::newRow("channel 9") << 9 << "1.";
    QTest::newRow("channel 0") << 0 << "1.";
    QTest::newRow("terminal 300") << 1 << "300.";
}

void tst_Scheduler::badRowShowsOneMessage()
{
    QFETCH(int, channel);
    QFETCH(QString, zone);
    SchedulerRig rig(at("07:00:00"));
    rig.setEveryDay({entry("08:00:00", channel, kSong, "00:01:00", zone.toLatin1().constData())});
    rig.load();
    rig.dialogs.answers.clear();
    rig.tickAt(QTime(8, 0, 0));
    QCOMPARE(rig.dialogs.shown.size(), 1);
    QCOMPARE(rig.dialogs.shown.at(0).text, QStringLiteral("打开的文件内容有误，请重新设置。"));
    QCOMPARE(rig.dialogs.shown.at(0).title, QStringLiteral("内容有误"));
    QCOMPARE(rig.model.count(), 0);
    QVERIFY(rig.played.isEmpty());
    QVERIFY(rig.framesText().filter(QStringLiteral("ZoneOpen")).isEmpty());
}

Q_DECLARE_METATYPE(ScheduleEntry)

namespace {
bool sameChannel(const ChannelStateRecord &a, const ChannelStateRecord &b)
{
    return a.ZonesOn == b.ZonesOn && a.AmpsOn == b.AmpsOn && a.DevicesOn == b.DevicesOn
        && a.RepeatOpen == b.RepeatOpen && a.RepeatCount == b.RepeatCount && a.Detail == b.Detail
        && a.StartTime == b.StartTime && a.PlayLength == b.PlayLength && a.Zones == b.Zones
        && a.Amps == b.Amps && a.Devices == b.Devices && a.StartMoment == b.StartMoment;
}
} // namespace

void tst_Scheduler::everyChannelChangeIsAnnouncedOnce_data()
{
    QTest::addColumn<DayTable>("entries");
    QTest::addColumn<QString>("from"); // ticks every second from … to
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("outputs"); // "hh:mm:ss on|off" as announced
    QTest::addColumn<QList<int>>("channels"); // announced at least once
    // A programme that starts marks every other channel's item as peripheral
    // control (none of them holds the player any more): all eight change.
    const QList<int> all {1, 2, 3, 4, 5, 6, 7, 8};
    QTest::newRow("a start and its end")
        << DayTable {entry("08:00:00", 3, kSong, "00:00:05", "3.", "1.", "2.")} << "07:59:58"
        << "08:01:10" << QStringList {u"08:00:00 on"_s, u"08:01:05 off"_s} << all;
    QTest::newRow("peripheral control changes its own channel only")
        << DayTable {entry("08:00:00", 3, kPeripheral, "00:00:05", "3.", "1.", "2.", kPeripheral)}
        << "07:59:58"
        << "08:01:10" << QStringList {u"08:00:00 on"_s, u"08:01:05 off"_s} << QList<int> {3};
    QTest::newRow("two channels in one tick")
        << DayTable {entry("08:00:00", 1, kSong, "00:00:05", "1.", "1."),
                     entry("08:00:00", 2, kOther, "00:00:05", "2.", "2.")}
        << "07:59:59"
        << "08:00:03" << QStringList {u"08:00:00 on"_s} << all;
    QTest::newRow("a start takes a zone from another channel")
        << DayTable {entry("08:00:00", 1, kPeripheral, "00:10:00", "1.2.", "1.", "", kPeripheral),
                     entry("08:00:10", 2, kPeripheral, "00:10:00", "2.", "2.", "", kPeripheral)}
        << "07:59:59"
        << "08:00:12" << QStringList {u"08:00:00 on"_s} << QList<int> {1, 2};
    QTest::newRow("nothing due") << DayTable {entry("12:00:00", 1, kSong)} << "08:00:00"
                                 << "08:00:10" << QStringList {} << QList<int> {};
}

void tst_Scheduler::everyChannelChangeIsAnnouncedOnce()
{
    QFETCH(DayTable, entries);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, outputs);
    QFETCH(QList<int>, channels);
    SchedulerRig rig(at(from.toLatin1().constData()).addSecs(-1));
    rig.setEveryDay(entries);
    rig.load();
    QStringList outputsAnnounced;
    QObject::connect(rig.scheduler.get(), &Scheduler::outputsActiveChanged, rig.scheduler.get(),
                     [&](bool active) {
                         QCOMPARE(active, rig.scheduler->outputsActive());
                         outputsAnnounced << rig.clock.now().toString(u"HH:mm:ss"_s)
                                 + (active ? u" on"_s : u" off"_s);
                     });
    QSignalSpy announced(rig.scheduler.get(), &Scheduler::channelStateChanged);
    QList<int> seen;
    const QDateTime end = at(to.toLatin1().constData());
    while (rig.clock.now() < end) {
        std::array<ChannelStateRecord, 9> before;
        for (int c = 1; c <= 8; ++c)
            before[std::size_t(c)] = rig.scheduler->channelState(c);
        announced.clear();
        rig.tickAt(rig.clock.now().addSecs(1));
        // Each channel that changed in the tick is announced once; one that
        // did not is not announced at all.
        for (int c = 1; c <= 8; ++c) {
            const bool changed
                = !sameChannel(before[std::size_t(c)], rig.scheduler->channelState(c));
            const auto times
                = std::count_if(announced.cbegin(), announced.cend(),
                                [c](const QList<QVariant> &a) { return a.at(0).toInt() == c; });
            QVERIFY2(times == (changed ? 1 : 0),
                     qPrintable(u"channel %1 at %2: %3 announcements"_s.arg(c)
                                    .arg(rig.clock.now().toString(u"HH:mm:ss"_s))
                                    .arg(times)));
            if (changed && !seen.contains(c))
                seen << c;
        }
    }
    std::sort(seen.begin(), seen.end());
    QCOMPARE(seen, channels);
    QCOMPARE(outputsAnnounced, outputs);
}

namespace {
// The scheduler's log lines, counted while a test wants them.
QStringList g_schedulerLines;
QtMessageHandler g_previousHandler = nullptr;
void countSchedulerLines(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (qstrcmp(context.category, "quellon.scheduler") == 0)
        g_schedulerLines << text;
    else
        g_previousHandler(type, context, text);
}
} // namespace

void tst_Scheduler::manyPastRowsArePassedOverAtOnce_data()
{
    QTest::addColumn<QList<int>>("cancelled"); // 1-based rows among the 5,000 past ones
    QTest::addColumn<bool>("due"); // a row is due at the first tick, after the past ones
    QTest::addColumn<int>("listChanges");
    QTest::addColumn<int>("panelChanges");
    QTest::addColumn<int>("currentIndex");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<QString>("panelTime"); // of the row the next-item panel shows
    QTest::newRow("5,000 past rows")
        << QList<int> {} << false << 1 << 1 << 5000
        << u"passed over 5000 rows from \"00:00:00\" to \"11:06:32\""_s << u"13:00:00"_s;
    // A cancelled row does not move the current row: the panel shows the
    // row after the last one passed over, the cancelled one, as it did when
    // rows were passed over one by one.
    QTest::newRow("some of them cancelled")
        << QList<int> {1, 2500, 5000} << false << 1 << 1 << 4999
        << u"passed over 4997 rows from \"00:00:08\" to \"11:06:24\""_s << u"11:06:32"_s;
    QTest::newRow("then one due") << QList<int> {} << true << 2 << 2 << 5001
                                  << u"passed over 5000 rows from \"00:00:00\" to \"11:06:32\""_s
                                  << u"13:00:00"_s;
}

void tst_Scheduler::manyPastRowsArePassedOverAtOnce()
{
    QFETCH(QList<int>, cancelled);
    QFETCH(bool, due);
    QFETCH(int, listChanges);
    QFETCH(int, panelChanges);
    QFETCH(int, currentIndex);
    QFETCH(QString, logLine);
    QFETCH(QString, panelTime);
    SchedulerRig rig(at("12:00:00"));
    DayTable rows;
    for (int i = 0; i < 5000; ++i) {
        const QByteArray time = QTime(0, 0).addSecs(8 * i).toString(u"HH:mm:ss"_s).toLatin1();
        rows.append(entry(time.constData(), 1 + i % 8, kSong, "00:00:05"));
    }
    if (due)
        rows.append(entry("12:00:00", 1, kSong, "00:00:05"));
    rows.append(entry("13:00:00", 1, kOther)); // still to come
    rig.setEveryDay(rows);
    rig.load();
    for (int r : cancelled)
        rig.today->cancelRow(r - 1);
    QSignalSpy list(&rig.model, &ProgrammeModel::dataChanged);
    QSignalSpy panel(rig.today.get(), &TodaySchedule::nextItemChanged);
    QLoggingCategory::setFilterRules(u"quellon.*=false\nquellon.scheduler.info=true"_s);
    g_schedulerLines.clear();
    g_previousHandler = qInstallMessageHandler(countSchedulerLines);
    rig.tickAt(QTime(12, 0, 0));
    qInstallMessageHandler(g_previousHandler);
    QLoggingCategory::setFilterRules(u"quellon.*=false"_s);
    QCOMPARE(list.size(), listChanges);
    QCOMPARE(panel.size(), panelChanges);
    QCOMPARE(rig.today->currentIndex(), currentIndex);
    QCOMPARE(g_schedulerLines.filter(u"passed over"_s), QStringList {logLine});
    for (int r = 1; r <= 5000; ++r) {
        const RowState expected = cancelled.contains(r) ? RowState::Cancelled : RowState::Done;
        if (rig.model.state(r - 1) != expected)
            QFAIL(qPrintable(u"row %1 is not marked as expected"_s.arg(r)));
    }
    QCOMPARE(rig.model.state(rig.model.count() - 1), RowState::Waiting);
    QCOMPARE(rig.played, due ? QStringList {kSong} : QStringList {});
    QVERIFY(rig.today->nextItem().contains(u"播放时间："_s + panelTime));
}

QTEST_GUILESS_MAIN(tst_Scheduler)
#include "tst_scheduler.moc"
