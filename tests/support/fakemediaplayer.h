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
        calls << QStringLiteral("load ") + path;
        source = path;
        setPlaying(true);
    }
    bool hasSource() const override { return !source.isEmpty(); }
    void play() override
    {
        calls << QStringLiteral("play");
        setPlaying(hasSource());
    }
    void pause() override
    {
        calls << QStringLiteral("pause");
        setPlaying(false);
    }
    void stop() override
    {
        calls << QStringLiteral("stop");
        setPlaying(false);
    }
    bool isPlaying() const override { return playing; }
    double positionSeconds() const override { return position; }
    double durationSeconds() const override { return duration; }
    void setFullScreen(bool on) override
    {
        calls << (on ? QStringLiteral("fullscreen") : QStringLiteral("normal size"));
        fullScreen = on;
    }
    bool isFullScreen() const override { return fullScreen; }

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

    QStringList calls;
    QString source;
    bool playing = false;
    bool fullScreen = false;
    double position = 0;
    double duration = 0;
};
