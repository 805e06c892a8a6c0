#include "soundmonitor.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTest>
#include <QtEndian>

#include <cstdlib>

namespace {
QString runPactl(const QStringList &arguments, bool *ok)
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), arguments);
    *ok = pactl.waitForFinished(10000) && pactl.exitStatus() == QProcess::NormalExit
        && pactl.exitCode() == 0;
    return QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
}
} // namespace

PrivateSink::PrivateSink()
    : m_name(QStringLiteral("quellon_test_%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QDateTime::currentMSecsSinceEpoch() % 100000))
{
    bool ok = false;
    const QString module
        = runPactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                    QStringLiteral("sink_name=") + m_name},
                   &ok);
    if (ok)
        m_module = module.toInt(&ok);
    if (!ok)
        m_module = -1;
}

PrivateSink::~PrivateSink()
{
    if (m_module < 0)
        return;
    bool ok = false;
    runPactl({QStringLiteral("unload-module"), QString::number(m_module)}, &ok);
}

SoundMonitor::SoundMonitor(const QString &source)
    : m_source(source)
{
}

SoundMonitor::~SoundMonitor()
{
    if (m_parec.state() != QProcess::NotRunning) {
        m_parec.kill();
        m_parec.waitForFinished(5000);
    }
}

bool SoundMonitor::start()
{
    // Blocks are stamped when they arrive, so they are read as they come.
    QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, [this] { poll(); });
    // A short latency keeps the stamps close, and keeps the sink itself
    // rendering in small steps (an idle null sink otherwise waits seconds).
    m_parec.start(QStringLiteral("parec"),
                  {QStringLiteral("-d"), m_source, QStringLiteral("--raw"),
                   QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kRate),
                   QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=10")});
    if (!m_parec.waitForStarted(5000))
        return false;
    // Sound only counts once the monitor delivers.
    return QTest::qWaitFor(
        [this] {
            poll();
            return !m_blocks.isEmpty();
        },
        5000);
}

void SoundMonitor::poll()
{
    m_pending += m_parec.readAllStandardOutput();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qsizetype whole = m_pending.size() / (kBlock * 2);
    // What arrives now was played up to now: each block is stamped back
    // from the moment of its arrival.
    for (qsizetype i = 0; i < whole; ++i) {
        Block b;
        b.at = now - (whole - i) * 10;
        b.peak = 0;
        const char *data = m_pending.constData() + i * kBlock * 2;
        for (int s = 0; s < kBlock; ++s) {
            b.samples[s] = qFromLittleEndian<qint16>(data + s * 2);
            b.peak = std::max(b.peak, std::abs(int(b.samples[s])));
        }
        m_blocks.append(b);
    }
    m_pending.remove(0, whole * kBlock * 2);
}

qint64 SoundMonitor::firstSoundAfter(qint64 since) const
{
    for (const Block &b : m_blocks) {
        if (b.at >= since && b.peak > kThreshold)
            return b.at;
    }
    return -1;
}

qint64 SoundMonitor::firstSilenceAfter(qint64 since) const
{
    for (const Block &b : m_blocks) {
        if (b.at >= since && b.peak <= kThreshold)
            return b.at;
    }
    return -1;
}

qint64 SoundMonitor::waitForSound(qint64 since, int timeoutMs)
{
    qint64 found = -1;
    [[maybe_unused]] const bool heard = QTest::qWaitFor(
        [&] {
            poll();
            found = firstSoundAfter(since);
            return found >= 0;
        },
        timeoutMs);
    return found;
}

qsizetype SoundMonitor::blockAt(qint64 moment) const
{
    for (qsizetype i = 0; i < m_blocks.size(); ++i) {
        if (m_blocks.at(i).at >= moment)
            return i;
    }
    return -1;
}

double SoundMonitor::frequencyAt(qint64 moment) const
{
    const qsizetype first = blockAt(moment);
    if (first < 0 || first + 10 > m_blocks.size())
        return 0;
    int crossings = 0;
    int loud = 0;
    qint16 last = 0;
    for (qsizetype i = first; i < first + 10; ++i) {
        const Block &b = m_blocks.at(i);
        if (b.peak > kThreshold)
            ++loud;
        for (const qint16 s : b.samples) {
            if ((last < 0 && s >= 0) || (last >= 0 && s < 0))
                ++crossings;
            last = s;
        }
    }
    if (loud < 10)
        return 0;
    // Two crossings a period, over 100 ms.
    return crossings / 2.0 * 10.0;
}

qint64 SoundMonitor::soundMsBetween(qint64 from, qint64 to) const
{
    qint64 ms = 0;
    for (const Block &b : m_blocks) {
        if (b.at >= from && b.at < to && b.peak > kThreshold)
            ms += 10;
    }
    return ms;
}
