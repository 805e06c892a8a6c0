// The end of the day and the shutdown countdown on a clock the test moves.

#include "schedulerrig.h"
#include "support/gbkfiles.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QDate kDay(2026, 12, 7);
QDateTime at(const char *time, QDate day = kDay)
{
    return QDateTime(day, QTime::fromString(QString::fromLatin1(time), QStringLiteral("HH:mm:ss")));
}
const QString kSong = QStringLiteral("/srv/song/a.mp3");
} // namespace

class tst_EndOfDay : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void powerOnList_data();
    void powerOnList();
    void dayOverOnlyAfterTheLastAmplifiers();
    void powerOnTimeFollowsTheClosesOnTheWire();
    void allTerminalsCloseInSplitFrames_data();
    void allTerminalsCloseInSplitFrames();
    void emptyDayEndsAtTheFirstCheck_data();
    void emptyDayEndsAtTheFirstCheck();
    void countdown();
    void holdsWhileManualOrLeadOrOff_data();
    void holdsWhileManualOrLeadOrOff();

private:
    // Runs the scheduler every second and timercomm every fifth second.
    static void run(SchedulerRig &rig, const QDateTime &until);
};

void tst_EndOfDay::run(SchedulerRig &rig, const QDateTime &until)
{
    while (rig.clock.now() < until && rig.endOfDay->timercomm.isActive()) {
        rig.tickAt(rig.clock.now().addSecs(1));
        if (rig.clock.now().time().second() % 5 == 0)
            rig.endOfDay->timercomm_Timer();
    }
}

void tst_EndOfDay::powerOnList_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("list");
    QTest::newRow("07:30:00") << "07:30:00"
                              << "07.25.00.";
    QTest::newRow("no item") << ""
                             << "05.00.00.";
    QTest::newRow("before 00:05:00") << "00:03:00"
                                     << "00.02.00.";
}

void tst_EndOfDay::powerOnList()
{
    QFETCH(QString, first);
    QFETCH(QString, list);
    QCOMPARE(EndOfDay::powerOnList(first), list);
}

void tst_EndOfDay::dayOverOnlyAfterTheLastAmplifiers()
{
    SchedulerRig rig(at("16:59:58"));
    rig.set(&AppSettings::AutoShutdown, true);
    WeekTables week;
    week[0] = {entry("17:00:00", 1, kSong, "00:30:00", "1.", "2.", "3.")};
    week[1] = {entry("12:00:00", 1, kSong), entry("07:30:00", 1, kSong)};
    rig.setWeek(week);
    rig.load();
    rig.endOfDay->start();
    run(rig, at("17:40:00"));
    QVERIFY(!rig.endOfDay->timercomm.isActive());
    const QStringList closing
        = {u"ZoneClose 0 0 1.2.3.17."_s, u"DeviceClose 0 0 1.2.3.4.5.6.7.8."_s,
           u"AmpClose 0 0 1.2.3.4.5.6.7.8."_s, u"PowerOnTimeSet 0 0 7.25.0."_s};
    QCOMPARE(rig.framesAt(QStringLiteral("17:31:00")),
             QStringList {QStringLiteral("AmpClose 0 0 2.")} + closing);
    QVERIFY(!rig.frames.last().lineHandling); // the power-on time is written, not sent with RTS
    // The rig's link is down: the day ends all the same and the status says
    // the controller was not told.
    QCOMPARE(rig.status(), QStringLiteral("外设状态：关闭命令未能发送到分区控制器"));
    // Tomorrow's list is loaded; the system clock was never touched.
    QCOMPARE(rig.model.count(), 2);
    QCOMPARE(rig.today->FirstItemTime(), QStringLiteral("07:30:00"));
    QVERIFY(rig.power.clockSettings.isEmpty());
    QVERIFY(rig.endOfDay->Timershutdown.isActive());
}

