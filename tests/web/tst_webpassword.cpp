#include "web/webpassword.h"

#include <QTest>
#include <QThread>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

// Iterations for the tests that are not about the cost: the least accepted.
static constexpr int Fast = WebPassword::MinIterations;

class tst_WebPassword : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void storedTextHoldsNoPassword();
    void saltsDiffer();
    void matchesIndependentPbkdf2();
    void defaultCostIsHigh();
    void malformedStoredTextMatchesNothing_data();
    void malformedStoredTextMatchesNothing();
    void unusablePasswordsAreNotHashed_data();
    void unusablePasswordsAreNotHashed();
    void tooLongIsNotCut();
    void backgroundResultsReachTheCaller();
    void backgroundResultIsDroppedWithItsContext();
};

void tst_WebPassword::roundTrip_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("other");

    QTest::newRow("ascii") << u"office-2026"_s << u"office-2025"_s;
    QTest::newRow("chinese") << u"广播室密码"_s << u"广播室密玛"_s;
    QTest::newRow("separator inside") << u"a$b$c$d"_s << u"a$b$c"_s;
    QTest::newRow("case matters") << u"Secret"_s << u"secret"_s;
    QTest::newRow("trailing blank matters") << u"pass "_s << u"pass"_s;
    QTest::newRow("longest allowed") << QString(WebPassword::MaxPasswordLength, u'x')
                                     << QString(WebPassword::MaxPasswordLength - 1, u'x');
}

void tst_WebPassword::roundTrip()
{
    QFETCH(QString, password);
    QFETCH(QString, other);
    const QString stored = WebPassword::hash(password, Fast);
    QVERIFY(WebPassword::isWellFormed(stored));
    QVERIFY(WebPassword::verify(password, stored));
    QVERIFY(!WebPassword::verify(other, stored));
}

void tst_WebPassword::storedTextHoldsNoPassword()
{
    const QString password = u"plain-text-must-not-show"_s;
    const QString stored = WebPassword::hash(password, 4321);
    const QStringList parts = stored.split(u'$');
    QCOMPARE(parts.size(), 4);
    QCOMPARE(parts[0], u"pbkdf2-sha256"_s);
    QCOMPARE(parts[1], u"4321"_s);
    QCOMPARE(QByteArray::fromBase64(parts[2].toLatin1()).size(), WebPassword::SaltBytes);
    QCOMPARE(QByteArray::fromBase64(parts[3].toLatin1()).size(), WebPassword::HashBytes);
    QVERIFY(!stored.contains(password));
    QVERIFY(!stored.contains(QString::fromLatin1(password.toUtf8().toBase64())));
}

void tst_WebPassword::saltsDiffer()
{
    const QString a = WebPassword::hash(u"same"_s, Fast);
    const QString b = WebPassword::hash(u"same"_s, Fast);
    QCOMPARE_NE(a.section(u'$', 2, 2), b.section(u'$', 2, 2));
    QCOMPARE_NE(a.section(u'$', 3, 3), b.section(u'$', 3, 3));
    QVERIFY(WebPassword::verify(u"same"_s, a));
    QVERIFY(WebPassword::verify(u"same"_s, b));
}

// A stored text made by hand from a published PBKDF2-HMAC-SHA256 test
// vector (4096 iterations; the first 32 bytes of its 40-byte key): the hash
// is the standard one, not something only this code can check.
void tst_WebPassword::matchesIndependentPbkdf2()
{
    const QByteArray salt("saltSALTsaltSALTsaltSALTsaltSALTsalt");
    const QByteArray expected
        = QByteArray::fromHex("348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1");
    const QString stored = u"pbkdf2-sha256$4096$"_s + QString::fromLatin1(salt.toBase64()) + u'$'
        + QString::fromLatin1(expected.toBase64());
    QVERIFY(WebPassword::isWellFormed(stored));
    QVERIFY(WebPassword::verify(u"passwordPASSWORDpassword"_s, stored));
    QVERIFY(!WebPassword::verify(u"passwordPASSWORDpassworD"_s, stored));
}

void tst_WebPassword::defaultCostIsHigh()
{
    const QString stored = WebPassword::hash(u"x"_s);
    QVERIFY(WebPassword::verify(u"x"_s, stored));
    QVERIFY2(stored.section(u'$', 1, 1).toInt() >= 50000, qPrintable(stored));
}

