#include "console/terminalsupervisor.h"

#include "directory/nodefile.h"
#include "platform/asrunlog.h"
#include "platform/clock.h"
#include "schedule/timetext.h"
#include "zonelink/frames.h"
#include "zonelink/statuspoll.h"

#include <QLoggingCategory>

#include <algorithm>
#include <memory>

Q_LOGGING_CATEGORY(lcSupervision, "quellon.supervision")

namespace {
QString terminalText(int address)
{
    return QStringLiteral("终端 %1").arg(address);
}
} // namespace

TerminalSupervisor::TerminalSupervisor(const Services &services, QObject *parent)
    : QObject(parent)
    , m_s(services)
{
}

TerminalSupervisor::Duty
TerminalSupervisor::dutyOf(const std::function<const ChannelStateRecord &(int channel)> &channel,
                           const QDateTime &now)
{
    Duty duty;
    for (int c = 1; c <= 8; ++c) {
        const ChannelStateRecord &ch = channel(c);
        if (!ch.ZonesOn)
            continue;
        // The switch-on commands are still repeated: the terminals may not
        // be on yet, and the line is the scheduler's.
        if (ch.RepeatOpen) {
            duty.lineWanted = true;
            continue;
        }
        // A play length that is no time counts as none, as the scheduler takes it.
        const QDateTime end = ch.StartMoment.addSecs(std::max(TimeValue(ch.PlayLength), 0));
        if (now >= end) {
            duty.lineWanted = true; // the terminals are about to be closed
            continue;
        }
        for (const QString &item : dotListItems(ch.Zones)) {
            const int address = nodeAddressValue(item);
            if (address >= 0 && !duty.terminals.contains(address))
                duty.terminals.append(address);
        }
    }
    std::sort(duty.terminals.begin(), duty.terminals.end());
    return duty;
}

ZoneLink::Query TerminalSupervisor::query()
{
    return StatusPoll::statusQuery(StatusPoll::kInitialSendWait, StatusPoll::kInitialWait);
}

int TerminalSupervisor::queryHoldMs()
{
    // 1200 baud, ten bits a byte; a frame asks one terminal.
    const qsizetype bytes = StatusPoll::queryFrame(255).size();
    const int wireMs = int((bytes * 10 * 1000 + 1199) / 1200);
    const ZoneLink::Query q = query();
    return wireMs + q.sendDelayMs + q.deadlineMs;
}

void TerminalSupervisor::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    // A query under way goes on to its end (the line is not cut short), but
    // its answer no longer counts.
    ++m_generation;
    m_misses.clear();
    m_lastAsked = -1;
    qCInfo(lcSupervision) << (enabled ? "terminal supervision on" : "terminal supervision off");
    if (enabled || m_alarms.empty())
        return;
    for (int address : m_alarms) {
        m_s.log.record(kLogKind,
                       QStringLiteral("终端巡检已关闭，%1 的告警解除").arg(terminalText(address)));
    }
    m_alarms.clear();
    announce();
}

void TerminalSupervisor::check(const Duty &duty)
{
    if (!m_enabled)
        return;
    // Misses count in a row while the terminal should be on; a terminal
    // whose item ended starts afresh the next time it plays.
    for (auto it = m_misses.begin(); it != m_misses.end();) {
        if (duty.terminals.contains(it.key()))
            ++it;
        else
            it = m_misses.erase(it);
    }
    if (duty.terminals.isEmpty() || duty.lineWanted || m_underway)
        return;
    // Frames queued or under way belong to the scheduler, the manual control
    // or the status check: a query now would hold them up.
    if (!m_s.link.isOpen() || m_s.link.queuedFrames() > 0)
        return;
    const QDateTime now = m_s.clock.now();
    // A tick that came late (a busy moment) leaves too little of its second.
    if (now.time().msec() + queryHoldMs() + kSpareBeforeTickMs > 1000)
        return;
    // A clock set back starts the pacing again rather than stopping it.
    if (m_lastQuery.isValid() && now >= m_lastQuery && m_lastQuery.msecsTo(now) < kIntervalMs)
        return;
    m_lastQuery = now;
    ask(nextTerminal(duty.terminals));
}

