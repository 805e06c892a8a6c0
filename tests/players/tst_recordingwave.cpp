// The recorder's WAV files: what a header says, a take added to the end of
// a recording (in place or into a new file), and saving a copy.

#include "players/recordingwave.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {
QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray le16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray formatBody(quint16 tag, quint16 channels, quint32 rate, quint16 bits, quint16 align = 0)
{
    if (align == 0)
        align = quint16(channels * bits / 8);
    return le16(tag) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits);
}
QByteArray chunk(const QByteArray &id, const QByteArray &body, qint64 claimed = -1)
{
    QByteArray c = id + le32(quint32(claimed < 0 ? body.size() : claimed)) + body;
    if (body.size() & 1)
        c += '\0';
    return c;
}
// A RIFF WAVE file of the given chunks.
QByteArray riff(const QByteArray &chunks)
{
    return "RIFF" + le32(quint32(4 + chunks.size())) + "WAVE" + chunks;
}
const QByteArray kPcm16Mono8k = formatBody(1, 1, 8000, 16);
} // namespace

class tst_RecordingWave : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void read_data();
    void read();
    void joinable_data();
    void joinable();
    void compressedSamplesDoNotJoin();
    void joinGrowsTheFirstInPlace();
    void joinWritesANewFileWhenSomethingFollowsTheSamples();
    void joinIntoAnotherFileLeavesTheFirst();
    void joinKeepsWholeFramesAndEvenChunks();
    void joinRefusesOtherFormats();
    void saveCopies();
    void saveIntoAMissingFolderFails();
    void preparedCopies_data();
    void preparedCopies();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString write(const QString &name, const QByteArray &bytes)
    {
        GbkFiles::writeBytes(path(name), bytes);
        return path(name);
    }
    QTemporaryDir m_dir;
};

void tst_RecordingWave::read_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("dataOffset");
    QTest::addColumn<qint64>("dataSize");
    QTest::addColumn<bool>("dataIsLast");
    QTest::addColumn<qint64>("durationMs");

    const QByteArray samples(16000, '\x11'); // one second
    QTest::newRow("plain") << TestMedia::wav(1.0, 440, 8000) << true << qint64(44) << qint64(16000)
                           << true << qint64(1000);
    QTest::newRow("a list before and after the samples")
        << riff(chunk("fmt ", kPcm16Mono8k) + chunk("LIST", "INFOabc") + chunk("data", samples)
                + chunk("LIST", "INFOxyz1"))
        << true << qint64(12 + 24 + 16 + 8) << qint64(16000) << false << qint64(1000);
    QTest::newRow("a writer that never closed its file (size 0)")
        << riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", samples, 0)) << true << qint64(44)
        << qint64(16000) << true << qint64(1000);
    QTest::newRow("a header that claims more than there is")
        << riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", samples.left(4000), 0x7fffffff)) << true
        << qint64(44) << qint64(4000) << true << qint64(250);
    QTest::newRow("no samples") << riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", {})) << true
                                << qint64(44) << qint64(0) << true << qint64(0);
    QTest::newRow("no format") << riff(chunk("data", samples)) << false << qint64(0) << qint64(0)
                               << false << qint64(0);
    QTest::newRow("no samples chunk") << riff(chunk("fmt ", kPcm16Mono8k)) << false << qint64(0)
                                      << qint64(0) << false << qint64(0);
    QTest::newRow("not RIFF") << QByteArray("ID3\x03junkjunkjunkjunkjunk") << false << qint64(0)
                              << qint64(0) << false << qint64(0);
    QTest::newRow("RIFF, not WAVE") << QByteArray("RIFF\x10\0\0\0AVI junkjunk", 20) << false
                                    << qint64(0) << qint64(0) << false << qint64(0);
    QTest::newRow("empty") << QByteArray() << false << qint64(0) << qint64(0) << false << qint64(0);
}

void tst_RecordingWave::read()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, valid);
    const RecordingWave::Info info = RecordingWave::read(write(u"r.wav"_s, file));
    QCOMPARE(info.valid, valid);
    if (!valid)
        return;
    QTEST(info.dataOffset, "dataOffset");
    QTEST(info.dataSize, "dataSize");
    QTEST(info.dataIsLast, "dataIsLast");
    QTEST(info.durationMs(), "durationMs");
    QCOMPARE(info.sampleRate, 8000u);
    QCOMPARE(info.channels, quint16(1));
    QCOMPARE(info.bitsPerSample, quint16(16));
}

void tst_RecordingWave::joinable_data()
{
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<bool>("joinable");
    QTest::newRow("same") << kPcm16Mono8k << true;
    QTest::newRow("other rate") << formatBody(1, 1, 11025, 16) << false;
    QTest::newRow("stereo") << formatBody(1, 2, 8000, 16) << false;
    QTest::newRow("8-bit") << formatBody(1, 1, 8000, 8) << false;
}

