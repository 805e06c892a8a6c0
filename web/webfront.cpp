#include "web/webfront.h"

#include "web/webapi.h"
#include "web/webloginlimiter.h"
#include "web/webpassword.h"
#include "web/websessions.h"

#include <QFuture>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcWeb)

using WebRequestLimits::Refusal;

namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return QByteArrayLiteral("GET");
    case QHttpServerRequest::Method::Put:
        return QByteArrayLiteral("PUT");
    case QHttpServerRequest::Method::Delete:
        return QByteArrayLiteral("DELETE");
    case QHttpServerRequest::Method::Post:
        return QByteArrayLiteral("POST");
    case QHttpServerRequest::Method::Head:
        return QByteArrayLiteral("HEAD");
    case QHttpServerRequest::Method::Options:
        return QByteArrayLiteral("OPTIONS");
    case QHttpServerRequest::Method::Patch:
        return QByteArrayLiteral("PATCH");
    default:
        return QByteArrayLiteral("OTHER");
    }
}

// A header by its name in any case; the first when it comes more than once.
QByteArray header(const QHttpServerRequest &request, const QByteArray &name)
{
    const auto headers = request.headers();
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

Refusal refusal(int status, const char *code, const QString &message)
{
    return Refusal {status, QString::fromLatin1(code), message};
}

Refusal noSession()
{
    return refusal(401, "no_session", QStringLiteral("请先登录"));
}

QByteArray sessionCookie(const QByteArray &token)
{
    return WebFront::cookieName() + '=' + token + "; Path=/; HttpOnly; SameSite=Strict";
}

// Counts the bytes a connection sends towards its next request. Qt's parser
// keeps a request whole in memory until its last byte: a client that sends
// more than any request of this server can be is answered 413 and cut off
// before it can fill the console's memory.
class RequestGuard final : public QObject
{
public:
    // A request's head and its largest body, with room for the headers of
    // a browser.
    static constexpr qint64 MaxRequestBytes = WebRequestLimits::MaxBodyBytes + 16 * 1024;

    // open counts the connections of the server: one more while this guard
    // lives, which is as long as its connection (the HTTP server drops every
    // connection made to a socket's signals when it hands it to the live
    // feed, so the guard's own end is the one sure sign).
    RequestGuard(QTcpSocket *socket, int idleMs, std::shared_ptr<int> open)
        : QObject(socket)
        , m_socket(socket)
        , m_open(std::move(open))
    {
        ++*m_open;
        setObjectName(name());
        // Connected before the server's own handler: it sees the bytes
        // before they are read.
        connect(socket, &QTcpSocket::readyRead, this, &RequestGuard::bytesArrived);
        // A connection that sends nothing whole (a request trickled in a
        // byte at a time, or none at all) would hold its place for ever:
        // each request must be complete within this time of the last.
        m_idle.setSingleShot(true);
        m_idle.setInterval(idleMs);
        connect(&m_idle, &QTimer::timeout, this, [this] { m_socket->abort(); });
        m_idle.start();
    }

    ~RequestGuard() override { --*m_open; }

    static RequestGuard *of(QTcpSocket *socket)
    {
        // Found by its name: the class has no meta-object of its own to be
        // told from the socket's other children by.
        QObject *child
            = socket ? socket->findChild<QObject *>(name(), Qt::FindDirectChildrenOnly) : nullptr;
        return static_cast<RequestGuard *>(child);
    }

    // A whole request arrived: the count starts again for the next one.
    void requestArrived()
    {
        m_received = 0;
        m_idle.start();
    }
    // The connection became a WebSocket of the live feed, which looks after
    // it from now on.
    void upgraded() { m_idle.stop(); }
    bool refused() const { return m_refused; }

private:
    static QString name() { return QStringLiteral("quellon_request_guard"); }

    void bytesArrived()
    {
        if (m_refused)
            return;
        m_received += m_socket->bytesAvailable();
        if (m_received <= MaxRequestBytes)
            return;
        m_refused = true;
        const QByteArray body = WebRequestLimits::refusalBody(
            Refusal {413, QStringLiteral("too_large"), QStringLiteral("请求过大")});
        QByteArray answer = "HTTP/1.1 413 Payload Too Large\r\n"
                            "Content-Type: application/json\r\n"
                            "Connection: close\r\n"
                            "Content-Length: "
            + QByteArray::number(body.size()) + "\r\n";
        for (const auto &h : WebFront::securityHeaders())
            answer += h.first + ": " + h.second + "\r\n";
        m_socket->write(answer + "\r\n" + body);
        // The answer goes out, then the connection closes; nothing more is
        // read from it.
        m_socket->disconnectFromHost();
    }

    QTcpSocket *m_socket;
    std::shared_ptr<int> m_open;
    QTimer m_idle;
    qint64 m_received = 0;
    bool m_refused = false;
};

// An answer written straight to a connection the HTTP server never sees.
void writeRaw(QTcpSocket *socket, const char *statusLine, const Refusal &refusal)
{
    const QByteArray body = WebRequestLimits::refusalBody(refusal);
    QByteArray answer = QByteArray(statusLine)
        + "\r\nContent-Type: application/json\r\n"
          "Connection: close\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n";
    for (const auto &h : WebFront::securityHeaders())
        answer += h.first + ": " + h.second + "\r\n";
    socket->write(answer + "\r\n" + body);
}

// Gives each connection its guard before the HTTP server sees it, and
// keeps the number of connections open at once (live feed sockets among
// them) within the limit: each one holds a file descriptor of the console,
// which also needs them for its sound files and its logs.
class GuardedTcpServer final : public QTcpServer
{
public:
    GuardedTcpServer(const WebFront::ConnectionLimits &limits, QObject *parent)
        : QTcpServer(parent)
        , m_limits(limits)
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        if (*m_open >= m_limits.maxConnections) {
            // A flood beyond the limit is cut off unanswered: the sockets
            // waiting to say why hold descriptors as well.
            if (*m_refused >= MaxRefusedWaiting) {
                socket->abort();
                delete socket;
                return;
            }
            ++*m_refused;
            connect(socket, &QObject::destroyed, this, [refused = m_refused] { --*refused; });
            // Told why, then closed: the HTTP server never sees it.
            writeRaw(socket, "HTTP/1.1 503 Service Unavailable",
                     Refusal {503, QStringLiteral("busy"), QStringLiteral("连接过多，请稍后再试")});
            socket->disconnectFromHost();
            if (socket->state() == QAbstractSocket::UnconnectedState)
                socket->deleteLater();
            else
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(WebFront::ConnectionLimits::RefusedGraceMs, socket,
                               [socket] { socket->abort(); });
            return;
        }
        new RequestGuard(socket, m_limits.idleMs, m_open);
        addPendingConnection(socket);
    }

private:
    static constexpr int MaxRefusedWaiting = 64;

    WebFront::ConnectionLimits m_limits;
    // Shared with the guards: a connection may outlive the server.
    std::shared_ptr<int> m_open = std::make_shared<int>(0);
    // Refused connections still being told so.
    std::shared_ptr<int> m_refused = std::make_shared<int>(0);
};

} // namespace

