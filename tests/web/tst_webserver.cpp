// The web server of the console: nothing listens unless the option is on,
// it listens beyond the loopback only with a password, the read endpoints
// answer in a session from the console's own objects, and every request it
// refuses is answered 4xx with a JSON error and changes nothing on the wire
// or on disk.

#include "console/emergencybroadcast.h"
#include "console/mastervolume.h"
#include "console/programmemodel.h"
#include "console/todayschedule.h"
#include "consolerig.h"
#include "web/webpassword.h"
#include "web/webserver.h"
#include "web/websessions.h"
#include "webclient.h"
#include "webrigstate.h"
#include "zonelink/zonelink.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A port free right now, so that tests running side by side (and other
// programs on the default port) do not meet.
quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

const QString kPassword = u"广播室2026"_s;

// The stored form of the test's password, cheap to check.
QString storedPassword()
{
    return WebPassword::hash(kPassword, WebPassword::MinIterations);
}

} // namespace

class tst_WebServer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void offByDefault();
    void storedOptionStartsIt();
    void listeningAddress_data();
    void listeningAddress();
    void endpoints_data();
    void endpoints();
    void statusFromTheConsole();
    void todayFollowsTheList();
    void switchingOffClosesThePort();
    void switchingOnAgainListens();
    void logIn_data();
    void logIn();
    void sessionCarriers_data();
    void sessionCarriers();
    void refusals_data();
    void refusals();
    void hugeUploadIsCutOff_data();
    void hugeUploadIsCutOff();
    void clientGoneBeforeTheLogInEnds();
    void pageHandler_data();
    void pageHandler();
    void tooManyAttempts();
    void logOut();
    void newPasswordEndsSessions();
    void switchingOffEndsSessions();

private:
    WebServer &makeServer();
    void switchOn(bool on = true);
    void setPassword(const QString &hash);
    // Whether a connection to the port is accepted (false: refused).
    bool portAccepts(quint16 port);
    WebClient::Result request(const QByteArray &method, const QString &path,
                              const QByteArray &body = {}, const WebClient::Headers &headers = {});

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<WebServer> m_server;
    std::unique_ptr<WebClient> m_client;
    quint16 m_port = 0;
};

void tst_WebServer::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_port = freePort();
    QVERIFY(m_port != 0);
    m_rig->store.values.insert(u"operation/web_port"_s, QString::number(m_port));
    m_client = std::make_unique<WebClient>();
    m_client->setPort(m_port);
}

void tst_WebServer::cleanup()
{
    m_client.reset();
    m_server.reset();
    m_rig.reset();
}

WebServer &tst_WebServer::makeServer()
{
    Console &console = m_rig->start();
    m_server = std::make_unique<WebServer>(console);
    m_server->follow();
    return *m_server;
}

void tst_WebServer::switchOn(bool on)
{
    ConsoleSettings &settings = m_rig->console().settings();
    AppSettings values = settings.values();
    values.WebControlEnabled = on;
    settings.update(values);
}

void tst_WebServer::setPassword(const QString &hash)
{
    ConsoleSettings &settings = m_rig->console().settings();
    AppSettings values = settings.values();
    values.WebPasswordHash = hash;
    settings.update(values);
}

bool tst_WebServer::portAccepts(quint16 port)
{
    QTcpSocket socket;
    QSignalSpy connected(&socket, &QTcpSocket::connected);
    QSignalSpy failed(&socket, &QTcpSocket::errorOccurred);
    socket.connectToHost(QHostAddress::LocalHost, port);
    [&] { QTRY_VERIFY_WITH_TIMEOUT(connected.count() + failed.count() > 0, 5000); }();
    if (!failed.isEmpty())
        return false;
    socket.abort();
    return true;
}

WebClient::Result tst_WebServer::request(const QByteArray &method, const QString &path,
                                         const QByteArray &body, const WebClient::Headers &headers)
{
    return m_client->request(method, path, body, headers);
}

void tst_WebServer::offByDefault()
{
    WebServer &server = makeServer();
    QVERIFY(!m_rig->console().settings().values().WebControlEnabled);
    QVERIFY(!server.isListening());
    QCOMPARE(server.port(), quint16(0));
    QVERIFY(!portAccepts(m_port));
}

