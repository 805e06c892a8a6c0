#include "fakewebconsole.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QTcpServer>

namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    return QByteArray(QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(method)))
        .toUpper();
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QByteArray FakeWebConsole::Received::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

int FakeWebConsole::Received::count(const QByteArray &name) const
{
    int n = 0;
    for (const auto &pair : headers)
        n += pair.first.compare(name, Qt::CaseInsensitive) == 0 ? 1 : 0;
    return n;
}

FakeWebConsole::FakeWebConsole() = default;

bool FakeWebConsole::listen()
{
    m_server = new QTcpServer(this);
    if (!m_server->listen(QHostAddress::LocalHost, 0))
        return false;
    bind(m_server);
    return true;
}

quint16 FakeWebConsole::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

QByteArray FakeWebConsole::statusBody()
{
    return QByteArrayLiteral(
        R"({"clock":"2026-12-08 09:15:00","mode":"auto","link":{"open":true,"device":"/dev/ttyS0"},)"
        R"("playing":{"active":false,"title":"","position":"00/000","length":"00:00","progress":0},)"
        R"("next":{"row":1,"time":"09:30:00","title":"课间操"},)"
        R"("nextText":"\r    播放时间：09:30:00\r    播放文件：课间操  \r    播放分区：1\r",)"
        R"("volume":{"value":5,"minimum":0,"maximum":31}})");
}

QByteArray FakeWebConsole::todayBody(const QStringList &states)
{
    const char *times[] = {"09:30:00", "10:00:00", "12:00:00"};
    const char *titles[] = {"课间操", "上课铃", "午休音乐"};
    QJsonArray rows;
    for (int i = 0; i < states.size(); ++i)
        rows.append(QJsonObject {
            {QStringLiteral("row"), i + 1},
            {QStringLiteral("time"), QString::fromLatin1(times[i])},
            {QStringLiteral("detail"), QString()},
            {QStringLiteral("title"), QString::fromUtf8(titles[i])},
            {QStringLiteral("state"), states.at(i)},
            {QStringLiteral("stateText"),
             states.at(i) == u"waiting" ? QStringLiteral("否") : QStringLiteral("是")},
        });
    return compact(QJsonObject {{QStringLiteral("rows"), rows}});
}

FakeWebConsole::Reply FakeWebConsole::refusal(int status, const char *code, const QString &message)
{
    return {status,
            compact(QJsonObject {{QStringLiteral("error"), QString::fromLatin1(code)},
                                 {QStringLiteral("message"), message}}),
            {}};
}

bool FakeWebConsole::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    Received r {methodName(request.method()), request.url().path(), request.headers(),
                request.body()};
    m_received.append(r);
    const Reply reply = answer(r);
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
    responder.writeHeader(QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json"));
    responder.writeHeader(QByteArrayLiteral("Content-Length"),
                          QByteArray::number(reply.body.size()));
    responder.writeHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
    for (const auto &[name, value] : reply.headers)
        responder.writeHeader(name, value);
    responder.writeBody(reply.body);
    return true;
}

void FakeWebConsole::missingHandler(const QHttpServerRequest &, QTcpSocket *) { }

