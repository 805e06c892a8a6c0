// What stands between the network and the console before any session: who
// may log in without a password, and how many connections the server keeps
// for clients that send nothing whole.

#include "consolerig.h"
#include "web/webpassword.h"
#include "web/webserver.h"
#include "web/websessions.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

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

private:
    WebServer &makeServer();

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

WebServer &tst_WebGuards::makeServer()
{
    m_server = std::make_unique<WebServer>(m_rig->start());
    m_server->follow();
    return *m_server;
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

QTEST_MAIN(tst_WebGuards)
#include "tst_webguards.moc"
