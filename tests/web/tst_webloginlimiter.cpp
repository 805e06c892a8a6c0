#include "web/webloginlimiter.h"

#include "support/fakeclock.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_WebLoginLimiter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void failures_data();
    void failures();
    void successClears();
    void addressesCountApart();
    void mappedIpv4IsTheSameClient();
    void clockSetBack();
    void manyAddressesDoNotLiftABan();
    void checksInFlightCount_data();
    void checksInFlightCount();
    void ipv6Prefix_data();
    void ipv6Prefix();
};

static const QHostAddress Client(QStringLiteral("192.168.1.20"));

void tst_WebLoginLimiter::failures_data()
{
    QTest::addColumn<QList<int>>("failedAt"); // seconds from the start
    QTest::addColumn<int>("checkAt");
    QTest::addColumn<int>("waitSeconds"); // 0: allowed

    QTest::newRow("four failures") << QList<int> {0, 1, 2, 3} << 4 << 0;
    QTest::newRow("five failures") << QList<int> {0, 1, 2, 3, 4} << 4 << 596;
    QTest::newRow("banned until the first leaves the window")
        << QList<int> {0, 1, 2, 3, 4} << 599 << 1;
    QTest::newRow("free when the first leaves the window")
        << QList<int> {0, 1, 2, 3, 4} << 600 << 0;
    QTest::newRow("spread over the window") << QList<int> {0, 100, 200, 300, 400} << 400 << 200;
    QTest::newRow("spread wider than the window") << QList<int> {0, 150, 300, 450, 600} << 600 << 0;
    QTest::newRow("seven failures: the third decides")
        << QList<int> {0, 10, 20, 30, 40, 50, 60} << 60 << 560;
    QTest::newRow("long ago") << QList<int> {0, 1, 2, 3, 4} << 3600 << 0;
}

void tst_WebLoginLimiter::failures()
{
    QFETCH(QList<int>, failedAt);
    QFETCH(int, checkAt);
    QFETCH(int, waitSeconds);
    FakeClock clock;
    const QDateTime start = clock.now();
    WebLoginLimiter limiter(clock);
    for (const int s : failedAt) {
        clock.set(start.addSecs(s));
        limiter.recordFailure(Client);
    }
    clock.set(start.addSecs(checkAt));
    QCOMPARE(limiter.secondsUntilAllowed(Client), waitSeconds);
    QCOMPARE(limiter.allowed(Client), waitSeconds == 0);
    if (waitSeconds > 0) {
        clock.set(start.addSecs(checkAt + waitSeconds - 1));
        QVERIFY(!limiter.allowed(Client));
        clock.set(start.addSecs(checkAt + waitSeconds));
        QVERIFY(limiter.allowed(Client));
    }
}

void tst_WebLoginLimiter::successClears()
{
    FakeClock clock;
    WebLoginLimiter limiter(clock);
    for (int i = 0; i < WebLoginLimiter::MaxFailures - 1; ++i)
        limiter.recordFailure(Client);
    limiter.recordSuccess(Client);
    for (int i = 0; i < WebLoginLimiter::MaxFailures - 1; ++i)
        limiter.recordFailure(Client);
    QVERIFY(limiter.allowed(Client));
    limiter.recordFailure(Client);
    QVERIFY(!limiter.allowed(Client));
}

void tst_WebLoginLimiter::addressesCountApart()
{
    FakeClock clock;
    WebLoginLimiter limiter(clock);
    const QHostAddress other(QStringLiteral("192.168.1.21"));
    const QHostAddress v6(QStringLiteral("fe80::1"));
    for (int i = 0; i < WebLoginLimiter::MaxFailures; ++i)
        limiter.recordFailure(Client);
    QVERIFY(!limiter.allowed(Client));
    QVERIFY(limiter.allowed(other));
    QVERIFY(limiter.allowed(v6));
    QVERIFY(limiter.allowed(QHostAddress::LocalHost));
}

void tst_WebLoginLimiter::mappedIpv4IsTheSameClient()
{
    FakeClock clock;
    WebLoginLimiter limiter(clock);
    const QHostAddress mapped(QStringLiteral("::ffff:192.168.1.20"));
    QVERIFY(mapped.protocol() == QAbstractSocket::IPv6Protocol);
    for (int i = 0; i < WebLoginLimiter::MaxFailures; ++i)
        limiter.recordFailure(i % 2 ? mapped : Client);
    QVERIFY(!limiter.allowed(Client));
    QVERIFY(!limiter.allowed(mapped));
}

void tst_WebLoginLimiter::clockSetBack()
{
    FakeClock clock;
    WebLoginLimiter limiter(clock);
    for (int i = 0; i < WebLoginLimiter::MaxFailures; ++i)
        limiter.recordFailure(Client);
    clock.advanceSeconds(-3600);
    // Still refused, and for no longer than the window from now.
    QVERIFY(!limiter.allowed(Client));
    QCOMPARE(limiter.secondsUntilAllowed(Client), WebLoginLimiter::WindowSeconds);
    clock.advanceSeconds(WebLoginLimiter::WindowSeconds);
    QVERIFY(limiter.allowed(Client));
}

