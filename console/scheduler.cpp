#include "console/scheduler.h"

#include "console/consolesettings.h"
#include "console/consolestate.h"
#include "console/folderplayback.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "console/programmemodel.h"
#include "console/todayschedule.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/logwriter.h"
#include "schedule/timetext.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcScheduler, "quellon.scheduler")

namespace {
const QString kPeripheral = QStringLiteral("外设控制");
const QString kUnsentStatus = QStringLiteral("外设状态：命令未能发送到分区控制器");
const QString kLinkDownStatus = QStringLiteral("外设状态：与分区控制器的连接中断，命令未能发送");
const QString kZero = QStringLiteral("0");

QString hhmmss(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("HH:mm:ss"));
}

// Union of DotLists, as text items.
void addItems(QStringList &to, const QString &list)
{
    for (const QString &item : dotListItems(list)) {
        if (!to.contains(item))
            to.append(item);
    }
}

bool sameRecord(const ChannelStateRecord &a, const ChannelStateRecord &b)
{
    return a.ZonesOn == b.ZonesOn && a.AmpsOn == b.AmpsOn && a.DevicesOn == b.DevicesOn
        && a.RepeatOpen == b.RepeatOpen && a.RepeatCount == b.RepeatCount && a.Detail == b.Detail
        && a.StartTime == b.StartTime && a.PlayLength == b.PlayLength && a.Zones == b.Zones
        && a.Amps == b.Amps && a.Devices == b.Devices && a.StartMoment == b.StartMoment;
}

QString joined(const QStringList &items)
{
    QString text;
    for (const QString &item : items)
        text += item + u'.';
    return text;
}
} // namespace

Scheduler::Scheduler(const Services &s, QObject *parent)
    : QObject(parent)
    , m_s(s)
    , m_folder(new FolderPlayback(s.clock, s.playback, this))
    , m_loadedDate(s.clock.now().date())
{
}

void Scheduler::stop()
{
    m_stopped = true;
    m_folder->stop();
}

QString Scheduler::tickErrorText()
{
    return QStringLiteral("打开的文件内容有误，请重新设置。");
}

bool Scheduler::AmpLeadSent() const
{
    for (const Lead &lead : m_leads) {
        if (!lead.amps.isEmpty())
            return true;
    }
    return false;
}

bool Scheduler::send(int code, const QString &p1, const QString &p2, const QString &list)
{
    return m_s.link.sendCommand(code, p1, p2, list, this, [this, code](bool sent) {
        if (!sent)
            reportUnsent(CommandCode::name(code));
    });
}

void Scheduler::reportUnsent(const QString &what)
{
    // Nothing is retried: a frame repeated minutes later could switch on what
    // should be off by then. The status panel tells the operator, and says
    // whether the link is down.
    qCWarning(lcScheduler) << what << "did not reach the zone controller";
    if (m_stopped)
        return;
    m_s.state.setEquipmentStatus(m_s.link.isOpen() ? kUnsentStatus : kLinkDownStatus);
}

void Scheduler::fail(const QString &reason)
{
    qCWarning(lcScheduler) << "tick error:" << reason;
    m_s.model.clear();
    // A notice: ticks go on while it is shown, and an open one is not stacked again.
    m_s.dialogs.notify(tickErrorText(), QStringLiteral("内容有误"), MsgIcon::Error, nullptr);
}

const ChannelStateRecord &Scheduler::channelState(int channel) const
{
    static const ChannelStateRecord none;
    return channel >= 1 && channel <= 8 ? m_channels[std::size_t(channel)] : none;
}

void Scheduler::tick()
{
    if (m_stopped || m_held)
        return;
    // Readers hear of the channels once the tick is done, not of the steps
    // in between (the supervisor may switch a channel off that a start
    // switches on again in the same second).
    const auto channelsBefore = m_channels;
    const bool outputsBefore = m_outputsActive;
    work();
    for (int c = 1; c <= 8; ++c) {
        if (!sameRecord(m_channels[std::size_t(c)], channelsBefore[std::size_t(c)]))
            Q_EMIT channelStateChanged(c);
    }
    if (m_outputsActive != outputsBefore)
        Q_EMIT outputsActiveChanged(m_outputsActive);
}

