// The real console supervising the terminals of a playing item against the
// simulator. With the option on, a terminal made silent in the simulator
// raises the alarm within a minute (the status bar's text in the console's
// log, a line in the as-run log) and ends it once it answers again; with
// the option off, the simulator sees no status query during the same play.

#include "e2einstall.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"

#include <QDate>
#include <QFile>
#include <QSettings>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString kAlarmText = u"巡检告警：终端 17 未应答"_s;
const QString kRaised = u",巡检,终端 17 连续两次未应答状态查询，告警"_s;
const QString kCleared = u",巡检,终端 17 恢复应答，告警解除"_s;
} // namespace

class tst_SupervisionE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void silentTerminalDuringAnItem_data();
    void silentTerminalDuringAnItem();
};

void tst_SupervisionE2e::silentTerminalDuringAnItem_data()
{
    QTest::addColumn<bool>("supervise");
    QTest::newRow("option on") << true;
    QTest::newRow("option off") << false;
}

void tst_SupervisionE2e::silentTerminalDuringAnItem()
{
    QFETCH(bool, supervise);
    E2eInstall install;
    const QString song = install.path(u"song/广播操.wav"_s);
    GbkFiles::writeBytes(song, TestMedia::wav(2.0));
    GbkFiles::writeText(install.path(u"node.txt"_s),
                        u"\"一班\",\"1\",\"1\"\n\"操场\",\"17\",\"2\"\n"_s);
    install.writeOneFrequency(1, u"103.5"_s);
    // One item of 40 s a few seconds ahead, time enough to start the console.
    const QDateTime start = sameDayStart(10, 90);
    if (!start.isValid())
        QSKIP("too close to midnight for a same-day item");
    GbkFiles::writeText(
        install.path(u"week.txt"_s),
        weekWithOneEntry(start, u", 1 ,广播操,"_s + song + u", 16000 ,00:00:40,1.17.,3.,"_s));
    install.writeStore({{u"defaultweekfile"_s, install.path(u"week.txt"_s)},
                        {u"openamptime"_s, u"00:00:00"_s},
                        {u"closeamptime"_s, u"00:00:05"_s}});
    {
        // The console's own running options, beside the classic settings.
        QSettings store(install.path(u"config/broadcast/broadcast.conf"_s), QSettings::IniFormat);
        store.setValue(u"operation/supervise_terminals"_s, supervise ? u"True"_s : u"False"_s);
    }
    QVERIFY(install.startSimulator());
    QVERIFY(install.startConsole());

    QVERIFY(install.waitSimulator(u"ZoneOpen 103.5 MHz nodes 1.17."_s, 20000));
    // Terminal 17 stops answering just after its item started.
    install.simulatorCommand(u"silence 17"_s);
    QVERIFY(install.waitSimulator(u"terminal 17 silent"_s));
    const QDateTime silenced = QDateTime::currentDateTime();
    const QString logFile
        = install.path(u"log/"_s + start.date().toString(u"yyyyMMdd"_s) + u".csv"_s);
    const auto logged = [&logFile](const QString &tail) {
        QFile f(logFile);
        if (!f.open(QIODevice::ReadOnly))
            return QStringList {};
        QStringList found;
        for (const QString &line : QString::fromUtf8(f.readAll()).split(u'\n')) {
            if (line.endsWith(tail))
                found.append(line);
        }
        return found;
    };

    if (supervise) {
        QVERIFY(install.waitConsole(u"status bar: "_s + kAlarmText, 60000));
        const qint64 alarmAfter = silenced.msecsTo(QDateTime::currentDateTime());
        qInfo("alarm %lld ms after the terminal went silent", alarmAfter);
        QVERIFY2(alarmAfter <= 60000, qPrintable(QString::number(alarmAfter)));
        const QStringList raised = logged(kRaised);
        QCOMPARE(raised.size(), qsizetype(1));
        const QDateTime raisedAt
            = QDateTime::fromString(raised.first().section(u',', 0, 0), u"yyyy-MM-dd HH:mm:ss"_s);
        QVERIFY2(raisedAt.isValid() && qAbs(silenced.secsTo(raisedAt)) <= 60,
                 qPrintable(raised.first()));
        // It answers again: the alarm ends, in the status bar and the log.
        install.simulatorCommand(u"answer 17"_s);
        QVERIFY(install.waitConsole(u"status bar: -"_s, 20000));
        QCOMPARE(logged(kCleared).size(), qsizetype(1));
    }
    // The item's play ends with its terminals closed.
    QVERIFY(install.waitSimulator(u"ZoneClose nodes 1.17."_s, 60000));
    install.readSimulator();
    const QStringList queries = install.simulatorLines().filter(u"StatusQuery"_s);
    if (!supervise) {
        QVERIFY2(queries.isEmpty(), qPrintable(queries.join(u'\n')));
        QVERIFY(logged(kRaised).isEmpty());
        QVERIFY(install.consoleLines().filter(u"status bar:"_s).isEmpty());
        return;
    }
    // Both terminals were asked, the silent one left unanswered twice, the
    // other answered every time, and no two queries came within 5 s.
    QVERIFY(queries.filter(u"node 17 -> no answer (silent)"_s).size() >= 2);
    QVERIFY(!queries.filter(u"node 1 -> 00 00 41 FF"_s).isEmpty());
    QVERIFY(queries.filter(u"node 1 -> no answer"_s).isEmpty());
    QDateTime previous;
    for (const E2eInstall::LoggedFrame &f : install.loggedFrames(start.date())) {
        if (f.name != u"StatusQuery")
            continue;
        if (previous.isValid())
            QVERIFY2(previous.msecsTo(f.at) >= 4500,
                     qPrintable(u"%1 ms apart"_s.arg(previous.msecsTo(f.at))));
        previous = f.at;
    }
}

QTEST_GUILESS_MAIN(tst_SupervisionE2e)
#include "tst_supervision_e2e.moc"
