#pragma once

#include <QObject>
#include <QString>

// Records sound from the PC's input into a WAV file. A recording runs from
// record() until stop(); the file is complete only when finished() says so,
// since closing it takes a moment. Tests substitute a fake they drive by hand.
class Recorder : public QObject
{
    Q_OBJECT
public:
    enum class State {
        Stopped,
        Recording,
        Stopping, // stop() was called; finished() or failed() follows
    };
    Q_ENUM(State)

    using QObject::QObject;
    ~Recorder() override;

    // Starts recording the default input into a new WAV file at path (an
    // existing file there is replaced). Ignored unless stopped.
    virtual void record(const QString &path) = 0;
    // Ends the recording; finished() follows once the file is written.
    virtual void stop() = 0;
    virtual State state() const = 0;
    // Milliseconds recorded so far in the current (or last) recording.
    virtual qint64 durationMs() const = 0;

Q_SIGNALS:
    void stateChanged(Recorder::State state);
    void durationChanged(qint64 milliseconds);
    // How loud the input is, in dB below full scale (-100 for silence), a
    // few times a second while recording.
    void levelChanged(double decibels);
    // The recording is complete and closed at path.
    void finished(const QString &path);
    // Nothing usable was recorded (no input, a file that cannot be written);
    // the recorder is stopped again and can record the next file.
    void failed(const QString &reason);
};