WebFront::WebFront(const Parts &parts, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_p(parts)
{
}

WebFront::~WebFront()
{
    // Log-ins still being checked are never answered: each counts as a
    // failed guess, so that switching the server off and on again cannot
    // be used to get more of them.
    for (const QHostAddress &peer : std::as_const(m_pendingLogIns))
        m_p.limiter.finish(peer, false);
}

bool WebFront::listenOn(const QHostAddress &address, quint16 port)
{
    auto *server = new GuardedTcpServer(m_limits, this);
    if (!server->listen(address, port)) {
        qCWarning(lcWeb) << "cannot listen on" << address << "port" << port
                         << server->errorString();
        delete server;
        return false;
    }
    m_server = server;
    bind(server);
    return true;
}

quint16 WebFront::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

QHostAddress WebFront::address() const
{
    return m_server ? m_server->serverAddress() : QHostAddress();
}

void WebFront::close()
{
    if (m_server)
        m_server->close();
}

const WebFront::Headers &WebFront::securityHeaders()
{
    static const Headers headers {
        {"Cache-Control", "no-store"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Content-Security-Policy",
         "default-src 'self'; connect-src 'self'; frame-ancestors 'none'"},
    };
    return headers;
}

void WebFront::writeAnswer(QHttpServerResponder &responder, int status,
                           const QByteArray &contentType, const QByteArray &body,
                           const Headers &extra)
{
    QTcpSocket *socket = responder.socket();
    if (!socket || !socket->isOpen())
        return;
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(status));
    responder.writeHeader("Content-Type", contentType);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    for (const auto &h : securityHeaders())
        responder.writeHeader(h.first, h.second);
    for (const auto &h : extra)
        responder.writeHeader(h.first, h.second);
    responder.writeBody(body);
}

