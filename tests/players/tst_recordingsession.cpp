// The recorder's media control on a fake recorder and a fake player: the
// time texts and slider rules, takes that add up to one recording, playback,
// opening and saving, and the scratch folder.

#include "players/recordingsession.h"
#include "players/recordingwave.h"
#include "support/fakemediaplayer.h"
#include "support/fakerecorder.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

using namespace Qt::StringLiterals;
using Mode = RecordingSession::Mode;

class tst_RecordingSession : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void timeText_data();
    void timeText();
    void recordingSlider_data();
    void recordingSlider();
    void playingSlider_data();
    void playingSlider();
    void startsEmpty();
    void recordingAt150SecondsShows75();
    void playbackAt30Of60Shows50();
    void pausedPlaybackKeepsTheSlider();
    void endAndStopOfPlayback();
    void takesAddUp();
    void pauseWhileRecordingEndsTheTake();
    void failedTakeKeepsTheRecording();
    void emptyTakeIsNoRecording();
    void takeOfAnotherFormatReplacesAnOpenedFile();
    void takeOfAnotherFormatKeepsAnUnsavedRecording();
    void openAFile();
    void openSomethingElse();
    void newRecordingStartsAfresh();
    void saveWritesTheRecording();
    void failedSaveKeepsItUnsaved();
    void scratchFolderGoesWithTheSession();
    void nothingElseStartsWhileBusy();
    void takeIsAddedInTheBackground_data();
    void takeIsAddedInTheBackground();
    void saveRunsInTheBackground_data();
    void saveRunsInTheBackground();
    void sessionGoneWhileSavingLeavesNothing();

private:
    // Records a take of ms milliseconds and closes it.
    void take(qint64 ms);
    // Saves and waits for the end of the save; returns whether it saved.
    bool saveAndWait(const QString &path);
    QString file(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    std::unique_ptr<FakeRecorder> m_recorder;
    std::unique_ptr<FakeMediaPlayer> m_player;
    std::unique_ptr<RecordingSession> m_session;
};

void tst_RecordingSession::init()
{
    m_recorder = std::make_unique<FakeRecorder>();
    m_player = std::make_unique<FakeMediaPlayer>();
    m_session = std::make_unique<RecordingSession>(*m_recorder, *m_player);
    QVERIFY(QDir(m_session->scratchFolder()).exists());
}

void tst_RecordingSession::cleanup()
{
    m_session.reset();
    m_player.reset();
    m_recorder.reset();
}

void tst_RecordingSession::take(qint64 ms)
{
    m_session->record();
    QCOMPARE(m_session->mode(), Mode::Recording);
    m_recorder->advance(ms);
    m_session->stop();
    QCOMPARE(m_session->mode(), Mode::Finishing);
    m_recorder->complete();
    // Added to the recording in the background when there is one.
    QTRY_COMPARE(m_session->mode(), Mode::Stopped);
}

bool tst_RecordingSession::saveAndWait(const QString &path)
{
    QSignalSpy ended(m_session.get(), &RecordingSession::saveEnded);
    if (!m_session->save(path))
        return false;
    if (!ended.wait() || ended.size() != 1)
        return false;
    return ended.at(0).at(0).toBool();
}

void tst_RecordingSession::timeText_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << qint64(0) << u"00:00"_s;
    QTest::newRow("just under a second") << qint64(999) << u"00:00"_s;
    QTest::newRow("59.9 s") << qint64(59999) << u"00:59"_s;
    QTest::newRow("a minute") << qint64(60000) << u"01:00"_s;
    QTest::newRow("150 s") << qint64(150000) << u"02:30"_s;
    QTest::newRow("over 99 minutes") << qint64(6001000) << u"100:01"_s;
    QTest::newRow("before the start") << qint64(-500) << u"00:00"_s;
}

void tst_RecordingSession::timeText()
{
    QFETCH(qint64, ms);
    QTEST(RecordingSession::timeText(ms), "text");
}

void tst_RecordingSession::recordingSlider_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<int>("slider");
    QTest::newRow("start") << qint64(0) << 0;
    QTest::newRow("0.999 s") << qint64(999) << 0;
    QTest::newRow("1 s") << qint64(1000) << 1;
    QTest::newRow("99.9 s: of 100") << qint64(99999) << 99;
    QTest::newRow("100 s: of 200") << qint64(100000) << 50;
    QTest::newRow("101 s: still 50") << qint64(101000) << 50;
    QTest::newRow("102 s") << qint64(102000) << 51;
    QTest::newRow("150 s") << qint64(150000) << 75;
    QTest::newRow("199 s") << qint64(199000) << 99;
    QTest::newRow("200 s: of 300") << qint64(200000) << 66;
    QTest::newRow("29 s (no rounding down to 28)") << qint64(29000) << 29;
    QTest::newRow("an hour: of 3700") << qint64(3600000) << 97;
}

