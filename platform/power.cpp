#include "platform/power.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDebug>

Power::~Power() = default;

void LogindPower::powerOff()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    call << false; // not interactive
    const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ErrorMessage)
        qWarning() << "power off refused:" << reply.errorName() << reply.errorMessage();
}

bool LogindPower::setSystemDateTime(const QDateTime &moment)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("/org/freedesktop/timedate1"),
        QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("SetTime"));
    call << qint64(moment.toMSecsSinceEpoch()) * 1000 << false << false;
    const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        qWarning() << "setting the clock refused:" << reply.errorName() << reply.errorMessage();
        return false;
    }
    return true;
}
