// The web server of the console: nothing listens unless the option is on,
// the read endpoints answer from the console's own objects, every other
// path or method is refused with a JSON error, and switching the option off
// closes the port.

#include "console/mastervolume.h"
#include "console/programmemodel.h"
#include "console/todayschedule.h"
#include "consolerig.h"
#include "web/webserver.h"
#include "zonelink/zonelink.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct HttpResult
{
    int status = 0;
    QByteArray contentType;
    QJsonObject body;
    bool json = false;
};

// A port free right now, so that tests running side by side (and other
// programs on the default port) do not meet.
quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
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
    void endpoints_data();
    void endpoints();
    void statusFromTheConsole();
    void todayFollowsTheList();
    void switchingOffClosesThePort();
    void switchingOnAgainListens();

private:
    WebServer &makeServer();
    void switchTo(bool on);
    // Whether a connection to the port is accepted (false: refused).
    bool portAccepts(quint16 port);
    HttpResult request(const QByteArray &method, const QString &path);

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<WebServer> m_server;
    quint16 m_port = 0;
    QNetworkAccessManager m_nam;
};

void tst_WebServer::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_port = freePort();
    QVERIFY(m_port != 0);
    m_rig->store.values.insert(u"operation/web_port"_s, QString::number(m_port));
    m_nam.setProxy(QNetworkProxy::NoProxy);
    m_nam.clearConnectionCache();
}

void tst_WebServer::cleanup()
{
    m_server.reset();
    m_rig.reset();
}

WebServer &tst_WebServer::makeServer()
{
    Console &console = m_rig->start();
    m_server = std::make_unique<WebServer>(console.settings(),
                                           WebApi::Parts {m_rig->clock, console.programme(),
                                                          console.today(), console.playback(),
                                                          console.volume(), console.link()});
    m_server->follow();
    return *m_server;
}

void tst_WebServer::switchTo(bool on)
{
    ConsoleSettings &settings = m_rig->console().settings();
    AppSettings values = settings.values();
    values.WebControlEnabled = on;
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

HttpResult tst_WebServer::request(const QByteArray &method, const QString &path)
{
    QNetworkRequest req(QUrl(u"http://127.0.0.1:%1%2"_s.arg(m_server->port()).arg(path)));
    std::unique_ptr<QNetworkReply> reply(m_nam.sendCustomRequest(req, method));
    HttpResult result;
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    [&] { QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 5000); }();
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll(), &error);
    result.json = error.error == QJsonParseError::NoError && doc.isObject();
    result.body = doc.object();
    return result;
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
    QVERIFY(portAccepts(m_port));
}

void tst_WebServer::endpoints_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("key"); // a key the JSON answer must hold

    QTest::newRow("status") << "GET"_ba << u"/api/v1/status"_s << 200 << u"clock"_s;
    QTest::newRow("today") << "GET"_ba << u"/api/v1/today"_s << 200 << u"rows"_s;
    QTest::newRow("status with a query")
        << "GET"_ba << u"/api/v1/status?x=1"_s << 200 << u"volume"_s;
    QTest::newRow("post status") << "POST"_ba << u"/api/v1/status"_s << 405 << u"error"_s;
    QTest::newRow("delete today") << "DELETE"_ba << u"/api/v1/today"_s << 405 << u"error"_s;
    QTest::newRow("put today") << "PUT"_ba << u"/api/v1/today"_s << 405 << u"error"_s;
    QTest::newRow("unknown endpoint") << "GET"_ba << u"/api/v1/nothing"_s << 404 << u"error"_s;
    QTest::newRow("below an endpoint") << "GET"_ba << u"/api/v1/status/1"_s << 404 << u"error"_s;
    QTest::newRow("other version") << "GET"_ba << u"/api/v2/status"_s << 404 << u"error"_s;
    QTest::newRow("root, other method") << "POST"_ba << u"/"_s << 404 << u"error"_s;
    QTest::newRow("a file name") << "GET"_ba << u"/config.ini"_s << 404 << u"error"_s;
    QTest::newRow("unknown path, other method") << "POST"_ba << u"/x"_s << 404 << u"error"_s;
    QTest::newRow("prefix only") << "GET"_ba << u"/api/v1/"_s << 404 << u"error"_s;
}

void tst_WebServer::endpoints()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(QString, key);
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    makeServer();
    const HttpResult result = request(method, path);
    QCOMPARE(result.status, status);
    QVERIFY(result.contentType.startsWith("application/json"));
    QVERIFY(result.json);
    QVERIFY2(result.body.contains(key), QJsonDocument(result.body).toJson().constData());
    QCOMPARE(result.body.contains(u"error"_s), status >= 400);
}

void tst_WebServer::statusFromTheConsole()
{
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    makeServer();
    Console &console = m_rig->console();
    console.volume().setValue(console.volume().minimum() + 7);
    const HttpResult result = request("GET", u"/api/v1/status"_s);
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
}

void tst_WebServer::todayFollowsTheList()
{
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    makeServer();
    ProgrammeModel &model = m_rig->console().programme();
    model.setState(0, RowState::Done);
    model.setState(2, RowState::Cancelled);
    const HttpResult result = request("GET", u"/api/v1/today"_s);
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
    QCOMPARE(request("GET", u"/api/v1/status"_s).status, 200);
    QSignalSpy listening(&server, &WebServer::listeningChanged);
    switchTo(false);
    QCOMPARE(listening.count(), 1);
    QCOMPARE(listening.at(0).at(0).toBool(), false);
    QVERIFY(!server.isListening());
    QVERIFY(!portAccepts(m_port));
}

void tst_WebServer::switchingOnAgainListens()
{
    WebServer &server = makeServer();
    QVERIFY(!portAccepts(m_port));
    switchTo(true);
    QVERIFY(server.isListening());
    QVERIFY(portAccepts(m_port));
    QCOMPARE(request("GET", u"/api/v1/today"_s).status, 200);
    // Another change of the settings leaves it listening on the same port.
    switchTo(true);
    QVERIFY(server.isListening());
    QCOMPARE(server.port(), m_port);
    switchTo(false);
    QVERIFY(!portAccepts(m_port));
}

QTEST_MAIN(tst_WebServer)
#include "tst_webserver.moc"
