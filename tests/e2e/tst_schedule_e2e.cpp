// The real console plays a scheduled item by itself against the simulator:
// the frames in their order, the repeats, the closes after the play length,
// the file on the sound server and the master volume at the row's volume.

#include "e2einstall.h"
#include "platform/mixer.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"

#include <QDate>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_ScheduleE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void itemPlaysByItself();
};

void tst_ScheduleE2e::itemPlaysByItself()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    const bool sound = pactl.waitForFinished(5000) && pactl.exitCode() == 0;
    if (!sound && qEnvironmentVariableIsSet("QUELLON_REQUIRE_SOUND"))
        QFAIL("no sound server, although ./test started one");

    E2eInstall install;
    const QString song = install.path(QStringLiteral("song/上课铃.wav"));
    GbkFiles::writeBytes(song, TestMedia::wav(2.0));
    GbkFiles::writeText(
        install.path(QStringLiteral("node.txt")),
        QStringLiteral("\"一班\",\"1\",\"1\"\n\"二班\",\"2\",\"1\"\n\"操场\",\"17\",\"2\"\n"));
    install.writeOneFrequency(2, QStringLiteral("87.5"));

    // Today's table holds one item a few seconds ahead (time enough to start the console).
    const QDateTime start = sameDayStart(12);
    if (!start.isValid())
        QSKIP("too close to midnight for a same-day item");
    GbkFiles::writeText(install.path(QStringLiteral("week.txt")),
                        weekWithOneEntry(start,
                                         QStringLiteral(", 2 ,上课,") + song
                                             + QStringLiteral(", 16000 ,00:00:03,1.17.,3.,5.")));
    install.writeStore(
        {{QStringLiteral("defaultweekfile"), install.path(QStringLiteral("week.txt"))},
         {QStringLiteral("openamptime"), QStringLiteral("00:00:02")},
         {QStringLiteral("closeamptime"), QStringLiteral("00:00:05")}});
    QVERIFY(install.startSimulator());
    QVERIFY(install.startConsole());

    QVERIFY(install.waitSimulator(QStringLiteral("ZoneOpen 87.5 MHz nodes 1.17."), 20000));
    if (sound)
        QVERIFY(install.waitConsole(QStringLiteral("playing"), 10000));
    QVERIFY(install.waitSimulator(QStringLiteral("ZoneClose nodes 1.17."), 30000));
    QStringList names2;
    for (const QString &frame : install.framesSince(0))
        names2 << frame.section(u' ', 0, 0);
    // The amplifier lead comes first, then the start, the three repeats and the closes.
    while (!names2.isEmpty() && names2.first() == u"AmpOpen")
        names2.removeFirst();
    QCOMPARE(
        names2,
        (QStringList {u"ZoneClose"_s, u"ZoneOpen"_s, u"DeviceClose"_s, u"DeviceOpen"_s,
                      u"AmpClose"_s, u"AmpOpen"_s, u"ZoneOpen"_s, u"DeviceOpen"_s, u"AmpOpen"_s,
                      u"ZoneOpen"_s, u"DeviceOpen"_s, u"AmpOpen"_s, u"ZoneOpen"_s, u"DeviceOpen"_s,
                      u"AmpOpen"_s, u"DeviceClose"_s, u"AmpClose"_s, u"ZoneClose"_s}));
    const QStringList frames = install.framesSince(0);
    QVERIFY(frames.filter(QStringLiteral("DeviceOpen 5.")).size() == 4);
    QVERIFY(frames.filter(QStringLiteral("AmpClose 3.")).size() == 1);
    if (sound) {
        AlsaMixer observer;
        QCOMPARE(observer.open(), 0);
        QCOMPARE(observer.readSpeakerVolume().value_or(-1), 32000L);
        const QString line = install.consoleLines().filter(QStringLiteral("playing")).value(0);
        QVERIFY2(line.contains(QStringLiteral("上课铃.wav")), qPrintable(line));
    }
    // The simulator agrees that everything is off again.
    install.simulatorCommand(QStringLiteral("state"));
    QVERIFY(install.waitSimulator(QStringLiteral("state nodes - amps - devices -")));
}

QTEST_GUILESS_MAIN(tst_ScheduleE2e)
#include "tst_schedule_e2e.moc"
