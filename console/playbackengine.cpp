#include "console/playbackengine.h"

#include "console/appsettings.h"
#include "platform/appfolder.h"
#include "platform/mediaplayer.h"

#include <QDebug>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPlayer, "quellon.player")

#include <cmath>

namespace {
const char *holderName(PlayerHolder holder)
{
    switch (holder) {
    case PlayerHolder::Nobody:
        return "nobody";
    case PlayerHolder::Schedule:
        return "the schedule";
    case PlayerHolder::Hand:
        return "the operator";
    case PlayerHolder::Folder:
        return "a folder entry";
    case PlayerHolder::Remote:
        return "the remote keys";
    case PlayerHolder::Audition:
        return "the editor's audition";
    }
    return "?";
}
} // namespace

PlaybackEngine::PlaybackEngine(MediaPlayer &player, const AppSettings &settings, QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_settings(settings)
{
    connect(&m_player, &MediaPlayer::endOfStream, this, &PlaybackEngine::onEndOfStream);
    // A file that cannot be played leaves the player idle; the console goes on.
    connect(&m_player, &MediaPlayer::failed, this, [this](const QString &reason) {
        qWarning() << "the player gave up:" << reason;
        m_player.setFullScreen(false);
        setButtons(true, false);
        setHolder(PlayerHolder::Nobody);
        Q_EMIT songEnded();
    });
}

void PlaybackEngine::setButtons(bool play, bool pauseAndStop)
{
    m_playEnabled = play;
    m_pauseEnabled = pauseAndStop;
    m_stopEnabled = pauseAndStop;
    Q_EMIT changed();
}

void PlaybackEngine::setHolder(PlayerHolder holder)
{
    if (holder == m_holder)
        return;
    const PlayerHolder before = m_holder;
    m_holder = holder;
    qCInfo(lcPlayer) << "the player is held by" << holderName(holder) << "instead of"
                     << holderName(before);
    Q_EMIT holderChanged(holder, before);
}

bool PlaybackEngine::isPlaying() const
{
    return m_player.isPlaying();
}

void PlaybackEngine::playsong(const QString &sfilename, const QString &splaylen,
                              PlayerHolder holder)
{
    playsongFrom(sfilename, splaylen, holder, 0);
}

void PlaybackEngine::playsongFrom(const QString &sfilename, const QString &splaylen,
                                  PlayerHolder holder, qint64 startMs)
{
    Q_UNUSED(splaylen)
    if (sfilename.isEmpty() || !QFileInfo(sfilename).isFile())
        return;
    ++m_turn;
    m_title = fileTitle(sfilename);
    if (m_settings.ShowVideo)
        m_player.setFullScreen(true);
    if (startMs > 0) {
        m_player.loadAndPlayFrom(sfilename, startMs);
        qCInfo(lcPlayer) << "playing" << sfilename << "from" << startMs << "ms";
    } else {
        m_player.loadAndPlay(sfilename);
        qCInfo(lcPlayer) << "playing" << sfilename;
    }
    // The new holder is known before the buttons change, so whoever looks at
    // the player on changed() sees who it plays for.
    setHolder(holder);
    setButtons(false, true);
}

void PlaybackEngine::setManualPlayback(bool manual)
{
    if (manual == m_manualPlayback)
        return;
    m_manualPlayback = manual;
    Q_EMIT manualPlaybackChanged(manual);
}

void PlaybackEngine::playByHand(const QString &sfilename, const QString &splaylen,
                                PlayerHolder holder)
{
    playsong(sfilename, splaylen, holder);
    setManualPlayback(true);
}

void PlaybackEngine::stopByHand()
{
    stopAction();
    setManualPlayback(false);
}

void PlaybackEngine::scheduledItemStarted()
{
    setManualPlayback(false);
}

void PlaybackEngine::playClicked()
{
    setManualPlayback(true);
    ++m_turn;
    if (m_settings.ShowVideo)
        m_player.setFullScreen(true);
    // Without a file nothing plays, so nobody takes the player.
    if (m_player.hasSource()) {
        m_player.play();
        setHolder(PlayerHolder::Hand);
    }
    setButtons(false, true);
}

void PlaybackEngine::pauseClicked()
{
    m_player.pause();
    setButtons(true, false);
}

void PlaybackEngine::stopAction()
{
    ++m_turn;
    m_player.stop();
    m_player.setFullScreen(false);
    setHolder(PlayerHolder::Nobody);
    setButtons(true, false);
}

void PlaybackEngine::onEndOfStream()
{
    if (m_manualPlayback) {
        setManualPlayback(false);
        stopAction();
    }
    m_player.setFullScreen(false);
    // A scheduled file simply ends and its buttons stay, but the player is
    // nobody's any more.
    setHolder(PlayerHolder::Nobody);
    Q_EMIT songEnded();
}

PlaybackEngine::Progress PlaybackEngine::progressFor(double positionSeconds, double durationSeconds)
{
    Progress p;
    const auto duration = static_cast<long long>(std::floor(std::max(durationSeconds, 0.0)));
    // At the end of a stream the player may report a position past the duration.
    double position = positionSeconds;
    if (durationSeconds > 0 && position > durationSeconds)
        position = durationSeconds;
    const auto whole = static_cast<long long>(std::floor(position));
    p.position = (whole >= 0 ? QStringLiteral(" ") : QString()) + QString::number(whole) + u'/'
        + QString::number(duration);
    p.length = QStringLiteral("%1:%2")
                   .arg(duration / 60, 2, 10, QChar(u'0'))
                   .arg(duration % 60, 2, 10, QChar(u'0'));
    if (durationSeconds != 0 && positionSeconds != -1)
        p.percent = int(std::floor(position * 100 / durationSeconds));
    return p;
}

void PlaybackEngine::setTitle(const QString &title)
{
    m_title = title;
    Q_EMIT titleSet(title);
    Q_EMIT changed();
}

void PlaybackEngine::refreshProgress()
{
    if (!m_player.isPlaying())
        return;
    const Progress p = progressFor(m_player.positionSeconds(), m_player.durationSeconds());
    m_positionText = p.position;
    m_lengthText = p.length;
    if (p.percent >= 0)
        m_progress = std::clamp(p.percent, 0, 100);
    Q_EMIT changed();
}
