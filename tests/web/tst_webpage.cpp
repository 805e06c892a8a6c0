// The office page as the console's web server serves it: the three files
// with their types and the security headers, nothing else under any path,
// and the live feed refusing a browser that has not logged in.

#include "consolerig.h"
#include "web/webfeed.h"
#include "web/webpage.h"
#include "web/webpassword.h"
#include "web/webserver.h"
#include "webclient.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct RawReply
{
    int status = 0;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

class tst_WebPage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void files_data();
    void files();
    void pageFilesAreTheResources();
    void pageStaysWithinItsRules();
    void refusedPaths_data();
    void refusedPaths();
    void feedRefusesWithoutSession_data();
    void feedRefusesWithoutSession();
    void feedInASession_data();
    void feedInASession();

private:
    // The request line and headers exactly as written, so that no client
    // library tidies a path before it reaches the server.
    RawReply rawGet(const QByteArray &target, const QByteArray &method = "GET");

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<WebServer> m_server;
};

void tst_WebPage::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    const quint16 port = freePort();
    QVERIFY(port != 0);
    m_rig->store.values.insert(u"operation/web_port"_s, QString::number(port));
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    Console &console = m_rig->start();
    m_server = std::make_unique<WebServer>(console);
    m_server->follow();
    QVERIFY(m_server->isListening());
}

void tst_WebPage::cleanup()
{
    m_server.reset();
    m_rig.reset();
}

RawReply tst_WebPage::rawGet(const QByteArray &target, const QByteArray &method)
{
    RawReply reply;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_server->port());
    socket.write(method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:"
                 + QByteArray::number(m_server->port()) + "\r\nConnection: close\r\n\r\n");
    // The server answers on this same event loop: wait by running it.
    QByteArray data;
    qsizetype headerEnd = -1;
    qsizetype length = -1;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QTest::qWait(5);
        data += socket.readAll();
        if (headerEnd < 0) {
            headerEnd = data.indexOf("\r\n\r\n");
            if (headerEnd < 0)
                continue;
            const QList<QByteArray> lines = data.left(headerEnd).split('\n');
            for (const QByteArray &line : lines.mid(1)) {
                const qsizetype colon = line.indexOf(':');
                if (colon > 0)
                    reply.headers.insert(line.left(colon).trimmed().toLower(),
                                         line.mid(colon + 1).trimmed());
            }
            length = reply.headers.value("content-length", "0").toLongLong();
        }
        if (data.size() >= headerEnd + 4 + length)
            break;
    }
    if (headerEnd < 0)
        return reply;
    const QList<QByteArray> statusLine = data.left(data.indexOf("\r\n")).split(' ');
    reply.status = statusLine.size() > 1 ? statusLine.at(1).toInt() : 0;
    reply.body = data.mid(headerEnd + 4, length);
    return reply;
}

void tst_WebPage::files_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("start"); // how the file begins

    QTest::newRow("page") << "/"_ba
                          << "text/html; charset=utf-8"_ba
                          << "<!DOCTYPE html>"_ba;
    QTest::newRow("script") << "/app.js"_ba
                            << "text/javascript; charset=utf-8"_ba
                            << "//"_ba;
    QTest::newRow("style") << "/style.css"_ba
                           << "text/css; charset=utf-8"_ba
                           << "/*"_ba;
    QTest::newRow("script with a query") << "/app.js?v=2"_ba
                                         << "text/javascript; charset=utf-8"_ba
                                         << "//"_ba;
}

void tst_WebPage::files()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, start);
    const RawReply reply = rawGet(target);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.headers.value("content-type"), contentType);
    QVERIFY2(reply.body.startsWith(start), reply.body.left(40).constData());
    // The same headers as every answer of the server.
    QCOMPARE(reply.headers.value("content-security-policy"),
             "default-src 'self'; connect-src 'self'; frame-ancestors 'none'"_ba);
    QCOMPARE(reply.headers.value("x-content-type-options"), "nosniff"_ba);
    QCOMPARE(reply.headers.value("x-frame-options"), "DENY"_ba);
    QCOMPARE(reply.headers.value("cache-control"), "no-store"_ba);
}

