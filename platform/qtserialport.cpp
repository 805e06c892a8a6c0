#include "platform/qtserialport.h"

#include <QDebug>
#include <QFileInfo>
#include <QSerialPort>

#include <sys/ioctl.h>
#include <termios.h>

SerialPort::~SerialPort() = default;

QtSerialPort::QtSerialPort(QObject *parent)
    : SerialPort(parent)
    , m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, &SerialPort::dataReceived);
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        // A read error is how a vanished pseudo-terminal shows (and QSerialPort
        // would report it again and again): the device is treated as gone.
        if (e == QSerialPort::ResourceError || e == QSerialPort::DeviceNotFoundError
            || e == QSerialPort::PermissionError || e == QSerialPort::ReadError) {
            if (!m_port->isOpen())
                return;
            m_error = m_port->errorString();
            m_port->close();
            Q_EMIT deviceLost(m_error);
        }
    });
}

SerialPort::OpenResult QtSerialPort::open(const QString &devicePath)
{
    if (m_port->isOpen())
        m_port->close();
    // A symbolic link (a simulator's fixed name) is followed to the device.
    const QFileInfo info(devicePath);
    if (!info.exists()) {
        m_error = QStringLiteral("no such device: %1").arg(devicePath);
        return OpenResult::NoSuchDevice;
    }
    m_port->setPortName(info.isSymLink() ? info.symLinkTarget() : devicePath);
    if (!m_port->open(QIODevice::ReadWrite)) {
        m_error = m_port->errorString();
        return m_port->error() == QSerialPort::DeviceNotFoundError ? OpenResult::NoSuchDevice
                                                                   : OpenResult::Failed;
    }
    m_port->setBaudRate(QSerialPort::Baud1200);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_port->clearError();
    return OpenResult::Opened;
}

void QtSerialPort::close()
{
    if (m_port->isOpen())
        m_port->close();
}

bool QtSerialPort::isOpen() const
{
    return m_port->isOpen();
}

QString QtSerialPort::errorText() const
{
    return m_error;
}

qint64 QtSerialPort::write(const QByteArray &bytes)
{
    return m_port->write(bytes);
}

qint64 QtSerialPort::pendingOutput() const
{
    qint64 pending = m_port->bytesToWrite();
    // Bytes the driver still holds are not on the wire yet either; the
    // request-to-send line must stay up until they are.
    int queued = 0;
    if (m_port->isOpen() && ::ioctl(int(m_port->handle()), TIOCOUTQ, &queued) == 0)
        pending += queued;
    return pending;
}

qint64 QtSerialPort::bytesAvailable() const
{
    return m_port->bytesAvailable();
}

QByteArray QtSerialPort::readAll()
{
    return m_port->readAll();
}

void QtSerialPort::clearInput()
{
    m_port->readAll();
    m_port->clear(QSerialPort::Input);
}

bool QtSerialPort::setRequestToSend(bool on)
{
    const bool ok = m_port->setRequestToSend(on);
    m_port->clearError(); // a pseudo-terminal has no such line; that is not fatal
    return ok;
}

bool QtSerialPort::setDataTerminalReady(bool on)
{
    const bool ok = m_port->setDataTerminalReady(on);
    m_port->clearError();
    return ok;
}
