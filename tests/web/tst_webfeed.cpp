// The live feed of the office page: who is let in, what each client gets
// and in which order, and what happens to clients that misbehave (send too
// much, or stop reading).

#include "console/programmemodel.h"
#include "web/webfeed.h"

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QSet>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// An HTTP server that answers nothing itself: only its WebSocket upgrades
// matter here.
class UpgradeOnlyServer final : public QAbstractHttpServer
{
public:
    bool listenLocal()
    {
        auto *server = new QTcpServer(this);
        if (!server->listen(QHostAddress::LocalHost, 0))
            return false;
        bind(server);
        m_port = server->serverPort();
        return true;
    }
    quint16 port() const { return m_port; }

protected:
    // Upgrades are taken (the feed judges them); nothing else is.
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *) override
    {
        return WebFeed::isUpgrade(request);
    }
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
    }

private:
    quint16 m_port = 0;
};

const QByteArray kLiveId = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"; // 43 characters
const QByteArray kOtherId = "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB";

// A browser-like client that records every message it gets.
struct Client
{
    explicit Client(const QString &origin = QString())
        : socket(origin)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket,
                         [this](const QString &text) {
                             messages.append(QJsonDocument::fromJson(text.toUtf8()).object());
                         });
        QObject::connect(&socket, &QWebSocket::disconnected, &socket, [this] { closed = true; });
    }
    int count(const QString &type) const
    {
        int n = 0;
        for (const QJsonObject &m : messages)
            n += m[u"type"_s].toString() == type ? 1 : 0;
        return n;
    }
    QStringList types() const
    {
        QStringList list;
        for (const QJsonObject &m : messages)
            list.append(m[u"type"_s].toString());
        return list;
    }

    QWebSocket socket;
    QList<QJsonObject> messages;
    bool closed = false;
};

ScheduleEntry entryAt(const QString &time, const QString &detail)
{
    ScheduleEntry e;
    e.time = time;
    e.channel = 1;
    e.detail = detail;
    return e;
}

QString stateKey(RowState state)
{
    switch (state) {
    case RowState::Waiting:
        return u"waiting"_s;
    case RowState::Done:
        return u"done"_s;
    case RowState::Cancelled:
        return u"cancelled"_s;
    }
    return {};
}

} // namespace

class tst_WebFeed : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void sessionIdOf_data();
    void sessionIdOf();
    void admission_data();
    void admission();
    void messagesInOrder();
    void oneStatusPerClientPerTick();
    void rowStateChangeSendsToday();
    void clientMessages_data();
    void clientMessages();
    void nonReadingClientIsDropped();
    void endedSessionsAreClosed_data();
    void endedSessionsAreClosed();
    void closingTheFeedEndsItsClients();

private:
    // Opens a client with these handshake headers and waits until it is
    // admitted (its first message arrives) or closed.
    void open(Client &client, const QList<std::pair<QByteArray, QByteArray>> &headers,
              const QString &path = u"/ws"_s);
    QUrl url(const QString &path) const;
    QJsonObject todayNow() const;

    std::unique_ptr<UpgradeOnlyServer> m_server;
    std::unique_ptr<ProgrammeModel> m_model;
    std::unique_ptr<WebFeed> m_feed;
    QSet<QByteArray> m_live;
    int m_statusCalls = 0;
    QString m_statusPadding;
};

void tst_WebFeed::init()
{
    m_live = {kLiveId};
    m_statusCalls = 0;
    m_statusPadding.clear();
    m_model = std::make_unique<ProgrammeModel>();
    m_model->appendEntries({entryAt(u"07:30:00"_s, u"起床"_s), entryAt(u"08:00:00"_s, u"早操"_s),
                            entryAt(u"12:00:00"_s, u"午饭"_s)});
    m_server = std::make_unique<UpgradeOnlyServer>();
    QVERIFY(m_server->listenLocal());
    m_feed = std::make_unique<WebFeed>(
        [this](const QByteArray &id) { return m_live.contains(id); },
        [this] {
            ++m_statusCalls;
            return QJsonObject {{u"tick"_s, m_statusCalls}, {u"padding"_s, m_statusPadding}};
        },
        [this] { return todayNow(); });
    m_feed->attach(*m_server);
    m_feed->follow(*m_model);
}

void tst_WebFeed::cleanup()
{
    m_feed.reset();
    m_server.reset();
    m_model.reset();
}

