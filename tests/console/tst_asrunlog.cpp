// The as-run log: one UTF-8 CSV a day with a header, a whole line per event
// even for awkward text, old days removed, and the console's own events
// written as they happen: frames as they leave or are dropped, the operator's
// rows and window commands, items played, skipped and ended, settings.

#include "console/asrunevents.h"
#include "console/programmemodel.h"
#include "console/todayschedule.h"
#include "consolerig.h"
#include "platform/asrunlog.h"
#include "platform/secondticker.h"
#include "support/fakeclock.h"
#include "zonelink/frames.h"
#include "zonelink/manualcontrol.h"
#include "zonelink/matrixroutes.h"
#include "zonelink/statuspoll.h"
#include "zonelink/zonelink.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QStringList linesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

// The lines of today's file after the time, from line from on: ",类别,内容".
QStringList eventsOf(Console &c, const Clock &clock, qsizetype from = 0)
{
    QStringList events;
    const QStringList lines = linesOf(c.asRunLog().fileFor(clock.now().date()));
    for (qsizetype i = std::max<qsizetype>(from, 1); i < lines.size(); ++i)
        events << lines.at(i).mid(19);
    return events;
}

qsizetype lineCount(Console &c, const Clock &clock)
{
    return linesOf(c.asRunLog().fileFor(clock.now().date())).size();
}

QString bytesOf(const QByteArray &frame)
{
    return QString::fromLatin1(frame.toHex(' ').toUpper());
}
} // namespace

class tst_AsRunLog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fields_data();
    void fields();
    void daysAndKeeping_data();
    void daysAndKeeping();
    void announcesEachLineWritten();
    void fileTakenAwayWhileOpen_data();
    void fileTakenAwayWhileOpen();
    void consoleEvents();
    void frameFates_data();
    void frameFates();
    void operatorRows_data();
    void operatorRows();
    void missedOnce_data();
    void missedOnce();
    void itemPlaysAndEnds_data();
    void itemPlaysAndEnds();
    void windowCommands_data();
    void windowCommands();
    void settingsAndDaysKept_data();
    void settingsAndDaysKept();
};

void tst_AsRunLog::fields_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line"); // as written after the time
    QTest::newRow("plain") << u"bell.wav"_s << u",播放,bell.wav"_s;
    QTest::newRow("comma") << u"a,b"_s << u",播放,\"a,b\""_s;
    QTest::newRow("quote") << u"say \"hi\""_s << u",播放,\"say \"\"hi\"\"\""_s;
    // A line break would split one event over two lines of the file.
    QTest::newRow("line breaks") << u"a\r\nb\nc\rd"_s << u",播放,a b c d"_s;
}

void tst_AsRunLog::fields()
{
    QFETCH(QString, text);
    QFETCH(QString, line);
    QTemporaryDir dir;
    FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(7, 30, 5)));
    AsRunLog log(AppFolder(dir.path()), clock);
    QVERIFY(log.record(u"播放"_s, text));
    QCOMPARE(linesOf(dir.filePath(u"log/20261207.csv"_s)),
             (QStringList {AsRunLog::header(), u"2026-12-07 07:30:05"_s + line}));
}

void tst_AsRunLog::daysAndKeeping_data()
{
    QTest::addColumn<int>("keep");
    QTest::addColumn<QStringList>("left"); // day files left after a line on 12-07
    const QStringList all {u"20260909.csv"_s, u"20261106.csv"_s, u"20261107.csv"_s,
                           u"20261206.csv"_s, u"20261207.csv"_s};
    // Kept: today and the days before it, as many as set in all.
    QTest::newRow("90 days") << 90 << all;
    QTest::newRow("31 days: 11-07 is the oldest kept") << 31 << all.mid(2);
    QTest::newRow("30 days") << 30 << all.mid(3);
    QTest::newRow("1 day: today only") << 1 << QStringList {u"20261207.csv"_s};
    QTest::newRow("0 counts as 1") << 0 << QStringList {u"20261207.csv"_s};
}