void tst_RecordingSession::recordingSlider()
{
    QFETCH(qint64, ms);
    QTEST(RecordingSession::recordingSlider(ms), "slider");
}

void tst_RecordingSession::playingSlider_data()
{
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<int>("slider");
    QTest::newRow("30 of 60") << qint64(30000) << qint64(60000) << 50;
    QTest::newRow("start") << qint64(0) << qint64(60000) << 0;
    QTest::newRow("just before the end (whole part)") << qint64(59999) << qint64(60000) << 99;
    QTest::newRow("end") << qint64(60000) << qint64(60000) << 100;
    QTest::newRow("past the end") << qint64(61000) << qint64(60000) << 100;
    QTest::newRow("no length") << qint64(500) << qint64(0) << 0;
}

void tst_RecordingSession::playingSlider()
{
    QFETCH(qint64, position);
    QFETCH(qint64, length);
    QTEST(RecordingSession::playingSlider(position, length), "slider");
}

void tst_RecordingSession::startsEmpty()
{
    QCOMPARE(m_session->mode(), Mode::Stopped);
    QCOMPARE(m_session->positionText(), u"位 置\n00:00"_s);
    QCOMPARE(m_session->lengthText(), u"长 度\n00:00"_s);
    QCOMPARE(m_session->lengthMs(), 0);
    QCOMPARE(m_session->slider(), 0);
    QVERIFY(!m_session->isUnsaved());
    QVERIFY(m_session->fileName().isEmpty());
}

void tst_RecordingSession::recordingAt150SecondsShows75()
{
    m_session->record();
    QCOMPARE(m_recorder->calls,
             QStringList {u"record "_s + m_session->scratchFolder() + u"/take.wav"_s});
    m_recorder->advance(99000);
    QCOMPARE(m_session->slider(), 99);
    m_recorder->advance(51000);
    QCOMPARE(m_session->slider(), 75);
    QCOMPARE(m_session->positionText(), u"位 置\n02:30"_s);
    QCOMPARE(m_session->lengthText(), u"长 度\n02:30"_s);
}

void tst_RecordingSession::playbackAt30Of60Shows50()
{
    take(60000);
    QCOMPARE(m_session->lengthMs(), 60000);
    QCOMPARE(m_session->lengthText(), u"长 度\n01:00"_s);
    m_session->play();
    QCOMPARE(m_player->calls.constLast(), u"load "_s + m_session->fileName());
    QCOMPARE(m_session->mode(), Mode::Playing);
    m_player->position = 30.0;
    m_session->update();
    QCOMPARE(m_session->slider(), 50);
    QCOMPARE(m_session->positionText(), u"位 置\n00:30"_s);
    QCOMPARE(m_session->lengthText(), u"长 度\n01:00"_s);
    // The status timer reads the player by itself.
    m_player->position = 45.0;
    QTRY_COMPARE_WITH_TIMEOUT(m_session->slider(), 75, 5000);
    // The player may run past the length at the end: the display does not.
    m_player->position = 61.0;
    m_session->update();
    QCOMPARE(m_session->slider(), 100);
    QCOMPARE(m_session->positionMs(), 60000);
}

void tst_RecordingSession::pausedPlaybackKeepsTheSlider()
{
    take(60000);
    m_session->play();
    m_player->position = 30.0;
    m_session->update();
    m_session->pause();
    QCOMPARE(m_player->calls.constLast(), u"pause"_s);
    QCOMPARE(m_session->mode(), Mode::Paused);
    m_player->position = 40.0;
    m_session->update();
    QCOMPARE(m_session->positionText(), u"位 置\n00:40"_s);
    QCOMPARE(m_session->slider(), 50); // only playing moves it
    m_session->play();
    QCOMPARE(m_player->calls.constLast(), u"play"_s); // resumes, does not load again
    QCOMPARE(m_session->mode(), Mode::Playing);
    QCOMPARE(m_session->slider(), 66);
}

