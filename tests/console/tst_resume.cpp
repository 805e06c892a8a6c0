// The console started, or started again after a crash, while an item's play
// length still runs: the first scan takes the item up again, its equipment
// switched on as at its start and its file played from where it would stand
// by now; an item whose play length ran out meanwhile is passed over and
// never played late. Later scans pass over as always.

#include "consolerig.h"
#include "platform/asrunlog.h"
#include "platform/secondticker.h"
#include "schedulerrig.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QDate kDay(2026, 12, 7); // a Monday
QDateTime at(const char *time)
{
    return QDateTime(kDay, QTime::fromString(QString::fromLatin1(time), u"HH:mm:ss"_s));
}
const QString kPeripheral = u"外设控制"_s;

// The six frames that start an item on channel 1 (88.0 MHz) of the rig's
// entry() defaults: zones 1.2., amplifier 1., no device.
const QStringList kStartFrames {u"ZoneClose 0 0 "_s,   u"ZoneOpen 8 80 1.2."_s,
                                u"DeviceClose 0 0 "_s, u"DeviceOpen 0 0 "_s,
                                u"AmpClose 0 0 "_s,    u"AmpOpen 0 0 1."_s};

QStringList linesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

void touch(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
}
} // namespace

class tst_Resume : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void firstScan_data();
    void firstScan();
    void onlyTheFirstScanResumes_data();
    void onlyTheFirstScanResumes();
    void laterRowTakesThePlayer();
    void consoleLogsAndTellsTheOperator_data();
    void consoleLogsAndTellsTheOperator();
    void manualModeAtTheFirstTick_data();
    void manualModeAtTheFirstTick();
};

void tst_Resume::firstScan_data()
{
    QTest::addColumn<QString>("file"); // "song", "missing" or the peripheral marker
    QTest::addColumn<QString>("firstTick"); // of an item at 08:00:00 playing 10 minutes
    QTest::addColumn<QString>("outcome"); // "resumed", "started", "missed", "waits"
    QTest::addColumn<int>("fromMs"); // where its file starts, when it plays
    QTest::newRow("running: resumed at its offset")
        << u"song"_s << u"08:04:30"_s << u"resumed"_s << 270000;
    QTest::newRow("the last second of its play length")
        << u"song"_s << u"08:09:59"_s << u"resumed"_s << 599000;
    QTest::newRow("its play length just ran out: missed")
        << u"song"_s << u"08:10:00"_s << u"missed"_s << -1;
    QTest::newRow("long over: missed") << u"song"_s << u"11:00:00"_s << u"missed"_s << -1;
    QTest::newRow("not started yet: waits") << u"song"_s << u"07:59:59"_s << u"waits"_s << -1;
    QTest::newRow("at its start second: an ordinary start")
        << u"song"_s << u"08:00:00"_s << u"started"_s << 0;
    QTest::newRow("within its start window: an ordinary start")
        << u"song"_s << u"08:00:03"_s << u"started"_s << 0;
    QTest::newRow("the last second of its start window: an ordinary start")
        << u"song"_s << u"08:00:05"_s << u"started"_s << 0;
    QTest::newRow("the first second after its start window: resumed")
        << u"song"_s << u"08:00:06"_s << u"resumed"_s << 6000;
    QTest::newRow("its file is missing: missed")
        << u"missing"_s << u"08:04:30"_s << u"missed"_s << -1;
    QTest::newRow("equipment only: switched on again, nothing plays")
        << kPeripheral << u"08:04:30"_s << u"resumed"_s << -1;
}

