#include "zonelink/controllerclock.h"

#include "platform/savedfiles.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

ControllerClock::ControllerClock(ZoneLink &link, QObject *parent)
    : QObject(parent)
    , m_link(link)
{
}

bool ControllerClock::setClock(const QTime &time)
{
    return m_link.writeCommand(CommandCode::ClockSet, QStringLiteral("0"), QStringLiteral("0"),
                               timeDotList(time.toString(QStringLiteral("HH:mm:ss"))));
}

void ControllerClock::followSystemClock(const QDateTime &moment, SavedFiles &saved)
{
    setClock(moment.time());
    saved.announce(SavedFiles::Kind::SystemClock, QString());
}

bool ControllerClock::setPowerOnTime(const QTime &time)
{
    return m_link.writeCommand(CommandCode::PowerOnTimeSet, QStringLiteral("0"),
                               QStringLiteral("0"),
                               timeDotList(time.toString(QStringLiteral("HH:mm:ss"))));
}

ControllerClock::Reading ControllerClock::parseReading(const QByteArray &reply)
{
    Reading r;
    r.raw = reply;
    if (reply == "??:??:??") {
        r.kind = Reading::Kind::NotSet;
        return r;
    }
    // Only a whole "hh:mm:ss" is a time: a short, long or garbled reply is
    // never put into a picker.
    const QString text = QString::fromLatin1(reply);
    const QTime time = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
    if (reply.size() == kReplyBytes && time.isValid()) {
        r.kind = Reading::Kind::Time;
        r.time = time;
    }
    return r;
}

void ControllerClock::read(int code, const QObject *context, ReadDone done)
{
    ZoneLink::Query query;
    query.replySize = kReplyBytes;
    query.deadlineMs = kReplyDeadlineMs;
    m_link.QueryExchange(
        *BuildFrame(code, 0, 0, QString()), query, context,
        [done = std::move(done)](const QByteArray &reply) { done(parseReading(reply)); });
}

void ControllerClock::readClock(const QObject *context, ReadDone done)
{
    read(CommandCode::ClockQuery, context, std::move(done));
}

void ControllerClock::readPowerOnTime(const QObject *context, ReadDone done)
{
    read(CommandCode::PowerOnTimeQuery, context, std::move(done));
}

int ControllerClock::testWaitMs(qsizetype bytes)
{
    // 8.3 ms a byte each way.
    return int(bytes * 17) + kReplyDeadlineMs;
}

void ControllerClock::testLine(const QByteArray &text, const QObject *context, TestDone done)
{
    ZoneLink::Query query;
    query.replySize = int(std::max<qsizetype>(text.size(), 1));
    query.deadlineMs = testWaitMs(text.size());
    m_link.QueryExchange(text, query, context, std::move(done));
}
