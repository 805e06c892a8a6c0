#pragma once

#include "platform/secondticker.h"

#include <QDateTime>
#include <QObject>
#include <QTime>

class Clock;
class LogWriter;
class Playlist;
class Power;

// "限时播放": while armed, the list starts at the "从" time and stops at the
// "到" time, after which the PC powers off when "播完后自动关机" is ticked and
// the window is disarmed. Each time acts on the first tick at or after it, so
// a second in which no tick fell is not missed, and at most once a day.
class PlaylistTimedPlay final : public QObject
{
    Q_OBJECT
public:
    PlaylistTimedPlay(Playlist &list, const Clock &clock, Power &power, LogWriter &log,
                      QObject *parent = nullptr);

    // chkfromto. Arming starts afresh: times already past do not act.
    void setArmed(bool on);
    bool isArmed() const { return m_armed; }
    void setTimes(QTime from, QTime to);
    QTime from() const { return m_from; }
    QTime to() const { return m_to; }
    void setShutdown(bool on) { m_shutdown = on; }

    // One tick of tmrfromto, public so that tests can tick it.
    void tmrfromto_Timer();

    // The picker coupling: the "到" time after "从" changed (it follows "从"
    // when not later than it) and after "到" changed (never earlier than "从").
    static QTime toAfterFromChanged(QTime from, QTime to);
    static QTime toAfterToChanged(QTime from, QTime to);

Q_SIGNALS:
    void armedChanged(bool armed);

private:
    // Whether the time of day t fell after the previous tick and up to now,
    // on a day it has not acted on yet.
    bool due(QTime t, const QDateTime &now, QDate &actedOn) const;

    Playlist &m_list;
    const Clock &m_clock;
    Power &m_power;
    LogWriter &m_log;
    SecondTicker m_ticker;
    bool m_armed = false;
    bool m_shutdown = false;
    QTime m_from {0, 0};
    QTime m_to {0, 0};
    QDateTime m_lastTick;
    QDate m_startedOn;
    QDate m_endedOn;
};
