#include "players/playlisttotal.h"

#include "platform/mediaprobe.h"
#include "players/playlistbrowser.h"
#include "players/playlistcd.h"
#include "players/playlistfile.h"

using namespace Qt::StringLiterals;

PlaylistTotal::PlaylistTotal(MediaProbe &probe, const PlaylistCd &cd, QObject *parent)
    : QObject(parent)
    , m_probe(probe)
    , m_cd(cd)
{
    connect(&m_probe, &MediaProbe::durationFound, this,
            [this](const QString &path, qint64 ms) { answered(path, ms, QString()); });
    connect(&m_probe, &MediaProbe::failed, this,
            [this](const QString &path, const QString &reason) { answered(path, -1, reason); });
}

PlaylistTotal::~PlaylistTotal()
{
    cancel();
}

bool PlaylistTotal::isMeasured(const QString &type)
{
    // The types the file list shows: "*.wav" stands for "WAV".
    static const QStringList measured = [] {
        QStringList types;
        for (const QString &pattern : playlistFilePatterns())
            types << pattern.sliced(2).toUpper();
        return types;
    }();
    return measured.contains(type);
}

void PlaylistTotal::recompute(const QStringList &entries)
{
    cancel();
    m_entries = entries;
    m_next = 0;
    m_sum = 0;
    m_failing.clear();
    m_cdPlayable.reset();
    m_busy = true;
    next();
}

void PlaylistTotal::cancel()
{
    if (!m_busy)
        return;
    m_busy = false;
    m_asked.clear();
    m_probe.cancel();
}

void PlaylistTotal::next()
{
    while (m_next < m_entries.size()) {
        const QString &path = m_entries.at(m_next++);
        const QString type = playlistEntryType(path);
        if (!isMeasured(type))
            continue;
        if (m_known.contains(path)) {
            m_sum += m_known.value(path) / 1000;
            continue;
        }
        if (m_failing.contains(path))
            continue;
        QString source = path;
        if (type == u"CDA") {
            if (!m_cdPlayable)
                m_cdPlayable = m_cd.canPlayTracks();
            QString why;
            source = PlaylistCd::trackSource(path, *m_cdPlayable, &why);
            if (source.isEmpty()) {
                m_failing.insert(path, why);
                continue;
            }
        }
        m_asked = source;
        m_probe.probe(source);
        return; // the answer comes back by signal
    }
    m_busy = false;
    m_seconds = m_sum;
    m_unopenable = m_failing;
    Q_EMIT finished(m_seconds);
}

void PlaylistTotal::answered(const QString &source, qint64 milliseconds, const QString &reason)
{
    if (!m_busy || source != m_asked)
        return; // a probe of somebody else's, or one dropped
    m_asked.clear();
    const QString &path = m_entries.at(m_next - 1);
    if (milliseconds >= 0) {
        // A CD's tracks change with the disc: not kept.
        if (source == path)
            m_known.insert(path, milliseconds);
        m_sum += milliseconds / 1000;
    } else {
        m_failing.insert(path, reason);
    }
    next();
}
