#include "players/recordingsession.h"

#include "platform/mediaplayer.h"
#include "platform/recorder.h"
#include "players/playlistfile.h"
#include "players/recordingwave.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

RecordingSession::RecordingSession(Recorder &recorder, MediaPlayer &player, QObject *parent)
    : QObject(parent)
    , m_recorder(recorder)
    , m_player(player)
    , m_scratch(QDir::tempPath() + u"/quellon-recorder-XXXXXX"_s)
{
    m_status.setInterval(kStatusIntervalMs);
    connect(&m_status, &QTimer::timeout, this, &RecordingSession::update);
    connect(&m_recorder, &Recorder::durationChanged, this, [this] {
        if (isBusyRecording())
            update();
    });
    connect(&m_recorder, &Recorder::finished, this, &RecordingSession::takeFinished);
    connect(&m_recorder, &Recorder::failed, this, &RecordingSession::takeFailed);
    connect(&m_player, &MediaPlayer::endOfStream, this, &RecordingSession::playbackEnded);
    connect(&m_player, &MediaPlayer::failed, this, &RecordingSession::playbackFailed);
}

RecordingSession::~RecordingSession()
{
    // The window closes only once a take has ended; this is for whatever
    // else ends the session, so nothing goes on into a removed folder.
    if (m_mode == Mode::Recording)
        m_recorder.stop();
    stopPlayback();
    if (m_thread) {
        // The copy stops at its next block; what it wrote goes.
        m_progress->stop();
        m_thread->wait();
        delete m_thread;
        m_outcome->prepared.discard();
    }
}

QString RecordingSession::scratchFile() const
{
    return m_scratch.filePath(u"temp.wav"_s);
}

QString RecordingSession::takeFile() const
{
    return m_scratch.filePath(u"take.wav"_s);
}

QString RecordingSession::timeText(qint64 ms)
{
    return minutesSeconds(ms);
}

int RecordingSession::playingSlider(qint64 positionMs, qint64 lengthMs)
{
    if (lengthMs <= 0)
        return 0;
    // At the end of a stream the position can run past the length.
    return int(std::clamp<qint64>(positionMs * 100 / lengthMs, 0, 100));
}

int RecordingSession::recordingSlider(qint64 positionMs)
{
    const qint64 elapsed = qMax<qint64>(positionMs, 0) / 1000;
    const qint64 scale = (elapsed / 100 + 1) * 100; // the next multiple of 100 seconds
    return int(elapsed * 100 / scale);
}

QString RecordingSession::positionText() const
{
    return u"位 置\n"_s + timeText(m_position);
}

QString RecordingSession::lengthText() const
{
    return u"长 度\n"_s + timeText(m_length);
}

bool RecordingSession::recordEnabled() const
{
    // A take added during a save would change the file being copied.
    return m_mode == Mode::Stopped && !isSaving();
}

bool RecordingSession::playEnabled() const
{
    return (m_mode == Mode::Stopped && m_length > 0) || m_mode == Mode::Paused;
}

bool RecordingSession::pauseEnabled() const
{
    return m_mode == Mode::Recording || m_mode == Mode::Playing;
}

bool RecordingSession::stopEnabled() const
{
    return m_mode == Mode::Recording || m_mode == Mode::Playing || m_mode == Mode::Paused;
}

void RecordingSession::setMode(Mode mode)
{
    m_mode = mode;
    if (mode == Mode::Recording || mode == Mode::Finishing || mode == Mode::Playing)
        m_status.start();
    else
        m_status.stop();
    Q_EMIT changed();
}

void RecordingSession::update()
{
    switch (m_mode) {
    case Mode::Recording:
    case Mode::Finishing:
        m_position = m_takeBase + m_recorder.durationMs();
        m_length = m_position;
        m_slider = recordingSlider(m_position);
        break;
    case Mode::Playing:
    case Mode::Paused: {
        const double seconds = m_player.positionSeconds();
        if (seconds >= 0)
            m_position = std::clamp<qint64>(std::llround(seconds * 1000), 0, m_length);
        if (m_mode == Mode::Playing)
            m_slider = playingSlider(m_position, m_length);
        break;
    }
    case Mode::Stopped:
        break;
    }
    Q_EMIT changed();
}