void tst_WebServer::storedOptionStartsIt()
{
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    WebServer &server = makeServer();
    QVERIFY(server.isListening());
    QCOMPARE(server.port(), m_port);
    QCOMPARE(server.address(), QHostAddress(QHostAddress::LocalHost));
    QVERIFY(portAccepts(m_port));
}

void tst_WebServer::listeningAddress_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<bool>("password");
    QTest::addColumn<bool>("everywhere");
    QTest::newRow("neither") << false << false << false;
    QTest::newRow("network allowed, no password") << true << false << false;
    QTest::newRow("password, network not allowed") << false << true << false;
    QTest::newRow("network allowed and a password") << true << true << true;
}

void tst_WebServer::listeningAddress()
{
    QFETCH(bool, network);
    QFETCH(bool, password);
    QFETCH(bool, everywhere);
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    m_rig->store.values.insert(u"operation/web_network"_s, network ? u"True"_s : u"False"_s);
    if (password)
        m_rig->store.values.insert(u"operation/web_password"_s, storedPassword());
    WebServer &server = makeServer();
    QVERIFY(server.isListening());
    QCOMPARE(server.address(),
             everywhere ? QHostAddress(QHostAddress::Any) : QHostAddress(QHostAddress::LocalHost));
    QVERIFY(portAccepts(m_port));
    // Clearing the password takes the server back to the loopback at once.
    setPassword(QString());
    QCOMPARE(server.address(), QHostAddress(QHostAddress::LocalHost));
    QCOMPARE(server.port(), m_port);
}

void tst_WebServer::endpoints_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("session");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("key"); // a key the JSON answer must hold
    QTest::addColumn<QString>("error"); // its code when refused

    QTest::newRow("status") << "GET"_ba << u"/api/v1/status"_s << true << 200 << u"clock"_s
                            << QString();
    QTest::newRow("today") << "GET"_ba << u"/api/v1/today"_s << true << 200 << u"rows"_s
                           << QString();
    QTest::newRow("status with a query")
        << "GET"_ba << u"/api/v1/status?x=1"_s << true << 200 << u"volume"_s << QString();
    QTest::newRow("status, no session")
        << "GET"_ba << u"/api/v1/status"_s << false << 401 << u"message"_s << u"no_session"_s;
    QTest::newRow("today, no session")
        << "GET"_ba << u"/api/v1/today"_s << false << 401 << u"message"_s << u"no_session"_s;
    QTest::newRow("unknown endpoint, no session")
        << "GET"_ba << u"/api/v1/nothing"_s << false << 401 << u"message"_s << u"no_session"_s;
    QTest::newRow("post status") << "POST"_ba << u"/api/v1/status"_s << true << 405 << u"message"_s
                                 << u"method_not_allowed"_s;
    QTest::newRow("delete today") << "DELETE"_ba << u"/api/v1/today"_s << true << 405
                                  << u"message"_s << u"method_not_allowed"_s;
    QTest::newRow("put today") << "PUT"_ba << u"/api/v1/today"_s << true << 405 << u"message"_s
                               << u"method_not_allowed"_s;
    QTest::newRow("get command") << "GET"_ba << u"/api/v1/command"_s << true << 405 << u"message"_s
                                 << u"method_not_allowed"_s;
    QTest::newRow("get login") << "GET"_ba << u"/api/v1/login"_s << false << 405 << u"message"_s
                               << u"method_not_allowed"_s;
    QTest::newRow("unknown endpoint")
        << "GET"_ba << u"/api/v1/nothing"_s << true << 404 << u"message"_s << u"not_found"_s;
    QTest::newRow("below an endpoint")
        << "GET"_ba << u"/api/v1/status/1"_s << true << 404 << u"message"_s << u"not_found"_s;
    QTest::newRow("other version")
        << "GET"_ba << u"/api/v2/status"_s << true << 404 << u"message"_s << u"not_found"_s;
    QTest::newRow("root, other method")
        << "POST"_ba << u"/"_s << false << 404 << u"message"_s << u"not_found"_s;
    QTest::newRow("a file name") << "GET"_ba << u"/config.ini"_s << true << 404 << u"message"_s
                                 << u"not_found"_s;
    QTest::newRow("a path up") << "GET"_ba << u"/../quellon.ini"_s << false << 404 << u"message"_s
                               << u"not_found"_s;
    QTest::newRow("unknown path, other method")
        << "POST"_ba << u"/x"_s << false << 404 << u"message"_s << u"not_found"_s;
    QTest::newRow("prefix only") << "GET"_ba << u"/api/v1/"_s << true << 404 << u"message"_s
                                 << u"not_found"_s;
}

