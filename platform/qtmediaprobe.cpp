#include "platform/qtmediaprobe.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>

QtMediaProbe::QtMediaProbe(QObject *parent)
    : MediaProbe(parent)
{
    m_giveUp.setSingleShot(true);
    m_giveUp.setInterval(kGiveUpMs);
    connect(&m_giveUp, &QTimer::timeout, this,
            [this] { finish(-1, QStringLiteral("no duration within %1 ms").arg(kGiveUpMs)); });
    resetPlayer();
}

QtMediaProbe::~QtMediaProbe() = default;

void QtMediaProbe::resetPlayer()
{
    // A GStreamer player that met an error refuses the next file: each
    // failure gets a fresh one. The old one may be inside one of its own
    // signals (a failure is found there), so it goes once that has returned,
    // telling us nothing more; it lets go of the shared audio output now, or
    // its late destruction would detach the output from the new player.
    if (m_player) {
        m_player->disconnect(this);
        m_player->setAudioOutput(nullptr);
        m_player->deleteLater();
    }
    m_player = new QMediaPlayer(this);
    if (!m_audio) {
        m_audio = new QAudioOutput(this);
        m_audio->setMuted(true);
    }
    m_player->setAudioOutput(m_audio);
    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 ms) {
        if (!m_path.isEmpty() && ms > 0)
            finish(ms, QString());
    });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus s) {
        if (m_path.isEmpty())
            return;
        if (s == QMediaPlayer::InvalidMedia)
            finish(-1, QStringLiteral("invalid media"));
        else if (s == QMediaPlayer::LoadedMedia && m_player->duration() > 0)
            finish(m_player->duration(), QString());
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString &text) {
                if (!m_path.isEmpty())
                    finish(-1, text);
            });
}

void QtMediaProbe::probe(const QString &path)
{
    cancel();
    if (!QFileInfo(path).isFile()) {
        // Told later, like every answer, so callers see one order of events;
        // a cancel in between withdraws it.
        m_missing = path;
        QMetaObject::invokeMethod(
            this,
            [this, path] {
                if (m_missing != path)
                    return;
                m_missing.clear();
                Q_EMIT failed(path, QStringLiteral("no such file"));
            },
            Qt::QueuedConnection);
        return;
    }
    m_path = path;
    m_giveUp.start();
    m_player->setSource(QUrl::fromLocalFile(path));
}

void QtMediaProbe::cancel()
{
    m_missing.clear();
    m_giveUp.stop();
    if (m_path.isEmpty())
        return;
    m_path.clear();
    m_player->setSource(QUrl());
}

void QtMediaProbe::finish(qint64 milliseconds, const QString &reason)
{
    const QString path = m_path;
    m_path.clear();
    m_giveUp.stop();
    m_player->setSource(QUrl());
    if (milliseconds > 0) {
        Q_EMIT durationFound(path, milliseconds);
    } else {
        resetPlayer();
        Q_EMIT failed(path, reason);
    }
}
