// The real recorder on the private sound server's null source: a recording
// becomes a WAV file that the real player plays for as long as it was
// recorded, and a failed recording leaves the recorder ready for the next.

#include "platform/qtmediaplayer.h"
#include "platform/qtrecorder.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_QtRecorder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void recordingPlaysBackWithItsLength();
    void unwritableFileFailsAndTheNextRecordingWorks();
    void stopBeforeAnySoundStillEnds();

private:
    // Records until at least ms have come in, then stops and waits for the end.
    void recordFor(QtRecorder &recorder, const QString &path, qint64 ms);
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void tst_QtRecorder::initTestCase()
{
    QProcess pactl;
    pactl.start(u"pactl"_s, {u"info"_s});
    const bool server = pactl.waitForFinished(5000) && pactl.exitCode() == 0;
    if (!server) {
        if (qEnvironmentVariableIsSet("QUELLON_REQUIRE_SOUND"))
            QFAIL("no sound server, although ./test started one");
        QSKIP("no sound server: run through ./test");
    }
    QVERIFY(m_dir.isValid());
}

void tst_QtRecorder::recordFor(QtRecorder &recorder, const QString &path, qint64 ms)
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

void tst_QtRecorder::recordingPlaysBackWithItsLength()
{
    const QString path = file(u"take.wav"_s);
    // Whatever was there is replaced, not added to.
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(200000, 'x'));
    }
    QtRecorder recorder;
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

    QtMediaPlayer player;
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

void tst_QtRecorder::unwritableFileFailsAndTheNextRecordingWorks()
{
    QtRecorder recorder;
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

void tst_QtRecorder::stopBeforeAnySoundStillEnds()
{
    // Stop at once after Record: the caller is told how it ended either way.
    QtRecorder recorder;
    QSignalSpy finished(&recorder, &Recorder::finished);
    QSignalSpy failed(&recorder, &Recorder::failed);
    recorder.record(file(u"short.wav"_s));
    recorder.stop();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size() + failed.size(), 1, 20000);
    QCOMPARE(recorder.state(), Recorder::State::Stopped);
    recordFor(recorder, file(u"after.wav"_s), 300);
}

QTEST_MAIN(tst_QtRecorder)
#include "tst_qtrecorder.moc"
