#include "players/playlisttimedplay.h"

#include "platform/clock.h"
#include "platform/logwriter.h"
#include "platform/power.h"
#include "players/playlist.h"

using namespace Qt::StringLiterals;

namespace {
// The times are set to the second; the clock is compared to the second.
QDateTime toSecond(const QDateTime &moment)
{
    return moment.addMSecs(-moment.time().msec());
}
} // namespace

PlaylistTimedPlay::PlaylistTimedPlay(Playlist &list, const Clock &clock, Power &power,
                                     LogWriter &log, QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_clock(clock)
    , m_power(power)
    , m_log(log)
    , m_ticker(clock)
{
    connect(&m_ticker, &SecondTicker::tick, this, &PlaylistTimedPlay::tmrfromto_Timer);
}

void PlaylistTimedPlay::setArmed(bool on)
{
    if (on == m_armed)
        return;
    m_armed = on;
    if (on) {
        m_lastTick = toSecond(m_clock.now());
        m_startedOn = {};
        m_endedOn = {};
        m_ticker.start();
    } else {
        m_ticker.stop();
    }
    Q_EMIT armedChanged(on);
}

void PlaylistTimedPlay::setTimes(QTime from, QTime to)
{
    m_from = QTime(from.hour(), from.minute(), from.second());
    m_to = QTime(to.hour(), to.minute(), to.second());
}

QTime PlaylistTimedPlay::toAfterFromChanged(QTime from, QTime to)
{
    return to > from ? to : from;
}

QTime PlaylistTimedPlay::toAfterToChanged(QTime from, QTime to)
{
    return to < from ? from : to;
}

bool PlaylistTimedPlay::due(QTime t, const QDateTime &now, QDate &actedOn) const
{
    // The span since the last tick may cross midnight: the time can fall on
    // either day.
    for (const QDate &day : {m_lastTick.date(), now.date()}) {
        const QDateTime moment(day, t);
        if (m_lastTick < moment && moment <= now && actedOn != day) {
            actedOn = day;
            return true;
        }
    }
    return false;
}

void PlaylistTimedPlay::tmrfromto_Timer()
{
    if (!m_armed)
        return;
    const QDateTime now = toSecond(m_clock.now());
    const bool start = due(m_from, now, m_startedOn);
    const bool end = due(m_to, now, m_endedOn);
    m_lastTick = now;
    if (start)
        m_list.play();
    if (!end)
        return;
    // The list stops for good: a hand-over under way would start the next
    // entry a second later.
    m_list.stop();
    setArmed(false);
    if (m_shutdown) {
        m_log.writeLog(u",限时播放结束，系统自动关机!"_s);
        m_power.powerOff();
    }
}