void tst_WebPassword::malformedStoredTextMatchesNothing_data()
{
    QTest::addColumn<QString>("stored");

    const QString salt = QString::fromLatin1(QByteArray("0123456789abcdef").toBase64());
    const QString hash = QString::fromLatin1(QByteArray(32, 'h').toBase64());
    const auto text
        = [&](const QString &scheme, const QString &count, const QString &s, const QString &h) {
              return QStringList {scheme, count, s, h}.join(u'$');
          };
    const QString scheme = u"pbkdf2-sha256"_s;

    QTest::newRow("empty") << QString();
    QTest::newRow("the password itself") << u"secret"_s;
    QTest::newRow("other scheme") << text(u"pbkdf2-sha1"_s, u"4096"_s, salt, hash);
    QTest::newRow("three parts") << QStringList {scheme, u"4096"_s, salt}.join(u'$');
    QTest::newRow("five parts") << text(scheme, u"4096"_s, salt, hash) + u"$x"_s;
    QTest::newRow("signed count") << text(scheme, u"+4096"_s, salt, hash);
    QTest::newRow("blank in count") << text(scheme, u" 4096"_s, salt, hash);
    QTest::newRow("count not a number") << text(scheme, u"many"_s, salt, hash);
    QTest::newRow("count too small") << text(scheme, u"999"_s, salt, hash);
    QTest::newRow("count too large") << text(scheme, u"1000001"_s, salt, hash);
    QTest::newRow("fullwidth digits") << text(scheme, u"４０９６"_s, salt, hash);
    QTest::newRow("salt not base64") << text(scheme, u"4096"_s, u"c2Fs*dA=="_s, hash);
    QTest::newRow("salt too short") << text(scheme, u"4096"_s, u"YWJj"_s, hash);
    QTest::newRow("hash too short") << text(scheme, u"4096"_s, salt, hash.left(20));
    QTest::newRow("hash empty") << text(scheme, u"4096"_s, salt, QString());
}

void tst_WebPassword::malformedStoredTextMatchesNothing()
{
    QFETCH(QString, stored);
    QVERIFY(!WebPassword::isWellFormed(stored));
    QVERIFY(!WebPassword::verify(u"secret"_s, stored));
}

void tst_WebPassword::unusablePasswordsAreNotHashed_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("iterations");

    QTest::newRow("empty") << QString() << Fast;
    QTest::newRow("too long") << QString(WebPassword::MaxPasswordLength + 1, u'x') << Fast;
    QTest::newRow("too few iterations") << u"fine"_s << WebPassword::MinIterations - 1;
    QTest::newRow("too many iterations") << u"fine"_s << WebPassword::MaxIterations + 1;
}

void tst_WebPassword::unusablePasswordsAreNotHashed()
{
    QFETCH(QString, password);
    QFETCH(int, iterations);
    QVERIFY(WebPassword::hash(password, iterations).isEmpty());
}

// A password one character too long is refused, not cut to the one stored.
void tst_WebPassword::tooLongIsNotCut()
{
    const QString longest(WebPassword::MaxPasswordLength, u'x');
    const QString stored = WebPassword::hash(longest, Fast);
    QVERIFY(WebPassword::verify(longest, stored));
    QVERIFY(!WebPassword::verify(longest + u'x', stored));
}

void tst_WebPassword::backgroundResultsReachTheCaller()
{
    QObject context;
    std::optional<QString> stored;
    QThread *deliveredOn = nullptr;
    WebPassword::hashInBackground(u"right"_s, Fast).then(&context, [&](const QString &text) {
        stored = text;
        deliveredOn = QThread::currentThread();
    });
    QTRY_VERIFY(stored.has_value());
    QCOMPARE(deliveredOn, QThread::currentThread());
    QVERIFY(WebPassword::verify(u"right"_s, *stored));

    std::optional<bool> right;
    std::optional<bool> wrong;
    WebPassword::verifyInBackground(u"right"_s, *stored).then(&context, [&](bool ok) {
        right = ok;
    });
    WebPassword::verifyInBackground(u"wrong"_s, *stored).then(&context, [&](bool ok) {
        wrong = ok;
    });
    QTRY_VERIFY(right.has_value() && wrong.has_value());
    QCOMPARE(*right, true);
    QCOMPARE(*wrong, false);
}

// A log-in whose connection went away while its password was checked
// leaves nothing to call.
void tst_WebPassword::backgroundResultIsDroppedWithItsContext()
{
    // The slow count: a fast check could end before the continuation is
    // attached, and Qt then runs it at once, while the context still lives.
    const QString stored = WebPassword::hash(u"right"_s, WebPassword::DefaultIterations);
    auto context = std::make_unique<QObject>();
    bool called = false;
    QFuture<bool> pending = WebPassword::verifyInBackground(u"right"_s, stored);
    QFuture<void> handled = pending.then(context.get(), [&](bool) { called = true; });
    context.reset();
    QTRY_VERIFY(pending.isFinished());
    // Let any queued delivery happen before looking.
    QCoreApplication::processEvents();
    QCOMPARE(pending.result(), true);
    QVERIFY(!called);
}

QTEST_GUILESS_MAIN(tst_WebPassword)
#include "tst_webpassword.moc"
