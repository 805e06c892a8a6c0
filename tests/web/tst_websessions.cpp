#include "web/websessions.h"

#include "support/fakeclock.h"

#include <QSet>
#include <QTest>

class tst_WebSessions : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void tokensAreRandomAndUrlSafe();
    void unknownOrMalformedIdsFindNothing_data();
    void unknownOrMalformedIdsFindNothing();
    void expiry_data();
    void expiry();
    void clockSetBackEndsSessions();
    void csrf_data();
    void csrf();
    void endAndEndAll();
    void floodOfLoginsEndsLongestIdle();
};

void tst_WebSessions::tokensAreRandomAndUrlSafe()
{
    FakeClock clock;
    WebSessions sessions(clock);
    QSet<QByteArray> seen;
    for (int i = 0; i < WebSessions::MaxSessions; ++i) {
        const WebSessions::Session s = sessions.start();
        QVERIFY(WebSessions::looksLikeToken(s.id));
        QVERIFY(WebSessions::looksLikeToken(s.csrfToken));
        QCOMPARE(s.id.size(), 43);
        QVERIFY(!seen.contains(s.id));
        QVERIFY(!seen.contains(s.csrfToken));
        seen << s.id << s.csrfToken;
    }
    QCOMPARE(sessions.count(), WebSessions::MaxSessions);
    // 32 random bytes: over all tokens every base64url character turns up
    // somewhere, which a counter or a clock-seeded id would not give.
    QSet<char> chars;
    for (const QByteArray &t : std::as_const(seen)) {
        for (const char c : t)
            chars.insert(c);
    }
    QVERIFY2(chars.size() > 60, QByteArray::number(chars.size()).constData());
}

void tst_WebSessions::unknownOrMalformedIdsFindNothing_data()
{
    QTest::addColumn<QByteArray>("id");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("unknown") << QByteArray(43, 'A');
    QTest::newRow("one short") << QByteArray(42, 'A');
    QTest::newRow("one long") << QByteArray(44, 'A');
    QTest::newRow("standard base64") << (QByteArray(41, 'A') + "+/");
    QTest::newRow("padding") << (QByteArray(42, 'A') + "=");
    QTest::newRow("path") << (QByteArray("../") + QByteArray(40, 'A'));
}

void tst_WebSessions::unknownOrMalformedIdsFindNothing()
{
    QFETCH(QByteArray, id);
    FakeClock clock;
    WebSessions sessions(clock);
    sessions.start();
    QCOMPARE(sessions.use(id), nullptr);
    QVERIFY(!sessions.csrfMatches(id, sessions.start().csrfToken));
}

void tst_WebSessions::expiry_data()
{
    QTest::addColumn<QList<int>>("gaps"); // seconds between uses
    QTest::addColumn<bool>("alive"); // at the last use

    QTest::newRow("idle just under the limit") << QList<int> {30 * 60 - 1} << true;
    QTest::newRow("idle the limit") << QList<int> {30 * 60} << false;
    QTest::newRow("use restarts the idle time") << QList<int> {20 * 60, 20 * 60, 20 * 60} << true;
    QList<int> allDay(36, 20 * 60); // 12 hours in steps of 20 minutes
    QList<int> justUnder = allDay;
    justUnder.last() -= 1;
    QTest::newRow("in use until the lifetime") << justUnder << true;
    QTest::newRow("in use past the lifetime") << allDay << false;
}

void tst_WebSessions::expiry()
{
    QFETCH(QList<int>, gaps);
    QFETCH(bool, alive);
    FakeClock clock;
    WebSessions sessions(clock);
    const QByteArray id = sessions.start().id;
    for (qsizetype i = 0; i < gaps.size(); ++i) {
        clock.advanceSeconds(gaps[i]);
        if (i + 1 < gaps.size())
            QVERIFY(sessions.use(id));
    }
    QCOMPARE(sessions.use(id) != nullptr, alive);
    QCOMPARE(sessions.count(), alive ? 1 : 0);
    // An ended session does not come back.
    clock.advanceSeconds(-gaps.last());
    if (!alive)
        QCOMPARE(sessions.use(id), nullptr);
}