void Scheduler::switchOffNow()
{
    if (m_stopped)
        return;
    m_folder->stop();
    const auto channelsBefore = m_channels;
    const bool outputsBefore = m_outputsActive;
    for (int b = 1; b <= 8; ++b) {
        ChannelStateRecord &ch = m_channels[std::size_t(b)];
        const bool wasOn = ch.ZonesOn || ch.DevicesOn || ch.AmpsOn;
        // Nothing opens again behind the operator's back.
        ch.RepeatOpen = false;
        ch.RepeatCount = 0;
        if (ch.ZonesOn) {
            send(CommandCode::ZoneClose, kZero, kZero, ch.Zones);
            ch.ZonesOn = false;
            ch.Zones.clear();
        }
        if (ch.DevicesOn) {
            send(CommandCode::DeviceClose, kZero, kZero, ch.Devices);
            ch.DevicesOn = false;
            ch.Devices.clear();
        }
        if (ch.AmpsOn) {
            send(CommandCode::AmpClose, kZero, kZero, ch.Amps);
            ch.AmpsOn = false;
            ch.Amps.clear();
        }
        if (wasOn)
            Q_EMIT itemEnded(b, ch.StartTime, m_startedDetails[std::size_t(b)]);
    }
    m_outputsActive = false;
    for (int c = 1; c <= 8; ++c) {
        if (!sameRecord(m_channels[std::size_t(c)], channelsBefore[std::size_t(c)]))
            Q_EMIT channelStateChanged(c);
    }
    if (outputsBefore)
        Q_EMIT outputsActiveChanged(false);
}

void Scheduler::work()
{
    ChannelSupervisor();
    const QDateTime nowMoment = m_s.clock.now();
    // A change of date reloads the day even when the second 00:00:00 was missed.
    if (hhmmss(nowMoment) == u"00:00:00" || nowMoment.date() != m_loadedDate)
        m_s.state.setReloadSchedule(true);
    m_settledUpTo.clear();
    if (m_s.state.ReloadSchedule()) {
        if (m_previousScan.isValid() && m_previousScan.date() == nowMoment.date())
            m_settledUpTo = hhmmss(m_previousScan);
        releaseAllLeads();
        if (nowMoment.date() != m_loadedDate)
            m_heldOver.clear();
        m_loadedDate = nowMoment.date();
        m_s.today.ReloadToday(nowMoment.date());
    }
    releaseCancelledLeads();
    scan(nowMoment);
    m_resuming = false;
    m_cancelledBefore.clear();
    m_previousScan = nowMoment;
}

std::optional<int> Scheduler::runningFor(const QString &time, const QString &plen,
                                         const QString &now)
{
    const int tv = TimeValue(time);
    const int nv = TimeValue(now);
    // A play length that is no time counts as none, as in ChannelSupervisor;
    // one that runs past midnight runs to the end of the day.
    const int length = std::max(TimeValue(plen), 0);
    if (tv < 0 || nv < 0 || nv <= tv || nv >= tv + length)
        return std::nullopt;
    return nv - tv;
}

