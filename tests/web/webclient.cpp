#include "webclient.h"

#include <QJsonDocument>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace Qt::StringLiterals;

QByteArray WebClient::Result::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

WebClient::WebClient()
{
    m_nam.setProxy(QNetworkProxy::NoProxy);
    // Cookies go only where a test puts them.
    m_nam.setCookieJar(nullptr);
}

WebClient::Result WebClient::request(const QByteArray &method, const QString &path,
                                     const QByteArray &body, const Headers &headers)
{
    QNetworkRequest req(QUrl(u"http://127.0.0.1:%1%2"_s.arg(m_port).arg(path)));
    for (const auto &h : headers)
        req.setRawHeader(h.first, h.second);
    std::unique_ptr<QNetworkReply> reply(body.isNull() && method != "POST"
                                             ? m_nam.sendCustomRequest(req, method)
                                             : m_nam.sendCustomRequest(req, method, body));
    Result result;
    if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 10000))
        return result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    for (const auto &pair : reply->rawHeaderPairs())
        result.headers.append(pair);
    result.raw = reply->readAll();
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(result.raw, &error);
    result.json = error.error == QJsonParseError::NoError && doc.isObject();
    result.body = doc.object();
    return result;
}

WebClient::Result WebClient::postJson(const QString &path, const QByteArray &body,
                                      const Headers &headers)
{
    Headers all = headers;
    all.prepend({"Content-Type", "application/json"});
    return request("POST", path, body, all);
}

WebClient::Session WebClient::logIn(const QString &password)
{
    const QJsonObject body {{u"password"_s, password}};
    const Result r
        = postJson(u"/api/v1/login"_s, QJsonDocument(body).toJson(QJsonDocument::Compact));
    if (r.status != 200)
        return {};
    return {r.body[u"token"_s].toString().toLatin1(), r.body[u"csrf"_s].toString().toLatin1()};
}

WebClient::Headers WebClient::bearer(const Session &session)
{
    return {{"Authorization", "Bearer " + session.token}, {"X-CSRF-Token", session.csrf}};
}
