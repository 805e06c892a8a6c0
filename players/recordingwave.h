#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>

// The WAV files of the recorder: what a file holds, and the two ways the
// recorder writes them (a new take added to the end of a recording, a
// recording saved under the operator's name).
//
// Both copy whole recordings, which takes seconds, so each is done in two
// steps: prepare copies in a worker thread and reports its progress; the
// thread that owns the recording then puts the result in place (finish) or
// drops it (discard), both at once. Until finish, the old file is as it was.
namespace RecordingWave {

struct Info
{
    bool valid = false;
    QByteArray format; // the body of the "fmt " chunk
    quint16 formatTag = 0;
    quint16 channels = 0;
    quint32 sampleRate = 0;
    quint32 byteRate = 0;
    quint16 blockAlign = 0;
    quint16 bitsPerSample = 0;
    qint64 dataOffset = 0; // of the first sample byte
    qint64 dataSize = 0; // what the file really holds, whatever the header claims
    bool dataIsLast = false; // nothing follows the samples, so they can grow in place

    qint64 durationMs() const { return byteRate ? dataSize * 1000 / byteRate : 0; }
};

// Reads the header of a RIFF WAVE file; valid is false when it is none.
Info read(const QString &path);

// True when the samples of b can follow those of a in one file: plain PCM
// of the same layout.
bool joinable(const Info &a, const Info &b);

// How far a copy got, and whether it is to stop: shared by the thread that
// copies and the one that shows it.
class Progress
{
public:
    qint64 total() const { return m_total; }
    qint64 done() const { return m_done; }
    // 0..100.
    int percent() const;
    // The copy stops at its next block; whatever it wrote goes.
    void stop() { m_stop = true; }
    bool stopped() const { return m_stop; }

    // By the copying thread.
    void begin(qint64 total);
    void advance(qint64 bytes);
    // Called by the copying thread after each block it copied.
    std::function<void()> onAdvance;

private:
    std::atomic<qint64> m_total {0};
    std::atomic<qint64> m_done {0};
    std::atomic<bool> m_stop {false};
};

// The last step of a join or a save, left for the thread that owns the
// recording: a written file that replaces the target, or samples added to
// the end of the target whose header does not count them yet.
struct Prepared
{
    enum class Kind { Nothing, Replace, Append };
    Kind kind = Kind::Nothing;
    QString target;
    QString written; // Replace: the new file beside the target
    qint64 keptSize = 0; // Append: the bytes of the target that were there before
    QByteArray overwritten; // Append: what the samples were written over (a part frame, a pad)
    qint64 dataSizeAt = 0; // Append: where the header counts the samples
    quint32 dataSize = 0;
    quint32 riffSize = 0;

    // Puts the result in place at once. Returns an error text, empty on
    // success; on failure the target is as it was.
    QString finish() const;
    // Leaves the target as it was.
    void discard() const;
};

struct Outcome
{
    QString error; // empty when prepared (or nothing was to be done)
    bool stopped = false; // told to stop before it was done; nothing is left
    Prepared prepared;
};

// Prepares target to hold the samples of first followed by those of
// second. When target is first and its samples end the file, only the new
// samples are written, after the old ones; otherwise a whole new file.
Outcome prepareJoin(const QString &first, const QString &second, const QString &target,
                    Progress &progress);
// Prepares a copy of source to replace target (written to the disk before
// it is put in place).
Outcome prepareSave(const QString &source, const QString &target, Progress &progress);

// Both steps in one, for callers that may wait. Return an error text, empty
// on success; on failure the target is as it was.
QString join(const QString &first, const QString &second, const QString &target);
QString save(const QString &source, const QString &target);

} // namespace RecordingWave