int TerminalSupervisor::nextTerminal(const QList<int> &terminals) const
{
    // The one after the last asked, so that a list that changes between
    // queries still has each of its terminals asked in turn.
    for (int address : terminals) {
        if (address > m_lastAsked)
            return address;
    }
    return terminals.first();
}

void TerminalSupervisor::ask(int address)
{
    m_lastAsked = address;
    m_underway = true;
    const quint64 generation = m_generation;
    // Whether the reply window opened (the query went out whole), and every
    // byte read in it.
    struct Window
    {
        bool opened = false;
        QByteArray bytes;
    };
    auto window = std::make_shared<Window>();
    ZoneLink::Query q = query();
    // The operator did not ask for this query: a remote key pressed while it
    // has the line must still count.
    q.keepKeys = true;
    q.windowOpened = [window] { window->opened = true; };
    q.eachReply = [window](const QByteArray &chunk) { window->bytes += chunk; };
    qCDebug(lcSupervision) << "asking terminal" << address;
    m_s.link.QueryExchange(
        StatusPoll::queryFrame(address), q, this,
        [this, window, address, generation](const QByteArray &rest) {
            m_underway = false;
            // Looked at whole: a key byte just before the reply shifts it
            // across the chunks the link handed over.
            const QByteArray bytes = window->bytes + rest;
            const qsizetype replyAt = statusReplyStart(bytes);
            bool heard = false;
            for (qsizetype i = replyAt; i >= 0 && i + 3 < bytes.size() && !heard; ++i)
                heard = parseStatusReply(bytes.mid(i), address).has_value();
            // A query from before a switch-off, one the link dropped or one cut
            // short by the port closing says nothing about the terminal.
            if (generation == m_generation && window->opened && m_s.link.isOpen()) {
                if (heard)
                    answered(address);
                else
                    missed(address);
            }
            // What came before a reply, or in the place of one, is remote keys.
            // After a reply the bytes are taken as its own (a longer reply, an
            // echo of it), as the status check takes them. Last: a key may act
            // on the console at once.
            m_s.link.passOnKeys(replyAt < 0 ? bytes : bytes.left(replyAt));
        });
}

void TerminalSupervisor::answered(int address)
{
    m_misses.remove(address);
    if (m_alarms.erase(address) == 0)
        return;
    qCWarning(lcSupervision) << "terminal" << address << "answers again";
    m_s.log.record(kLogKind, QStringLiteral("%1 恢复应答，告警解除").arg(terminalText(address)));
    announce();
}

void TerminalSupervisor::missed(int address)
{
    const int misses = ++m_misses[address];
    qCInfo(lcSupervision) << "terminal" << address << "did not answer," << misses << "in a row";
    if (misses != kMissesForAlarm)
        return;
    m_alarms.insert(address);
    qCWarning(lcSupervision) << "terminal" << address << "did not answer twice: alarm";
    m_s.log.record(kLogKind,
                   QStringLiteral("%1 连续两次未应答状态查询，告警").arg(terminalText(address)));
    announce();
}

QList<int> TerminalSupervisor::alarms() const
{
    return QList<int>(m_alarms.begin(), m_alarms.end());
}

QString TerminalSupervisor::alarmText() const
{
    if (m_alarms.empty())
        return {};
    QStringList addresses;
    for (int address : m_alarms)
        addresses.append(QString::number(address));
    return QStringLiteral("巡检告警：终端 %1 未应答").arg(addresses.join(u'、'));
}

void TerminalSupervisor::announce()
{
    const QString text = alarmText();
    if (text == m_shownText)
        return;
    m_shownText = text;
    qCWarning(lcSupervision).noquote()
        << "status bar:" << (text.isEmpty() ? QStringLiteral("-") : text);
    Q_EMIT alarmTextChanged(text);
}