void tst_AsRunLog::daysAndKeeping()
{
    QFETCH(int, keep);
    QFETCH(QStringList, left);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(u"log"_s));
    for (const QString &name :
         {u"20260909.csv"_s, u"20261106.csv"_s, u"20261107.csv"_s, u"20261206.csv"_s}) {
        QFile f(dir.filePath(u"log/"_s + name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    // Not a day file of the console's: never removed.
    QFile mine(dir.filePath(u"log/export.csv"_s));
    QVERIFY(mine.open(QIODevice::WriteOnly));
    mine.close();
    FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59)));
    AsRunLog log(AppFolder(dir.path()), clock, keep);
    QVERIFY(log.record(u"启动"_s, u"控制台启动"_s));
    QStringList files = QDir(dir.filePath(u"log"_s)).entryList({u"2*.csv"_s}, QDir::Files);
    QCOMPARE(files, left);
    QVERIFY(QFile::exists(dir.filePath(u"log/export.csv"_s)));
    // Past midnight the next line starts the next day's file, with its header.
    clock.advanceSeconds(1);
    QVERIFY(log.record(u"播放"_s, u"bell.wav"_s));
    QCOMPARE(linesOf(log.fileFor(QDate(2026, 12, 8))),
             (QStringList {AsRunLog::header(), u"2026-12-08 00:00:00,播放,bell.wav"_s}));
    // Yesterday's file stays, unless only today is kept.
    QCOMPARE(linesOf(log.fileFor(QDate(2026, 12, 7))).size(), keep > 1 ? 2 : 0);
}

void tst_AsRunLog::announcesEachLineWritten()
{
    QTemporaryDir dir;
    FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(7, 30, 5)));
    AsRunLog log(AppFolder(dir.path()), clock);
    QSignalSpy recorded(&log, &AsRunLog::recorded);
    QVERIFY(log.record(u"播放"_s, u"a,\nb"_s));
    QCOMPARE(recorded.count(), 1);
    QCOMPARE(recorded.at(0).at(0).toDateTime(), clock.now());
    QCOMPARE(recorded.at(0).at(1).toString(), u"播放"_s);
    QCOMPARE(recorded.at(0).at(2).toString(), u"a,\nb"_s);
    // The line is in the file by the time listeners hear of it.
    int linesWhenHeard = 0;
    connect(&log, &AsRunLog::recorded, this,
            [&] { linesWhenHeard = int(linesOf(log.fileFor(clock.now().date())).size()); });
    QVERIFY(log.record(u"结束"_s, u"程序结束"_s));
    QCOMPARE(linesWhenHeard, 3);
    // A line that could not be written is not announced: the log folder's
    // place is taken by a file, the new day's file cannot be made.
    QVERIFY(QDir(dir.filePath(u"log"_s)).removeRecursively());
    QFile blocker(dir.filePath(u"log"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    clock.advanceSeconds(24 * 3600);
    QVERIFY(!log.record(u"播放"_s, u"lost"_s));
    QCOMPARE(recorded.count(), 2);
}

void tst_AsRunLog::fileTakenAwayWhileOpen_data()
{
    QTest::addColumn<bool>("replaced"); // another file put in its place, or none
    QTest::newRow("removed") << false;
    QTest::newRow("replaced") << true;
}

void tst_AsRunLog::fileTakenAwayWhileOpen()
{
    QFETCH(bool, replaced);
    QTemporaryDir dir;
    FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(7, 30, 5)));
    AsRunLog log(AppFolder(dir.path()), clock);
    QVERIFY(log.record(u"启动"_s, u"控制台启动"_s));
    const QString today = log.fileFor(clock.now().date());
    QVERIFY(QFile::remove(today));
    QStringList expected {AsRunLog::header()};
    if (replaced) {
        // As a restore puts a day back: written beside it, renamed over it.
        const QString other = dir.filePath(u"log/restored.tmp"_s);
        QFile f(other);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write((AsRunLog::header() + u"\n2026-12-07 06:00:00,启动,控制台启动\n"_s).toUtf8());
        f.close();
        QVERIFY(QFile::rename(other, today));
        expected << u"2026-12-07 06:00:00,启动,控制台启动"_s;
    }
    clock.advanceSeconds(1);
    QVERIFY(log.record(u"播放"_s, u"bell.wav"_s));
    expected << u"2026-12-07 07:30:06,播放,bell.wav"_s;
    QCOMPARE(linesOf(today), expected);
}

