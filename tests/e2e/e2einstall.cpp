#include "e2einstall.h"

#include "support/gbkfiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

E2eInstall::E2eInstall()
{
    // The console and its sound engine, side by side as installed.
    for (const auto &[from, to] :
         {std::pair {QStringLiteral(QUELLON_BINARY), u"quellon"},
          std::pair {QStringLiteral(QUELLON_AUDIO_BINARY), u"quellon-audio"}}) {
        QFile::copy(from, path(QString::fromUtf16(to)));
        QFile::setPermissions(path(QString::fromUtf16(to)),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // A portable installation: the data files are kept beside the executable.
    QFile marker(path(QStringLiteral("portable")));
    marker.open(QIODevice::WriteOnly);
    marker.close();
    m_sim.setProcessChannelMode(QProcess::SeparateChannels);
    m_console.setProcessChannelMode(QProcess::SeparateChannels);
}

E2eInstall::~E2eInstall()
{
    for (QProcess *p : {&m_console, &m_sim}) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
}

void E2eInstall::writeStore(const QList<std::pair<QString, QString>> &settings)
{
    QDir().mkpath(path(QStringLiteral("config/broadcast")));
    QSettings store(path(QStringLiteral("config/broadcast/broadcast.conf")), QSettings::IniFormat);
    store.setValue(QStringLiteral("setting/setted"), QStringLiteral("yes"));
    store.setValue(QStringLiteral("setting/com"), QStringLiteral("com1"));
    for (const auto &[key, value] : settings)
        store.setValue(QStringLiteral("setting/") + key, value);
    store.setValue(QStringLiteral("ports/com1"), linkPath());
    store.sync();
}

void E2eInstall::writeOneFrequency(int channel, const QString &mhz)
{
    // Eight amplifier names, the eight channels' frequencies, eight device names.
    QString fields;
    for (int i = 0; i < 24; ++i)
        fields += i == 7 + channel ? u'"' + mhz + u"\"\n" : QStringLiteral("\"名称\"\n");
    GbkFiles::writeText(path(QStringLiteral("amp_name.dat")), fields);
}

bool E2eInstall::startSimulator()
{
    m_sim.start(QStringLiteral(ZONESIM_BINARY), {QStringLiteral("--link"), linkPath()});
    return m_sim.waitForStarted() && waitSimulator(QStringLiteral("listening on"));
}

bool E2eInstall::stopSimulator()
{
    simulatorCommand(QStringLiteral("quit"));
    if (!m_sim.waitForFinished(5000))
        return false;
    m_simLines.clear();
    m_simSeen = 0;
    return true;
}

bool E2eInstall::startConsole(const QList<std::pair<QString, QString>> &environment)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto &[name, value] : environment)
        env.insert(name, value);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    m_console.setProcessEnvironment(env);
    m_console.setWorkingDirectory(m_dir.path());
    m_console.start(path(QStringLiteral("quellon")), {});
    return m_console.waitForStarted() && waitConsole(QStringLiteral("opened"));
}

void E2eInstall::simulatorCommand(const QString &command)
{
    m_sim.write(command.toUtf8() + '\n');
}

bool E2eInstall::waitFor(QStringList &lines, qsizetype &seen, QProcess &process,
                         QProcess::ProcessChannel channel, const QString &text, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        process.setReadChannel(channel);
        while (process.canReadLine())
            lines.append(QString::fromUtf8(process.readLine()).trimmed());
        for (; seen < lines.size(); ++seen) {
            if (lines.at(seen).contains(text)) {
                ++seen;
                return true;
            }
        }
        QTest::qWait(20);
    }
    return false;
}

void E2eInstall::readSimulator()
{
    m_sim.setReadChannel(QProcess::StandardOutput);
    while (m_sim.canReadLine())
        m_simLines.append(QString::fromUtf8(m_sim.readLine()).trimmed());
}

bool E2eInstall::waitSimulator(const QString &text, int timeoutMs)
{
    return waitFor(m_simLines, m_simSeen, m_sim, QProcess::StandardOutput, text, timeoutMs);
}

bool E2eInstall::waitConsole(const QString &text, int timeoutMs)
{
    return waitFor(m_consoleLines, m_consoleSeen, m_console, QProcess::StandardError, text,
                   timeoutMs);
}

QStringList E2eInstall::framesSince(qsizetype from) const
{
    QStringList frames;
    for (qsizetype i = from; i < m_simLines.size(); ++i) {
        if (m_simLines.at(i).contains(u'['))
            frames.append(m_simLines.at(i).section(u' ', 1)); // without the timestamp
    }
    return frames;
}

QList<qint64> E2eInstall::consoleChildren() const
{
    QList<qint64> children;
    const qint64 console = consolePid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces; ")" ends it.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (rest.size() >= 2 && rest.at(1).toLongLong() == console)
            children.append(pid);
    }
    return children;
}

qint64 E2eInstall::enginePid(const QString &role) const
{
    const QByteArray wanted = QByteArray("--role\0", 7) + role.toUtf8() + '\0';
    for (const qint64 pid : consoleChildren()) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(wanted))
            return pid;
    }
    return 0;
}

QList<E2eInstall::LoggedFrame> E2eInstall::loggedFrames(const QDate &day) const
{
    // "08:44:07.066 ZoneOpen 103.5 MHz nodes 1.2.17. [EB 14 01 0A 23 03 01 02 11 FE 01]"
    static const QRegularExpression form(
        QStringLiteral("^(\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d) (\\w+).*\\[([0-9A-F ]+)\\]$"));
    QList<LoggedFrame> frames;
    for (const QString &line : m_simLines) {
        const QRegularExpressionMatch m = form.match(line);
        if (!m.hasMatch())
            continue;
        frames.append(
            {QDateTime(day, QTime::fromString(m.captured(1), QStringLiteral("HH:mm:ss.zzz"))),
             m.captured(2), QByteArray::fromHex(m.captured(3).toLatin1())});
    }
    return frames;
}

QDateTime sameDayStart(int aheadSecs, int spanSecs)
{
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(
        (QDateTime::currentMSecsSinceEpoch() / 1000 + aheadSecs) * 1000);
    if (start.date() != QDate::currentDate() || start.addSecs(spanSecs).date() != start.date())
        return {};
    return start;
}

QString weekWithOneEntry(const QDateTime &start, const QString &tail)
{
    static const char16_t *days[]
        = {u"星期一", u"星期二", u"星期三", u"星期四", u"星期五", u"星期六", u"星期日"};
    QString week;
    for (int d = 1; d <= 7; ++d) {
        week += QStringLiteral("00,00,00,") + QString::fromUtf16(days[d - 1])
            + QStringLiteral(",00,00,00,00,00\n");
        if (d == start.date().dayOfWeek())
            week += start.toString(QStringLiteral("HH:mm:ss")) + tail + u'\n';
    }
    return week;
}
