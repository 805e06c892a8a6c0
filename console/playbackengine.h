#pragma once

#include <QObject>
#include <QString>

class MediaPlayer;
struct AppSettings;

// Who gave the player its current job. Nobody once it stops, its file ends
// or it cannot play the file.
enum class PlayerHolder { Nobody, Schedule, Hand, Folder, Remote, Audition };

// The console's playback: playsong, the Play, Pause and Stop buttons with
// their enabled states, the end-of-stream rule and the progress display.
// The window shows what this holds and calls it from its controls.
class PlaybackEngine final : public QObject
{
    Q_OBJECT
public:
    PlaybackEngine(MediaPlayer &player, const AppSettings &settings, QObject *parent = nullptr);

    // Plays the file when it exists, for holder; splaylen is enforced by the
    // scheduler. A file that does not exist leaves the player to whoever
    // held it.
    void playsong(const QString &sfilename, const QString &splaylen, PlayerHolder holder);
    // playsong, the file starting startMs milliseconds in: an item taken up
    // again where it would stand by now.
    void playsongFrom(const QString &sfilename, const QString &splaylen, PlayerHolder holder,
                      qint64 startMs);
    // A file played on someone's command (the operator's, a remote key's):
    // playsong, and the playback counts as manual even when the file is not
    // there, so that the next end of a stream stops the player.
    void playByHand(const QString &sfilename, const QString &splaylen, PlayerHolder holder);
    // Play makes the operator the holder of a loaded file and the playback
    // manual; Pause leaves the holder as it is; Stop leaves the player to
    // nobody and the manual state as it is.
    void playClicked();
    void pauseClicked();
    void stopAction();
    // The remote's stop key: Stop, and the playback is no longer manual.
    void stopByHand();
    // The scheduler started a row: what plays from now on is the schedule's.
    void scheduledItemStarted();

    // ManualPlayback: the current playback was started by hand. An end of
    // stream of a manual playback stops the player and clears it.
    bool manualPlayback() const { return m_manualPlayback; }

    // Whoever started what the player holds. Pausing keeps it; the player
    // has only one file, so the later start takes it over.
    PlayerHolder holder() const { return m_holder; }
    bool isPlaying() const;
    // Refreshes position, length and progress while the player plays.
    void refreshProgress();
    void setTitle(const QString &title);

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
    // The player was taken over, stopped, ran out or failed. Whoever held it
    // learns here that it is no longer theirs.
    void holderChanged(PlayerHolder now, PlayerHolder before);
    void manualPlaybackChanged(bool manual);

private:
    void setButtons(bool play, bool pauseAndStop);
    void onEndOfStream();
    void setHolder(PlayerHolder holder);
    void setManualPlayback(bool manual);

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
    PlayerHolder m_holder = PlayerHolder::Nobody;
    bool m_manualPlayback = false;
};
