#pragma once

#include <QObject>
#include <QStringList>

class MediaProbe;

// How long files play, found one after another by the media probe, for the
// schedule editor's "选  择" (many files) and "单选", "两次", "三次", "全曲"
// (one). The window shows progress and may cancel; nothing ever waits.
class TrackLengths final : public QObject
{
    Q_OBJECT
public:
    explicit TrackLengths(MediaProbe &probe, QObject *parent = nullptr);
    ~TrackLengths() override;

    // Starts finding the lengths of paths, in order; a run under way is
    // cancelled first. progress(0, total) is told at once; an empty list
    // finishes at once.
    void start(const QStringList &paths);
    // Stops the run under way at once: finished(true) and nothing more.
    void cancel();
    bool isRunning() const;

    // times × the duration truncated to whole seconds, as "HH:mm:ss" with
    // the hours not wrapped (59.6 s → "00:00:59"; twice → "00:01:58");
    // empty for an unknown (negative) length.
    static QString lengthText(qint64 milliseconds, int times = 1);

Q_SIGNALS:
    // One per path, in order; milliseconds is -1 when the length is unknown.
    void lengthFound(int index, const QString &path, qint64 milliseconds);
    void progress(int done, int total);
    // After the last lengthFound, or once cancelled.
    void finished(bool cancelled);

private:
    void probeNext();
    void answered(const QString &path, qint64 milliseconds);

    MediaProbe &m_probe;
    QStringList m_paths;
    qsizetype m_next = 0; // the index of the path being probed
    bool m_running = false;
    quint64 m_run = 0; // changes whenever a run ends, so a stale one stops
};