void tst_AsRunLog::consoleEvents()
{
    ConsoleRig rig;
    Console &c = rig.start();
    const QString today = c.asRunLog().fileFor(rig.clock.now().date());
    QStringList lines = linesOf(today);
    QVERIFY2(lines.size() >= 2, qPrintable(lines.join(u'\n')));
    QCOMPARE(lines.at(0), AsRunLog::header());
    QVERIFY(lines.at(1).endsWith(u",启动,控制台启动"_s));
    // A frame is logged decoded, with its bytes, once it leaves for the wire.
    const QByteArray frame = *BuildFrame(0x14, 5, 0, u"1.2."_s);
    c.link().SendFrame(frame);
    const QString sent = u",发送,代码 0x14 参数 5 0 值 1 2 | "_s + bytesOf(frame);
    QVERIFY(!linesOf(today).last().contains(sent)); // still queued: request-to-send leads
    QTRY_VERIFY(linesOf(today).last().contains(sent));
    QVERIFY(rig.port.writes().contains(frame));
    Q_EMIT c.link().linkLost();
    QVERIFY(linesOf(today).last().endsWith(u",线路,与分区控制器的连接中断"_s));
    // Started late: the items whose start went by are logged as missed, as
    // one line, never played late.
    rig.clock.set(QDateTime(rig.clock.now().date(), QTime(9, 0, 0)));
    c.timerplayer_Timer();
    lines = linesOf(today);
    QVERIFY2(lines.contains(
                 u"2026-12-07 09:00:00,错过,2 项的开始时间已过，未播放：07:30:00 至 08:00:00"_s),
             qPrintable(lines.join(u'\n')));
}

void tst_AsRunLog::frameFates_data()
{
    QTest::addColumn<QString>("fate");
    QTest::addColumn<QStringList>("events"); // what the log says of the two frames
    const QByteArray a = *BuildFrame(0x14, 5, 0, u"1.2."_s);
    const QByteArray b = *BuildFrame(0x18, 0, 0, u"3."_s);
    const QString sentA = u",发送,代码 0x14 参数 5 0 值 1 2 | "_s + bytesOf(a);
    const QString sentB = u",发送,代码 0x18 参数 0 0 值 3 | "_s + bytesOf(b);
    const auto dropped
        = [](const QString &why, const QByteArray &frame, const QString &decoded) -> QString {
        return u",丢弃,"_s + why + u"："_s + decoded + u" | "_s + bytesOf(frame);
    };
    const QString decodedA = u"代码 0x14 参数 5 0 值 1 2"_s;
    const QString decodedB = u"代码 0x18 参数 0 0 值 3"_s;
    QTest::newRow("both go out") << u"sent"_s << QStringList {sentA, sentB};
    // The first is written short; the second still goes out after it.
    QTest::newRow("short write") << u"short"_s
                                 << QStringList {dropped(u"串行口未能写入整帧"_s, a, decodedA),
                                                 sentB};
    QTest::newRow("port closed under them")
        << u"closed"_s
        << QStringList {dropped(u"串行口已关闭"_s, a, decodedA),
                        dropped(u"串行口已关闭"_s, b, decodedB)};
    QTest::newRow("device lost under them")
        << u"lost"_s
        << QStringList {u",线路,与分区控制器的连接中断"_s,
                        dropped(u"与分区控制器的连接中断"_s, a, decodedA),
                        dropped(u"与分区控制器的连接中断"_s, b, decodedB)};
    QTest::newRow("another port opened under them")
        << u"reopened"_s
        << QStringList {dropped(u"打开了另一个串行口"_s, a, decodedA),
                        dropped(u"打开了另一个串行口"_s, b, decodedB)};
    QTest::newRow("queued while the link is down")
        << u"down"_s
        << QStringList {dropped(u"串行口未打开"_s, a, decodedA),
                        dropped(u"串行口未打开"_s, b, decodedB)};
}

