#pragma once

#include "players/playlist.h"

#include <QWidget>

#include <memory>

class AppFolder;
class Clock;
class Dialogs;
class LogWriter;
class MediaPlayer;
class MediaProbe;
class PlaylistCd;
class PlaylistTimedPlay;
class PlaylistTotal;
class Power;
class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimeEdit;
class QToolButton;
class QTreeView;

// "曲目列表播放": plays a list of sound files one after another through its
// own player, with a file browser to make the list, playlist files, repeat,
// and timed play that can power the PC off at its end.
class frmplaylist final : public QWidget
{
    Q_OBJECT
public:
    // What the window works with besides its own player and probe.
    struct Services
    {
        Dialogs &dialogs;
        const AppFolder &folder; // where browsing starts; the playlist folder
        const Clock &clock; // timed play
        Power &power; // timed play may power the PC off at its end
        LogWriter &log;
    };

    // The player and the probe are the window's own: nothing else plays
    // through them while it is open.
    frmplaylist(const Services &services, MediaPlayer &player, MediaProbe &probe,
                QWidget *parent = nullptr);
    ~frmplaylist() override;

    Playlist &playlist() { return *m_list; }
    PlaylistTimedPlay &timedPlay() { return *m_timed; }
    PlaylistTotal &total() { return *m_total; }
    // The playlist file last loaded or saved; empty until then.
    QString listFile() const { return m_listFile; }
    // The folder the file list shows.
    QString browsedFolder() const { return m_folder; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Building (frmplaylist.cpp).
    void buildControls();
    QWidget *buildBrowser();
    QWidget *buildPlayer();
    QWidget *buildOptions();
    void setTabOrderAlongLayout();
    void fillDrives();

    // The browser.
    void drvplaylist_Change(int index);
    void showFolder(const QString &folder);
    void Dirplaylist_Change();
    QStringList selectedFiles() const;

    // The commands (frmplaylist_commands.cpp).
    void cmdadd_Click();
    void cmdaddone_Click();
    void cmdaddall_Click();
    void fileplaylist_DblClick(const QString &name);
    void cmdinsert_Click();
    void cmdremove_Click();
    void cmdremoveall_Click();
    void cmdup_Click();
    void cmddown_Click();
    void cmdload_Click();
    void cmdsave_Click();
    void cmdplay_Click();
    void lstplaylist_DblClick(int row);
    void DTPfrom_Change();
    void DTPto_Change();
    void chkfromto_Click(bool on);

    void addAndRecompute(const QStringList &paths);
    void recomputeTotal();
    void showTotal();
    // The list rebuilt from the playlist, nothing selected: after every
    // change of the entries.
    void showList();
    // The selection and current row a command leaves, on the rebuilt list.
    void selectRows(const QList<int> &selected, int current);
    void markEntries();
    void showDisplay();
    void showMode();
    void setListFile(const QString &path);
    QList<int> selectedRows() const;

    Services m_s;
    std::unique_ptr<PlaylistCd> m_cd;
    Playlist *m_list = nullptr;
    PlaylistTotal *m_total = nullptr;
    PlaylistTimedPlay *m_timed = nullptr;
    QString m_listFile;
    QString m_folder;
    QString m_drive;

    QComboBox *drvplaylist = nullptr;
    QTreeView *Dirplaylist = nullptr;
    QFileSystemModel *m_folders = nullptr;
    QListWidget *fileplaylist = nullptr;
    QListWidget *lstplaylist = nullptr;
    QPushButton *cmdadd = nullptr;
    QPushButton *cmdaddone = nullptr;
    QPushButton *cmdaddall = nullptr;
    QPushButton *cmdinsert = nullptr;
    QPushButton *cmdremove = nullptr;
    QPushButton *cmdremoveall = nullptr;
    QPushButton *cmdup = nullptr;
    QPushButton *cmddown = nullptr;
    QPushButton *cmdload = nullptr;
    QPushButton *cmdsave = nullptr;
    QPushButton *cmdplay = nullptr;
    QPushButton *cmdquit = nullptr;
    QWidget *mmcplay = nullptr;
    QToolButton *mmcplayPlay = nullptr;
    QToolButton *mmcplayPause = nullptr;
    QToolButton *mmcplayStop = nullptr;
    QSlider *Slidervol = nullptr;
    QLabel *lblsong = nullptr;
    QLabel *lblsonglength = nullptr;
    QLabel *lblctime = nullptr;
    QProgressBar *ProgressBarplay = nullptr;
    QLabel *lbltimedisp = nullptr;
    QCheckBox *chkrepeat = nullptr;
    QCheckBox *chkfromto = nullptr;
    QTimeEdit *DTPfrom = nullptr;
    QTimeEdit *DTPto = nullptr;
    QCheckBox *chkshutdown = nullptr;
};
