#include "platform/qtmediaplayer.h"

#include <QAudioOutput>
#include <QDebug>
#include <QMediaPlayer>
#include <QUrl>
#include <QVideoWidget>

QtMediaPlayer::QtMediaPlayer(QObject *parent)
    : MediaPlayer(parent)
    , m_player(new QMediaPlayer(this))
    , m_audio(new QAudioOutput(this))
{
    // Without an audio output attached the player crashes on some files.
    m_player->setAudioOutput(m_audio);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus s) {
        if (s == QMediaPlayer::EndOfMedia)
            Q_EMIT endOfStream();
        else if (s == QMediaPlayer::InvalidMedia)
            fail(QStringLiteral("invalid media"));
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString &text) { fail(text); });
    connect(m_player, &QMediaPlayer::playbackStateChanged, this,
            [this](QMediaPlayer::PlaybackState s) { Q_EMIT playingChanged(s == QMediaPlayer::PlayingState); });
    connect(m_player, &QMediaPlayer::hasVideoChanged, this, &QtMediaPlayer::applyVideoView);
}

QtMediaPlayer::~QtMediaPlayer() = default;

void QtMediaPlayer::setVideoWidget(QVideoWidget *widget)
{
    m_video = widget;
    m_player->setVideoOutput(widget);
    applyVideoView();
}

void QtMediaPlayer::fail(const QString &reason)
{
    qWarning() << "playback failed:" << m_player->source().toLocalFile() << reason;
    m_player->stop();
    Q_EMIT failed(reason);
}

void QtMediaPlayer::loadAndPlay(const QString &path)
{
    m_player->stop();
    // Clearing first makes the same file start again from its beginning.
    m_player->setSource(QUrl());
    m_player->setSource(QUrl::fromLocalFile(path));
    m_player->play();
}

bool QtMediaPlayer::hasSource() const
{
    return !m_player->source().isEmpty();
}

void QtMediaPlayer::play()
{
    m_player->play();
}

void QtMediaPlayer::pause()
{
    m_player->pause();
}

void QtMediaPlayer::stop()
{
    m_player->stop();
}

bool QtMediaPlayer::isPlaying() const
{
    return m_player->playbackState() == QMediaPlayer::PlayingState;
}

double QtMediaPlayer::positionSeconds() const
{
    return m_player->position() / 1000.0;
}

double QtMediaPlayer::durationSeconds() const
{
    return m_player->duration() / 1000.0;
}

void QtMediaPlayer::setFullScreen(bool on)
{
    m_fullScreen = on;
    applyVideoView();
}

void QtMediaPlayer::applyVideoView()
{
    if (!m_video)
        return;
    const bool video = m_player->hasVideo();
    m_video->setFullScreen(video && m_fullScreen);
    m_video->setVisible(video);
}
