// What stands between the network and the console before any session: who
// may log in without a password, and how many connections the server keeps
// for clients that send nothing whole.

#include "console/consolesettings.h"
#include "consolerig.h"
#include "platform/secondticker.h"
#include "web/webpassword.h"
#include "web/webserver.h"
#include "web/websessions.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

const QString kPassword = u"广播室2026"_s;

struct Answer
{
    int status = 0;
    QJsonObject body;
};

// One request on a connection of its own, written byte for byte as given
// (a browser cannot be made to send any Host; a test can).
Answer send(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(request);
    // The whole answer: its head, then as many bytes as it announces.
    QByteArray answer;
    const auto complete = [&] {
        const qsizetype end = answer.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        const QByteArray head = answer.left(end).toLower();
        const qsizetype at = head.indexOf("content-length:");
        if (at < 0)
            return true;
        const qsizetype eol = head.indexOf("\r\n", at);
        const int length = head.mid(at + 15, eol < 0 ? -1 : eol - at - 15).trimmed().toInt();
        return answer.size() >= end + 4 + length;
    };
    const bool whole = QTest::qWaitFor(
        [&] {
            answer += socket.readAll();
            return complete() || socket.state() == QAbstractSocket::UnconnectedState;
        },
        10000);
    if (!whole || !complete())
        return {};
    Answer result;
    // HTTP/1.1 200 OK
    result.status = answer.mid(9, 3).toInt();
    result.body = QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).object();
    return result;
}

QByteArray logInRequest(const QByteArray &host, const QString &password)
{
    const QByteArray body
        = QJsonDocument(QJsonObject {{u"password"_s, password}}).toJson(QJsonDocument::Compact);
    QByteArray request = "POST /api/v1/login HTTP/1.1\r\n";
    if (!host.isNull())
        request += "Host: " + host + "\r\n";
    return request + "Content-Type: application/json\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

} // namespace

class tst_WebGuards : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void logInByHostName_data();
    void logInByHostName();
    void connectionLimit_data();
    void connectionLimit();
    void idleConnections_data();
    void idleConnections();
    void feedEndsWithItsSession_data();
    void feedEndsWithItsSession();
    void logInsCheckedAtOnce_data();
    void logInsCheckedAtOnce();
    void passwordChangedDuringTheCheck_data();
    void passwordChangedDuringTheCheck();

private:
    WebServer &makeServer(const WebFront::ConnectionLimits &limits = {});
    // A live feed client of a new session, connected (null if it was not).
    std::unique_ptr<QWebSocket> feedClient(const QByteArray &token);
    // A connection that has sent these bytes and waits.
    std::unique_ptr<QTcpSocket> openConnection(const QByteArray &sent = {});
    // A new session's token; its log-in's connection is gone when it returns.
    QByteArray sessionToken();

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<WebServer> m_server;
    quint16 m_port = 0;
};

void tst_WebGuards::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_port = freePort();
    QVERIFY(m_port != 0);
    m_rig->store.values.insert(u"operation/web_port"_s, QString::number(m_port));
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
}

void tst_WebGuards::cleanup()
{
    m_server.reset();
    m_rig.reset();
}

WebServer &tst_WebGuards::makeServer(const WebFront::ConnectionLimits &limits)
{
    m_server = std::make_unique<WebServer>(m_rig->start());
    m_server->setConnectionLimits(limits);
    m_server->follow();
    return *m_server;
}

QByteArray tst_WebGuards::sessionToken()
{
    const Answer answer = send(m_port, logInRequest("127.0.0.1", QString()));
    // The server lets go of the connection once the event loop is back.
    QTest::qWait(100);
    return answer.body[u"token"_s].toString().toLatin1();
}

std::unique_ptr<QWebSocket> tst_WebGuards::feedClient(const QByteArray &token)
{
    auto client = std::make_unique<QWebSocket>();
    QNetworkRequest request(QUrl(u"ws://127.0.0.1:%1/ws"_s.arg(m_port)));
    request.setRawHeader("Authorization", "Bearer " + token);
    QSignalSpy connected(client.get(), &QWebSocket::connected);
    client->open(request);
    if (!connected.wait(5000))
        return {};
    return client;
}

std::unique_ptr<QTcpSocket> tst_WebGuards::openConnection(const QByteArray &sent)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, m_port);
    if (!socket->waitForConnected(5000))
        return {};
    if (!sent.isEmpty()) {
        socket->write(sent);
        if (!socket->waitForBytesWritten(5000))
            return {};
    }
    // Until the server has taken it.
    QTest::qWait(50);
    return socket;
}