void tst_RecordingWave::joinable()
{
    QFETCH(QByteArray, second);
    const QByteArray data(800, '\x01');
    const auto a = RecordingWave::read(
        write(u"a.wav"_s, riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", data))));
    const auto b
        = RecordingWave::read(write(u"b.wav"_s, riff(chunk("fmt ", second) + chunk("data", data))));
    QTEST(RecordingWave::joinable(a, b), "joinable");
}

void tst_RecordingWave::compressedSamplesDoNotJoin()
{
    // Blocks of compressed samples cannot simply follow each other, even of
    // one format.
    const QByteArray adpcm = formatBody(2, 1, 8000, 4, 256);
    const auto c = RecordingWave::read(
        write(u"c.wav"_s, riff(chunk("fmt ", adpcm) + chunk("data", QByteArray(512, '\x01')))));
    QVERIFY(c.valid);
    QVERIFY(!RecordingWave::joinable(c, c));
}

void tst_RecordingWave::joinGrowsTheFirstInPlace()
{
    const QByteArray first(1600, '\x01');
    const QByteArray second(800, '\x02');
    const QString a = write(u"a.wav"_s, riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", first)));
    const QString b = write(u"b.wav"_s, riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", second)));
    QCOMPARE(RecordingWave::join(a, b, a), QString());
    const QByteArray joined = GbkFiles::readBytes(a);
    QCOMPARE(joined, riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", first + second)));
    QCOMPARE(RecordingWave::read(a).durationMs(), 150);
    QCOMPARE(GbkFiles::readBytes(b).size(), 44 + 800); // the take is read, not changed
}

void tst_RecordingWave::joinWritesANewFileWhenSomethingFollowsTheSamples()
{
    const QByteArray first(1600, '\x01');
    const QByteArray second(800, '\x02');
    const QString a = write(
        u"a.wav"_s,
        riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", first) + chunk("LIST", "INFOname")));
    const QString b = write(u"b.wav"_s, riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", second)));
    QCOMPARE(RecordingWave::join(a, b, a), QString());
    QCOMPARE(GbkFiles::readBytes(a),
             riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", first + second)));
}

void tst_RecordingWave::joinIntoAnotherFileLeavesTheFirst()
{
    const QByteArray original
        = riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", QByteArray(1600, '\x01')));
    const QString a = write(u"opened.wav"_s, original);
    const QString b = write(
        u"b.wav"_s, riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", QByteArray(800, '\x02'))));
    QCOMPARE(RecordingWave::join(a, b, path(u"scratch.wav"_s)), QString());
    QCOMPARE(GbkFiles::readBytes(a), original);
    QCOMPARE(RecordingWave::read(path(u"scratch.wav"_s)).dataSize, 2400);
}

void tst_RecordingWave::joinKeepsWholeFramesAndEvenChunks()
{
    // A take cut off inside a sample frame loses that part frame, so the
    // samples after it keep their places; an odd chunk gets its pad byte.
    const QString a
        = write(u"a.wav"_s, riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", "\x01\x01\x01")));
    const QString b
        = write(u"b.wav"_s, riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", "\x02\x02")));
    QCOMPARE(RecordingWave::join(a, b, a), QString());
    QCOMPARE(GbkFiles::readBytes(a),
             riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", "\x01\x01\x02\x02")));

    const QByteArray u8 = formatBody(1, 1, 8000, 8);
    const QString c = write(u"c.wav"_s, riff(chunk("fmt ", u8) + chunk("data", "\x01\x01\x01")));
    const QString d = write(u"d.wav"_s, riff(chunk("fmt ", u8) + chunk("data", "\x02\x02")));
    QCOMPARE(RecordingWave::join(c, d, c), QString());
    const QByteArray five = riff(chunk("fmt ", u8) + chunk("data", "\x01\x01\x01\x02\x02"));
    QCOMPARE(GbkFiles::readBytes(c), five);
    QCOMPARE(five.size() % 2, 0);
    QCOMPARE(RecordingWave::read(c).dataSize, 5);
}

void tst_RecordingWave::joinRefusesOtherFormats()
{
    const QByteArray original
        = riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", QByteArray(1600, '\x01')));
    const QString a = write(u"a.wav"_s, original);
    const QString b = write(
        u"b.wav"_s,
        riff(chunk("fmt ", formatBody(1, 2, 44100, 16)) + chunk("data", QByteArray(800, '\x02'))));
    QVERIFY(!RecordingWave::join(a, b, a).isEmpty());
    QCOMPARE(GbkFiles::readBytes(a), original);
    QVERIFY(!RecordingWave::join(a, path(u"missing.wav"_s), a).isEmpty());
    QCOMPARE(GbkFiles::readBytes(a), original);
}

void tst_RecordingWave::saveCopies()
{
    const QByteArray bytes = TestMedia::wav(0.5, 440, 8000);
    const QString a = write(u"a.wav"_s, bytes);
    write(u"old.wav"_s, "an older file");
    QCOMPARE(RecordingWave::save(a, path(u"old.wav"_s)), QString());
    QCOMPARE(GbkFiles::readBytes(path(u"old.wav"_s)), bytes);
    QCOMPARE(RecordingWave::save(a, a), QString()); // onto itself: nothing to do
    QCOMPARE(GbkFiles::readBytes(a), bytes);
}

void tst_RecordingWave::saveIntoAMissingFolderFails()
{
    const QString a = write(u"a.wav"_s, TestMedia::wav(0.5, 440, 8000));
    const QString target = path(u"no/such/folder/x.wav"_s);
    const QString error = RecordingWave::save(a, target);
    QVERIFY(error.contains(target));
    QVERIFY(!QFile::exists(target));
}

void tst_RecordingWave::preparedCopies_data()
{
    // Which copy, and what happens to it: told to stop after so many blocks
    // (-1: never), then finished or discarded.
    QTest::addColumn<QString>("copy");
    QTest::addColumn<int>("stopAfter");
    QTest::addColumn<bool>("finished");
    for (const char *copy : {"save over an older file", "save under a new name", "join in place",
                             "join, something follows the samples", "join into another file"}) {
        const QString name = QString::fromLatin1(copy);
        QTest::addRow("%s, finished", copy) << name << -1 << true;
        QTest::addRow("%s, discarded", copy) << name << -1 << false;
        QTest::addRow("%s, stopped before the first block", copy) << name << 0 << false;
        QTest::addRow("%s, stopped after a block", copy) << name << 1 << false;
    }
}

void tst_RecordingWave::preparedCopies()
{
    QFETCH(QString, copy);
    QFETCH(int, stopAfter);
    QFETCH(bool, finished);
    // Samples over two blocks of the copy, each.
    constexpr qsizetype kSamples = (5 << 20) / 2;
    const QByteArray first(kSamples, '\x01');
    const QByteArray second(kSamples - 1, '\x02'); // an odd size: a pad byte, and a part frame
    const bool join = copy.startsWith(u"join"_s);
    QFile::remove(path(u"old.wav"_s));
    QFile::remove(path(u"new.wav"_s));
    const QString a = write(u"a.wav"_s,
                            riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", first)
                                 + (copy.contains(u"follows"_s) ? chunk("LIST", "INFOa") : "")));
    const QString b = write(u"b.wav"_s, riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", second)));
    QString target = a;
    if (copy == u"save over an older file"_s)
        target = write(u"old.wav"_s, "an older file");
    else if (!copy.startsWith(u"join in place"_s) && !copy.contains(u"follows"_s))
        target = path(u"new.wav"_s);
    const QByteArray before = QFile::exists(target) ? GbkFiles::readBytes(target) : QByteArray();
    const QStringList filesBefore = QDir(m_dir.path()).entryList(QDir::Files);
    // A copy goes a block (1 MiB) at a time, of each file it copies from.
    const auto blocksOf = [](qint64 bytes) { return int((bytes + (1 << 20) - 1) >> 20); };
    const qint64 wholeSecond = second.size() - 1;
    int blocksInAll = blocksOf(GbkFiles::readBytes(a).size());
    if (copy == u"join in place"_s)
        blocksInAll = blocksOf(wholeSecond);
    else if (join)
        blocksInAll = blocksOf(first.size()) + blocksOf(wholeSecond);

    RecordingWave::Progress progress;
    int blocks = 0;
    progress.onAdvance = [&] {
        if (++blocks == stopAfter)
            progress.stop();
    };
    if (stopAfter == 0)
        progress.stop();
    const RecordingWave::Outcome outcome = join ? RecordingWave::prepareJoin(a, b, target, progress)
                                                : RecordingWave::prepareSave(a, target, progress);
    QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
    QCOMPARE(outcome.stopped, stopAfter >= 0);
    QCOMPARE(blocks, stopAfter >= 0 ? stopAfter : blocksInAll);
    QCOMPARE(progress.done() == progress.total(), stopAfter < 0);
    QCOMPARE(progress.percent() == 100, stopAfter < 0);
    // Until it is finished, the target reads as it was.
    if (QFile::exists(target) && join)
        QCOMPARE(RecordingWave::read(target).dataSize, qint64(first.size()));
    if (finished) {
        QCOMPARE(outcome.prepared.finish(), QString());
        const QByteArray expected = join
            ? riff(chunk("fmt ", kPcm16Mono8k) + chunk("data", first + second.left(kSamples - 2)))
            : GbkFiles::readBytes(a);
        QCOMPARE(GbkFiles::readBytes(target), expected);
    } else {
        outcome.prepared.discard();
        QCOMPARE(QFile::exists(target), !before.isEmpty());
        QCOMPARE(GbkFiles::readBytes(target), before);
    }
    // Nothing else is left behind in the folder.
    QStringList files = QDir(m_dir.path()).entryList(QDir::Files);
    if (finished && target == path(u"new.wav"_s))
        QVERIFY(files.removeOne(u"new.wav"_s));
    QCOMPARE(files, filesBefore);
}

QTEST_GUILESS_MAIN(tst_RecordingWave)
#include "tst_recordingwave.moc"
