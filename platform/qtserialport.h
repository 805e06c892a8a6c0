#pragma once

#include "platform/serialport.h"

class QSerialPort;

// The serial port over Qt SerialPort.
class QtSerialPort final : public SerialPort
{
    Q_OBJECT
public:
    explicit QtSerialPort(QObject *parent = nullptr);

    OpenResult open(const QString &devicePath) override;
    void close() override;
    bool isOpen() const override;
    QString errorText() const override;
    qint64 write(const QByteArray &bytes) override;
    qint64 pendingOutput() const override;
    qint64 bytesAvailable() const override;
    QByteArray readAll() override;
    void clearInput() override;
    bool setRequestToSend(bool on) override;
    bool setDataTerminalReady(bool on) override;

private:
    QSerialPort *m_port;
    QString m_error;
};
