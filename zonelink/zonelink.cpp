#include "zonelink/zonelink.h"

#include "platform/dialogs.h"
#include "platform/serialport.h"
#include "platform/userstore.h"
#include "zonelink/frames.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QPointer>

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
    : QObject(parent)
    , m_port(port)
    , m_store(store)
    , m_dialogs(dialogs)
{
    m_stepTimer.setSingleShot(true);
    m_stepTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_stepTimer, &QTimer::timeout, this, &ZoneLink::step);
    m_reconnectTimer.setInterval(kReconnectMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &ZoneLink::tryReconnect);
    connect(&m_port, &SerialPort::dataReceived, this, &ZoneLink::onData);
    connect(&m_port, &SerialPort::deviceLost, this, &ZoneLink::onDeviceLost);
}

ZoneLink::~ZoneLink() = default;

int ZoneLink::portNumberOf(const QString &comPort, int current)
{
    static const QStringList names = {QStringLiteral("com1"), QStringLiteral("com2"), QStringLiteral("com3"),
                                      QStringLiteral("com4"), QStringLiteral("com5")};
    const qsizetype i = names.indexOf(comPort);
    return i >= 0 ? int(i) + 1 : current;
}

QString ZoneLink::devicePathFor(int portNumber) const
{
    const QString fallback = QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
    const QString stored = m_store.value(QStringLiteral("ports"), QStringLiteral("com%1").arg(portNumber),
                                         fallback);
    return stored.trimmed().isEmpty() ? fallback : stored.trimmed();
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
    m_devicePath = devicePathFor(portNumberOf(comPort));
    const SerialPort::OpenResult result = m_port.open(m_devicePath);
    if (result == SerialPort::OpenResult::Opened) {
        prepareLines();
        qCInfo(lcLink) << "opened" << m_devicePath;
        return;
    }
    qCWarning(lcLink) << "cannot open" << m_devicePath << m_port.errorText();
    if (result == SerialPort::OpenResult::NoSuchDevice)
        m_dialogs.message(QStringLiteral("打开串行口错误，请重新选择串行口"), QStringLiteral("串行口设置不对"),
                          MsgIcon::Exclamation);
    // Keep trying: a USB adapter may be plugged in later.
    m_reconnectTimer.start();
}

void ZoneLink::closePort()
{
    m_reconnectTimer.stop();
    dropAll(QStringLiteral("the port is closed"));
    m_port.close();
}

bool ZoneLink::isOpen() const
{
    return m_port.isOpen();
}

bool ZoneLink::command(Kind kind, int code, const QString &p1, const QString &p2, const QString &list,
                       Completion done)
{
    const auto frame = BuildFrame(QString::number(code), p1, p2, list);
    if (!frame) {
        qCWarning(lcLink) << CommandCode::name(code) << "cannot be built from" << p1 << p2 << list
                          << "- not sent";
        if (done)
            done(false);
        return false;
    }
    enqueue(Job {kind, *frame, std::move(done), {}, {}});
    return true;
}

bool ZoneLink::sendCommand(int code, const QString &p1, const QString &p2, const QString &list, Completion done)
{
    return command(Kind::Send, code, p1, p2, list, std::move(done));
}

bool ZoneLink::writeCommand(int code, const QString &p1, const QString &p2, const QString &list,
                            Completion done)
{
    return command(Kind::Write, code, p1, p2, list, std::move(done));
}

void ZoneLink::SendFrame(const QByteArray &frame, Completion done)
{
    enqueue(Job {Kind::Send, frame, std::move(done), {}, {}});
}

void ZoneLink::WriteFrame(const QByteArray &frame, Completion done)
{
    enqueue(Job {Kind::Write, frame, std::move(done), {}, {}});
}

void ZoneLink::QueryExchange(const QByteArray &frame, const Query &query, ReplyHandler done)
{
    enqueue(Job {Kind::Query, frame, {}, query, std::move(done)});
}

void ZoneLink::WaitMs(int ms, QObject *context, std::function<void()> then)
{
    QTimer::singleShot(ms, context, std::move(then));
}

void ZoneLink::enqueue(Job job)
{
    Q_EMIT frameQueued(job.frame, job.kind == Kind::Send);
    m_jobs.enqueue(std::move(job));
    if (!m_busy)
        startNext();
}

void ZoneLink::startNext()
{
    while (!m_jobs.isEmpty()) {
        m_current = m_jobs.dequeue();
        if (!m_port.isOpen()) {
            // A frame that cannot leave now would be stale by the time the
            // link is back: it is dropped, not replayed later.
            qCWarning(lcLink) << "link down, frame dropped:" << hex(m_current.frame);
            Job dropped = std::move(m_current);
            m_current = Job {};
            if (dropped.done)
                dropped.done(false);
            if (dropped.reply)
                dropped.reply({});
            continue;
        }
        m_busy = true;
        m_phaseClock.start();
        switch (m_current.kind) {
        case Kind::Send:
            m_port.setRequestToSend(true);
            m_phase = Phase::RtsLead;
            m_stepTimer.start(kGuardMs);
            return;
        case Kind::Write:
            // No line handling, but the next frame waits until these bytes
            // are out, so no two frames ever share the wire.
            writeCurrent();
            m_phase = Phase::Draining;
            m_drainLimitMs = drainLimitFor(m_current.frame.size());
            m_stepTimer.start(kDrainPollMs);
            return;
        case Kind::Query:
            if (m_current.query.dropTerminalReady)
                m_port.setDataTerminalReady(false);
            m_port.clearInput();
            m_replyDelivered = false;
            writeCurrent();
            m_phase = Phase::AwaitReply;
            m_phaseClock.start();
            m_stepTimer.start(kReplyPollMs);
            return;
        }
    }
    m_busy = false;
    m_phase = Phase::Idle;
}

