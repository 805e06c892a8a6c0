#pragma once

#include "console/consolesettings.h"
#include "console/consolestate.h"
#include "platform/appfolder.h"
#include "platform/savedfiles.h"

#include <QObject>

#include <memory>

class Clock;
class Dialogs;
class EmergencyBroadcast;
class EndOfDay;
class AsRunLog;
class LogWriter;
class MasterVolume;
class MediaPlayer;
class MediaProbe;
class Mixer;
class PlaybackEngine;
class Power;
class ProgrammeModel;
class ProgramLauncher;
class RemoteKeys;
class RemoteList;
class Scheduler;
class SecondTicker;
class SerialPort;
class TerminalSupervisor;
class TodaySchedule;
class UserStore;
class ZoneLink;

// The running console: its settings, shared state, today's list, the one
// player and its volume, the zone link, the remote keys, the scheduler and
// the end of the day. The program builds one; every window is a view of it
// (or of the part it needs) and never of another window.
class Console final : public QObject
{
    Q_OBJECT
public:
    // What the console works through: the services of the system.
    struct Services
    {
        const Clock &clock;
        Dialogs &dialogs;
        UserStore &store;
        MediaPlayer &player;
        Mixer &mixer;
        SerialPort &port;
        Power &power;
        ProgramLauncher &launcher;
        MediaProbe &probe; // how long a media file plays, for the schedule editor
        AppFolder folder;
    };

    explicit Console(const Services &services, QObject *parent = nullptr);
    ~Console() override;

    // The load sequence: date folder, settings, today's list, the port, the
    // start-up tables, the next item, the flags, the remote list, the mixer,
    // then the timers. Messages it raises never wait for the operator.
    void startUp();

    const Clock &clock() const { return m_s.clock; }
    Dialogs &dialogs() { return m_s.dialogs; }
    const AppFolder &folder() const { return m_s.folder; }
    ProgramLauncher &launcher() { return m_s.launcher; }
    UserStore &store() { return m_s.store; }
    // The main window's player: the schedule, the operator, the folder
    // entries, the remote keys and the editor's audition take turns on it
    // through PlaybackEngine. The player windows play through their own.
    MediaPlayer &player() { return m_s.player; }
    MediaProbe &probe() { return m_s.probe; }
    Power &power() { return m_s.power; }

    ConsoleSettings &settings() { return m_settings; }
    ConsoleState &state() { return m_state; }
    ProgrammeModel &programme() { return *m_model; }
    TodaySchedule &today() { return *m_today; }
    PlaybackEngine &playback() { return *m_playback; }
    MasterVolume &volume() { return *m_volume; }
    ZoneLink &link() { return *m_link; }
    RemoteKeys &remoteKeys() { return *m_remoteKeys; }
    // rem_list.txt and the cursor of the remote keys; they change it.
    const RemoteList &remoteList() const { return *m_remoteList; }
    Scheduler &scheduler() { return *m_scheduler; }
    // 紧急广播: while it runs the scheduler is held and of the remote keys
    // only stop counts, which ends it.
    EmergencyBroadcast &emergency() { return *m_emergency; }
    EndOfDay &endOfDay() { return *m_endOfDay; }
    LogWriter &log() { return *m_log; }
    // The as-run log of the day's events (log/yyyymmdd.csv).
    AsRunLog &asRunLog() { return *m_asRun; }
    // Asks the terminals of the items playing whether they are on (when the
    // settings switch it on) and raises an alarm for one that stays silent.
    TerminalSupervisor &supervisor() { return *m_supervisor; }
    SecondTicker &secondTicker() { return *m_timerplayer; }
    // Where the cores announce what they saved; the console reads it again
    // (the remote list, the frequencies and lead times, today's list).
    SavedFiles &savedFiles() { return m_savedFiles; }

    // Plays a file on the PC for the operator: what other windows call. The
    // scheduler, the folder entries, the remote keys and the editor's
    // audition name themselves to PlaybackEngine::playsong instead.
    void playsong(const QString &sfilename, const QString &splaylen);
    // "自动状态(&A)" and "手动状态(&M)".
    void setAutomaticMode();
    void setManualMode();

    // The list's "播  放": plays a 0-based row by hand. An empty list gets
    // the message "请设置播放文件"; a row out of range plays the first.
    void playRowByHand(int row);
    // Stops what plays now, as the remote's stop key does (the work status
    // goes back to automatic), and has the scheduler switch off at once what
    // the playing items switched on, instead of at the end of their play
    // lengths. Nothing while the program ends; during an emergency
    // broadcast it ends the emergency instead.
    void stopItemsNow();
    // "打开": plays a file the operator chose.
    void playFileByHand(const QString &path);

    // "修  改", "删  除", "查  看": asks the editor to open the current week
    // file. Returns true when the editor is to be shown now (week mode); in
    // date mode the request waits for the editor's next activation. Without
    // the work file of the mode it says so and asks nothing.
    bool requestEditCurrentWeekFile();
    // Toolbar position 7: starts the system's sound recorder, or says that
    // none can be started.
    bool startSoundRecorder();
    static QStringList soundRecorderPrograms();

    // The settings dialog's Apply: saves, announces, and has the next tick
    // reload today's list. Returns what could not be written.
    QStringList applySettings(const AppSettings &values);

    // One tick of timerplayer: the progress while playing, and in automatic
    // work status the scheduler. Then ticked() lets the views show the clock.
    void timerplayer_Timer();

    // The program ends: the port is closed and programEnds() is announced
    // (once). Nothing is switched off and nothing is saved.
    void endProgram();
    bool ending() const { return m_ending; }

Q_SIGNALS:
    // Each tick of timerplayer, before its work: the clock to show.
    void ticked();
    void programEnds();

private:
    void stopParts();
    void fileSaved(SavedFiles::Kind kind, const QString &path);

    // Declared in the order they depend on each other, so that each part is
    // destroyed before what it refers to.
    Services m_s;
    ConsoleSettings m_settings;
    ConsoleState m_state;
    SavedFiles m_savedFiles;
    std::unique_ptr<ProgrammeModel> m_model;
    std::unique_ptr<LogWriter> m_log;
    std::unique_ptr<AsRunLog> m_asRun;
    std::unique_ptr<TodaySchedule> m_today;
    std::unique_ptr<PlaybackEngine> m_playback;
    std::unique_ptr<MasterVolume> m_volume;
    std::unique_ptr<ZoneLink> m_link;
    std::unique_ptr<RemoteList> m_remoteList;
    std::unique_ptr<RemoteKeys> m_remoteKeys;
    std::unique_ptr<Scheduler> m_scheduler;
    std::unique_ptr<EmergencyBroadcast> m_emergency;
    std::unique_ptr<EndOfDay> m_endOfDay;
    std::unique_ptr<TerminalSupervisor> m_supervisor;
    std::unique_ptr<SecondTicker> m_timerplayer;
    bool m_ending = false;
    int m_soundRestarts = 0;
};
