#pragma once

#include "platform/mediaprobe.h"

#include <QHash>
#include <QStringList>

// Answers probes from a table the test fills: a known path gets its duration,
// any other fails. Answers come later, from the event loop, as a real probe's
// do; `asked` records every probe in order.
class FakeMediaProbe final : public MediaProbe
{
    Q_OBJECT
public:
    void probe(const QString &path) override
    {
        asked.append(path);
        m_current = path;
        QMetaObject::invokeMethod(
            this, [this, path] { answer(path); }, Qt::QueuedConnection);
    }
    void cancel() override { m_current.clear(); }

    QHash<QString, qint64> durations; // milliseconds by path
    QStringList asked;

private:
    void answer(const QString &path)
    {
        if (m_current != path)
            return; // abandoned
        m_current.clear();
        if (durations.contains(path))
            Q_EMIT durationFound(path, durations.value(path));
        else
            Q_EMIT failed(path, QStringLiteral("unknown file"));
    }

    QString m_current;
};
