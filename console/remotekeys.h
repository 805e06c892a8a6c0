#pragma once

#include <QObject>

class MasterVolume;
class PlaybackEngine;
class ProgrammeModel;
class ZoneLink;
class ConsoleState;
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
        const ProgrammeModel &today;
        ZoneLink &link;
        PlaybackEngine &playback;
        MasterVolume &volume;
    };

    explicit RemoteKeys(const Services &services, QObject *parent = nullptr);

    // Acts on one key code; any other code is ignored.
    void handle(int code);

private:
    int listCount() const;
    void sendAll(int zoneCode, int ampCode, int deviceCode, bool open);

    Services m_s;
};
