#include "console/clocktext.h"
#include "platform/secondticker.h"
#include "support/fakeclock.h"

#include <QSignalSpy>
#include <QTest>

class tst_Clock : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void clockField_data();
    void clockField();
    void delayLandsJustAfterTheSecond_data();
    void delayLandsJustAfterTheSecond();
    void tickerTicksOnTheSecond();
};

void tst_Clock::clockField_data()
{
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("text");
    QTest::newRow("Monday morning")
        << QDateTime(QDate(2026, 12, 7), QTime(8, 0, 5)) << " 2026年12月07日 星期一  08:00:05";
    QTest::newRow("Sunday is 天") << QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59))
                                  << " 2026年12月06日 星期天  23:59:59";
    QTest::newRow("single-digit month and day")
        << QDateTime(QDate(2027, 1, 2), QTime(0, 0, 0)) << " 2027年01月02日 星期六  00:00:00";
}

void tst_Clock::clockField()
{
    QFETCH(QDateTime, moment);
    QFETCH(QString, text);
    QCOMPARE(clockFieldText(moment), text);
}

void tst_Clock::delayLandsJustAfterTheSecond_data()
{
    QTest::addColumn<int>("msec");
    QTest::newRow("on the second") << 0;
    QTest::newRow("mid second") << 500;
    QTest::newRow("just before") << 999;
}

void tst_Clock::delayLandsJustAfterTheSecond()
{
    QFETCH(int, msec);
    const int delay = SecondTicker::delayToNextSecond(msec);
    const int landing = msec + delay; // milliseconds from the start of this second
    QVERIFY(landing > 1000);
    QVERIFY(landing < 1050);
}

void tst_Clock::tickerTicksOnTheSecond()
{
    SystemClock clock;
    SecondTicker ticker(clock);
    QSignalSpy ticks(&ticker, &SecondTicker::tick);
    ticker.start();
    QVERIFY(ticks.wait(2500));
    ticker.stop();
    QVERIFY(!ticker.isActive());
}

QTEST_GUILESS_MAIN(tst_Clock)
#include "tst_clock.moc"
