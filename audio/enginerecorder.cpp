#include "audio/enginerecorder.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcAudio)

namespace {
// A WAV file holds its 44-byte header before any sound.
constexpr qint64 kWavHeaderBytes = 44;
} // namespace

EngineRecorder::EngineRecorder(const QString &program, EngineProcess::Timing timing,
                               QObject *parent)
    : Recorder(parent)
    , m_engine(new EngineProcess(program, QStringLiteral("recorder"), timing, this))
{
    m_startLimit.setSingleShot(true);
    m_startLimit.setInterval(kStartLimitMs);
    connect(&m_startLimit, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("no sound from the input")); });
    m_stopLimit.setSingleShot(true);
    m_stopLimit.setInterval(kStopLimitMs);
    connect(&m_stopLimit, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("the recording was not closed in time")); });
    connect(m_engine, &EngineProcess::message, this, &EngineRecorder::received);
    // A take cannot go on in another engine: what was recorded is lost.
    connect(m_engine, &EngineProcess::lost, this, [this] {
        if (m_state != State::Stopped)
            fail(QStringLiteral("the sound engine stopped during the recording"));
    });
    // A take begun while the engine was being replaced was never heard of
    // by it: it is asked for again.
    connect(m_engine, &EngineProcess::restarted, this, [this] {
        if (m_state == State::Recording)
            m_engine->send("record", {std::to_string(m_id), EngineProcess::sourceOf(m_path)});
    });
    m_engine->warmUp();
}

EngineRecorder::~EngineRecorder() = default;

void EngineRecorder::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

void EngineRecorder::record(const QString &path)
{
    if (m_state != State::Stopped)
        return;
    m_path = path;
    m_duration = 0;
    m_id = ++m_ids;
    setState(State::Recording);
    Q_EMIT durationChanged(0);
    // Whatever was there before is no part of this recording. Failures are
    // told from the event loop, as every other outcome is.
    if (QFileInfo::exists(path) && !QFile::remove(path)) {
        QMetaObject::invokeMethod(
            this,
            [this, id = m_id] {
                if (id == m_id)
                    fail(QStringLiteral("the file cannot be replaced"));
            },
            Qt::QueuedConnection);
        return;
    }
    m_startLimit.start();
    m_engine->send("record", {std::to_string(m_id), EngineProcess::sourceOf(path)});
}

void EngineRecorder::stop()
{
    if (m_state != State::Recording)
        return;
    setState(State::Stopping);
    m_startLimit.stop();
    m_stopLimit.start();
    m_engine->send("recstop", {std::to_string(m_id)});
}

void EngineRecorder::received(const audioproto::Message &m)
{
    if (m_state == State::Stopped || m.number(0) != m_id)
        return;
    if (m.verb == "recording") {
        m_startLimit.stop();
    } else if (m.verb == "level") {
        m_startLimit.stop();
        m_duration = std::max<qint64>(m_duration, m.number(1).value_or(0));
        Q_EMIT durationChanged(m_duration);
        const std::string &db = m.arg(2);
        bool ok = false;
        const double level = QString::fromStdString(db).toDouble(&ok);
        Q_EMIT levelChanged(ok ? level : -100.0);
    } else if (m.verb == "recorded") {
        m_stopLimit.stop();
        m_startLimit.stop();
        if (QFileInfo(m_path).size() <= kWavHeaderBytes) {
            fail(QStringLiteral("nothing was recorded"));
            return;
        }
        m_duration = std::max<qint64>(m_duration, m.number(1).value_or(0));
        setState(State::Stopped);
        Q_EMIT finished(m_path);
    } else if (m.verb == "recfail") {
        fail(QString::fromStdString(m.arg(1)));
    }
}

void EngineRecorder::fail(const QString &reason)
{
    if (m_state == State::Stopped)
        return; // one failure is told once, however many ways it is said
    m_startLimit.stop();
    m_stopLimit.stop();
    qCWarning(lcAudio).noquote() << "recording failed:" << m_path << reason;
    // The engine is told to let go of the file, should it still hold it.
    m_engine->send("recstop", {std::to_string(m_id)});
    setState(State::Stopped);
    Q_EMIT failed(reason);
}
