#include "zonelink/zonelink.h"

#include "platform/dialogs.h"
#include "platform/serialport.h"
#include "platform/userstore.h"
#include "zonelink/frames.h"

#include <QDebug>
#include <QLoggingCategory>

#include <algorithm>
#include <memory>
#include <utility>

Q_LOGGING_CATEGORY(lcLink, "quellon.link")

namespace {
constexpr int kDrainPollMs = 5;
constexpr int kReplyPollMs = 10;
// At 1200 baud a byte takes 8.3 ms; a drain that takes three times as long as
// the bytes need, plus a second, means the line is stuck.
qint64 drainLimitFor(qsizetype bytes)
{
    return qint64(bytes) * 25 + 1000;
}
QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}
} // namespace

ZoneLink::ZoneLink(SerialPort &port, UserStore &store, Dialogs &dialogs, QObject *parent)
    : ZoneLink(port, store, dialogs, std::make_unique<SystemLinkClock>(), nullptr, parent)
{
}

ZoneLink::ZoneLink(SerialPort &port, UserStore &store, Dialogs &dialogs, LinkClock &clock,
                   QObject *parent)
    : ZoneLink(port, store, dialogs, nullptr, &clock, parent)
{
}

ZoneLink::ZoneLink(SerialPort &port, UserStore &store, Dialogs &dialogs,
                   std::unique_ptr<LinkClock> ownClock, LinkClock *clock, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_store(store)
    , m_dialogs(dialogs)
    , m_ownClock(std::move(ownClock))
    , m_clock(clock ? *clock : *m_ownClock)
{
    m_clock.due = [this] { step(); };
    m_reconnectTimer.setInterval(kReconnectMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &ZoneLink::tryReconnect);
    connect(&m_port, &SerialPort::dataReceived, this, &ZoneLink::onData);
    connect(&m_port, &SerialPort::deviceLost, this, &ZoneLink::onDeviceLost);
}

// Queued frames go with the link without a call: whoever waits for them is
// going away too.
ZoneLink::~ZoneLink()
{
    // A clock of the caller's outlives the link: it must not call back.
    m_clock.stop();
    m_clock.due = nullptr;
}

int ZoneLink::portNumberOf(const QString &comPort, int current)
{
    static const QStringList names
        = {QStringLiteral("com1"), QStringLiteral("com2"), QStringLiteral("com3"),
           QStringLiteral("com4"), QStringLiteral("com5")};
    const qsizetype i = names.indexOf(comPort);
    return i >= 0 ? int(i) + 1 : current;
}

QString ZoneLink::devicePathFor(int portNumber) const
{
    const QString fallback = QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
    const QString stored
        = m_store.value(QStringLiteral("ports"), QStringLiteral("com%1").arg(portNumber), fallback);
    return stored.trimmed().isEmpty() ? fallback : stored.trimmed();
}

void ZoneLink::setDevicePathFor(int portNumber, const QString &path)
{
    if (path.trimmed() == devicePathFor(portNumber))
        return;
    m_store.setValue(QStringLiteral("ports"), QStringLiteral("com%1").arg(portNumber),
                     path.trimmed());
}

void ZoneLink::prepareLines()
{
    const bool dtr = m_port.setDataTerminalReady(true);
    const bool rts = m_port.setRequestToSend(false);
    if ((!dtr || !rts) && !m_lineWarningShown) {
        m_lineWarningShown = true;
        qCInfo(lcLink) << "the port has no modem lines (a pseudo-terminal?); going on without them";
    }
}

void ZoneLink::OpenZonePort(const QString &comPort)
{
    // Frames under way were meant for the port being left; they are dropped,
    // and told so only once the new port is open (or known missing).
    m_reconnectTimer.stop();
    if (m_port.isOpen())
        m_port.close();
    QList<Job> dropped = takeJobs();
    m_devicePath = devicePathFor(portNumberOf(comPort));
    const SerialPort::OpenResult result = m_port.open(m_devicePath);
    if (result == SerialPort::OpenResult::Opened) {
        prepareLines();
        qCInfo(lcLink) << "opened" << m_devicePath;
    } else {
        qCWarning(lcLink) << "cannot open" << m_devicePath << m_port.errorText();
        // A notice, not a question: the ticks and the link go on while it is shown.
        if (result == SerialPort::OpenResult::NoSuchDevice)
            m_dialogs.notify(QStringLiteral("打开串行口错误，请重新选择串行口"),
                             QStringLiteral("串行口设置不对"), MsgIcon::Exclamation, nullptr);
        // Keep trying: a USB adapter may be plugged in later.
        m_reconnectTimer.start();
    }
    dropJobs(std::move(dropped), QStringLiteral("another port is opened"),
             QStringLiteral("打开了另一个串行口"));
}

void ZoneLink::closePort()
{
    // The port is closed before any completion runs, so that a frame a
    // completion queues meets a closed port and is dropped, not started on a
    // line that is going away.
    m_reconnectTimer.stop();
    m_clock.stop();
    m_port.close();
    dropJobs(takeJobs(), QStringLiteral("the port is closed"), QStringLiteral("串行口已关闭"));
}

bool ZoneLink::isOpen() const
{
    return m_port.isOpen();
}

ZoneLink::Callback ZoneLink::ownedBy(const QObject *context, Completion done)
{
    return Callback {std::move(done), {}, context, true};
}

ZoneLink::Callback ZoneLink::ownedBy(const QObject *context, ReplyHandler done)
{
    return Callback {{}, std::move(done), context, true};
}

void ZoneLink::run(Callback callback, bool sent, const QByteArray &reply)
{
    if (callback.owned && !callback.context)
        return;
    if (callback.done)
        callback.done(sent);
    else if (callback.reply)
        callback.reply(reply);
}

bool ZoneLink::command(Kind kind, int code, const QString &p1, const QString &p2,
                       const QString &list, Callback callback)
{
    const auto frames = BuildFrames(QString::number(code), p1, p2, list);
    if (!frames) {
        qCWarning(lcLink) << CommandCode::name(code) << "cannot be built from" << p1 << p2 << list
                          << "- not sent";
        run(std::move(callback), false, {});
        return false;
    }
    enqueueAll(kind, *frames, std::move(callback));
    return true;
}

void ZoneLink::enqueueAll(Kind kind, const QList<QByteArray> &frames, Callback callback)
{
    if (frames.isEmpty()) {
        run(std::move(callback), true, {});
        return;
    }
    // The frames before the last only note a failure; the caller hears once,
    // from the last, when the whole command is through. Jobs end in queue
    // order, dropped ones too, so the last is told after all the others.
    auto allSent = std::make_shared<bool>(true);
    for (qsizetype i = 0; i + 1 < frames.size(); ++i) {
        Callback note {[allSent](bool sent) { *allSent = *allSent && sent; }, {}, nullptr, false};
        enqueue(kind, frames.at(i), {}, std::move(note));
    }
    Completion done = std::move(callback.done);
    callback.done = [allSent, done = std::move(done)](bool sent) {
        if (done)
            done(*allSent && sent);
    };
    enqueue(kind, frames.last(), {}, std::move(callback));
}

bool ZoneLink::sendCommand(int code, const QString &p1, const QString &p2, const QString &list)
{
    return command(Kind::Send, code, p1, p2, list, {});
}

bool ZoneLink::sendCommand(int code, const QString &p1, const QString &p2, const QString &list,
                           const QObject *context, Completion done)
{
    return command(Kind::Send, code, p1, p2, list, ownedBy(context, std::move(done)));
}

bool ZoneLink::writeCommand(int code, const QString &p1, const QString &p2, const QString &list)
{
    return command(Kind::Write, code, p1, p2, list, {});
}

bool ZoneLink::writeCommand(int code, const QString &p1, const QString &p2, const QString &list,
                            const QObject *context, Completion done)
{
    return command(Kind::Write, code, p1, p2, list, ownedBy(context, std::move(done)));
}

void ZoneLink::SendFrame(const QByteArray &frame)
{
    enqueue(Kind::Send, frame, {}, {});
}

void ZoneLink::SendFrame(const QByteArray &frame, const QObject *context, Completion done)
{
    enqueue(Kind::Send, frame, {}, ownedBy(context, std::move(done)));
}

void ZoneLink::WriteFrame(const QByteArray &frame)
{
    enqueue(Kind::Write, frame, {}, {});
}

void ZoneLink::WriteFrame(const QByteArray &frame, const QObject *context, Completion done)
{
    enqueue(Kind::Write, frame, {}, ownedBy(context, std::move(done)));
}

void ZoneLink::SendFrames(const QList<QByteArray> &frames, const QObject *context, Completion done)
{
    enqueueAll(Kind::Send, frames, ownedBy(context, std::move(done)));
}

void ZoneLink::WriteFrames(const QList<QByteArray> &frames, const QObject *context, Completion done)
{
    enqueueAll(Kind::Write, frames, ownedBy(context, std::move(done)));
}

void ZoneLink::QueryExchange(const QByteArray &frame, const Query &query, const QObject *context,
                             ReplyHandler done)
{
    // The send delay belongs to the terminal status order, whose replies are
    // handed over one by one; the two come together or not at all.
    Q_ASSERT(query.sendDelayMs < 0 || query.eachReply);
    Q_ASSERT(!query.keepKeys || query.sendDelayMs >= 0);
    enqueue(Kind::Query, frame, query, ownedBy(context, std::move(done)));
}

void ZoneLink::WaitMs(int ms, QObject *context, std::function<void()> then)
{
    QTimer::singleShot(ms, context, std::move(then));
}

void ZoneLink::enqueue(Kind kind, const QByteArray &frame, const Query &query, Callback callback)
{
    m_jobs.enqueue(Job {++m_lastId, kind, frame, query, std::move(callback), false, false, false});
    // Announced once in the queue, so a listener that queues a frame of its
    // own queues it after this one.
    Q_EMIT frameQueued(frame, kind == Kind::Send);
    pump();
}

void ZoneLink::pump()
{
    // The job is out of the queue before its completion runs, and the loop
    // looks again after each: a completion may have queued more, closed the
    // port or started a job itself.
    while (!m_current && !m_jobs.isEmpty()) {
        Job job = m_jobs.dequeue();
        if (m_port.isOpen()) {
            begin(std::move(job));
            continue;
        }
        // A frame that cannot leave now would be stale by the time the
        // link is back: it is dropped, not replayed later.
        qCWarning(lcLink) << "link down, frame dropped:" << hex(job.frame);
        Q_EMIT frameDropped(job.frame, QStringLiteral("串行口未打开"));
        run(std::exchange(job.callback, {}), false, {});
    }
}

// The state and the timer of a job are set before each call to the port: a
// port may report the device lost from inside such a call, and the jobs are
// then gone when it returns (stillCurrent tells).
void ZoneLink::begin(Job job)
{
    const quint64 id = job.id;
    m_current = std::move(job);
    m_phaseStartMs = m_clock.nowMs();
    switch (current().kind) {
    case Kind::Send:
        m_phase = Phase::RtsLead;
        m_clock.start(kGuardMs);
        m_port.setRequestToSend(true);
        return;
    case Kind::Write:
        // No line handling, but the next frame waits until these bytes
        // are out, so no two frames ever share the wire.
        enterDraining();
        writeCurrent();
        return;
    case Kind::Query:
        m_replyDelivered = false;
        if (current().query.sendDelayMs >= 0) {
            // The terminals answer only once DTR drops after the send delay;
            // until then the query goes out like a written frame.
            enterDraining();
            m_port.setDataTerminalReady(true);
            if (!stillCurrent(id))
                return;
            writeCurrent();
            return;
        }
        m_phase = Phase::AwaitReply;
        m_clock.start(kReplyPollMs);
        if (current().query.dropTerminalReady) {
            m_port.setDataTerminalReady(false);
            if (!stillCurrent(id))
                return;
        }
        m_port.clearInput();
        if (!stillCurrent(id))
            return;
        writeCurrent();
        if (!stillCurrent(id))
            return;
        m_phaseStartMs = m_clock.nowMs(); // the deadline counts from the write
        // No reply comes to a query that did not go out.
        if (!current().written)
            m_clock.start(0);
        return;
    }
}

void ZoneLink::writeCurrent()
{
    const quint64 id = current().id;
    const QByteArray frame = current().frame;
    const qint64 written = m_port.write(frame);
    qCDebug(lcLink) << "wrote" << hex(frame);
    if (written != frame.size())
        qCWarning(lcLink) << "short write" << written << "of" << frame.size();
    // The port may have reported the device lost from inside the write: the
    // job is then gone, and was announced dropped with the others.
    if (!stillCurrent(id))
        return;
    current().tried = true;
    current().written = written == frame.size();
    if (current().written)
        Q_EMIT frameSent(frame);
    else
        Q_EMIT frameDropped(frame, QStringLiteral("串行口未能写入整帧"));
}

void ZoneLink::enterDraining()
{
    m_phase = Phase::Draining;
    m_drainLimitMs = drainLimitFor(current().frame.size());
    m_phaseStartMs = m_clock.nowMs();
    m_clock.start(kDrainPollMs);
}

void ZoneLink::step()
{
    if (!m_current)
        return;
    const quint64 id = current().id;
    switch (m_phase) {
    case Phase::RtsLead:
        enterDraining();
        writeCurrent();
        return;
    case Phase::Draining:
        // No reply comes to a query that did not go out.
        if (current().kind == Kind::Query && !current().written) {
            finishQuery();
            return;
        }
        if (m_port.pendingOutput() > 0) {
            if ((m_clock.nowMs() - m_phaseStartMs) < m_drainLimitMs) {
                m_clock.start(kDrainPollMs);
                return;
            }
            qCWarning(lcLink) << "output did not drain in" << m_drainLimitMs << "ms; going on";
        }
        if (current().kind == Kind::Write) {
            finishCurrent();
            return;
        }
        if (current().kind == Kind::Query) {
            m_phase = Phase::SendDelay;
            m_clock.start(current().query.sendDelayMs);
            return;
        }
        current().delivered = current().written;
        m_phase = Phase::RtsTail;
        m_clock.start(kGuardMs);
        return;
    case Phase::RtsTail:
        m_port.setRequestToSend(false);
        if (stillCurrent(id))
            finishCurrent();
        return;
    case Phase::SendDelay:
        openReplyWindow();
        return;
    case Phase::AwaitReply: {
        if (current().query.eachReply) {
            awaitEachReply();
            return;
        }
        const Query &query = current().query;
        const qint64 elapsed = (m_clock.nowMs() - m_phaseStartMs);
        if (!current().written || elapsed >= query.deadlineMs) {
            finishQuery();
            return;
        }
        const bool complete = !m_replyDelivered && m_port.bytesAvailable() >= query.replySize;
        if (complete && !query.waitWholeDeadline) {
            finishQuery();
            return;
        }
        if (!complete) {
            m_clock.start(m_replyDelivered ? int(query.deadlineMs - elapsed) : kReplyPollMs);
            return;
        }
        // The reply is handed over at once; the line stays ours until the
        // deadline. The handler leaves the job first: whatever it does to the
        // link (closing the port, say), the query has nothing left to answer.
        m_replyDelivered = true;
        const QByteArray reply = m_port.readAll();
        Callback callback = std::exchange(current().callback, {});
        m_clock.start(int(query.deadlineMs - elapsed));
        run(std::move(callback), true, reply);
        return;
    }
    case Phase::Idle:
        return;
    }
}

void ZoneLink::openReplyWindow()
{
    const quint64 id = current().id;
    if (current().query.dropTerminalReady) {
        m_port.setDataTerminalReady(false);
        if (!stillCurrent(id))
            return;
    }
    // What came during the send delay (the line's echo of the query, a key
    // code) is no answer.
    QByteArray early;
    if (current().query.keepKeys) {
        early = m_port.readAll();
        if (early.startsWith(current().frame))
            early.remove(0, current().frame.size());
    } else {
        m_port.clearInput();
    }
    if (!stillCurrent(id))
        return;
    m_phase = Phase::AwaitReply;
    m_phaseStartMs = m_clock.nowMs();
    m_clock.start(std::min(kReplyPollMs, current().query.deadlineMs));
    // A copy: whatever the caller does to the link, the job may be gone when it returns.
    const std::function<void()> opened = current().query.windowOpened;
    if (opened && ownerLives(current().callback))
        opened();
    // Last, as the link may be changed by a key's action (frames queued,
    // the port closed), and nothing here looks at it again.
    passOnKeys(early);
}

void ZoneLink::awaitEachReply()
{
    const quint64 id = current().id;
    // Checked once more at the deadline itself, so a reply that came just
    // before it is still tested.
    if (m_port.bytesAvailable() >= current().query.replySize) {
        const QByteArray chunk = m_port.readAll();
        const ReplyHandler each = current().query.eachReply;
        if (ownerLives(current().callback))
            each(chunk);
        if (!stillCurrent(id))
            return;
    }
    const qint64 left = current().query.deadlineMs - (m_clock.nowMs() - m_phaseStartMs);
    if (left <= 0) {
        finishQuery();
        return;
    }
    m_clock.start(int(std::min<qint64>(left, kReplyPollMs)));
}

void ZoneLink::finishQuery()
{
    const quint64 id = current().id;
    // Whatever came after a reply that was already handed over belongs to
    // the query too; read as a key code it could play or switch something.
    const QByteArray rest = m_port.readAll();
    if (current().query.dropTerminalReady) {
        m_port.setDataTerminalReady(true);
        if (!stillCurrent(id))
            return;
    }
    Job job = std::move(current());
    m_current.reset();
    m_phase = Phase::Idle;
    run(std::exchange(job.callback, {}), true, job.written ? rest : QByteArray());
    pump();
}

void ZoneLink::finishCurrent()
{
    Job job = std::move(current());
    m_current.reset();
    m_phase = Phase::Idle;
    // The completion may queue more frames; they follow those already queued.
    run(std::exchange(job.callback, {}), job.written, {});
    pump();
}

QList<ZoneLink::Job> ZoneLink::takeJobs()
{
    m_clock.stop();
    QList<Job> jobs;
    if (m_current)
        jobs.append(std::move(current()));
    m_current.reset();
    while (!m_jobs.isEmpty())
        jobs.append(m_jobs.dequeue());
    m_phase = Phase::Idle;
    return jobs;
}

void ZoneLink::dropJobs(QList<Job> jobs, const QString &why, const QString &operatorWhy)
{
    for (Job &job : jobs) {
        // A frame whose bytes are out already reached the controller; only
        // the line's tail was cut short.
        if (!job.delivered)
            qCWarning(lcLink) << why << "- frame dropped:" << hex(job.frame);
        // One the port was given was announced then, sent or dropped.
        if (!job.tried)
            Q_EMIT frameDropped(job.frame, operatorWhy);
        run(std::exchange(job.callback, {}), job.delivered, {});
    }
}

void ZoneLink::announceCommand(const QString &kind, const QString &what)
{
    Q_EMIT commandAnnounced(kind, what);
}

void ZoneLink::discardInput()
{
    if (m_port.isOpen() && !queryHasLine())
        m_port.clearInput();
}

void ZoneLink::onData()
{
    // A query collects its reply itself; key codes are read only in between.
    if (queryHasLine())
        return;
    passOnKeys(m_port.readAll());
}

void ZoneLink::passOnKeys(const QByteArray &chunk)
{
    if (chunk.isEmpty())
        return;
    // Only the first byte of a chunk counts.
    Q_EMIT keyReceived(static_cast<unsigned char>(chunk.at(0)));
}

void ZoneLink::onDeviceLost(const QString &reason)
{
    qCWarning(lcLink) << "link lost:" << m_devicePath << reason;
    QList<Job> dropped = takeJobs();
    m_reconnectTimer.start();
    Q_EMIT linkLost();
    dropJobs(std::move(dropped), QStringLiteral("link lost"),
             QStringLiteral("与分区控制器的连接中断"));
}

void ZoneLink::tryReconnect()
{
    if (m_port.isOpen()) {
        m_reconnectTimer.stop();
        return;
    }
    if (m_port.open(m_devicePath) != SerialPort::OpenResult::Opened)
        return;
    m_reconnectTimer.stop();
    prepareLines();
    qCInfo(lcLink) << "link restored:" << m_devicePath;
    Q_EMIT linkRestored();
}
