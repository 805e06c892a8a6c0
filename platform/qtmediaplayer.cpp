#include "platform/qtmediaplayer.h"

#include <QAudioOutput>
#include <QDebug>
#include <QMediaPlayer>
#include <QScreen>
#include <QUrl>
#include <QVideoWidget>

#include <algorithm>

QtMediaPlayer::QtMediaPlayer(QObject *parent)
    : MediaPlayer(parent)
    , m_audio(new QAudioOutput(this))
{
    createPlayer();
}

void QtMediaPlayer::createPlayer()
{
    m_player = new QMediaPlayer(this);
    // Without an audio output attached the player crashes on some files.
    m_player->setAudioOutput(m_audio);
    if (m_video)
        m_player->setVideoOutput(m_video.data());
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus s) {
        if (s == QMediaPlayer::EndOfMedia)
            Q_EMIT endOfStream();
        else if (s == QMediaPlayer::InvalidMedia)
            fail(QStringLiteral("invalid media"));
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString &text) { fail(text); });
    connect(m_player, &QMediaPlayer::playbackStateChanged, this,
            [this](QMediaPlayer::PlaybackState s) {
                applyVideoView();
                Q_EMIT playingChanged(s == QMediaPlayer::PlayingState);
            });
    connect(m_player, &QMediaPlayer::hasVideoChanged, this, &QtMediaPlayer::applyVideoView);
}

QtMediaPlayer::~QtMediaPlayer()
{
    delete m_screenVideo; // a window of its own, without a parent
}

void QtMediaPlayer::setVideoWidget(QVideoWidget *widget)
{
    m_video = widget;
    m_player->setVideoOutput(widget);
    applyVideoView();
}

void QtMediaPlayer::fail(const QString &reason)
{
    if (m_failed)
        return; // one failure is reported once, however many ways the player says it
    m_failed = true;
    qWarning() << "playback failed:" << m_player->source().toLocalFile() << reason;
    // A GStreamer pipeline that met an error refuses the next file too, so the
    // failed player is replaced by a fresh one.
    QMediaPlayer *broken = m_player;
    broken->disconnect(this);
    broken->stop();
    broken->setVideoOutput(nullptr);
    broken->deleteLater();
    createPlayer();
    applyVideoView();
    Q_EMIT playingChanged(false);
    Q_EMIT failed(reason);
}

void QtMediaPlayer::loadAndPlay(const QString &path)
{
    m_failed = false;
    m_player->stop();
    // Clearing first makes the same file start again from its beginning.
    m_player->setSource(QUrl());
    applyVideoView(); // stopped: the output can follow the full-screen choice now
    // A CD track is a URL of GStreamer's CD audio source, not a file.
    m_player->setSource(path.startsWith(u"cdda://") ? QUrl(path) : QUrl::fromLocalFile(path));
    m_player->play();
}

void QtMediaPlayer::setVolume(double zeroToOne)
{
    // The output outlives a failed player's replacement, so the volume stays.
    m_audio->setVolume(float(std::clamp(zeroToOne, 0.0, 1.0)));
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
    // A picture is shown while a video plays or pauses, not after it stopped.
    const bool video
        = m_player->hasVideo() && m_player->playbackState() != QMediaPlayer::StoppedState;
    const bool full = video && m_fullScreen;
    // Full screen uses a window of its own: moving the embedded video widget
    // out of its window and back loses its picture on some systems. The
    // output is chosen before the file loads, since changing it while a
    // stream runs stalls the stream; the window shows once there is video.
    if (m_fullScreen && !m_screenVideo) {
        m_screenVideo = new QVideoWidget;
        m_screenVideo->setObjectName(QStringLiteral("mp_fullscreen"));
        m_screenVideo->setAttribute(Qt::WA_DeleteOnClose, false);
        m_screenVideo->setStyleSheet(QStringLiteral("background: black;"));
    }
    QVideoWidget *target = m_fullScreen ? m_screenVideo.data() : m_video.data();
    if (m_player->videoOutput() != target && !video)
        m_player->setVideoOutput(target);
    if (m_screenVideo) {
        if (full) {
            if (QScreen *screen = m_video->screen())
                m_screenVideo->setGeometry(screen->geometry());
            m_screenVideo->showFullScreen();
            m_screenVideo->raise();
        } else {
            m_screenVideo->hide();
        }
    }
    m_video->setVisible(video && !full);
}

bool QtMediaPlayer::isShowingFullScreen() const
{
    return m_screenVideo && m_screenVideo->isVisible();
}
