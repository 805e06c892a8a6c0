// The duration probe on the real media stack: a file's length without
// playing it, failures for what is no media, and a cancelled probe says nothing.

#include "audio/enginemediaprobe.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_EngineMediaProbe : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void durations_data();
    void durations();
    void whatIsNoMediaFails_data();
    void whatIsNoMediaFails();
    void cancelledProbeSaysNothing_data();
    void cancelledProbeSaysNothing();

private:
    QTemporaryDir m_dir;
};

void tst_EngineMediaProbe::durations_data()
{
    QTest::addColumn<double>("seconds");
    QTest::newRow("0.6 s") << 0.6;
    QTest::newRow("2.3 s") << 2.3;
}

void tst_EngineMediaProbe::durations()
{
    QFETCH(double, seconds);
    const QString path = m_dir.filePath(QStringLiteral("tone %1.wav").arg(seconds));
    GbkFiles::writeBytes(path, TestMedia::wav(seconds));
    EngineMediaProbe probe;
    QSignalSpy found(&probe, &MediaProbe::durationFound);
    QSignalSpy failed(&probe, &MediaProbe::failed);
    probe.probe(path);
    QVERIFY(found.wait(EngineMediaProbe::kGiveUpMs + 2000));
    QCOMPARE(found.at(0).at(0).toString(), path);
    const qint64 ms = found.at(0).at(1).toLongLong();
    QVERIFY2(qAbs(ms - qint64(seconds * 1000)) <= 30, qPrintable(QString::number(ms)));
    QVERIFY(failed.isEmpty());
}

void tst_EngineMediaProbe::whatIsNoMediaFails_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::newRow("missing file") << QByteArray();
    QTest::newRow("text") << QByteArray("this is not a sound");
}

void tst_EngineMediaProbe::whatIsNoMediaFails()
{
    QFETCH(QByteArray, content);
    const QString path = m_dir.filePath(u"broken.mp3"_s);
    QFile::remove(path);
    if (!content.isEmpty())
        GbkFiles::writeBytes(path, content);
    EngineMediaProbe probe;
    QSignalSpy found(&probe, &MediaProbe::durationFound);
    QSignalSpy failed(&probe, &MediaProbe::failed);
    probe.probe(path);
    QVERIFY(failed.wait(EngineMediaProbe::kGiveUpMs + 2000));
    QCOMPARE(failed.at(0).at(0).toString(), path);
    QVERIFY(found.isEmpty());
    // A probe after a failure works as before.
    const QString good = m_dir.filePath(u"after.wav"_s);
    GbkFiles::writeBytes(good, TestMedia::wav(0.5));
    probe.probe(good);
    QVERIFY(found.wait(EngineMediaProbe::kGiveUpMs + 2000));
}

void tst_EngineMediaProbe::cancelledProbeSaysNothing_data()
{
    QTest::addColumn<bool>("exists");
    QTest::newRow("a sound") << true;
    QTest::newRow("a missing file") << false;
}

void tst_EngineMediaProbe::cancelledProbeSaysNothing()
{
    QFETCH(bool, exists);
    const QString path = m_dir.filePath(u"cancelled.wav"_s);
    QFile::remove(path);
    if (exists)
        GbkFiles::writeBytes(path, TestMedia::wav(0.5));
    EngineMediaProbe probe;
    QSignalSpy found(&probe, &MediaProbe::durationFound);
    QSignalSpy failed(&probe, &MediaProbe::failed);
    probe.probe(path);
    probe.cancel();
    QTest::qWait(1500);
    QVERIFY(found.isEmpty());
    QVERIFY(failed.isEmpty());
}

QTEST_MAIN(tst_EngineMediaProbe)
#include "tst_enginemediaprobe.moc"
