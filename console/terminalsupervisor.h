#pragma once

#include "console/channelstate.h"
#include "zonelink/zonelink.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>
#include <set>

class AsRunLog;
class Clock;

// Terminal supervision: while items play and the line is otherwise idle, the
// terminals that should be on are asked, one at a time and a few seconds
// apart, whether they are on, with the status check's own query. A terminal
// that leaves two queries in a row unanswered raises an alarm, which clears
// once it answers again; both are written to the as-run log. A remote key
// pressed while a query has the line is passed on as between queries.
// Switched off, it puts nothing on the line.
//
// The console calls check() right after each automatic tick of the
// scheduler, so a query goes out only when that tick left the line idle, and
// only early enough in the second to be over (send delay and reply window
// included) before the next tick: the scheduler never finds the line held
// by a query.
class TerminalSupervisor final : public QObject
{
    Q_OBJECT
public:
    // At most one query this often, whatever the number of terminals.
    static constexpr int kIntervalMs = 5000;
    // Unanswered queries in a row that raise the alarm.
    static constexpr int kMissesForAlarm = 2;
    // A query starts no later than this into a second, so that it is over
    // with this much to spare before the next tick.
    static constexpr int kSpareBeforeTickMs = 100;
    static inline const QString kLogKind = QStringLiteral("巡检");

    struct Services
    {
        const Clock &clock;
        ZoneLink &link;
        AsRunLog &log;
    };

    // What the programme channels ask of the line after a tick.
    struct Duty
    {
        QList<int> terminals; // that should be on now, ascending, no repeats
        bool lineWanted = false; // the scheduler has frames to repeat or to close
    };

    explicit TerminalSupervisor(const Services &services, QObject *parent = nullptr);

    // The channels' records (1..8) give the duty: the terminals of the items
    // inside their play window, once their switch-on repeats are over. A
    // channel still repeating, or past its end with its terminals still on
    // (their close is coming), wants the line.
    static Duty dutyOf(const std::function<const ChannelStateRecord &(int channel)> &channel,
                       const QDateTime &now);

    void setEnabled(bool enabled);
    bool enabled() const { return m_enabled; }

    // After a tick: asks the next terminal of the duty when it is time, the
    // line is open and idle and no query of ours is under way.
    void check(const Duty &duty);

    // The query of the status check at its initial settings.
    static ZoneLink::Query query();
    // Milliseconds a query holds the line at most: its frame on the wire,
    // the send delay and the reply window.
    static int queryHoldMs();

    // Terminals in alarm, ascending.
    QList<int> alarms() const;
    // What the status bar shows: empty while no terminal is in alarm.
    QString alarmText() const;
    bool queryUnderway() const { return m_underway; }

Q_SIGNALS:
    void alarmTextChanged(const QString &text);

private:
    int nextTerminal(const QList<int> &terminals) const;
    void ask(int address);
    void answered(int address);
    void missed(int address);
    void announce();

    Services m_s;
    bool m_enabled = false;
    bool m_underway = false;
    quint64 m_generation = 0; // a query from before a switch-off gives no verdict
    QDateTime m_lastQuery; // invalid before the first
    int m_lastAsked = -1;
    QMap<int, int> m_misses; // unanswered queries in a row, by address
    std::set<int> m_alarms; // addresses in alarm
    QString m_shownText;
};
