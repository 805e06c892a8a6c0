#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QVector>

// A null sink of the test's own on the sound server, so that what a test
// hears is what its own programs played: started programs are pointed at it
// with PULSE_SINK (environment()). Unloaded when the object goes.
class PrivateSink
{
public:
    PrivateSink();
    ~PrivateSink();
    PrivateSink(const PrivateSink &) = delete;
    PrivateSink &operator=(const PrivateSink &) = delete;

    bool isLoaded() const { return m_module >= 0; }
    QString name() const { return m_name; }
    QString monitor() const { return m_name + QStringLiteral(".monitor"); }

private:
    QString m_name;
    int m_module = -1;
};

// Listens to a sink through its monitor (parec, 8 kHz mono) and keeps what
// it heard in 10 ms blocks, each stamped with the wall-clock moment it was
// played, so a test can ask when sound came and what tone it was.
class SoundMonitor
{
public:
    explicit SoundMonitor(const QString &source);
    ~SoundMonitor();
    SoundMonitor(const SoundMonitor &) = delete;
    SoundMonitor &operator=(const SoundMonitor &) = delete;

    // Starts listening; from then on what arrives is read and stamped
    // whenever the event loop runs.
    bool start();
    // Reads what has arrived now.
    void poll();

    static constexpr int kRate = 8000;
    static constexpr int kBlock = kRate / 100; // samples of 10 ms
    // Louder than this (of 32767) counts as sound.
    static constexpr int kThreshold = 300;

    // The moment (ms since the epoch) of the first block of sound played at
    // or after since, or -1.
    qint64 firstSoundAfter(qint64 since) const;
    // The moment of the first block without sound at or after since, or -1.
    qint64 firstSilenceAfter(qint64 since) const;
    // Waits with the event loop running for sound at or after since.
    qint64 waitForSound(qint64 since, int timeoutMs);
    // The tone heard in the 100 ms from moment (Hz, from zero crossings);
    // 0 without sound.
    double frequencyAt(qint64 moment) const;
    // Milliseconds of sound among the blocks played in [from, to).
    qint64 soundMsBetween(qint64 from, qint64 to) const;

private:
    struct Block
    {
        qint64 at; // when its first sample was played
        int peak;
        qint16 samples[kBlock];
    };
    qsizetype blockAt(qint64 moment) const;

    QString m_source;
    QProcess m_parec;
    QByteArray m_pending;
    QVector<Block> m_blocks;
};