void tst_EndOfDay::powerOnTimeFollowsTheClosesOnTheWire()
{
    SchedulerRig rig(at("18:00:00"));
    rig.openLink();
    rig.set(&AppSettings::AutoShutdown, true);
    rig.setEveryDay({entry("07:30:00", 1, kSong)});
    rig.load();
    rig.endOfDay->timercomm_Timer();
    QVERIFY(!rig.endOfDay->timercomm.isActive());
    // Nothing follows until the three closes are out.
    QCOMPARE(rig.frames.size(), 3);
    QVERIFY(!rig.endOfDay->Timershutdown.isActive());
    QVERIFY(QTest::qWaitFor([&rig] { return rig.endOfDay->Timershutdown.isActive(); }, 10000));
    QCOMPARE(rig.status(), QStringLiteral("外设状态：功放和分区控制已关闭"));
    QCOMPARE(rig.framesText(3), QStringList {u"PowerOnTimeSet 0 0 7.25.0."_s});
    QVERIFY(QTest::qWaitFor([&rig] { return rig.port.writes().size() == 4; }, 5000));
}

void tst_EndOfDay::allTerminalsCloseInSplitFrames_data()
{
    QTest::addColumn<int>("refused"); // the write the port refuses; -1: none
    QTest::addColumn<int>("writes"); // frames on the wire when the countdown starts
    QTest::addColumn<QString>("status");
    QTest::newRow("all out") << -1 << 4 << u"外设状态：功放和分区控制已关闭"_s;
    QTest::newRow("the second frame of the terminals refused")
        << 1 << 3 << u"外设状态：关闭命令未能发送到分区控制器"_s;
}

void tst_EndOfDay::allTerminalsCloseInSplitFrames()
{
    QFETCH(int, refused);
    QFETCH(int, writes);
    QFETCH(QString, status);
    SchedulerRig rig(at("18:00:00"));
    rig.openLink();
    for (int i = 0; i < 4; ++i)
        rig.port.writeLimits << (i == refused ? -1 : 100000);
    QString all;
    for (int a = 0; a < 256; ++a)
        all += QString::number(a) + u'.';
    rig.set(&AppSettings::AllNodeList, all);
    rig.set(&AppSettings::AutoShutdown, true);
    rig.setEveryDay({entry("07:30:00", 1, kSong)});
    rig.load();
    rig.endOfDay->timercomm_Timer();
    // Every terminal, 255 to a frame and in list order, then the rest.
    QCOMPARE(rig.frames.size(), 4);
    QCOMPARE(rig.frames.at(0).list + rig.frames.at(1).list, all);
    QCOMPARE(rig.frames.at(0).list.count(u'.'), 255);
    QCOMPARE(
        rig.framesText(1).mid(1),
        (QStringList {u"DeviceClose 0 0 1.2.3.4.5.6.7.8."_s, u"AmpClose 0 0 1.2.3.4.5.6.7.8."_s}));
    // Tomorrow is prepared only once the last close is through.
    qsizetype writesAtCountdown = -1;
    QObject::connect(&rig.state, &ConsoleState::equipmentStatusChanged, &rig.state, [&] {
        if (writesAtCountdown < 0)
            writesAtCountdown = rig.port.writes().size();
    });
    QVERIFY(QTest::qWaitFor([&rig] { return rig.endOfDay->Timershutdown.isActive(); }, 20000));
    QCOMPARE(writesAtCountdown, writes);
    QCOMPARE(rig.status(), status);
    QCOMPARE(rig.framesText(4), QStringList {u"PowerOnTimeSet 0 0 7.25.0."_s});
}

void tst_EndOfDay::emptyDayEndsAtTheFirstCheck_data()
{
    QTest::addColumn<bool>("setPowerOn");
    QTest::addColumn<QStringList>("frames");
    const QStringList closes = {u"ZoneClose 0 0 1.2.3.17."_s, u"DeviceClose 0 0 1.2.3.4.5.6.7.8."_s,
                                u"AmpClose 0 0 1.2.3.4.5.6.7.8."_s};
    QTest::newRow("power-on time sent")
        << true << closes + QStringList {u"PowerOnTimeSet 0 0 5.0.0."_s};
    QTest::newRow("power-on time off") << false << closes;
}