void WebFront::writeJson(QHttpServerResponder &responder, int status, const QJsonObject &body,
                         const Headers &extra)
{
    writeAnswer(responder, status, QByteArrayLiteral("application/json"),
                QJsonDocument(body).toJson(QJsonDocument::Compact), extra);
}

void WebFront::writeRefusal(QHttpServerResponder &responder, const Refusal &refusal,
                            const Headers &extra)
{
    writeAnswer(responder, refusal.status, QByteArrayLiteral("application/json"),
                WebRequestLimits::refusalBody(refusal), extra);
}

QByteArray WebFront::sessionToken(const QHttpServerRequest &request)
{
    QList<QByteArray> cookies;
    const auto headers = request.headers();
    for (const auto &h : headers) {
        if (h.first.compare("Cookie", Qt::CaseInsensitive) == 0)
            cookies.append(h.second);
    }
    return sessionToken(header(request, "Authorization"), cookies);
}

QByteArray WebFront::sessionToken(const QByteArray &authorizationHeader,
                                  const QList<QByteArray> &cookieHeaders)
{
    const QByteArray authorization = authorizationHeader.trimmed();
    if (!authorization.isEmpty()) {
        // A bearer token given is the one that counts, cookie or not.
        const QByteArray scheme = "bearer ";
        if (authorization.size() <= scheme.size()
            || authorization.left(scheme.size()).toLower() != scheme)
            return {};
        const QByteArray token = authorization.mid(scheme.size()).trimmed();
        return WebSessions::looksLikeToken(token) ? token : QByteArray();
    }
    for (const QByteArray &cookie : cookieHeaders) {
        for (const QByteArray &pair : cookie.split(';')) {
            const QByteArray item = pair.trimmed();
            const qsizetype eq = item.indexOf('=');
            if (eq > 0 && item.left(eq) == cookieName()) {
                const QByteArray token = item.mid(eq + 1);
                if (WebSessions::looksLikeToken(token))
                    return token;
            }
        }
    }
    return {};
}

bool WebFront::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    if (RequestGuard *guard = RequestGuard::of(socket)) {
        // Answered already, and closing.
        if (guard->refused())
            return true;
        guard->requestArrived();
    }
    if (!request.url().path().startsWith(WebApi::prefix())) {
        // page and live feed
        const bool taken = m_page && m_page(request, socket);
        if (taken
            && header(request, "Upgrade").trimmed().compare("websocket", Qt::CaseInsensitive)
                == 0) {
            if (RequestGuard *guard = RequestGuard::of(socket))
                guard->upgraded();
        }
        return taken;
    }
    handleApi(request, socket);
    return true;
}

void WebFront::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    const WebApi::Reply reply = WebApi::notFound();
    writeJson(responder, reply.status, reply.body);
}