void tst_RecordingSession::endAndStopOfPlayback()
{
    take(60000);
    m_session->play();
    m_player->position = 59.5;
    m_session->update();
    m_player->finish();
    QCOMPARE(m_session->mode(), Mode::Stopped);
    QCOMPARE(m_session->slider(), 100);
    QCOMPARE(m_session->positionText(), u"位 置\n01:00"_s);
    m_session->play();
    QCOMPARE(m_player->calls.constLast(), u"load "_s + m_session->fileName()); // from the start
    m_player->position = 20.0;
    m_session->update();
    m_session->stop();
    QCOMPARE(m_player->calls.constLast(), u"stop"_s);
    QCOMPARE(m_session->mode(), Mode::Stopped);
    QCOMPARE(m_session->slider(), 0);
    QCOMPARE(m_session->positionMs(), 0);
}

void tst_RecordingSession::takesAddUp()
{
    QSignalSpy ended(m_session.get(), &RecordingSession::takeEnded);
    take(1000);
    QVERIFY(m_session->isUnsaved());
    QCOMPARE(ended.size(), 1);
    const QString recording = m_session->fileName();
    QCOMPARE(recording, m_session->scratchFolder() + u"/temp.wav"_s);
    QCOMPARE(m_session->positionMs(), 1000); // at the end of what was recorded

    // The next take goes on from the end.
    m_session->record();
    m_recorder->advance(500);
    QCOMPARE(m_session->positionMs(), 1500);
    QCOMPARE(m_session->lengthText(), u"长 度\n00:01"_s);
    m_recorder->advance(1500);
    m_session->stop();
    m_recorder->complete();
    QTRY_COMPARE(m_session->mode(), Mode::Stopped);
    QCOMPARE(m_session->fileName(), recording);
    QCOMPARE(m_session->lengthMs(), 3000);
    const RecordingWave::Info info = RecordingWave::read(recording);
    QCOMPARE(info.dataSize, 3 * 8000 * 2);
    // The samples are the first take's, then the second's.
    const QByteArray first = TestMedia::wav(1.0, 440, 8000).mid(44);
    QCOMPARE(GbkFiles::readBytes(recording).mid(44, first.size()), first);
    QVERIFY(!QFile::exists(m_session->scratchFolder() + u"/take.wav"_s));
}

void tst_RecordingSession::pauseWhileRecordingEndsTheTake()
{
    m_session->record();
    m_recorder->advance(2000);
    m_session->pause();
    QCOMPARE(m_recorder->calls.constLast(), u"stop"_s);
    QCOMPARE(m_session->mode(), Mode::Finishing);
    m_recorder->complete();
    m_session->record();
    m_recorder->advance(1000);
    m_session->stop();
    m_recorder->complete();
    QTRY_COMPARE(m_session->mode(), Mode::Stopped);
    QCOMPARE(m_session->lengthMs(), 3000);
}

void tst_RecordingSession::failedTakeKeepsTheRecording()
{
    take(2000);
    m_session->record();
    m_recorder->advance(700);
    m_recorder->fail(u"no sound input"_s);
    QCOMPARE(m_session->mode(), Mode::Stopped);
    QCOMPARE(m_session->error(), u"录音失败：no sound input"_s);
    QCOMPARE(m_session->lengthMs(), 2000);
    QCOMPARE(m_session->positionMs(), 2000);
    QVERIFY(m_session->isUnsaved());
    // The next command that works clears the error.
    m_session->play();
    QVERIFY(m_session->error().isEmpty());
}

void tst_RecordingSession::emptyTakeIsNoRecording()
{
    m_session->record();
    m_session->stop();
    m_recorder->complete(); // closed before any sound came
    QCOMPARE(m_session->mode(), Mode::Stopped);
    QCOMPARE(m_session->lengthMs(), 0);
    QVERIFY(!m_session->isUnsaved());
    QVERIFY(!m_session->error().isEmpty());
}

void tst_RecordingSession::takeOfAnotherFormatReplacesAnOpenedFile()
{
    const QByteArray opened = TestMedia::wav(2.0, 440, 22050);
    GbkFiles::writeBytes(file(u"opened.wav"_s), opened);
    QVERIFY(m_session->open(file(u"opened.wav"_s)));
    QCOMPARE(m_session->lengthMs(), 2000);
    take(1000); // 8000 samples a second: cannot follow the opened file
    QCOMPARE(m_session->lengthMs(), 1000);
    QVERIFY(m_session->error().isEmpty());
    QVERIFY(m_session->isUnsaved());
    QCOMPARE(m_session->fileName(), m_session->scratchFolder() + u"/temp.wav"_s);
    QCOMPARE(GbkFiles::readBytes(file(u"opened.wav"_s)), opened); // on disk as it was
}