void tst_AsRunLog::frameFates()
{
    QFETCH(QString, fate);
    QFETCH(QStringList, events);
    ConsoleRig rig;
    Console &c = rig.start();
    c.secondTicker().stop();
    ZoneLink &link = c.link();
    if (fate == u"down")
        link.closePort();
    if (fate == u"short")
        rig.port.writeLimits = {3};
    const qsizetype from = lineCount(c, rig.clock);
    link.SendFrame(*BuildFrame(0x14, 5, 0, u"1.2."_s));
    link.SendFrame(*BuildFrame(0x18, 0, 0, u"3."_s));
    if (fate == u"closed")
        link.closePort();
    if (fate == u"lost")
        rig.port.loseDevice();
    if (fate == u"reopened")
        link.OpenZonePort(u"com1"_s);
    QTRY_COMPARE(link.queuedFrames(), 0);
    QCOMPARE(eventsOf(c, rig.clock, from), events);
}

void tst_AsRunLog::operatorRows_data()
{
    QTest::addColumn<QStringList>("steps"); // "cancel N" or "restore N" on 0-based rows
    QTest::addColumn<QStringList>("events");
    // Today's rows: 07:30 起床, 08:00 上课, 12:00 午间 (all 铃声.mp3).
    const QString cancel8 = u",取消,操作员取消：08:00:00 铃声.mp3"_s;
    const QString restore8 = u",恢复,操作员恢复：08:00:00 铃声.mp3"_s;
    QTest::newRow("cancel") << QStringList {u"cancel 1"_s} << QStringList {cancel8};
    QTest::newRow("cancel, restore")
        << QStringList {u"cancel 1"_s, u"restore 1"_s} << QStringList {cancel8, restore8};
    // A row already cancelled or still waiting does not change: nothing is logged.
    QTest::newRow("cancel twice, restore twice")
        << QStringList {u"cancel 1"_s, u"cancel 1"_s, u"restore 1"_s, u"restore 1"_s}
        << QStringList {cancel8, restore8};
    QTest::newRow("restore a waiting row") << QStringList {u"restore 2"_s} << QStringList {};
    QTest::newRow("out of range") << QStringList {u"cancel 3"_s, u"cancel -1"_s} << QStringList {};
    QTest::newRow("the last row") << QStringList {u"cancel 2"_s}
                                  << QStringList {u",取消,操作员取消：12:00:00 铃声.mp3"_s};
}

void tst_AsRunLog::operatorRows()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, events);
    ConsoleRig rig;
    Console &c = rig.start();
    c.secondTicker().stop();
    const qsizetype from = lineCount(c, rig.clock);
    for (const QString &step : std::as_const(steps)) {
        const int row = step.section(u' ', 1).toInt();
        if (step.startsWith(u"cancel"))
            c.today().cancelRow(row);
        else
            c.today().restoreRow(row);
    }
    QCOMPARE(eventsOf(c, rig.clock, from), events);
}

