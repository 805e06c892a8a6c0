#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

#include <optional>

class MediaProbe;
class PlaylistCd;

// The total playing time of the list ("播放总时长："), found in the
// background: the entries' lengths are probed one at a time and the total is
// told when the last is known. Each entry adds its length in whole seconds;
// an entry whose file cannot be opened adds nothing and is reported, so the
// window can mark it; entries of types the player does not measure add
// nothing.
class PlaylistTotal final : public QObject
{
    Q_OBJECT
public:
    PlaylistTotal(MediaProbe &probe, const PlaylistCd &cd, QObject *parent = nullptr);
    ~PlaylistTotal() override;

    // Starts over for these entries; a computation under way is dropped.
    void recompute(const QStringList &entries);
    void cancel();
    bool isBusy() const { return m_busy; }

    // The result of the last finished computation.
    qint64 seconds() const { return m_seconds; }
    // Paths that could not be opened, with the reason.
    const QHash<QString, QString> &unopenable() const { return m_unopenable; }

    // Whether entries of this type add to the total.
    static bool isMeasured(const QString &type);

Q_SIGNALS:
    void finished(qint64 seconds);

private:
    void next();
    void answered(const QString &source, qint64 milliseconds, const QString &reason);

    MediaProbe &m_probe;
    const PlaylistCd &m_cd;
    QStringList m_entries;
    int m_next = 0;
    QString m_asked; // what the probe was given for the entry before m_next
    bool m_busy = false;
    qint64 m_sum = 0;
    qint64 m_seconds = 0;
    QHash<QString, QString> m_unopenable;
    QHash<QString, QString> m_failing; // of the computation under way
    // Whether CD tracks can be played, asked at the first track of a
    // computation and kept for the rest of it.
    std::optional<bool> m_cdPlayable;
    // Lengths known from earlier computations, so that adding one file does
    // not probe the whole list again.
    QHash<QString, qint64> m_known;
};