void RecordingSession::record()
{
    if (!recordEnabled())
        return;
    if (!m_scratch.isValid()) {
        m_error = u"录音失败：无法建立临时文件夹"_s;
        Q_EMIT changed();
        return;
    }
    m_error.clear();
    m_takeBase = m_length; // the take goes on where the recording ends
    m_position = m_length;
    m_slider = recordingSlider(m_position);
    setMode(Mode::Recording);
    m_recorder.record(takeFile());
}

void RecordingSession::play()
{
    if (!playEnabled())
        return;
    if (m_mode == Mode::Paused) {
        m_player.play();
    } else {
        m_error.clear();
        m_position = 0;
        m_player.loadAndPlay(m_file);
    }
    setMode(Mode::Playing);
    update();
}

void RecordingSession::pause()
{
    if (m_mode == Mode::Recording) {
        stop();
    } else if (m_mode == Mode::Playing) {
        m_player.pause();
        setMode(Mode::Paused);
        update();
    }
}

void RecordingSession::stop()
{
    if (m_mode == Mode::Recording) {
        setMode(Mode::Finishing);
        m_recorder.stop();
    } else if (m_mode == Mode::Playing || m_mode == Mode::Paused) {
        stopPlayback();
        m_slider = 0; // the stop notification
        setMode(Mode::Stopped);
    }
}

void RecordingSession::stopPlayback()
{
    if (m_mode == Mode::Playing || m_mode == Mode::Paused) {
        m_player.stop();
        m_position = 0;
    }
}

void RecordingSession::takeFinished(const QString &path)
{
    if (!isBusyRecording() || isCopying())
        return;
    const RecordingWave::Info take = RecordingWave::read(path);
    if (!take.valid || take.dataSize == 0) {
        takeFailed(u"没有录到声音"_s);
        return;
    }
    const RecordingWave::Info current
        = m_file.isEmpty() ? RecordingWave::Info() : RecordingWave::read(m_file);
    if (current.valid && current.dataSize > 0 && RecordingWave::joinable(current, take)) {
        // The recording may be long: the take is added in the background,
        // and the take has ended once it is added.
        startCopy(
            Work::Joining,
            [first = m_file, path, target = scratchFile()](RecordingWave::Progress &progress) {
                return RecordingWave::prepareJoin(first, path, target, progress);
            },
            &RecordingSession::joinFinished);
        return;
    }
    QString error;
    if (m_unsaved) {
        // The input changed its format between takes: the unsaved recording
        // is kept rather than replaced; the operator saves it and starts anew.
        error = u"录音格式不同，无法接在后面"_s;
    } else {
        // Nothing recorded before, or only a file that is on disk anyway.
        QFile::remove(scratchFile());
        if (!QFile::rename(path, scratchFile()))
            error = u"无法写入文件 "_s + scratchFile();
    }
    endTake(error);
}

void RecordingSession::joinFinished(const RecordingWave::Outcome &outcome)
{
    QString error = outcome.stopped ? u"已停止，这段录音没有接上"_s : outcome.error;
    if (error.isEmpty())
        error = outcome.prepared.finish();
    endTake(error);
}

void RecordingSession::endTake(const QString &error)
{
    QFile::remove(takeFile());
    if (error.isEmpty()) {
        m_file = scratchFile();
        m_unsaved = true;
        m_error.clear();
    } else {
        m_error = u"录音失败："_s + error;
    }
    m_length = m_file.isEmpty() ? 0 : RecordingWave::read(m_file).durationMs();
    m_position = m_length;
    setMode(Mode::Stopped);
    Q_EMIT takeEnded();
}

void RecordingSession::takeFailed(const QString &reason)
{
    if (!isBusyRecording() || isCopying())
        return;
    QFile::remove(takeFile());
    m_error = u"录音失败："_s + reason;
    m_length = m_file.isEmpty() ? 0 : RecordingWave::read(m_file).durationMs();
    m_position = m_length;
    setMode(Mode::Stopped);
    Q_EMIT takeEnded();
}

