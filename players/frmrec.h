#pragma once

#include "players/recordingsession.h"

#include <QWidget>

class Console;
class MediaPlayer;
class Mixer;
class QLabel;
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
    frmrec(Console &console, Recorder &recorder, MediaPlayer &player, Mixer &mixer,
           QWidget *parent = nullptr);
    ~frmrec() override;

    RecordingSession &session() { return m_session; }

    void cmdnew_Click();
    void cmdopen_Click();
    // Save and Save as do the same; returns whether the recording was written.
    bool cmdsave_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void buildMicVolume();
    void showSession();
    // An unsaved recording is offered for saving first; false when the
    // operator keeps it (cancelled the question or the save dialog).
    bool mayDiscard();

    Console &m_console;
    Mixer &m_mixer;
    RecordingSession m_session;
    bool m_closeWhenTakeEnds = false;

    QSlider *Sliderrec = nullptr;
    QLabel *lblposition = nullptr;
    QLabel *lbltotaltime = nullptr;
    QPushButton *m_record = nullptr;
    QPushButton *m_play = nullptr;
    QPushButton *m_pause = nullptr;
    QPushButton *m_stop = nullptr;
    QLabel *m_error = nullptr;
    QSlider *Slidermic = nullptr;
    QPushButton *cmdnew = nullptr;
    QPushButton *cmdopen = nullptr;
    QPushButton *cmdsave = nullptr;
    QPushButton *cmdsaveas = nullptr;
    QPushButton *cmdexit = nullptr;
};