FakeWebConsole::Reply FakeWebConsole::answer(const Received &request)
{
    const bool json = request.header("Content-Type").startsWith("application/json");
    if (request.path == u"/api/v1/login") {
        if (request.method != "POST")
            return refusal(405, "method", QStringLiteral("不支持的请求方法"));
        if (m_login == Login::Throttled) {
            Reply r = refusal(429, "too_many_attempts", QStringLiteral("登录尝试过多，请稍后再试"));
            r.headers.append({QByteArrayLiteral("Retry-After"), QByteArrayLiteral("600")});
            return r;
        }
        if (!json)
            return refusal(415, "content_type", QStringLiteral("请求须为 JSON"));
        const QJsonObject body = QJsonDocument::fromJson(request.body).object();
        if (body.keys() != QStringList {QStringLiteral("password")})
            return refusal(400, "bad_request", QStringLiteral("请求格式不对"));
        if (body.value(u"password").toString() != m_password)
            return refusal(401, "wrong_password", QStringLiteral("密码不对"));
        m_loggedIn = m_login != Login::ForgetsSessions;
        Reply r {
            200,
            compact(QJsonObject {{QStringLiteral("token"), QString::fromLatin1(kToken)},
                                 {QStringLiteral("csrf"),
                                  m_login == Login::OtherCsrf ? QStringLiteral("b3RoZXItY3NyZg")
                                                              : QString::fromLatin1(kCsrf)},
                                 {QStringLiteral("idleSeconds"), 1800}}),
            {}};
        r.headers.append({QByteArrayLiteral("Set-Cookie"),
                          QByteArrayLiteral("quellon_session=") + kToken
                              + "; Path=/; HttpOnly; SameSite=Strict"});
        return r;
    }
    if (!request.path.startsWith(u"/api/v1/"))
        return refusal(404, "not_found", QStringLiteral("没有这个地址"));
    const bool bearer = request.header("Authorization") == QByteArray("Bearer ") + kToken;
    const bool cookie
        = request.header("Cookie").contains(QByteArray("quellon_session=" + QByteArray(kToken)));
    if (!m_loggedIn || !(bearer || cookie))
        return refusal(401, "no_session", QStringLiteral("请先登录"));
    if (request.method == "POST") {
        if (request.header("X-CSRF-Token") != kCsrf)
            return refusal(403, "csrf", QStringLiteral("请求缺少有效的 CSRF 令牌"));
        if (!json)
            return refusal(415, "content_type", QStringLiteral("请求须为 JSON"));
        if (request.path == u"/api/v1/logout") {
            m_loggedIn = false;
            return {200, QByteArrayLiteral(R"({"ok":true})"), {}};
        }
        if (request.path == u"/api/v1/command")
            return command(request.body);
    } else if (request.method == "GET") {
        if (request.path == u"/api/v1/status")
            return {200, statusBody(), {}};
        if (request.path == u"/api/v1/today")
            return {200, todayBody(m_states), {}};
    }
    return refusal(404, "not_found", QStringLiteral("没有这个地址"));
}

FakeWebConsole::Reply FakeWebConsole::command(const QByteArray &bytes)
{
    const QJsonObject body = QJsonDocument::fromJson(bytes).object();
    const QString action = body.value(u"action").toString();
    static const QStringList withRow {QStringLiteral("cancel"), QStringLiteral("restore"),
                                      QStringLiteral("play")};
    static const QStringList withoutRow {QStringLiteral("stop"), QStringLiteral("volume_up"),
                                         QStringLiteral("volume_down"), QStringLiteral("all_on"),
                                         QStringLiteral("all_off")};
    const bool rowGiven = body.contains(u"row");
    const bool known = (withRow.contains(action) && rowGiven && body.size() == 2)
        || (withoutRow.contains(action) && !rowGiven && body.size() == 1);
    if (!known)
        return refusal(400, "bad_request", QStringLiteral("请求格式不对"));
    if (!rowGiven)
        return {200, QByteArrayLiteral(R"({"ok":true})"), {}};
    const int row = body.value(u"row").toInt();
    if (row < 1 || row > m_states.size())
        return refusal(404, "unknown_row", QStringLiteral("节目单没有第 %1 项").arg(row));
    QString &state = m_states[row - 1];
    if (action == u"cancel") {
        if (state != u"waiting")
            return refusal(409, "not_possible", QStringLiteral("第 %1 项不能取消").arg(row));
        state = QStringLiteral("cancelled");
    } else if (action == u"restore") {
        if (state != u"cancelled")
            return refusal(409, "not_possible", QStringLiteral("第 %1 项没有取消").arg(row));
        state = QStringLiteral("waiting");
    }
    return {200, QByteArrayLiteral(R"({"ok":true})"), {}};
}