QJsonObject tst_WebFeed::todayNow() const
{
    QJsonArray rows;
    for (int row = 0; row < m_model->count(); ++row) {
        rows.append(QJsonObject {{u"row"_s, row + 1},
                                 {u"time"_s, m_model->entry(row).time},
                                 {u"state"_s, stateKey(m_model->state(row))}});
    }
    return QJsonObject {{u"rows"_s, rows}};
}

QUrl tst_WebFeed::url(const QString &path) const
{
    return QUrl(u"ws://127.0.0.1:%1%2"_s.arg(m_server->port()).arg(path));
}

void tst_WebFeed::open(Client &client, const QList<std::pair<QByteArray, QByteArray>> &headers,
                       const QString &path)
{
    QNetworkRequest request(url(path));
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    client.socket.open(request);
    QTRY_VERIFY_WITH_TIMEOUT(!client.messages.isEmpty() || client.closed, 5000);
}

void tst_WebFeed::sessionIdOf_data()
{
    QTest::addColumn<QByteArray>("cookie");
    QTest::addColumn<QByteArray>("authorization");
    QTest::addColumn<QByteArray>("id");

    QTest::newRow("cookie alone") << "quellon_session=abc"_ba << QByteArray() << "abc"_ba;
    QTest::newRow("cookie among others")
        << "theme=dark; quellon_session=abc; lang=zh"_ba << QByteArray() << "abc"_ba;
    QTest::newRow("a longer cookie name is not it")
        << "quellon_session_old=zzz; quellon_session=abc"_ba << QByteArray() << "abc"_ba;
    QTest::newRow("only a similar name")
        << "xquellon_session=zzz"_ba << QByteArray() << QByteArray();
    QTest::newRow("bearer") << QByteArray() << "Bearer abc"_ba
                            << "abc"_ba;
    QTest::newRow("bearer in lower case") << QByteArray() << "bearer abc"_ba
                                          << "abc"_ba;
    QTest::newRow("basic is not a token") << QByteArray() << "Basic abc"_ba << QByteArray();
    QTest::newRow("bearer without token") << QByteArray() << "Bearer "_ba << QByteArray();
    QTest::newRow("the cookie before the bearer") << "quellon_session=abc"_ba
                                                  << "Bearer xyz"_ba
                                                  << "abc"_ba;
    QTest::newRow("nothing") << QByteArray() << QByteArray() << QByteArray();
}

void tst_WebFeed::sessionIdOf()
{
    QFETCH(QByteArray, cookie);
    QFETCH(QByteArray, authorization);
    QFETCH(QByteArray, id);
    QNetworkRequest request;
    if (!cookie.isEmpty())
        request.setRawHeader("Cookie", cookie);
    if (!authorization.isEmpty())
        request.setRawHeader("Authorization", authorization);
    QCOMPARE(WebFeed::sessionIdOf(request), id);
}

void tst_WebFeed::admission_data()
{
    QTest::addColumn<QString>("origin"); // %1 stands for the port
    QTest::addColumn<QByteArray>("cookie");
    QTest::addColumn<QByteArray>("authorization");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("admitted");

    const QByteArray live = "quellon_session=" + kLiveId;
    QTest::newRow("live session cookie") << QString() << live << QByteArray() << u"/ws"_s << true;
    QTest::newRow("cookie among others")
        << QString() << "a=1; " + live + "; b=2" << QByteArray() << u"/ws"_s << true;
    QTest::newRow("bearer token") << QString() << QByteArray() << "Bearer " + kLiveId << u"/ws"_s
                                  << true;
    QTest::newRow("own origin") << u"http://127.0.0.1:%1"_s << live << QByteArray() << u"/ws"_s
                                << true;
    QTest::newRow("no session") << QString() << QByteArray() << QByteArray() << u"/ws"_s << false;
    QTest::newRow("ended session")
        << QString() << "quellon_session=" + kOtherId << QByteArray() << u"/ws"_s << false;
    QTest::newRow("foreign origin")
        << u"http://evil.example"_s << live << QByteArray() << u"/ws"_s << false;
    QTest::newRow("foreign origin with bearer")
        << u"http://evil.example"_s << QByteArray() << "Bearer " + kLiveId << u"/ws"_s << false;
    QTest::newRow("same host, other port")
        << u"http://127.0.0.1:1"_s << live << QByteArray() << u"/ws"_s << false;
    QTest::newRow("same host, https")
        << u"https://127.0.0.1:%1"_s << live << QByteArray() << u"/ws"_s << false;
    QTest::newRow("null origin") << u"null"_s << live << QByteArray() << u"/ws"_s << false;
    QTest::newRow("other path") << QString() << live << QByteArray() << u"/other"_s << false;
    QTest::newRow("below the path") << QString() << live << QByteArray() << u"/ws/x"_s << false;
}