void tst_AsRunLog::missedOnce_data()
{
    // "tick hh:mm:ss", "reload", "cancel N" or "restore N" (0-based rows).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("missed"); // the 错过 lines' texts, in order
    // Rows at 07:30, 08:00 and 09:05.
    const QString early = u"2 项的开始时间已过，未播放：07:30:00 至 08:00:00"_s;
    const QString late = u"1 项的开始时间已过，未播放：09:05:00 至 09:05:00"_s;
    QTest::newRow("started late") << QStringList {u"tick 09:00:00"_s} << QStringList {early};
    // Settings applied or a schedule saved reload the list: the rows already
    // passed over are not missed a second time.
    QTest::newRow("reloaded a second later")
        << QStringList {u"tick 09:00:00"_s, u"reload"_s, u"tick 09:00:01"_s} << QStringList {early};
    QTest::newRow("reloaded twice")
        << QStringList {u"tick 09:00:00"_s, u"reload"_s, u"tick 09:00:01"_s, u"reload"_s,
                        u"tick 09:00:02"_s}
        << QStringList {early};
    // A row whose window went by between the two scans was missed all the same.
    QTest::newRow("reloaded after a gap")
        << QStringList {u"tick 09:00:00"_s, u"reload"_s, u"tick 09:06:00"_s}
        << QStringList {early, late};
    QTest::newRow("a gap, no reload")
        << QStringList {u"tick 09:00:00"_s, u"tick 09:06:00"_s} << QStringList {early, late};
    QTest::newRow("its window ended at the scan before the reload")
        << QStringList {u"tick 09:00:00"_s, u"cancel 2"_s, u"tick 09:05:05"_s,
                        u"restore 2"_s,     u"reload"_s,   u"tick 09:05:06"_s}
        << QStringList {early};
    // Restored by the operator after its window: it was missed.
    QTest::newRow("restored after its window")
        << QStringList {u"tick 09:00:00"_s, u"cancel 2"_s, u"tick 09:06:00"_s, u"restore 2"_s,
                        u"tick 09:06:01"_s}
        << QStringList {early, late};
}

void tst_AsRunLog::missedOnce()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, missed);
    ConsoleRig rig;
    rig.writeWeek(ConsoleRig::line(u"07:30:00"_s, u"起床"_s)
                  + ConsoleRig::line(u"08:00:00"_s, u"上课"_s)
                  + ConsoleRig::line(u"09:05:00"_s, u"课间"_s));
    Console &c = rig.start();
    c.secondTicker().stop();
    const QDate day = rig.clock.now().date();
    for (const QString &step : std::as_const(steps)) {
        const QString arg = step.section(u' ', 1);
        if (step.startsWith(u"tick")) {
            rig.clock.set(QDateTime(day, QTime::fromString(arg, u"HH:mm:ss"_s)));
            c.timerplayer_Timer();
        } else if (step == u"reload") {
            c.state().setReloadSchedule(true);
        } else if (step.startsWith(u"cancel")) {
            c.today().cancelRow(arg.toInt());
        } else {
            c.today().restoreRow(arg.toInt());
        }
    }
    QStringList logged;
    for (const QString &event : eventsOf(c, rig.clock)) {
        if (event.startsWith(u",错过,"))
            logged << event.mid(4);
    }
    QCOMPARE(logged, missed);
}

void tst_AsRunLog::itemPlaysAndEnds_data()
{
    QTest::addColumn<bool>("fileThere");
    QTest::addColumn<bool>("linkOpen");
    QTest::addColumn<bool>("otherChannel"); // channel 2 starts an item while it plays
    QTest::newRow("played") << true << true << false;
    QTest::newRow("file missing: skipped") << false << true << false;
    QTest::newRow("link down: played here only") << true << false << false;
    QTest::newRow("another channel started meanwhile") << true << true << true;
}

