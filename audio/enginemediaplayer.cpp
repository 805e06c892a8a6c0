#include "audio/enginemediaplayer.h"

#include <QLoggingCategory>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcAudio)

namespace {
std::string jobText(qint64 job)
{
    return std::to_string(job);
}
} // namespace

EngineMediaPlayer::EngineMediaPlayer(const QString &program, EngineProcess::Timing timing,
                                     QObject *parent)
    : MediaPlayer(parent)
    , m_engine(new EngineProcess(program, QStringLiteral("player"), timing, this))
{
    m_clock.start();
    connect(m_engine, &EngineProcess::message, this, &EngineMediaPlayer::received);
    connect(m_engine, &EngineProcess::restarted, this, &EngineMediaPlayer::engineRestarted);
    m_engine->warmUp();
}

EngineMediaPlayer::~EngineMediaPlayer() = default;

qint64 EngineMediaPlayer::positionMs() const
{
    if (m_run != Run::Playing)
        return m_positionMs;
    qint64 at = m_positionMs + (m_clock.elapsed() - m_anchor);
    if (m_durationMs > 0)
        at = std::min(at, m_durationMs);
    return at;
}

double EngineMediaPlayer::durationSeconds() const
{
    return m_durationMs > 0 ? double(m_durationMs) / 1000.0 : 0.0;
}

void EngineMediaPlayer::setRun(Run run)
{
    const bool wasPlaying = m_run == Run::Playing;
    const bool wasShowing = showsVideo();
    m_run = run;
    if (wasPlaying != isPlaying())
        Q_EMIT playingChanged(isPlaying());
    if (wasShowing != showsVideo())
        Q_EMIT videoChanged();
}

void EngineMediaPlayer::sendPlay(qint64 startMs)
{
    m_engine->send("play",
                   {jobText(m_job), std::to_string(std::max<qint64>(startMs, 0)),
                    audioproto::formatFraction(m_volume), std::to_string(window()), m_uri});
}

void EngineMediaPlayer::loadAndPlay(const QString &path)
{
    loadAndPlayFrom(path, 0);
}

void EngineMediaPlayer::loadAndPlayFrom(const QString &path, qint64 startMs)
{
    m_path = path;
    m_uri = EngineProcess::sourceOf(path);
    m_job = ++m_jobs;
    // The position runs on from the start asked for until the engine
    // reports one; a start past the file's end is the engine's to report
    // as the end of the stream.
    m_positionMs = std::max<qint64>(startMs, 0);
    m_anchor = m_clock.elapsed();
    m_durationMs = -1;
    m_frames = -1;
    const bool hadVideo = std::exchange(m_hasVideo, false);
    sendPlay(m_positionMs);
    if (hadVideo && m_run != Run::Idle)
        Q_EMIT videoChanged();
    setRun(Run::Playing);
}

void EngineMediaPlayer::play()
{
    if (m_run == Run::Paused) {
        m_anchor = m_clock.elapsed();
        m_engine->send("resume", {jobText(m_job)});
        setRun(Run::Playing);
    } else if (m_run == Run::Idle && hasSource()) {
        // A stopped or finished file starts again from its beginning.
        loadAndPlay(m_path);
    }
}

void EngineMediaPlayer::pause()
{
    if (m_run != Run::Playing)
        return;
    m_positionMs = positionMs();
    m_engine->send("pause", {jobText(m_job)});
    setRun(Run::Paused);
}

void EngineMediaPlayer::stop()
{
    if (m_run == Run::Idle)
        return;
    m_engine->send("stop", {jobText(m_job)});
    m_positionMs = 0;
    setRun(Run::Idle);
}

void EngineMediaPlayer::setVolume(double zeroToOne)
{
    m_volume = std::clamp(zeroToOne, 0.0, 1.0);
    m_engine->send("volume", {audioproto::formatFraction(m_volume)});
}

void EngineMediaPlayer::setFullScreen(bool on)
{
    if (m_fullScreen == on)
        return;
    m_fullScreen = on;
    sendWindow();
    Q_EMIT videoChanged();
}

void EngineMediaPlayer::setVideoWindows(quintptr embedded, quintptr fullScreen)
{
    m_embeddedWindow = embedded;
    m_screenWindow = fullScreen;
    sendWindow();
}

void EngineMediaPlayer::sendWindow()
{
    // Only a file that plays needs to hear of it; the next one carries its window.
    if (m_run != Run::Idle && window() != 0)
        m_engine->send("window", {std::to_string(window())});
}

void EngineMediaPlayer::ended(bool failedToPlay, const QString &reason)
{
    if (!failedToPlay && m_durationMs > 0)
        m_positionMs = m_durationMs;
    setRun(Run::Idle);
    if (failedToPlay) {
        qCWarning(lcAudio).noquote() << "playback failed:" << m_path << reason;
        Q_EMIT failed(reason);
    } else {
        Q_EMIT endOfStream();
    }
}

void EngineMediaPlayer::received(const audioproto::Message &m)
{
    if (m.number(0) != m_job || m_run == Run::Idle)
        return; // about a file that is no longer playing here
    if (m.verb == "position") {
        const qint64 position = m.number(1).value_or(-1);
        const qint64 duration = m.number(2).value_or(-1);
        if (duration > 0)
            m_durationMs = duration;
        if (position >= 0) {
            m_positionMs = position;
            m_anchor = m_clock.elapsed();
        }
        m_frames = m.number(3).value_or(-1);
    } else if (m.verb == "video") {
        const bool video = m.arg(1) == "1";
        if (video != m_hasVideo) {
            m_hasVideo = video;
            Q_EMIT videoChanged();
        }
    } else if (m.verb == "eos") {
        ended(false, QString());
    } else if (m.verb == "error") {
        ended(true, QString::fromStdString(m.arg(1)));
    }
}

void EngineMediaPlayer::engineRestarted(const QString &why)
{
    if (m_volume != 1.0)
        m_engine->send("volume", {audioproto::formatFraction(m_volume)});
    if (m_run != Run::Idle) {
        const qint64 at = positionMs();
        if (m_durationMs > 0 && at >= m_durationMs) {
            // It would have ended while the engine was gone.
            ended(false, QString());
        } else {
            // Where it would stand by now, not where the engine stopped.
            m_job = ++m_jobs;
            m_positionMs = at;
            m_anchor = m_clock.elapsed();
            sendPlay(at);
            if (m_run == Run::Paused)
                m_engine->send("pause", {jobText(m_job)});
            qCWarning(lcAudio).noquote()
                << "playback of" << m_path << "goes on at" << at << "ms in a new engine";
        }
    }
    Q_EMIT restarted(why);
}
