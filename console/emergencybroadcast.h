#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>

class Clock;
class ConsoleSettings;
class MasterVolume;
class PlaybackEngine;
class Scheduler;
class ZoneLink;

// 紧急广播: every terminal, amplifier and device on at the emergency
// channel's frequency, the emergency file in a loop at full volume (or the
// line input), the scheduler held; its end gives back what was there.
//
// The switch-on keeps the order and the leads of a scheduled start: the
// amplifiers go on their lead ahead of the terminals, each device its own
// lead ahead, and the terminals last, so no room hears the amplifiers'
// switch-on thump through an open terminal.
class EmergencyBroadcast final : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        const Clock &clock;
        ConsoleSettings &settings;
        Scheduler &scheduler;
        ZoneLink &link;
        PlaybackEngine &playback;
        MasterVolume &volume;
    };

    explicit EmergencyBroadcast(const Services &services, QObject *parent = nullptr);

    // Starts it now; false when one runs already or the program ends.
    bool start();
    // Ends it: what it switched on and nobody held before is switched off,
    // and the items whose play length still runs are taken up again.
    bool end();
    // One second: the switch-on steps due by now, their repeats, the file's
    // loop, and the rows that came due meanwhile passed over.
    void tick();
    // The program ends: nothing more is sent or played.
    void stop() { m_stopped = true; }

    bool active() const { return m_active; }
    QDateTime startedAt() const { return m_started; }
    // "mm:ss", or "h:mm:ss" past the hour, since the start.
    QString elapsedText() const;
    static QString elapsedText(qint64 seconds);

    // An emergency keeps the order of a normal start, but no lead holds the
    // terminals back longer than this: a device set to warm up for minutes
    // must not keep the rooms silent for minutes.
    static constexpr int MaxLeadSeconds = 10;
    // The seconds after the start at which each part goes on: amplifiers,
    // device d (1..8) and the terminals.
    struct Timing
    {
        int amps = 0;
        std::array<int, 9> devices {};
        int terminals = 0;
    };
    static Timing timingFor(const QString &ampLead, const std::array<QString, 9> &deviceLeads);

    static QString kind(); // "紧急广播", the as-run log's kind of its lines

Q_SIGNALS:
    void started();
    void ended();
    // A line for the as-run log.
    void logged(const QString &text);

private:
    void sendDue();
    void playFile();

    Services m_s;
    bool m_active = false;
    bool m_stopped = false;
    QDateTime m_started;
    QString m_since; // "hh:mm:ss" of the start: rows due from then on are passed over
    Timing m_timing;
    bool m_ampsSent = false;
    std::array<bool, 9> m_devicesSent {};
    bool m_terminalsSent = false;
    int m_repeat = 0; // seconds since the terminals went on, until the repeats are done
    bool m_replay = false; // the file ended: it starts again at the next second
    bool m_playing = false; // the file was handed to the player and is ours
    quint64 m_turn = 0; // the player's turn the file was handed over at
    int m_volumeBefore = 0;
    QString m_frequencyHigh;
    QString m_frequencyLow;
};
