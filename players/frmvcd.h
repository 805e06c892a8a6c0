#pragma once

#include <QWidget>

class Console;
class QFrame;
class QLabel;
class QPushButton;
class QVideoWidget;
class QtMediaPlayer;

// "VCD播放器": plays a VCD video file (.dat, plain MPEG-1 or RIFF/CDXA) with
// its picture inside the window. The window has a player of its own, not
// the main window's.
class frmvcd final : public QWidget
{
    Q_OBJECT
public:
    explicit frmvcd(Console &console, QWidget *parent = nullptr);
    ~frmvcd() override;

    void cmdopen_Click();
    QtMediaPlayer &player() { return *m_player; }
    QVideoWidget *videoWidget() const { return m_video; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void showState();
    void playClicked();
    void pauseClicked();
    void stopClicked();

    Console &m_console;
    QtMediaPlayer *m_player;
    QString m_file; // opened and ready to play
    bool m_paused = false;
    QString m_error;

    QFrame *picvcd = nullptr;
    QVideoWidget *m_video = nullptr;
    QPushButton *m_play = nullptr;
    QPushButton *m_pause = nullptr;
    QPushButton *m_stop = nullptr;
    QLabel *m_errorLabel = nullptr;
    QPushButton *cmdopen = nullptr;
};
