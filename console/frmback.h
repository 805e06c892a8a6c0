#pragma once

#include "console/appsettings.h"
#include "console/consolestate.h"
#include "platform/appfolder.h"
#include "platform/profileini.h"

#include <QMainWindow>

class BackgroundWidget;
class Clock;
class Dialogs;
class ProgrammeModel;
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
    AppFolder folder;
};

// The console's main window: clock, today's list or the next-item panel,
// user name and status bar.
class frmback final : public QMainWindow
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

    // The clock field's text for the moment, as timerplayer shows it.
    void showClock();

private:
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

    BackgroundWidget *imgback = nullptr;
    QLineEdit *txttime = nullptr;
    QTreeView *lvwprog = nullptr;
    QLabel *lblnextprog = nullptr;
    QLabel *lbluser = nullptr;
    QLabel *m_panels[4] = {};
    QMenu *mnuedit = nullptr;
    QAction *mnuauto = nullptr;
    QAction *mnumanual = nullptr;
    QAction *mnushownext = nullptr;
    QAction *mnushowlist = nullptr;
    QAction *mnushowuser = nullptr;
};