bool Scheduler::scan(const QDateTime &nowMoment)
{
    const QString now = hhmmss(nowMoment);
    const int lead = std::max(TimeValue(m_s.settings.values().AmpOpenLead), 0);
    PassedOver passed;
    for (int r = m_s.today.currentIndex() + 1; r <= m_s.model.count(); ++r) {
        const ScheduleEntry &row = m_s.model.entry(r - 1);
        const QString t = row.time;
        if (!TimeText::isClockText(t)) {
            passOver(passed);
            fail(QStringLiteral("row %1: \"%2\" is no time hh:mm:ss").arg(r).arg(t));
            return false;
        }
        const int tv = TimeValue(t);
        const RowState state = m_s.model.state(r - 1);
        const QString q = ClockText(tv + 5);
        // Held over for an emergency: a reload in the day makes it wait
        // again, yet it neither starts late nor counts as missed.
        if (state == RowState::Waiting && !m_heldOver.isEmpty()
            && m_heldOver.contains(t + u' '
                                   + m_s.model.cellText(r - 1, ProgrammeModel::FileNameColumn))) {
            passed.add(r, t, false);
            continue;
        }
        // Only a row whose start window has gone by is taken up again; within
        // it the row is simply due and starts from its beginning.
        if (m_resuming && state == RowState::Waiting && q > t && q < now
            && m_cancelledBefore.contains(
                t + u' ' + m_s.model.cellText(r - 1, ProgrammeModel::FileNameColumn))) {
            // Cancelled before the restart: neither taken up nor missed.
            passed.add(r, t, false);
            continue;
        }
        if (m_resuming && state == RowState::Waiting && q > t && q < now) {
            if (const std::optional<int> elapsed = runningFor(t, row.plen, now)) {
                passOver(passed);
                if (!ResumeItem(r, *elapsed))
                    return false;
                continue;
            }
        }
        // A row whose start window has gone by (one that passes midnight
        // never has) is not due and gets nothing switched on ahead of it; a
        // waiting one is passed over. Rows passed over one after another are
        // handled together, so that a start or a reload late in the day
        // updates the list, the next-item panel and the log once.
        if (q > t && q < now) {
            if (state == RowState::Waiting)
                passed.add(r, t, m_settledUpTo.isEmpty() || q > m_settledUpTo);
            continue;
        }
        passOver(passed);
        // A row the operator cancelled gets nothing switched on ahead of it.
        if (state != RowState::Cancelled) {
            OpenDevicesAhead(r);
            // No lead means no window: "now ≤ t" alone would switch the next
            // row's amplifiers on from the moment the scan reaches it.
            const QString p = ClockText(tv - lead);
            const bool inWindow = lead > 0 && (p < t ? (p <= now && now <= t) : (now <= t));
            if (inWindow && send(CommandCode::AmpOpen, kZero, kZero, row.amp))
                m_leads[r].amps = row.amp;
        }
        const bool waiting = state == RowState::Waiting;
        const bool due
            = waiting && (q > t ? (t <= now && now <= q) : (t <= now && now <= u"23:59:59"));
        if (due) {
            if (!StartItem(r))
                return false;
            continue;
        }
        if (t > ClockText(TimeValue(now) + lead) && t > now)
            return true;
    }
    passOver(passed);
    return true;
}

void Scheduler::PassedOver::add(int row, const QString &time, bool missedNow)
{
    if (count == 0) {
        first = row;
        firstTime = time;
    }
    last = row;
    lastTime = time;
    ++count;
    if (!missedNow)
        return;
    if (missed == 0)
        firstMissed = time;
    lastMissed = time;
    ++missed;
}

void Scheduler::passOver(PassedOver &passed)
{
    if (passed.count == 0)
        return;
    // What was switched on ahead of the rows passed over is closed, row by
    // row as before; the rows are read while they still wait.
    QList<int> withLead;
    for (auto it = m_leads.lowerBound(passed.first); it != m_leads.end() && it.key() <= passed.last;
         ++it) {
        if (m_s.model.state(it.key() - 1) == RowState::Waiting)
            withLead.append(it.key());
    }
    m_s.today.rowsPassedOver(passed.first, passed.last);
    for (int r : std::as_const(withLead))
        releaseLead(r);
    qCInfo(lcScheduler) << "passed over" << passed.count << (passed.count == 1 ? "row" : "rows")
                        << "from" << passed.firstTime << "to" << passed.lastTime;
    const PassedOver done = passed;
    passed = {};
    if (done.missed > 0)
        Q_EMIT rowsPassedOver(done.missed, done.firstMissed, done.lastMissed);
}