void tst_WebPage::pageFilesAreTheResources()
{
    // Exactly the three paths, each served as its resource is, and each
    // resource served: none left over in the build that no path reaches.
    QCOMPARE(WebPage::paths(), (QList<QByteArray> {"/", "/app.js", "/style.css"}));
    const QStringList resources {u":/web/index.html"_s, u":/web/app.js"_s, u":/web/style.css"_s};
    for (int i = 0; i < resources.size(); ++i) {
        QFile file(resources.at(i));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(resources.at(i)));
        const auto served = WebPage::find(QString::fromLatin1(WebPage::paths().at(i)));
        QVERIFY(served.has_value());
        QCOMPARE(served->body, file.readAll());
    }
    QCOMPARE(QDir(u":/web"_s).entryList(QDir::Files).size(), resources.size());
}

void tst_WebPage::pageStaysWithinItsRules()
{
    // The policy forbids inline script and style: the page must not need
    // them, or a browser shows it broken.
    const QString html = QString::fromUtf8(WebPage::find(u"/").value().body);
    QVERIFY(html.contains(u"<meta name=\"viewport\""_s));
    QVERIFY(html.contains(u"<html lang=\"zh-CN\">"_s));
    QVERIFY(html.contains(u"<script src=\"/app.js\""_s));
    QVERIFY(html.contains(u"<link rel=\"stylesheet\" href=\"/style.css\">"_s));
    QVERIFY(!html.contains(u" style="_s));
    QVERIFY(!html.contains(u"<style"_s));
    QVERIFY(!html.contains(QRegularExpression(u"<script(?![^>]*\\ssrc=)"_s)));
    QVERIFY(!html.contains(QRegularExpression(u"\\son[a-z]+="_s)));
    // Nothing from the console is put in as HTML by the script.
    const QString js = QString::fromUtf8(WebPage::find(u"/app.js").value().body);
    QVERIFY(!js.contains(u"innerHTML"_s));
    QVERIFY(!js.contains(u"eval("_s));
    // One column on a phone, two from 600 px.
    const QString css = QString::fromUtf8(WebPage::find(u"/style.css").value().body);
    QVERIFY(css.contains(u"@media (min-width: 600px)"_s));
}

void tst_WebPage::refusedPaths_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("index by name") << "GET"_ba
                                   << "/index.html"_ba;
    QTest::newRow("a file of the folder") << "GET"_ba
                                          << "/config.ini"_ba;
    QTest::newRow("up a level") << "GET"_ba
                                << "/../app.js"_ba;
    QTest::newRow("up two levels") << "GET"_ba
                                   << "/../../etc/passwd"_ba;
    QTest::newRow("up, encoded") << "GET"_ba
                                 << "/%2e%2e/app.js"_ba;
    QTest::newRow("up, encoded slash") << "GET"_ba
                                       << "/..%2fapp.js"_ba;
    QTest::newRow("resource path") << "GET"_ba
                                   << "/web/app.js"_ba;
    QTest::newRow("resource scheme") << "GET"_ba
                                     << "/:/web/app.js"_ba;
    QTest::newRow("double slash") << "GET"_ba
                                  << "//app.js"_ba;
    QTest::newRow("trailing slash") << "GET"_ba
                                    << "/app.js/"_ba;
    QTest::newRow("other case") << "GET"_ba
                                << "/APP.JS"_ba;
    QTest::newRow("backslash") << "GET"_ba
                               << "/..\\app.js"_ba;
    QTest::newRow("feed path without upgrade") << "GET"_ba
                                               << "/ws"_ba;
    QTest::newRow("favicon") << "GET"_ba
                             << "/favicon.ico"_ba;
    QTest::newRow("post to the page") << "POST"_ba
                                      << "/"_ba;
    QTest::newRow("delete the script") << "DELETE"_ba
                                       << "/app.js"_ba;
}

void tst_WebPage::refusedPaths()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, target);
    const RawReply reply = rawGet(target, method);
    QVERIFY2(reply.status >= 400 && reply.status < 500, QByteArray::number(reply.status));
    QVERIFY(reply.headers.value("content-type").startsWith("application/json"));
    QVERIFY(reply.body.contains("\"error\""));
    // None of the page's files went out under another name.
    QVERIFY(!reply.body.contains("<!DOCTYPE"));
    QVERIFY(!reply.body.contains("use strict"));
}

