#pragma once

#include "web/webapi.h"

#include <QHostAddress>
#include <QObject>

#include <memory>

class ConsoleSettings;
class ProgrammeModel;
class WebFront;

// The console's web server: off unless the operator switched on 网络控制,
// and then listening on the loopback address only. It follows the settings:
// switching the option on opens the port, switching it off closes it and
// every connection with it. It runs on the console's event loop.
class WebServer final : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 8530;

    WebServer(ConsoleSettings &settings, const WebApi::Parts &parts, QObject *parent = nullptr);
    ~WebServer() override;

    // Reads the settings now and from then on at each change.
    void follow();

    bool isListening() const;
    // The port listened on; 0 while off.
    quint16 port() const;
    // Tests listen on a port the system chooses (0) instead of the setting's.
    void setPortOverride(quint16 port) { m_portOverride = port; }

    // One console tick: the live feed's clients get the status.
    void tick();

Q_SIGNALS:
    void listeningChanged(bool on);

private:
    void apply();
    void start(quint16 port);
    void stop();

    ConsoleSettings &m_settings;
    WebApi m_api;
    const ProgrammeModel &m_programme;
    std::unique_ptr<WebFront> m_front;
    int m_portOverride = -1;
};