void tst_WebFeed::admission()
{
    QFETCH(QString, origin);
    QFETCH(QByteArray, cookie);
    QFETCH(QByteArray, authorization);
    QFETCH(QString, path);
    QFETCH(bool, admitted);

    QSignalSpy admittedSpy(m_feed.get(), &WebFeed::admitted);
    QSignalSpy refusedSpy(m_feed.get(), &WebFeed::refused);
    Client client(origin.contains(u"%1"_s) ? origin.arg(m_server->port()) : origin);
    QList<std::pair<QByteArray, QByteArray>> headers;
    if (!cookie.isEmpty())
        headers.append({"Cookie", cookie});
    if (!authorization.isEmpty())
        headers.append({"Authorization", authorization});
    open(client, headers, path);

    if (admitted) {
        QCOMPARE(admittedSpy.count(), 1);
        QCOMPARE(m_feed->clientCount(), 1);
        QVERIFY(!client.closed);
        // The list comes first, without waiting for a change.
        QCOMPARE(client.types(), QStringList {u"today"_s});
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(client.closed, 5000);
        QCOMPARE(refusedSpy.count(), 1);
        QCOMPARE(admittedSpy.count(), 0);
        QCOMPARE(client.socket.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
        QVERIFY(client.messages.isEmpty());
        QCOMPARE(m_feed->clientCount(), 0);
        // Nor does a later tick reach it.
        m_feed->sendStatus();
        QCOMPARE(m_statusCalls, 0);
    }
}

void tst_WebFeed::messagesInOrder()
{
    Client client;
    open(client, {{"Cookie", "quellon_session=" + kLiveId}});
    QCOMPARE(m_feed->clientCount(), 1);
    m_feed->sendStatus();
    m_feed->sendStatus();
    m_model->setState(1, RowState::Cancelled);
    QTRY_COMPARE_WITH_TIMEOUT(client.messages.size(), 4, 5000);
    QCOMPARE(client.types(), (QStringList {u"today"_s, u"status"_s, u"status"_s, u"today"_s}));

    // {"type": "today", "rows": [...]}: the rows as the list has them.
    const QJsonObject first = client.messages.at(0);
    QCOMPARE(first.keys(), (QStringList {u"rows"_s, u"type"_s}));
    const QJsonArray rows = first[u"rows"_s].toArray();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0).toObject()[u"time"_s].toString(), u"07:30:00"_s);
    QCOMPARE(rows.at(1).toObject()[u"state"_s].toString(), u"waiting"_s);

    // {"type": "status", "status": {...}}: one provider call each, in order.
    for (int i : {1, 2}) {
        const QJsonObject status = client.messages.at(i);
        QCOMPARE(status.keys(), (QStringList {u"status"_s, u"type"_s}));
        QCOMPARE(status[u"status"_s].toObject()[u"tick"_s].toInt(), i);
    }

    const QJsonArray changed = client.messages.at(3)[u"rows"_s].toArray();
    QCOMPARE(changed.at(1).toObject()[u"state"_s].toString(), u"cancelled"_s);
    QCOMPARE(changed.at(0).toObject()[u"state"_s].toString(), u"waiting"_s);
}

void tst_WebFeed::oneStatusPerClientPerTick()
{
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<Client>());
        open(*clients.back(), {{"Authorization", "Bearer " + kLiveId}});
    }
    QCOMPARE(m_feed->clientCount(), 3);
    m_feed->sendStatus();
    // A today message afterwards marks the end of what the tick sent.
    m_feed->sendToday();
    for (const auto &client : clients) {
        QTRY_COMPARE_WITH_TIMEOUT(client->count(u"today"_s), 2, 5000);
        QCOMPARE(client->count(u"status"_s), 1);
        QCOMPARE(client->types(), (QStringList {u"today"_s, u"status"_s, u"today"_s}));
    }
    // The status was read and serialised once for all three.
    QCOMPARE(m_statusCalls, 1);

    // A client that leaves gets nothing more, and the others go on.
    clients.front()->socket.close();
    QTRY_COMPARE_WITH_TIMEOUT(m_feed->clientCount(), 2, 5000);
    m_feed->sendStatus();
    QTRY_COMPARE_WITH_TIMEOUT(clients.back()->count(u"status"_s), 2, 5000);
    QCOMPARE(clients.at(1)->count(u"status"_s), 2);
    QCOMPARE(clients.front()->count(u"status"_s), 1);
}