void tst_WebPage::feedRefusesWithoutSession_data()
{
    QTest::addColumn<QByteArray>("cookie");
    QTest::addColumn<QString>("origin");

    QTest::newRow("nothing") << QByteArray() << QString();
    QTest::newRow("made-up session")
        << "quellon_session=AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"_ba << QString();
    QTest::newRow("from another site")
        << "quellon_session=AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"_ba
        << u"http://evil.example"_s;
}

void tst_WebPage::feedRefusesWithoutSession()
{
    QFETCH(QByteArray, cookie);
    QFETCH(QString, origin);
    QWebSocket client(origin);
    bool closed = false;
    int messages = 0;
    connect(&client, &QWebSocket::disconnected, this, [&] { closed = true; });
    connect(&client, &QWebSocket::textMessageReceived, this, [&] { ++messages; });
    QNetworkRequest request(QUrl(u"ws://127.0.0.1:%1/ws"_s.arg(m_server->port())));
    if (!cookie.isEmpty())
        request.setRawHeader("Cookie", cookie);
    client.open(request);
    QTRY_VERIFY_WITH_TIMEOUT(closed, 5000);
    QCOMPARE(client.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
    QCOMPARE(messages, 0);
}

void tst_WebPage::feedInASession_data()
{
    QTest::addColumn<bool>("byCookie"); // else the bearer token
    QTest::addColumn<QString>("origin"); // empty: none sent
    QTest::addColumn<bool>("admitted");
    QTest::addColumn<QString>("ending"); // "logout" or "password"

    QTest::newRow("page's cookie, logged out") << true << QString() << true << u"logout"_s;
    QTest::newRow("same origin, password changed")
        << true << u"http://127.0.0.1:%1"_s << true << u"password"_s;
    QTest::newRow("bearer token, logged out") << false << QString() << true << u"logout"_s;
    QTest::newRow("live session from another site")
        << true << u"http://evil.example"_s << false << QString();
}

void tst_WebPage::feedInASession()
{
    QFETCH(bool, byCookie);
    QFETCH(QString, origin);
    QFETCH(bool, admitted);
    QFETCH(QString, ending);
    WebClient web;
    web.setPort(m_server->port());
    const WebClient::Session session = web.logIn();
    QVERIFY(session.ok());

    QWebSocket client(origin.contains(u"%1") ? origin.arg(m_server->port()) : origin);
    bool closed = false;
    QStringList types;
    connect(&client, &QWebSocket::disconnected, this, [&] { closed = true; });
    connect(&client, &QWebSocket::textMessageReceived, this, [&](const QString &text) {
        types.append(QJsonDocument::fromJson(text.toUtf8()).object().value(u"type").toString());
    });
    QNetworkRequest request(QUrl(u"ws://127.0.0.1:%1/ws"_s.arg(m_server->port())));
    if (byCookie)
        request.setRawHeader("Cookie", "quellon_session=" + session.token);
    else
        request.setRawHeader("Authorization", "Bearer " + session.token);
    client.open(request);
    if (!admitted) {
        QTRY_VERIFY_WITH_TIMEOUT(closed, 5000);
        QCOMPARE(client.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
        QVERIFY(types.isEmpty());
        return;
    }
    // Today's list at once, then the status with each console tick.
    QTRY_COMPARE_WITH_TIMEOUT(types, QStringList {u"today"_s}, 5000);
    m_rig->console().timerplayer_Timer();
    QTRY_COMPARE_WITH_TIMEOUT(types, (QStringList {u"today"_s, u"status"_s}), 5000);
    QVERIFY(!closed);

    if (ending == u"logout") {
        QCOMPARE(web.postJson(u"/api/v1/logout"_s, {}, WebClient::bearer(session)).status, 200);
    } else {
        AppSettings values = m_rig->console().settings().values();
        values.WebPasswordHash = WebPassword::hash(u"新密码"_s, WebPassword::MinIterations);
        m_rig->console().applySettings(values);
    }
    QTRY_VERIFY_WITH_TIMEOUT(closed, 5000);
    QCOMPARE(client.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
}

QTEST_MAIN(tst_WebPage)
#include "tst_webpage.moc"
