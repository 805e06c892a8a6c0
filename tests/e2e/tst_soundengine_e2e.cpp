// The real console against the simulator while its sound engine fails: the
// engine is stopped (SIGSTOP) a second before an item's start, or killed
// (SIGKILL) in the middle of it. Either way the item's frames leave on time
// and byte for byte, the engine is replaced, and the item is heard again
// where the clock says it stands by now, on a sink of the test's own.

#include "e2einstall.h"
#include "support/gbkfiles.h"
#include "support/soundmonitor.h"
#include "support/testmedia.h"
#include "zonelink/frames.h"

#include <QDate>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {
void waitUntil(qint64 msSinceEpoch)
{
    const qint64 left = msSinceEpoch - QDateTime::currentMSecsSinceEpoch();
    if (left > 0)
        QTest::qWait(int(left));
}
} // namespace

class tst_SoundEngineE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void engineFailsAroundAnItem_data();
    void engineFailsAroundAnItem();
};

void tst_SoundEngineE2e::initTestCase()
{
    QUELLON_NEED_SOUND_SERVER();
}

void tst_SoundEngineE2e::engineFailsAroundAnItem_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("strikeMs"); // from the item's start second
    QTest::newRow("stopped a second before the start") << int(SIGSTOP) << -1000;
    QTest::newRow("killed in the middle") << int(SIGKILL) << 3000;
}

