#pragma once

#include "audio/protocol.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <string>
#include <vector>

class QProcess;

// One quellon-audio process, started, watched and replaced by the console.
//
// Requests are lines written to the engine's standard input; nothing here
// ever waits for an answer. Until the first engine has said "ready", lines
// are kept and then written in order. The engine is pinged every pingMs; an
// engine that says nothing within answerMs of a ping, or that ends, is
// killed and a new one started. Lines meant for the old engine, and lines sent while the new
// one starts, are dropped: once it is ready, restarted() asks the clients to
// say again what they want, from what they hold.
class EngineProcess final : public QObject
{
    Q_OBJECT
public:
    struct Timing
    {
        int pingMs = 500;
        int answerMs = 2000;
        // GStreamer builds its plugin registry at the first start of a
        // machine, which takes seconds before the engine can answer.
        int startMs = 20000;
        // Starts that fail one after another wait longer each time, up to this.
        int maxBackoffMs = 8000;
    };

    // role names the engine in the process list ("player", "probe", ...).
    EngineProcess(const QString &program, const QString &role, QObject *parent = nullptr);
    EngineProcess(const QString &program, const QString &role, Timing timing,
                  QObject *parent = nullptr);
    ~EngineProcess() override;

    // The engine program beside the console's executable, or the one of the
    // build tree when an installation has none.
    static QString defaultProgram();
    // What the engine is given for a file: a CD track stays the URI it is;
    // a file goes as its absolute path, byte for byte.
    static std::string sourceOf(const QString &path);

    // Starts the engine now when none runs, so the first request finds it
    // ready (GStreamer takes a moment to start).
    void warmUp();
    // Writes a request; starts the engine first when none runs.
    void send(const std::string &line);
    void send(std::string_view verb, std::initializer_list<std::string_view> args);

    QString role() const { return m_role; }
    bool isReady() const { return m_ready; }
    qint64 processId() const;
    int restarts() const { return m_restarts; }

Q_SIGNALS:
    // Every message of the engine but "ready", pongs included.
    void message(const audioproto::Message &message);
    // A new engine replaced one that hung or ended, and is ready.
    void restarted(const QString &why);
    // An engine ended or was given up; why is for the log and the status bar.
    void lost(const QString &why);

private:
    void start();
    void readOutput();
    void heard(const audioproto::Message &m);
    void check();
    void replace(const QString &why);
    void dropProcess();

    QString m_program;
    QString m_role;
    Timing m_timing;
    QPointer<QProcess> m_process;
    audioproto::LineReader m_reader;
    std::vector<std::string> m_waiting; // written once the engine is ready
    bool m_ready = false;
    bool m_replacing = false; // a restart is due: restarted() follows the next ready
    QString m_why;
    int m_restarts = 0;
    int m_failedStarts = 0;
    qint64 m_pingedAt = -1; // the first ping not followed by any line; -1 for none
    qint64 m_startedAt = 0;
    quint64 m_ping = 0;
    QElapsedTimer m_clock;
    QTimer m_watch;
    QTimer m_deadline; // answerMs from m_pingedAt
    QTimer m_backoff;
};
