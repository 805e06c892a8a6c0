#pragma once

#include <QProcess>
#include <QStringList>
#include <QTest>

// The controller simulator as a child process of an end-to-end test: started
// on a pseudo-terminal behind a link, fed commands on its standard input, its
// log gathered as it comes. It is killed when the test lets go of it.
class ZoneSimProcess
{
public:
    ZoneSimProcess() = default;
    ZoneSimProcess(const ZoneSimProcess &) = delete;
    ZoneSimProcess &operator=(const ZoneSimProcess &) = delete;
    ~ZoneSimProcess() { stop(); }

    // Starts the simulator and waits until it listens behind link.
    bool start(const QString &binary, const QString &link, const QStringList &options = {})
    {
        m_output.clear();
        m_process.start(binary, QStringList {QStringLiteral("--link"), link} + options);
        return m_process.waitForStarted() && waitFor(QStringLiteral("listening on"));
    }
    void stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Waits, with the event loop running, until the log holds text.
    bool waitFor(const QString &text, int timeoutMs = 10000)
    {
        return QTest::qWaitFor(
            [this, &text] {
                read();
                return m_output.contains(text);
            },
            timeoutMs);
    }
    // One line of its command language ("state", "key 3", "send 01 02").
    void command(const QByteArray &line) { m_process.write(line + '\n'); }

    // What it logged so far; clearOutput forgets it, so the next wait looks
    // only at what comes after.
    const QString &output()
    {
        read();
        return m_output;
    }
    void clearOutput()
    {
        read();
        m_output.clear();
    }
    // The first logged line holding text, or nothing.
    QString lineWith(const QString &text)
    {
        for (const QString &line : output().split(u'\n')) {
            if (line.contains(text))
                return line;
        }
        return {};
    }

    QProcess &process() { return m_process; }

private:
    void read() { m_output += QString::fromUtf8(m_process.readAllStandardOutput()); }

    QProcess m_process;
    QString m_output;
};