void tst_AsRunLog::itemPlaysAndEnds()
{
    QFETCH(bool, fileThere);
    QFETCH(bool, linkOpen);
    QFETCH(bool, otherChannel);
    ConsoleRig rig;
    const QString song = rig.file(u"song/上课.wav"_s);
    if (fileThere) {
        QVERIFY(QDir().mkpath(rig.file(u"song"_s)));
        QFile f(song);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("RIFF");
    }
    rig.writeWeek(
        ConsoleRig::line(u"08:00:00"_s, u"上课"_s, song)
        + (otherChannel ? u"08:00:10, 2 ,课间操,外设控制,16000,00:00:05,3.,,\n"_s : QString()));
    rig.setting(u"closeamptime"_s, u"00:00:05"_s);
    Console &c = rig.start();
    c.secondTicker().stop();
    if (!linkOpen)
        c.link().closePort();
    const QString today = c.asRunLog().fileFor(rig.clock.now().date());
    rig.clock.set(QDateTime(rig.clock.now().date(), QTime(8, 0, 0)));
    c.timerplayer_Timer();
    QString played = u"2026-12-07 08:00:00,跳过,声音文件不存在，未播放："_s + song;
    if (fileThere)
        played = u"2026-12-07 08:00:00,播放,"_s + song + u"，播放时长 00:00:30"_s
            + (linkOpen ? QString() : u"（与分区控制器的连接中断，只在本机播放）"_s);
    QTRY_VERIFY_WITH_TIMEOUT(linesOf(today).contains(played), 10000);
    QCOMPARE(linesOf(today).filter(u",播放,"_s).size() + linesOf(today).filter(u",跳过,"_s).size(),
             1);
    if (otherChannel) {
        rig.clock.set(QDateTime(rig.clock.now().date(), QTime(8, 0, 10)));
        c.timerplayer_Timer();
    }
    // The play length went by: the sound is stopped, and once the last of
    // its equipment is off the item is over.
    rig.clock.set(QDateTime(rig.clock.now().date(), QTime(8, 0, 40)));
    c.timerplayer_Timer();
    // (An item started on another channel takes the player over before.)
    QCOMPARE(linesOf(today).contains(u"2026-12-07 08:00:40,结束播放,声音停止：上课.wav"_s),
             fileThere && !otherChannel);
    const QString ended
        = u"2026-12-07 08:00:40,结束播放,第 1 路 08:00:00 开始的上课已结束，设备已关闭"_s;
    QVERIFY2(linesOf(today).contains(ended), qPrintable(linesOf(today).join(u'\n')));
    // Later ticks end nothing again.
    rig.clock.advanceSeconds(5);
    c.timerplayer_Timer();
    QCOMPARE(linesOf(today).filter(u",结束播放,第 "_s).size(), otherChannel ? 2 : 1);
}

void tst_AsRunLog::windowCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("events"); // the operator's command lines only
    QTest::newRow("matrix, one output")
        << u"matrix one"_s << QStringList {u",矩阵,确定 输出 3 ← 输入 6"_s};
    QTest::newRow("matrix, all outputs")
        << u"matrix all"_s
        << QStringList {u",矩阵,全部确定 输出←输入 1←1 2←2 3←3 4←4 5←5 6←6 7←7 8←8"_s};
    QTest::newRow("manual confirm of an empty channel")
        << u"manual confirm"_s
        << QStringList {u",手动控制,第 2 路确定，频率 87.5 MHz：终端 无 功放 无 外设 无"_s};
    // Nothing was switched on: closing the window says nothing.
    QTest::newRow("manual window closes, nothing on") << u"manual off"_s << QStringList {};
    QTest::newRow("status of one terminal")
        << u"status one"_s << QStringList {u",状态查询,刷新 操场（地址 17）"_s};
    QTest::newRow("status of all terminals")
        << u"status all"_s << QStringList {u",状态查询,全部刷新 2 个终端"_s};
    QTest::newRow("status: switch one off")
        << u"status close"_s << QStringList {u",状态查询,关闭 一班（地址 1）"_s};
}

void tst_AsRunLog::windowCommands()
{
    QFETCH(QString, command);
    QFETCH(QStringList, events);
    ConsoleRig rig;
    Console &c = rig.start();
    c.secondTicker().stop();
    ZoneLink &link = c.link();
    const qsizetype from = lineCount(c, rig.clock);
    MatrixRouteTable routes {};
    MatrixControl matrix(link, routes);
    ManualControl manual(link);
    StatusPoll poll(link);
    poll.setNodes({{u"一班"_s, u"1"_s, u"1"_s}, {u"操场"_s, u"17"_s, u"2"_s}});
    if (command == u"matrix one")
        QVERIFY(matrix.confirmOne(3, 5));
    else if (command == u"matrix all")
        QVERIFY(matrix.confirmAll({0, 1, 2, 3, 4, 5, 6, 7}));
    else if (command == u"manual confirm")
        manual.confirm(1, 875);
    else if (command == u"manual off")
        QVERIFY(!manual.switchOffAll());
    else if (command == u"status one")
        QCOMPARE(poll.refreshRow(1), StatusPoll::Outcome::Started);
    else if (command == u"status all")
        QCOMPARE(poll.refreshAll(), StatusPoll::Outcome::Started);
    else if (command == u"status close")
        QCOMPARE(poll.closeTerminal(0), StatusPoll::Outcome::Started);
    QTRY_COMPARE_WITH_TIMEOUT(link.queuedFrames(), 0, 10000);
    // The command comes first, then its frames as they went out, and
    // nothing else is said of it.
    const QStringList logged = eventsOf(c, rig.clock, from);
    QCOMPARE(logged.mid(0, events.size()), events);
    QCOMPARE(logged.mid(events.size()).filter(u",发送,"_s).size(), logged.size() - events.size());
    QCOMPARE(logged.size() - events.size(), rig.port.writes().size());
}

