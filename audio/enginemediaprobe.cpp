#include "audio/enginemediaprobe.h"

#include <QFileInfo>

EngineMediaProbe::EngineMediaProbe(const QString &program, EngineProcess::Timing timing,
                                   QObject *parent)
    : MediaProbe(parent)
    , m_engine(new EngineProcess(program, QStringLiteral("probe"), timing, this))
{
    m_giveUp.setSingleShot(true);
    m_giveUp.setInterval(kGiveUpMs);
    connect(&m_giveUp, &QTimer::timeout, this,
            [this] { answer(-1, QStringLiteral("no duration within %1 ms").arg(kGiveUpMs)); });
    connect(m_engine, &EngineProcess::message, this, &EngineMediaProbe::received);
    connect(m_engine, &EngineProcess::restarted, this, &EngineMediaProbe::engineRestarted);
}

EngineMediaProbe::~EngineMediaProbe() = default;

void EngineMediaProbe::probe(const QString &path)
{
    cancel();
    m_id = ++m_ids;
    m_path = path;
    m_attempts = 1;
    m_giveUp.start();
    if (!path.startsWith(u"cdda://") && !QFileInfo(path).isFile()) {
        // Told later, like every answer, so callers see one order of events;
        // a cancel or another probe in between withdraws it.
        QMetaObject::invokeMethod(
            this,
            [this, id = m_id] {
                if (id == m_id)
                    answer(-1, QStringLiteral("no such file"));
            },
            Qt::QueuedConnection);
        return;
    }
    m_engine->send("probe", {std::to_string(m_id), EngineProcess::sourceOf(path)});
}

void EngineMediaProbe::cancel()
{
    if (m_id == 0)
        return;
    m_engine->send("unprobe", {std::to_string(m_id)});
    m_id = 0;
    m_path.clear();
    m_giveUp.stop();
}

void EngineMediaProbe::received(const audioproto::Message &m)
{
    if (m_id == 0 || m.number(0) != m_id)
        return;
    if (m.verb == "duration")
        answer(m.number(1).value_or(-1), QStringLiteral("no duration"));
    else if (m.verb == "probefail")
        answer(-1, QString::fromStdString(m.arg(1)));
}

void EngineMediaProbe::engineRestarted()
{
    if (m_id == 0)
        return;
    if (m_attempts >= kAttempts) {
        answer(-1, QStringLiteral("the sound engine stopped on this file"));
        return;
    }
    ++m_attempts;
    m_engine->send("probe", {std::to_string(m_id), EngineProcess::sourceOf(m_path)});
}

void EngineMediaProbe::answer(qint64 milliseconds, const QString &reason)
{
    const QString path = m_path;
    m_id = 0;
    m_path.clear();
    m_giveUp.stop();
    if (milliseconds > 0)
        Q_EMIT durationFound(path, milliseconds);
    else
        Q_EMIT failed(path, reason);
}
