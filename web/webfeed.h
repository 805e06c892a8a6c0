#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class QAbstractHttpServer;
class QAbstractItemModel;
class QHttpServerRequest;
class QNetworkRequest;
class QWebSocket;

// The live feed of the office page: WebSocket clients of the web server get
// the console's status once a tick and today's list whenever it changes.
//
// A client is admitted only when its handshake asked for /ws, carries a
// live session (the session cookie, or "Authorization: Bearer") and comes
// from the console's own page (no Origin, or the one the Host header
// names); any other is closed at once with the policy code 1008.
//
// Each message is serialised once and the same text goes to every client.
// What clients send is ignored, but a message over 1 KiB closes the
// socket, and a client that stops reading is dropped once 1 MiB waits for
// it, so a stuck phone cannot grow the console's memory.
class WebFeed final : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MaxUnsentBytes = 1024 * 1024;
    static constexpr qint64 MaxIncomingBytes = 1024;
    // A refused or closing client that does not answer the close is cut off
    // after this long.
    static constexpr int CloseGraceMs = 3000;
    // Today's list goes out at most this often: a burst of changes (the
    // day's list reloaded, rows cancelled one after another from several
    // pages) becomes one message, so the list is not copied to every
    // client for each of them.
    static constexpr int TodayIntervalMs = 250;

    // Whether the session id (cookie or bearer token of the handshake) is
    // one of a live session.
    using SessionCheck = std::function<bool(const QByteArray &sessionId)>;
    // {...} as the status read of the API, and {"rows": [...]} as its
    // today read.
    using Provider = std::function<QJsonObject()>;

    WebFeed(SessionCheck session, Provider status, Provider today, QObject *parent = nullptr);
    ~WebFeed() override;

    // Asked before each status message for each client's session: a client
    // whose session has ended (unused too long, too old, pushed out by later
    // log-ins) is closed with 1008.
    void setSessionAlive(SessionCheck alive) { m_alive = std::move(alive); }

    // Takes the WebSocket connections the server upgrades from now on. The
    // server hands a request over for an upgrade only when its
    // handleRequest() took it: it answers isUpgrade() requests with true and
    // writes nothing, and the feed judges them.
    void attach(QAbstractHttpServer &server);
    // Whether the request asks for a WebSocket ("Upgrade: websocket").
    static bool isUpgrade(const QHttpServerRequest &request);
    // Sends today's list again whenever the model's rows or their states
    // change; changes within one turn of the event loop give one message.
    void follow(const QAbstractItemModel &programme);

    // Admits or refuses one upgraded connection.
    void accept(std::unique_ptr<QWebSocket> socket);

    // The status message to every client: connect the console's tick here.
    void sendStatus();
    // The today message to every client now.
    void sendToday();

    // Closes the clients admitted with this session (1008), as when it is
    // logged out; the others go on.
    void closeSession(const QByteArray &sessionId);
    // Closes every client, as when every session ends.
    void closeAll();

    int clientCount() const { return int(m_clients.size()); }

    // The session id the handshake presents: the "quellon_session" cookie,
    // else an "Authorization: Bearer" token; empty when there is none.
    static QByteArray sessionIdOf(const QNetworkRequest &handshake);
    // Whether the handshake's Origin is absent or http://<its Host header>.
    static bool originAllowed(const QNetworkRequest &handshake);

Q_SIGNALS:
    // A client was admitted, refused, or dropped (tests and the log).
    void admitted();
    void refused();
    void dropped();

private:
    QByteArray message(const char *type, QJsonObject body) const;
    void send(QWebSocket *client, const QString &text);
    void sendToAll(const QString &text);
    void drop(QWebSocket *client);
    void forget(QWebSocket *client);
    void closeSoon(QWebSocket *socket, int code, const QString &reason);
    void scheduleToday();

    SessionCheck m_session;
    SessionCheck m_alive;
    Provider m_status;
    Provider m_today;
    QList<QWebSocket *> m_clients;
    QHash<QWebSocket *, QByteArray> m_sessionOf;
    bool m_todayQueued = false;
    QElapsedTimer m_lastToday; // since the last today message went out
};
