// The real console on a machine without a sound server, at the end of a day
// with automatic shutdown: its window shows, its messages do not hold it up,
// it tells the controller everything and its countdown ends the process.

#include "e2einstall.h"
#include "support/gbkfiles.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_EndOfDayE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void countdownEndsTheProcess();
};

void tst_EndOfDayE2e::countdownEndsTheProcess()
{
    E2eInstall install;
    // No week file: the day holds no item, so it is over at the first check.
    install.writeStore({{u"shutdown"_s, u"True"_s}, {u"auto_set_open_time"_s, u"True"_s}});
    QVERIFY(install.startSimulator());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(install.startConsole({{u"PULSE_SERVER"_s, u"unix:/nonexistent/native"_s}}));
    // The window is shown before the load sequence opens the port.
    const QStringList lines = install.consoleLines();
    const auto lineWith = [&lines](const QString &text) {
        return std::find_if(lines.cbegin(), lines.cend(),
                            [&text](const QString &l) { return l.contains(text); })
            - lines.cbegin();
    };
    QVERIFY(lineWith(u"the main window is shown"_s) < lineWith(u"opened"_s));
    // The mixer cannot open: its message is up while everything goes on.
    QVERIFY(install.waitConsole(u"Could not open the mixer."_s));
    // The day's end: everything off, tomorrow's power-on time, the notice, the clock.
    QVERIFY(install.waitSimulator(u"ZoneClose"_s, 20000));
    QVERIFY(install.waitSimulator(u"AmpClose"_s));
    QVERIFY(install.waitSimulator(u"PowerOnTimeSet"_s));
    QVERIFY(install.waitSimulator(u"ShutdownNotice"_s, 90000));
    QVERIFY(install.waitSimulator(u"ClockSet"_s, 30000));
    QProcess &console = install.console();
    QVERIFY2(console.waitForFinished(60000), "the countdown did not end the console");
    QCOMPARE(console.exitStatus(), QProcess::NormalExit);
    QCOMPARE(console.exitCode(), 0);
    // Five seconds to the first check, then forty ticks of two seconds.
    QVERIFY2(clock.elapsed() >= 84000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(install.waitConsole(u"the program ends"_s, 1000));
    QVERIFY(GbkFiles::readText(install.path(u"log.txt"_s)).contains(u",系统正常关机!"_s));
}

QTEST_MAIN(tst_EndOfDayE2e)
#include "tst_endofday_e2e.moc"
