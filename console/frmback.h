#pragma once

#include <QMainWindow>

#include <functional>

class BackgroundWidget;
class Console;
class PlayerFrame;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QTreeView;
class VideoView;
class WindowHost;

// The console's main window, a view of the running console: clock, today's
// list or the next-item panel, player, user name, status bar, and the menus
// and toolbar that open every other window and switch the work status.
class frmback final : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmback(Console &console, QWidget *parent = nullptr);
    ~frmback() override;

    // The other windows, opened through here; the program adds each by the
    // name its menu items use. Each stays above the main window.
    void addWindow(const QString &name, std::function<QWidget *(QWidget *parent)> factory);
    WindowHost &windows() { return *m_windows; }
    // Where video is shown; the program hands it to the real player.
    QWidget *videoWidget() const { return mp; }
    VideoView &videoView() const { return *m_video; }

    // The names under which the windows of the menus are added.
    static QStringList windowNames();

    // The view toggles of the menu "窗口(&W)" and of the toolbar.
    void mnushownext_Click();
    void mnushowlist_Click();
    void mnushowplayer_Click();
    void mnushowuser_Click();
    void tbr1_detail_Click();
    // The main area shows today's list or the next-item panel, always one
    // of the two, and the menu ticks the one shown.
    enum class View { List, NextItem };
    View view() const { return m_view; }
    bool listShown() const { return m_view == View::List; }
    bool nextPanelShown() const { return m_view == View::NextItem; }

    // "修  改", "删  除" and "查  看" of the list's pop-up menu.
    void openCurrentWeekFile();
    // "退出(&X)" (fromToolbar false) and toolbar position 14 (true).
    void exitWithQuestion(bool fromToolbar);
    // "打开" and toolbar position 8.
    void openAndPlay();
    // "设置背景图片(&B)".
    void chooseBackgroundPicture();
    // "紧急广播" (F9, menu and toolbar): asks once, then starts it; while it
    // runs the same action reads "结束紧急广播" and ends it.
    void emergencyClicked();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void buildEmergency();
    void showEmergency();
    void placeEmergencyBanner();
    void followConsole();
    // A menu item that opens a window of its own.
    struct WindowItem
    {
        const char16_t *caption;
        const char16_t *objectName;
        const char16_t *window;
    };
    void addWindowItems(QMenu *menu, std::initializer_list<WindowItem> items);
    void openEditor(bool newFile);
    QAction *windowAction(QMenu *menu, const QString &caption, const QString &objectName,
                          const QString &window);
    void enableWindowActions();

    void showClock();
    void showWorkStatus(bool manual);
    void showSoundStatus(const QString &text);
    void showSupervisionAlarm(const QString &text);
    void showLoadedSettings(bool firstRun);
    void showAppliedSettings();
    void showUserName();
    void showPicture(const QString &path, bool tellFailure);
    void setView(View view);
    void setPlayerShown(bool shown);
    void setUserShown(bool shown);
    void placeControls();
    void sizeProgrammeColumns();
    void setupProgrammeList();
    void showProgrammeMenu(const QPoint &pos);
    int currentRow() const;

    Console &m_console;
    WindowHost *m_windows;
    View m_view = View::List;

    BackgroundWidget *imgback = nullptr;
    QLineEdit *txttime = nullptr;
    QTreeView *lvwprog = nullptr;
    QLabel *lblnextprog = nullptr;
    QLabel *lbluser = nullptr;
    QLabel *m_panels[5] = {};
    QLabel *m_alarmPanel = nullptr; // terminal supervision; shown only with an alarm
    PlayerFrame *fraplayer = nullptr;
    QWidget *mp = nullptr;
    VideoView *m_video = nullptr;
    QToolBar *tbr1 = nullptr;
    QMenu *mnuedit = nullptr;
    QAction *mnuauto = nullptr;
    QAction *mnumanual = nullptr;
    QAction *mnushownext = nullptr;
    QAction *mnushowlist = nullptr;
    QAction *mnushowplayer = nullptr;
    QAction *mnushowuser = nullptr;
    QAction *m_emergencyAction = nullptr;
    QWidget *m_emergencyBanner = nullptr; // red, over the window's top while it runs
    QLabel *m_emergencyText = nullptr;
    // Actions that open a window, by the window's name.
    QList<std::pair<QAction *, QString>> m_windowActions;
};