void tst_WebFeed::rowStateChangeSendsToday()
{
    Client client;
    open(client, {{"Cookie", "quellon_session=" + kLiveId}});
    QCOMPARE(client.count(u"today"_s), 1);

    // Two changes in one turn of the event loop: one message with both.
    m_model->setState(0, RowState::Done);
    m_model->setState(2, RowState::Cancelled);
    QTRY_COMPARE_WITH_TIMEOUT(client.count(u"today"_s), 2, 5000);
    m_feed->sendStatus(); // marks the end
    QTRY_COMPARE_WITH_TIMEOUT(client.count(u"status"_s), 1, 5000);
    QCOMPARE(client.count(u"today"_s), 2);
    QJsonArray rows = client.messages.at(1)[u"rows"_s].toArray();
    QCOMPARE(rows.at(0).toObject()[u"state"_s].toString(), u"done"_s);
    QCOMPARE(rows.at(1).toObject()[u"state"_s].toString(), u"waiting"_s);
    QCOMPARE(rows.at(2).toObject()[u"state"_s].toString(), u"cancelled"_s);

    // A row added to the list is a change of the list too.
    m_model->appendEntry(entryAt(u"09:00:00"_s, u"课间"_s));
    QTRY_COMPARE_WITH_TIMEOUT(client.count(u"today"_s), 3, 5000);
    rows = client.messages.last()[u"rows"_s].toArray();
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.at(2).toObject()[u"time"_s].toString(), u"09:00:00"_s);

    // And so is the list emptied.
    m_model->clear();
    QTRY_COMPARE_WITH_TIMEOUT(client.count(u"today"_s), 4, 5000);
    QVERIFY(client.messages.last()[u"rows"_s].toArray().isEmpty());

    // A burst of changes, each in a turn of its own, well within the
    // interval: at most the first goes out at once, one more message
    // carries the rest.
    for (int i = 0; i < 4; ++i)
        m_model->appendEntry(entryAt(u"10:0%1:00"_s.arg(i), u"课间"_s));
    QTRY_COMPARE_WITH_TIMEOUT(client.count(u"today"_s), 5, 5000);
    QElapsedTimer burst;
    burst.start();
    for (int i = 0; i < 4; ++i) {
        m_model->setState(i, RowState::Cancelled);
        QCoreApplication::processEvents();
    }
    // Each interval the burst took on a busy machine may add one message.
    const qint64 allowed = 7 + burst.elapsed() / WebFeed::TodayIntervalMs;
    const auto allCancelled = [&client] {
        const QJsonArray list = client.messages.last()[u"rows"_s].toArray();
        return list.size() == 4 && std::all_of(list.begin(), list.end(), [](const QJsonValue &row) {
                   return row.toObject()[u"state"_s].toString() == u"cancelled";
               });
    };
    QTRY_VERIFY_WITH_TIMEOUT(allCancelled(), 5000);
    QTest::qWait(WebFeed::TodayIntervalMs * 2);
    QVERIFY2(client.count(u"today"_s) <= allowed,
             qPrintable(QString::number(client.count(u"today"_s))));
}

void tst_WebFeed::clientMessages_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("binary");
    QTest::addColumn<bool>("closes");

    QTest::newRow("short text") << 10 << false << false;
    QTest::newRow("text of 1 KiB") << 1024 << false << false;
    QTest::newRow("text over 1 KiB") << 1025 << false << true;
    QTest::newRow("large text") << 64 * 1024 << false << true;
    QTest::newRow("short binary") << 10 << true << false;
    QTest::newRow("binary over 1 KiB") << 2000 << true << true;
}

void tst_WebFeed::clientMessages()
{
    QFETCH(int, size);
    QFETCH(bool, binary);
    QFETCH(bool, closes);

    Client client;
    open(client, {{"Cookie", "quellon_session=" + kLiveId}});
    QCOMPARE(m_feed->clientCount(), 1);
    if (binary)
        client.socket.sendBinaryMessage(QByteArray(size, 'x'));
    else
        client.socket.sendTextMessage(QString(size, u'x'));

    if (closes) {
        QTRY_VERIFY_WITH_TIMEOUT(client.closed, 5000);
        QCOMPARE(client.socket.closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);
        QTRY_COMPARE_WITH_TIMEOUT(m_feed->clientCount(), 0, 5000);
    } else {
        // Ignored: no answer, and the feed goes on.
        m_feed->sendStatus();
        QTRY_COMPARE_WITH_TIMEOUT(client.count(u"status"_s), 1, 5000);
        QCOMPARE(client.types(), (QStringList {u"today"_s, u"status"_s}));
        QVERIFY(!client.closed);
        QCOMPARE(m_feed->clientCount(), 1);
    }
}

