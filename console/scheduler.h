#pragma once

#include "console/channelstate.h"

#include <QDate>
#include <QMap>
#include <QObject>
#include <QSet>

#include <array>
#include <optional>

class Clock;
class ConsoleSettings;
class ConsoleState;
class Dialogs;
class FolderPlayback;
class LogWriter;
class MasterVolume;
class PlaybackEngine;
class ProgrammeModel;
class TodaySchedule;
class ZoneLink;

// The heart of the console: every second it supervises the programme
// channels, reloads the day when asked or when the date changes, and scans
// today's list to switch equipment on ahead of time, start the rows that are
// due and pass over the rows whose start was missed.
class Scheduler final : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        const Clock &clock;
        ConsoleSettings &settings;
        ConsoleState &state;
        ProgrammeModel &model;
        TodaySchedule &today;
        ZoneLink &link;
        PlaybackEngine &playback;
        MasterVolume &volume;
        LogWriter &log;
        Dialogs &dialogs;
    };

    explicit Scheduler(const Services &services, QObject *parent = nullptr);

    // One automatic tick (the caller has shown the clock and the progress and
    // checked that the console is not in manual mode).
    void tick();
    // The program ends: frames still on their way finish without starting
    // anything (no file is played, no status is set).
    void stop();
    // The operator stopped the items playing: each channel closes its
    // zones, devices and amplifiers now, with the frames and in the order of
    // the end of a play length, and forgets them; a folder plays no further
    // file. What was switched on ahead of coming rows stays on.
    void switchOffNow();
    // The console has just started, perhaps after a crash: the next scan
    // takes up the waiting rows whose start window has gone by but whose
    // play length still runs, instead of passing them over. Their
    // equipment is switched on as at their start and their file plays from
    // where it would stand by now. Only that one scan does so; a row whose
    // play length ran out while the console was down is passed over as
    // always, never played late.
    // cancelled: the rows the operator had cancelled (and not restored)
    // before the restart, as "hh:mm:ss file name"; they stay closed.
    void resumeRunningItems(const QSet<QString> &cancelled = {})
    {
        m_resuming = true;
        m_cancelledBefore = cancelled;
    }
    // A tick that manual mode keeps from the scheduler. The first one after
    // start-up ends the taking up all the same: only items running as the
    // console comes back are resumed, never rows an automatic tick meets
    // hours later.
    void skipTick()
    {
        m_resuming = false;
        m_cancelledBefore.clear();
    }
    // An emergency broadcast holds the scheduler: it ticks no more (no
    // starts, no closes, no repeats, nothing switched on ahead) until
    // releaseHold(); a folder entry plays no further file.
    void hold();
    bool held() const { return m_held; }
    // One second of the hold: the waiting rows whose start came at or after
    // since ("hh:mm:ss") and by now are done without being started, now or
    // later. What was switched on ahead of them is forgotten without a
    // frame: the emergency has everything on, and its end closes what no
    // one holds. Returns them as "hh:mm:ss file".
    QStringList passOverWhileHeld(const QString &since);
    // What the channels' items and the rows' leads hold on (DotLists).
    QString zonesHeld() const;
    QString ampsHeld() const { return heldAmps(0); }
    QString devicesHeld() const { return heldDevices(0); }
    // The hold ends. Each channel whose item's play length still runs sends
    // the frames of its start again, at its own frequency, with their
    // repeats; the item started last plays its file again where it would
    // stand by now. Items whose play length ran out meanwhile are closed by
    // the next tick as always. Returns the start times of those taken up.
    QStringList releaseHold();

    // Seconds since the start of a row at time whose play length (plen)
    // still runs at now, all "hh:mm:ss"; none before its start, at its very
    // start (it is simply due then), or once its play length is over.
    static std::optional<int> runningFor(const QString &time, const QString &plen,
                                         const QString &now);

    // Plays the entries whose file is a folder.
    FolderPlayback &folderPlayback() { return *m_folder; }

    // ChannelState: what programme channel 1..8 has switched on for its item.
    const ChannelStateRecord &channelState(int channel) const;
    // OutputsActive: some channel still has zones, devices or amplifiers on.
    bool outputsActive() const { return m_outputsActive; }
    // Amplifiers were switched on ahead of a coming row that has not started yet.
    bool AmpLeadSent() const;

    static QString tickErrorText(); // "打开的文件内容有误，请重新设置。"

