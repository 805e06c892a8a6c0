#include "web/webapi.h"

#include "console/consolestate.h"
#include "console/emergencybroadcast.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "console/programmemodel.h"
#include "console/todayschedule.h"
#include "platform/clock.h"
#include "zonelink/zonelink.h"

#include <QJsonArray>

namespace {

QString stateKey(RowState state)
{
    switch (state) {
    case RowState::Waiting:
        return QStringLiteral("waiting");
    case RowState::Done:
        return QStringLiteral("done");
    case RowState::Cancelled:
        return QStringLiteral("cancelled");
    }
    return QStringLiteral("waiting");
}

// The row of the list as the page shows it: its number (1-based, the one a
// command names later), the entry's fields and its state.
QJsonObject rowObject(const ProgrammeModel &model, int row)
{
    const ScheduleEntry &entry = model.entry(row);
    return QJsonObject {
        {QStringLiteral("row"), row + 1},
        {QStringLiteral("time"), entry.time},
        {QStringLiteral("channel"), entry.channel},
        {QStringLiteral("detail"), entry.detail},
        {QStringLiteral("title"), model.cellText(row, ProgrammeModel::FileNameColumn)},
        {QStringLiteral("volume"), entry.volume},
        {QStringLiteral("length"), entry.plen},
        {QStringLiteral("state"), stateKey(model.state(row))},
        {QStringLiteral("stateText"), model.cellText(row, ProgrammeModel::PlayedColumn)},
    };
}

} // namespace

WebApi::WebApi(const Parts &parts)
    : m_p(parts)
{
}

WebApi::Reply WebApi::error(int status, const QString &code, const QString &message)
{
    return {status,
            QJsonObject {{QStringLiteral("error"), code}, {QStringLiteral("message"), message}}};
}

WebApi::Reply WebApi::notFound()
{
    return error(404, QStringLiteral("not_found"), QStringLiteral("没有这个接口"));
}

WebApi::Reply WebApi::handle(const QByteArray &method, const QString &path,
                             const QByteArray &body) const
{
    Q_UNUSED(body);
    struct Route
    {
        QString path;
        QJsonObject (WebApi::*read)() const;
    };
    static const Route routes[] = {
        {QStringLiteral("status"), &WebApi::status},
        {QStringLiteral("today"), &WebApi::today},
    };
    if (!path.startsWith(prefix()))
        return notFound();
    const QStringView name = QStringView(path).mid(prefix().size());
    for (const Route &route : routes) {
        if (name != route.path)
            continue;
        if (method != "GET" && method != "HEAD")
            return error(405, QStringLiteral("method_not_allowed"),
                         QStringLiteral("不支持这种请求"));
        return {200, (this->*route.read)()};
    }
    return notFound();
}

QJsonObject WebApi::status() const
{
    const QDateTime now = m_p.clock.now();
    const int current = m_p.today.currentIndex(); // 1-based; 0 = none started
    QJsonObject next;
    if (current < m_p.programme.count())
        next = rowObject(m_p.programme, current);
    QJsonObject playing {
        {QStringLiteral("active"), m_p.playback.isPlaying()},
        {QStringLiteral("title"), m_p.playback.title()},
        {QStringLiteral("position"), m_p.playback.positionText()},
        {QStringLiteral("length"), m_p.playback.lengthText()},
        {QStringLiteral("progress"), m_p.playback.progress()},
    };
    return QJsonObject {
        {QStringLiteral("clock"), now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
        {QStringLiteral("mode"),
         m_p.state.ManualMode() ? QStringLiteral("manual") : QStringLiteral("auto")},
        {QStringLiteral("emergency"),
         QJsonObject {{QStringLiteral("active"), m_p.emergency.active()},
                      {QStringLiteral("elapsed"), m_p.emergency.elapsedText()}}},
        {QStringLiteral("link"),
         QJsonObject {{QStringLiteral("open"), m_p.link.isOpen()},
                      {QStringLiteral("device"), m_p.link.devicePath()}}},
        {QStringLiteral("playing"), playing},
        {QStringLiteral("next"), next},
        {QStringLiteral("nextText"), m_p.today.nextItem()},
        {QStringLiteral("volume"),
         QJsonObject {{QStringLiteral("value"), m_p.volume.value()},
                      {QStringLiteral("minimum"), m_p.volume.minimum()},
                      {QStringLiteral("maximum"), m_p.volume.maximum()}}},
    };
}

QJsonObject WebApi::today() const
{
    QJsonArray rows;
    for (int row = 0; row < m_p.programme.count(); ++row)
        rows.append(rowObject(m_p.programme, row));
    return QJsonObject {{QStringLiteral("rows"), rows}};
}