void tst_WebServer::endpoints()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(bool, session);
    QFETCH(int, status);
    QFETCH(QString, key);
    QFETCH(QString, error);
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    makeServer();
    WebClient::Headers headers;
    if (session) {
        const WebClient::Session s = m_client->logIn();
        QVERIFY(s.ok());
        headers = WebClient::bearer(s);
    }
    const WebClient::Result result = request(method, path, {}, headers);
    QCOMPARE(result.status, status);
    QVERIFY(result.header("Content-Type").startsWith("application/json"));
    QVERIFY(result.json);
    QVERIFY2(result.body.contains(key), result.raw.constData());
    QCOMPARE(result.body[u"error"_s].toString(), error);
    // Every answer, a refusal too, forbids caching, sniffing and framing.
    QCOMPARE(result.header("Cache-Control"), "no-store"_ba);
    QCOMPARE(result.header("X-Content-Type-Options"), "nosniff"_ba);
    QCOMPARE(result.header("X-Frame-Options"), "DENY"_ba);
    QCOMPARE(result.header("Content-Security-Policy"),
             "default-src 'self'; connect-src 'self'; frame-ancestors 'none'"_ba);
}

void tst_WebServer::statusFromTheConsole()
{
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    makeServer();
    Console &console = m_rig->console();
    console.volume().setValue(console.volume().minimum() + 7);
    const WebClient::Result result
        = request("GET", u"/api/v1/status"_s, {}, WebClient::bearer(m_client->logIn()));
    QCOMPARE(result.status, 200);
    QCOMPARE(result.body[u"clock"_s].toString(), u"2026-12-07 06:30:00"_s);
    // Nothing started yet this morning: the next item is the first of the day.
    const QJsonObject next = result.body[u"next"_s].toObject();
    QCOMPARE(next[u"row"_s].toInt(), 1);
    QCOMPARE(next[u"time"_s].toString(), u"07:30:00"_s);
    QCOMPARE(next[u"detail"_s].toString(), u"起床"_s);
    QCOMPARE(result.body[u"nextText"_s].toString(), console.today().nextItem());
    const QJsonObject link = result.body[u"link"_s].toObject();
    QCOMPARE(link[u"open"_s].toBool(), console.link().isOpen());
    QVERIFY(link[u"open"_s].toBool());
    const QJsonObject volume = result.body[u"volume"_s].toObject();
    QCOMPARE(volume[u"value"_s].toInt(), console.volume().minimum() + 7);
    QCOMPARE(volume[u"maximum"_s].toInt(), console.volume().maximum());
    QCOMPARE(result.body[u"playing"_s].toObject()[u"active"_s].toBool(), false);
    QCOMPARE(result.body[u"mode"_s].toString(), u"auto"_s);
    QCOMPARE(result.body[u"emergency"_s].toObject()[u"active"_s].toBool(), false);
    // An emergency broadcast and how long it has run, as the banner shows.
    QVERIFY(console.emergency().start());
    m_rig->clock.advanceSeconds(95);
    const QJsonObject emergency
        = request("GET", u"/api/v1/status"_s, {}, WebClient::bearer(m_client->logIn()))
              .body[u"emergency"_s]
              .toObject();
    QCOMPARE(emergency[u"active"_s].toBool(), true);
    QCOMPARE(emergency[u"elapsed"_s].toString(), u"01:35"_s);
    QVERIFY(console.emergency().end());
    // The work status as the main window shows it.
    console.setManualMode();
    QCOMPARE(request("GET", u"/api/v1/status"_s, {}, WebClient::bearer(m_client->logIn()))
                 .body[u"mode"_s]
                 .toString(),
             u"manual"_s);
}

