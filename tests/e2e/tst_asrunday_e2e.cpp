// A school morning against the controller simulator on a pseudo-terminal,
// logged: the console starts after the first item's window, the operator
// cancels the second, the third plays and ends. The day's as-run file holds
// every event at the console's time, and the frames it says went out are the
// frames the simulator received, in the same order and byte for byte.
//
// The console runs in this process on the real serial port, its clock moved
// by the test: a morning passes in seconds, and the log's times are exact.

#include "console/consolerig.h"
#include "console/todayschedule.h"
#include "platform/asrunlog.h"
#include "platform/qtserialport.h"
#include "platform/secondticker.h"
#include "support/zonesimprocess.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
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

class tst_AsRunDayE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void morningIsLoggedAsItRan();

private:
    // One tick of the console at the given time of the morning, then the
    // link left to send what the tick queued.
    void tickAt(const QTime &time);
    // The simulator's frames so far, as the bytes it logged.
    QStringList simulatorFrames();

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<QtSerialPort> m_port;
    ZoneSimProcess m_sim;
};

void tst_AsRunDayE2e::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_port = std::make_unique<QtSerialPort>();
}

void tst_AsRunDayE2e::cleanup()
{
    m_rig.reset();
    m_port.reset();
    m_sim.stop();
}

void tst_AsRunDayE2e::tickAt(const QTime &time)
{
    Console &c = m_rig->console();
    m_rig->clock.set(QDateTime(m_rig->clock.now().date(), time));
    c.timerplayer_Timer();
    QTRY_COMPARE_WITH_TIMEOUT(c.link().queuedFrames(), 0, 10000);
}

QStringList tst_AsRunDayE2e::simulatorFrames()
{
    // "08:44:07.066 ZoneOpen 103.5 MHz nodes 1.2.17. [EB 14 01 0A 23 03 01 02 11 FE 01]"
    static const QRegularExpression frame(
        u"^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\w+.*\\[([0-9A-F ]+)\\]$"_s);
    QStringList frames;
    for (const QString &line : m_sim.output().split(u'\n')) {
        const QRegularExpressionMatch m = frame.match(line.trimmed());
        if (m.hasMatch())
            frames << m.captured(1);
    }
    return frames;
}

