#include "web/webfeed.h"

#include <QAbstractHttpServer>
#include <QAbstractItemModel>
#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QNetworkRequest>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>

Q_LOGGING_CATEGORY(lcWebFeed, "quellon.web.feed")

namespace {

const QByteArray kCookieName = QByteArrayLiteral("quellon_session");
const QString kFeedPath = QStringLiteral("/ws");

} // namespace

WebFeed::WebFeed(SessionCheck session, Provider status, Provider today, QObject *parent)
    : QObject(parent)
    , m_session(std::move(session))
    , m_status(std::move(status))
    , m_today(std::move(today))
{
}

WebFeed::~WebFeed()
{
    // The sockets are children and go with the feed; none of their signals
    // may reach a feed half destroyed.
    for (QWebSocket *client : std::as_const(m_clients))
        client->disconnect(this);
}

void WebFeed::attach(QAbstractHttpServer &server)
{
    connect(&server, &QAbstractHttpServer::newWebSocketConnection, this, [this, &server] {
        while (server.hasPendingWebSocketConnections())
            accept(server.nextPendingWebSocketConnection());
    });
}

bool WebFeed::isUpgrade(const QHttpServerRequest &request)
{
    const auto headers = request.headers();
    for (const auto &[name, value] : headers) {
        if (name.compare("upgrade", Qt::CaseInsensitive) == 0
            && value.trimmed().compare("websocket", Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void WebFeed::follow(const QAbstractItemModel &programme)
{
    connect(&programme, &QAbstractItemModel::dataChanged, this, &WebFeed::scheduleToday);
    connect(&programme, &QAbstractItemModel::rowsInserted, this, &WebFeed::scheduleToday);
    connect(&programme, &QAbstractItemModel::rowsRemoved, this, &WebFeed::scheduleToday);
    connect(&programme, &QAbstractItemModel::rowsMoved, this, &WebFeed::scheduleToday);
    connect(&programme, &QAbstractItemModel::modelReset, this, &WebFeed::scheduleToday);
    connect(&programme, &QAbstractItemModel::layoutChanged, this, &WebFeed::scheduleToday);
}

QByteArray WebFeed::sessionIdOf(const QNetworkRequest &handshake)
{
    // Cookie: a=b; quellon_session=<id>; c=d
    const QList<QByteArray> cookies = handshake.rawHeader("Cookie").split(';');
    for (const QByteArray &cookie : cookies) {
        const qsizetype eq = cookie.indexOf('=');
        if (eq > 0 && cookie.left(eq).trimmed() == kCookieName)
            return cookie.mid(eq + 1).trimmed();
    }
    const QByteArray authorization = handshake.rawHeader("Authorization").trimmed();
    const QByteArray scheme = QByteArrayLiteral("bearer ");
    if (authorization.size() > scheme.size()
        && authorization.left(scheme.size()).toLower() == scheme)
        return authorization.mid(scheme.size()).trimmed();
    return {};
}

bool WebFeed::originAllowed(const QNetworkRequest &handshake)
{
    // Browsers always send the Origin of the page that opens the socket;
    // programs other than browsers send none and are judged by their
    // session alone. A page of another site gets its own origin here.
    if (!handshake.hasRawHeader("Origin"))
        return true;
    const QByteArray origin = handshake.rawHeader("Origin").trimmed().toLower();
    const QByteArray host = handshake.rawHeader("Host").trimmed().toLower();
    return !host.isEmpty() && origin == QByteArrayLiteral("http://") + host;
}

void WebFeed::accept(std::unique_ptr<QWebSocket> owned)
{
    if (!owned)
        return;
    QWebSocket *socket = owned.release();
    socket->setParent(this);
    const QNetworkRequest handshake = socket->request();
    // The session is asked last: asking marks it used.
    const QByteArray sessionId = sessionIdOf(handshake);
    const bool admit = socket->requestUrl().path() == kFeedPath && originAllowed(handshake)
        && m_session && m_session(sessionId);
    if (!admit) {
        qCInfo(lcWebFeed) << "refused a live feed client from" << socket->peerAddress();
        closeSoon(socket, QWebSocketProtocol::CloseCodePolicyViolated,
                  QStringLiteral("no session"));
        Q_EMIT refused();
        return;
    }
    // Larger frames or messages make the socket close itself (1009) before
    // it buffers them.
    socket->setMaxAllowedIncomingFrameSize(quint64(MaxIncomingBytes));
    socket->setMaxAllowedIncomingMessageSize(quint64(MaxIncomingBytes));
    connect(socket, &QWebSocket::aboutToClose, this,
            [socket] { QTimer::singleShot(CloseGraceMs, socket, [socket] { socket->abort(); }); });
    connect(socket, &QWebSocket::disconnected, this, [this, socket] {
        forget(socket);
        socket->deleteLater();
    });
    m_clients.append(socket);
    m_sessionOf.insert(socket, sessionId);
    Q_EMIT admitted();
    if (m_today)
        send(socket, QString::fromUtf8(message("today", m_today())));
}

QByteArray WebFeed::message(const char *type, QJsonObject body) const
{
    body.insert(QStringLiteral("type"), QString::fromLatin1(type));
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

void WebFeed::sendStatus()
{
    if (m_alive) {
        const QList<QWebSocket *> clients = m_clients;
        for (QWebSocket *client : clients) {
            if (m_alive(m_sessionOf.value(client)))
                continue;
            forget(client);
            client->disconnect(this);
            closeSoon(client, QWebSocketProtocol::CloseCodePolicyViolated,
                      QStringLiteral("session ended"));
        }
    }
    if (m_clients.isEmpty() || !m_status)
        return;
    QJsonObject body {{QStringLiteral("status"), m_status()}};
    sendToAll(QString::fromUtf8(message("status", std::move(body))));
}

void WebFeed::sendToday()
{
    if (m_clients.isEmpty() || !m_today)
        return;
    sendToAll(QString::fromUtf8(message("today", m_today())));
}

void WebFeed::scheduleToday()
{
    if (m_todayQueued)
        return;
    m_todayQueued = true;
    // The first change after a quiet spell goes out once this turn of the
    // event loop is over; later ones wait for the rest of the interval.
    const qint64 since = m_lastToday.isValid() ? m_lastToday.elapsed() : TodayIntervalMs;
    QTimer::singleShot(int(std::max<qint64>(0, TodayIntervalMs - since)), this, [this] {
        m_todayQueued = false;
        m_lastToday.start();
        sendToday();
    });
}

void WebFeed::sendToAll(const QString &text)
{
    // A copy: a client dropped on the way leaves the list.
    const QList<QWebSocket *> clients = m_clients;
    for (QWebSocket *client : clients)
        send(client, text);
}

void WebFeed::send(QWebSocket *client, const QString &text)
{
    client->sendTextMessage(text);
    if (client->bytesToWrite() > MaxUnsentBytes)
        drop(client);
}

void WebFeed::drop(QWebSocket *client)
{
    qCInfo(lcWebFeed) << "dropped a live feed client that does not read" << client->peerAddress();
    forget(client);
    client->disconnect(this);
    // Nothing more is queued behind what it did not read: cut it off.
    client->abort();
    client->deleteLater();
    Q_EMIT dropped();
}

void WebFeed::forget(QWebSocket *client)
{
    m_clients.removeOne(client);
    m_sessionOf.remove(client);
}

void WebFeed::closeSession(const QByteArray &sessionId)
{
    const QList<QWebSocket *> clients = m_clients;
    for (QWebSocket *client : clients) {
        if (m_sessionOf.value(client) != sessionId)
            continue;
        forget(client);
        client->disconnect(this);
        closeSoon(client, QWebSocketProtocol::CloseCodePolicyViolated,
                  QStringLiteral("session ended"));
    }
}

void WebFeed::closeAll()
{
    const QList<QWebSocket *> clients = m_clients;
    for (QWebSocket *client : clients) {
        forget(client);
        client->disconnect(this);
        closeSoon(client, QWebSocketProtocol::CloseCodePolicyViolated,
                  QStringLiteral("session ended"));
    }
}

void WebFeed::closeSoon(QWebSocket *socket, int code, const QString &reason)
{
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(CloseGraceMs, socket, [socket] { socket->abort(); });
    // Once the socket has finished taking over the connection (a call it
    // queued for itself); closed before, it reads from a closed device.
    QMetaObject::invokeMethod(
        socket,
        [socket, code, reason] {
            socket->close(QWebSocketProtocol::CloseCode(code), reason);
            if (socket->state() == QAbstractSocket::UnconnectedState)
                socket->deleteLater();
        },
        Qt::QueuedConnection);
}