Q_SIGNALS:
    // A started item's file (or folder) was handed to the player, once its
    // frames were out.
    void filePlayed(const QString &file, const QString &playLength);
    // Announced once per tick that changed them, after the tick's work.
    void channelStateChanged(int channel);
    void outputsActiveChanged(bool active);
    // Waiting rows (count of them) whose start window went by unplayed, from
    // firstTime to lastTime. A list reloaded in the day (settings applied, a
    // schedule saved) announces only the rows whose window was still to
    // come at the scan before: the others were played or announced then.
    void rowsPassedOver(int count, const QString &firstTime, const QString &lastTime);
    // A row that started at time was taken up again at start-up: its frames
    // are out and its file plays (or its folder starts over) elapsed seconds
    // into its play length.
    void itemResumed(const QString &time, const QString &file, int elapsed);
    // A row whose play length still ran at start-up could not be taken up
    // again (its file is not there) and was passed over.
    void itemNotResumed(const QString &time, const QString &file, const QString &reason);
    // The item of a channel (started at startTime, HH:mm:ss) is over: its
    // play length went by and the last of its zones, devices and amplifiers
    // was switched off.
    void itemEnded(int channel, const QString &startTime, const QString &detail);

private:
    struct Lead
    {
        QString amps;
        QString devices;
    };

    // One tick's work, without the announcements.
    void work();
    void ChannelSupervisor();
    void OpenDevicesAhead(int row);
    // resumed: the row is taken up again at start-up, its file played from
    // where it would stand when its frames are out.
    bool StartItem(int row, bool resumed = false);
    bool ResumeItem(int row, int elapsed);
    // Rows whose start was missed, gathered while the scan goes over them.
    struct PassedOver
    {
        int first = 0;
        int last = 0;
        int count = 0; // waiting rows among first..last, all passed over
        QString firstTime;
        QString lastTime;
        // Of those, the rows the console missed just now: after a reload in
        // the day, not the ones it played or gave up before the reload.
        int missed = 0;
        QString firstMissed;
        QString lastMissed;
        void add(int row, const QString &time, bool missedNow);
    };

    bool scan(const QDateTime &nowMoment);
    // Marks the gathered rows done in one step, closes what was switched on
    // ahead of them, logs one line and empties passed.
    void passOver(PassedOver &passed);
    // Hands a started item's file, or its folder, to the player; item is the
    // count of started items when it started. A file starts fromMs into
    // itself (an item taken up again); a folder always with its first file.
    void play(const QString &file, const QString &plen, const QString &detail, const QDateTime &end,
              quint64 item, qint64 fromMs);
    // Queues a frame; one that cannot go out is logged and the console goes on.
    bool send(int code, const QString &p1, const QString &p2, const QString &list);
    void reportUnsent(const QString &what);
    void fail(const QString &reason);
    // Closes what was switched on ahead of a row that will not start, unless
    // a channel or another coming row holds it.
    void releaseLead(int row);
    void releaseCancelledLeads();
    void releaseAllLeads();
    QString heldAmps(int exceptRow) const;
    QString heldDevices(int exceptRow) const;

    Services m_s; // what it works with, as given
    FolderPlayback *m_folder; // a child
    std::array<ChannelStateRecord, 9> m_channels; // ChannelState, [1..8] used
    bool m_outputsActive = false;
    QDate m_loadedDate;
    QMap<int, Lead> m_leads; // by 1-based row
    bool m_stopped = false;
    bool m_resuming = false; // until the first tick after start-up, scanned or skipped
    QSet<QString> m_cancelledBefore; // see resumeRunningItems
    // The description of the item each channel started last, [1..8]: the
    // channel record's own detail is taken over when another channel starts.
    std::array<QString, 9> m_startedDetails;
    std::array<QString, 9> m_startedFiles; // likewise, the file (or folder) of that item
    int m_lastStartedChannel = 0; // the channel whose item took the player last
    bool m_held = false; // see hold()
    // The rows of today passed over while held, as "hh:mm:ss file".
    QSet<QString> m_heldOver;
    QDateTime m_previousScan; // the moment of the last scan, none before the first
    // While the scan after a reload in the day runs: the time of the scan
    // before it. Rows whose start window had gone by then were played or
    // passed over then, and are not announced again.
    QString m_settledUpTo;
    quint64 m_itemsStarted = 0;
};