void tst_WebServer::todayFollowsTheList()
{
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    makeServer();
    ProgrammeModel &model = m_rig->console().programme();
    model.setState(0, RowState::Done);
    model.setState(2, RowState::Cancelled);
    const WebClient::Result result
        = request("GET", u"/api/v1/today"_s, {}, WebClient::bearer(m_client->logIn()));
    QCOMPARE(result.status, 200);
    const QJsonArray rows = result.body[u"rows"_s].toArray();
    QCOMPARE(rows.size(), 3);
    const QStringList times {u"07:30:00"_s, u"08:00:00"_s, u"12:00:00"_s};
    const QStringList states {u"done"_s, u"waiting"_s, u"cancelled"_s};
    for (int i = 0; i < rows.size(); ++i) {
        const QJsonObject row = rows.at(i).toObject();
        QCOMPARE(row[u"row"_s].toInt(), i + 1);
        QCOMPARE(row[u"time"_s].toString(), times.at(i));
        QCOMPARE(row[u"state"_s].toString(), states.at(i));
        QCOMPARE(row[u"stateText"_s].toString(), ProgrammeModel::playedText(model.state(i)));
    }
}

void tst_WebServer::switchingOffClosesThePort()
{
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    WebServer &server = makeServer();
    QCOMPARE(request("GET", u"/api/v1/status"_s).status, 401);
    QSignalSpy listening(&server, &WebServer::listeningChanged);
    switchOn(false);
    QCOMPARE(listening.count(), 1);
    QCOMPARE(listening.at(0).at(0).toBool(), false);
    QVERIFY(!server.isListening());
    QVERIFY(!portAccepts(m_port));
}

void tst_WebServer::switchingOnAgainListens()
{
    WebServer &server = makeServer();
    QVERIFY(!portAccepts(m_port));
    QVERIFY(server.front() == nullptr);
    QSignalSpy started(&server, &WebServer::frontStarted);
    switchOn(true);
    QVERIFY(server.isListening());
    QVERIFY(portAccepts(m_port));
    // Whoever takes the live feed's connections hears of the new front.
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.at(0).at(0).value<WebFront *>(), server.front());
    QVERIFY(server.front() != nullptr);
    QCOMPARE(request("GET", u"/api/v1/today"_s, {}, WebClient::bearer(m_client->logIn())).status,
             200);
    // Another change of the settings leaves it listening on the same port.
    switchOn(true);
    QVERIFY(server.isListening());
    QCOMPARE(server.port(), m_port);
    switchOn(false);
    QVERIFY(!portAccepts(m_port));
}

void tst_WebServer::logIn_data()
{
    QTest::addColumn<bool>("passwordSet");
    QTest::addColumn<QString>("given");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    QTest::newRow("no password set, empty") << false << QString() << 200 << QString();
    QTest::newRow("no password set, a guess") << false << u"1234"_s << 401 << u"wrong_password"_s;
    QTest::newRow("the password") << true << kPassword << 200 << QString();
    QTest::newRow("a wrong password") << true << u"广播室"_s << 401 << u"wrong_password"_s;
    QTest::newRow("empty while one is set") << true << QString() << 401 << u"wrong_password"_s;
    QTest::newRow("its case changed")
        << true << kPassword.toUpper() + u"X"_s << 401 << u"wrong_password"_s;
}

void tst_WebServer::logIn()
{
    QFETCH(bool, passwordSet);
    QFETCH(QString, given);
    QFETCH(int, status);
    QFETCH(QString, error);
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    if (passwordSet)
        m_rig->store.values.insert(u"operation/web_password"_s, storedPassword());
    WebServer &server = makeServer();
    QVERIFY(QTest::qWaitFor([&] { return m_rig->console().link().queuedFrames() == 0; }, 5000));
    const WebRigState before(*m_rig);
    const WebClient::Result result = m_client->postJson(
        u"/api/v1/login"_s,
        QJsonDocument(QJsonObject {{u"password"_s, given}}).toJson(QJsonDocument::Compact));
    QCOMPARE(result.status, status);
    QVERIFY(result.json);
    QCOMPARE(result.body[u"error"_s].toString(), error);
    QCOMPARE(server.sessions().count(), status == 200 ? 1 : 0);
    // A log-in, right or wrong, touches neither the wire nor the disk.
    const WebRigState after(*m_rig);
    QCOMPARE(after.frames, before.frames);
    QCOMPARE(after.files, before.files);
    if (status != 200) {
        QVERIFY(result.header("Set-Cookie").isEmpty());
        QVERIFY(!result.body[u"message"_s].toString().isEmpty());
        return;
    }
    const QByteArray token = result.body[u"token"_s].toString().toLatin1();
    const QByteArray csrf = result.body[u"csrf"_s].toString().toLatin1();
    QVERIFY(WebSessions::looksLikeToken(token));
    QVERIFY(WebSessions::looksLikeToken(csrf));
    QVERIFY(token != csrf);
    QCOMPARE(result.body[u"idleSeconds"_s].toInt(), 1800);
    QCOMPARE(result.header("Set-Cookie"),
             "quellon_session=" + token + "; Path=/; HttpOnly; SameSite=Strict");
}

