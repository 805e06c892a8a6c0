#include "console/emergencybroadcast.h"

#include "console/consolesettings.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "console/scheduler.h"
#include "platform/clock.h"
#include "schedule/timetext.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcEmergency, "quellon.emergency")

namespace {
const QString kZero = QStringLiteral("0");
constexpr int kFullVolume = 32767;
// The switch-on is repeated at these seconds after the terminals, as a
// scheduled start is: a terminal that missed the first frame hears the next.
constexpr int kRepeatEvery = 2;
constexpr int kRepeatsUntil = 6;
} // namespace

EmergencyBroadcast::EmergencyBroadcast(const Services &services, QObject *parent)
    : QObject(parent)
    , m_s(services)
{
    // The file loops: once it ends, it starts again at the next second, not
    // at once, so a file that cannot be played is not retried in a spin.
    connect(&m_s.playback, &PlaybackEngine::songEnded, this, [this] {
        if (m_active && m_playing && m_s.playback.playerTurn() == m_turn)
            m_replay = true;
    });
}

QString EmergencyBroadcast::kind()
{
    return QStringLiteral("紧急广播");
}

EmergencyBroadcast::Timing EmergencyBroadcast::timingFor(const QString &ampLead,
                                                         const std::array<QString, 9> &deviceLeads)
{
    Timing t;
    const int amps = std::clamp(TimeValue(ampLead), 0, MaxLeadSeconds);
    std::array<int, 9> devices {};
    int longest = amps;
    for (std::size_t d = 1; d <= 8; ++d) {
        devices[d] = std::clamp(TimeValue(deviceLeads[d]), 0, MaxLeadSeconds);
        longest = std::max(longest, devices[d]);
    }
    t.terminals = longest;
    t.amps = longest - amps;
    for (std::size_t d = 1; d <= 8; ++d)
        t.devices[d] = longest - devices[d];
    return t;
}

QString EmergencyBroadcast::elapsedText(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    const qint64 h = seconds / 3600;
    const QString ms = QStringLiteral("%1:%2")
                           .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
                           .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return h > 0 ? QString::number(h) + u':' + ms : ms;
}

QString EmergencyBroadcast::elapsedText() const
{
    return m_active ? elapsedText(m_started.secsTo(m_s.clock.now())) : QString();
}

bool EmergencyBroadcast::start()
{
    if (m_active || m_stopped)
        return false;
    const AppSettings &values = m_s.settings.values();
    const int channel = values.EmergencyChannel >= 1 && values.EmergencyChannel <= 8
        ? values.EmergencyChannel
        : 1;
    const FrequencyParameters f = splitFrequency(values.SourceFrequency[std::size_t(channel)]);
    m_frequencyHigh = f.FreqHigh;
    m_frequencyLow = f.FreqLow;
    m_started = m_s.clock.now();
    m_since = m_started.toString(QStringLiteral("HH:mm:ss"));
    m_timing = timingFor(values.AmpOpenLead, values.DeviceLeadTime);
    m_ampsSent = false;
    m_devicesSent = {};
    m_terminalsSent = false;
    m_repeat = 0;
    m_replay = false;
    m_playing = false;
    m_active = true;
    m_s.scheduler.hold();
    // What played is cut now: the rooms are about to hear the emergency.
    m_s.playback.stopAction();
    m_volumeBefore = m_s.volume.value();
    m_s.volume.setValue(kFullVolume);
    const QString source = values.EmergencyLineIn
        ? QStringLiteral("线路输入")
        : QStringLiteral("循环播放 ") + values.EmergencyFile;
    Q_EMIT logged(QStringLiteral("开始：全部终端、功放和设备打开，第 %1 套节目频率，%2")
                      .arg(channel)
                      .arg(source));
    if (m_timing.terminals > 0)
        Q_EMIT logged(QStringLiteral("终端在功放和设备之后 %1 秒打开").arg(m_timing.terminals));
    qCInfo(lcEmergency) << "started, terminals in" << m_timing.terminals << "s";
    sendDue();
    Q_EMIT started();
    return true;
}

