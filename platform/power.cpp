#include "platform/power.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QPointer>
#include <QTimer>

Power::~Power() = default;

namespace {
// Sends call and hands its reply to answered from the event loop, also a
// reply that is there at once (no bus). Nothing waits for the bus here.
void callAsync(const QDBusMessage &call, std::function<void(const QDBusMessage &reply)> answered)
{
    const QDBusPendingCall pending
        = QDBusConnection::systemBus().asyncCall(call, LogindPower::kAnswerTimeoutMs);
    if (pending.isFinished()) {
        // No bus to send it on: the error is there already, and a watcher
        // would never say so.
        QTimer::singleShot(
            0, [answered = std::move(answered), reply = pending.reply()] { answered(reply); });
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(pending);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [answered = std::move(answered)](QDBusPendingCallWatcher *w) {
                         answered(w->reply());
                         w->deleteLater();
                     });
}
} // namespace

void LogindPower::powerOff()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    call << false; // not interactive
    callAsync(call, [](const QDBusMessage &reply) {
        if (reply.type() == QDBusMessage::ErrorMessage)
            qWarning() << "power off refused:" << reply.errorName() << reply.errorMessage();
    });
}

void LogindPower::setSystemDateTime(const QDateTime &moment, QObject *context, ClockSet done)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("/org/freedesktop/timedate1"),
        QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("SetTime"));
    call << qint64(moment.toMSecsSinceEpoch()) * 1000 << false << false;
    callAsync(call,
              [context = QPointer<QObject>(context), hadContext = context != nullptr,
               done = std::move(done)](const QDBusMessage &reply) {
                  const bool accepted = reply.type() == QDBusMessage::ReplyMessage;
                  if (!accepted)
                      qWarning() << "setting the clock refused:" << reply.errorName()
                                 << reply.errorMessage();
                  if (hadContext && !context)
                      return;
                  done(accepted);
              });
}
