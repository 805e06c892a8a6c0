#pragma once

#include "web/webapi.h"
#include "web/webfeed.h"
#include "web/webfront.h"
#include "web/webloginlimiter.h"
#include "web/websessions.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <memory>

class Console;
class WebCommands;

// The console's web server: off unless the operator switched on 网络控制,
// and then listening on the loopback address only, unless the local network
// is allowed and a password is set. It follows the settings: switching the
// option on opens the port, switching it off closes it and every connection
// and session with it; a new password ends every session. It runs on the
// console's event loop.
class WebServer final : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 8530;

    explicit WebServer(Console &console, QObject *parent = nullptr);
    ~WebServer() override;

    // Reads the settings now and from then on at each change.
    void follow();

    bool isListening() const;
    // The port listened on; 0 while off.
    quint16 port() const;
    // The address listened on (LocalHost or Any); null while off.
    QHostAddress address() const;
    // Tests listen on a port the system chooses (0) instead of the setting's.
    void setPortOverride(quint16 port) { m_portOverride = port; }
    // Tests use smaller limits than the console's; from the next start on.
    void setConnectionLimits(const WebFront::ConnectionLimits &limits) { m_limits = limits; }

    // What the page and the live feed build on.
    const WebApi &api() const { return m_api; }
    WebSessions &sessions() { return m_sessions; }
    // The front of the present listening period; null while off.
    WebFront *front() { return m_front.get(); }
    // The live feed of the present listening period; null while off.
    WebFeed *feed() const { return m_feed; }

Q_SIGNALS:
    void listeningChanged(bool on);
    // A front began listening (the live feed takes its WebSocket
    // connections from it); it is destroyed when listening stops.
    void frontStarted(WebFront *front);

private:
    void apply();
    void start(const QHostAddress &address, quint16 port);
    void sendStatus();
    // The page's files and the live feed's upgrade, for a front.
    bool servePage(const QHttpServerRequest &request, QTcpSocket *socket);
    void stop();

    Console &m_console;
    WebApi m_api;
    WebSessions m_sessions;
    WebLoginLimiter m_limiter;
    std::unique_ptr<WebCommands> m_commands;
    QPointer<WebFeed> m_feed; // the present front's; it goes with the front
    std::unique_ptr<WebFront> m_front;
    QString m_passwordHash; // as last applied
    int m_portOverride = -1;
    WebFront::ConnectionLimits m_limits;
};
