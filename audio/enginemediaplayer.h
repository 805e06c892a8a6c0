#pragma once

#include "audio/engineprocess.h"
#include "platform/mediaplayer.h"

#include <QElapsedTimer>

// The player of the console over a quellon-audio engine of its own.
//
// Every call returns at once: it updates what this object holds (the file,
// whether it plays, where it stands) and sends the engine a request; the
// engine's answers come back as messages and become the signals of the
// interface. Each file handed over is a new job, and answers about an
// earlier job are ignored, so a late end of stream can never end the next
// file.
//
// Between the engine's position reports the position runs on with the
// clock. When the engine is replaced, the file starts again where that
// position says it would be by now (or ends, when that is past its end).
class EngineMediaPlayer final : public MediaPlayer
{
    Q_OBJECT
public:
    explicit EngineMediaPlayer(const QString &program = EngineProcess::defaultProgram(),
                               EngineProcess::Timing timing = {}, QObject *parent = nullptr);
    ~EngineMediaPlayer() override;

    void loadAndPlay(const QString &path) override;
    void loadAndPlayFrom(const QString &path, qint64 startMs) override;
    bool hasSource() const override { return !m_path.isEmpty(); }
    void play() override;
    void pause() override;
    void stop() override;
    bool isPlaying() const override { return m_run == Run::Playing; }
    double positionSeconds() const override { return double(positionMs()) / 1000.0; }
    double durationSeconds() const override;
    void setFullScreen(bool on) override;
    bool isFullScreen() const override { return m_fullScreen; }
    void setVolume(double zeroToOne) override;
    void setVideoWindows(quintptr embedded, quintptr fullScreen) override;
    bool hasVideo() const override { return m_hasVideo; }
    bool showsVideo() const override { return m_hasVideo && m_run != Run::Idle; }

    EngineProcess &engine() { return *m_engine; }
    qint64 positionMs() const;
    // Pictures of the file playing that the engine has drawn so far (taken
    // and dropped where it has no window to draw into); -1 when unknown.
    qint64 videoFramesShown() const { return m_frames; }

private:
    enum class Run { Idle, Playing, Paused };

    void received(const audioproto::Message &message);
    void engineRestarted(const QString &why);
    void sendPlay(qint64 startMs);
    void sendWindow();
    void setRun(Run run);
    void ended(bool failed, const QString &reason);
    quintptr window() const { return m_fullScreen ? m_screenWindow : m_embeddedWindow; }

    EngineProcess *m_engine;
    QString m_path;
    std::string m_uri;
    qint64 m_jobs = 0;
    qint64 m_job = 0;
    Run m_run = Run::Idle;
    qint64 m_positionMs = 0; // at m_anchor
    qint64 m_anchor = 0;
    qint64 m_durationMs = -1;
    qint64 m_frames = -1;
    bool m_hasVideo = false;
    bool m_fullScreen = false;
    double m_volume = 1.0;
    quintptr m_embeddedWindow = 0;
    quintptr m_screenWindow = 0;
    QElapsedTimer m_clock;
};
