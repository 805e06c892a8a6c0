#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

class LogWriter;
class MediaPlayer;
class PlaylistCd;

// The playlist player's list and its playing: entries played one after
// another through one media player, the hand-over from an entry's end to the
// next entry a tick of the list timer later, repeat, the transport buttons,
// the volume and what the displays show. No widgets: the window maps its
// controls onto this.
class Playlist final : public QObject
{
    Q_OBJECT
public:
    // What plays: nothing, a file, an MP3 file (the one type the volume
    // slider reaches) or a CD track.
    enum class Mode { Idle, File, Mp3, Cd };

    // lblsong, lblsonglength, lblctime and ProgressBarplay.
    struct Display
    {
        QString song = QStringLiteral("No music");
        QString songLength = QStringLiteral("00:00");
        QString ctime = QStringLiteral("00/000");
        int progress = 0;
        bool operator==(const Display &) const = default;
    };

    static constexpr int kTickMs = 1000; // the list timer and the status updates

    Playlist(MediaPlayer &player, const PlaylistCd &cd, LogWriter &log, QObject *parent = nullptr);
    ~Playlist() override;

    const QStringList &entries() const { return m_entries; }
    int count() const { return int(m_entries.size()); }

    // Editing. The entry being played keeps its place in the order of play:
    // what is inserted, removed or moved around it does not make the list
    // replay it or pass over the entry after it.
    void append(const QStringList &paths);
    // Inserts the paths, in their order, before row; false (nothing changes)
    // when row is not an entry.
    bool insertAt(int row, const QStringList &paths);
    void removeRows(const QList<int> &rows);
    void clear();
    // Each returns the entry's new row, or -1 when it cannot move.
    int moveUp(int row);
    int moveDown(int row);

    // "播放": the list from its first entry.
    void play();
    // A double-click on an entry: what plays stops, and the entry starts at
    // the list timer's next tick.
    void playFrom(int row);
    // The transport buttons act on the current entry; the list does not
    // advance after Stop, since no end is reached.
    void transportPlay();
    void transportPause();
    void transportStop();
    // Closing the window and the end of a timed run: everything stops.
    void stop();

    void setRepeat(bool on) { m_repeat = on; }
    bool repeat() const { return m_repeat; }
    // Slidervol, 1 to 10: the volume of MP3 entries in tenths.
    void setVolumeStep(int step);
    int volumeStep() const { return m_volumeStep; }

    Mode mode() const { return m_mode; }
    int currentIndex() const { return m_current; }
    // The row of the entry that plays now: -1 when nothing plays, or when
    // the entry playing was taken out of the list (it plays on; the next
    // hand-over goes to the entry that took its place).
    int playingIndex() const;
    QString currentFile() const { return m_file; }
    QString currentType() const;
    const Display &display() const { return m_display; }
    bool isHandingOver() const { return m_listTimer.isActive(); }
    bool isUpdatingStatus() const { return m_statusTimer.isActive(); }

    // The work of the two timers' ticks, public so that tests can tick them.
    void tmrlistplay_Timer();
    void statusUpdate();

Q_SIGNALS:
    void entriesChanged();
    void displayChanged();
    void modeChanged(Playlist::Mode mode);
    void entryStarted(int index);
    // An entry could not be played and the list went on without it.
    void entrySkipped(int index, const QString &reason);

private:
    void startEntry(int index);
    void entryEnded();
    void entryFailed(const QString &reason);
    void setMode(Mode mode);
    void handOver();
    void showProgress(qint64 position, qint64 length);
    void setDisplay(const Display &display);

    MediaPlayer &m_player;
    const PlaylistCd &m_cd;
    LogWriter &m_log;
    QStringList m_entries;
    int m_current = -1;
    bool m_playingRemoved = false; // the entry playing is no longer in the list
    QString m_file;
    Mode m_mode = Mode::Idle;
    bool m_repeat = false;
    int m_volumeStep = 10;
    // Entries in a row that could not be played: a repeated list in which
    // none can be played stops instead of trying them for ever.
    int m_failuresInRow = 0;
    Display m_display;
    QTimer m_listTimer; // tmrlistplay
    QTimer m_statusTimer; // the MCI control's status updates
};