void WebFront::handleApi(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const QString path = request.url().path();
    const QStringView name = QStringView(path).mid(WebApi::prefix().size());
    const bool post = request.method() == QHttpServerRequest::Method::Post;
    QHttpServerResponder responder = makeResponder(request, socket);
    // Refused unread, before anything else looks at it.
    if (request.body().size() > WebRequestLimits::MaxBodyBytes) {
        writeRefusal(responder, refusal(413, "too_large", QStringLiteral("请求过大")));
        return;
    }
    const bool commandPath = name == u"login" || name == u"logout" || name == u"command";
    if (commandPath && !post) {
        const WebApi::Reply reply = WebApi::error(405, QStringLiteral("method_not_allowed"),
                                                  QStringLiteral("不支持这种请求"));
        writeJson(responder, reply.status, reply.body);
        return;
    }
    if (name == u"login") {
        logIn(request, socket, std::move(responder));
        return;
    }
    const QByteArray token = sessionToken(request);
    if (token.isEmpty() || !m_p.sessions.use(token)) {
        writeRefusal(responder, noSession());
        return;
    }
    // Every command repeats the session's second token: a page elsewhere can
    // make the browser send the cookie, but cannot read the token.
    if (post && !m_p.sessions.csrfMatches(token, header(request, "X-CSRF-Token").trimmed())) {
        writeRefusal(responder, refusal(403, "csrf", QStringLiteral("安全校验失败，请重新登录")));
        return;
    }
    if (name == u"logout") {
        m_p.sessions.end(token);
        if (m_p.loggedOut)
            m_p.loggedOut(token);
        writeJson(
            responder, 200, QJsonObject {{QStringLiteral("ok"), true}},
            {{"Set-Cookie", cookieName() + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict"}});
        return;
    }
    if (name == u"command") {
        const auto parsed
            = WebRequestLimits::parseCommand(header(request, "Content-Type"), request.body());
        if (!parsed) {
            writeRefusal(responder, parsed.refusal);
            return;
        }
        const std::optional<Refusal> refused = m_p.commands
            ? m_p.commands(*parsed.value)
            : refusal(409, "not_possible", QStringLiteral("现在不能执行这个命令"));
        if (refused)
            writeRefusal(responder, *refused);
        else
            writeJson(responder, 200, QJsonObject {{QStringLiteral("ok"), true}});
        return;
    }
    const WebApi::Reply reply = m_p.api.handle(methodName(request.method()), path, request.body());
    writeJson(responder, reply.status, reply.body);
}

void WebFront::logIn(const QHttpServerRequest &request, QTcpSocket *socket,
                     QHttpServerResponder responder)
{
    const auto parsed
        = WebRequestLimits::parseLogin(header(request, "Content-Type"), request.body());
    if (!parsed) {
        writeRefusal(responder, parsed.refusal);
        return;
    }
    const QString stored = m_p.passwordHash();
    // Without a password only a page of this computer's own address may log
    // in: a site visited in a browser here can make its name resolve to
    // 127.0.0.1 and then talk to this server as its own, but its requests
    // still carry its name in Host.
    if (stored.isEmpty() && !WebRequestLimits::isLoopbackHost(header(request, "Host"))) {
        qCInfo(lcWeb) << "log-in without password refused for a foreign host name";
        writeRefusal(responder,
                     refusal(403, "host_not_allowed",
                             QStringLiteral("未设置密码时只能用 127.0.0.1 或 localhost 打开")));
        return;
    }
    const QHostAddress peer = request.remoteAddress();
    if (!stored.isEmpty() && m_pendingLogIns.size() >= m_limits.maxPendingLogIns) {
        writeRefusal(responder,
                     refusal(503, "busy", QStringLiteral("正在处理其他登录，请稍后再试")),
                     {{"Retry-After", "1"}});
        return;
    }
    if (!m_p.limiter.begin(peer)) {
        const int wait = std::max(m_p.limiter.secondsUntilAllowed(peer), 1);
        writeRefusal(responder,
                     refusal(429, "too_many_attempts",
                             QStringLiteral("登录失败次数过多，请 %1 秒后再试").arg(wait)),
                     {{"Retry-After", QByteArray::number(wait)}});
        return;
    }
    if (stored.isEmpty()) {
        // No password set: the loopback alone listens, and the empty
        // password is the one.
        finishLogIn(responder, peer, parsed.value->isEmpty());
        return;
    }
    // The hash takes a fifth of a second: a worker thread computes it and
    // the answer is written when it is done. The socket may be gone by
    // then (the client gave up), and the front with it (the server was
    // switched off): the continuation runs only while the front lives.
    m_pendingLogIns.append(peer);
    auto held = std::make_shared<QHttpServerResponder>(std::move(responder));
    QPointer<QTcpSocket> alive(socket);
    WebPassword::verifyInBackground(*parsed.value, stored)
        .then(this, [this, held, alive, peer, stored](bool checked) {
            m_pendingLogIns.removeOne(peer);
            // A password changed while this one was checked: the old one
            // opens nothing any more, and its sessions have all ended.
            const bool matches = checked && m_p.passwordHash() == stored;
            if (alive)
                finishLogIn(*held, peer, matches);
            else
                m_p.limiter.finish(peer, matches);
        });
}

void WebFront::finishLogIn(QHttpServerResponder &responder, const QHostAddress &peer, bool matches)
{
    m_p.limiter.finish(peer, matches);
    if (!matches) {
        qCInfo(lcWeb) << "wrong password from" << peer;
        writeRefusal(responder, refusal(401, "wrong_password", QStringLiteral("密码错误")));
        return;
    }
    const WebSessions::Session session = m_p.sessions.start();
    qCInfo(lcWeb) << "log-in from" << peer;
    writeJson(responder, 200,
              QJsonObject {{QStringLiteral("token"), QString::fromLatin1(session.id)},
                           {QStringLiteral("csrf"), QString::fromLatin1(session.csrfToken)},
                           {QStringLiteral("idleSeconds"), WebSessions::IdleSeconds}},
              {{"Set-Cookie", sessionCookie(session.id)}});
}