void tst_WebFeed::nonReadingClientIsDropped()
{
    // One client reads everything; the other does the handshake by hand and
    // then reads no more.
    Client reader;
    open(reader, {{"Cookie", "quellon_session=" + kLiveId}});

    QTcpSocket stuck;
    stuck.connectToHost(QHostAddress::LocalHost, m_server->port());
    QTRY_COMPARE_WITH_TIMEOUT(stuck.state(), QAbstractSocket::ConnectedState, 5000);
    stuck.write("GET /ws HTTP/1.1\r\n"
                "Host: 127.0.0.1:"
                + QByteArray::number(m_server->port())
                + "\r\n"
                  "Upgrade: websocket\r\n"
                  "Connection: Upgrade\r\n"
                  "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                  "Sec-WebSocket-Version: 13\r\n"
                  "Cookie: quellon_session="
                + kLiveId + "\r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(m_feed->clientCount(), 2, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(stuck.bytesAvailable() > 0, 5000);
    QVERIFY(stuck.peek(64).startsWith("HTTP/1.1 101"));
    // From now on at most a few bytes are taken from the system.
    stuck.setReadBufferSize(16);

    QSignalSpy dropped(m_feed.get(), &WebFeed::dropped);
    m_statusPadding = QString(256 * 1024, u'x');
    // Far more than the system's buffers hold for a socket on the loopback.
    for (int i = 0; i < 200 && dropped.isEmpty(); ++i) {
        m_feed->sendStatus();
        QTest::qWait(1);
    }
    QCOMPARE(dropped.count(), 1);
    QCOMPARE(m_feed->clientCount(), 1);
    // The reader was never dropped and got every status sent.
    QTRY_COMPARE_WITH_TIMEOUT(reader.count(u"status"_s), m_statusCalls, 10000);
    QVERIFY(!reader.closed);
    // Not at the first sign of a slow reader: at least 1 MiB had gone out
    // to it before it was let go.
    QVERIFY2(m_statusCalls > int(WebFeed::MaxUnsentBytes / m_statusPadding.size()),
             QByteArray::number(m_statusCalls).constData());
}

void tst_WebFeed::endedSessionsAreClosed_data()
{
    QTest::addColumn<bool>("all");
    QTest::newRow("one session logged out") << false;
    QTest::newRow("every session ended") << true;
}

void tst_WebFeed::endedSessionsAreClosed()
{
    QFETCH(bool, all);
    m_live.insert(kOtherId);
    Client first;
    Client second; // the same session on another phone
    Client other;
    open(first, {{"Cookie", "quellon_session=" + kLiveId}});
    open(second, {{"Authorization", "Bearer " + kLiveId}});
    open(other, {{"Cookie", "quellon_session=" + kOtherId}});
    QCOMPARE(m_feed->clientCount(), 3);

    if (all)
        m_feed->closeAll();
    else
        m_feed->closeSession(kLiveId);
    QTRY_VERIFY_WITH_TIMEOUT(first.closed && second.closed, 5000);
    QCOMPARE(first.socket.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
    QCOMPARE(second.socket.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
    QCOMPARE(m_feed->clientCount(), all ? 0 : 1);
    m_feed->sendStatus();
    if (all) {
        QTRY_VERIFY_WITH_TIMEOUT(other.closed, 5000);
        QCOMPARE(m_statusCalls, 0);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(other.count(u"status"_s), 1, 5000);
        QVERIFY(!other.closed);
    }
    QCOMPARE(first.count(u"status"_s), 0);
}

void tst_WebFeed::closingTheFeedEndsItsClients()
{
    Client client;
    open(client, {{"Cookie", "quellon_session=" + kLiveId}});
    QCOMPARE(m_feed->clientCount(), 1);
    m_feed.reset();
    QTRY_VERIFY_WITH_TIMEOUT(client.closed, 5000);
}

QTEST_MAIN(tst_WebFeed)
#include "tst_webfeed.moc"