void Scheduler::OpenDevicesAhead(int r)
{
    const ScheduleEntry &row = m_s.model.entry(r - 1);
    const QString t = row.time;
    const QString now = hhmmss(m_s.clock.now());
    QString list;
    for (int d = 1; d <= 8; ++d) {
        const QString &leadTime = m_s.settings.values().DeviceLeadTime[std::size_t(d)];
        if (leadTime.isEmpty() || leadTime == u"00:00:00"
            || !row.device.contains(QString::number(d)))
            continue;
        const QString p = ClockText(TimeValue(t) - TimeValue(leadTime));
        const bool inWindow = p < t ? (p <= now && now < t) : (now <= t);
        if (inWindow)
            list += QString::number(d) + u'.';
    }
    if (!list.isEmpty() && send(CommandCode::DeviceOpen, kZero, kZero, list)) {
        QStringList devices = dotListItems(m_leads[r].devices);
        addItems(devices, list);
        m_leads[r].devices = joined(devices);
    }
}

bool Scheduler::ResumeItem(int r, int elapsed)
{
    const ScheduleEntry row = m_s.model.entry(r - 1);
    // Equipment switched on for a file that is not there would leave the
    // rooms open and silent for the rest of its play length.
    if (row.filename != kPeripheral && !QFileInfo::exists(row.filename)) {
        qCWarning(lcScheduler) << "not resumed, its file is missing:" << row.time << row.filename;
        m_s.today.rowsPassedOver(r, r);
        releaseLead(r);
        Q_EMIT itemNotResumed(row.time, row.filename, QStringLiteral("文件不存在"));
        return true;
    }
    // itemResumed follows once its frames are out and its file plays.
    if (!StartItem(r, true))
        return false;
    qCInfo(lcScheduler) << "taking up again" << row.time << elapsed << "s into its play length";
    return true;
}

