#pragma once

#include <QByteArray>
#include <QString>

// The WAV files of the recorder: what a file holds, and the two ways the
// recorder writes them (a new take added to the end of a recording, a
// recording saved under the operator's name).
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

// Writes to target the samples of first followed by those of second. When
// target is first and its samples end the file, they grow in place;
// otherwise target is written afresh. Returns an error text, empty on success.
QString join(const QString &first, const QString &second, const QString &target);

// Copies source to target so that target is either the whole new file or
// left as it was. Returns an error text, empty on success.
QString save(const QString &source, const QString &target);

} // namespace RecordingWave
