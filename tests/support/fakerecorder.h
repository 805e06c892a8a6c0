#pragma once

#include "platform/recorder.h"
#include "support/testmedia.h"

#include <QFile>
#include <QStringList>

// Records what is asked of the recorder; the test plays the part of the
// sound input: it lets time pass and completes or fails the recording.
class FakeRecorder final : public Recorder
{
    Q_OBJECT
public:
    void record(const QString &path) override
    {
        calls << QStringLiteral("record ") + path;
        if (m_state != State::Stopped)
            return;
        m_path = path;
        m_duration = 0;
        setState(State::Recording);
    }
    void stop() override
    {
        calls << QStringLiteral("stop");
        if (m_state == State::Recording)
            setState(State::Stopping);
    }
    State state() const override { return m_state; }
    qint64 durationMs() const override { return m_duration; }

    QString path() const { return m_path; }

    // Sound comes in for ms more milliseconds.
    void advance(qint64 ms)
    {
        m_duration += ms;
        Q_EMIT durationChanged(m_duration);
    }
    // The file is closed: a WAV of the recorded length (a sine of sampleRate
    // samples a second, 16-bit mono) is written where record() was told.
    void complete()
    {
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly))
            file.write(TestMedia::wav(double(m_duration) / 1000.0, 440.0, sampleRate));
        file.close();
        setState(State::Stopped);
        Q_EMIT finished(m_path);
    }
    void fail(const QString &reason)
    {
        setState(State::Stopped);
        Q_EMIT failed(reason);
    }

    QStringList calls;
    int sampleRate = 8000;

private:
    void setState(State state)
    {
        if (m_state != state) {
            m_state = state;
            Q_EMIT stateChanged(state);
        }
    }

    State m_state = State::Stopped;
    QString m_path;
    qint64 m_duration = 0;
};