bool Scheduler::StartItem(int r, bool resumed)
{
    const ScheduleEntry row = m_s.model.entry(r - 1);
    const int c = row.channel;
    if (c < 1 || c > 8) {
        fail(QStringLiteral("row %1: channel %2 is not 1..8").arg(r).arg(c));
        return false;
    }
    ChannelStateRecord &ch = m_channels[std::size_t(c)];
    const FrequencyParameters f
        = splitFrequency(m_s.settings.values().SourceFrequency[std::size_t(c)]);
    // The six commands are built before anything is marked or sent, so a row
    // that cannot be sent is refused whole. A list longer than one frame
    // carries becomes several frames of its command, in list order.
    const struct
    {
        int code;
        QString p1, p2, list;
    } plan[] = {
        {CommandCode::ZoneClose, kZero, kZero, ListMinus(ch.Zones, row.zone)},
        {CommandCode::ZoneOpen, f.FreqHigh, f.FreqLow, row.zone},
        {CommandCode::DeviceClose, kZero, kZero, ListMinus(ch.Devices, row.device)},
        {CommandCode::DeviceOpen, kZero, kZero, row.device},
        {CommandCode::AmpClose, kZero, kZero, ListMinus(ch.Amps, row.amp)},
        {CommandCode::AmpOpen, kZero, kZero, row.amp},
    };
    QList<QByteArray> frames;
    for (const auto &step : plan) {
        const auto built = BuildFrames(QString::number(step.code), step.p1, step.p2, step.list);
        if (!built) {
            fail(QStringLiteral("row %1: %2 cannot carry \"%3\"")
                     .arg(r)
                     .arg(CommandCode::name(step.code), step.list));
            return false;
        }
        frames.append(*built);
    }

    // Marked before the first frame leaves, so no later tick starts it again.
    m_s.today.rowStarted(r);
    m_s.playback.setTitle(m_s.model.cellText(r - 1, ProgrammeModel::FileNameColumn));
    m_s.volume.setValue(row.volume);
    m_outputsActive = true;
    m_s.playback.scheduledItemStarted();
    m_leads.remove(r); // its channel holds what was switched on ahead of it
    m_s.link.discardInput();
    // A folder still playing for an earlier entry starts no further file.
    m_folder->stop();
    const quint64 item = ++m_itemsStarted;

    const bool playsFile = row.filename != kPeripheral;
    const QString file = row.filename;
    const QString plen = row.plen;
    const QString detail = row.detail;
    const QString time = row.time;
    const QDateTime startMoment(m_s.clock.now().date(),
                                QTime::fromString(row.time, QStringLiteral("HH:mm:ss")));
    // A play length that is no time counts as none, as in ChannelSupervisor.
    const QDateTime end = startMoment.addSecs(std::max(TimeValue(plen), 0));
    const QDateTime resumeFrom = resumed ? startMoment : QDateTime();
    // The status says what happened on the wire: it is set here and taken
    // back by the first frame that does not go out.
    m_s.state.setEquipmentStatus(QStringLiteral("外设状态：设备已打开"));
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const bool last = i == frames.size() - 1;
        const int code = static_cast<unsigned char>(frames.at(i).at(2));
        m_s.link.SendFrame(frames.at(i), this,
                           [this, last, playsFile, file, plen, detail, end, item, code, resumeFrom,
                            time](bool sent) {
                               if (!sent)
                                   reportUnsent(CommandCode::name(code));
                               if (!last || m_stopped)
                                   return;
                               // Taken up again, the item goes on where the clock says it
                               // stands now that the frames are out, as it would have had
                               // the console not stopped; the frames take seconds, so the
                               // offset is taken now, not at the scan.
                               const qint64 fromMs = resumeFrom.isValid()
                                   ? std::max<qint64>(resumeFrom.msecsTo(m_s.clock.now()), 0)
                                   : 0;
                               // The file plays once the last frame of the last command is
                               // out, as the terminals are open by then. With the link down
                               // it plays all the same: the operator hears it at the console
                               // and the status says why the rooms may be silent.
                               if (playsFile)
                                   play(file, plen, detail, end, item, fromMs);
                               if (resumeFrom.isValid()) {
                                   qCInfo(lcScheduler)
                                       << "resumed" << time << fromMs << "ms into its play length";
                                   Q_EMIT itemResumed(time, file, int(fromMs / 1000));
                               }
                           });
    }

    ch.ZonesOn = ch.AmpsOn = ch.DevicesOn = ch.RepeatOpen = true;
    ch.RepeatCount = 0;
    ch.StartTime = row.time;
    ch.PlayLength = row.plen;
    ch.Amps = row.amp;
    ch.Devices = row.device;
    ch.Zones = row.zone;
    ch.StartMoment = startMoment;
    if (ch.Detail != kPeripheral && row.detail == kPeripheral)
        m_s.playback.stopAction();
    ch.Detail = row.detail;
    m_startedDetails[std::size_t(c)] = row.detail;
    m_startedFiles[std::size_t(c)] = row.filename;
    m_lastStartedChannel = c;
    for (int j = 1; j <= 8; ++j) {
        if (j == c)
            continue;
        ChannelStateRecord &other = m_channels[std::size_t(j)];
        other.Amps = ListMinus(other.Amps, row.amp);
        other.Devices = ListMinus(other.Devices, row.device);
        other.Zones = ListMinus(other.Zones, row.zone);
        if (row.detail != kPeripheral)
            other.Detail = kPeripheral;
    }
    qCInfo(lcScheduler) << "started" << row.time << "channel" << c << row.detail << row.filename;
    return true;
}

void Scheduler::play(const QString &file, const QString &plen, const QString &detail,
                     const QDateTime &end, quint64 item, qint64 fromMs)
{
    if (!QFileInfo(file).isDir()) {
        m_s.playback.playsongFrom(file, plen, PlayerHolder::Schedule, fromMs);
    } else if (item == m_itemsStarted) {
        // A folder plays its files one after another within the play length,
        // unless a later entry has started while this one's frames went out.
        // Taken up again, it starts over with its first file: where it stood
        // in which file is not known.
        m_folder->start(file, FolderPlayback::orderFor(detail), end);
    }
    Q_EMIT filePlayed(file, plen);
}

