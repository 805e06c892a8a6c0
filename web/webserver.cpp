#include "web/webserver.h"

#include "console/consolesettings.h"
#include "console/programmemodel.h"
#include "web/webfeed.h"
#include "web/webpage.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QMetaEnum>
#include <QTcpServer>

Q_LOGGING_CATEGORY(lcWeb, "quellon.web")

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

} // namespace

// The HTTP side of one listening period: built when the server starts and
// destroyed when it stops, so that nothing of a previous period (a
// connection, a half-read request) outlives the switch.
class WebFront final : public QAbstractHttpServer
{
public:
    WebFront(const WebApi &api, const ProgrammeModel &programme)
        : m_api(api)
    {
        // The live feed: its clients go with this front when it stops.
        // Log-in and sessions are not wired here yet, so no handshake
        // carries a live session and every client is refused.
        m_feed = new WebFeed([](const QByteArray &) { return false; },
                             [this] { return m_api.status(); }, [this] { return m_api.today(); },
                             this);
        m_feed->attach(*this);
        m_feed->follow(programme);
    }

    WebFeed &feed() { return *m_feed; }

    bool listenOn(quint16 port)
    {
        auto *server = new QTcpServer(this);
        if (!server->listen(QHostAddress::LocalHost, port)) {
            qCWarning(lcWeb) << "cannot listen on port" << port << server->errorString();
            delete server;
            return false;
        }
        m_server = server;
        bind(server);
        return true;
    }

    quint16 port() const { return m_server ? m_server->serverPort() : 0; }
    void close()
    {
        if (m_server)
            m_server->close();
    }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        // Taken without an answer: the live feed admits or refuses it.
        if (WebFeed::isUpgrade(request))
            return true;
        // The page's own files, chosen from a fixed list by the path.
        if (request.method() == QHttpServerRequest::Method::Get
            && !request.url().path().startsWith(WebApi::prefix())) {
            if (const auto file = WebPage::find(request.url().path())) {
                QHttpServerResponse response(file->contentType, file->body);
                response.addHeaders(WebPage::securityHeaders());
                response.write(makeResponder(request, socket));
                return true;
            }
        }
        const WebApi::Reply reply
            = m_api.handle(methodName(request.method()), request.url().path(), request.body());
        makeResponder(request, socket)
            .write(QJsonDocument(reply.body),
                   static_cast<QHttpServerResponder::StatusCode>(reply.status));
        return true;
    }

    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        const WebApi::Reply reply = WebApi::error(404, QStringLiteral("not found"));
        makeResponder(request, socket)
            .write(QJsonDocument(reply.body),
                   static_cast<QHttpServerResponder::StatusCode>(reply.status));
    }

private:
    const WebApi &m_api;
    QTcpServer *m_server = nullptr;
    WebFeed *m_feed = nullptr;
};

WebServer::WebServer(ConsoleSettings &settings, const WebApi::Parts &parts, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_api(parts)
    , m_programme(parts.programme)
{
}

WebServer::~WebServer() = default;

void WebServer::follow()
{
    connect(&m_settings, &ConsoleSettings::changed, this, &WebServer::apply, Qt::UniqueConnection);
    apply();
}

bool WebServer::isListening() const
{
    return m_front != nullptr;
}

quint16 WebServer::port() const
{
    return m_front ? m_front->port() : 0;
}

void WebServer::tick()
{
    if (m_front)
        m_front->feed().sendStatus();
}

void WebServer::apply()
{
    const AppSettings &values = m_settings.values();
    const quint16 wanted = m_portOverride >= 0 ? quint16(m_portOverride) : values.WebControlPort;
    if (!values.WebControlEnabled) {
        stop();
        return;
    }
    // A port the system chose stays as it is; a configured one is followed.
    if (m_front && (m_portOverride == 0 || m_front->port() == wanted))
        return;
    stop();
    start(wanted);
}

void WebServer::start(quint16 port)
{
    auto front = std::make_unique<WebFront>(m_api, m_programme);
    if (!front->listenOn(port))
        return;
    m_front = std::move(front);
    qCInfo(lcWeb) << "listening on 127.0.0.1 port" << m_front->port();
    Q_EMIT listeningChanged(true);
}

void WebServer::stop()
{
    if (!m_front)
        return;
    // The port closes now; the connections go with the front once the
    // event loop is back, never from inside one of their own signals.
    // It stays a child until then, so that it never outlives the API it
    // answers from.
    m_front->close();
    WebFront *old = m_front.release();
    old->setParent(this);
    old->deleteLater();
    qCInfo(lcWeb) << "stopped";
    Q_EMIT listeningChanged(false);
}
