// The real console killed (SIGKILL) in the middle of an item and started
// again, as the desktop does after a crash: the item's start frames go out
// again byte for byte, its file is heard again where the clock says it
// stands by now (on a sink of the test's own), and the day's as-run log
// shows the first run's lines, nothing while the console was gone, the new
// start and the item taken up again.

#include "e2einstall.h"
#include "support/gbkfiles.h"
#include "support/soundmonitor.h"
#include "support/testmedia.h"
#include "zonelink/frames.h"

#include <QDate>
#include <QFile>
#include <QRegularExpression>
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

struct LogLine
{
    QDateTime at;
    QString kind;
    QString text;
};

QList<LogLine> asRunLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<LogLine> lines;
    const QStringList raw = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < raw.size(); ++i) { // after the header
        const QString &line = raw.at(i);
        lines.append({QDateTime::fromString(line.section(u',', 0, 0), u"yyyy-MM-dd HH:mm:ss"_s),
                      line.section(u',', 1, 1), line.section(u',', 2)});
    }
    return lines;
}

QByteArray frame(int code, int p1, int p2, const QString &list)
{
    return BuildFrame(code, p1, p2, list).value_or(QByteArray());
}
} // namespace

class tst_RecoveryE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void killedInTheMiddleOfAnItem();
};

void tst_RecoveryE2e::initTestCase()
{
    QUELLON_NEED_SOUND_SERVER();
}

