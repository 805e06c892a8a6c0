#include "platform/qtrecorder.h"

#include <QAudioDevice>
#include <QAudioInput>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QMediaFormat>
#include <QMediaRecorder>
#include <QUrl>

QtRecorder::QtRecorder(QObject *parent)
    : Recorder(parent)
{
    m_startLimit.setSingleShot(true);
    m_startLimit.setInterval(kStartLimitMs);
    connect(&m_startLimit, &QTimer::timeout, this, &QtRecorder::startTimedOut);
    m_stopLimit.setSingleShot(true);
    m_stopLimit.setInterval(kStopLimitMs);
    connect(&m_stopLimit, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("the recording was not closed in time")); });
}

QtRecorder::~QtRecorder()
{
    // Nothing is reported while the parts go away with this object.
    if (m_recorder)
        m_recorder->disconnect(this);
}

void QtRecorder::dropSession()
{
    if (!m_recorder)
        return;
    m_recorder->disconnect(this);
    m_recorder->stop();
    m_recorder->deleteLater();
    m_session->deleteLater();
    m_input->deleteLater();
    m_recorder = nullptr;
    m_session = nullptr;
    m_input = nullptr;
}

void QtRecorder::startAttempt()
{
    dropSession();
    m_session = new QMediaCaptureSession(this);
    m_input = new QAudioInput(QMediaDevices::defaultAudioInput(), this);
    m_recorder = new QMediaRecorder(this);
    m_session->setAudioInput(m_input);
    m_session->setRecorder(m_recorder);
    QMediaFormat format(QMediaFormat::Wave);
    format.setAudioCodec(QMediaFormat::AudioCodec::Wave); // plain PCM
    m_recorder->setMediaFormat(format);
    m_recorder->setQuality(QMediaRecorder::HighQuality);
    m_recorder->setOutputLocation(QUrl::fromLocalFile(m_path));

    connect(m_recorder, &QMediaRecorder::durationChanged, this, [this](qint64 ms) {
        if (m_state == State::Stopped || m_restarting)
            return;
        if (ms > 0)
            m_startLimit.stop(); // sound comes in
        m_duration = ms;
        Q_EMIT durationChanged(ms);
    });
    connect(m_recorder, &QMediaRecorder::errorOccurred, this,
            [this](QMediaRecorder::Error, const QString &text) { fail(text); });
    connect(m_recorder, &QMediaRecorder::recorderStateChanged, this,
            [this](QMediaRecorder::RecorderState s) {
                recorderStateChanged(s == QMediaRecorder::StoppedState);
            });
    m_recorder->record();
    m_startLimit.start();
}

void QtRecorder::startTimedOut()
{
    if (m_state != State::Recording || !m_recorder)
        return;
    if (m_attempt >= kStartAttempts) {
        fail(QStringLiteral("no sound from the input"));
        return;
    }
    qWarning() << "no sound from the input; the recording starts again:" << m_path;
    // The silent session closes its file first, so that two never write it.
    m_restarting = true;
    m_stopLimit.start();
    m_recorder->stop();
}

void QtRecorder::recorderStateChanged(bool stopped)
{
    if (!stopped || m_state == State::Stopped)
        return;
    m_stopLimit.stop();
    if (m_restarting) {
        m_restarting = false;
        if (m_state == State::Recording) {
            ++m_attempt;
            startAttempt();
            return;
        }
        // Stopped by the caller while starting again: an empty recording.
    }
    // The pipeline stopped: by stop(), or by itself (the input went away).
    if (m_state == State::Recording)
        qWarning() << "the recording stopped by itself:" << m_path;
    m_startLimit.stop();
    if (QFileInfo(m_path).size() <= 0) {
        fail(QStringLiteral("nothing was recorded"));
        return;
    }
    m_duration = qMax(m_duration, m_recorder->duration());
    dropSession();
    setState(State::Stopped);
    Q_EMIT finished(m_path);
}

void QtRecorder::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

void QtRecorder::fail(const QString &reason)
{
    if (m_state == State::Stopped)
        return; // one failure is reported once, however many ways it is said
    m_startLimit.stop();
    m_stopLimit.stop();
    m_restarting = false;
    qWarning() << "recording failed:" << m_path << reason;
    // A GStreamer pipeline that met an error refuses the next recording; the
    // next one gets a fresh session anyway.
    dropSession();
    setState(State::Stopped);
    Q_EMIT failed(reason);
}

void QtRecorder::record(const QString &path)
{
    if (m_state != State::Stopped)
        return;
    m_path = path;
    m_duration = 0;
    m_attempt = 1;
    m_restarting = false;
    setState(State::Recording);
    Q_EMIT durationChanged(0);
    // Whatever was there before is no part of this recording. Failures are
    // told from the event loop, as every other outcome is.
    if (QFileInfo::exists(path) && !QFile::remove(path)) {
        QMetaObject::invokeMethod(
            this, [this] { fail(QStringLiteral("the file cannot be replaced")); },
            Qt::QueuedConnection);
        return;
    }
    if (QMediaDevices::defaultAudioInput().isNull()) {
        QMetaObject::invokeMethod(
            this, [this] { fail(QStringLiteral("no sound input")); }, Qt::QueuedConnection);
        return;
    }
    startAttempt();
}

void QtRecorder::stop()
{
    if (m_state != State::Recording)
        return;
    setState(State::Stopping);
    m_startLimit.stop();
    m_stopLimit.start();
    if (m_recorder && !m_restarting)
        m_recorder->stop();
}
