#include "schedule/timetext.h"

#include <QTest>

class tst_TimeText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void seconds_data();
    void seconds();
    void fromSeconds_data();
    void fromSeconds();
    void isClockText_data();
    void isClockText();
    void clockText_data();
    void clockText();
};

void tst_TimeText::seconds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("midnight") << "00:00:00" << 0;
    QTest::newRow("last second") << "23:59:59" << 86399;
    QTest::newRow("one-digit fields") << "7:5:3" << 7 * 3600 + 5 * 60 + 3;
    QTest::newRow("hours and minutes") << "07:30" << 27000;
    QTest::newRow("hour 24") << "24:00:00" << -1;
    QTest::newRow("minute 60") << "10:60:00" << -1;
    QTest::newRow("text") << "ab:cd:ef" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("too many fields") << "1:2:3:4" << -1;
    QTest::newRow("one field") << "5" << -1;
    QTest::newRow("negative hour") << "-1:00:00" << -1;
    QTest::newRow("three-digit field") << "007:00:00" << -1;
}

void tst_TimeText::seconds()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(TimeText::seconds(text), value);
}

void tst_TimeText::fromSeconds_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << "00:00:00";
    QTest::newRow("past midnight wraps") << 86399 + 5 << "00:00:04";
    QTest::newRow("negative wraps back") << -2 << "23:59:58";
    QTest::newRow("afternoon") << 17 * 3600 + 31 * 60 << "17:31:00";
}

void tst_TimeText::fromSeconds()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(TimeText::fromSeconds(value), text);
}

void tst_TimeText::isClockText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("clock");
    QTest::newRow("midnight") << "00:00:00" << true;
    QTest::newRow("last second") << "23:59:59" << true;
    QTest::newRow("morning") << "08:30:00" << true;
    QTest::newRow("hour 24") << "24:00:00" << false;
    QTest::newRow("minute 60") << "10:60:00" << false;
    QTest::newRow("second 60") << "10:00:60" << false;
    QTest::newRow("one-digit hour") << "8:30:00" << false;
    QTest::newRow("leading blank") << " 8:30:00" << false;
    QTest::newRow("trailing blank") << "8:30:00 " << false;
    QTest::newRow("hours and minutes padded") << "   08:30" << false;
    QTest::newRow("blank in a field") << "08: 3:00" << false;
    QTest::newRow("other separator") << "08.30.00" << false;
    QTest::newRow("sign") << "-1:00:00" << false;
    QTest::newRow("letters") << "ab:cd:ef" << false;
    QTest::newRow("too long") << "08:30:000" << false;
    QTest::newRow("empty") << "" << false;
}

void tst_TimeText::isClockText()
{
    QFETCH(QString, text);
    QFETCH(bool, clock);
    QCOMPARE(TimeText::isClockText(text), clock);
    // A clock text is one fromSeconds writes, and nothing else is.
    const int value = TimeText::seconds(text);
    QCOMPARE(value >= 0 && TimeText::fromSeconds(value) == text, clock);
}

void tst_TimeText::clockText_data()
{
    QTest::addColumn<QString>("time");
    QTest::addColumn<int>("delta");
    QTest::addColumn<QString>("result");
    QTest::newRow("23:59:58 plus 5 s wraps forward") << "23:59:58" << 5 << "00:00:03";
    QTest::newRow("00:00:03 minus 5 s is taken absolute") << "00:00:03" << -5 << "00:00:02";
    QTest::newRow("00:00:03 minus a minute") << "00:00:03" << -60 << "00:00:57";
    QTest::newRow("08:00:00 minus 5 s") << "08:00:00" << -5 << "07:59:55";
    QTest::newRow("07:30:00 minus 5 minutes") << "07:30:00" << -300 << "07:25:00";
}

void tst_TimeText::clockText()
{
    QFETCH(QString, time);
    QFETCH(int, delta);
    QFETCH(QString, result);
    QCOMPARE(ClockText(TimeValue(time) + delta), result);
}

QTEST_GUILESS_MAIN(tst_TimeText)
#include "tst_timetext.moc"