void tst_SoundEngineE2e::engineFailsAroundAnItem()
{
    QFETCH(int, signal);
    QFETCH(int, strikeMs);
    PrivateSink sink;
    QVERIFY(sink.isLoaded());
    SoundMonitor monitor(sink.monitor());
    QVERIFY(monitor.start());

    E2eInstall install;
    const QString song = install.path(u"song/整点报时.wav"_s);
    GbkFiles::writeBytes(song, TestMedia::sweptWav(8));
    GbkFiles::writeText(install.path(u"node.txt"_s),
                        u"\"一班\",\"1\",\"1\"\n\"操场\",\"17\",\"2\"\n"_s);
    install.writeOneFrequency(2, u"87.5"_s);
    // One item on a whole second a few seconds ahead, time enough to start.
    const QDateTime start = sameDayStart(10, 20);
    if (!start.isValid())
        QSKIP("too close to midnight for a same-day item");
    GbkFiles::writeText(
        install.path(u"week.txt"_s),
        weekWithOneEntry(start, u", 2 ,报时,"_s + song + u", 16000 ,00:00:10,1.17.,3.,5."_s));
    install.writeStore({{u"defaultweekfile"_s, install.path(u"week.txt"_s)},
                        {u"openamptime"_s, u"00:00:00"_s},
                        {u"closeamptime"_s, u"00:00:05"_s}});
    QVERIFY(install.startSimulator());
    QVERIFY(install.startConsole({{u"PULSE_SINK"_s, sink.name()}}));
    QTRY_VERIFY_WITH_TIMEOUT(install.enginePid(u"player"_s) > 0, 10000);
    const qint64 engine = install.enginePid(u"player"_s);

    const qint64 t0 = start.toMSecsSinceEpoch();
    waitUntil(t0 + strikeMs);
    const qint64 struck = QDateTime::currentMSecsSinceEpoch();
    QCOMPARE(::kill(pid_t(engine), signal), 0);
    QVERIFY(install.waitConsole(u"audio engine player replaced"_s, 10000));
    const qint64 replaced = QDateTime::currentMSecsSinceEpoch();
    QVERIFY2(replaced - struck <= 3000, qPrintable(QString::number(replaced - struck)));
    QVERIFY(install.waitConsole(u"audio engine player restarted"_s, 10000));
    QTRY_VERIFY(install.enginePid(u"player"_s) != engine);
    QVERIFY(install.enginePid(u"player"_s) > 0);
    // The frames of the start, the repeats and the closes all went out.
    QVERIFY(install.waitSimulator(u"ZoneClose nodes 1.17."_s, 30000));
    const QList<E2eInstall::LoggedFrame> frames = install.loggedFrames(start.date());
    const auto frame = [](int code, int p1, int p2, const QString &list) {
        return BuildFrame(code, p1, p2, list).value_or(QByteArray());
    };
    // The start closes what its channel had on and this item does not use:
    // nothing, on a channel that had nothing on.
    const QByteArray zoneClose = frame(CommandCode::ZoneClose, 0, 0, QString());
    const QByteArray zoneOpen = frame(CommandCode::ZoneOpen, 8, 75, u"1.17."_s);
    const QByteArray deviceClose = frame(CommandCode::DeviceClose, 0, 0, QString());
    const QByteArray deviceOpen = frame(CommandCode::DeviceOpen, 0, 0, u"5."_s);
    const QByteArray ampClose = frame(CommandCode::AmpClose, 0, 0, QString());
    const QByteArray ampOpen = frame(CommandCode::AmpOpen, 0, 0, u"3."_s);
    // What each second after the start must carry: the start's six frames,
    // then the three openings again at +2, +4 and +6 s.
    const QList<std::pair<int, QList<QByteArray>>> schedule = {
        {0, {zoneClose, zoneOpen, deviceClose, deviceOpen, ampClose, ampOpen}},
        {2, {zoneOpen, deviceOpen, ampOpen}},
        {4, {zoneOpen, deviceOpen, ampOpen}},
        {6, {zoneOpen, deviceOpen, ampOpen}},
    };
    for (const auto &[offset, expected] : schedule) {
        const QDateTime second = start.addSecs(offset);
        QList<QByteArray> sent;
        for (const E2eInstall::LoggedFrame &f : frames) {
            if (f.at >= second && f.at < second.addMSecs(1500))
                sent.append(f.bytes);
        }
        QVERIFY2(sent == expected,
                 qPrintable(u"+%1 s: %2 frames, first %3"_s.arg(offset)
                                .arg(sent.size())
                                .arg(QString::fromLatin1(sent.value(0).toHex(' ')))));
        // The first of them leaves within moments of its second.
        for (const E2eInstall::LoggedFrame &f : frames) {
            if (f.at >= second && f.bytes == expected.first()) {
                QVERIFY2(second.msecsTo(f.at) <= 500,
                         qPrintable(u"+%1 s: %2 ms late"_s.arg(offset).arg(second.msecsTo(f.at))));
                break;
            }
        }
    }
    // The item is heard again after the replacement. Its file starts once
    // the start's frames are out, so where it stands is the time since the
    // last of them, give or take a second; the tone's pitch rises with it.
    const qint64 heard = monitor.waitForSound(replaced, 8000);
    QVERIFY2(heard > 0, "no sound after the engine was replaced");
    QTest::qWait(300);
    monitor.poll();
    QDateTime fileStart;
    for (const E2eInstall::LoggedFrame &f : frames) {
        if (f.at >= start && f.at < start.addMSecs(1500) && f.bytes == ampOpen)
            fileStart = f.at;
    }
    QVERIFY(fileStart.isValid());
    const double tone = TestMedia::sweptSeconds(monitor.frequencyAt(heard + 100));
    const double due = (heard + 150 - fileStart.toMSecsSinceEpoch()) / 1000.0;
    qInfo("replaced %lld ms after the signal; sound again %lld ms after that, %.2f s into the "
          "file at %.2f s",
          replaced - struck, heard - replaced, tone, due);
    QVERIFY2(qAbs(tone - due) <= 1.0,
             qPrintable(u"heard %1 s into the file at %2 s"_s.arg(tone).arg(due)));
    install.simulatorCommand(u"state"_s);
    QVERIFY(install.waitSimulator(u"state nodes - amps - devices -"_s));
}

QTEST_GUILESS_MAIN(tst_SoundEngineE2e)
#include "tst_soundengine_e2e.moc"
