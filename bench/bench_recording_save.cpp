// How the recorder window fares with a 10-minute recording, as the sound
// engine records it (44.1 kHz, stereo, 16 bits: 106 MB), driven through its
// controls offscreen, with a 1 ms timer beside it that keeps the longest gap
// between its ticks (the longest the event loop was held up):
//  - the recording opened and a 10-second take recorded after it: the take
//    is added into a new file, so the whole recording is copied;
//  - a second take: added in place, only the take is copied;
//  - the recording saved under a new name, then over that file;
//  - a save stopped halfway: the file saved before stays as it was.
// The recorder is a stand-in that writes each take when it is stopped. The
// files go to the temporary folder, or the folder given as first argument.
// For comparison, the same save done at once, as the window did before.

#include "console/consolerig.h"
#include "platform/recorder.h"
#include "players/frmrec.h"
#include "players/recordingwave.h"
#include "stallwatch.h"
#include "support/fakemediaplayer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kFrameBytes = kChannels * 2;
constexpr int kRecordingSeconds = 600;
constexpr int kTakeSeconds = 10;

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

// A WAV file of a 440 Hz tone, written a second at a time.
bool writeWave(const QString &path, int seconds)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const quint32 data = quint32(seconds) * kRate * kFrameBytes;
    file.write("RIFF" + le32(36 + data) + "WAVEfmt " + le32(16) + le16(1) + le16(kChannels)
               + le32(kRate) + le32(kRate * kFrameBytes) + le16(kFrameBytes) + le16(16) + "data"
               + le32(data));
    QByteArray second(kRate * kFrameBytes, '\0');
    for (int i = 0; i < kRate; ++i) {
        const auto v = qint16(std::lround(8000 * std::sin(2 * M_PI * 440 * i / kRate)));
        for (int c = 0; c < kChannels; ++c)
            qToLittleEndian(v, second.data() + i * kFrameBytes + c * 2);
    }
    for (int s = 0; s < seconds; ++s) {
        if (file.write(second) != second.size())
            return false;
    }
    return true;
}

// The sound input: a take of kTakeSeconds is written when it is stopped, and
// reported finished from the event loop, as the engine does.
class BenchRecorder final : public Recorder
{
    Q_OBJECT
public:
    void record(const QString &path) override
    {
        if (m_state != State::Stopped)
            return;
        m_path = path;
        m_duration = 0;
        setState(State::Recording);
    }
    void stop() override
    {
        if (m_state != State::Recording)
            return;
        setState(State::Stopping);
        m_duration = kTakeSeconds * 1000;
        writeWave(m_path, kTakeSeconds);
        QTimer::singleShot(0, this, [this] {
            setState(State::Stopped);
            Q_EMIT finished(m_path);
        });
    }
    State state() const override { return m_state; }
    qint64 durationMs() const override { return m_duration; }

private:
    void setState(State state)
    {
        m_state = state;
        Q_EMIT stateChanged(state);
    }

    State m_state = State::Stopped;
    QString m_path;
    qint64 m_duration = 0;
};