void tst_AsRunDayE2e::morningIsLoggedAsItRan()
{
    const QString link = m_rig->file(u"line"_s);
    QVERIFY(m_sim.start(QStringLiteral(ZONESIM_BINARY), link));
    QVERIFY(QDir().mkpath(m_rig->file(u"song"_s)));
    const QString getUp = m_rig->file(u"song/起床.wav"_s);
    const QString breakBell = m_rig->file(u"song/课间.wav"_s);
    const QString lesson = m_rig->file(u"song/上课.wav"_s);
    for (const QString &song : {getUp, breakBell, lesson}) {
        QFile f(song);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("RIFF");
    }
    m_rig->writeWeek(ConsoleRig::line(u"07:40:00"_s, u"起床"_s, getUp)
                     + ConsoleRig::line(u"07:50:00"_s, u"课间"_s, breakBell)
                     + ConsoleRig::line(u"08:00:00"_s, u"上课"_s, lesson));
    m_rig->setting(u"openamptime"_s, u"00:00:05"_s);
    m_rig->setting(u"closeamptime"_s, u"00:00:05"_s);
    m_rig->realPort = m_port.get();
    m_rig->store.values.insert(u"ports/com1"_s, link);
    // Started at 07:45, after the first item's window.
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(7, 45, 0)));
    Console &c = m_rig->start();
    c.secondTicker().stop(); // the test gives the ticks
    QVERIFY(c.link().isOpen());

    tickAt(QTime(7, 45, 0));
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(7, 46, 0)));
    c.today().cancelRow(1); // 07:50 课间, as the list's "取  消" does
    for (QTime t(7, 49, 50); t <= QTime(7, 50, 10); t = t.addSecs(1))
        tickAt(t);
    for (QTime t(7, 59, 50); t <= QTime(8, 0, 45); t = t.addSecs(1))
        tickAt(t);
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(8, 1, 0)));
    c.endProgram();

    const QStringList lines = linesOf(c.asRunLog().fileFor(QDate(2026, 12, 7)));
    const QString all = lines.join(u'\n');
    QVERIFY2(!lines.isEmpty(), "no as-run file");
    QCOMPARE(lines.first(), AsRunLog::header());
    // The events, each at the console's time, in the order they happened.
    const QStringList events {
        u"2026-12-07 07:45:00,启动,控制台启动"_s,
        u"2026-12-07 07:45:00,错过,1 项的开始时间已过，未播放：07:40:00 至 07:40:00"_s,
        u"2026-12-07 07:46:00,取消,操作员取消：07:50:00 课间.wav"_s,
        u"2026-12-07 08:00:00,播放,"_s + lesson + u"，播放时长 00:00:30"_s,
        u"2026-12-07 08:00:32,结束播放,声音停止：上课.wav"_s,
        u"2026-12-07 08:00:40,结束播放,第 1 路 08:00:00 开始的上课已结束，设备已关闭"_s,
        u"2026-12-07 08:01:00,结束,程序结束"_s,
    };
    qsizetype at = 0;
    for (const QString &event : events) {
        const qsizetype found = lines.indexOf(event, at);
        QVERIFY2(found > 0, qPrintable(u"missing or out of order: "_s + event + u"\n"_s + all));
        at = found + 1;
    }
    // Nothing else of the items: one played, nothing dropped, nothing of
    // the cancelled one but its cancel.
    QCOMPARE(lines.filter(u",播放,"_s).size(), 1);
    QCOMPARE(lines.filter(u",丢弃,"_s), QStringList {});
    QCOMPARE(lines.filter(u"07:50:00"_s).size(), 1);
    QCOMPARE(lines.filter(u"课间"_s).size(), 1);

    // The frames the log says went out are those the simulator received.
    QStringList sent;
    for (const QString &line : lines) {
        if (line.mid(19).startsWith(u",发送,"_s))
            sent << line.section(u" | "_s, 1);
    }
    QVERIFY2(sent.size() >= 10, qPrintable(all));
    QTRY_COMPARE_WITH_TIMEOUT(simulatorFrames().size(), sent.size(), 5000);
    QCOMPARE(simulatorFrames(), sent);
    // And each at the time the scheduler sent it: the amplifiers once a
    // second from the lead on, the item's six commands, the three repeats
    // of its opens, then the closes after the play length (devices and
    // amplifiers at +5 s, the terminals at +10 s).
    QMap<QString, QList<int>> codesAt;
    for (const QString &line : lines.filter(u",发送,代码 0x"_s)) {
        const qsizetype code = line.indexOf(u"代码 0x"_s) + 5;
        codesAt[line.mid(11, 8)] << line.mid(code, 2).toInt(nullptr, 16);
    }
    using namespace CommandCode;
    const QMap<QString, QList<int>> expected {
        {u"07:59:55"_s, {AmpOpen}},
        {u"07:59:56"_s, {AmpOpen}},
        {u"07:59:57"_s, {AmpOpen}},
        {u"07:59:58"_s, {AmpOpen}},
        {u"07:59:59"_s, {AmpOpen}},
        {u"08:00:00"_s, {AmpOpen, ZoneClose, ZoneOpen, DeviceClose, DeviceOpen, AmpClose, AmpOpen}},
        {u"08:00:02"_s, {ZoneOpen, DeviceOpen, AmpOpen}},
        {u"08:00:04"_s, {ZoneOpen, DeviceOpen, AmpOpen}},
        {u"08:00:06"_s, {ZoneOpen, DeviceOpen, AmpOpen}},
        {u"08:00:35"_s, {DeviceClose, AmpClose}},
        {u"08:00:40"_s, {ZoneClose}},
    };
    QCOMPARE(codesAt, expected);
}

QTEST_MAIN(tst_AsRunDayE2e)
#include "tst_asrunday_e2e.moc"
