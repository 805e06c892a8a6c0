#pragma once

#include <QObject>

class ConsoleState;
class MasterVolume;
class PlaybackEngine;
class RemoteList;
class ZoneLink;
struct AppSettings;

// The console's answer to the controller's remote-control keys.
class RemoteKeys final : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        ConsoleState &state;
        const AppSettings &settings;
        RemoteList &list; // what keys 1, 5 and 7 play and step through
        ZoneLink &link;
        PlaybackEngine &playback;
        MasterVolume &volume;
    };

    explicit RemoteKeys(const Services &services, QObject *parent = nullptr);

    // Acts on one key code; any other code is ignored.
    void handle(int code);
    // Keys 2 and 4: every zone, amplifier and device on, or off. The office
    // page's "all on" and "all off" come here too.
    void switchAllOn();
    void switchAllOff();

private:
    void sendAll(int zoneCode, int ampCode, int deviceCode, bool open);

    Services m_s;
};
