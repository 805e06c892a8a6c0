#include "players/recordingwave.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QtEndian>

#include <cstdio>
#include <unistd.h>

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

enum class Copied { Whole, Failed, Stopped };

// Copies size bytes from offset of `from` to the current position of `to`,
// a block at a time, telling progress of each block and asking it before
// each whether to go on.
Copied copyRange(QFile &from, qint64 offset, qint64 size, QIODevice &to, Progress &progress)
{
    if (!from.seek(offset))
        return Copied::Failed;
    while (size > 0) {
        if (progress.stopped())
            return Copied::Stopped;
        const QByteArray block = from.read(qMin(size, kCopyBlock));
        if (block.isEmpty() || to.write(block) != block.size())
            return Copied::Failed;
        size -= block.size();
        progress.advance(block.size());
    }
    return Copied::Whole;
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

QString notReadable()
{
    return u"不是可以读取的WAV文件"_s;
}

// A new file beside target, opened unbuffered for writing: a write that
// meets a full disk fails there and then. Its name is empty when it could
// not be made.
QString createBeside(const QString &target, QFile &out)
{
    QTemporaryFile reserved(target + u".XXXXXX"_s);
    reserved.setAutoRemove(false);
    if (!reserved.open())
        return {};
    const QString name = reserved.fileName();
    reserved.close();
    out.setFileName(name);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        QFile::remove(name);
        return {};
    }
    return name;
}