void tst_WebGuards::logInByHostName_data()
{
    QTest::addColumn<bool>("passwordSet");
    QTest::addColumn<QByteArray>("host"); // ":P" stands for the server's port
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    QTest::newRow("127.0.0.1") << false << "127.0.0.1:P"_ba << 200 << QString();
    QTest::newRow("localhost") << false << "localhost:P"_ba << 200 << QString();
    QTest::newRow("localhost in capitals") << false << "LOCALHOST:P"_ba << 200 << QString();
    QTest::newRow("IPv6 loopback") << false << "[::1]:P"_ba << 200 << QString();
    QTest::newRow("no port") << false << "127.0.0.1"_ba << 200 << QString();
    QTest::newRow("a site's name") << false << "evil.example:P"_ba << 403 << u"host_not_allowed"_s;
    QTest::newRow("a name beginning like the loopback")
        << false << "127.0.0.1.evil.example:P"_ba << 403 << u"host_not_allowed"_s;
    QTest::newRow("a name beginning with localhost")
        << false << "localhost.evil.example:P"_ba << 403 << u"host_not_allowed"_s;
    QTest::newRow("the network's address")
        << false << "192.168.1.20:P"_ba << 403 << u"host_not_allowed"_s;
    QTest::newRow("an empty Host") << false << ""_ba << 403 << u"host_not_allowed"_s;
    QTest::newRow("no Host") << false << QByteArray() << 403 << u"host_not_allowed"_s;
    QTest::newRow("IPv6 without its brackets") << false << "::1"_ba << 403 << u"host_not_allowed"_s;
    // With a password the name does not matter: the password does.
    QTest::newRow("a name, with the password") << true << "console.school:P"_ba << 200 << QString();
}

// Without a password the empty password opens the console to a page of
// this computer's own address only: a site visited here that makes its
// name resolve to 127.0.0.1 must not get a session.
void tst_WebGuards::logInByHostName()
{
    QFETCH(bool, passwordSet);
    QFETCH(QByteArray, host);
    QFETCH(int, status);
    QFETCH(QString, error);
    if (passwordSet)
        m_rig->store.values.insert(u"operation/web_password"_s,
                                   WebPassword::hash(kPassword, WebPassword::MinIterations));
    WebServer &server = makeServer();
    QVERIFY(server.isListening());
    if (!host.isNull())
        host.replace(":P", QByteArray(":" + QByteArray::number(m_port)));
    const Answer answer = send(m_port, logInRequest(host, passwordSet ? kPassword : QString()));
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.body[u"error"_s].toString(), error);
    QCOMPARE(server.sessions().count(), status == 200 ? 1 : 0);
    if (status == 200)
        QVERIFY(WebSessions::looksLikeToken(answer.body[u"token"_s].toString().toLatin1()));
    else
        QVERIFY(!answer.body[u"message"_s].toString().isEmpty());
}

void tst_WebGuards::connectionLimit_data()
{
    QTest::addColumn<int>("idle"); // plain connections left open, sending nothing
    QTest::addColumn<int>("feeds"); // live feed clients left connected
    QTest::addColumn<int>("closed"); // live feed clients connected and gone before
    QTest::addColumn<int>("status"); // the answer to one more request
    // The limit is 4 here.
    QTest::newRow("below the limit") << 3 << 0 << 0 << 401;
    QTest::newRow("at the limit") << 4 << 0 << 0 << 503;
    QTest::newRow("live feed clients count") << 0 << 4 << 0 << 503;
    QTest::newRow("both count") << 2 << 2 << 0 << 503;
    QTest::newRow("feed clients gone leave their place") << 3 << 0 << 6 << 401;
}