void click(QWidget *window, const char *name)
{
    auto *button = window->findChild<QPushButton *>(QString::fromLatin1(name));
    if (!button || !button->isEnabled())
        qFatal("%s cannot be pressed", name);
    button->click();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QTemporaryDir files(base + QStringLiteral("/bench-recording-XXXXXX"));
    if (!files.isValid())
        return 1;
    const QString recording = files.filePath(QStringLiteral("十分钟.wav"));
    if (!writeWave(recording, kRecordingSeconds))
        return 1;
    out << "recording: " << kRecordingSeconds / 60 << " minutes, "
        << QFileInfo(recording).size() / 1000000 << " MB, in " << files.path() << "\n";

    ConsoleRig rig;
    Console &console = rig.start();
    BenchRecorder recorder;
    FakeMediaPlayer player;
    frmrec window(console.dialogs(), console.folder(), recorder, player, rig.mixer);
    window.show();
    RecordingSession &session = window.session();

    double longestOfAll = 0;
    // Runs the event loop, watched, from what start does until until fires.
    const auto measure = [&](const QString &what, auto until, const std::function<void()> &start) {
        StallWatch watchdog;
        QEventLoop loop;
        const auto connection = QObject::connect(&session, until, &loop, [&loop] { loop.quit(); });
        QElapsedTimer t;
        watchdog.start();
        t.start();
        start();
        loop.exec();
        const double ms = t.nsecsElapsed() / 1e6;
        watchdog.stop();
        QObject::disconnect(connection);
        longestOfAll = std::max(longestOfAll, watchdog.longestMs());
        out << what << ": " << QString::number(ms, 'f', 0) << " ms; longest stall "
            << QString::number(watchdog.longestMs(), 'f', 2) << " ms\n";
        out.flush();
    };

    rig.dialogs.files.enqueue(recording);
    click(&window, "cmdopen");
    if (session.lengthMs() != kRecordingSeconds * 1000)
        return 1;

    click(&window, "mmcrec_record");
    measure(QStringLiteral("take added after the opened recording (whole copy)"),
            &RecordingSession::takeEnded, [&] { click(&window, "mmcrec_stop"); });
    click(&window, "mmcrec_record");
    measure(QStringLiteral("second take added in place"), &RecordingSession::takeEnded,
            [&] { click(&window, "mmcrec_stop"); });
    if (!session.error().isEmpty()
        || session.lengthMs() != (kRecordingSeconds + 2 * kTakeSeconds) * 1000) {
        out << "the takes were not added: " << session.error() << "\n";
        return 1;
    }

    const QString saved = files.filePath(QStringLiteral("saved.wav"));
    rig.dialogs.files.enqueue(saved);
    measure(QStringLiteral("saved under a new name"), &RecordingSession::saveEnded,
            [&] { click(&window, "cmdsave"); });
    rig.dialogs.files.enqueue(saved);
    measure(QStringLiteral("saved over that file"), &RecordingSession::saveEnded,
            [&] { click(&window, "cmdsave"); });
    if (RecordingWave::read(saved).durationMs() != session.lengthMs() || session.isUnsaved()) {
        out << "not saved: " << session.error() << "\n";
        return 1;
    }

    // Another take, then a save over the saved file stopped halfway.
    click(&window, "mmcrec_record");
    measure(QStringLiteral("third take added in place"), &RecordingSession::takeEnded,
            [&] { click(&window, "mmcrec_stop"); });
    const QByteArray savedBefore = QFile(saved).open(QIODevice::ReadOnly)
        ? QByteArray::number(QFileInfo(saved).size())
        : QByteArray();
    const auto halfway = QObject::connect(&session, &RecordingSession::changed, &app, [&] {
        if (session.isSaving() && session.copyPercent() >= 50)
            click(&window, "cmdstopcopy");
    });
    rig.dialogs.files.enqueue(saved);
    measure(QStringLiteral("save stopped halfway"), &RecordingSession::saveEnded,
            [&] { click(&window, "cmdsave"); });
    QObject::disconnect(halfway);
    if (!session.isUnsaved() || QByteArray::number(QFileInfo(saved).size()) != savedBefore
        || RecordingWave::read(saved).durationMs()
            != (kRecordingSeconds + 2 * kTakeSeconds) * 1000) {
        out << "the stopped save changed the file\n";
        return 1;
    }
    out << "longest stall of the event loop in all: " << QString::number(longestOfAll, 'f', 2)
        << " ms (goal: at most 20 ms)\n";

    // The same save done at once, as the window did before: the event loop
    // stands still for all of it.
    QElapsedTimer t;
    t.start();
    if (!RecordingWave::save(session.fileName(), files.filePath(QStringLiteral("at-once.wav")))
             .isEmpty())
        return 1;
    out << "for comparison, the same save done at once: " << QString::number(t.elapsed())
        << " ms\n";
    return 0;
}

#include "bench_recording_save.moc"
