#pragma once

#include "platform/mediaplayer.h"

#include <QStringList>

// Records what the console asks of the player; the test plays the part of the
// media (position, duration, end of stream).
class FakeMediaPlayer final : public MediaPlayer
{
    Q_OBJECT
public:
    void loadAndPlay(const QString &path) override
    {
        record(QStringLiteral("load ") + path);
        source = path;
        setPlaying(true);
    }
    void loadAndPlayFrom(const QString &path, qint64 startMs) override
    {
        record(QStringLiteral("load %1 from %2 ms").arg(path).arg(startMs));
        source = path;
        position = double(startMs) / 1000.0;
        setPlaying(true);
    }
    bool hasSource() const override { return !source.isEmpty(); }
    void play() override
    {
        record(QStringLiteral("play"));
        setPlaying(hasSource());
    }
    void pause() override
    {
        record(QStringLiteral("pause"));
        setPlaying(false);
    }
    void stop() override
    {
        record(QStringLiteral("stop"));
        setPlaying(false);
    }
    bool isPlaying() const override { return playing; }
    double positionSeconds() const override { return position; }
    double durationSeconds() const override { return duration; }
    void setFullScreen(bool on) override
    {
        record(on ? QStringLiteral("fullscreen") : QStringLiteral("normal size"));
        fullScreen = on;
    }
    bool isFullScreen() const override { return fullScreen; }
    void setVolume(double zeroToOne) override
    {
        record(QStringLiteral("volume ") + QString::number(zeroToOne));
        volume = zeroToOne;
    }

Q_SIGNALS:
    void called(const QString &call);

public:
    // The media runs out.
    void finish()
    {
        setPlaying(false);
        Q_EMIT endOfStream();
    }
    void setPlaying(bool on)
    {
        if (playing != on) {
            playing = on;
            Q_EMIT playingChanged(on);
        }
    }

    void record(const QString &call)
    {
        calls << call;
        Q_EMIT called(call);
    }

    QStringList calls;
    QString source;
    bool playing = false;
    bool fullScreen = false;
    double volume = 1.0;
    double position = 0;
    double duration = 0;
};
