#pragma once

#include "platform/recorder.h"

#include <QTimer>

class QAudioInput;
class QMediaCaptureSession;
class QMediaRecorder;

// The recorder over Qt Multimedia (GStreamer backend): the default audio
// input into a PCM WAV file.
//
// Two faults of the backend are worked around here. A recorder that has
// stopped once does not record again, so every recording gets a fresh
// session. And now and then a new session never gets sound from the input
// (the recording runs, its length stays 0); such a start is given up after
// kStartLimitMs and made again, up to kStartAttempts times.
class QtRecorder final : public Recorder
{
    Q_OBJECT
public:
    explicit QtRecorder(QObject *parent = nullptr);
    ~QtRecorder() override;
    QtRecorder(const QtRecorder &) = delete;
    QtRecorder &operator=(const QtRecorder &) = delete;

    void record(const QString &path) override;
    void stop() override;
    State state() const override { return m_state; }
    qint64 durationMs() const override { return m_duration; }

    static constexpr int kStartLimitMs = 2000;
    static constexpr int kStartAttempts = 4;
    // How long closing the file may take before the recording counts as
    // failed, so that a stuck pipeline never leaves the caller waiting.
    static constexpr int kStopLimitMs = 10000;

private:
    void startAttempt();
    void dropSession();
    void recorderStateChanged(bool stopped);
    void startTimedOut();
    void setState(State state);
    void fail(const QString &reason);

    QMediaCaptureSession *m_session = nullptr;
    QAudioInput *m_input = nullptr;
    QMediaRecorder *m_recorder = nullptr;
    QTimer m_startLimit;
    QTimer m_stopLimit;
    State m_state = State::Stopped;
    QString m_path;
    qint64 m_duration = 0;
    int m_attempt = 0;
    bool m_restarting = false; // a start without sound is being stopped, to start again
};
