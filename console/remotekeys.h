#pragma once

#include "console/consoleactions.h"

class ProgrammeModel;
class ZoneLink;
struct AppSettings;
struct ConsoleState;

// The console's answer to the controller's remote-control keys.
class RemoteKeys
{
public:
    RemoteKeys(ConsoleState &state, const AppSettings &settings, const ProgrammeModel &today,
               ZoneLink &link, ConsoleActions &actions);

    // Acts on one key code; any other code is ignored.
    void handle(int code);

private:
    int listCount() const;
    void sendAll(int zoneCode, int ampCode, int deviceCode, bool open);

    ConsoleState &m_state;
    const AppSettings &m_settings;
    const ProgrammeModel &m_today;
    ZoneLink &m_link;
    ConsoleActions &m_actions;
};
