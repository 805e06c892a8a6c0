#pragma once

#include <QDateTime>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A temporary installation of the real console with its settings store, and
// the controller simulator on a pseudo-terminal reached through a link in it.
class E2eInstall
{
public:
    E2eInstall();
    ~E2eInstall();

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString linkPath() const { return path(QStringLiteral("zonesim-link")); }
    // Writes the per-user store: "setting" keys over the defaults, com1 on the link.
    void writeStore(const QList<std::pair<QString, QString>> &settings);
    // Writes amp_name.dat with one frequency (in MHz, as typed) on programme
    // channel 1..8; every other field is a placeholder name.
    void writeOneFrequency(int channel, const QString &mhz);

    bool startSimulator();
    bool stopSimulator();
    // Starts the console with the given variables added to its environment
    // and waits until it has opened its port.
    bool startConsole(const QList<std::pair<QString, QString>> &environment = {});
    QProcess &console() { return m_console; }
    void simulatorCommand(const QString &command);

    // Waits until a new line of the simulator (or the console's log) contains text.
    bool waitSimulator(const QString &text, int timeoutMs = 10000);
    bool waitConsole(const QString &text, int timeoutMs = 10000);
    QStringList simulatorLines() const { return m_simLines; }
    // Reads what the simulator has logged so far into simulatorLines().
    void readSimulator();
    // Index in simulatorLines() of the line the last waitSimulator found.
    qsizetype simulatorMatch() const { return m_simSeen - 1; }
    qint64 consolePid() const { return m_console.processId(); }
    // The processes the console started (its sound engines), and the one
    // engine of a role ("player", "probe"); 0 when there is none.
    QList<qint64> consoleChildren() const;
    qint64 enginePid(const QString &role) const;
    QStringList consoleLines() const { return m_consoleLines; }
    // Simulator lines that log a frame, from index from on.
    QStringList framesSince(qsizetype from) const;
    // The frames of simulatorLines() as logged on the given day: when each
    // arrived, its name and its bytes.
    struct LoggedFrame
    {
        QDateTime at;
        QString name;
        QByteArray bytes;
    };
    QList<LoggedFrame> loggedFrames(const QDate &day) const;

private:
    static bool waitFor(QStringList &lines, qsizetype &seen, QProcess &process,
                        QProcess::ProcessChannel channel, const QString &text, int timeoutMs);

    QTemporaryDir m_dir;
    QProcess m_sim;
    QProcess m_console;
    QStringList m_simLines;
    QStringList m_consoleLines;
    qsizetype m_simSeen = 0;
    qsizetype m_consoleSeen = 0;
};

// The start of an item on a whole second aheadSecs from now, or an invalid
// time when it, or the spanSecs after it, would not fall on today: a test of
// one day's item is skipped that close to midnight.
QDateTime sameDayStart(int aheadSecs, int spanSecs = 0);

// A week file of seven empty days but one entry on start's weekday at its
// time; tail is the rest of that line after the time (", 2 ,name,file, …").
QString weekWithOneEntry(const QDateTime &start, const QString &tail);
