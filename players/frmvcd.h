#pragma once

#include <QWidget>

class AppFolder;
class Dialogs;
class QFrame;
class QLabel;
class QPushButton;
class MediaPlayer;
class VideoView;

// "VCD播放器": plays a VCD video file (.dat, plain MPEG-1 or RIFF/CDXA) with
// its picture inside the window. The window has a player of its own, not
// the main window's, given by whoever makes it.
class frmvcd final : public QWidget
{
    Q_OBJECT
public:
    frmvcd(Dialogs &dialogs, const AppFolder &folder, MediaPlayer &player,
           QWidget *parent = nullptr);
    ~frmvcd() override;

    void cmdopen_Click();
    MediaPlayer &player() { return *m_player; }
    QWidget *videoWidget() const { return m_video; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void showState();
    void playClicked();
    void pauseClicked();
    void stopClicked();

    Dialogs &m_dialogs;
    const AppFolder &m_folder;
    MediaPlayer *m_player;
    QString m_file; // opened and ready to play
    bool m_paused = false;
    QString m_error;

    QFrame *picvcd = nullptr;
    QWidget *m_video = nullptr;
    VideoView *m_view = nullptr;
    QPushButton *m_play = nullptr;
    QPushButton *m_pause = nullptr;
    QPushButton *m_stop = nullptr;
    QLabel *m_errorLabel = nullptr;
    QPushButton *cmdopen = nullptr;
};