// The written file is on the disk before it replaces the old one, and has
// the permissions the old one had (a new file those of a saved document).
bool completeBeside(QFile &out, const QString &target)
{
    if (::fdatasync(out.handle()) != 0)
        return false;
    out.close();
    const QFileInfo old(target);
    return out.setPermissions(old.exists() ? old.permissions()
                                           : QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                      | QFileDevice::ReadUser | QFileDevice::WriteUser
                                      | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

Outcome stoppedOrFailed(Copied copied, const QString &target)
{
    Outcome outcome;
    if (copied == Copied::Stopped)
        outcome.stopped = true;
    else
        outcome.error = cannotWrite(target);
    return outcome;
}
} // namespace

int Progress::percent() const
{
    const qint64 total = m_total;
    return total > 0 ? int(qMin<qint64>(m_done, total) * 100 / total) : 0;
}

void Progress::begin(qint64 total)
{
    m_total = total;
    m_done = 0;
}

void Progress::advance(qint64 bytes)
{
    m_done += bytes;
    if (onAdvance)
        onAdvance();
}

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

QString Prepared::finish() const
{
    switch (kind) {
    case Kind::Nothing:
        return {};
    case Kind::Replace:
        // One rename: whoever opens the target sees the old file or the new.
        if (std::rename(QFile::encodeName(written).constData(),
                        QFile::encodeName(target).constData())
            != 0) {
            QFile::remove(written);
            return cannotWrite(target);
        }
        return {};
    case Kind::Append: {
        // The samples are there already; the header now counts them.
        QFile out(target);
        if (!out.open(QIODevice::ReadWrite) || !out.seek(dataSizeAt)
            || out.write(bytes32(dataSize)) != 4 || !out.seek(4)
            || out.write(bytes32(riffSize)) != 4 || !out.flush()) {
            discard();
            return cannotWrite(target);
        }
        return {};
    }
    }
    return {};
}

void Prepared::discard() const
{
    switch (kind) {
    case Kind::Nothing:
        break;
    case Kind::Replace:
        QFile::remove(written);
        break;
    case Kind::Append: {
        // The header never counted the new samples: cut them off and put
        // back what they were written over.
        QFile out(target);
        if (out.open(QIODevice::ReadWrite) && out.resize(keptSize) && out.seek(keptSize))
            out.write(overwritten);
        break;
    }
    }
}

Outcome prepareJoin(const QString &first, const QString &second, const QString &target,
                    Progress &progress)
{
    Outcome outcome;
    const Info a = read(first);
    const Info b = read(second);
    if (!a.valid || !b.valid) {
        outcome.error = notReadable();
        return outcome;
    }
    if (!joinable(a, b)) {
        outcome.error = u"录音格式不同，无法接在后面"_s;
        return outcome;
    }
    const qint64 aSize = wholeFrames(a);
    const qint64 bSize = wholeFrames(b);
    const qint64 total = aSize + bSize;
    const qint64 formatSize = a.format.size() + (a.format.size() & 1);
    if (total + 4 + 8 + formatSize + 8 + 1 > 0xFFFFFFFFLL) {
        outcome.error = u"录音太长，无法再接"_s;
        return outcome;
    }

    QFile in(second);
    if (!in.open(QIODevice::ReadOnly)) {
        outcome.error = notReadable();
        return outcome;
    }

    if (QFileInfo(target) == QFileInfo(first) && a.dataIsLast) {
        // Only the new take is written: a long recording is not copied again.
        Prepared prepared;
        prepared.kind = Prepared::Kind::Append;
        prepared.target = target;
        prepared.keptSize = a.dataOffset + aSize;
        QFile out(target);
        if (!out.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
            outcome.error = cannotWrite(target);
            return outcome;
        }
        const qint64 oldSize = out.size();
        if (!out.seek(prepared.keptSize)) {
            outcome.error = cannotWrite(target);
            return outcome;
        }
        prepared.overwritten = out.read(oldSize - prepared.keptSize);
        progress.begin(bSize);
        Copied copied = out.seek(prepared.keptSize)
            ? copyRange(in, b.dataOffset, bSize, out, progress)
            : Copied::Failed;
        if (copied == Copied::Whole && (total & 1) && out.write(QByteArray(1, '\0')) != 1)
            copied = Copied::Failed; // chunks keep an even length
        const qint64 end = out.pos();
        if (copied == Copied::Whole && !out.resize(end))
            copied = Copied::Failed;
        out.close();
        if (copied != Copied::Whole) {
            prepared.discard();
            return stoppedOrFailed(copied, target);
        }
        prepared.dataSizeAt = a.dataOffset - 4;
        prepared.dataSize = quint32(total);
        prepared.riffSize = quint32(end - 8);
        outcome.prepared = prepared;
        return outcome;
    }

    QFile head(first);
    if (!head.open(QIODevice::ReadOnly)) {
        outcome.error = notReadable();
        return outcome;
    }
    QFile out;
    const QString written = createBeside(target, out);
    if (written.isEmpty()) {
        outcome.error = cannotWrite(target);
        return outcome;
    }
    QByteArray header = "RIFF" + bytes32(quint32(4 + 8 + formatSize + 8 + total + (total & 1)))
        + "WAVEfmt " + bytes32(quint32(a.format.size())) + a.format;
    if (a.format.size() & 1)
        header += '\0';
    header += "data" + bytes32(quint32(total));
    progress.begin(total);
    Copied copied = out.write(header) == header.size() ? Copied::Whole : Copied::Failed;
    if (copied == Copied::Whole)
        copied = copyRange(head, a.dataOffset, aSize, out, progress);
    if (copied == Copied::Whole)
        copied = copyRange(in, b.dataOffset, bSize, out, progress);
    if (copied == Copied::Whole && (total & 1) && out.write(QByteArray(1, '\0')) != 1)
        copied = Copied::Failed;
    if (copied == Copied::Whole && !completeBeside(out, target))
        copied = Copied::Failed;
    if (copied != Copied::Whole) {
        out.close();
        QFile::remove(written);
        return stoppedOrFailed(copied, target);
    }
    outcome.prepared.kind = Prepared::Kind::Replace;
    outcome.prepared.target = target;
    outcome.prepared.written = written;
    return outcome;
}

Outcome prepareSave(const QString &source, const QString &target, Progress &progress)
{
    Outcome outcome;
    if (QFileInfo(source) == QFileInfo(target))
        return outcome; // it is there already
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        outcome.error = u"无法读取录音文件 "_s + source;
        return outcome;
    }
    QFile out;
    const QString written = createBeside(target, out);
    if (written.isEmpty()) {
        outcome.error = cannotWrite(target);
        return outcome;
    }
    progress.begin(in.size());
    Copied copied = copyRange(in, 0, in.size(), out, progress);
    if (copied == Copied::Whole && !completeBeside(out, target))
        copied = Copied::Failed;
    if (copied != Copied::Whole) {
        out.close();
        QFile::remove(written);
        return stoppedOrFailed(copied, target);
    }
    outcome.prepared.kind = Prepared::Kind::Replace;
    outcome.prepared.target = target;
    outcome.prepared.written = written;
    return outcome;
}

QString join(const QString &first, const QString &second, const QString &target)
{
    Progress progress;
    const Outcome outcome = prepareJoin(first, second, target, progress);
    return outcome.error.isEmpty() ? outcome.prepared.finish() : outcome.error;
}

QString save(const QString &source, const QString &target)
{
    Progress progress;
    const Outcome outcome = prepareSave(source, target, progress);
    return outcome.error.isEmpty() ? outcome.prepared.finish() : outcome.error;
}

} // namespace RecordingWave
