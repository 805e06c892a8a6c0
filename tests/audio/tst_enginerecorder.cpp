// The real recorder on the private sound server's null source: a recording
// becomes a WAV file that the real player plays for as long as it was
// recorded, and a failed recording leaves the recorder ready for the next.

#include "audio/enginemediaplayer.h"
#include "audio/enginerecorder.h"
#include "support/gbkfiles.h"
#include "support/soundmonitor.h"
#include "support/testmedia.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_EngineRecorder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void recordingPlaysBackWithItsLength();
    void unwritableFileFailsAndTheNextRecordingWorks();
    void stopBeforeAnySoundStillEnds();
    void fiftyTakesEachWithSound();

private:
    // Records until at least ms have come in, then stops and waits for the end.
    void recordFor(EngineRecorder &recorder, const QString &path, qint64 ms);
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void tst_EngineRecorder::initTestCase()
{
    QUELLON_NEED_SOUND_SERVER();
    QVERIFY(m_dir.isValid());
}

void tst_EngineRecorder::recordFor(EngineRecorder &recorder, const QString &path, qint64 ms)
{
    QSignalSpy finished(&recorder, &Recorder::finished);
    QSignalSpy failed(&recorder, &Recorder::failed);
    recorder.record(path);
    QCOMPARE(recorder.state(), Recorder::State::Recording);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.durationMs() >= ms || !failed.isEmpty(), 20000);
    QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
    recorder.stop();
    QCOMPARE(recorder.state(), Recorder::State::Stopping);
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty() || !failed.isEmpty(), 20000);
    QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.constFirst().constFirst().toString(), path);
    QCOMPARE(recorder.state(), Recorder::State::Stopped);
}

void tst_EngineRecorder::recordingPlaysBackWithItsLength()
{
    const QString path = file(u"take.wav"_s);
    // Whatever was there is replaced, not added to.
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(200000, 'x'));
    }
    EngineRecorder recorder;
    QSignalSpy durations(&recorder, &Recorder::durationChanged);
    recordFor(recorder, path, 1200);
    QVERIFY(durations.size() >= 2); // the length was told as it grew
    const qint64 recorded = recorder.durationMs();
    QVERIFY(recorded >= 1200);

    QFile wav(path);
    QVERIFY(wav.open(QIODevice::ReadOnly));
    const QByteArray header = wav.read(12);
    QCOMPARE(header.left(4), QByteArrayLiteral("RIFF"));
    QCOMPARE(header.mid(8, 4), QByteArrayLiteral("WAVE"));

    EngineMediaPlayer player;
    QSignalSpy ended(&player, &MediaPlayer::endOfStream);
    QSignalSpy playFailed(&player, &MediaPlayer::failed);
    player.loadAndPlay(path);
    QTRY_VERIFY_WITH_TIMEOUT(player.durationSeconds() > 0 || !playFailed.isEmpty(), 15000);
    QVERIFY(playFailed.isEmpty());
    // The file plays as long as the recorder said it recorded.
    QVERIFY2(
        qAbs(player.durationSeconds() * 1000 - double(recorded)) < 300,
        qPrintable(u"played %1 s, recorded %2 ms"_s.arg(player.durationSeconds()).arg(recorded)));
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 20000);
}

void tst_EngineRecorder::unwritableFileFailsAndTheNextRecordingWorks()
{
    EngineRecorder recorder;
    QSignalSpy failed(&recorder, &Recorder::failed);
    QSignalSpy finished(&recorder, &Recorder::finished);
    recorder.record(file(u"no/such/folder/take.wav"_s));
    QTRY_VERIFY_WITH_TIMEOUT(!failed.isEmpty() || recorder.durationMs() > 300, 20000);
    if (failed.isEmpty())
        recorder.stop(); // the backend found out only when closing the file
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 20000);
    QVERIFY(finished.isEmpty());
    QCOMPARE(recorder.state(), Recorder::State::Stopped);

    recordFor(recorder, file(u"next.wav"_s), 300);
    QVERIFY(QFile(file(u"next.wav"_s)).size() > 44);
    QCOMPARE(failed.size(), 1);
}

void tst_EngineRecorder::stopBeforeAnySoundStillEnds()
{
    // Stop at once after Record: the caller is told how it ended either way.
    EngineRecorder recorder;
    QSignalSpy finished(&recorder, &Recorder::finished);
    QSignalSpy failed(&recorder, &Recorder::failed);
    recorder.record(file(u"short.wav"_s));
    recorder.stop();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size() + failed.size(), 1, 20000);
    QCOMPARE(recorder.state(), Recorder::State::Stopped);
    recordFor(recorder, file(u"after.wav"_s), 300);
}

void tst_EngineRecorder::fiftyTakesEachWithSound()
{
    // A sink of the test's own plays a tone; its monitor is the input.
    PrivateSink sink;
    QVERIFY(sink.isLoaded());
    qputenv("PULSE_SINK", sink.name().toUtf8());
    qputenv("PULSE_SOURCE", sink.monitor().toUtf8());
    const QString tone = file(u"tone.wav"_s);
    GbkFiles::writeBytes(tone, TestMedia::wav(120.0, 440.0, 8000));
    EngineMediaPlayer player;
    EngineRecorder recorder;
    qunsetenv("PULSE_SINK");
    qunsetenv("PULSE_SOURCE");
    player.loadAndPlay(tone);
    QTRY_VERIFY_WITH_TIMEOUT(player.positionSeconds() > 0.3, 20000);
    int silent = 0;
    QStringList quiet;
    for (int take = 1; take <= 50; ++take) {
        const QString path = file(u"take%1.wav"_s.arg(take));
        recordFor(recorder, path, 300);
        if (QTest::currentTestFailed())
            return;
        // 16-bit stereo after a 44-byte header: the loudest sample tells.
        const QByteArray wav = GbkFiles::readBytes(path);
        int peak = 0;
        for (qsizetype i = 44; i + 1 < wav.size(); i += 2)
            peak
                = std::max(peak, std::abs(int(qint16(quint8(wav[i]) | (quint8(wav[i + 1]) << 8)))));
        if (peak < SoundMonitor::kThreshold) {
            ++silent;
            quiet << u"%1 (%2 bytes)"_s.arg(take).arg(wav.size());
        }
    }
    QVERIFY2(silent == 0, qPrintable(u"silent takes: "_s + quiet.join(u", "_s)));
    QCOMPARE(recorder.engine().restarts(), 0);
    player.stop();
}

QTEST_GUILESS_MAIN(tst_EngineRecorder)
#include "tst_enginerecorder.moc"
