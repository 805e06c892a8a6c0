// The supervision of an engine process: an engine that ends, hangs, never
// gets ready or speaks another version is replaced, restarts back off, and
// what was asked before the first engine was ready reaches it in order.

#include "audio/engineprocess.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {
constexpr EngineProcess::Timing kQuick {200, 800, 1500, 2000};
}

class tst_EngineProcess : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void faultyEnginesAreReplaced_data();
    void faultyEnginesAreReplaced();
    void requestsBeforeReadyArriveInOrder();
    void stoppedEngineIsReplacedAndTheOldOneEnds();

private:
    QString script(const QString &body);
    QTemporaryDir m_dir;
    int m_scripts = 0;
};

QString tst_EngineProcess::script(const QString &body)
{
    const QString path = m_dir.filePath(u"engine%1.sh"_s.arg(++m_scripts));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write("#!/bin/sh\n" + body.toUtf8() + "\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

void tst_EngineProcess::faultyEnginesAreReplaced_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("why");
    QTest::addColumn<int>("withinMs");
    QTest::newRow("ends at once") << u"exit 3"_s << u"ended (3)"_s << 1000;
    QTest::newRow("another version")
        << u"echo ready 99 $$; exec sleep 60"_s << u"version 99"_s << 1000;
    QTest::newRow("never ready") << u"exec sleep 60"_s << u"did not start within 1500"_s << 2500;
    QTest::newRow("ready, then silent")
        << u"echo ready 1 $$; exec sleep 60"_s << u"did not answer"_s << 1300;
    QTest::newRow("cannot be started") << QString() << u"cannot be started"_s << 1000;
}

void tst_EngineProcess::faultyEnginesAreReplaced()
{
    QFETCH(QString, body);
    QFETCH(QString, why);
    QFETCH(int, withinMs);
    const QString program = body.isEmpty() ? m_dir.filePath(u"missing"_s) : script(body);
    EngineProcess engine(program, u"test"_s, kQuick);
    QSignalSpy lost(&engine, &EngineProcess::lost);
    QElapsedTimer t;
    t.start();
    engine.warmUp();
    QVERIFY(lost.wait(withinMs + 2000));
    QVERIFY2(t.elapsed() <= withinMs + 500, qPrintable(QString::number(t.elapsed())));
    QVERIFY2(lost.first().first().toString().contains(why),
             qPrintable(lost.first().first().toString()));
    // It goes on trying, each failure waiting longer than the one before:
    // 0, 500, 1000, 2000 ms, never faster than that.
    QTest::qWait(3000);
    QVERIFY2(lost.size() >= 2 && lost.size() <= 5, qPrintable(QString::number(lost.size())));
}

void tst_EngineProcess::requestsBeforeReadyArriveInOrder()
{
    EngineProcess engine(EngineProcess::defaultProgram(), u"test"_s);
    QStringList heard;
    connect(&engine, &EngineProcess::message, this, [&heard](const audioproto::Message &m) {
        heard << QString::fromStdString(m.verb + ' ' + m.arg(0));
    });
    for (const char *verb : {"first", "second", "third"})
        engine.send(verb, {});
    QVERIFY(!engine.isReady());
    QTRY_COMPARE_WITH_TIMEOUT(heard.size(), 3, 20000);
    QCOMPARE(heard, (QStringList {u"bad first"_s, u"bad second"_s, u"bad third"_s}));
    QVERIFY(engine.isReady());
    QCOMPARE(engine.restarts(), 0);
}

void tst_EngineProcess::stoppedEngineIsReplacedAndTheOldOneEnds()
{
    EngineProcess engine(EngineProcess::defaultProgram(), u"test"_s, kQuick);
    QSignalSpy restarted(&engine, &EngineProcess::restarted);
    engine.warmUp();
    QTRY_VERIFY_WITH_TIMEOUT(engine.isReady(), 20000);
    const qint64 old = engine.processId();
    QVERIFY(old > 0);
    QCOMPARE(::kill(pid_t(old), SIGSTOP), 0);
    QElapsedTimer t;
    t.start();
    QVERIFY(restarted.wait(10000));
    // The answer time plus one ping, and the new engine's start.
    QVERIFY2(t.elapsed() < kQuick.answerMs + kQuick.pingMs + 3000,
             qPrintable(QString::number(t.elapsed())));
    QVERIFY(restarted.first().first().toString().contains(u"did not answer"_s));
    QVERIFY(engine.isReady());
    QVERIFY(engine.processId() != old);
    QCOMPARE(engine.restarts(), 1);
    // The stopped engine was killed, not left behind.
    QTRY_VERIFY(::kill(pid_t(old), 0) != 0);
}

QTEST_GUILESS_MAIN(tst_EngineProcess)
#include "tst_engineprocess.moc"