void tst_Resume::firstScan()
{
    QFETCH(QString, file);
    QFETCH(QString, firstTick);
    QFETCH(QString, outcome);
    QFETCH(int, fromMs);
    const QDateTime first(kDay, QTime::fromString(firstTick, u"HH:mm:ss"_s));
    SchedulerRig rig(first);
    rig.set(&AppSettings::AmpOpenLead, u"00:00:00"_s);
    QString path = file;
    if (file == u"song") {
        path = rig.dir.filePath(u"上课铃.wav"_s);
        touch(path);
    } else if (file == u"missing") {
        path = rig.dir.filePath(u"不在了.wav"_s);
    }
    rig.setEveryDay({entry("08:00:00", 1, path, "00:10:00", "1.2.", "1.", "",
                           kPeripheral == file ? kPeripheral : u"上课"_s),
                     entry("13:00:00", 1, path)});
    rig.load();
    QSignalSpy resumed(rig.scheduler.get(), &Scheduler::itemResumed);
    QSignalSpy notResumed(rig.scheduler.get(), &Scheduler::itemNotResumed);
    QSignalSpy passed(rig.scheduler.get(), &Scheduler::rowsPassedOver);
    rig.scheduler->resumeRunningItems();
    rig.tickAt(first);

    const bool switchedOn = outcome == u"resumed" || outcome == u"started";
    QCOMPARE(rig.framesText(), switchedOn ? kStartFrames : QStringList());
    QCOMPARE(rig.model.state(0), outcome == u"waits" ? RowState::Waiting : RowState::Done);
    QCOMPARE(rig.model.state(1), RowState::Waiting);
    QCOMPARE(rig.today->currentIndex(), outcome == u"waits" ? 0 : 1);
    QCOMPARE(resumed.size(), outcome == u"resumed" ? 1 : 0);
    if (outcome == u"resumed") {
        QCOMPARE(resumed.first().at(0).toString(), u"08:00:00"_s);
        QCOMPARE(resumed.first().at(1).toString(), path);
        QCOMPARE(resumed.first().at(2).toInt(), int(at("08:00:00").secsTo(first)));
    }
    // A row whose file is gone is passed over with the reason, and counted
    // once: not also among the rows whose start window went by.
    QCOMPARE(notResumed.size(), file == u"missing" ? 1 : 0);
    if (file == u"missing")
        QCOMPARE(notResumed.first().at(2).toString(), u"文件不存在"_s);
    QCOMPARE(passed.size(), outcome == u"missed" && file != u"missing" ? 1 : 0);

    QStringList loads = rig.player.calls.filter(u"load "_s);
    if (fromMs < 0) {
        QVERIFY2(loads.isEmpty(), qPrintable(loads.join(u'|')));
    } else if (fromMs == 0) {
        QCOMPARE(loads, QStringList {u"load "_s + path});
    } else {
        QCOMPARE(loads, QStringList {u"load %1 from %2 ms"_s.arg(path).arg(fromMs)});
        QCOMPARE(rig.player.position, fromMs / 1000.0);
    }
    if (switchedOn) {
        const ChannelStateRecord &ch = rig.scheduler->channelState(1);
        QVERIFY(ch.ZonesOn && ch.AmpsOn && ch.RepeatOpen);
        // It ends when it would have ended had the console run all along.
        QCOMPARE(ch.StartMoment, at("08:00:00"));
        QCOMPARE(ch.PlayLength, u"00:10:00"_s);
    }
    if (outcome == u"waits") {
        // Its own start, when it comes, is an ordinary one from the beginning.
        rig.tickAt(at("08:00:00"));
        QCOMPARE(rig.framesText(), kStartFrames);
        QCOMPARE(rig.player.calls.filter(u"load "_s), QStringList {u"load "_s + path});
        QVERIFY(resumed.isEmpty());
    }
}

void tst_Resume::onlyTheFirstScanResumes_data()
{
    QTest::addColumn<bool>("armed"); // the console started up
    QTest::addColumn<QString>("firstTick");
    QTest::addColumn<bool>("resumed"); // at the tick of 08:04:30
    QTest::newRow("started up, first tick while it runs") << true << u"08:04:30"_s << true;
    QTest::newRow("started up, first tick before it; the clock then jumps")
        << true << u"07:00:00"_s << false;
    QTest::newRow("not started up: passed over as always") << false << u"08:04:30"_s << false;
}

void tst_Resume::onlyTheFirstScanResumes()
{
    QFETCH(bool, armed);
    QFETCH(QString, firstTick);
    QFETCH(bool, resumed);
    SchedulerRig rig(at("06:00:00"));
    rig.set(&AppSettings::AmpOpenLead, u"00:00:00"_s);
    const QString path = rig.dir.filePath(u"a.wav"_s);
    touch(path);
    rig.setEveryDay({entry("08:00:00", 1, path, "00:10:00")});
    rig.load();
    if (armed)
        rig.scheduler->resumeRunningItems();
    rig.tickAt(QTime::fromString(firstTick, u"HH:mm:ss"_s));
    rig.tickAt(at("08:04:30"));
    QCOMPARE(rig.model.state(0), RowState::Done);
    QCOMPARE(rig.framesText(), resumed ? kStartFrames : QStringList());
    QCOMPARE(rig.player.calls.filter(u"load "_s).size(), resumed ? 1 : 0);
}

