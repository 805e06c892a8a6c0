#pragma once

#include "players/recordingsession.h"

#include <QWidget>

class AppFolder;
class Dialogs;
class MediaPlayer;
class Mixer;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class Recorder;

// "录音机": records from the PC's input, plays the recording back and saves
// it as a WAV file. The media control's logic is RecordingSession; the
// window maps its controls to it and handles the files.
class frmrec final : public QWidget
{
    Q_OBJECT
public:
    frmrec(Dialogs &dialogs, const AppFolder &folder, Recorder &recorder, MediaPlayer &player,
           Mixer &mixer, QWidget *parent = nullptr);
    ~frmrec() override;

    RecordingSession &session() { return m_session; }

    void cmdnew_Click();
    void cmdopen_Click();
    // Save and Save as do the same; returns whether a save began (it goes on
    // in the background, shown by the progress bar).
    bool cmdsave_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void buildMicVolume();
    void showSession();

    // What the operator chose for an unsaved recording before a command
    // lets it go: keep it (the command does not go on), let it go, or save
    // it first under savePath.
    struct Choice
    {
        enum { Keep, Discard, Save } kind = Keep;
        QString savePath;
    };
    // Asks only when there is something unsaved (or being recorded).
    Choice askBeforeDiscarding();
    // The save dialog with its checks; empty when the operator cancelled.
    QString askSavePath();
    void takeEnded();
    void saveEnded(bool saved);
    void closeNow();

    // What a command goes on with once the take under way has ended or the
    // save it began is done. The questions were asked when the operator gave
    // the command, never when the recorder or the save reports.
    enum class Then { Nothing, NewRecording, Open, Close };

    Dialogs &m_dialogs;
    const AppFolder &m_folder; // where the save dialog opens
    Mixer &m_mixer;
    RecordingSession m_session;
    Then m_then = Then::Nothing;
    QString m_openPath; // for Then::Open
    QString m_saveWhenTakeEnds; // the name chosen while the take was under way
    bool m_closeAnyway = false; // the operator let the recording go

    QSlider *Sliderrec = nullptr;
    QLabel *lblposition = nullptr;
    QLabel *lbltotaltime = nullptr;
    QPushButton *m_record = nullptr;
    QPushButton *m_play = nullptr;
    QPushButton *m_pause = nullptr;
    QPushButton *m_stop = nullptr;
    QLabel *m_error = nullptr;
    QProgressBar *prgcopy = nullptr;
    QPushButton *cmdstopcopy = nullptr;
    QSlider *Slidermic = nullptr;
    QPushButton *cmdnew = nullptr;
    QPushButton *cmdopen = nullptr;
    QPushButton *cmdsave = nullptr;
    QPushButton *cmdsaveas = nullptr;
    QPushButton *cmdexit = nullptr;
};