void tst_WebSessions::clockSetBackEndsSessions()
{
    FakeClock clock;
    WebSessions sessions(clock);
    const QByteArray id = sessions.start().id;
    clock.advanceSeconds(-3600);
    QCOMPARE(sessions.use(id), nullptr);
}

void tst_WebSessions::csrf_data()
{
    QTest::addColumn<QString>("token"); // "own", "other", "altered", "empty"
    QTest::addColumn<int>("secondsLater");
    QTest::addColumn<bool>("ended");
    QTest::addColumn<bool>("matches");

    QTest::newRow("own token") << "own" << 0 << false << true;
    QTest::newRow("another session's token") << "other" << 0 << false << false;
    QTest::newRow("last character altered") << "altered" << 0 << false << false;
    QTest::newRow("empty") << "empty" << 0 << false << false;
    QTest::newRow("the session id itself") << "id" << 0 << false << false;
    QTest::newRow("own token, session ended") << "own" << 0 << true << false;
    QTest::newRow("own token, session expired")
        << "own" << WebSessions::IdleSeconds << false << false;
}

void tst_WebSessions::csrf()
{
    QFETCH(QString, token);
    QFETCH(int, secondsLater);
    QFETCH(bool, ended);
    QFETCH(bool, matches);
    FakeClock clock;
    WebSessions sessions(clock);
    const WebSessions::Session mine = sessions.start();
    const WebSessions::Session other = sessions.start();
    QByteArray sent;
    if (token == u"own")
        sent = mine.csrfToken;
    else if (token == u"other")
        sent = other.csrfToken;
    else if (token == u"altered")
        sent = mine.csrfToken.chopped(1) + (mine.csrfToken.endsWith('A') ? "B" : "A");
    else if (token == u"id")
        sent = mine.id;
    clock.advanceSeconds(secondsLater);
    if (ended)
        sessions.end(mine.id);
    QCOMPARE(sessions.csrfMatches(mine.id, sent), matches);
    // The other session is not touched by what happened to this one.
    if (secondsLater == 0)
        QVERIFY(sessions.csrfMatches(other.id, other.csrfToken));
}

void tst_WebSessions::endAndEndAll()
{
    FakeClock clock;
    WebSessions sessions(clock);
    const QByteArray a = sessions.start().id;
    const QByteArray b = sessions.start().id;
    const QByteArray c = sessions.start().id;
    sessions.end(b);
    QCOMPARE(sessions.count(), 2);
    QVERIFY(sessions.use(a));
    QCOMPARE(sessions.use(b), nullptr);
    QVERIFY(sessions.use(c));
    sessions.endAll();
    QCOMPARE(sessions.count(), 0);
    QCOMPARE(sessions.use(a), nullptr);
    QCOMPARE(sessions.use(c), nullptr);
}

void tst_WebSessions::floodOfLoginsEndsLongestIdle()
{
    FakeClock clock;
    WebSessions sessions(clock);
    const QByteArray operatorId = sessions.start().id;
    clock.advanceSeconds(1);
    const QByteArray idle = sessions.start().id;
    for (int i = 2; i < WebSessions::MaxSessions; ++i)
        sessions.start();
    clock.advanceSeconds(1);
    QVERIFY(sessions.use(operatorId)); // the operator keeps using theirs
    for (int i = 0; i < 3 * WebSessions::MaxSessions; ++i) {
        clock.advanceMs(10);
        sessions.start();
        QVERIFY(sessions.use(operatorId));
    }
    QCOMPARE(sessions.count(), WebSessions::MaxSessions);
    QCOMPARE(sessions.use(idle), nullptr);
    QVERIFY(sessions.use(operatorId));
}

QTEST_GUILESS_MAIN(tst_WebSessions)
#include "tst_websessions.moc"