void Scheduler::ChannelSupervisor()
{
    const QDateTime nowMoment = m_s.clock.now();
    const AppSettings &settings = m_s.settings.values();
    if (nowMoment.toString(QStringLiteral("HH:mm")) >= settings.VolumeAdjustTime) {
        const QString volume = settings.TerminalVolume;
        m_s.settings.markVolumeAdjusted();
        send(CommandCode::VolumeSet, volume, kZero, settings.AllNodeList);
        m_s.log.writeLog(QStringLiteral(",自动调整音量") + volume);
    }
    for (int b = 1; b <= 8; ++b) {
        ChannelStateRecord &ch = m_channels[std::size_t(b)];
        const QDateTime now = m_s.clock.now();
        const bool wasOn = ch.ZonesOn || ch.DevicesOn || ch.AmpsOn;
        if (ch.RepeatOpen) {
            ++ch.RepeatCount;
            if (ch.RepeatCount % 2 == 0) {
                const FrequencyParameters f
                    = splitFrequency(settings.SourceFrequency[std::size_t(b)]);
                send(CommandCode::ZoneOpen, f.FreqHigh, f.FreqLow, ch.Zones);
                send(CommandCode::DeviceOpen, kZero, kZero, ch.Devices);
                send(CommandCode::AmpOpen, kZero, kZero, ch.Amps);
            }
            if (ch.RepeatCount >= 6) {
                ch.RepeatOpen = false;
                ch.RepeatCount = 0;
            }
        }
        // A play length that is no time counts as none.
        const QDateTime end = ch.StartMoment.addSecs(std::max(TimeValue(ch.PlayLength), 0));
        if (ch.ZonesOn) {
            if (now >= end.addSecs(2) && ch.Detail != kPeripheral)
                m_s.playback.stopAction();
            if (now >= end.addSecs(10)) {
                send(CommandCode::ZoneClose, kZero, kZero, ch.Zones);
                ch.ZonesOn = false;
                ch.Zones.clear();
            }
        }
        if (ch.DevicesOn && now >= end.addSecs(5)) {
            send(CommandCode::DeviceClose, kZero, kZero, ch.Devices);
            ch.DevicesOn = false;
            ch.Devices.clear();
        }
        if (ch.AmpsOn && now >= end.addSecs(std::max(TimeValue(settings.AmpCloseDelay), 0))) {
            send(CommandCode::AmpClose, kZero, kZero, ch.Amps);
            ch.AmpsOn = false;
            ch.Amps.clear();
        }
        if (wasOn && !ch.ZonesOn && !ch.DevicesOn && !ch.AmpsOn)
            Q_EMIT itemEnded(b, ch.StartTime, m_startedDetails[std::size_t(b)]);
    }
    m_outputsActive = false;
    for (int b = 1; b <= 8; ++b) {
        const ChannelStateRecord &ch = m_channels[std::size_t(b)];
        m_outputsActive = m_outputsActive || ch.ZonesOn || ch.AmpsOn || ch.DevicesOn;
    }
}

QString Scheduler::heldAmps(int exceptRow) const
{
    QStringList held;
    for (int b = 1; b <= 8; ++b)
        addItems(held, m_channels[std::size_t(b)].Amps);
    for (auto it = m_leads.cbegin(); it != m_leads.cend(); ++it) {
        if (it.key() != exceptRow)
            addItems(held, it->amps);
    }
    return joined(held);
}

QString Scheduler::heldDevices(int exceptRow) const
{
    QStringList held;
    for (int b = 1; b <= 8; ++b)
        addItems(held, m_channels[std::size_t(b)].Devices);
    for (auto it = m_leads.cbegin(); it != m_leads.cend(); ++it) {
        if (it.key() != exceptRow)
            addItems(held, it->devices);
    }
    return joined(held);
}

void Scheduler::releaseLead(int r)
{
    const auto it = m_leads.constFind(r);
    if (it == m_leads.cend())
        return;
    const QString amps = ListMinus(it->amps, heldAmps(r));
    const QString devices = ListMinus(it->devices, heldDevices(r));
    m_leads.remove(r);
    if (!devices.isEmpty())
        send(CommandCode::DeviceClose, kZero, kZero, devices);
    if (!amps.isEmpty())
        send(CommandCode::AmpClose, kZero, kZero, amps);
}

