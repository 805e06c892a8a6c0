#pragma once

#include <QString>

class ProgrammeModel;
class ZoneLink;
struct AppSettings;
struct ConsoleState;

// What the remote keys need of the main window.
class RemoteKeyActions
{
public:
    virtual ~RemoteKeyActions();
    virtual void playsong(const QString &sfilename, const QString &splaylen) = 0;
    // Manual work status after a remote play: ManualMode, ManualPlayback, the ticks, the panel.
    virtual void enterRemoteManualMode() = 0;
    // Stops the player, clears ManualPlayback and returns to automatic work status.
    virtual void stopForRemote() = 0;
    virtual int volumeSliderValue() const = 0;
    virtual void setVolumeSliderValue(int value) = 0;
};

// The console's answer to the controller's remote-control keys.
class RemoteKeys
{
public:
    RemoteKeys(ConsoleState &state, const AppSettings &settings, const ProgrammeModel &today,
               ZoneLink &link, RemoteKeyActions &actions);

    // Acts on one key code; any other code is ignored.
    void handle(int code);

private:
    int listCount() const;
    void sendAll(int zoneCode, int ampCode, int deviceCode, bool open);

    ConsoleState &m_state;
    const AppSettings &m_settings;
    const ProgrammeModel &m_today;
    ZoneLink &m_link;
    RemoteKeyActions &m_actions;
};
