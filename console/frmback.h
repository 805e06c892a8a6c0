#pragma once

#include "console/appsettings.h"
#include "console/consolestate.h"
#include "console/remotekeys.h"
#include "platform/appfolder.h"
#include "platform/profileini.h"

#include <QMainWindow>

#include <memory>

class BackgroundWidget;
class Clock;
class EndOfDay;
class LogWriter;
class Power;
class Scheduler;
class Dialogs;
class MediaPlayer;
class Mixer;
class PlaybackEngine;
class PlayerFrame;
class ProgrammeModel;
class QVideoWidget;
class RemoteKeys;
class SerialPort;
class ZoneLink;
class clsVolume;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTreeView;
class SecondTicker;
class TodaySchedule;
class UserStore;

// What the main window is given by the program: the services it works through.
struct ConsoleServices
{
    const Clock &clock;
    Dialogs &dialogs;
    UserStore &store;
    MediaPlayer &player;
    Mixer &mixer;
    SerialPort &port;
    Power &power;
    AppFolder folder;
};

// The console's main window: clock, today's list or the next-item panel,
// user name and status bar.
class frmback final : public QMainWindow, public ConsoleActions
{
    Q_OBJECT
public:
    explicit frmback(const ConsoleServices &services, QWidget *parent = nullptr);
    ~frmback() override;

    // The load sequence of the window; call once before showing it.
    void startUp();

    AppSettings &settings() { return m_settings; }
    ConsoleState &state() { return m_state; }
    ProgrammeModel &programme() { return *m_model; }
    TodaySchedule &today() { return *m_today; }
    PlaybackEngine &playback() { return *m_playback; }
    clsVolume &volume() { return *m_volume; }
    ZoneLink &link() { return *m_link; }
    Scheduler &scheduler() { return *m_scheduler; }
    EndOfDay &endOfDay() { return *m_endOfDay; }
    // Where video is shown; the program hands it to the real player.
    QVideoWidget *videoWidget() const { return mp; }

    // Plays a file on the PC; called by the scheduler, the remote keys and
    // other windows.
    void playsong(const QString &sfilename, const QString &splaylen);
    // "增大音量" and "减小音量".
    void volumeUp();
    void volumeDown();
    // The list's "播  放": plays the selected row by hand.
    void playSelectedRow();
    // "打开": plays a file chosen by the operator.
    void openAndPlay();
    void setPlayerVisible(bool visible);
    void setEquipmentStatus(const QString &text) override; // status panel "status"

    // The views that the menus toggle.
    void setListVisible(bool visible);
    void setNextPanelVisible(bool visible);
    void setUserLabelVisible(bool visible);

    void setAutomaticMode();
    void setManualMode();

    // Columns and sorting of today's list, sized to the list's present width.
    void SetupProgrammeList();
    // The "退出(&X)" command: asks, and closes the window on Yes.
    void exitWithQuestion();

    // A key code from the zone controller.
    void MSCommzone_OnComm(int code);

    // The clock field's text for the moment, as timerplayer shows it.
    void showClock();
    // One tick of timerplayer: the clock, and the progress while playing.
    void timerplayer_Timer();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // What the scheduler, the end of the day and the remote keys do to this window.
    void stopPlayer() override;
    void setPlayerTitle(const QString &title) override;
    void setManualPlayback(bool on) override;
    void enterRemoteManualMode() override;
    void stopForRemote() override;
    int volumeSliderValue() const override;
    void setVolumeSliderValue(int value) override;
    void endProgram() override;

    void buildControls();
    void buildMenus();
    void buildStatusBar();
    void applyDisplaySettings();
    void placeControls();
    void sizeProgrammeColumns();
    void showProgrammeMenu(const QPoint &pos);
    void chooseBackgroundPicture();

    const Clock &m_clock;
    Dialogs &m_dialogs;
    UserStore &m_store;
    AppFolder m_folder;
    ProfileIni m_configIni;
    AppSettings m_settings;
    ConsoleState m_state;

    ProgrammeModel *m_model = nullptr;
    TodaySchedule *m_today = nullptr;
    SecondTicker *m_timerplayer = nullptr;
    PlaybackEngine *m_playback = nullptr;
    std::unique_ptr<clsVolume> m_volume;
    ZoneLink *m_link = nullptr;
    std::unique_ptr<RemoteKeys> m_remoteKeys;
    std::unique_ptr<LogWriter> m_log;
    Scheduler *m_scheduler = nullptr;
    EndOfDay *m_endOfDay = nullptr;

    BackgroundWidget *imgback = nullptr;
    QLineEdit *txttime = nullptr;
    QTreeView *lvwprog = nullptr;
    QLabel *lblnextprog = nullptr;
    QLabel *lbluser = nullptr;
    QLabel *m_panels[4] = {};
    PlayerFrame *fraplayer = nullptr;
    QVideoWidget *mp = nullptr;
    QAction *mnushowplayer = nullptr;
    QMenu *mnuedit = nullptr;
    QAction *mnuauto = nullptr;
    QAction *mnumanual = nullptr;
    QAction *mnushownext = nullptr;
    QAction *mnushowlist = nullptr;
    QAction *mnushowuser = nullptr;
};
