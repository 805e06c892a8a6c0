#pragma once

#include "platform/serialport.h"

#include <QElapsedTimer>
#include <QList>
#include <QSet>

#include <functional>

// A serial port that records every line change and write with the time it
// happened, lets the test feed received bytes, and pulls the device away on
// demand. Written bytes take their time on the wire: 1200 baud, 8.33 ms a byte.
// Request-to-send is up only between raising it and dropping it on an open
// port; closing the port or losing the device drops it, as the driver does.
class FakeSerialPort final : public SerialPort
{
    Q_OBJECT
public:
    struct Event
    {
        qint64 ms; // since the port was made
        QString what; // "open", "close", "lost", "rts on", "rts off", "dtr on", "dtr off",
                      // "write", "drained", "clear"
        QByteArray bytes; // for "write": the bytes the port took
        bool rts = false; // request-to-send was up after this event
    };

    FakeSerialPort() { m_clock.start(); }

    OpenResult open(const QString &devicePath) override
    {
        openedPath = devicePath;
        if (!devices.contains(devicePath))
            return OpenResult::NoSuchDevice;
        m_open = true;
        record(QStringLiteral("open"));
        return OpenResult::Opened;
    }
    void close() override
    {
        m_open = false;
        m_rts = false;
        record(QStringLiteral("close"));
    }
    bool isOpen() const override { return m_open; }
    QString errorText() const override { return QStringLiteral("fake"); }
    qint64 write(const QByteArray &bytes) override
    {
        if (!m_open)
            return -1;
        const qint64 limit = writeLimits.isEmpty() ? bytes.size() : writeLimits.takeFirst();
        if (limit < 0)
            return -1;
        const QByteArray taken = bytes.left(limit);
        record(QStringLiteral("write"), taken);
        m_wireFreeAt = std::max(m_wireFreeAt, now()) + qint64(taken.size() * 8.34) + 1;
        m_drainReported = false;
        return taken.size();
    }
    qint64 pendingOutput() const override
    {
        const qint64 left = m_wireFreeAt - now();
        if (left <= 0 && !m_drainReported) {
            m_drainReported = true;
            const_cast<FakeSerialPort *>(this)->record(QStringLiteral("drained"));
        }
        return left > 0 ? left / 8 + 1 : 0;
    }
    qint64 bytesAvailable() const override { return m_input.size(); }
    QByteArray readAll() override
    {
        const QByteArray all = m_input;
        m_input.clear();
        if (!all.isEmpty())
            reads.append(all);
        return all;
    }
    void clearInput() override
    {
        m_input.clear();
        record(QStringLiteral("clear"));
    }
    bool setRequestToSend(bool on) override
    {
        if (m_open && linesWork)
            m_rts = on;
        record(on ? QStringLiteral("rts on") : QStringLiteral("rts off"));
        return m_open && linesWork;
    }
    bool setDataTerminalReady(bool on) override
    {
        record(on ? QStringLiteral("dtr on") : QStringLiteral("dtr off"));
        return m_open && linesWork;
    }

    // The controller sends bytes.
    void receive(const QByteArray &bytes)
    {
        m_input += bytes;
        Q_EMIT dataReceived();
    }
    // The device goes away.
    void loseDevice()
    {
        m_open = false;
        m_rts = false;
        devices.clear();
        record(QStringLiteral("lost"));
        Q_EMIT deviceLost(QStringLiteral("device removed"));
    }
    bool rtsRaised() const { return m_rts; }
    QList<QByteArray> writes() const
    {
        QList<QByteArray> all;
        for (const Event &e : events) {
            if (e.what == u"write")
                all.append(e.bytes);
        }
        return all;
    }

    QSet<QString> devices; // paths that open
    QString openedPath;
    bool linesWork = true;
    // The device goes away right after the next event of this name ("rts on",
    // "write", ...), from inside the call, as a failing line change reports it.
    QString loseDeviceAt;
    // How many bytes each next write takes, one entry a write: -1 refuses the
    // write, n takes the first n bytes. Empty: every write is taken whole.
    QList<qint64> writeLimits;
    QList<Event> events;
    QList<QByteArray> reads; // what readAll() handed over, a chunk each
    // The time in milliseconds, when the test keeps its own; by default the
    // time since the port was made.
    std::function<qint64()> clock;

private:
    qint64 now() const { return clock ? clock() : m_clock.elapsed(); }
    void record(const QString &what, const QByteArray &bytes = {})
    {
        events.append({now(), what, bytes, m_rts});
        if (!loseDeviceAt.isEmpty() && what == loseDeviceAt) {
            loseDeviceAt.clear();
            loseDevice();
        }
    }

    QElapsedTimer m_clock;
    bool m_open = false;
    bool m_rts = false;
    qint64 m_wireFreeAt = 0;
    mutable bool m_drainReported = true;
    QByteArray m_input;
};