void RecordingSession::playbackEnded()
{
    if (m_mode != Mode::Playing && m_mode != Mode::Paused)
        return;
    m_position = m_length;
    m_slider = 100; // the end notification
    setMode(Mode::Stopped);
}

void RecordingSession::playbackFailed(const QString &reason)
{
    if (m_mode != Mode::Playing && m_mode != Mode::Paused)
        return;
    m_error = u"播放失败："_s + reason;
    m_position = 0;
    setMode(Mode::Stopped);
}

void RecordingSession::closeRecording()
{
    stopPlayback();
    QFile::remove(scratchFile());
    m_file.clear();
    m_position = 0;
    m_length = 0;
    m_slider = 0;
    m_unsaved = false;
    m_error.clear();
    setMode(Mode::Stopped);
}

void RecordingSession::newRecording()
{
    if (!fileCommandsEnabled())
        return;
    closeRecording();
}

bool RecordingSession::open(const QString &path)
{
    if (!fileCommandsEnabled())
        return false;
    closeRecording();
    const RecordingWave::Info info = RecordingWave::read(path);
    if (!info.valid) {
        m_error = u"无法打开文件 "_s + path;
        Q_EMIT changed();
        return false;
    }
    m_file = path;
    m_length = info.durationMs();
    Q_EMIT changed();
    return true;
}

bool RecordingSession::save(const QString &path)
{
    if (isBusyRecording() || isCopying() || m_file.isEmpty())
        return false;
    startCopy(
        Work::Saving,
        [source = m_file, path](RecordingWave::Progress &progress) {
            return RecordingWave::prepareSave(source, path, progress);
        },
        &RecordingSession::saveFinished);
    return true;
}

void RecordingSession::saveFinished(const RecordingWave::Outcome &outcome)
{
    QString error = outcome.error;
    if (!outcome.stopped && error.isEmpty())
        error = outcome.prepared.finish();
    const bool saved = !outcome.stopped && error.isEmpty();
    if (saved) {
        m_unsaved = false;
        m_error.clear();
    } else if (!outcome.stopped) {
        m_error = u"保存失败："_s + error;
    }
    Q_EMIT changed();
    Q_EMIT saveEnded(saved);
}

int RecordingSession::copyPercent() const
{
    return m_progress ? m_progress->percent() : 0;
}

void RecordingSession::stopCopying()
{
    // Honoured whenever it comes before the copy's end is taken here: the
    // copy stops at its next block, or its finished result is dropped.
    if (m_progress)
        m_progress->stop();
}

void RecordingSession::startCopy(Work work, Copy copy, CopyDone done)
{
    m_work = work;
    m_copyDone = done;
    m_shownPercent = -1;
    m_progress = std::make_shared<RecordingWave::Progress>();
    m_outcome = std::make_shared<RecordingWave::Outcome>();
    // Each block copied is told here, from the worker, as an event; the
    // display follows whole percents.
    m_progress->onAdvance = [this] {
        QMetaObject::invokeMethod(this, &RecordingSession::copyProgressed, Qt::QueuedConnection);
    };
    m_thread = QThread::create([copy = std::move(copy), progress = m_progress,
                                outcome = m_outcome] { *outcome = copy(*progress); });
    connect(m_thread, &QThread::finished, this, &RecordingSession::copyFinished);
    m_thread->start();
    Q_EMIT changed();
}

void RecordingSession::copyProgressed()
{
    if (!m_progress || m_progress->percent() == m_shownPercent)
        return;
    m_shownPercent = m_progress->percent();
    Q_EMIT changed();
}

void RecordingSession::copyFinished()
{
    m_thread->wait(); // it has finished: returns at once
    delete m_thread;
    m_thread = nullptr;
    RecordingWave::Outcome outcome = std::move(*m_outcome);
    if (m_progress->stopped() && !outcome.stopped) {
        // Stopped after the copy's last look: the copy is dropped all the same.
        outcome.prepared.discard();
        outcome = RecordingWave::Outcome();
        outcome.stopped = true;
    }
    const CopyDone done = m_copyDone;
    m_work = Work::None;
    m_copyDone = nullptr;
    m_progress.reset();
    m_outcome.reset();
    (this->*done)(outcome);
}
