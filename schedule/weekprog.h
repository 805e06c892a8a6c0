#pragma once

#include "platform/dialogs.h"
#include "schedule/entryfields.h"
#include "schedule/scheduleentry.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class AppFolder;
class Clock;
class ConflictMarks;
class ConflictWatch;
class ConsoleSettings;
class ConsoleState;
class EntryTargetsPanel;
class MasterVolume;
class MediaProbe;
class PlaybackEngine;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressDialog;
class QPushButton;
class QSlider;
class QTabWidget;
class QTimeEdit;
class QTreeView;
class SavedFiles;
class TrackLengths;
class WeekEditor;

// "编制自动播放列表": the schedule editor of one week file. The week and its
// rules live in WeekEditor; the window maps its controls to it, reads and
// writes the files through it and tells the operator the outcome.
class weekprog final : public QWidget
{
    Q_OBJECT
public:
    // What the editor works with.
    struct Services
    {
        Dialogs &dialogs;
        const AppFolder &folder; // the week and date folders, node.txt, amp_name.dat
        const Clock &clock;
        MediaProbe &probe; // how long a file plays
        MasterVolume &volume; // the console's one volume, which the slider shows
        PlaybackEngine &playback; // the audition plays on the main player
        ConsoleState &state; // the main window's requests to open a week file
        const ConsoleSettings &settings; // the week file in use, the groups' names
        SavedFiles &saved; // where the files written are announced
    };

    explicit weekprog(const Services &services, QWidget *parent = nullptr);
    ~weekprog() override;

    const WeekEditor &editor() const { return *m_editor; }
    // What in the week would clash on air, kept up to date as it changes.
    const ConflictWatch &conflicts() const { return *m_conflicts; }
    QString currentFile() const { return m_currentFile; }
    int currentDay() const;
    // The selected row of the current day's list; -1 for none.
    int selectedRow() const;

    // What the request flags of the console ask for; run whenever the
    // window becomes active.
    void activateRequests();

    void cmdadd_Click();
    void cmdmodify_Click();
    void cmddel_Click();
    void cmdup_Click();
    void cmddown_Click();
    void cmdprev_Click();
    void cmdcopy_Click();
    void cmdchoice_Click();
    void cmd2time_Click();
    void cmd3time_Click();
    void cmdwhole_Click();
    void cmdmulfile_Click();
    void cmdsequence_Click();
    void CmdRand_Click();
    void cmdhear_Click();
    // Returns whether the week is saved (or the operator declined to name a
    // file); false when an entry or the disk refused it.
    bool cmdsave_Click();
    bool cmdsaveas_Click();
    void cmdSaveAsDate_Click();
    void cmdLoadDate_Click();
    void mnuprev_Click();
    void mnucon_Click();
    void mnudelall_Click();
    void lvw_ItemClick(int row);
    void lvw_ColumnClick(int column);
    // A double click on a row marked as clashing selects the entry it
    // clashes with (the first one after it, round to the first).
    void lvw_DblClick(int row);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    QWidget *buildInputs();
    QWidget *buildEntryCommands();
    QWidget *buildFileCommands();
    void connectControls();
    QTreeView *list(int day) const { return lvw.at(std::size_t(day)); }
    void selectRow(int row);
    void showCaption();
    void queueActivation();
    // Asks about unsaved changes before the week is replaced; false when the
    // week must stay (its save failed).
    bool releaseWeek();
    // The same question for an activation, without waiting: then runs once
    // the week may be replaced (at once when nothing is unsaved), not at all
    // when it must stay.
    void releaseWeekThen(std::function<void()> then);
    // Acts on the answer to that question; false when the week must stay.
    bool weekReleased(MsgAnswer answer);
    void requestsAfterAnswer();
    void openWeek(const QString &path);
    void startNewWeek();
    void showConflicts();
    // Names the conflicts of the week (or of one day, for day >= 0) and asks
    // whether to write it all the same; true without any conflict.
    bool conflictsAccepted(int day = -1);
    enum class SaveOutcome {
        Written,
        Declined, // the operator cancelled the file dialog or the conflicts' question
        Refused, // an entry or the disk refused it; the operator was told
    };
    SaveOutcome save();
    // The file dialogs' folders under the application folder.
    QString weekFolder() const;
    QString dateFolder() const;
    // The entry of the input fields, checked; nothing when the operator was
    // told what is wrong.
    std::optional<ScheduleEntry> enteredEntry();
    void tellProblem(const EntryFields::Problem &problem);
    void resetFileAndLength();
    // What the lengths being found are for.
    enum class LengthJob { None, Picker, Batch };
    void startLengths(LengthJob job, const QStringList &paths);
    void findLength(const QString &path, int times);
    void lengthFound(int index, const QString &path, qint64 milliseconds);
    void lengthsFinished();
    void setWaiting(bool on);
    void showAuditionIdle();
    // Whether a clicked row's volume may become the console's: not while
    // the player plays for anyone but the audition.
    bool rowSetsVolume() const;

    Services m_s;
    WeekEditor *m_editor;
    ConflictWatch *m_conflicts;
    std::array<ConflictMarks *, 7> m_marks {};
    TrackLengths *m_lengths;
    QString m_currentFile;
    bool m_activationQueued = false;
    bool m_activationAsking = false; // an activation's dialog is open
    bool m_updating = false; // our own changes of a list's selection

    LengthJob m_lengthJob = LengthJob::None;
    int m_lengthTimes = 1;
    ScheduleEntry m_batchEntry; // the fields every entry of a batch takes
    int m_batchDay = 0;
    QPointer<QProgressDialog> m_progress;
    bool m_waiting = false;
    bool m_auditioning = false; // cmdhear reads "停止"

    QLabel *lblconflicts = nullptr;
    QTabWidget *SSTabweek = nullptr;
    std::array<QTreeView *, 7> lvw {};
    QTimeEdit *DTPicker = nullptr;
    QComboBox *cmbchannel = nullptr;
    QLineEdit *txtdetail = nullptr;
    QLineEdit *txtfile = nullptr;
    QSlider *Slidervol = nullptr;
    QTimeEdit *dtpplen = nullptr;
    QComboBox *cmbday = nullptr;
    EntryTargetsPanel *m_targets = nullptr;
    QPushButton *cmdadd = nullptr;
    QPushButton *cmdmodify = nullptr;
    QPushButton *cmddel = nullptr;
    QPushButton *cmdup = nullptr;
    QPushButton *cmddown = nullptr;
    QPushButton *cmdprev = nullptr;
    QPushButton *cmdcopy = nullptr;
    QPushButton *cmdchoice = nullptr;
    QPushButton *cmd2time = nullptr;
    QPushButton *cmd3time = nullptr;
    QPushButton *cmdwhole = nullptr;
    QPushButton *cmdmulfile = nullptr;
    QPushButton *cmdsequence = nullptr;
    QPushButton *CmdRand = nullptr;
    QPushButton *cmdhear = nullptr;
    QPushButton *cmdsave = nullptr;
    QPushButton *cmdsaveas = nullptr;
    QPushButton *cmdquit = nullptr;
    QPushButton *cmdSaveAsDate = nullptr;
    QPushButton *cmdLoadDate = nullptr;
    QMenu *mnuitemedit = nullptr;
    QAction *mnuprev = nullptr;
    QAction *mnucon = nullptr;
    QAction *mnuup = nullptr;
    QAction *mnudown = nullptr;
    QAction *mnudel = nullptr;
    QAction *mnudelall = nullptr;
};