void ZoneLink::writeCurrent()
{
    const qint64 written = m_port.write(m_current.frame);
    qCDebug(lcLink) << "wrote" << hex(m_current.frame);
    if (written != m_current.frame.size())
        qCWarning(lcLink) << "short write" << written << "of" << m_current.frame.size();
}

void ZoneLink::step()
{
    if (!m_busy)
        return;
    switch (m_phase) {
    case Phase::RtsLead:
        writeCurrent();
        m_phase = Phase::Draining;
        m_drainLimitMs = drainLimitFor(m_current.frame.size());
        m_phaseClock.start();
        m_stepTimer.start(kDrainPollMs);
        return;
    case Phase::Draining:
        if (m_port.pendingOutput() > 0) {
            if (m_phaseClock.elapsed() < m_drainLimitMs) {
                m_stepTimer.start(kDrainPollMs);
                return;
            }
            qCWarning(lcLink) << "output did not drain in" << m_drainLimitMs << "ms; going on";
        }
        if (m_current.kind == Kind::Write) {
            finishCurrent(true);
            return;
        }
        m_phase = Phase::RtsTail;
        m_stepTimer.start(kGuardMs);
        return;
    case Phase::RtsTail:
        m_port.setRequestToSend(false);
        finishCurrent(true);
        return;
    case Phase::AwaitReply: {
        const bool complete = m_port.bytesAvailable() >= m_current.query.replySize;
        const bool late = m_phaseClock.elapsed() >= m_current.query.deadlineMs;
        if (complete && !m_replyDelivered && m_current.query.waitWholeDeadline) {
            // The reply is handed over at once; the line stays ours until the deadline.
            m_replyDelivered = true;
            if (m_current.reply)
                m_current.reply(m_port.readAll());
        }
        if ((complete && !m_current.query.waitWholeDeadline) || late) {
            finishQuery();
            return;
        }
        m_stepTimer.start(kReplyPollMs);
        return;
    }
    case Phase::Idle:
        return;
    }
}

void ZoneLink::finishQuery()
{
    // Whatever came after a reply that was already handed over belongs to
    // the query too; read as a key code it could play or switch something.
    const QByteArray rest = m_port.readAll();
    const QByteArray reply = m_replyDelivered ? QByteArray() : rest;
    if (m_current.query.dropTerminalReady)
        m_port.setDataTerminalReady(true);
    ReplyHandler handler = m_replyDelivered ? ReplyHandler() : std::move(m_current.reply);
    m_current = Job {};
    m_busy = false;
    m_phase = Phase::Idle;
    if (handler)
        handler(reply);
    if (!m_busy)
        startNext();
}

void ZoneLink::finishCurrent(bool sent)
{
    Completion done = std::move(m_current.done);
    m_current = Job {};
    m_busy = false;
    m_phase = Phase::Idle;
    // The completion may queue more frames; they follow those already queued.
    if (done)
        done(sent);
    if (!m_busy)
        startNext();
}

void ZoneLink::dropAll(const QString &why)
{
    m_stepTimer.stop();
    QList<Job> dropped;
    if (m_busy)
        dropped.append(std::move(m_current));
    while (!m_jobs.isEmpty())
        dropped.append(m_jobs.dequeue());
    m_current = Job {};
    m_busy = false;
    m_phase = Phase::Idle;
    for (Job &job : dropped) {
        qCWarning(lcLink) << why << "- frame dropped:" << hex(job.frame);
        if (job.done)
            job.done(false);
        if (job.reply)
            job.reply({});
    }
}

void ZoneLink::discardInput()
{
    if (m_port.isOpen() && m_phase != Phase::AwaitReply)
        m_port.clearInput();
}

void ZoneLink::onData()
{
    // A query collects its reply itself; key codes are read only in between.
    if (m_phase == Phase::AwaitReply)
        return;
    const QByteArray chunk = m_port.readAll();
    if (chunk.isEmpty())
        return;
    // Only the first byte of a chunk counts.
    Q_EMIT keyReceived(static_cast<unsigned char>(chunk.at(0)));
}

void ZoneLink::onDeviceLost(const QString &reason)
{
    qCWarning(lcLink) << "link lost:" << m_devicePath << reason;
    dropAll(QStringLiteral("link lost"));
    Q_EMIT linkLost();
    m_reconnectTimer.start();
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
