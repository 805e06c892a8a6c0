#include "players/playlist.h"

#include "platform/appfolder.h"
#include "platform/logwriter.h"
#include "platform/mediaplayer.h"
#include "players/playlistcd.h"
#include "players/playlistfile.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

Playlist::Playlist(MediaPlayer &player, const PlaylistCd &cd, LogWriter &log, QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_cd(cd)
    , m_log(log)
{
    // The list timer is a one-shot hand-over from an entry's end to the
    // start of the next one.
    m_listTimer.setSingleShot(true);
    m_listTimer.setInterval(kTickMs);
    connect(&m_listTimer, &QTimer::timeout, this, &Playlist::tmrlistplay_Timer);
    m_statusTimer.setInterval(kTickMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &Playlist::statusUpdate);
    connect(&m_player, &MediaPlayer::endOfStream, this, &Playlist::entryEnded);
    connect(&m_player, &MediaPlayer::failed, this, &Playlist::entryFailed);
}

Playlist::~Playlist()
{
    // The player outlives the window; it must not play on without it.
    if (m_mode != Mode::Idle)
        m_player.stop();
}

void Playlist::append(const QStringList &paths)
{
    m_entries += paths;
    Q_EMIT entriesChanged();
}

bool Playlist::insertAt(int row, const QStringList &paths)
{
    if (row < 0 || row >= count())
        return false;
    for (int i = 0; i < paths.size(); ++i)
        m_entries.insert(row + i, paths.at(i));
    if (row <= m_current)
        m_current += int(paths.size());
    Q_EMIT entriesChanged();
    return true;
}

void Playlist::removeRows(const QList<int> &rows)
{
    QList<int> gone;
    for (int row : rows) {
        if (row >= 0 && row < count() && !gone.contains(row))
            gone.append(row);
    }
    if (gone.isEmpty())
        return;
    std::sort(gone.begin(), gone.end(), std::greater<int>());
    // The entry that follows the one playing is played next; when the
    // playing entry itself goes, the one that took its place is.
    int before = 0;
    bool playingGone = false;
    for (int row : std::as_const(gone)) {
        m_entries.removeAt(row);
        if (row < m_current)
            ++before;
        else if (row == m_current)
            playingGone = true;
    }
    if (m_current >= 0)
        m_current -= before + (playingGone ? 1 : 0);
    m_playingRemoved = m_playingRemoved || playingGone;
    Q_EMIT entriesChanged();
}

void Playlist::clear()
{
    m_entries.clear();
    m_current = -1;
    m_playingRemoved = true;
    Q_EMIT entriesChanged();
}

int Playlist::moveUp(int row)
{
    if (row <= 0 || row >= count())
        return -1;
    m_entries.swapItemsAt(row, row - 1);
    if (m_current == row)
        m_current = row - 1;
    else if (m_current == row - 1)
        m_current = row;
    Q_EMIT entriesChanged();
    return row - 1;
}

int Playlist::moveDown(int row)
{
    if (row < 0 || row >= count() - 1)
        return -1;
    return moveUp(row + 1) + 1;
}

void Playlist::play()
{
    if (m_entries.isEmpty())
        return;
    // A hand-over still pending would otherwise cut entry 0 short.
    m_listTimer.stop();
    m_statusTimer.stop();
    if (m_mode != Mode::Idle) {
        m_player.stop();
        setMode(Mode::Idle);
    }
    m_failuresInRow = 0;
    startEntry(0);
}

void Playlist::playFrom(int row)
{
    if (row < 0 || row >= count())
        return;
    if (m_mode != Mode::Idle) {
        m_statusTimer.stop();
        m_player.stop();
        setMode(Mode::Idle);
    }
    m_current = row - 1;
    m_failuresInRow = 0;
    handOver();
}

void Playlist::transportPlay()
{
    if (m_mode == Mode::Idle)
        return;
    m_player.play();
    m_statusTimer.start();
}

void Playlist::transportPause()
{
    if (m_mode != Mode::Idle)
        m_player.pause();
}

void Playlist::transportStop()
{
    if (m_mode != Mode::Idle)
        m_player.stop();
}

void Playlist::stop()
{
    m_listTimer.stop();
    m_statusTimer.stop();
    m_player.stop();
    setMode(Mode::Idle);
    m_file.clear();
}

QString Playlist::currentType() const
{
    return playlistEntryType(m_file);
}

void Playlist::setVolumeStep(int step)
{
    m_volumeStep = std::clamp(step, 0, 10);
    // Only MP3 entries follow the slider; the other files play at full volume.
    if (m_mode == Mode::Mp3)
        m_player.setVolume(m_volumeStep / 10.0);
}

void Playlist::tmrlistplay_Timer()
{
    m_listTimer.stop();
    if (m_current < count() - 1) {
        startEntry(m_current + 1);
    } else if (m_repeat && m_failuresInRow < count()) {
        play();
    }
    // Otherwise playing ends after the last entry.
}

int Playlist::playingIndex() const
{
    return m_mode == Mode::Idle || m_playingRemoved ? -1 : m_current;
}

void Playlist::startEntry(int index)
{
    m_current = index;
    m_playingRemoved = false;
    m_file = m_entries.at(index);
    const QString type = playlistEntryType(m_file);
    Display shown;
    shown.song = fileTitle(m_file);
    setDisplay(shown);
    Q_EMIT entryStarted(index);

    QString source = m_file;
    Mode mode = Mode::File;
    double volume = 1.0;
    if (type == u"CDA") {
        QString why;
        source = PlaylistCd::trackSource(m_file, m_cd.canPlayTracks(), &why);
        if (source.isEmpty()) {
            m_log.writeLog(u",曲目列表播放跳过CD音轨%1（%2）"_s.arg(m_file, why));
            ++m_failuresInRow;
            Q_EMIT entrySkipped(index, why);
            handOver();
            return;
        }
        mode = Mode::Cd;
    } else if (type == u"MP3") {
        mode = Mode::Mp3;
        volume = m_volumeStep / 10.0;
    }
    // The mode is set first: a player that fails at once finds the entry
    // playing and moves on from it.
    setMode(mode);
    m_player.setVolume(volume);
    m_statusTimer.start();
    m_player.loadAndPlay(source);
}

void Playlist::entryEnded()
{
    if (m_mode == Mode::Idle)
        return;
    m_statusTimer.stop();
    // The last status update came up to a second before the end.
    const auto length = qint64(std::llround(m_player.durationSeconds() * 1000));
    if (length > 0)
        showProgress(length, length);
    m_failuresInRow = 0;
    setMode(Mode::Idle);
    handOver();
}

void Playlist::entryFailed(const QString &reason)
{
    if (m_mode == Mode::Idle)
        return;
    m_statusTimer.stop();
    m_log.writeLog(u",曲目列表播放无法播放%1（%2）"_s.arg(m_file, reason));
    ++m_failuresInRow;
    setMode(Mode::Idle);
    Q_EMIT entrySkipped(m_current, reason);
    handOver();
}

void Playlist::handOver()
{
    m_listTimer.start();
}

void Playlist::statusUpdate()
{
    if (m_mode == Mode::Idle)
        return;
    const auto length = qint64(std::llround(m_player.durationSeconds() * 1000));
    const auto position = qint64(std::llround(m_player.positionSeconds() * 1000));
    showProgress(position, length);
}

void Playlist::showProgress(qint64 position, qint64 length)
{
    length = std::max<qint64>(length, 0);
    // The position is unknown (-1) before the stream starts and can run past
    // the length at its end.
    position = std::clamp<qint64>(position, 0, length);
    Display shown = m_display;
    shown.songLength = minutesSeconds(length);
    shown.ctime = u"%1/%2"_s.arg(position / 1000).arg(length / 1000);
    shown.progress = length > 0 ? int(position * 100 / length) : 0;
    setDisplay(shown);
}

void Playlist::setDisplay(const Display &display)
{
    if (display == m_display)
        return;
    m_display = display;
    Q_EMIT displayChanged();
}

void Playlist::setMode(Mode mode)
{
    if (m_mode == mode)
        return;
    m_mode = mode;
    Q_EMIT modeChanged(mode);
}