void tst_RecoveryE2e::killedInTheMiddleOfAnItem()
{
    PrivateSink sink;
    QVERIFY(sink.isLoaded());
    SoundMonitor monitor(sink.monitor());
    QVERIFY(monitor.start());

    E2eInstall install;
    const QString song = install.path(u"song/早操音乐.wav"_s);
    GbkFiles::writeBytes(song, TestMedia::sweptWav(24));
    GbkFiles::writeText(install.path(u"node.txt"_s),
                        u"\"一班\",\"1\",\"1\"\n\"操场\",\"17\",\"2\"\n"_s);
    install.writeOneFrequency(2, u"87.5"_s);
    // One item of 20 s on a whole second a few seconds ahead.
    const QDateTime start = sameDayStart(10, 60);
    if (!start.isValid())
        QSKIP("too close to midnight for a same-day item");
    GbkFiles::writeText(
        install.path(u"week.txt"_s),
        weekWithOneEntry(start, u", 2 ,早操,"_s + song + u", 16000 ,00:00:20,1.17.,3.,5."_s));
    install.writeStore({{u"defaultweekfile"_s, install.path(u"week.txt"_s)},
                        {u"openamptime"_s, u"00:00:00"_s},
                        {u"closeamptime"_s, u"00:00:05"_s}});
    const QList<std::pair<QString, QString>> environment {{u"PULSE_SINK"_s, sink.name()}};
    QVERIFY(install.startSimulator());
    QVERIFY(install.startConsole(environment));
    const qint64 t0 = start.toMSecsSinceEpoch();

    // The first run starts the item and plays it; 7 s in, it is killed.
    QVERIFY(install.waitSimulator(u"AmpOpen 3."_s, 20000));
    QVERIFY(monitor.waitForSound(t0, 8000) > 0);
    waitUntil(t0 + 7000);
    const qint64 killed = QDateTime::currentMSecsSinceEpoch();
    QCOMPARE(::kill(pid_t(install.consolePid()), SIGKILL), 0);
    QVERIFY(install.console().waitForFinished(5000));
    QCOMPARE(install.console().exitStatus(), QProcess::CrashExit);
    // Its sound goes with it.
    QTest::qWait(1500);
    monitor.poll();
    QVERIFY2(monitor.soundMsBetween(killed + 1000, killed + 1500) == 0,
             "the killed console's sound plays on");

    // Started again, as the desktop does.
    const qint64 restarted = QDateTime::currentMSecsSinceEpoch();
    QVERIFY(install.startConsole(environment));
    QVERIFY(install.waitConsole(u"resumed"_s, 10000));

    // The item's start frames go out again, as at its start (after the
    // day's terminal volume, which each run sends at its first tick).
    const QDateTime restartedAt = QDateTime::fromMSecsSinceEpoch(restarted);
    QList<QByteArray> again;
    const auto framesSinceRestart = [&] {
        install.readSimulator();
        again.clear();
        for (const E2eInstall::LoggedFrame &f : install.loggedFrames(start.date())) {
            if (f.at >= restartedAt)
                again.append(f.bytes);
        }
        return again.size();
    };
    QTRY_VERIFY_WITH_TIMEOUT(framesSinceRestart() >= 7, 10000);
    const QList<QByteArray> startFrames {frame(CommandCode::ZoneClose, 0, 0, QString()),
                                         frame(CommandCode::ZoneOpen, 8, 75, u"1.17."_s),
                                         frame(CommandCode::DeviceClose, 0, 0, QString()),
                                         frame(CommandCode::DeviceOpen, 0, 0, u"5."_s),
                                         frame(CommandCode::AmpClose, 0, 0, QString()),
                                         frame(CommandCode::AmpOpen, 0, 0, u"3."_s)};
    const qsizetype startAt = again.indexOf(startFrames.first());
    QVERIFY2(startAt >= 0 && startAt <= 1, qPrintable(QString::number(startAt)));
    QCOMPARE(again.mid(startAt, 6), startFrames);
    again = again.mid(0, startAt + 6);

    // Heard again where the item stands by the clock, give or take 2 s: the
    // tone's pitch rises with the time into the file.
    const qint64 heard = monitor.waitForSound(restarted, 10000);
    QVERIFY2(heard > 0, "no sound after the restart");
    QTest::qWait(300);
    monitor.poll();
    const double tone = TestMedia::sweptSeconds(monitor.frequencyAt(heard + 100));
    const double due = (heard + 150 - t0) / 1000.0;
    qInfo("killed %.2f s into the item, sound again %lld ms after the restart, %.2f s into the "
          "file at %.2f s",
          (killed - t0) / 1000.0, heard - restarted, tone, due);
    QVERIFY2(qAbs(tone - due) <= 2.0,
             qPrintable(u"heard %1 s into the file at %2 s"_s.arg(tone).arg(due)));

    // The item ends when it would have ended: everything off again.
    QVERIFY(install.waitSimulator(u"ZoneClose nodes 1.17."_s, 30000));
    install.simulatorCommand(u"state"_s);
    QVERIFY(install.waitSimulator(u"state nodes - amps - devices -"_s));

    // The as-run log: the first run, a gap without an orderly end, the new
    // start, the item taken up again, its frames as the simulator logged them.
    const QList<LogLine> log
        = asRunLines(install.path(u"log/%1.csv"_s.arg(start.toString(u"yyyyMMdd"_s))));
    QList<qsizetype> starts;
    for (qsizetype i = 0; i < log.size(); ++i) {
        if (log.at(i).kind == u"启动")
            starts << i;
    }
    QCOMPARE(starts.size(), 2);
    QVERIFY(starts.first() == 0);
    const qsizetype second = starts.last();
    QVERIFY2(second >= 7, "the first run's start and frames are not logged");
    const QDateTime killedAt = QDateTime::fromMSecsSinceEpoch(killed);
    for (qsizetype i = 0; i < second; ++i) {
        QVERIFY2(log.at(i).kind != u"结束", "an orderly end is logged before the crash");
        QVERIFY2(log.at(i).at <= killedAt, qPrintable(log.at(i).text));
    }
    QVERIFY(log.at(second).at >= QDateTime::fromMSecsSinceEpoch(restarted / 1000 * 1000));
    qsizetype resumedLine = -1;
    for (qsizetype i = second; i < log.size(); ++i) {
        if (log.at(i).kind == u"恢复播放")
            resumedLine = i;
    }
    QVERIFY2(resumedLine > second, "no line says the item was taken up again");
    const QString resumedText = log.at(resumedLine).text;
    QVERIFY2(resumedText.contains(song) && resumedText.contains(start.toString(u"HH:mm:ss"_s)),
             qPrintable(resumedText));
    static const QRegularExpression secondsIn(u"从第 (\\d+) 秒处继续"_s);
    const QRegularExpressionMatch m = secondsIn.match(resumedText);
    QVERIFY2(m.hasMatch(), qPrintable(resumedText));
    QVERIFY(qAbs(m.captured(1).toInt() - (log.at(resumedLine).at.toMSecsSinceEpoch() - t0) / 1000)
            <= 1);
    // The first frames the new run logged as sent (a frame is logged once it
    // has left for the wire, so they may follow the line that took the item
    // up) are those the simulator received.
    QStringList sent;
    for (qsizetype i = second; i < log.size(); ++i) {
        if (log.at(i).kind == u"发送")
            sent << log.at(i).text.section(u" | "_s, 1);
    }
    QStringList received;
    for (const QByteArray &f : std::as_const(again))
        received << QString::fromLatin1(f.toHex(' ').toUpper());
    QVERIFY2(sent.size() >= received.size(), qPrintable(sent.join(u'\n')));
    QCOMPARE(sent.first(received.size()), received);
}

QTEST_GUILESS_MAIN(tst_RecoveryE2e)
#include "tst_recovery_e2e.moc"
