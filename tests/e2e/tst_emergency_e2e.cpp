// An emergency broadcast in the middle of an item, against the controller
// simulator on a pseudo-terminal: every terminal goes to the emergency
// channel with the amplifiers and devices on, in the order and with the
// leads of a start; its end closes exactly what it added and the item goes
// on with its own equipment where it would stand; the item due meanwhile is
// logged as passed over and never starts late.
//
// The console runs in this process on the real serial port, its clock moved
// by the test, so the frames' seconds are exact.

#include "console/consolerig.h"
#include "console/emergencybroadcast.h"
#include "console/mastervolume.h"
#include "platform/asrunlog.h"
#include "platform/qtserialport.h"
#include "platform/secondticker.h"
#include "support/gbkfiles.h"
#include "support/zonesimprocess.h"
#include "zonelink/zonelink.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QDate kDay(2026, 12, 7); // a Monday
const QString kEvery = u"1.2.3.4.5.6.7.8."_s;

QStringList linesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}
} // namespace

class tst_EmergencyE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void emergencyInTheMiddleOfAnItem();

private:
    void tickAt(const QTime &time);
    void tickThrough(const QTime &from, const QTime &to);
    // What the simulator logged of each frame since clearOutput ("AmpOpen 1.").
    QStringList simulatorFrames();
    // The simulator's "state" line: "nodes … amps … devices …".
    QString simulatorState();

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<QtSerialPort> m_port;
    ZoneSimProcess m_sim;
};

void tst_EmergencyE2e::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_port = std::make_unique<QtSerialPort>();
}

void tst_EmergencyE2e::cleanup()
{
    m_rig.reset();
    m_port.reset();
    m_sim.stop();
}

void tst_EmergencyE2e::tickAt(const QTime &time)
{
    Console &c = m_rig->console();
    m_rig->clock.set(QDateTime(kDay, time));
    c.timerplayer_Timer();
    QTRY_COMPARE_WITH_TIMEOUT(c.link().queuedFrames(), 0, 10000);
}

void tst_EmergencyE2e::tickThrough(const QTime &from, const QTime &to)
{
    for (QTime t = from; t <= to; t = t.addSecs(1))
        tickAt(t);
}

QStringList tst_EmergencyE2e::simulatorFrames()
{
    // "08:44:07.066 ZoneOpen 103.5 MHz nodes 1.2.17. [EB 14 01 0A 23 03 01 02 11 FE 01]"
    static const QRegularExpression frame(
        u"^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} (\\w+.*) \\[[0-9A-F ]+\\]$"_s);
    QStringList frames;
    for (const QString &line : m_sim.output().split(u'\n')) {
        const QRegularExpressionMatch m = frame.match(line.trimmed());
        if (m.hasMatch())
            frames << m.captured(1).simplified();
    }
    return frames;
}

QString tst_EmergencyE2e::simulatorState()
{
    m_sim.clearOutput();
    m_sim.command("state");
    if (!m_sim.waitFor(u"state nodes"_s))
        return {};
    const QString line = m_sim.lineWith(u"state nodes"_s);
    const qsizetype clock = line.indexOf(u" clock"_s);
    return line.mid(line.indexOf(u"nodes"_s), clock - line.indexOf(u"nodes"_s)).trimmed();
}