void tst_WebServer::sessionCarriers_data()
{
    QTest::addColumn<QString>("carrier"); // how the request names its session
    QTest::addColumn<int>("status");
    QTest::newRow("bearer") << u"bearer"_s << 200;
    QTest::newRow("cookie") << u"cookie"_s << 200;
    QTest::newRow("cookie among others") << u"cookies"_s << 200;
    QTest::newRow("bearer in lower case") << u"lower bearer"_s << 200;
    QTest::newRow("the CSRF token as bearer") << u"csrf as bearer"_s << 401;
    QTest::newRow("a made-up token") << u"made up"_s << 401;
    QTest::newRow("basic authorization") << u"basic"_s << 401;
    QTest::newRow("token cut short") << u"short"_s << 401;
    QTest::newRow("cookie of another name") << u"other cookie"_s << 401;
    QTest::newRow("a wrong bearer beside a right cookie") << u"wrong bearer, cookie"_s << 401;
}

void tst_WebServer::sessionCarriers()
{
    QFETCH(QString, carrier);
    QFETCH(int, status);
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    makeServer();
    const WebClient::Session s = m_client->logIn();
    QVERIFY(s.ok());
    const QByteArray madeUp = WebSessions::randomToken();
    const QHash<QString, WebClient::Headers> carriers {
        {u"bearer"_s, {{"Authorization", "Bearer " + s.token}}},
        {u"cookie"_s, {{"Cookie", "quellon_session=" + s.token}}},
        {u"cookies"_s, {{"Cookie", "theme=dark; quellon_session=" + s.token + "; lang=zh"}}},
        {u"lower bearer"_s, {{"Authorization", "bearer " + s.token}}},
        {u"csrf as bearer"_s, {{"Authorization", "Bearer " + s.csrf}}},
        {u"made up"_s, {{"Authorization", "Bearer " + madeUp}}},
        {u"basic"_s, {{"Authorization", "Basic " + s.token}}},
        {u"short"_s, {{"Authorization", "Bearer " + s.token.left(42)}}},
        {u"other cookie"_s, {{"Cookie", "session=" + s.token}}},
        {u"wrong bearer, cookie"_s,
         {{"Authorization", "Bearer " + madeUp}, {"Cookie", "quellon_session=" + s.token}}},
    };
    QVERIFY(carriers.contains(carrier));
    const WebClient::Result result = request("GET", u"/api/v1/status"_s, {}, carriers[carrier]);
    QCOMPARE(result.status, status);
    if (status != 200)
        QCOMPARE(result.body[u"error"_s].toString(), u"no_session"_s);
}

