#pragma once

#include <QDateTime>
#include <QObject>
#include <QRandomGenerator>
#include <QStringList>

class Clock;
class PlaybackEngine;

// A schedule entry whose file is a folder plays the folder's audio files one
// after another through the main window's playback, in name order or in a
// random order, each once, starting no file once the entry's play length has
// run out. Whoever else takes the player (a file played by hand or by another
// entry, Play or Stop pressed) ends the run; the file then playing is left
// alone, as a single file would be.
class FolderPlayback final : public QObject
{
    Q_OBJECT
public:
    enum class Order { ByName, Random };

    FolderPlayback(const Clock &clock, PlaybackEngine &playback, QObject *parent = nullptr);

    // "随机播" plays at random; "顺序播" and any other detail by name.
    static Order orderFor(const QString &detail);
    // The audio files (mp3, wav, mid, wma, dat, in any letter case) right in
    // folder, sorted by name regardless of case; empty when the folder has
    // none or does not exist.
    static QStringList audioFiles(const QString &folder);

    // Random orders come from this seed from now on (the default seed is
    // itself random).
    void setSeed(quint32 seed) { m_random.seed(seed); }

    // Plays the folder's first file now and each next one when the one before
    // ends, while the clock is before end. Plays nothing when the folder holds
    // no audio file (or none is there any more).
    void start(const QString &folder, Order order, const QDateTime &end);
    // Ends the run: no further file starts.
    void stop();
    bool isActive() const;

private:
    void songEnded();
    void playNext();

    const Clock &m_clock;
    PlaybackEngine &m_playback;
    QRandomGenerator m_random;
    QStringList m_files; // the run's files in the order they play
    qsizetype m_index = -1; // the one handed to the player last
    QDateTime m_end;
    bool m_active = false;
    quint64 m_turn = 0; // the player's turn this run holds
};
