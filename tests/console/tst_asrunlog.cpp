// The as-run log: one UTF-8 CSV a day with a header, a whole line per event
// even for awkward text, old days removed, and the console's own events
// written as they happen.

#include "console/asrunevents.h"
#include "consolerig.h"
#include "platform/asrunlog.h"
#include "support/fakeclock.h"
#include "zonelink/frames.h"
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
    // A frame handed to the link is logged decoded, with its bytes.
    const QByteArray frame = *BuildFrame(0x14, 5, 0, u"1.2."_s);
    c.link().SendFrame(frame);
    lines = linesOf(today);
    QVERIFY2(lines.last().contains(u",发送,代码 0x14 参数 5 0 值 1 2 | "_s
                                   + QString::fromLatin1(frame.toHex(' ').toUpper())),
             qPrintable(lines.last()));
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

QTEST_MAIN(tst_AsRunLog)
#include "tst_asrunlog.moc"
