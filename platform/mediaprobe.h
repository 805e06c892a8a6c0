#pragma once

#include <QObject>
#include <QString>

// Finds how long a media file plays, without playing it: one file at a time,
// the answer arriving later by signal, so the window never waits for it.
class MediaProbe : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~MediaProbe() override;

    // Starts finding the duration of path; durationFound or failed follows,
    // once. A probe already under way is abandoned (nothing is said of it).
    virtual void probe(const QString &path) = 0;
    // Abandons the probe under way; no signal follows for it.
    virtual void cancel() = 0;

Q_SIGNALS:
    void durationFound(const QString &path, qint64 milliseconds);
    void failed(const QString &path, const QString &reason);
};
