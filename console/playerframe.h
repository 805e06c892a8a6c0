#pragma once

#include <QGroupBox>

class PlaybackEngine;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QToolButton;

// The player frame of the main window: title, position, length, progress,
// the transport buttons, "打开", "隐藏" and the volume slider.
class PlayerFrame final : public QGroupBox
{
    Q_OBJECT
public:
    PlayerFrame(PlaybackEngine &engine, QWidget *parent = nullptr);

    QSlider *slider() const { return Slidervol; }

Q_SIGNALS:
    void openRequested(); // "打开"
    void hideRequested(); // "隐藏"

private:
    void showEngineState();

    PlaybackEngine &m_engine;
    QLabel *lblsong;
    QLabel *lblctime;
    QLabel *lblsonglength;
    QProgressBar *ProgressBarplay;
    QSlider *Slidervol;
    QToolButton *m_play;
    QToolButton *m_pause;
    QToolButton *m_stop;
};