void tst_WebServer::refusals_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("auth"); // "none", "bearer", "cookie"
    QTest::addColumn<QString>("csrf"); // "none", "right", "wrong", "other session's"
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");

    const QByteArray json = "application/json";
    const QByteArray allOn = R"({"action":"all_on"})";
    const QString command = u"/api/v1/command"_s;
    QTest::newRow("no session") << command << json << allOn << u"none"_s << u"right"_s << 401
                                << u"no_session"_s;
    QTest::newRow("no CSRF token")
        << command << json << allOn << u"bearer"_s << u"none"_s << 403 << u"csrf"_s;
    QTest::newRow("wrong CSRF token")
        << command << json << allOn << u"bearer"_s << u"wrong"_s << 403 << u"csrf"_s;
    QTest::newRow("cookie without CSRF token")
        << command << json << allOn << u"cookie"_s << u"none"_s << 403 << u"csrf"_s;
    QTest::newRow("another session's CSRF token")
        << command << json << allOn << u"cookie"_s << u"other session's"_s << 403 << u"csrf"_s;
    QTest::newRow("logout without CSRF token") << u"/api/v1/logout"_s << json << QByteArray()
                                               << u"cookie"_s << u"none"_s << 403 << u"csrf"_s;
    QTest::newRow("oversized body")
        << command << json << (R"({"action":"all_on","pad":")" + QByteArray(5000, 'x') + "\"}")
        << u"bearer"_s << u"right"_s << 413 << u"too_large"_s;
    QTest::newRow("oversized body, no session") << command << json << QByteArray(8000, '{')
                                                << u"none"_s << u"none"_s << 413 << u"too_large"_s;
    QTest::newRow("malformed JSON") << command << json << QByteArray(R"({"action":"all_on")")
                                    << u"bearer"_s << u"right"_s << 400 << u"malformed_json"_s;
    QTest::newRow("unknown member")
        << command << json << QByteArray(R"({"action":"all_on","zones":"1.2."})") << u"bearer"_s
        << u"right"_s << 400 << u"unknown_field"_s;
    QTest::newRow("unknown action") << command << json << QByteArray(R"({"action":"format_disk"})")
                                    << u"bearer"_s << u"right"_s << 400 << u"unknown_action"_s;
    QTest::newRow("form content type")
        << command << QByteArray("application/x-www-form-urlencoded") << QByteArray("action=all_on")
        << u"bearer"_s << u"right"_s << 415 << u"not_json"_s;
    QTest::newRow("text content type") << command << QByteArray("text/plain") << allOn
                                       << u"bearer"_s << u"right"_s << 415 << u"not_json"_s;
    QTest::newRow("unknown row") << command << json << QByteArray(R"({"action":"play","row":4})")
                                 << u"bearer"_s << u"right"_s << 404 << u"unknown_row"_s;
    QTest::newRow("cancel a row past the list")
        << command << json << QByteArray(R"({"action":"cancel","row":99999})") << u"cookie"_s
        << u"right"_s << 404 << u"unknown_row"_s;
    QTest::newRow("row zero") << command << json << QByteArray(R"({"action":"play","row":0})")
                              << u"bearer"_s << u"right"_s << 400 << u"bad_row"_s;
    QTest::newRow("row as text") << command << json
                                 << QByteArray(R"({"action":"cancel","row":"1"})") << u"bearer"_s
                                 << u"right"_s << 400 << u"bad_row"_s;
    QTest::newRow("restore a row not cancelled")
        << command << json << QByteArray(R"({"action":"restore","row":2})") << u"bearer"_s
        << u"right"_s << 409 << u"not_possible"_s;
    QTest::newRow("cancel a row already done")
        << command << json << QByteArray(R"({"action":"cancel","row":1})") << u"bearer"_s
        << u"right"_s << 409 << u"not_possible"_s;
    QTest::newRow("login not JSON")
        << u"/api/v1/login"_s << QByteArray("application/x-www-form-urlencoded")
        << QByteArray("password=") << u"none"_s << u"none"_s << 415 << u"not_json"_s;
    QTest::newRow("login malformed") << u"/api/v1/login"_s << json << QByteArray("{\"password\"")
                                     << u"none"_s << u"none"_s << 400 << u"malformed_json"_s;
    QTest::newRow("login with a user name")
        << u"/api/v1/login"_s << json << QByteArray(R"({"password":"","user":"admin"})")
        << u"none"_s << u"none"_s << 400 << u"unknown_field"_s;
}

