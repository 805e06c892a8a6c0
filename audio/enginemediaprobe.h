#pragma once

#include "audio/engineprocess.h"
#include "platform/mediaprobe.h"

#include <QTimer>

// The media probe over a quellon-audio engine of its own, so a file that
// upsets the media libraries costs a restart of that engine and nothing
// else. One probe at a time, as the interface says; the engine could take
// more, but the callers ask one after another.
class EngineMediaProbe final : public MediaProbe
{
    Q_OBJECT
public:
    explicit EngineMediaProbe(const QString &program = EngineProcess::defaultProgram(),
                              EngineProcess::Timing timing = {}, QObject *parent = nullptr);
    ~EngineMediaProbe() override;

    void probe(const QString &path) override;
    void cancel() override;

    EngineProcess &engine() { return *m_engine; }

    // A file that says nothing in this time fails (the engine gives up
    // sooner; this covers an engine that is being replaced).
    static constexpr int kGiveUpMs = 15000;
    // A file under way when the engine had to be replaced this many times
    // fails rather than be tried again.
    static constexpr int kAttempts = 2;

private:
    void received(const audioproto::Message &message);
    void engineRestarted();
    void answer(qint64 milliseconds, const QString &reason);

    EngineProcess *m_engine;
    qint64 m_ids = 0;
    qint64 m_id = 0; // the probe under way; 0 for none
    QString m_path;
    int m_attempts = 0;
    QTimer m_giveUp;
};