void tst_EmergencyE2e::emergencyInTheMiddleOfAnItem()
{
    const QString link = m_rig->file(u"line"_s);
    QVERIFY(m_sim.start(QStringLiteral(ZONESIM_BINARY), link));
    QVERIFY(QDir().mkpath(m_rig->file(u"song"_s)));
    const QString lesson = m_rig->file(u"song/上课.wav"_s);
    const QString pause = m_rig->file(u"song/课间.wav"_s);
    const QString alarm = m_rig->file(u"song/警报.wav"_s);
    for (const QString &song : {lesson, pause, alarm})
        GbkFiles::writeBytes(song, QByteArray("RIFF"));
    // Four terminals; channel 1 at 88.0 MHz, the emergency's channel 3 at 95.5.
    GbkFiles::writeText(m_rig->file(u"node.txt"_s),
                        u"\"一班\",\"1\",\"1\"\n\"二班\",\"2\",\"1\"\n\"操场\",\"17\",\"2\"\n"
                        "\"礼堂\",\"30\",\"2\"\n"_s);
    QString names;
    for (int i = 0; i < 24; ++i)
        names += i == 8 ? u"\"88.0\"\n"_s : i == 10 ? u"\"95.5\"\n"_s : u"\"名称\"\n"_s;
    GbkFiles::writeText(m_rig->file(u"amp_name.dat"_s), names);
    // The lesson runs ten minutes from 08:00 on terminals 1 and 2 with
    // amplifier 1; the break bell at 08:04:58 on the playground falls in the
    // emergency, two seconds before its end: its start window still runs then.
    m_rig->writeWeek(u"08:00:00, 1 ,上课,"_s + lesson + u",16000,00:10:00,1.2.,1.,\n"_s
                     + u"08:04:58, 1 ,课间,"_s + pause + u",16000,00:05:00,17.,2.,\n"_s);
    m_rig->setting(u"openamptime"_s, u"00:00:02"_s);
    m_rig->setting(u"closeamptime"_s, u"00:00:05"_s);
    m_rig->store.values.insert(u"operation/emergency_channel"_s, u"3"_s);
    m_rig->store.values.insert(u"operation/emergency_file"_s, alarm);
    m_rig->realPort = m_port.get();
    m_rig->store.values.insert(u"ports/com1"_s, link);
    m_rig->clock.set(QDateTime(kDay, QTime(7, 59, 50)));
    Console &c = m_rig->start();
    c.secondTicker().stop(); // the test gives the ticks
    QVERIFY(c.link().isOpen());

    tickThrough(QTime(7, 59, 50), QTime(8, 0, 10));
    QCOMPARE(simulatorState(), u"nodes 1.2. amps 1. devices -"_s);

    // 08:02: the operator starts the emergency. Amplifiers first, the
    // devices and the terminals at the amplifiers' lead of 2 s.
    m_rig->clock.set(QDateTime(kDay, QTime(8, 2, 0)));
    m_sim.clearOutput();
    QVERIFY(c.emergency().start());
    QTRY_COMPARE_WITH_TIMEOUT(c.link().queuedFrames(), 0, 10000);
    tickThrough(QTime(8, 2, 1), QTime(8, 2, 10));
    const QString zones = u"ZoneOpen 95.5 MHz nodes 1.2.17.30."_s;
    const QString devices = u"DeviceOpen "_s + kEvery;
    const QString amps = u"AmpOpen "_s + kEvery;
    QTRY_COMPARE_WITH_TIMEOUT(simulatorFrames().size(), 12, 5000);
    QCOMPARE(simulatorFrames(),
             (QStringList {amps, devices, zones, zones, devices, amps, zones, devices, amps, zones,
                           devices, amps}));
    QCOMPARE(simulatorState(), u"nodes 1.2.17.30. amps "_s + kEvery + u" devices "_s + kEvery);
    QCOMPARE(m_rig->player.source, alarm);
    QCOMPARE(c.volume().value(), 32767);

    // The break bell comes due and is held over.
    tickThrough(QTime(8, 2, 11), QTime(8, 4, 59));
    m_rig->clock.set(QDateTime(kDay, QTime(8, 5, 0)));
    m_sim.clearOutput();
    m_rig->player.calls.clear();
    QVERIFY(c.emergency().end());
    QTRY_COMPARE_WITH_TIMEOUT(c.link().queuedFrames(), 0, 10000);
    // Off goes only what the emergency added, the terminals first; then the
    // lesson's own frames of its start, at its own frequency.
    QTRY_COMPARE_WITH_TIMEOUT(simulatorFrames().size(), 9, 5000);
    QCOMPARE(simulatorFrames(),
             (QStringList {u"ZoneClose nodes 17.30."_s, u"DeviceClose "_s + kEvery,
                           u"AmpClose 2.3.4.5.6.7.8."_s, u"ZoneClose nodes"_s,
                           u"ZoneOpen 88.0 MHz nodes 1.2."_s, u"DeviceClose"_s, u"DeviceOpen"_s,
                           u"AmpClose"_s, u"AmpOpen 1."_s}));
    QCOMPARE(simulatorState(), u"nodes 1.2. amps 1. devices -"_s);
    // The lesson plays on five minutes into its file, at its own volume.
    QVERIFY2(m_rig->player.calls.contains(u"load %1 from 300000 ms"_s.arg(lesson)),
             qPrintable(m_rig->player.calls.join(u'|')));
    QCOMPARE(c.volume().value(), 16000);

    // The break bell's window still runs, yet nothing of it starts late.
    m_sim.clearOutput();
    m_rig->player.calls.clear();
    tickThrough(QTime(8, 5, 1), QTime(8, 6, 0));
    for (const QString &frame : simulatorFrames())
        QVERIFY2(!frame.contains(u"17."_s) && !frame.contains(u"2.3."_s), qPrintable(frame));
    QVERIFY(m_rig->player.calls.filter(u"load"_s).isEmpty());
    QCOMPARE(simulatorState(), u"nodes 1.2. amps 1. devices -"_s);

    c.endProgram();
    const QStringList lines = linesOf(c.asRunLog().fileFor(kDay));
    const QString all = lines.join(u'\n');
    const QStringList events {
        u"2026-12-07 08:00:00,播放,"_s + lesson + u"，播放时长 00:10:00"_s,
        u"2026-12-07 08:02:00,紧急广播,开始：全部终端、功放和设备打开，第 3 套节目频率，循环播放 "_s
            + alarm,
        u"2026-12-07 08:02:02,紧急广播,全部终端已打开"_s,
        u"2026-12-07 08:04:58,紧急广播,08:04:58 课间.wav 因紧急广播未播放"_s,
        u"2026-12-07 08:05:00,紧急广播,结束，历时 03:00；关闭终端 17.30. 设备 1.2.3.4.5.6.7.8. "
        "功放 2.3.4.5.6.7.8."_s,
        u"2026-12-07 08:05:00,紧急广播,08:00:00 开始的节目继续播放"_s,
    };
    qsizetype at = 0;
    for (const QString &event : events) {
        const qsizetype found = lines.indexOf(event, at);
        QVERIFY2(found > 0, qPrintable(u"missing or out of order: "_s + event + u"\n"_s + all));
        at = found + 1;
    }
    QCOMPARE(lines.filter(u",播放,"_s).filter(u"课间"_s), QStringList {});
}

QTEST_MAIN(tst_EmergencyE2e)
#include "tst_emergency_e2e.moc"