void EmergencyBroadcast::sendDue()
{
    const qint64 elapsed = m_started.secsTo(m_s.clock.now());
    if (!m_ampsSent && elapsed >= m_timing.amps) {
        m_s.link.sendCommand(CommandCode::AmpOpen, kZero, kZero, kAllEight);
        m_ampsSent = true;
    }
    QString devices;
    for (std::size_t d = 1; d <= 8; ++d) {
        if (!m_devicesSent[d] && elapsed >= m_timing.devices[d]) {
            devices += QString::number(d) + u'.';
            m_devicesSent[d] = true;
        }
    }
    if (!devices.isEmpty())
        m_s.link.sendCommand(CommandCode::DeviceOpen, kZero, kZero, devices);
    if (m_terminalsSent || elapsed < m_timing.terminals)
        return;
    m_terminalsSent = true;
    const bool lineIn = m_s.settings.values().EmergencyLineIn;
    // The file starts once the terminals are open, as a scheduled file does.
    m_s.link.sendCommand(CommandCode::ZoneOpen, m_frequencyHigh, m_frequencyLow,
                         m_s.settings.values().AllNodeList, this, [this, lineIn](bool sent) {
                             if (!sent)
                                 Q_EMIT logged(QStringLiteral("终端打开命令未能发送"));
                             if (!m_active || m_stopped || lineIn)
                                 return;
                             playFile();
                         });
    Q_EMIT logged(QStringLiteral("全部终端已打开"));
}

void EmergencyBroadcast::playFile()
{
    m_replay = false;
    const QString file = m_s.settings.values().EmergencyFile;
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        if (!m_playing)
            Q_EMIT logged(QStringLiteral("紧急广播文件不存在：") + file);
        m_playing = false;
        return;
    }
    m_s.playback.playsong(file, kZero, PlayerHolder::Hand);
    m_turn = m_s.playback.playerTurn();
    m_playing = true;
}

void EmergencyBroadcast::tick()
{
    if (!m_active || m_stopped)
        return;
    // The repeats count the seconds after the one the terminals went on in.
    if (m_terminalsSent && m_repeat < kRepeatsUntil) {
        ++m_repeat;
        if (m_repeat % kRepeatEvery == 0) {
            m_s.link.sendCommand(CommandCode::ZoneOpen, m_frequencyHigh, m_frequencyLow,
                                 m_s.settings.values().AllNodeList);
            m_s.link.sendCommand(CommandCode::DeviceOpen, kZero, kZero, kAllEight);
            m_s.link.sendCommand(CommandCode::AmpOpen, kZero, kZero, kAllEight);
        }
    }
    sendDue();
    if (m_replay)
        playFile();
    for (const QString &row : m_s.scheduler.passOverWhileHeld(m_since))
        Q_EMIT logged(row + QStringLiteral(" 因紧急广播未播放"));
}

bool EmergencyBroadcast::end()
{
    if (!m_active)
        return false;
    // The rows due up to this very second are the emergency's too.
    for (const QString &row : m_s.scheduler.passOverWhileHeld(m_since))
        Q_EMIT logged(row + QStringLiteral(" 因紧急广播未播放"));
    m_active = false;
    m_replay = false;
    if (m_playing && m_s.playback.playerTurn() == m_turn)
        m_s.playback.stopAction();
    m_playing = false;
    if (m_stopped)
        return true;
    // Off goes only what the emergency switched on and no item or coming
    // row holds, terminals first and amplifiers last, the reverse of on.
    const QString zones = m_terminalsSent
        ? ListMinus(m_s.settings.values().AllNodeList, m_s.scheduler.zonesHeld())
        : QString();
    QString sentDevices;
    for (std::size_t d = 1; d <= 8; ++d) {
        if (m_devicesSent[d])
            sentDevices += QString::number(d) + u'.';
    }
    const QString devices = ListMinus(sentDevices, m_s.scheduler.devicesHeld());
    const QString amps = m_ampsSent ? ListMinus(kAllEight, m_s.scheduler.ampsHeld()) : QString();
    if (!zones.isEmpty())
        m_s.link.sendCommand(CommandCode::ZoneClose, kZero, kZero, zones);
    if (!devices.isEmpty())
        m_s.link.sendCommand(CommandCode::DeviceClose, kZero, kZero, devices);
    if (!amps.isEmpty())
        m_s.link.sendCommand(CommandCode::AmpClose, kZero, kZero, amps);
    m_s.volume.setValue(m_volumeBefore);
    const QStringList resumed = m_s.scheduler.releaseHold();
    Q_EMIT logged(QStringLiteral("结束，历时 %1；关闭终端 %2 设备 %3 功放 %4")
                      .arg(elapsedText(m_started.secsTo(m_s.clock.now())),
                           zones.isEmpty() ? QStringLiteral("无") : zones,
                           devices.isEmpty() ? QStringLiteral("无") : devices,
                           amps.isEmpty() ? QStringLiteral("无") : amps));
    for (const QString &time : resumed)
        Q_EMIT logged(QStringLiteral("%1 开始的节目继续播放").arg(time));
    qCInfo(lcEmergency) << "ended; items taken up again:" << resumed;
    Q_EMIT ended();
    return true;
}
