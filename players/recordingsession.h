#pragma once

#include "players/recordingwave.h"

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

class MediaPlayer;
class QThread;
class Recorder;

// What the recorder window's media control does: records takes from the
// input, plays the recording back, opens and saves WAV files, and keeps the
// position, the length and the slider of its status display.
//
// A recording lives in a private scratch folder that goes away with the
// session. Each take is recorded into a file of its own and, once complete,
// added to the end of the current recording, so Record after Stop (or Pause)
// goes on where the recording ended, as the classic media control did.
//
// Adding a take to the recording and saving it copy whole files, which
// takes seconds: both run in a worker thread, report their progress and can
// be stopped, while the window goes on; the recording on disk changes only
// when the copy is complete and was not stopped.
class RecordingSession final : public QObject
{
    Q_OBJECT
public:
    enum class Mode {
        Stopped,
        Recording,
        Finishing, // the take is being closed and added; nothing else can start yet
        Playing,
        Paused,
    };
    Q_ENUM(Mode)

    RecordingSession(Recorder &recorder, MediaPlayer &player, QObject *parent = nullptr);
    ~RecordingSession() override;
    RecordingSession(const RecordingSession &) = delete;
    RecordingSession &operator=(const RecordingSession &) = delete;

    // The transport of the media control.
    void record();
    void play();
    // Pausing a recording ends the take; Record goes on from there.
    void pause();
    void stop();

    // "stop", "close" and a fresh, empty recording.
    void newRecording();
    // "stop", "close" and the file opened as the recording. A file that is no
    // WAV leaves an empty recording and the error set; returns false then.
    bool open(const QString &path);
    // Starts writing the recording to path in the background; saveEnded
    // tells how it went. The file at path is replaced only by the whole
    // recording. Returns false when nothing can be saved now (no recording,
    // a take or a copy under way).
    bool save(const QString &path);
    bool isSaving() const { return m_work == Work::Saving; }
    // Adding a take (in Finishing) or saving: a copy under way.
    bool isCopying() const { return m_work != Work::None; }
    // 0..100 of the copy under way.
    int copyPercent() const;
    // Stops the copy under way: a stopped save leaves the file at its path as
    // it was and the recording unsaved; a stopped addition drops the take.
    void stopCopying();

    // The status update: reads the position and sets texts and slider.
    void update();

    Mode mode() const { return m_mode; }
    bool isBusyRecording() const { return m_mode == Mode::Recording || m_mode == Mode::Finishing; }
    qint64 positionMs() const { return m_position; }
    qint64 lengthMs() const { return m_length; }
    int slider() const { return m_slider; }
    QString positionText() const;
    QString lengthText() const;
    // Recorded since it was last saved, opened or made new.
    bool isUnsaved() const { return m_unsaved; }
    // The file that holds the recording now; empty when there is none.
    QString fileName() const { return m_file; }
    QString scratchFolder() const { return m_scratch.path(); }
    // The last failure of the device, empty when the last command worked.
    QString error() const { return m_error; }

    // Automatic button enabling.
    bool recordEnabled() const;
    bool playEnabled() const;
    bool pauseEnabled() const;
    bool stopEnabled() const;
    bool fileCommandsEnabled() const { return !isBusyRecording() && !isSaving(); }
    // Recorded since it was last saved, opened or made new, counting the
    // take under way.
    bool hasUnsavedSound() const
    {
        return m_unsaved || (isBusyRecording() && m_length > m_takeBase);
    }

    // Minutes and seconds, each at least two digits: 02:30.
    static QString timeText(qint64 ms);
    // The slider while playing: position × 100 \ length, within 0..100.
    static int playingSlider(qint64 positionMs, qint64 lengthMs);
    // The slider while recording: the elapsed whole seconds against the next
    // multiple of 100 seconds.
    static int recordingSlider(qint64 positionMs);

    static constexpr int kStatusIntervalMs = 250;

Q_SIGNALS:
    // Anything shown changed: mode, position, length, slider, error.
    void changed();
    // A take ended (complete, failed or its addition stopped): the recorder
    // is free again.
    void takeEnded();
    // A save ended: saved, or failed (error set) or stopped.
    void saveEnded(bool saved);

private:
    void setMode(Mode mode);
    void takeFinished(const QString &path);
    void takeFailed(const QString &reason);
    void playbackEnded();
    void playbackFailed(const QString &reason);
    void stopPlayback();
    void closeRecording();
    QString scratchFile() const;
    QString takeFile() const;
    void endTake(const QString &error);

    enum class Work { None, Joining, Saving };
    using Copy = std::function<RecordingWave::Outcome(RecordingWave::Progress &)>;
    using CopyDone = void (RecordingSession::*)(const RecordingWave::Outcome &outcome);
    // Runs copy in a worker thread; done gets its outcome in this thread,
    // with stopped set when stopCopying() came first.
    void startCopy(Work work, Copy copy, CopyDone done);
    void copyFinished();
    void copyProgressed();
    void joinFinished(const RecordingWave::Outcome &outcome);
    void saveFinished(const RecordingWave::Outcome &outcome);

    Recorder &m_recorder;
    MediaPlayer &m_player;
    QTemporaryDir m_scratch;
    QTimer m_status;
    Mode m_mode = Mode::Stopped;
    QString m_file;
    qint64 m_position = 0;
    qint64 m_length = 0;
    qint64 m_takeBase = 0; // length of the recording when the take began
    int m_slider = 0;
    bool m_unsaved = false;
    QString m_error;

    Work m_work = Work::None;
    QThread *m_thread = nullptr;
    std::shared_ptr<RecordingWave::Progress> m_progress;
    std::shared_ptr<RecordingWave::Outcome> m_outcome;
    CopyDone m_copyDone = nullptr;
    int m_shownPercent = -1;
};