void tst_RecordingSession::takeOfAnotherFormatKeepsAnUnsavedRecording()
{
    take(2000);
    m_recorder->sampleRate = 11025; // another input, another format
    take(1000);
    QCOMPARE(m_session->lengthMs(), 2000);
    QVERIFY(m_session->isUnsaved());
    QVERIFY(m_session->error().startsWith(u"录音失败："_s));
}

void tst_RecordingSession::openAFile()
{
    GbkFiles::writeBytes(file(u"a.wav"_s), TestMedia::wav(1.5, 440, 8000));
    take(5000);
    m_session->open(file(u"a.wav"_s));
    QCOMPARE(m_session->fileName(), file(u"a.wav"_s));
    QCOMPARE(m_session->lengthMs(), 1500);
    QCOMPARE(m_session->lengthText(), u"长 度\n00:01"_s);
    QCOMPARE(m_session->slider(), 0);
    QVERIFY(!m_session->isUnsaved());
    // The opened file plays, and a take goes on from its end into a copy.
    m_session->play();
    QCOMPARE(m_player->calls.constLast(), u"load "_s + file(u"a.wav"_s));
    m_session->stop();
    take(500);
    QCOMPARE(m_session->lengthMs(), 2000);
    QCOMPARE(RecordingWave::read(file(u"a.wav"_s)).durationMs(), 1500);
}

void tst_RecordingSession::openSomethingElse()
{
    take(1000);
    GbkFiles::writeBytes(file(u"song.mp3"_s), "ID3 not a wave file");
    QVERIFY(!m_session->open(file(u"song.mp3"_s)));
    QCOMPARE(m_session->error(), u"无法打开文件 "_s + file(u"song.mp3"_s));
    QCOMPARE(m_session->lengthMs(), 0); // closed, as the device was
    QVERIFY(m_session->fileName().isEmpty());
    QVERIFY(!m_session->playEnabled());
}

void tst_RecordingSession::newRecordingStartsAfresh()
{
    take(3000);
    m_session->play();
    m_session->newRecording();
    QCOMPARE(m_player->calls.constLast(), u"stop"_s);
    QCOMPARE(m_session->mode(), Mode::Stopped);
    QCOMPARE(m_session->lengthMs(), 0);
    QCOMPARE(m_session->positionText(), u"位 置\n00:00"_s);
    QCOMPARE(m_session->slider(), 0);
    QVERIFY(!m_session->isUnsaved());
    QVERIFY(!QFile::exists(m_session->scratchFolder() + u"/temp.wav"_s));
    take(1000);
    QCOMPARE(m_session->lengthMs(), 1000); // not added to the old one
}

void tst_RecordingSession::saveWritesTheRecording()
{
    take(1000);
    QVERIFY(saveAndWait(file(u"saved.wav"_s)));
    QVERIFY(!m_session->isUnsaved());
    QCOMPARE(GbkFiles::readBytes(file(u"saved.wav"_s)), GbkFiles::readBytes(m_session->fileName()));
    take(1000);
    QVERIFY(m_session->isUnsaved()); // recorded again since
}

void tst_RecordingSession::failedSaveKeepsItUnsaved()
{
    take(1000);
    const QString target = file(u"missing/saved.wav"_s);
    QVERIFY(!saveAndWait(target));
    QVERIFY(m_session->isUnsaved());
    QVERIFY(m_session->error().startsWith(u"保存失败："_s));
    QVERIFY(!QFile::exists(target));
}

void tst_RecordingSession::scratchFolderGoesWithTheSession()
{
    take(1000);
    const QString folder = m_session->scratchFolder();
    QVERIFY(QFile::exists(folder + u"/temp.wav"_s));
    m_session.reset();
    QVERIFY(!QDir(folder).exists());
}

void tst_RecordingSession::nothingElseStartsWhileBusy()
{
    take(1000);
    m_recorder->calls.clear();
    // Playing: Record waits for Stop.
    m_session->play();
    m_session->record();
    QCOMPARE(m_session->mode(), Mode::Playing);
    QVERIFY(m_recorder->calls.isEmpty());
    m_session->stop();
    // Recording: neither playing nor a second take starts, nor a file command.
    m_session->record();
    m_player->calls.clear();
    m_session->play();
    m_session->record();
    m_session->newRecording();
    QVERIFY(!m_session->open(m_session->fileName()));
    QCOMPARE(m_session->mode(), Mode::Recording);
    QCOMPARE(m_recorder->calls.size(), 1);
    QVERIFY(m_player->calls.isEmpty());
    QVERIFY(!m_session->save(file(u"x.wav"_s)));
    QVERIFY(!QFile::exists(file(u"x.wav"_s)));
}

