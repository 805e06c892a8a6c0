#pragma once

#include "web/webrequestlimits.h"

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QHostAddress>
#include <QHttpServerResponder>
#include <QJsonObject>
#include <QList>
#include <QPair>

#include <functional>
#include <optional>

class QHttpServerRequest;
class QTcpServer;
class WebApi;
class WebLoginLimiter;
class WebSessions;

// The HTTP side of one listening period: built when the server starts and
// destroyed when it stops, so that nothing of a previous period (a
// connection, a half-read request, a log-in being checked) outlives the
// switch. Every /api/v1/ request passes the session, CSRF and body checks
// here before it reaches the API or a command; everything else goes to the
// page handler.
class WebFront final : public QAbstractHttpServer
{
    Q_OBJECT
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    // A command to carry out: nothing when it was done, else why not.
    using CommandHandler = std::function<std::optional<WebRequestLimits::Refusal>(
        const WebRequestLimits::Command &)>;
    // A request outside /api/v1/ (the page, its files, the live feed's
    // upgrade). Returns false when it did not answer: the request is then
    // refused with 404, or, for a WebSocket upgrade, handed to the socket
    // server (newWebSocketConnection()).
    using PageHandler = std::function<bool(const QHttpServerRequest &, QTcpSocket *)>;

    struct Parts
    {
        const WebApi &api;
        WebSessions &sessions;
        WebLoginLimiter &limiter;
        // The stored password hash as it is now; empty while none is set.
        std::function<QString()> passwordHash;
        CommandHandler commands;
        // A session was logged out (the live feed closes its clients).
        std::function<void(const QByteArray &sessionId)> loggedOut;
    };

    // How many connections are kept open at once, and how long one may
    // take to send a whole request (counted from its opening or from its
    // previous request); live feed sockets count to the first, not the second.
    struct ConnectionLimits
    {
        int maxConnections = 400;
        int idleMs = 30000;
        // Log-ins whose password is being checked at once, from all
        // addresses together: each takes a worker thread for a fifth of a
        // second, and the console's own background work shares the pool.
        int maxPendingLogIns = 8;
        // A connection over the limit is told so and cut off this soon.
        static constexpr int RefusedGraceMs = 2000;
    };

    explicit WebFront(const Parts &parts, QObject *parent = nullptr);
    ~WebFront() override;

    // Set before listenOn().
    void setConnectionLimits(const ConnectionLimits &limits) { m_limits = limits; }
    bool listenOn(const QHostAddress &address, quint16 port);
    quint16 port() const;
    QHostAddress address() const;
    // Stops taking connections; those open go with the front.
    void close();

    // page and live feed: set by whoever serves the page.
    void setPageHandler(PageHandler handler) { m_page = std::move(handler); }
    // A responder for a request the page handler answers (makeResponder is
    // only for the server's own subclasses).
    static QHttpServerResponder responderFor(const QHttpServerRequest &request, QTcpSocket *socket)
    {
        return makeResponder(request, socket);
    }
    // The name of the session cookie.
    static QByteArray cookieName() { return QByteArrayLiteral("quellon_session"); }
    // The headers every answer carries, the page's included: nothing is
    // cached, nothing is sniffed, framed or loaded from elsewhere.
    static const Headers &securityHeaders();
    // Writes a complete answer with the security headers and these.
    static void writeAnswer(QHttpServerResponder &responder, int status,
                            const QByteArray &contentType, const QByteArray &body,
                            const Headers &extra = {});
    static void writeJson(QHttpServerResponder &responder, int status, const QJsonObject &body,
                          const Headers &extra = {});
    static void writeRefusal(QHttpServerResponder &responder,
                             const WebRequestLimits::Refusal &refusal, const Headers &extra = {});

    // The session a request names (cookie or bearer token), as a token of
    // the right form; empty when it names none. Whether it is alive is
    // WebSessions' to say.
    static QByteArray sessionToken(const QHttpServerRequest &request);
    // The same from the headers' values (a WebSocket's handshake request).
    static QByteArray sessionToken(const QByteArray &authorizationHeader,
                                   const QList<QByteArray> &cookieHeaders);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    void handleApi(const QHttpServerRequest &request, QTcpSocket *socket);
    void logIn(const QHttpServerRequest &request, QTcpSocket *socket,
               QHttpServerResponder responder);
    void finishLogIn(QHttpServerResponder &responder, const QHostAddress &peer, bool matches);

    Parts m_p;
    PageHandler m_page;
    ConnectionLimits m_limits;
    QTcpServer *m_server = nullptr;
    // Addresses whose log-in is being checked on a worker thread.
    QList<QHostAddress> m_pendingLogIns;
};
