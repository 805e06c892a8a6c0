#include "web/webserver.h"

#include "console/console.h"
#include "console/consolesettings.h"
#include "console/programmemodel.h"
#include "web/webcommands.h"
#include "web/webfeed.h"
#include "web/webpage.h"
#include "web/webpassword.h"

#include <QHttpServerRequest>

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcWeb, "quellon.web")

namespace {

WebApi::Parts apiParts(Console &console)
{
    return {console.clock(),  console.programme(), console.today(), console.playback(),
            console.volume(), console.link(),      console.state(), console.emergency()};
}

} // namespace

WebServer::WebServer(Console &console, QObject *parent)
    : QObject(parent)
    , m_console(console)
    , m_api(apiParts(console))
    , m_sessions(console.clock())
    , m_limiter(console.clock())
    , m_commands(std::make_unique<WebCommands>(console))
{
}

WebServer::~WebServer()
{
    // The fronts first, the stopped ones waiting for deletion too: they may
    // still tell the limiter of log-ins they leave unanswered.
    m_front.reset();
    qDeleteAll(findChildren<WebFront *>(Qt::FindDirectChildrenOnly));
}

void WebServer::follow()
{
    connect(&m_console.settings(), &ConsoleSettings::changed, this, &WebServer::apply,
            Qt::UniqueConnection);
    // The feed's clients get the status once a console tick.
    connect(&m_console, &Console::ticked, this, &WebServer::sendStatus, Qt::UniqueConnection);
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

QHostAddress WebServer::address() const
{
    return m_front ? m_front->address() : QHostAddress();
}

void WebServer::sendStatus()
{
    if (m_feed)
        m_feed->sendStatus();
}

bool WebServer::servePage(const QHttpServerRequest &request, QTcpSocket *socket)
{
    // Taken without an answer: the live feed admits or refuses it.
    if (WebFeed::isUpgrade(request))
        return true;
    // The page's own files, chosen from a fixed list by the path.
    if (request.method() != QHttpServerRequest::Method::Get)
        return false;
    const auto file = WebPage::find(request.url().path());
    if (!file)
        return false;
    QHttpServerResponder responder = WebFront::responderFor(request, socket);
    WebFront::writeAnswer(responder, 200, file->contentType, file->body);
    return true;
}

void WebServer::apply()
{
    const AppSettings &values = m_console.settings().values();
    if (values.WebPasswordHash != m_passwordHash) {
        // Whoever logged in with the old password logs in again.
        m_passwordHash = values.WebPasswordHash;
        m_sessions.endAll();
        if (m_feed)
            m_feed->closeAll();
    }
    if (!values.WebControlEnabled) {
        stop();
        return;
    }
    // The local network only with a password: without one, anyone on the
    // network could command the console.
    const QHostAddress address
        = values.WebNetworkAllowed && WebPassword::isWellFormed(values.WebPasswordHash)
        ? QHostAddress(QHostAddress::Any)
        : QHostAddress(QHostAddress::LocalHost);
    const quint16 wanted = m_portOverride >= 0 ? quint16(m_portOverride) : values.WebControlPort;
    // A port the system chose stays as it is; a configured one is followed.
    if (m_front && m_front->address() == address
        && (m_portOverride == 0 || m_front->port() == wanted))
        return;
    const quint16 keep = m_front && m_portOverride == 0 ? m_front->port() : wanted;
    stop();
    start(address, keep);
}

void WebServer::start(const QHostAddress &address, quint16 port)
{
    WebCommands *commands = m_commands.get();
    auto front = std::make_unique<WebFront>(WebFront::Parts {
        m_api, m_sessions, m_limiter,
        [this] { return m_console.settings().values().WebPasswordHash; },
        [commands](const WebRequestLimits::Command &command) { return commands->run(command); },
        [this](const QByteArray &sessionId) {
            if (m_feed)
                m_feed->closeSession(sessionId);
        }});
    front->setConnectionLimits(m_limits);
    if (!front->listenOn(address, port))
        return;
    // The live feed goes with its front: its clients close when listening
    // stops. A handshake is admitted in a live session only.
    auto *feed = new WebFeed([this](const QByteArray &id) { return m_sessions.use(id) != nullptr; },
                             [this] { return m_api.status(); }, [this] { return m_api.today(); },
                             front.get());
    // A page that watches is in use: each status it is sent keeps its
    // session from idling out, up to the session's lifetime.
    feed->setSessionAlive([this](const QByteArray &id) { return m_sessions.use(id) != nullptr; });
    feed->attach(*front);
    feed->follow(m_console.programme());
    m_feed = feed;
    front->setPageHandler([this](const QHttpServerRequest &request, QTcpSocket *socket) {
        return servePage(request, socket);
    });
    m_front = std::move(front);
    qCInfo(lcWeb) << "listening on" << address << "port" << m_front->port();
    Q_EMIT listeningChanged(true);
    Q_EMIT frontStarted(m_front.get());
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
    m_sessions.endAll();
    qCInfo(lcWeb) << "stopped";
    Q_EMIT listeningChanged(false);
}