void tst_WebServer::refusals()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QString, auth);
    QFETCH(QString, csrf);
    QFETCH(int, status);
    QFETCH(QString, error);
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    WebServer &server = makeServer();
    Console &console = m_rig->console();
    // Row 1 is done, so that it cannot be cancelled.
    console.programme().setState(0, RowState::Done);
    const WebClient::Session s = m_client->logIn();
    const WebClient::Session other = m_client->logIn();
    QVERIFY(s.ok() && other.ok());
    QVERIFY(QTest::qWaitFor([&] { return console.link().queuedFrames() == 0; }, 5000));
    const WebRigState before(*m_rig);

    WebClient::Headers headers {{"Content-Type", contentType}};
    if (auth == u"bearer")
        headers.append({"Authorization", "Bearer " + s.token});
    else if (auth == u"cookie")
        headers.append({"Cookie", "quellon_session=" + s.token});
    if (csrf == u"right")
        headers.append({"X-CSRF-Token", s.csrf});
    else if (csrf == u"wrong")
        headers.append({"X-CSRF-Token", WebSessions::randomToken()});
    else if (csrf == u"other session's")
        headers.append({"X-CSRF-Token", other.csrf});
    const WebClient::Result result = request("POST", path, body, headers);
    QCOMPARE(result.status, status);
    QVERIFY2(result.json, result.raw.constData());
    QCOMPARE(result.body[u"error"_s].toString(), error);
    QVERIFY(!result.body[u"message"_s].toString().isEmpty());
    QCOMPARE(result.body.size(), 2);
    // Nothing went to the wire, nothing was written, nothing changed.
    QTest::qWait(50);
    const WebRigState after(*m_rig);
    QCOMPARE(after.frames, before.frames);
    QCOMPARE(after.files, before.files);
    QCOMPARE(after.rows, before.rows);
    QCOMPARE(after.volume, before.volume);
    QCOMPARE(after.player, before.player);
    QCOMPARE(server.sessions().count(), 2);
}

void tst_WebServer::hugeUploadIsCutOff_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("sent"); // bytes of body sent before the answer is awaited
    QTest::newRow("a command") << "/api/v1/command"_ba << 64 * 1024;
    QTest::newRow("a log-in") << "/api/v1/login"_ba << 64 * 1024;
    QTest::newRow("a page") << "/index.html"_ba << 1024 * 1024;
}

void tst_WebServer::hugeUploadIsCutOff()
{
    QFETCH(QByteArray, path);
    QFETCH(int, sent);
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    makeServer();
    const WebRigState before(*m_rig);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(socket.waitForConnected(5000));
    // Announced as far larger than what is sent: the server must not wait
    // for the rest, nor keep what came.
    socket.write("POST " + path
                 + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                   "Content-Length: 100000000\r\n\r\n");
    socket.write(QByteArray(sent, 'a'));
    QByteArray answer;
    QVERIFY(QTest::qWaitFor(
        [&] {
            answer += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        10000));
    answer += socket.readAll();
    QVERIFY2(answer.startsWith("HTTP/1.1 413 "), answer.left(200).constData());
    QVERIFY(answer.contains("\r\nX-Frame-Options: DENY\r\n"));
    const QByteArray body = answer.mid(answer.indexOf("\r\n\r\n") + 4);
    QCOMPARE(QJsonDocument::fromJson(body).object()[u"error"_s].toString(), u"too_large"_s);
    const WebRigState after(*m_rig);
    QCOMPARE(after.frames, before.frames);
    QCOMPARE(after.files, before.files);
    // The server goes on answering others.
    QVERIFY(m_client->logIn().ok());
}

void tst_WebServer::clientGoneBeforeTheLogInEnds()
{
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    // A slow hash: the client is gone long before it is done.
    m_rig->store.values.insert(u"operation/web_password"_s,
                               WebPassword::hash(kPassword, WebPassword::MaxIterations));
    WebServer &server = makeServer();
    const QByteArray body = R"({"password":"x"})";
    const QByteArray login = "POST /api/v1/login HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                             "Content-Type: application/json\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    const auto sendAndLeave = [&] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(socket.waitForConnected(5000));
        socket.write(login);
        QVERIFY(socket.waitForBytesWritten(5000));
        QTest::qWait(100);
        socket.abort();
    };
    // The check ends with nobody to answer.
    sendAndLeave();
    QTest::qWait(100);
    // The server is switched off while a check runs: the check ends with
    // no front to answer from.
    sendAndLeave();
    switchOn(false);
    switchOn(true);
    // Both counted as guesses, and the server answers the next one.
    const WebClient::Result next = m_client->postJson(u"/api/v1/login"_s, R"({"password":"y"})");
    QCOMPARE(next.status, 401);
    QCOMPARE(next.body[u"error"_s].toString(), u"wrong_password"_s);
    QCOMPARE(server.sessions().count(), 0);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(m_client->postJson(u"/api/v1/login"_s, body).status, 401);
    QCOMPARE(m_client->postJson(u"/api/v1/login"_s, body).status, 429);
}

void tst_WebServer::pageHandler_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::newRow("the page") << u"/"_s << 200;
    QTest::newRow("a page it does not serve") << u"/other.html"_s << 404;
    QTest::newRow("the API") << u"/api/v1/status"_s << 401;
    QTest::newRow("the API, a page's name") << u"/api/v1/index.html"_s << 401;
}

