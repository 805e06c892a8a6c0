#include "audio/engineprocess.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>

#include <algorithm>

Q_LOGGING_CATEGORY(lcAudio, "quellon.audio")

EngineProcess::EngineProcess(const QString &program, const QString &role, QObject *parent)
    : EngineProcess(program, role, Timing(), parent)
{
}

EngineProcess::EngineProcess(const QString &program, const QString &role, Timing timing,
                             QObject *parent)
    : QObject(parent)
    , m_program(program)
    , m_role(role)
    , m_timing(timing)
{
    m_clock.start();
    m_watch.setInterval(m_timing.pingMs);
    connect(&m_watch, &QTimer::timeout, this, &EngineProcess::check);
    m_backoff.setSingleShot(true);
    connect(&m_backoff, &QTimer::timeout, this, &EngineProcess::start);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        replace(QStringLiteral("the engine did not answer a ping for %1 ms")
                    .arg(m_clock.elapsed() - m_pingedAt));
    });
}

EngineProcess::~EngineProcess()
{
    dropProcess();
}

QString EngineProcess::defaultProgram()
{
    const QString beside
        = QCoreApplication::applicationDirPath() + QStringLiteral("/quellon-audio");
    if (QFileInfo(beside).isExecutable())
        return beside;
#ifdef QUELLON_AUDIO_BUILT
    return QStringLiteral(QUELLON_AUDIO_BUILT);
#else
    return beside;
#endif
}

std::string EngineProcess::sourceOf(const QString &path)
{
    if (path.startsWith(u"cdda://"))
        return path.toStdString();
    const QByteArray bytes = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

qint64 EngineProcess::processId() const
{
    return m_process ? m_process->processId() : 0;
}

void EngineProcess::warmUp()
{
    if (!m_process && !m_backoff.isActive())
        start();
}

void EngineProcess::send(std::string_view verb, std::initializer_list<std::string_view> args)
{
    send(audioproto::encode(verb, args));
}

void EngineProcess::send(const std::string &line)
{
    if (m_ready && m_process) {
        m_process->write(line.data(), qint64(line.size()));
        return;
    }
    // While an engine is being replaced nothing is kept: restarted() has the
    // clients say again all they want, this included.
    if (!m_replacing)
        m_waiting.push_back(line);
    if (!m_process && !m_backoff.isActive())
        start();
}

void EngineProcess::start()
{
    dropProcess();
    m_reader = audioproto::LineReader();
    m_ready = false;
    auto *process = new QProcess(this);
    m_process = process;
    process->setProgram(m_program);
    process->setArguments({QStringLiteral("--role"), m_role});
    // The engine's own complaints join the console's.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process, &QProcess::readyReadStandardOutput, this, &EngineProcess::readOutput);
    connect(process, &QProcess::finished, this, [this, process](int code, QProcess::ExitStatus) {
        if (process == m_process)
            replace(QStringLiteral("the engine ended (%1)").arg(code));
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError e) {
        if (process == m_process && e == QProcess::FailedToStart)
            replace(QStringLiteral("the engine %1 cannot be started").arg(m_program));
    });
    m_startedAt = m_clock.elapsed();
    m_pingedAt = -1;
    process->start(QIODevice::ReadWrite | QIODevice::Unbuffered);
    m_watch.start();
}

void EngineProcess::dropProcess()
{
    QProcess *process = m_process;
    m_process = nullptr;
    m_ready = false;
    if (!process)
        return;
    process->disconnect(this);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    // SIGKILL ends even a stopped process at once. The object goes once the
    // process has been reaped, so nothing here waits for it (deleting a
    // QProcess that still runs would). When the console itself ends, the
    // engine dies with it (PR_SET_PDEATHSIG) and the object with the process.
    process->kill();
    process->setParent(nullptr);
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
}

void EngineProcess::readOutput()
{
    if (!m_process)
        return;
    const QByteArray bytes = m_process->readAllStandardOutput();
    m_reader.append(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    while (std::optional<std::string> line = m_reader.next()) {
        m_pingedAt = -1;
        m_deadline.stop();
        if (std::optional<audioproto::Message> message = audioproto::decode(*line))
            heard(*message);
        if (!m_process)
            return; // replaced while handling
    }
}

void EngineProcess::heard(const audioproto::Message &m)
{
    if (m.verb == "ready") {
        if (m.number(0) != audioproto::kVersion) {
            replace(QStringLiteral("the engine speaks version %1, not %2")
                        .arg(QString::fromStdString(m.arg(0)))
                        .arg(audioproto::kVersion));
            return;
        }
        m_ready = true;
        m_failedStarts = 0;
        for (const std::string &line : std::exchange(m_waiting, {}))
            m_process->write(line.data(), qint64(line.size()));
        if (std::exchange(m_replacing, false)) {
            qCWarning(lcAudio).noquote() << "audio engine" << m_role << "restarted:" << m_why;
            Q_EMIT restarted(m_why);
        }
        return;
    }
    if (m.verb == "bad")
        qCWarning(lcAudio) << "the engine did not understand" << m.arg(0).c_str();
    Q_EMIT message(m);
}

void EngineProcess::check()
{
    if (!m_process)
        return;
    const qint64 now = m_clock.elapsed();
    if (!m_ready) {
        if (now - m_startedAt > m_timing.startMs)
            replace(QStringLiteral("the engine did not start within %1 ms").arg(m_timing.startMs));
        return;
    }
    // The answer time runs from the first ping that nothing followed: any
    // line of the engine's shows its main loop turns.
    if (m_pingedAt < 0) {
        m_pingedAt = now;
        m_deadline.start(m_timing.answerMs);
    }
    send("ping", {std::to_string(++m_ping)});
}

void EngineProcess::replace(const QString &why)
{
    qCWarning(lcAudio).noquote() << "audio engine" << m_role << "replaced:" << why;
    dropProcess();
    m_watch.stop();
    m_deadline.stop();
    // What was meant for the old engine is said again by the clients, on
    // restarted(), so nothing is said twice.
    m_waiting.clear();
    m_why = why;
    m_replacing = true;
    ++m_restarts;
    const int delay = m_failedStarts == 0
        ? 0
        : std::min(m_timing.maxBackoffMs, 250 << std::min(m_failedStarts, 8));
    ++m_failedStarts;
    m_backoff.start(delay);
    // Told once the next start is due, so a request made on hearing it waits
    // for that engine rather than starting one of its own.
    Q_EMIT lost(why);
}