void tst_Resume::laterRowTakesThePlayer()
{
    // Two items running at once on two channels: both are switched on again,
    // in list order, and the later one's file has the player, as it had
    // before the console stopped. The one before them is long over.
    SchedulerRig rig(at("08:20:00"));
    rig.set(&AppSettings::AmpOpenLead, u"00:00:00"_s);
    const QString a = rig.dir.filePath(u"a.wav"_s);
    const QString b = rig.dir.filePath(u"b.wav"_s);
    touch(a);
    touch(b);
    rig.setEveryDay({entry("07:00:00", 1, a, "00:05:00"), entry("08:00:00", 1, a, "01:00:00"),
                     entry("08:15:00", 2, b, "00:10:00", "3.", "2.")});
    rig.load();
    QSignalSpy passed(rig.scheduler.get(), &Scheduler::rowsPassedOver);
    rig.scheduler->resumeRunningItems();
    rig.tickAt(at("08:20:00"));
    QCOMPARE(passed.size(), 1);
    QCOMPARE(passed.first().at(1).toString(), u"07:00:00"_s);
    QCOMPARE(rig.framesText().filter(u"ZoneOpen"_s),
             (QStringList {u"ZoneOpen 8 80 1.2."_s, u"ZoneOpen 8 90 3."_s}));
    QCOMPARE(
        rig.player.calls.filter(u"load "_s),
        (QStringList {u"load %1 from 1200000 ms"_s.arg(a), u"load %1 from 300000 ms"_s.arg(b)}));
    QCOMPARE(rig.today->currentIndex(), 3);
    // The first item's channel no longer owns the player: its end does not stop b.
    QCOMPARE(rig.scheduler->channelState(1).Detail, kPeripheral);
}

void tst_Resume::consoleLogsAndTellsTheOperator_data()
{
    QTest::addColumn<bool>("fileThere");
    QTest::addColumn<QStringList>("earlier"); // today's as-run lines before the restart
    // Seconds the clock moves on after the first scan, while the frames that
    // switch the item on go out.
    QTest::addColumn<int>("framesTakeS");
    QTest::addColumn<QString>("logged"); // the as-run line, with its time; empty: none
    QTest::addColumn<int>("fromMs"); // where the file starts; -1: it does not play
    QTest::addColumn<QString>("notice"); // empty: none
    const QString resumed = u"08:00:12,恢复播放,%1（08:00:00 开始），从第 12 秒处继续"_s;
    const QString cancelled = u"2026-12-07 07:50:00,取消,操作员取消：08:00:00 课间操.wav"_s;
    const QString restored = u"2026-12-07 07:55:00,恢复,操作员恢复：08:00:00 课间操.wav"_s;
    QTest::newRow("resumed") << true << QStringList() << 0 << resumed << 12000
                             << u"已恢复播放：课间操.wav"_s;
    QTest::newRow("resumed, its frames take three seconds")
        << true << QStringList() << 3
        << u"08:00:15,恢复播放,%1（08:00:00 开始），从第 15 秒处继续"_s << 15000
        << u"已恢复播放：课间操.wav"_s;
    QTest::newRow("its file is gone")
        << false << QStringList() << 0
        << u"08:00:12,错过,%1（08:00:00 开始）未恢复播放：文件不存在"_s << -1 << QString();
    // The operator's cancel outlives the restart: the rooms stay closed.
    QTest::newRow("cancelled before the restart")
        << true << QStringList {cancelled} << 0 << QString() << -1 << QString();
    QTest::newRow("cancelled, then restored") << true << QStringList {cancelled, restored} << 0
                                              << resumed << 12000 << u"已恢复播放：课间操.wav"_s;
    QTest::newRow("another row cancelled")
        << true << QStringList {u"2026-12-07 07:50:00,取消,操作员取消：09:00:00 课间操.wav"_s} << 0
        << resumed << 12000 << u"已恢复播放：课间操.wav"_s;
}