// Clients that hold connections open cannot take all of the console's
// file descriptors: past the limit a connection is told 503 and closed.
void tst_WebGuards::connectionLimit()
{
    QFETCH(int, idle);
    QFETCH(int, feeds);
    QFETCH(int, closed);
    QFETCH(int, status);
    makeServer(WebFront::ConnectionLimits {4, 60000});
    const QByteArray token = sessionToken();
    QVERIFY(!token.isEmpty());
    for (int i = 0; i < closed; ++i) {
        std::unique_ptr<QWebSocket> client = feedClient(token);
        QVERIFY(client);
        // gone as a phone that leaves the network or a tab closed
        client->abort();
        client.reset();
        // The console's next status finds it gone.
        QTest::qWait(50);
        m_server->feed()->sendStatus();
        QTRY_COMPARE(m_server->feed()->clientCount(), 0);
    }
    // The server's side of the closed ones is let go.
    QTest::qWait(100);
    std::vector<std::unique_ptr<QWebSocket>> open;
    for (int i = 0; i < feeds; ++i) {
        open.push_back(feedClient(token));
        QVERIFY(open.back());
    }
    std::vector<std::unique_ptr<QTcpSocket>> held;
    for (int i = 0; i < idle; ++i) {
        held.push_back(openConnection());
        QVERIFY(held.back());
    }
    const Answer answer = send(m_port, "GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.body[u"error"_s].toString(), status == 503 ? u"busy"_s : u"no_session"_s);
    for (const auto &client : open)
        QCOMPARE(client->state(), QAbstractSocket::ConnectedState);
}

void tst_WebGuards::idleConnections_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("kept");
    QTest::newRow("nothing sent") << QByteArray() << false;
    QTest::newRow("half a request head")
        << "GET /api/v1/status HTTP/1.1\r\nHost: 127.0."_ba << false;
    QTest::newRow("a body shorter than announced")
        << "POST /api/v1/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
           "application/json\r\nContent-Length: 100\r\n\r\n{\"pass"_ba
        << false;
    QTest::newRow("quiet after a whole request")
        << "GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"_ba << false;
    QTest::newRow("a live feed client") << "feed"_ba << true;
}

// A connection must send each request whole within the idle time; only the
// live feed's sockets stay open quietly.
void tst_WebGuards::idleConnections()
{
    QFETCH(QByteArray, sent);
    QFETCH(bool, kept);
    makeServer(WebFront::ConnectionLimits {16, 300});
    std::unique_ptr<QWebSocket> feed;
    std::unique_ptr<QTcpSocket> plain;
    if (sent == "feed") {
        feed = feedClient(sessionToken());
        QVERIFY(feed);
    } else {
        plain = openConnection(sent);
        QVERIFY(plain);
    }
    const auto state = [&] { return feed ? feed->state() : plain->state(); };
    QTest::qWait(1000);
    if (plain)
        plain->readAll();
    QCOMPARE(state() == QAbstractSocket::ConnectedState, kept);
    if (feed) {
        // and it still hears the console
        QSignalSpy messages(feed.get(), &QWebSocket::textMessageReceived);
        m_server->feed()->sendStatus();
        QVERIFY(messages.wait(5000));
    }
}

void tst_WebGuards::feedEndsWithItsSession_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<bool>("kept");
    QTest::newRow("a while, within the idle time") << u"wait 1000"_s << true;
    QTest::newRow("unused past the idle time") << u"wait 1801"_s << false;
    QTest::newRow("watched for an hour, a status each minute") << u"watch 60"_s << true;
    QTest::newRow("in use, past the lifetime") << u"use for 13 hours"_s << false;
    QTest::newRow("pushed out by later log-ins") << u"log-ins"_s << false;
    QTest::newRow("the clock set back before its start") << u"wait -3600"_s << false;
}

