#pragma once

#include "audio/engineprocess.h"
#include "platform/recorder.h"

#include <QTimer>

// The recorder over a quellon-audio engine of its own: the default sound
// input into a 16-bit stereo WAV file. The engine measures the input as it
// records; the length and the level come back a few times a second.
class EngineRecorder final : public Recorder
{
    Q_OBJECT
public:
    explicit EngineRecorder(const QString &program = EngineProcess::defaultProgram(),
                            EngineProcess::Timing timing = {}, QObject *parent = nullptr);
    ~EngineRecorder() override;

    void record(const QString &path) override;
    void stop() override;
    State state() const override { return m_state; }
    qint64 durationMs() const override { return m_duration; }

    EngineProcess &engine() { return *m_engine; }

    // A recording that gets no sound from the input in this time fails.
    static constexpr int kStartLimitMs = 5000;
    // How long closing the file may take before the recording counts as failed.
    static constexpr int kStopLimitMs = 10000;

private:
    void received(const audioproto::Message &message);
    void setState(State state);
    void fail(const QString &reason);

    EngineProcess *m_engine;
    State m_state = State::Stopped;
    QString m_path;
    qint64 m_ids = 0;
    qint64 m_id = 0;
    qint64 m_duration = 0;
    QTimer m_startLimit;
    QTimer m_stopLimit;
};
