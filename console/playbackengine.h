#pragma once

#include <QObject>
#include <QString>

class MediaPlayer;
struct AppSettings;

// The console's playback: playsong, the Play, Pause and Stop buttons with
// their enabled states, the end-of-stream rule and the progress display.
// The window shows what this holds and calls it from its controls.
class PlaybackEngine final : public QObject
{
    Q_OBJECT
public:
    PlaybackEngine(MediaPlayer &player, const AppSettings &settings, QObject *parent = nullptr);

    // Plays the file when it exists; splaylen is enforced by the scheduler.
    void playsong(const QString &sfilename, const QString &splaylen);
    void playClicked();
    void pauseClicked();
    void stopAction();
    // Refreshes position, length and progress while the player plays.
    void refreshProgress();
    void setTitle(const QString &title);

    bool ManualPlayback = false; // the current playback was started by hand

    // Counts the times the player was given a new job: a file handed to it,
    // Play pressed, Stop. Whoever plays several files in a row checks that
    // the player is still theirs.
    quint64 playerTurn() const { return m_turn; }

    QString title() const { return m_title; } // lblsong
    QString positionText() const { return m_positionText; } // lblctime
    QString lengthText() const { return m_lengthText; } // lblsonglength
    int progress() const { return m_progress; } // ProgressBarplay
    bool playEnabled() const { return m_playEnabled; }
    bool pauseEnabled() const { return m_pauseEnabled; }
    bool stopEnabled() const { return m_stopEnabled; }

    struct Progress
    {
        QString position; // " 12/215"
        QString length; // "03:35"
        int percent = -1; // -1 leaves the bar as it is
    };
    static Progress progressFor(double positionSeconds, double durationSeconds);

Q_SIGNALS:
    void changed();
    // Every time a title is set, even the same one again.
    void titleSet(const QString &title);
    // The file playing ran out, or could not be played.
    void songEnded();

private:
    void setButtons(bool play, bool pauseAndStop);
    void onEndOfStream();

    MediaPlayer &m_player;
    const AppSettings &m_settings;
    QString m_title = QStringLiteral("No music");
    QString m_positionText = QStringLiteral("00/000");
    QString m_lengthText = QStringLiteral("00:00");
    int m_progress = 0;
    bool m_playEnabled = true;
    bool m_pauseEnabled = false;
    bool m_stopEnabled = false;
    quint64 m_turn = 0;
};