// A live feed client hears the console only while its session lives: the
// session's end, however it comes, closes the client with 1008 at the next
// status message.
void tst_WebGuards::feedEndsWithItsSession()
{
    QFETCH(QString, meanwhile);
    QFETCH(bool, kept);
    makeServer();
    // Only the statuses the row sends: each keeps a watched session in use.
    m_rig->console().secondTicker().stop();
    const QByteArray token = sessionToken();
    std::unique_ptr<QWebSocket> client = feedClient(token);
    QVERIFY(client);
    QSignalSpy messages(client.get(), &QWebSocket::textMessageReceived);
    QSignalSpy closed(client.get(), &QWebSocket::disconnected);
    const QByteArray status = "GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: "
                              "Bearer "
        + token + "\r\n\r\n";
    if (meanwhile.startsWith(u"wait ")) {
        m_rig->clock.advanceSeconds(meanwhile.mid(5).toInt());
    } else if (meanwhile.startsWith(u"watch ")) {
        for (int i = 0; i < meanwhile.mid(6).toInt(); ++i) {
            m_rig->clock.advanceSeconds(60);
            m_server->feed()->sendStatus();
        }
    } else if (meanwhile == u"use for 13 hours") {
        for (int i = 0; i < 13 * 3; ++i) {
            m_rig->clock.advanceSeconds(20 * 60);
            const int answer = send(m_port, status).status;
            QVERIFY(answer == 200 || (answer == 401 && i >= 12 * 3 - 1));
        }
    } else {
        for (int i = 0; i < WebSessions::MaxSessions; ++i) {
            m_rig->clock.advanceSeconds(1);
            QCOMPARE(send(m_port, logInRequest("127.0.0.1", QString())).status, 200);
        }
    }
    QTest::qWait(100);
    messages.clear();
    m_server->feed()->sendStatus();
    if (kept) {
        QVERIFY(messages.wait(5000));
        QVERIFY(closed.isEmpty());
    } else {
        QVERIFY(closed.wait(5000));
        QCOMPARE(client->closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
        QCOMPARE(m_server->feed()->clientCount(), 0);
    }
}

void tst_WebGuards::logInsCheckedAtOnce_data()
{
    QTest::addColumn<int>("clients"); // each from an address of its own
    QTest::addColumn<int>("busy"); // of them told to come back
    // At most two checks at once here.
    QTest::newRow("one") << 1 << 0;
    QTest::newRow("as many as the limit") << 2 << 0;
    QTest::newRow("two more than the limit") << 4 << 2;
}

// Guesses from many addresses at once cannot queue up password checks
// without end: beyond the limit a log-in is answered 503 at once, and the
// guesses already being checked go on.
void tst_WebGuards::logInsCheckedAtOnce()
{
    QFETCH(int, clients);
    QFETCH(int, busy);
    // A slow hash: every check is still running when the last one arrives.
    m_rig->store.values.insert(u"operation/web_password"_s, WebPassword::hash(kPassword));
    WebFront::ConnectionLimits limits;
    limits.maxPendingLogIns = 2;
    makeServer(limits);
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < clients; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        QVERIFY(socket->bind(QHostAddress(u"127.0.0.%1"_s.arg(i + 2))));
        socket->connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(socket->waitForConnected(5000));
        socket->write(logInRequest("127.0.0.1", u"guess"_s));
        QVERIFY(socket->waitForBytesWritten(5000));
        sockets.push_back(std::move(socket));
    }
    QList<int> statuses(clients, 0);
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (int i = 0; i < clients; ++i) {
                if (statuses[i] == 0 && sockets[i]->canReadLine())
                    statuses[i] = sockets[i]->readLine().mid(9, 3).toInt();
            }
            return !statuses.contains(0);
        },
        30000));
    QCOMPARE(statuses.count(503), busy);
    QCOMPARE(statuses.count(401), clients - busy);
}

void tst_WebGuards::passwordChangedDuringTheCheck_data()
{
    QTest::addColumn<QString>("change"); // made while the check runs
    QTest::addColumn<int>("status");
    QTest::newRow("nothing") << u"none"_s << 200;
    QTest::newRow("the same settings again") << u"same"_s << 200;
    QTest::newRow("a new password") << u"new"_s << 401;
    QTest::newRow("the password cleared") << u"cleared"_s << 401;
}

// The old password, right when it was sent, opens nothing once the
// operator has set another while it was being checked.
void tst_WebGuards::passwordChangedDuringTheCheck()
{
    QFETCH(QString, change);
    QFETCH(int, status);
    // A slow hash: the change comes long before the check ends.
    m_rig->store.values.insert(u"operation/web_password"_s, WebPassword::hash(kPassword, 500000));
    WebServer &server = makeServer();
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(socket.waitForConnected(5000));
    socket.write(logInRequest("127.0.0.1", kPassword));
    QVERIFY(socket.waitForBytesWritten(5000));
    // The server has read it and the check has begun.
    QTest::qWait(20);
    ConsoleSettings &settings = m_rig->console().settings();
    AppSettings values = settings.values();
    if (change == u"new")
        values.WebPasswordHash = WebPassword::hash(u"新密码"_s, WebPassword::MinIterations);
    else if (change == u"cleared")
        values.WebPasswordHash.clear();
    if (change != u"none")
        settings.update(values);
    QVERIFY(QTest::qWaitFor([&] { return socket.canReadLine(); }, 15000));
    QCOMPARE(socket.readLine().mid(9, 3).toInt(), status);
    QCOMPARE(server.sessions().count(), status == 200 ? 1 : 0);
}

QTEST_MAIN(tst_WebGuards)
#include "tst_webguards.moc"
