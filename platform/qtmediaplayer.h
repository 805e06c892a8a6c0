#pragma once

#include "platform/mediaplayer.h"

#include <QPointer>

class QAudioOutput;
class QMediaPlayer;
class QVideoWidget;

// The player over Qt Multimedia (GStreamer backend). Video goes to a video
// widget placed by the window; it is shown only while the media has video.
class QtMediaPlayer final : public MediaPlayer
{
    Q_OBJECT
public:
    explicit QtMediaPlayer(QObject *parent = nullptr);
    ~QtMediaPlayer() override;
    QtMediaPlayer(const QtMediaPlayer &) = delete;
    QtMediaPlayer &operator=(const QtMediaPlayer &) = delete;

    void setVideoWidget(QVideoWidget *widget);

    void loadAndPlay(const QString &path) override;
    bool hasSource() const override;
    void play() override;
    void pause() override;
    void stop() override;
    bool isPlaying() const override;
    double positionSeconds() const override;
    double durationSeconds() const override;
    void setFullScreen(bool on) override;
    bool isFullScreen() const override { return m_fullScreen; }
    void setVolume(double zeroToOne) override;
    // True while the full-screen video window is up.
    bool isShowingFullScreen() const;

private:
    void createPlayer();
    void applyVideoView();
    void fail(const QString &reason);

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audio;
    bool m_failed = false;
    QPointer<QVideoWidget> m_video;
    bool m_fullScreen = false;
    QPointer<QVideoWidget> m_screenVideo; // the full-screen window, made when first needed
};
