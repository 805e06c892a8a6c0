#include "schedule/tracklengths.h"

#include "platform/mediaprobe.h"

TrackLengths::TrackLengths(MediaProbe &probe, QObject *parent)
    : QObject(parent)
    , m_probe(probe)
{
    connect(&m_probe, &MediaProbe::durationFound, this,
            [this](const QString &path, qint64 ms) { answered(path, ms > 0 ? ms : -1); });
    connect(&m_probe, &MediaProbe::failed, this,
            [this](const QString &path, const QString &) { answered(path, -1); });
}

TrackLengths::~TrackLengths()
{
    // The probe outlives us (the console owns it): leave it idle, not busy
    // on a file nobody waits for.
    if (m_running)
        m_probe.cancel();
}

void TrackLengths::start(const QStringList &paths)
{
    cancel();
    m_paths = paths;
    m_next = 0;
    m_running = true;
    const quint64 run = ++m_run;
    Q_EMIT progress(0, int(m_paths.size()));
    if (run == m_run)
        probeNext();
}

void TrackLengths::cancel()
{
    if (!m_running)
        return;
    m_running = false;
    ++m_run;
    m_probe.cancel();
    Q_EMIT finished(true);
}

bool TrackLengths::isRunning() const
{
    return m_running;
}

QString TrackLengths::lengthText(qint64 milliseconds, int times)
{
    if (milliseconds < 0 || times < 0)
        return QString();
    // Truncated before it is multiplied: a 59.6 s file played twice is
    // 118 s, not 119 s.
    const qint64 seconds = milliseconds / 1000 * times;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QChar(u'0'))
        .arg(seconds / 60 % 60, 2, 10, QChar(u'0'))
        .arg(seconds % 60, 2, 10, QChar(u'0'));
}

void TrackLengths::probeNext()
{
    if (m_next >= m_paths.size()) {
        m_running = false;
        ++m_run;
        Q_EMIT finished(false);
        return;
    }
    m_probe.probe(m_paths.at(m_next));
}

void TrackLengths::answered(const QString &path, qint64 milliseconds)
{
    // The probe is shared; an answer that is not for the file asked now
    // (another user's, or one given up) is not ours.
    if (!m_running || m_next >= m_paths.size() || path != m_paths.at(m_next))
        return;
    const int index = int(m_next++);
    // A receiver may cancel or start anew from either signal; the run it
    // belonged to then goes no further.
    const quint64 run = m_run;
    Q_EMIT lengthFound(index, path, milliseconds);
    if (run != m_run)
        return;
    Q_EMIT progress(int(m_next), int(m_paths.size()));
    if (run != m_run)
        return;
    probeNext();
}