void tst_RecordingSession::takeIsAddedInTheBackground_data()
{
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<bool>("late"); // after the last block was copied
    QTest::newRow("added") << false << false;
    QTest::newRow("stopped: the take goes") << true << false;
    QTest::newRow("stopped after the copy: the take goes") << true << true;
}

void tst_RecordingSession::takeIsAddedInTheBackground()
{
    QFETCH(bool, stopped);
    QFETCH(bool, late);
    take(2000);
    const QByteArray recording = GbkFiles::readBytes(m_session->fileName());
    QSignalSpy ended(m_session.get(), &RecordingSession::takeEnded);
    m_session->record();
    m_recorder->advance(1000);
    m_session->stop();
    m_recorder->complete();
    // Not in the recorder's report: the take ends once it is added.
    QCOMPARE(m_session->mode(), Mode::Finishing);
    QVERIFY(m_session->isCopying());
    QVERIFY(!m_session->isSaving());
    QCOMPARE(ended.size(), 0);
    QVERIFY(!m_session->fileCommandsEnabled());
    QVERIFY(!m_session->recordEnabled());
    if (late) {
        // The worker has looked for a stop for the last time; the copy is
        // dropped all the same, as its end was not taken yet.
        while (m_session->copyPercent() < 100)
            QThread::yieldCurrentThread();
    }
    if (stopped)
        m_session->stopCopying();
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(m_session->mode(), Mode::Stopped);
    QVERIFY(!m_session->isCopying());
    QCOMPARE(m_session->lengthMs(), stopped ? 2000 : 3000);
    QCOMPARE(m_session->error().isEmpty(), !stopped);
    if (stopped)
        QCOMPARE(GbkFiles::readBytes(m_session->fileName()), recording);
    QVERIFY(!QFile::exists(m_session->scratchFolder() + u"/take.wav"_s));
    QCOMPARE(QDir(m_session->scratchFolder()).entryList(QDir::Files), QStringList {u"temp.wav"_s});
}

void tst_RecordingSession::saveRunsInTheBackground_data()
{
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<bool>("late"); // after the last block was copied
    QTest::newRow("saved") << false << false;
    QTest::newRow("stopped: the old file stays") << true << false;
    QTest::newRow("stopped after the copy: the old file stays") << true << true;
}

void tst_RecordingSession::saveRunsInTheBackground()
{
    QFETCH(bool, stopped);
    QFETCH(bool, late);
    take(1000);
    const QTemporaryDir folder; // holds nothing else
    const QString target = folder.filePath(u"saved.wav"_s);
    GbkFiles::writeBytes(target, "an older file");
    QSignalSpy ended(m_session.get(), &RecordingSession::saveEnded);
    QVERIFY(m_session->save(target));
    // Under way until its end is taken here.
    QVERIFY(m_session->isSaving());
    QVERIFY(m_session->isCopying());
    QVERIFY(!m_session->recordEnabled());
    QVERIFY(!m_session->fileCommandsEnabled());
    QVERIFY(!m_session->save(folder.filePath(u"second.wav"_s)));
    m_session->newRecording();
    QVERIFY(!m_session->open(target));
    QCOMPARE(m_session->lengthMs(), 1000);
    if (late) {
        // The worker has looked for a stop for the last time; the copy is
        // dropped all the same, as its end was not taken yet.
        while (m_session->copyPercent() < 100)
            QThread::yieldCurrentThread();
    }
    if (stopped)
        m_session->stopCopying();
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).toBool(), !stopped);
    QVERIFY(!m_session->isSaving());
    QVERIFY(m_session->recordEnabled());
    QCOMPARE(m_session->isUnsaved(), stopped);
    QVERIFY(m_session->error().isEmpty()); // a stop is no failure
    QCOMPARE(GbkFiles::readBytes(target),
             stopped ? QByteArray("an older file") : GbkFiles::readBytes(m_session->fileName()));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList {u"saved.wav"_s});
}

void tst_RecordingSession::sessionGoneWhileSavingLeavesNothing()
{
    take(1000);
    const QTemporaryDir folder; // holds nothing else
    const QString target = folder.filePath(u"saved.wav"_s);
    GbkFiles::writeBytes(target, "an older file");
    QVERIFY(m_session->save(target));
    m_session.reset();
    QCOMPARE(GbkFiles::readBytes(target), "an older file");
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList {u"saved.wav"_s});
}

QTEST_GUILESS_MAIN(tst_RecordingSession)
#include "tst_recordingsession.moc"