void tst_EndOfDay::emptyDayEndsAtTheFirstCheck()
{
    QFETCH(bool, setPowerOn);
    QFETCH(QStringList, frames);
    SchedulerRig rig(at("09:00:00"));
    rig.set(&AppSettings::AutoShutdown, true);
    rig.set(&AppSettings::AutoSetPowerOnTime, setPowerOn);
    rig.setEveryDay({});
    rig.load();
    rig.endOfDay->timercomm_Timer();
    QCOMPARE(rig.framesText(), frames);
    QVERIFY(rig.endOfDay->Timershutdown.isActive());
}

void tst_EndOfDay::countdown()
{
    SchedulerRig rig(at("20:00:00"));
    rig.set(&AppSettings::AutoShutdown, true);
    rig.setEveryDay({});
    rig.load();
    rig.endOfDay->timercomm_Timer();
    const qsizetype before = rig.frames.size();
    QStringList events;
    for (int i = 1; i <= 40; ++i) {
        rig.clock.advanceSeconds(2);
        const qsizetype framesBefore = rig.frames.size();
        const int offs = rig.power.powerOffs;
        rig.endOfDay->Timershutdown_Timer();
        for (qsizetype f = framesBefore; f < rig.frames.size(); ++f)
            events << QStringLiteral("%1 s %2").arg(2 * i).arg(rig.frames.at(f).text());
        if (rig.power.powerOffs > offs)
            events << QStringLiteral("%1 s power off").arg(2 * i);
    }
    QCOMPARE(events,
             (QStringList {u"60 s ShutdownNotice 0 0 "_s, u"70 s ClockSet 0 0 20.1.10."_s,
                           u"80 s power off"_s}));
    QCOMPARE(rig.frames.size(), before + 2);
    QCOMPARE(rig.status(), QStringLiteral("外设状态：即将关闭计算机"));
    QVERIFY(rig.ended);
    QVERIFY(!rig.endOfDay->Timershutdown.isActive());
    QCOMPARE(GbkFiles::readText(rig.dir.filePath(QStringLiteral("log.txt"))),
             QStringLiteral("2026-12-07 20:01:20,系统正常关机!\r\n"));
}

void tst_EndOfDay::holdsWhileManualOrLeadOrOff_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<bool>("over");
    QTest::newRow("manual mode") << "manual" << false;
    QTest::newRow("automatic shutdown off") << "off" << false;
    QTest::newRow("a cancelled row's lead does not hold the day") << "cancelled lead" << true;
}

void tst_EndOfDay::holdsWhileManualOrLeadOrOff()
{
    QFETCH(QString, condition);
    QFETCH(bool, over);
    SchedulerRig rig(at("21:59:50"));
    rig.set(&AppSettings::AutoShutdown, condition != u"off");
    rig.state.setManualMode(condition == u"manual");
    rig.set(&AppSettings::AmpOpenLead, QStringLiteral("00:00:30"));
    rig.setEveryDay({entry("22:00:10", 1, kSong, "00:01:00", "1.", "4.")});
    rig.load();
    if (condition == u"cancelled lead") {
        rig.tickAt(at("21:59:50")); // its amplifiers go on ahead
        QVERIFY(rig.scheduler->AmpLeadSent());
        rig.today->cancelRow(0);
        rig.tickAt(at("21:59:51"));
        QVERIFY(!rig.scheduler->AmpLeadSent());
        QCOMPARE(rig.framesAt(QStringLiteral("21:59:51")),
                 QStringList {QStringLiteral("AmpClose 0 0 4.")});
    }
    const qsizetype before = rig.frames.size();
    rig.clock.set(at("23:00:00")); // past the last item
    rig.endOfDay->timercomm_Timer();
    QCOMPARE(rig.framesText(before).filter(QStringLiteral("ZoneClose 0 0 1.2.3.17.")).size(),
             over ? 1 : 0);
    QCOMPARE(rig.endOfDay->Timershutdown.isActive(), over);
}

QTEST_GUILESS_MAIN(tst_EndOfDay)
#include "tst_endofday.moc"