void tst_AsRunLog::settingsAndDaysKept_data()
{
    QTest::addColumn<QString>("stored"); // days kept as stored; empty: none
    QTest::addColumn<int>("applied"); // then applied in the settings
    QTest::addColumn<QStringList>("leftAtStart"); // also left right after the apply
    QTest::addColumn<QStringList>("leftNextDay"); // after the first line of 12-08
    const QString season = u"20260901.csv"_s; // 97 days before 12-07
    const QString month = u"20261107.csv"_s; // the 31st day back
    const QString week = u"20261201.csv"_s;
    const QString today = u"20261207.csv"_s;
    const QString tomorrow = u"20261208.csv"_s;
    // The start-up keeps what the stored setting says, never the default
    // first: a school keeping a year loses no day at the start.
    QTest::newRow("stored 365") << u"365"_s << 365 << QStringList {season, month, week, today}
                                << QStringList {season, month, week, today, tomorrow};
    QTest::newRow("default 90, then 30") << QString() << 30 << QStringList {month, week, today}
                                         << QStringList {week, today, tomorrow};
    // A shorter keep applied removes nothing at once (a slip of the box
    // would cost the history); the next day's first line applies it.
    QTest::newRow("stored 31, then 1")
        << u"31"_s << 1 << QStringList {month, week, today} << QStringList {tomorrow};
    QTest::newRow("stored 7, then 365: nothing comes back")
        << u"7"_s << 365 << QStringList {week, today} << QStringList {week, today, tomorrow};
    // A stored value the box could not hold counts as the default.
    QTest::newRow("stored nonsense, then 90") << u"0"_s << 90 << QStringList {month, week, today}
                                              << QStringList {month, week, today, tomorrow};
}

void tst_AsRunLog::settingsAndDaysKept()
{
    QFETCH(QString, stored);
    QFETCH(int, applied);
    QFETCH(QStringList, leftAtStart);
    QFETCH(QStringList, leftNextDay);
    ConsoleRig rig;
    QVERIFY(QDir(rig.dir.path()).mkpath(u"log"_s));
    for (const QString &name : {u"20260901.csv"_s, u"20261107.csv"_s, u"20261201.csv"_s}) {
        QFile f(rig.file(u"log/"_s + name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    if (!stored.isEmpty())
        rig.store.setValue(u"operation"_s, u"asrun_keep_days"_s, stored);
    Console &c = rig.start();
    c.secondTicker().stop();
    const QDir logs(rig.file(u"log"_s));
    QCOMPARE(logs.entryList({u"*.csv"_s}, QDir::Files), leftAtStart);
    AppSettings values = c.settings().values();
    values.AsRunKeepDays = applied;
    QVERIFY(c.applySettings(values).isEmpty());
    QCOMPARE(c.asRunLog().keepDays(), applied);
    QCOMPARE(logs.entryList({u"*.csv"_s}, QDir::Files), leftAtStart);
    QCOMPARE(eventsOf(c, rig.clock).filter(u",设置,"_s), QStringList {u",设置,系统设置已保存"_s});
    rig.clock.set(QDateTime(QDate(2026, 12, 8), QTime(0, 0, 1)));
    QVERIFY(c.asRunLog().record(u"播放"_s, u"bell.wav"_s));
    QCOMPARE(logs.entryList({u"*.csv"_s}, QDir::Files), leftNextDay);
}

QTEST_MAIN(tst_AsRunLog)
#include "tst_asrunlog.moc"