void tst_WebLoginLimiter::manyAddressesDoNotLiftABan()
{
    FakeClock clock;
    WebLoginLimiter limiter(clock);
    for (int i = 0; i < WebLoginLimiter::MaxFailures; ++i)
        limiter.recordFailure(Client);
    for (quint32 i = 0; i < 2 * WebLoginLimiter::MaxAddresses; ++i) {
        clock.advanceMs(10);
        limiter.recordFailure(QHostAddress(0x0a000000u + i));
    }
    QVERIFY(!limiter.allowed(Client));
    // The latest of the others are still counted.
    const QHostAddress last(0x0a000000u + 2 * WebLoginLimiter::MaxAddresses - 1);
    for (int i = 1; i < WebLoginLimiter::MaxFailures; ++i)
        limiter.recordFailure(last);
    QVERIFY(!limiter.allowed(last));
}

void tst_WebLoginLimiter::checksInFlightCount_data()
{
    QTest::addColumn<int>("earlierFailures");
    QTest::addColumn<int>("started"); // begin() accepted this many
    QTest::addColumn<bool>("allSucceed");
    QTest::addColumn<bool>("allowedAfter");

    QTest::newRow("a burst from a fresh address") << 0 << 5 << false << false;
    QTest::newRow("a burst after three failures") << 3 << 2 << false << false;
    QTest::newRow("a burst that succeeds") << 0 << 5 << true << true;
    QTest::newRow("one right after four failures") << 4 << 1 << true << true;
}

void tst_WebLoginLimiter::checksInFlightCount()
{
    QFETCH(int, earlierFailures);
    QFETCH(int, started);
    QFETCH(bool, allSucceed);
    QFETCH(bool, allowedAfter);
    FakeClock clock;
    WebLoginLimiter limiter(clock);
    for (int i = 0; i < earlierFailures; ++i)
        limiter.recordFailure(Client);
    int accepted = 0;
    for (int i = 0; i < 20; ++i)
        accepted += limiter.begin(Client) ? 1 : 0;
    QCOMPARE(accepted, started);
    QVERIFY(!limiter.allowed(Client));
    QVERIFY(limiter.allowed(QHostAddress(QStringLiteral("192.168.1.99"))));
    for (int i = 0; i < accepted; ++i)
        limiter.finish(Client, allSucceed);
    QCOMPARE(limiter.allowed(Client), allowedAfter);
    if (!allowedAfter)
        QCOMPARE(limiter.secondsUntilAllowed(Client), WebLoginLimiter::WindowSeconds);
}

void tst_WebLoginLimiter::ipv6Prefix_data()
{
    QTest::addColumn<QString>("failing"); // %1 runs through 1, 2, ... a failure each
    QTest::addColumn<int>("failures");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("a new address of the prefix for each guess")
        << u"2001:db8:1:2::%1"_s << 20 << u"2001:db8:1:2::99"_s << false;
    QTest::newRow("random-looking addresses of the prefix")
        << u"2001:db8:1:2:%1:a5c3:77e1:9%1"_s << 20 << u"2001:db8:1:2:ffff::1"_s << false;
    QTest::newRow("one guess fewer")
        << u"2001:db8:1:2::%1"_s << 19 << u"2001:db8:1:2::99"_s << true;
    QTest::newRow("the next prefix goes on")
        << u"2001:db8:1:2::%1"_s << 20 << u"2001:db8:1:3::1"_s << true;
    QTest::newRow("IPv4 addresses share nothing")
        << u"192.168.1.%1"_s << 20 << u"192.168.1.99"_s << true;
    QTest::newRow("one address stops at five")
        << u"2001:db8:1:2::1"_s << 5 << u"2001:db8:1:2::1"_s << false;
    QTest::newRow("and leaves its neighbours be")
        << u"2001:db8:1:2::1"_s << 5 << u"2001:db8:1:2::2"_s << true;
}

// An IPv6 client may take a new address of its prefix for every guess: the
// prefix as a whole gets a few more guesses than one address, not endless ones.
void tst_WebLoginLimiter::ipv6Prefix()
{
    QFETCH(QString, failing);
    QFETCH(int, failures);
    QFETCH(QString, checked);
    QFETCH(bool, allowed);
    FakeClock clock;
    WebLoginLimiter limiter(clock);
    for (int i = 1; i <= failures; ++i) {
        const QHostAddress address(failing.contains(u"%1") ? failing.arg(i) : failing);
        QVERIFY2(!address.isNull(), qPrintable(failing.arg(i)));
        if (limiter.begin(address))
            limiter.finish(address, false);
        clock.advanceSeconds(1);
    }
    QCOMPARE(limiter.allowed(QHostAddress(checked)), allowed);
}

QTEST_GUILESS_MAIN(tst_WebLoginLimiter)
#include "tst_webloginlimiter.moc"