void tst_Resume::consoleLogsAndTellsTheOperator()
{
    QFETCH(bool, fileThere);
    QFETCH(QStringList, earlier);
    QFETCH(int, framesTakeS);
    QFETCH(QString, logged);
    QFETCH(int, fromMs);
    QFETCH(QString, notice);
    ConsoleRig rig;
    const QString song = rig.file(u"课间操.wav"_s);
    if (fileThere)
        touch(song);
    if (!earlier.isEmpty()) {
        QVERIFY(QDir(rig.dir.path()).mkpath(u"log"_s));
        QFile day(rig.file(u"log/20261207.csv"_s));
        QVERIFY(day.open(QIODevice::WriteOnly));
        day.write((u"时间,类别,内容\n"_s + earlier.join(u'\n') + u'\n').toUtf8());
    }
    rig.writeWeek(ConsoleRig::line(u"08:00:00"_s, u"课间操"_s, song));
    rig.clock.set(at("08:00:12"));
    Console &c = rig.start();
    c.timerplayer_Timer();
    rig.clock.advanceSeconds(framesTakeS);
    // The file plays once the start's frames are out on the port, from where
    // the item stands by then.
    if (fromMs >= 0)
        QTRY_COMPARE(rig.player.calls.filter(u"load "_s),
                     QStringList {u"load %1 from %2 ms"_s.arg(song).arg(fromMs)});
    QTest::qWait(50);
    QCOMPARE(rig.player.calls.filter(u"load "_s).size(), fromMs >= 0 ? 1 : 0);
    // The log says where it really went on, and when.
    const QStringList lines = linesOf(c.asRunLog().fileFor(kDay));
    if (logged.isEmpty())
        QVERIFY2(lines.filter(u",恢复播放,"_s).isEmpty(), qPrintable(lines.join(u'\n')));
    else
        QVERIFY2(lines.contains(u"2026-12-07 "_s + logged.arg(song)),
                 qPrintable(lines.join(u'\n')));
    QCOMPARE(lines.filter(u",恢复播放,"_s).size(), fromMs >= 0 ? 1 : 0);
    // The missed line is the one with the reason, not a second one.
    QCOMPARE(lines.filter(u",错过,"_s).size(), fileThere ? 0 : 1);
    QStringList notices;
    for (const FakeDialogs::Shown &shown : rig.dialogs.shown) {
        // A notice over the main window that does not wait for the operator.
        QVERIFY(!shown.waited);
        QVERIFY(shown.context.isNull());
        notices << shown.text;
    }
    QCOMPARE(notices, notice.isEmpty() ? QStringList() : QStringList {notice});
    if (fromMs < 0) {
        // Nothing switched on: no terminal was opened.
        for (const QByteArray &frame : rig.port.writes())
            QVERIFY(frame.size() < 3 || quint8(frame.at(2)) != CommandCode::ZoneOpen);
    }
    // Another tick does not take it up again.
    rig.clock.advanceSeconds(1);
    c.timerplayer_Timer();
    QCOMPARE(rig.player.calls.filter(u"load "_s).size(), fromMs >= 0 ? 1 : 0);
}

void tst_Resume::manualModeAtTheFirstTick_data()
{
    // The console starts at 08:00:12 while an item of 08:00:00 runs (it plays
    // 30 s, as does the one of 13:00:00); manual mode is on at its first tick
    // or not, and the next automatic tick comes at back.
    QTest::addColumn<bool>("manualFirst");
    QTest::addColumn<QString>("back");
    QTest::addColumn<bool>("resumed");
    QTest::newRow("automatic at the first tick: taken up") << false << u"08:00:12"_s << true;
    QTest::newRow("manual for one second: passed over") << true << u"08:00:13"_s << false;
    QTest::newRow("manual until the next item runs: passed over") << true << u"13:00:20"_s << false;
}

void tst_Resume::manualModeAtTheFirstTick()
{
    QFETCH(bool, manualFirst);
    QFETCH(QString, back);
    QFETCH(bool, resumed);
    ConsoleRig rig;
    const QString song = rig.file(u"课间操.wav"_s);
    touch(song);
    rig.writeWeek(ConsoleRig::line(u"08:00:00"_s, u"课间操"_s, song)
                  + ConsoleRig::line(u"13:00:00"_s, u"午休"_s, song));
    rig.clock.set(at("08:00:12"));
    Console &c = rig.start();
    // Ticks come only as the test gives them.
    c.secondTicker().stop();
    QSignalSpy queued(&c.link(), &ZoneLink::frameQueued);
    QSignalSpy resumedSpy(&c.scheduler(), &Scheduler::itemResumed);
    if (manualFirst) {
        c.setManualMode();
        c.timerplayer_Timer();
        QVERIFY(queued.isEmpty());
        c.setAutomaticMode();
    }
    const QTime backAt = QTime::fromString(back, u"HH:mm:ss"_s);
    rig.clock.set(QDateTime(kDay, backAt));
    c.timerplayer_Timer();
    // Taken up, its start frames go out; passed over, nothing does.
    QCOMPARE(queued.size(), resumed ? qsizetype(kStartFrames.size()) : qsizetype(0));
    QCOMPARE(c.programme().state(0), RowState::Done);
    QCOMPARE(c.programme().state(1), backAt >= QTime(13, 0) ? RowState::Done : RowState::Waiting);
    if (resumed)
        QTRY_COMPARE(rig.player.calls.filter(u"load "_s).size(), 1);
    QTest::qWait(50);
    QCOMPARE(rig.player.calls.filter(u"load "_s).size(), resumed ? 1 : 0);
    QCOMPARE(resumedSpy.size(), resumed ? 1 : 0);
}

QTEST_MAIN(tst_Resume)
#include "tst_resume.moc"
