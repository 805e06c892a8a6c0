#include "players/recordingwave.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace RecordingWave {

namespace {
constexpr qint64 kCopyBlock = 1 << 20;
constexpr quint16 kPcm = 1;
constexpr quint16 kExtensible = 0xFFFE;

quint32 le32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}
quint16 le16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}
QByteArray bytes32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

// Copies size bytes from offset of `from` to the current end of `to`.
bool copyRange(QFile &from, qint64 offset, qint64 size, QIODevice &to)
{
    if (!from.seek(offset))
        return false;
    while (size > 0) {
        const QByteArray block = from.read(qMin(size, kCopyBlock));
        if (block.isEmpty() || to.write(block) != block.size())
            return false;
        size -= block.size();
    }
    return true;
}

// Whole sample frames only: a take cut off mid-frame would shift every
// sample after it.
qint64 wholeFrames(const Info &info)
{
    return info.dataSize - info.dataSize % info.blockAlign;
}

QString cannotWrite(const QString &path)
{
    return u"无法写入文件 "_s + path;
}
} // namespace

Info read(const QString &path)
{
    Info info;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return info;
    const qint64 fileSize = file.size();
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return info;
    bool haveFormat = false;
    bool haveData = false;
    qint64 pos = 12;
    while (pos + 8 <= fileSize && !(haveFormat && haveData)) {
        file.seek(pos);
        const QByteArray head = file.read(8);
        if (head.size() < 8)
            break;
        const qint64 size = le32(head.constData() + 4);
        const QByteArray id = head.left(4);
        if (id == "fmt ") {
            info.format = file.read(qMin<qint64>(size, 1024));
            if (info.format.size() < 16)
                return info;
            const char *f = info.format.constData();
            info.formatTag = le16(f);
            info.channels = le16(f + 2);
            info.sampleRate = le32(f + 4);
            info.byteRate = le32(f + 8);
            info.blockAlign = le16(f + 12);
            info.bitsPerSample = le16(f + 14);
            haveFormat = true;
        } else if (id == "data") {
            info.dataOffset = pos + 8;
            // A writer that stopped before closing its file may claim more
            // (or nothing): the samples are what is there.
            const qint64 present = fileSize - info.dataOffset;
            info.dataSize = (size == 0 || size > present) ? present : size;
            info.dataIsLast = info.dataOffset + info.dataSize + (info.dataSize & 1) >= fileSize;
            haveData = true;
        }
        pos += 8 + size + (size & 1);
    }
    info.valid = haveFormat && haveData && info.byteRate > 0 && info.blockAlign > 0;
    return info;
}

bool joinable(const Info &a, const Info &b)
{
    return a.valid && b.valid && (a.formatTag == kPcm || a.formatTag == kExtensible)
        && a.format == b.format;
}

QString join(const QString &first, const QString &second, const QString &target)
{
    const Info a = read(first);
    const Info b = read(second);
    if (!a.valid || !b.valid)
        return u"不是可以读取的WAV文件"_s;
    if (!joinable(a, b))
        return u"录音格式不同，无法接在后面"_s;
    const qint64 aSize = wholeFrames(a);
    const qint64 bSize = wholeFrames(b);
    const qint64 total = aSize + bSize;
    const qint64 formatSize = a.format.size() + (a.format.size() & 1);
    if (total + 4 + 8 + formatSize + 8 + 1 > 0xFFFFFFFFLL)
        return u"录音太长，无法再接"_s;

    QFile in(second);
    if (!in.open(QIODevice::ReadOnly))
        return u"不是可以读取的WAV文件"_s;

    if (QFileInfo(target) == QFileInfo(first) && a.dataIsLast) {
        // Only the new take is written: a long recording is not copied again.
        QFile out(target);
        if (!out.open(QIODevice::ReadWrite) || !out.resize(a.dataOffset + aSize)
            || !out.seek(a.dataOffset + aSize) || !copyRange(in, b.dataOffset, bSize, out))
            return cannotWrite(target);
        if (total & 1)
            out.write(QByteArray(1, '\0')); // chunks keep an even length
        const qint64 end = out.pos();
        if (!out.seek(a.dataOffset - 4) || out.write(bytes32(quint32(total))) != 4 || !out.seek(4)
            || out.write(bytes32(quint32(end - 8))) != 4 || !out.flush())
            return cannotWrite(target);
        return {};
    }

    QFile head(first);
    if (!head.open(QIODevice::ReadOnly))
        return u"不是可以读取的WAV文件"_s;
    // Unbuffered: a write that meets a full disk fails there and then, and
    // the commit refuses; a buffered one failed only inside the commit's
    // flush, which renamed the cut file over the target all the same.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cannotWrite(target);
    QByteArray header = "RIFF" + bytes32(quint32(4 + 8 + formatSize + 8 + total + (total & 1)))
        + "WAVEfmt " + bytes32(quint32(a.format.size())) + a.format;
    if (a.format.size() & 1)
        header += '\0';
    header += "data" + bytes32(quint32(total));
    out.write(header);
    if (!copyRange(head, a.dataOffset, aSize, out) || !copyRange(in, b.dataOffset, bSize, out))
        return cannotWrite(target);
    if (total & 1)
        out.write(QByteArray(1, '\0'));
    if (!out.commit())
        return cannotWrite(target);
    return {};
}

QString save(const QString &source, const QString &target)
{
    if (QFileInfo(source) == QFileInfo(target))
        return {}; // it is there already
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return u"无法读取录音文件 "_s + source;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !copyRange(in, 0, in.size(), out)
        || !out.commit())
        return cannotWrite(target);
    return {};
}

} // namespace RecordingWave