// The page's files outside /api/v1/, and the API's session checks inside it
// whatever the name asked for.
void tst_WebServer::pageHandler()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    makeServer();
    const WebClient::Result result = request("GET", path);
    QCOMPARE(result.status, status);
    QCOMPARE(result.header("X-Frame-Options"), "DENY"_ba);
    if (status == 200)
        QVERIFY(result.raw.startsWith("<!DOCTYPE html>"));
    else
        QVERIFY(result.json && result.body.contains(u"error"_s));
}

void tst_WebServer::tooManyAttempts()
{
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    m_rig->store.values.insert(u"operation/web_password"_s, storedPassword());
    WebServer &server = makeServer();
    const QByteArray wrong = R"({"password":"guess"})";
    for (int i = 0; i < 5; ++i)
        QCOMPARE(m_client->postJson(u"/api/v1/login"_s, wrong).status, 401);
    // The sixth guess is not even checked, and neither is the right one now.
    const QByteArray right
        = QJsonDocument(QJsonObject {{u"password"_s, kPassword}}).toJson(QJsonDocument::Compact);
    for (const QByteArray &body : {wrong, right}) {
        const WebClient::Result result = m_client->postJson(u"/api/v1/login"_s, body);
        QCOMPARE(result.status, 429);
        QCOMPARE(result.body[u"error"_s].toString(), u"too_many_attempts"_s);
        const int wait = result.header("Retry-After").toInt();
        QVERIFY2(wait > 0 && wait <= 600, result.header("Retry-After").constData());
    }
    QCOMPARE(server.sessions().count(), 0);
    // Ten minutes later the right password works again.
    m_rig->clock.set(m_rig->clock.now().addSecs(601));
    QCOMPARE(m_client->postJson(u"/api/v1/login"_s, right).status, 200);
}

void tst_WebServer::logOut()
{
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    WebServer &server = makeServer();
    const WebClient::Session s = m_client->logIn();
    const WebClient::Session other = m_client->logIn();
    QCOMPARE(server.sessions().count(), 2);
    const WebClient::Headers cookie {{"Cookie", "quellon_session=" + s.token},
                                     {"X-CSRF-Token", s.csrf}};
    const WebClient::Result result = m_client->postJson(u"/api/v1/logout"_s, {}, cookie);
    QCOMPARE(result.status, 200);
    QCOMPARE(result.body[u"ok"_s].toBool(), true);
    QVERIFY(result.header("Set-Cookie").startsWith("quellon_session=;"));
    QVERIFY(result.header("Set-Cookie").contains("Max-Age=0"));
    // That session is over; the other one goes on.
    QCOMPARE(request("GET", u"/api/v1/status"_s, {}, cookie).status, 401);
    QCOMPARE(request("GET", u"/api/v1/status"_s, {}, WebClient::bearer(other)).status, 200);
    QCOMPARE(server.sessions().count(), 1);
}

void tst_WebServer::newPasswordEndsSessions()
{
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    WebServer &server = makeServer();
    const WebClient::Session s = m_client->logIn();
    QCOMPARE(request("GET", u"/api/v1/status"_s, {}, WebClient::bearer(s)).status, 200);
    setPassword(storedPassword());
    QCOMPARE(server.sessions().count(), 0);
    QCOMPARE(request("GET", u"/api/v1/status"_s, {}, WebClient::bearer(s)).status, 401);
    // The empty password no longer opens it; the new one does.
    QVERIFY(!m_client->logIn().ok());
    QVERIFY(m_client->logIn(kPassword).ok());
    // Another change of the settings keeps the sessions.
    switchOn(true);
    QCOMPARE(server.sessions().count(), 1);
}

void tst_WebServer::switchingOffEndsSessions()
{
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    WebServer &server = makeServer();
    const WebClient::Session s = m_client->logIn();
    QVERIFY(s.ok());
    switchOn(false);
    switchOn(true);
    QCOMPARE(server.sessions().count(), 0);
    QCOMPARE(request("GET", u"/api/v1/status"_s, {}, WebClient::bearer(s)).status, 401);
}

QTEST_MAIN(tst_WebServer)
#include "tst_webserver.moc"
