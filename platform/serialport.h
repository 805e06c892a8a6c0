#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// One serial line to the zone controller. Tests substitute a port that
// records what is written, with timestamps, and feeds replies.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    enum class OpenResult { Opened, NoSuchDevice, Failed };

    using QObject::QObject;
    ~SerialPort() override;

    // Opens the device at 1200 baud, 8 data bits, no parity, 1 stop bit,
    // no flow control.
    virtual OpenResult open(const QString &devicePath) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString errorText() const = 0;

    // Hands bytes to the line; returns how many were accepted.
    virtual qint64 write(const QByteArray &bytes) = 0;
    // Bytes written but not yet on the wire (the driver's queue included).
    virtual qint64 pendingOutput() const = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray readAll() = 0;
    virtual void clearInput() = 0;
    // False when the line cannot be set (a pseudo-terminal has none).
    virtual bool setRequestToSend(bool on) = 0;
    virtual bool setDataTerminalReady(bool on) = 0;

Q_SIGNALS:
    void dataReceived();
    // The device went away (a USB adapter pulled out, the far end of a
    // pseudo-terminal closed); the port is closed.
    void deviceLost(const QString &reason);
};
