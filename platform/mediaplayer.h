#pragma once

#include <QObject>
#include <QString>

// The one player of the PC: loads a file and starts it, reports position and
// duration, and tells when a stream ends. Tests substitute a recording fake.
class MediaPlayer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~MediaPlayer() override;

    // Loads the file and starts playing it; whatever played before stops.
    virtual void loadAndPlay(const QString &path) = 0;
    // Loads the file and starts it startMs milliseconds in, as an item that
    // has been running for that long while the console was down. A player
    // that cannot start within a file starts it from its beginning.
    virtual void loadAndPlayFrom(const QString &path, qint64 startMs)
    {
        Q_UNUSED(startMs)
        loadAndPlay(path);
    }
    virtual bool hasSource() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
    // Seconds; the position is -1 when it is not known.
    virtual double positionSeconds() const = 0;
    virtual double durationSeconds() const = 0;
    // Video is shown full screen while this is on (the display size 3 of old).
    virtual void setFullScreen(bool on) = 0;
    virtual bool isFullScreen() const = 0;
    // The player's own volume, 0 (silent) to 1 (full), apart from the
    // system's master volume. A player without one plays at full volume.
    virtual void setVolume(double /*zeroToOne*/) { }
    // Where pictures are drawn: the native windows of the video area and of
    // the full-screen window (0 for none). A player without pictures, or a
    // platform without native windows, draws none.
    virtual void setVideoWindows(quintptr /*embedded*/, quintptr /*fullScreen*/) { }
    // Whether the file loaded has pictures (known a moment after it starts),
    // and whether they are to be seen now: loaded and not stopped.
    virtual bool hasVideo() const { return false; }
    virtual bool showsVideo() const { return false; }

Q_SIGNALS:
    void endOfStream();
    // The file could not be played (corrupt, no decoder); the player is idle again.
    void failed(const QString &reason);
    void playingChanged(bool playing);
    // hasVideo(), showsVideo() or the full-screen choice changed.
    void videoChanged();
    // The sound system behind the player stopped answering and was replaced;
    // what played goes on where it would be by now.
    void restarted(const QString &why);
};