void Scheduler::releaseCancelledLeads()
{
    const QList<int> rows = m_leads.keys();
    for (int r : rows) {
        if (r > m_s.model.count() || m_s.model.state(r - 1) == RowState::Cancelled)
            releaseLead(r);
    }
}

void Scheduler::releaseAllLeads()
{
    const QList<int> rows = m_leads.keys();
    for (int r : rows)
        releaseLead(r);
}

void Scheduler::hold()
{
    m_held = true;
    m_folder->stop();
}

QStringList Scheduler::passOverWhileHeld(const QString &since)
{
    QStringList passed;
    if (!m_held || m_stopped)
        return passed;
    const QString now = hhmmss(m_s.clock.now());
    for (int r = 1; r <= m_s.model.count(); ++r) {
        if (m_s.model.state(r - 1) != RowState::Waiting)
            continue;
        const ScheduleEntry &row = m_s.model.entry(r - 1);
        if (row.time < since || row.time > now)
            continue;
        const QString key
            = row.time + u' ' + m_s.model.cellText(r - 1, ProgrammeModel::FileNameColumn);
        passed << key;
        m_heldOver.insert(key);
        m_leads.remove(r);
        m_s.today.rowsPassedOver(r, r);
    }
    return passed;
}

QString Scheduler::zonesHeld() const
{
    QStringList held;
    for (int b = 1; b <= 8; ++b)
        addItems(held, m_channels[std::size_t(b)].Zones);
    return joined(held);
}

QStringList Scheduler::releaseHold()
{
    QStringList resumed;
    if (!m_held)
        return resumed;
    m_held = false;
    if (m_stopped)
        return resumed;
    const QDateTime now = m_s.clock.now();
    for (int c = 1; c <= 8; ++c) {
        ChannelStateRecord &ch = m_channels[std::size_t(c)];
        const QDateTime end = ch.StartMoment.addSecs(std::max(TimeValue(ch.PlayLength), 0));
        if (!ch.ZonesOn || now >= end)
            continue;
        // As at its start: the six commands in their order, nothing to close
        // as the channel holds exactly what it held then.
        const FrequencyParameters f
            = splitFrequency(m_s.settings.values().SourceFrequency[std::size_t(c)]);
        send(CommandCode::ZoneClose, kZero, kZero, QString());
        send(CommandCode::ZoneOpen, f.FreqHigh, f.FreqLow, ch.Zones);
        send(CommandCode::DeviceClose, kZero, kZero, QString());
        send(CommandCode::DeviceOpen, kZero, kZero, ch.DevicesOn ? ch.Devices : QString());
        send(CommandCode::AmpClose, kZero, kZero, QString());
        const QString file = m_startedFiles[std::size_t(c)];
        const bool plays = c == m_lastStartedChannel && file != kPeripheral;
        const QString plen = ch.PlayLength;
        const QString detail = m_startedDetails[std::size_t(c)];
        const QDateTime startMoment = ch.StartMoment;
        const quint64 item = m_itemsStarted;
        m_s.link.sendCommand(CommandCode::AmpOpen, kZero, kZero, ch.AmpsOn ? ch.Amps : QString(),
                             this,
                             [this, plays, file, plen, detail, startMoment, end, item](bool sent) {
                                 if (!sent)
                                     reportUnsent(CommandCode::name(CommandCode::AmpOpen));
                                 if (!plays || m_stopped || m_held)
                                     return;
                                 // Where it would stand had nothing held it, taken once the
                                 // frames are out.
                                 play(file, plen, detail, end, item,
                                      std::max<qint64>(startMoment.msecsTo(m_s.clock.now()), 0));
                             });
        ch.RepeatOpen = true;
        ch.RepeatCount = 0;
        resumed << ch.StartTime;
    }
    return resumed;
}
